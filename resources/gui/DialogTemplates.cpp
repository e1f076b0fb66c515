#include "DialogTemplates.h"

#include <iterator>

namespace res {
namespace {

using K = ControlKind;
using namespace cs;

constexpr unsigned kEdit = Border | AutoHScroll;

const ControlTemplate kJobControls[] = {
    {IDC_STATIC, K::GroupBox, "Analiza", 5, 5, 205, 65, 0},
    {IDC_STATIC, K::Static, "Naz&wa", 15, 20, 23, 8, 0},
    {IDC_JOB_NAME, K::Edit, "", 15, 30, 185, 14, kEdit},
    {IDC_JOB_ACTIVE, K::CheckBox, "A&ktywne/Nieaktywne", 15, 114, 84, 10, 0},
    {IDC_STATIC, K::GroupBox, "Parametry", 5, 75, 205, 53, 0},
    {IDC_JOB_OPTIONS, K::PushButton, "Opcje a&nalizy...", 15, 90, 75, 14, 0},
    {IDC_JOB_SCHEDULE, K::PushButton, "C&zas...", 125, 90, 75, 14, 0},
    {IDOK_BUTTON, K::DefPushButton, "&OK", 50, 140, 50, 14, 0},
    {IDCANCEL_BUTTON, K::PushButton, "&Anuluj", 116, 140, 50, 14, 0},
};

const ControlTemplate kPlanControls[] = {
    {IDC_STATIC, K::GroupBox, "Uruchamianie", 5, 5, 185, 65, 0},
    {IDC_PLAN_ONCE, K::RadioButton, "Jednorazowo", 16, 22, 58, 10, Group},
    {IDC_PLAN_HOURLY, K::RadioButton, "Co godzinę", 15, 35, 51, 10, 0},
    {IDC_PLAN_DAILY, K::RadioButton, "Codziennie", 15, 50, 51, 10, 0},
    {IDC_PLAN_WEEKDAYS, K::PushButton, "...", 72, 47, 11, 14, Disabled},
    {IDC_PLAN_WEEKLY, K::RadioButton, "Raz w tygodniu", 105, 20, 65, 10, 0},
    {IDC_PLAN_MONTHLY, K::RadioButton, "Raz w miesiącu", 105, 35, 65, 10, 0},
    {IDC_PLAN_ATSTARTUP, K::RadioButton, "Przy starcie komput.", 105, 50, 79, 10, 0},
    {IDC_STATIC, K::GroupBox, "Czas", 5, 80, 185, 65, 0},
    {IDC_PLAN_DATE, K::DateTimePicker, "", 15, 95, 35, 14, Hidden},
    {IDC_PLAN_EVERY, K::Static, "w każdy", 54, 97, 27, 8, Hidden},
    {IDC_PLAN_TIME, K::DateTimePicker, "", 85, 95, 35, 14, Hidden | UpDownArrows},
    {IDC_PLAN_DAY_OF_MONTH, K::Static, "dzień miesiąca", 130, 97, 47, 8, Hidden},
    {IDC_PLAN_IDLE, K::CheckBox, "w wolnym czasie", 15, 122, 69, 10, Group},
    {IDC_PLAN_IDLE_MINUTES, K::Edit, "", 110, 120, 30, 14, kEdit | Number},
    {IDC_PLAN_IDLE_SPIN, K::UpDown, "", 140, 120, 9, 14, ArrowKeys | AutoBuddy | AlignRight},
    {IDC_PLAN_MINUTES_UNIT, K::Static, "minut", 157, 122, 18, 8, 0},
    {IDOK_BUTTON, K::DefPushButton, "&OK", 200, 7, 50, 14, 0},
    {IDCANCEL_BUTTON, K::PushButton, "&Anuluj", 200, 24, 50, 14, 0},
};

const ControlTemplate kWeekdayControls[] = {
    {IDC_STATIC, K::Static, "Wybierz dni tygodnia do przeszukiwania ", 5, 7, 150, 8, 0},
    {IDC_STATIC, K::Static, "dysków.", 5, 15, 27, 8, 0},
    {1009, K::CheckBox, "&Poniedziałek", 5, 30, 55, 10, 0},
    {1010, K::CheckBox, "&Wtorek", 65, 30, 39, 10, 0},
    {1011, K::CheckBox, "Ś&roda", 116, 30, 35, 10, 0},
    {1012, K::CheckBox, "&Czwartek", 5, 50, 45, 10, 0},
    {1013, K::CheckBox, "Pią&tek", 65, 50, 36, 10, 0},
    {1014, K::CheckBox, "&Sobota", 116, 50, 39, 10, 0},
    {1015, K::CheckBox, "&Niedziela", 5, 70, 45, 10, 0},
    {IDOK_BUTTON, K::DefPushButton, "&OK", 28, 90, 50, 14, 0},
    {IDCANCEL_BUTTON, K::PushButton, "&Anuluj", 94, 90, 50, 14, 0},
};

const ControlTemplate kScanParamControls[] = {
    {IDC_STATIC, K::GroupBox, "Katalog", 5, 1, 245, 42, 0},
    {IDC_SCAN_DIRECTORY, K::Edit, "", 15, 12, 162, 14, kEdit},
    {IDC_SCAN_BROWSE, K::PushButton, "&Szukaj ", 183, 12, 60, 14, 0},
    {IDC_SCAN_SUBDIRS, K::CheckBox, "z pod&katalogami", 15, 29, 67, 10, 0},
    {IDC_STATIC, K::GroupBox, "Pliki", 5, 45, 245, 34, 0},
    {IDC_SCAN_FILES_ALL, K::RadioButton, "wszystkie", 15, 56, 46, 10, Group},
    {IDC_SCAN_FILES_PROGRAMS, K::RadioButton, "tylko pliki programowe", 15, 66, 85, 10, 0},
    {IDC_SCAN_HEURISTIC, K::CheckBox, "poszukiwanie &heurystyczne", 125, 56, 102, 10, Group},
    {IDC_STATIC, K::GroupBox, "Tryb pracy", 5, 81, 245, 45, 0},
    {IDC_SCAN_WINDOW_FRONT, K::RadioButton, "Vex na wierzchu", 15, 92, 70, 10, Group},
    {IDC_SCAN_WINDOW_BACKGROUND, K::RadioButton, "uruchamiaj Vex w &tle", 15, 102, 83, 10, 0},
    {IDC_SCAN_END_NOSTOP, K::RadioButton, "nie zatrzymuj", 125, 92, 56, 10, Group},
    {IDC_SCAN_END_ONINFECTION, K::RadioButton, "zatrzymaj w przypadku infekcji", 125, 102, 111, 10,
     0},
    {IDC_SCAN_END_ALWAYS, K::RadioButton, "zawsze zakończ", 125, 112, 68, 10, 0},
    {IDC_STATIC, K::GroupBox, "Analiza", 5, 128, 245, 74, 0},
    {IDC_STATIC, K::Static, "W przypadku infekcji:", 15, 139, 80, 8, Group},
    {IDC_SCAN_INFECTION_LOG, K::RadioButton, "&tylko protokół", 15, 149, 93, 10, Group},
    {1024, K::RadioButton, "&zatrzymaj analizę", 15, 159, 93, 10, 0},
    {1025, K::RadioButton, "&usuń wirus", 15, 169, 93, 10, 0},
    {1026, K::RadioButton, "usuń p&lik", 15, 179, 93, 10, 0},
    {1027, K::RadioButton, "prz&esuń plik", 15, 189, 93, 10, 0},
    {IDC_STATIC, K::Static, "Różnica w pliku referencji:", 125, 139, 95, 8, Group},
    {IDC_SCAN_REFDIFF_LOG, K::RadioButton, "tylko protokół", 125, 149, 93, 10, Group},
    {1036, K::RadioButton, "zatrzymaj analizę", 125, 159, 93, 10, 0},
    {1037, K::RadioButton, "z akceptacją", 125, 169, 119, 10, 0},
    {IDC_STATIC, K::GroupBox, "Referencja", 5, 205, 245, 35, 0},
    {IDC_SCAN_REFCHECK_NONE, K::RadioButton, "bez sprawdzania &referencji", 15, 215, 181, 10,
     Group},
    {1030, K::RadioButton, "&wykonaj analizę (zalecana)", 15, 225, 160, 10, 0},
    {IDC_STATIC, K::GroupBox, "Protokół", 5, 242, 245, 45, 0},
    {IDC_SCAN_LOG_NONE, K::RadioButton, "&bez protokołu", 15, 252, 110, 10, Group},
    {1018, K::RadioButton, "&połączony protokół", 15, 263, 115, 10, 0},
    {1019, K::RadioButton, "&dokładny protokół", 15, 273, 105, 10, 0},
    {IDOK_BUTTON, K::DefPushButton, "&OK", 260, 7, 50, 14, Group},
    {IDCANCEL_BUTTON, K::PushButton, "&Anuluj", 260, 24, 50, 14, 0},
};

template <int N>
constexpr DialogTemplate Captioned(unsigned nId, const char* pszTitle, int cx, int cy,
                                   const ControlTemplate (&controls)[N]) {
    return {nId, pszTitle, cx, cy, ds::Caption, controls, N};
}

const DialogTemplate kInfo{IDD_INFO, "", 217, 54, ds::Popup, nullptr, 0};
const DialogTemplate kPlan = Captioned(IDD_PLAN, "Ustawienia czasowe", 257, 157, kPlanControls);
const DialogTemplate kJob = Captioned(IDD_JOB, "Ustawienia analizy", 217, 161, kJobControls);
const DialogTemplate kWeekdays =
    Captioned(IDD_WEEKDAYS, "Dni tygodnia", 161, 111, kWeekdayControls);
const DialogTemplate kScanParam =
    Captioned(IDD_SCANPARAM, "Ustaw opcje analizy", 317, 290, kScanParamControls);

const DialogTemplate* const kAll[] = {&kInfo, &kPlan, &kJob, &kWeekdays, &kScanParam};

} // namespace

const DialogTemplate* FindDialogTemplate(unsigned nId) {
    for (const DialogTemplate* t : kAll)
        if (t->nId == nId)
            return t;
    return nullptr;
}

const DialogTemplate* const* AllDialogTemplates(int* pCount) {
    if (pCount != nullptr)
        *pCount = static_cast<int>(std::size(kAll));
    return kAll;
}

} // namespace res
