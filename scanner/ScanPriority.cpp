#include "ScanPriority.h"

#include <cerrno>
#include <cstring>
#include <linux/ioprio.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kBackgroundNice = 10;

// The nice value of the calling thread; -1 is a valid value, so errno tells.
int CurrentNice() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    return errno == 0 ? nice : 0;
}

long CurrentIoPriority() {
    return ::syscall(SYS_ioprio_get, IOPRIO_WHO_PROCESS, 0);
}

} // namespace

bool LowerToBackground(std::string& error) {
    if (CurrentNice() < kBackgroundNice && ::setpriority(PRIO_PROCESS, 0, kBackgroundNice) != 0) {
        error = std::string("nie można obniżyć priorytetu procesora: ") + std::strerror(errno);
        return false;
    }
    if (::syscall(SYS_ioprio_set, IOPRIO_WHO_PROCESS, 0, IOPRIO_PRIO_VALUE(IOPRIO_CLASS_IDLE, 0)) !=
        0) {
        error = std::string("nie można obniżyć priorytetu we/wy: ") + std::strerror(errno);
        return false;
    }
    return true;
}

std::string DescribePriority() {
    const long io = CurrentIoPriority();
    const char* ioClass = "zwykłe";
    if (io >= 0 && IOPRIO_PRIO_CLASS(io) == IOPRIO_CLASS_IDLE)
        ioClass = "bezczynne";
    else if (io >= 0 && IOPRIO_PRIO_CLASS(io) == IOPRIO_CLASS_RT)
        ioClass = "czasu rzeczywistego";
    return "nice " + std::to_string(CurrentNice()) + ", we/wy: " + ioClass;
}
