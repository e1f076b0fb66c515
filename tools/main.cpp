#include "TemporaSession.h"

#include <clocale>
#include <cstdio>

// tempora: the command-line companion of Vex Tempora.
int main(int argc, char** argv) {
    // Dates in the texts follow the user's locale, as in the window.
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = RunTempora(args, stdout, stderr);
    // A failed write to standard output (a full disk, a closed pipe) is a
    // failure, not a success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return code == 0 ? 1 : code;
    return code;
}
