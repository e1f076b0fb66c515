#include "Strings.h"

// Keep this list sorted by identifier: lookups use a binary search, and a test
// checks the order. Command prompts carry the command's own identifier and
// read "status-bar prompt\ntool tip".
const StringEntry kStrings[] = {
    {102, "Nie mogę otworzyć  bufora."},
    {103, "Nie mogę odzyskać danych z  bufora."},
    // Document template: title, document name, new-document name, filter name,
    // filter extension, file type identifier, file type name.
    {128, "Ustawienia periodyczne Vex\n\nAnaliza antywirusowa\nRodzaj pliku ustawień analizy "
          "(*.scj)\n.scj\nVigil.Dokument\nVgl Dokument"},
    // Formats of the schedule dialog's date-time pickers.
    {130, "dddd dd'.'MMMM yyyy"},
    {131, "HH':'mm"},
    {132, "m' %s po pełnej godzinie"},
    {133, "HH':'mm"},
    {134, "HH':'mm' każdy(a) 'dddd"},
    {135, "HH':'mm' w 'd'. dzień miesiąca"},
    {136, "Minuta"},
    {137, "Minut(y)"},
    {138, "Analiza o tej nazwie już istnieje. Proszę wybrać inną nazwę."},
    {139, "Software\\Kestrow\\Rampart 8\\VexServ\\Jobs"},
    {140, "Zapis analizy nie jest możliwy."},
    {141, "Software\\Kestrow\\Rampart 8\\Tempora"},
    {142, "Kopia"},
    {143, "Nie mogę usunąć ustawień analizy."},
    {144, "Nazwa"},
    {145, "Katalog"},
    {146, "Czas"},
    {147, "Następny start za..."},
    {148, "Ostatni start"},
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
    {162, "Nie mogę otworzyć bazy danych rejestracyjnych."},
    {163, "Na pewno usunąć wybrane ustawienia analiz ?"},
    {164, "Na pewno usunąć wybrane ustawienia analiz ?"},
    {165, "Ustawienia analizy o nazwie \"%s\" już istnieją. Zastąpić?"},
    {166, "Vex Tempora v1.0"},
    {167, "Błędny typ pliku."},
    {168, "Importuj ustawienia analiz"},
    {169, "Pliki ustawień analizy"},
    {170, "*.scj"},
    {171, "Exportuj ustawień analiz"},
    {172, "Serwer nie pracuje w tej chwili. Analizy nie zostaną uruchomione automatycznie."},
    {173, "%d minut po każdej pełnej godzinie"},
    // About box: name line with copyright, then the credits.
    {174, "Vex Tempora 1.0\nCopyright © Kestrow"},
    {175, "Projekt i programowanie:\nzespół Vex Tempora\n\nTesty:\ndział jakości Kestrow\n\n"
          "Tłumaczenie:\nzespół lokalizacji Kestrow"},
    // Messages about job files; %s is the file's path.
    {176, "Plik ustawień analiz „%s” jest uszkodzony. Import został w tym miejscu przerwany."},
    {177, "Plik „%s” już istnieje. Zastąpić?"},
    {178, "Nie mogę zapisać pliku „%s”."},
    {179, "Nie mogę otworzyć pliku „%s”."},
    {190, "Nie mogę odczytać wszystkich ustawień analiz z bazy danych. Plik „%s” nie został "
          "zapisany."},
    {191, "Ustawień analizy „%s” nie można zapisać ani wykonać: %s. Zostały pominięte."},
    {192, "Dane programu „%s” należą do innego użytkownika albo mogą je zmieniać inni. "
          "Program z nich nie skorzysta."},
    {193, "Zdarzenie „%s” należy do innego użytkownika albo mogą go używać inni. Program z "
          "niego nie skorzysta."},
    // The window's start: no server of the user runs, and another user (%s: the
    // user id) holds one of the server's names.
    {194, "Serwer nie pracuje w tej chwili, a jedną z jego nazw zajmuje użytkownik %s. Analizy "
          "nie zostaną uruchomione automatycznie."},
    // F1 when no program opens web pages.
    {196, "Nie mogę otworzyć strony pomocy „%s”.\n\nDo wyświetlenia pomocy potrzebna jest "
          "przeglądarka WWW oraz pakiet xdg-utils."},
    // The job list's result column: header, then the texts of a job's last
    // result ("%llu": a count).
    {280, "Wynik"},
    {281, "czysto"},
    {282, "infekcje: %llu"},
    {283, "zmiany: %llu"},
    {284, "błąd"},
    {285, "zatrzymano"},
    {286, "nie uruchomiono"},
    // The log viewer: title ("%s": the job), empty log, cut-off older lines.
    {287, "Protokół analizy „%s”"},
    {288, "Ta analiza nie ma jeszcze protokołu."},
    {289, "(wcześniejsze wiersze protokołu pominięto)"},
    // Desktop notices after a scan without a window ("%s": the job; counts
    // with their noun in the Polish plural forms for 1, 2-4 and 5 or more).
    {290, "Vex: znaleziono %llu %s w analizie „%s”"},
    {291, "zainfekowany plik"},
    {292, "zainfekowane pliki"},
    {293, "zainfekowanych plików"},
    {294, "zmieniony plik"},
    {295, "zmienione pliki"},
    {296, "zmienionych plików"},
    {297, "Vex: analiza „%s” nie powiodła się"},
    {298, "Vex: analiza „%s” zakończyła się błędami"},
    {299, "Sprawdzone pliki: %llu, zainfekowane: %llu, zmienione: %llu, błędy: %llu."},
    {300, "Pokaż protokół"},
    // The log viewer's button.
    {301, "Zamknij"},
    // The result column for runs that did not scan, besides 286.
    {302, "pominięto: poprzednia analiza trwa"},
    {303, "odrzucono: skaner nie przyjął ustawień"},
    {304, "pominięto: procesor zajęty"},
    {305, "anulowano"},
    {306, "odrzucono: folder nie jest ścieżką bezwzględną"},
    // Why a job cannot be stored or run, in the order of CJob::EFault.
    {307, "brak nazwy"},
    {308, "nazwa dłuższa niż 259 bajtów"},
    {309, "nazwa nie jest poprawnym tekstem UTF-8"},
    {310, "opcja analizy poza zakresem"},
    {311, "folder nie jest ścieżką bezwzględną (na przykład /home/jan) bez znaków końca wiersza, "
          "najwyżej 4095 bajtów"},
    // Added to a result's text when a scan of program files left files out.
    {312, ", pominiętych %llu"},
    {313, "podejrzane: %llu"},
    {314, "przerwano (sygnał %llu)"},
    // The notice's nouns for files with a heuristic alert only (see 291).
    {315, "podejrzany plik"},
    {316, "podejrzane pliki"},
    {317, "podejrzanych plików"},
    {318, "nie zapisano wyniku"},
    {319, "Tych ustawień analizy już nie ma: usunięto je w czasie edycji. Zmiany nie zostały "
          "zapisane."},
    {320, "Baza analiz jest uszkodzona: lista może nie pokazywać wszystkich analiz. Szczegóły "
          "podaje polecenie „tempora status”, a naprawia ją „vexserv --install --repair”."},
    // The quarantine dialog.
    {330, "Kwarantanna"},
    {331, "Miejsce pochodzenia"},
    {332, "Wykrycie"},
    {333, "Analiza"},
    {334, "Data"},
    {335, "Rozmiar"},
    {336, "Przywróć"},
    {337, "Przywróć jako..."},
    {338, "Przywróć i pomijaj"},
    {339, "Usuń"},
    {340, "Czy na pewno usunąć na zawsze plik „%s” z kwarantanny?"},
    {341, "Plik „%s” już istnieje i nie zostanie nadpisany. Wybierz inną nazwę, pod którą "
          "przywrócić plik."},
    {342, "(bez zapisu: %s)"},
    {343, "(zapis uszkodzony: %s)"},
    {344, "Nie można przywrócić pliku: %s"},
    {345, "Nie można usunąć pliku: %s"},
    {346, "Przywróć plik jako"},
    {347, "Nie można odczytać kwarantanny: %s"},
    // The signatures' state: the status bar's warnings, its normal text
    // (the newest database, the count), and what a result adds.
    {350, "Sygnatury sprzed %lld dni: uruchom freshclam"},
    {351, "Brak sygnatur: zainstaluj clamav-freshclam"},
    {352, "Sygnatury: %s, sygnatur %llu"},
    {353, ", sygnatury sprzed %llu dni"},
    {354, ", brak sygnatur"},
    // A command on rows whose jobs another window or program deleted ("%s":
    // their names).
    {370, "Tych ustawień analizy już nie ma: %s. Usunięto je w innym oknie albo programie; "
          "lista została odświeżona."},
    // A one-off schedule whose time has passed ("%s": its date and time).
    {371, "Termin %s już minął; analiza nigdy by się nie uruchomiła."},
    // Files a scan could not check for want of signatures ("%llu": their
    // count), in the result column; then the notice's sentences for them
    // and for the reason of a failure ("%s").
    {372, "nie sprawdzono: brak sygnatur (plików: %llu)"},
    {373, "Nie sprawdzono: brak sygnatur (plików: %llu)."},
    {374, "Przyczyna: %s."},
    // The help viewer for a desktop without a web browser: title, buttons.
    {390, "Pomoc – Vex Tempora"},
    {391, "< Wstecz"},
    {392, "Spis treści"},
    // The import's question about a taken name, for the rest of the file.
    {393, "Tak, dla &wszystkich"},
    {394, "Nie, dla ż&adnej"},
    // The scan options' folder browser.
    {395, "Wybierz folder:"},
    // The job list while it is empty.
    {396, "Lista analiz jest pusta.\nNowa analiza: Ctrl+N (albo „Nowa” na pasku symboli)."},
    // A job name that would break the one-line texts carrying it.
    {410, "nazwa zawiera znak sterujący (na przykład koniec wiersza albo tabulator)"},
    // The result column while the job's scan runs.
    {411, "trwa…"},
    // The job dialog's answer to a name the store would refuse.
    {412, "Tej nazwy nie można przyjąć: %1."},
    {32773, "Edycja wybranych ustawień analizy.\nZamień"},
    {32774, "Dodaje ustawienia analizy.\nNowa"},
    {32775, "Zamienia ustawienia analizy.\nZamień"},
    {32776, "Aktualizuję listę ustawień analiz."},
    {32777, "Włącza/wyłącza analizy przy następnym starcie systemu. "},
    {32778, "Usuwa wybrane ustawienia analiz.\nUsuń"},
    {32779, "Uruchom natychmiast wybrane analizy."},
    {32784, "Pokazuje protokół wybranej analizy.\nProtokół"},
    {32785, "Uruchamia wybrane analizy teraz i czyta wszystkie pliki, także niezmienione od "
            "poprzedniej analizy."},
    {32786, "Pokazuje pliki przeniesione do kwarantanny: przywraca je albo usuwa.\nKwarantanna"},
    {32795, "Zatrzymuje trwającą analizę wybranych ustawień.\nZatrzymaj"},
    {57344, "Vex Tempora"},
    {57345, "Gotowy."},
    {57600, "Tworzy nowy dokument.\nNowy"},
    {57601, "Otwiera dokument.\nOtwórz"},
    {57603, "Zapisuje dokument.\nZapisz"},
    {57604, "Zapisuje dokument pod nową nazwą\nZapisz jako"},
    {57634, "Kopiuje obiekt i przenosi do bufora.\nKopiuj"},
    {57635, "Usuwa obiekt i przenosi do bufora.\nWytnij"},
    {57637, "Wstawia zawartość bufora.\nWstaw"},
    {57664, "Pokazuje informacje o programie, numer wersji i copyright.\nInfo"},
    {57665, "Zamyka plik; pyta czy zapisać zmiany.\nKoniec"},
    {57670, "Startuje system pomocy."},
    {57680, "Przełącza do następnego panelu okna.\nNastępny panel"},
    {57681, "Przełącza do poprzedniego panelu okna.\nPoprzedni panel"},
    {59137, "UF"},
    {59138, "NUM"},
    {59139, "RF"},
    {59392, "Włącza/wyłącza pasek symboli."},
    {59393, "Włącza/wyłącza pasek statusu."},
    // Messages of the dialogs' data exchange (an integer field's checks).
    {61712, "Proszę wpisać liczbę całkowitą."},
    {61713, "Proszę wpisać liczbę całkowitą z zakresu od %1 do %2."},
};

const unsigned kStringCount = sizeof(kStrings) / sizeof(kStrings[0]);
