// Stands in for another program of the same state root in the refresh tests:
//   signal   signals "TemporaClient" once and exits
//   hold     holds the server's mutex "VexServ", prints "held", and keeps it
//            until its standard input closes
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "NamedMutex.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "signal") == 0) {
        CNamedBroadcast event(kClientEventName);
        return event.Set() ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "hold") == 0) {
        CNamedMutex mutex(kServerMutexName);
        if (!mutex.TryLock())
            return 1;
        std::puts("held");
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        return 0;
    }
    std::fprintf(stderr, "usage: %s signal|hold\n", argv[0]);
    return 2;
}
