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
           "Zmienna VEX_WINDOW=hidden: bez wyniku na terminalu (analiza w tle).\n"
           "Dziennik analizy: $RAMPART_ROOT/scanner/logs/.\n"
           "Kody wyjścia: 0 nic nie znaleziono, 1 znaleziono zarażone albo zmienione\n"
           "pliki, 2 analiza się nie odbyła (na przykład katalog nie istnieje) albo\n"
           "błędne wywołanie.\n";
}
