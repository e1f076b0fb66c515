// A scanner that records its starts: "-c FILE" appends the job name (line 2
// of the command file), with " (full)" when VEX_VERDICT_CACHE asks for a full
// scan, to the file named by VEX_START_LOG in one write, then removes the
// command file, as the real scanner does.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "-c") != 0)
        return 2;
    std::ifstream in(argv[2], std::ios::binary);
    std::string options, name;
    if (!std::getline(in, options) || !std::getline(in, name))
        return 2;
    if (!name.empty() && name.back() == '\r')
        name.pop_back();
    in.close();
    std::remove(argv[2]);
    const char* log = std::getenv("VEX_START_LOG");
    if (log == nullptr)
        return 2;
    int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return 2;
    if (const char* cache = std::getenv("VEX_VERDICT_CACHE"); cache && !std::strcmp(cache, "full"))
        name += " (full)";
    name += '\n';
    bool ok = write(fd, name.data(), name.size()) == static_cast<ssize_t>(name.size());
    close(fd);
    return ok ? 0 : 2;
}
