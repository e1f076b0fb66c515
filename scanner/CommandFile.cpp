#include "CommandFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kMaxJobName = 259;
constexpr size_t kMaxDirectory = 4095;

// Splits into lines ending in LF or CR LF; the last line may lack its end.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
        if (lines.size() > 3)
            break; // enough to know the file is too long
    }
    return lines;
}

bool ParseDigits(std::string_view line, CScanCommand& cmd, std::string& error) {
    // Highest value each position may hold, in the order of line 1.
    static constexpr int kMax[8] = {2, 1, 1, 1, 4, 2, 2, 1};
    if (line.size() != 8) {
        error = "line 1 must hold exactly eight digits";
        return false;
    }
    int v[8];
    for (int i = 0; i < 8; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            error = "line 1 must hold exactly eight digits";
            return false;
        }
        v[i] = line[i] - '0';
        if (v[i] > kMax[i]) {
            error = "opcja " + std::to_string(i + 1) + " w wierszu 1 jest poza zakresem";
            return false;
        }
    }
    cmd.m_nEndMode = v[0];
    cmd.m_bHeuristic = v[1] != 0;
    cmd.m_nFileSelection = v[2];
    cmd.m_bSubdirectories = v[3] != 0;
    cmd.m_nInfectionAction = v[4];
    cmd.m_nReferenceDiffAction = v[5];
    cmd.m_nLogMode = v[6];
    cmd.m_bReferenceCheck = v[7] != 0;
    return true;
}

bool HasControl(std::string_view s) {
    for (char c : s)
        if (c == '\0' || c == '\r' || c == '\n')
            return true;
    return false;
}

} // namespace

bool ParseCommandFile(const char* data, size_t size, CScanCommand& cmd, std::string& error) {
    if (size > kMaxCommandFileSize) {
        error = "plik poleceń jest za długi";
        return false;
    }
    std::vector<std::string_view> lines = SplitLines(std::string_view(data, size));
    if (lines.size() != 3) {
        error = lines.size() < 3 ? "plik poleceń ma mniej niż trzy wiersze"
                                 : "plik poleceń ma więcej niż trzy wiersze";
        return false;
    }
    CScanCommand parsed;
    if (!ParseDigits(lines[0], parsed, error))
        return false;
    if (lines[1].size() > kMaxJobName || HasControl(lines[1])) {
        error = "wiersz 2 nie jest poprawną nazwą analizy";
        return false;
    }
    if (lines[2].empty() || lines[2].size() > kMaxDirectory || HasControl(lines[2]) ||
        lines[2][0] != '/') {
        error = "wiersz 3 nie jest bezwzględną ścieżką folderu";
        return false;
    }
    parsed.m_strJobName.assign(lines[1]);
    parsed.m_strDirectory.assign(lines[2]);
    cmd = std::move(parsed);
    return true;
}

bool ReadCommandFile(const std::string& path, CScanCommand& cmd, std::string& error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "nie można otworzyć pliku poleceń " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "plik poleceń " + path + " nie jest zwykłym plikiem";
        return false;
    }
    // Whoever can write the command file chooses what is scanned and what
    // happens to infected files: only its owner may.
    if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH))) {
        ::close(fd);
        error = "plik poleceń " + path +
                (st.st_uid != ::geteuid() ? " należy do innego użytkownika"
                                          : " mogą zmieniać inni użytkownicy") +
                "; odrzucono";
        return false;
    }
    std::string bytes(kMaxCommandFileSize + 1, '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = "nie można odczytać pliku poleceń " + path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return ParseCommandFile(bytes.data(), got, cmd, error);
}
