#include "Strings.h"

// Keep this list sorted by identifier: lookups use a binary search, and a test
// checks the order.
const StringEntry kStrings[] = {
    {136, "Minuta"},
    {137, "Minut(y)"},
    {138, "Analiza o tej nazwie już istnieje. Proszę wybrać inną nazwę."},
    {139, "Software\\Kestrow\\Rampart 8\\VexServ\\Jobs"},
    {140, "Zapis analizy nie jest możliwy."},
    {141, "Software\\Kestrow\\Rampart 8\\Tempora"},
    {143, "Nie mogę usunąć ustawień analizy."},
    {149, "%A %d.%B %Y %H:%M"},
    {150, "%d minut po każdej pełnej godzinie"},
    {151, "%02d:%02d%s każdego dnia"},
    {152, "%H:%M każdy(a) %A"},
    {153, "%02d:%02d każdego %d.dnia miesiąca"},
    {154, "Start systemu"},
    {155, " prawie"},
    {156, "wyłączony"},
    {157, "teraz"},
    {158, "dni"},
    {159, "godzin(y)"},
    {160, "godzina"},
    {161, "dzień"},
    {166, "Vex Tempora v1.0"},
    {167, "Błędny typ pliku."},
    {172, "Serwer nie pracuje w tej chwili. Analizy nie zostaną uruchomione automatycznie."},
    {173, "%d minut po każdej pełnej godzinie"},
    {57344, "Vex Tempora"},
    {57345, "Gotowy."},
};

const unsigned kStringCount = sizeof(kStrings) / sizeof(kStrings[0]);
