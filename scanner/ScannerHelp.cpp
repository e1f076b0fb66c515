#include "ScannerHelp.h"

const char* VexscanUsage() {
    return "Użycie: vexscan -c PLIK_POLECEŃ | --help | --version\n";
}

const char* VexscanHelp() {
    return "vexscan - skaner Vex Tempora\n"
           "\n"
           "Użycie: vexscan -c PLIK_POLECEŃ | --help | --version\n"
           "\n"
           "Przeprowadza analizę opisaną w pliku poleceń, który zapisują serwer vexserv,\n"
           "okno i tempora run: cyfry opcji, nazwa analizy i katalog, po jednym w wierszu.\n"
           "Wczytany plik poleceń skaner usuwa.\n"
           "\n"
           "  -c PLIK_POLECEŃ   analiza opisana w pliku\n"
           "  --help            ten opis\n"
           "  --version         wersja i licencja\n"
           "\n"
           "Na wierzchu skaner pokazuje analizę w oknie \"Vex: NAZWA\", gdy jest ekran,\n"
           "a bez ekranu wypisuje wynik na terminalu.\n"
           "\n"
           "Zmienne środowiska:\n"
           "  VEX_WINDOW=hidden          analiza w tle: bez okna i bez wyniku na terminalu\n"
           "  VEX_PRIORITY=background    niski priorytet: nice 10 i we/wy bezczynne\n"
           "                             (tak uruchamia skaner serwer vexserv)\n"
           "  VEX_SIGNATURES=KATALOG     katalog baz sygnatur zamiast zapisanego\n"
           "                             (domyślnie /var/lib/clamav, bazy z freshclam)\n"
           "Dziennik analizy: $RAMPART_ROOT/scanner/logs/.\n"
           "Kody wyjścia: 0 nic nie znaleziono, 1 znaleziono zarażone albo zmienione\n"
           "pliki, 2 analiza się nie odbyła albo nie objęła wszystkiego (na przykład\n"
           "katalog nie istnieje, brak sygnatur) albo błędne wywołanie.\n";
}
