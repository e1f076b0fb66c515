#include "ServerHelp.h"

const char* VexservUsage() {
    return "Użycie: vexserv [--install [--repair] | --help | --version]\n";
}

const char* VexservHelp() {
    return "vexserv - serwer analiz Vex Tempora\n"
           "\n"
           "Użycie: vexserv [--install [--repair] | --help | --version]\n"
           "\n"
           "Bez opcji serwer działa do sygnału SIGTERM albo SIGINT i uruchamia każdą\n"
           "aktywną analizę, gdy przychodzi jej czas. Dla jednego katalogu stanu działa\n"
           "najwyżej jeden serwer.\n"
           "\n"
           "  --install    przygotowuje katalog stanu: bazę analiz, ścieżkę skanera\n"
           "               (wartość vexexe), plik pomocy i katalog sygnatur; ścieżkę\n"
           "               skanera, który nie istnieje, zastępuje skanerem należącym\n"
           "               do tego serwera\n"
           "  --repair     (z --install) naprawia najpierw uszkodzoną bazę analiz:\n"
           "               odbudowuje jej indeksy z tabel, zachowując każdą analizę;\n"
           "               bazy, której tabele straciły wiersze, nie zmienia\n"
           "               (man vexserv, NAPRAWA)\n"
           "  --help       ten opis\n"
           "  --version    wersja i licencja\n"
           "\n"
           "Kody wyjścia: 0 serwer zatrzymany sygnałem albo --install wykonane,\n"
           "1 inny serwer działa już dla tego katalogu stanu, 2 błąd albo błędne\n"
           "wywołanie. Katalog stanu: $RAMPART_ROOT albo $XDG_DATA_HOME/rampart.\n";
}
