#include "FolderOpen.h"

#include "FileOps.h"
#include "LineText.h"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// As many links as the kernel follows in one lookup.
constexpr int kMaxLinks = 40;

std::deque<std::string> Components(const std::string& path) {
    std::deque<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The folders open so far, from "/" down, as path-only descriptors.
class CFolderChain {
public:
    CFolderChain() { m_fds.push_back(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)); }
    ~CFolderChain() {
        for (int fd : m_fds)
            if (fd >= 0)
                ::close(fd);
    }
    CFolderChain(const CFolderChain&) = delete;
    CFolderChain& operator=(const CFolderChain&) = delete;

    int Top() const { return m_fds.back(); }
    void Push(int fd, const std::string& name) {
        m_fds.push_back(fd);
        m_names.push_back(name);
    }
    void Up() {
        if (m_fds.size() == 1)
            return;
        ::close(m_fds.back());
        m_fds.pop_back();
        m_names.pop_back();
    }
    void ToRoot() {
        while (m_fds.size() > 1)
            Up();
    }
    std::string Path(const std::string& last = std::string()) const {
        std::string path;
        for (const std::string& name : m_names)
            path += "/" + name;
        if (!last.empty())
            path += "/" + last;
        return path.empty() ? "/" : path;
    }

private:
    std::vector<int> m_fds;
    std::vector<std::string> m_names;
};

bool ReadLink(int dirfd, const std::string& name, std::string& target) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlinkat(dirfd, name.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf)
        return false;
    target.assign(buf, static_cast<size_t>(n));
    return true;
}

} // namespace

int OpenFolderSafely(const std::string& path, uid_t user, std::string& resolved,
                     std::string& error) {
    const std::string shown = "nie można otworzyć folderu " + EscapePath(path) + ": ";
    if (path.empty() || path[0] != '/') {
        error = shown + "to nie jest ścieżka bezwzględna";
        return -1;
    }
    CFolderChain chain;
    std::deque<std::string> todo = Components(path);
    int links = 0;
    while (!todo.empty()) {
        const std::string name = todo.front();
        todo.pop_front();
        if (name == ".")
            continue;
        if (name == "..") {
            chain.Up();
            continue;
        }
        struct stat st {};
        if (::fstatat(chain.Top(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            error = shown + ErrorText(errno);
            return -1;
        }
        if (S_ISLNK(st.st_mode)) {
            std::string target;
            if (st.st_uid != 0 && st.st_uid != user) {
                error = shown + "prowadzi przez dowiązanie symboliczne " +
                        EscapePath(chain.Path(name)) + " użytkownika " + std::to_string(st.st_uid) +
                        ", któremu analiza nie ufa";
                return -1;
            }
            if (++links > kMaxLinks || !ReadLink(chain.Top(), name, target)) {
                error = shown + ErrorText(links > kMaxLinks ? ELOOP : errno);
                return -1;
            }
            const std::deque<std::string> parts = Components(target);
            todo.insert(todo.begin(), parts.begin(), parts.end());
            if (target[0] == '/')
                chain.ToRoot();
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            error = shown + ErrorText(ENOTDIR);
            return -1;
        }
        const int fd =
            ::openat(chain.Top(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && (errno == ENOTDIR || errno == ELOOP) && ++links <= kMaxLinks) {
            // Replaced since the look: look again.
            todo.push_front(name);
            continue;
        }
        if (fd < 0) {
            error = shown + ErrorText(errno);
            return -1;
        }
        chain.Push(fd, name);
    }
    const int fd = ::openat(chain.Top(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = shown + ErrorText(errno);
        return -1;
    }
    resolved = chain.Path();
    return fd;
}
