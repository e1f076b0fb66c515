#include "PlanDialog.h"

#include "Clock.h"
#include "DataExchange.h"
#include "Job.h"
#include "ModalSeam.h"
#include "MyDateTimePickCtrl.h"
#include "SpinButtonCtrl.h"
#include "StringTable.h"
#include "WeekdayDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {
// Picker formats and unit words of the string table.
constexpr unsigned IDS_ONCE_DATE = 130;
constexpr unsigned IDS_ONCE_TIME = 131;
constexpr unsigned IDS_HOURLY = 132;
constexpr unsigned IDS_DAILY = 133;
constexpr unsigned IDS_WEEKLY = 134;
constexpr unsigned IDS_MONTHLY = 135;
constexpr unsigned IDS_MINUTE_ONE = 136;
constexpr unsigned IDS_MINUTES = 137;

constexpr int kMinIdleMinutes = 1;
constexpr int kMaxIdleMinutes = 30;

COleDateTime Today(const COleDateTime& now) {
    return COleDateTime(now.GetYear(), now.GetMonth(), now.GetDay(), 0, 0, 0);
}

// Midnight of the day plus a minute of the day. A minute of 1440, which a
// schedule accepts, lands on the next midnight instead of an impossible 24:00.
COleDateTime AtMinute(const COleDateTime& day, int nMinuteOfDay) {
    return day + COleDateTimeSpan(0, 0, nMinuteOfDay, 0);
}
} // namespace

CPlanDialog::CPlanDialog(QWidget* pParent)
    : CTemplateDialog(res::IDD_PLAN, pParent),
      m_dtpDate(Item<CMyDateTimePickCtrl>(res::IDC_PLAN_DATE)),
      m_dtpTime(Item<CMyDateTimePickCtrl>(res::IDC_PLAN_TIME)) {
    for (int kind = PERIOD_ONCE; kind <= PERIOD_AT_STARTUP; ++kind)
        connect(Item<QRadioButton>(res::IDC_PLAN_ONCE + kind), &QRadioButton::clicked, this,
                [this, kind] { OnKind(kind); });
    connect(Item<QPushButton>(res::IDC_PLAN_WEEKDAYS), &QPushButton::clicked, this,
            [this] { OnWeekdays(); });
    connect(Item<QAbstractButton>(res::IDC_PLAN_IDLE), &QAbstractButton::clicked, this,
            [this] { UpdateData(true); });
    connect(Item<CSpinButtonCtrl>(res::IDC_PLAN_IDLE_SPIN), &CSpinButtonCtrl::Stepped, this,
            [this](int nSteps) { OnIdleSpin(nSteps); });
}

void CPlanDialog::InitFromPeriod(const CPeriod& period) {
    CPeriod* const all[] = {&m_once, &m_hourly, &m_daily, &m_weekly, &m_monthly, &m_atStartup};
    for (CPeriod* p : all)
        p->Assign(period);
    m_nKind = period.GetKind();
    m_bIdle = period.GetIdle() ? 1 : 0;
    // A stored count outside the field's range (only foreign data holds one)
    // is brought into it, so the dialog does not open with a complaint.
    m_nIdleMinutes = std::clamp(period.GetIdleMinutes(), kMinIdleMinutes, kMaxIdleMinutes);
}

bool CPlanDialog::OnInitDialog() {
    CTemplateDialog::OnInitDialog();
    const QRect rect = m_dtpDate->geometry();
    m_nLeft = rect.x();
    m_nTop = rect.y();
    m_nHeight = rect.height();
    m_nTimeWidth = Scaled(55);
    // The pickers keep to the "Czas" frame, with the margin they have on the left.
    m_nRight = width();
    for (const CBuiltControl& c : Controls().All())
        if (c.pTemplate->kind == res::ControlKind::GroupBox &&
            c.pWidget->geometry().contains(rect)) {
            m_pTimeFrame = c.pWidget;
            m_nRight = c.pWidget->geometry().right() + 1 - (m_nLeft - c.pWidget->x());
        }
    if (m_nKind >= PERIOD_ONCE && m_nKind <= PERIOD_AT_STARTUP) {
        const int kind = m_nKind;
        m_nKind = -1;
        OnKind(kind);
    }
    return true;
}

void CPlanDialog::DoDataExchange(CDataExchange& dx) {
    DDX_Check(dx, res::IDC_PLAN_IDLE, m_bIdle);
    if (!DDX_TextMinMax(dx, res::IDC_PLAN_IDLE_MINUTES, m_nIdleMinutes, kMinIdleMinutes,
                        kMaxIdleMinutes))
        return;
    DDX_Radio(dx, res::IDC_PLAN_ONCE, m_nKind);
    UpdateControlStates();
}

void CPlanDialog::UpdateControlStates() {
    GetDlgItem(res::IDC_PLAN_IDLE_SPIN)->setEnabled(m_bIdle != 0);
    GetDlgItem(res::IDC_PLAN_IDLE_MINUTES)->setEnabled(m_bIdle != 0);
    GetDlgItem(res::IDC_PLAN_WEEKDAYS)->setEnabled(m_nKind == PERIOD_DAILY);
    auto* unit = Item<QLabel>(res::IDC_PLAN_MINUTES_UNIT);
    unit->setText(
        QString::fromUtf8(LoadResString(m_nIdleMinutes == 1 ? IDS_MINUTE_ONE : IDS_MINUTES)));
    Controls().FitToText(unit, CDialogUnits(font()).ToPixelsX(1));
}

void CPlanDialog::OnKind(int nKind) {
    if (m_nKind == nKind)
        return;
    if (!UpdateData(true)) {
        // The minutes field was refused before the radios were read; the
        // clicked kind is shown all the same, so take it as chosen.
        m_nKind = nKind;
        UpdateControlStates();
    }
    GetDlgItem(res::IDC_PLAN_EVERY)->hide();
    GetDlgItem(res::IDC_PLAN_DAY_OF_MONTH)->hide();
    switch (nKind) {
    case PERIOD_ONCE:
        ShowOnce();
        break;
    case PERIOD_HOURLY:
        ShowHourly();
        break;
    case PERIOD_DAILY:
        ShowDaily();
        break;
    case PERIOD_WEEKLY:
        ShowWeekly();
        break;
    case PERIOD_MONTHLY:
        ShowMonthly();
        break;
    default:
        ShowAtStartup();
        break;
    }
}

void CPlanDialog::ShowOnce() {
    m_dtpDate->SetDisplayFormat(LoadResString(IDS_ONCE_DATE), false);
    m_dtpTime->SetDisplayFormat(LoadResString(IDS_ONCE_TIME), false);
    // The date takes what its longest weekday and month names need; the time
    // follows it, as far right as the frame allows.
    const int gap = Scaled(10);
    const int dateWidth = std::max(Scaled(180), m_dtpDate->WidthForLongestText());
    const int timeWidth = std::max(m_nTimeWidth, m_dtpTime->WidthForLongestText());
    WidenTimeFrame(m_nLeft + dateWidth + gap + timeWidth);
    const int timeLeft =
        std::min(m_nLeft + std::max(Scaled(190), dateWidth + gap), m_nRight - timeWidth);
    Place(m_dtpTime, timeLeft, m_nTimeWidth, m_nRight);
    Place(m_dtpDate, m_nLeft, Scaled(180), timeLeft - gap);
    COleDateTime value = COleDateTime::GetCurrentTime();
    if (m_once.IsValid()) {
        SYSTEMTIME st{};
        m_once.Get(&st);
        const COleDateTime stored(st);
        if (stored.GetStatus() == COleDateTime::valid)
            value = stored;
    }
    SetPickers(value);
    ShowPickers(true, true);
}

void CPlanDialog::ShowHourly() {
    const COleDateTime now = COleDateTime::GetCurrentTime();
    const int minute = m_hourly.IsValid() ? m_hourly.GetMinute() : 0;
    // The value goes in first: the unit word is chosen from the shown minute.
    SetPickers(COleDateTime(now.GetYear(), now.GetMonth(), now.GetDay(), 0, minute, 0));
    m_dtpTime->SetDisplayFormat(LoadResString(IDS_HOURLY), true);
    Place(m_dtpTime, m_nLeft, Scaled(195), m_nRight);
    ShowPickers(false, true);
}

void CPlanDialog::ShowDaily() {
    m_dtpTime->SetDisplayFormat(LoadResString(IDS_DAILY), false);
    Place(m_dtpTime, m_nLeft, m_nTimeWidth, m_nRight);
    const COleDateTime now = COleDateTime::GetCurrentTime();
    COleDateTime value = now;
    if (m_daily.IsValid()) {
        int hour = 0;
        int minute = 0;
        m_daily.Get(&hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        value = AtMinute(Today(now), hour * 60 + minute);
    }
    SetPickers(value);
    ShowPickers(false, true);
}

void CPlanDialog::ShowWeekly() {
    m_dtpTime->SetDisplayFormat(LoadResString(IDS_WEEKLY), false);
    Place(m_dtpTime, m_nLeft, Scaled(145), m_nRight);
    const COleDateTime now = COleDateTime::GetCurrentTime();
    COleDateTime value = now;
    if (m_weekly.IsValid()) {
        int hour = 0;
        int minute = 0;
        int dayOfWeek = 0;
        m_weekly.Get(&hour, &minute, &dayOfWeek);
        // The coming day with the stored weekday, today included.
        COleDateTime day = Today(now);
        for (int i = 0; i < 7 && day.GetDayOfWeek() != dayOfWeek; ++i)
            day += COleDateTimeSpan(1.0);
        value = AtMinute(day, hour * 60 + minute);
    }
    SetPickers(value);
    ShowPickers(false, true);
}

void CPlanDialog::ShowMonthly() {
    m_dtpTime->SetDisplayFormat(LoadResString(IDS_MONTHLY), false);
    Place(m_dtpTime, m_nLeft, Scaled(170), m_nRight);
    // January has every day from 1 to 31; the month itself is never read.
    const COleDateTime now = COleDateTime::GetCurrentTime();
    COleDateTime value(now.GetYear(), 1, now.GetDay(), now.GetHour(), now.GetMinute(), 0);
    if (m_monthly.IsValid()) {
        int hour = 0;
        int minute = 0;
        int day = 0;
        m_monthly.Get(&hour, &minute, &day);
        value = AtMinute(COleDateTime(now.GetYear(), 1, day, 0, 0, 0), hour * 60 + minute);
    }
    SetPickers(value);
    ShowPickers(false, true);
}

void CPlanDialog::ShowAtStartup() {
    ShowPickers(false, false);
}

void CPlanDialog::OnWeekdays() {
    CWeekdayDialog dlg(this);
    m_daily.Get(nullptr, nullptr, &dlg.m_bMonday, &dlg.m_bTuesday, &dlg.m_bWednesday,
                &dlg.m_bThursday, &dlg.m_bFriday, &dlg.m_bSaturday, &dlg.m_bSunday);
    if (dlg.DoModal() != IDOK)
        return;
    // Only the days change; the time and its validity stay.
    m_daily.Set(m_daily.IsValid(), nullptr, nullptr, &dlg.m_bMonday, &dlg.m_bTuesday,
                &dlg.m_bWednesday, &dlg.m_bThursday, &dlg.m_bFriday, &dlg.m_bSaturday,
                &dlg.m_bSunday);
}

void CPlanDialog::OnIdleSpin(int nSteps) {
    UpdateData(true);
    m_nIdleMinutes = std::clamp(m_nIdleMinutes + nSteps, kMinIdleMinutes, kMaxIdleMinutes);
    UpdateData(false);
}

void CPlanDialog::OnOK() {
    // One exchange per press, so a bad minutes value is reported once.
    if (!UpdateData(true))
        return;
    if (!WriteChosenKind())
        return;
    // A one-off time that has passed would never run: the user picks another.
    if (const std::string passed = PassedOnceMessage(*m_pResult, CurrentTime()); !passed.empty()) {
        AfxMessageBox(passed.c_str(), MB_OK | MB_ICONEXCLAMATION);
        m_pResult = nullptr;
        return;
    }
    m_pResult->SetIdle(m_bIdle != 0, m_nIdleMinutes);
    EndDialog(IDOK);
}

// Writes the pickers into the chosen kind's schedule and points m_pResult at
// it. False when no kind is chosen or a picker holds no date: nothing usable
// could be reported, so the dialog stays open.
bool CPlanDialog::WriteChosenKind() {
    COleDateTime date;
    COleDateTime time;
    const bool bDate = m_dtpDate->GetTime(date) == GDT_VALID;
    const bool bTime = m_dtpTime->GetTime(time) == GDT_VALID;
    switch (m_nKind) {
    case PERIOD_ONCE: {
        if (!bDate || !bTime)
            return false;
        SYSTEMTIME st{};
        st.wYear = static_cast<WORD>(date.GetYear());
        st.wMonth = static_cast<WORD>(date.GetMonth());
        st.wDayOfWeek = static_cast<WORD>(date.GetDayOfWeek());
        st.wDay = static_cast<WORD>(date.GetDay());
        st.wHour = static_cast<WORD>(time.GetHour());
        st.wMinute = static_cast<WORD>(time.GetMinute());
        m_once.Set(true, &st);
        m_pResult = &m_once;
        return true;
    }
    case PERIOD_HOURLY:
        if (!bTime)
            return false;
        m_hourly.SetMinute(true, time.GetMinute());
        m_pResult = &m_hourly;
        return true;
    case PERIOD_DAILY: {
        if (!bTime)
            return false;
        const int hour = time.GetHour();
        const int minute = time.GetMinute();
        m_daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                    nullptr);
        m_pResult = &m_daily;
        return true;
    }
    case PERIOD_WEEKLY:
        if (!bTime)
            return false;
        m_weekly.Set(true, time.GetHour(), time.GetMinute(), time.GetDayOfWeek());
        m_pResult = &m_weekly;
        return true;
    case PERIOD_MONTHLY:
        if (!bTime)
            return false;
        m_monthly.Set(true, time.GetHour(), time.GetMinute(), time.GetDay());
        m_pResult = &m_monthly;
        return true;
    case PERIOD_AT_STARTUP:
        m_pResult = &m_atStartup;
        return true;
    default:
        return false;
    }
}

void CPlanDialog::WidenTimeFrame(int nRight) {
    if (nRight <= m_nRight || m_pTimeFrame == nullptr)
        return;
    // The frame may grow to the right edge of the buttons above it, which
    // is the dialog's own margin; long month and weekday names need it with
    // wider fonts.
    const int margin = m_nLeft - m_pTimeFrame->x();
    int limit = width() - m_pTimeFrame->x();
    if (QWidget* ok = GetDlgItem(IDOK))
        limit = ok->geometry().right() + 1;
    const int frameRight = std::min(nRight + margin, limit);
    if (frameRight <= m_pTimeFrame->geometry().right() + 1)
        return;
    m_pTimeFrame->resize(frameRight - m_pTimeFrame->x(), m_pTimeFrame->height());
    m_nRight = frameRight - margin;
}

int CPlanDialog::Scaled(int nPixels) const {
    const CDialogUnits units(font());
    return (nPixels * units.BaseX() + 3) / 6;
}

void CPlanDialog::Place(CMyDateTimePickCtrl* pPicker, int nX, int nWidth, int nRight) {
    const int width = std::min(std::max(nWidth, pPicker->WidthForLongestText()), nRight - nX);
    pPicker->setGeometry(nX, m_nTop, width, m_nHeight);
}

void CPlanDialog::SetPickers(const COleDateTime& value) {
    m_dtpDate->SetTime(value);
    m_dtpTime->SetTime(value);
}

void CPlanDialog::ShowPickers(bool bDate, bool bTime) {
    m_dtpDate->setVisible(bDate);
    m_dtpTime->setVisible(bTime);
}
