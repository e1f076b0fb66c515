// Stands in for the scanner in tests: writes what it was started with (its
// arguments, working directory, VEX_WINDOW, inherited descriptors, the
// command file's rights and bytes) to the file named by VEX_FAKE_OUT. Then,
// with VEX_FAKE_HOLD, it runs on while that file exists (a long scan, 20 s
// at most). It removes the command file, as the scanner does with one it
// accepts, unless VEX_FAKE_KEEP says it refuses it; with VEX_FAKE_ABORT it
// crashes.
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* out = std::getenv("VEX_FAKE_OUT");
    if (!out)
        return 3;
    std::ostringstream rec;
    rec << "argc=" << argc << "\n";
    for (int i = 1; i < argc; ++i)
        rec << "arg" << i << "=" << argv[i] << "\n";
    char cwd[4096];
    rec << "cwd=" << (::getcwd(cwd, sizeof cwd) ? cwd : "?") << "\n";
    const char* window = std::getenv("VEX_WINDOW");
    rec << "window=" << (window ? window : "(unset)") << "\n";
    std::string fds;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        int own = ::dirfd(d);
        while (dirent* e = ::readdir(d)) {
            int fd = std::atoi(e->d_name);
            if (e->d_name[0] != '.' && fd > 2 && fd != own)
                fds += std::string(e->d_name) + " ";
        }
        ::closedir(d);
    }
    rec << "fds=" << fds << "\n";
    char target[4096] = {};
    ssize_t n = ::readlink("/proc/self/fd/0", target, sizeof target - 1);
    rec << "stdin=" << (n > 0 ? target : "?") << "\n";
    if (argc == 3) {
        struct stat st {};
        ::stat(argv[2], &st);
        rec << "mode=" << std::oct << (st.st_mode & 07777) << std::dec << "\n";
        std::ifstream cmd(argv[2], std::ios::binary);
        std::ostringstream bytes;
        bytes << cmd.rdbuf();
        rec << "cmd=" << bytes.str();
    }
    // Written beside and renamed, so a reader never sees half a record.
    std::string tmp = std::string(out) + ".part";
    std::ofstream(tmp, std::ios::binary) << rec.str();
    std::rename(tmp.c_str(), out);
    if (argc == 3 && std::getenv("VEX_FAKE_KEEP") == nullptr)
        ::unlink(argv[2]);
    if (const char* hold = std::getenv("VEX_FAKE_HOLD")) {
        struct stat st {};
        for (int i = 0; i < 2000 && ::stat(hold, &st) == 0; ++i)
            ::usleep(10000);
    }
    if (std::getenv("VEX_FAKE_ABORT") != nullptr)
        std::abort();
    return 0;
}
