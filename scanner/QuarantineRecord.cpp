#include "QuarantineRecord.h"

#include "LineText.h"

#include <QCryptographicHash>
#include <cerrno>
#include <charconv>
#include <map>
#include <unistd.h>

namespace {

constexpr std::string_view kHeader = "vex-quarantine 1";
constexpr size_t kMaxName = 1024;

template <typename T> bool ParseInt(std::string_view text, T& value, int base = 10) {
    if (text.empty() || text.size() > 20 || text[0] == '+' || text[0] == '-')
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

bool IsSha256(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool ParseName(std::string_view text, std::string& value) {
    return UnescapePath(text, value) && value.size() <= kMaxName &&
           value.find('\0') == std::string::npos;
}

// The fields of one record, each line "key value", each key once.
bool SplitFields(std::string_view text, std::map<std::string, std::string_view>& fields,
                 std::string& error) {
    size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            if (line != kHeader) {
                error = "to nie jest zapis kwarantanny";
                return false;
            }
            first = false;
            continue;
        }
        if (line.empty())
            continue;
        const size_t space = line.find(' ');
        const std::string key(line.substr(0, space));
        if (space == std::string_view::npos ||
            !fields.emplace(key, line.substr(space + 1)).second) {
            error = "uszkodzony wiersz zapisu kwarantanny: " + EscapePath(line.substr(0, 64));
            return false;
        }
    }
    if (first)
        error = "pusty zapis kwarantanny";
    return !first;
}

} // namespace

std::string CQuarantineRecord::Serialize() const {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(m_mode & 07777));
    return std::string(kHeader) + "\npath " + EscapePath(m_strPath) + "\nowner " +
           std::to_string(m_uid) + "\ngroup " + std::to_string(m_gid) + "\nmode " + mode +
           "\nsize " + std::to_string(m_nSize) + "\nsha256 " + m_strSha256 + "\nfinding " +
           EscapePath(m_strFinding) + "\njob " + EscapePath(m_strJob) + "\ntime " +
           std::to_string(m_nTime) + "\n";
}

bool CQuarantineRecord::Parse(std::string_view text, std::string& error) {
    if (text.size() > kMaxBytes) {
        error = "zapis kwarantanny jest za duży";
        return false;
    }
    std::map<std::string, std::string_view> fields;
    if (!SplitFields(text, fields, error))
        return false;
    for (const char* key :
         {"path", "owner", "group", "mode", "size", "sha256", "finding", "job", "time"})
        if (!fields.count(key)) {
            error = std::string("w zapisie kwarantanny brak pola ") + key;
            return false;
        }
    CQuarantineRecord record;
    unsigned mode = 0;
    const char* bad = nullptr;
    if (!ParseName(fields["path"], record.m_strPath) || record.m_strPath.empty() ||
        record.m_strPath[0] != '/')
        bad = "path";
    else if (!ParseInt(fields["owner"], record.m_uid))
        bad = "owner";
    else if (!ParseInt(fields["group"], record.m_gid))
        bad = "group";
    else if (!ParseInt(fields["mode"], mode, 8) || mode > 07777)
        bad = "mode";
    else if (!ParseInt(fields["size"], record.m_nSize))
        bad = "size";
    else if (!IsSha256(fields["sha256"]))
        bad = "sha256";
    else if (!ParseName(fields["finding"], record.m_strFinding))
        bad = "finding";
    else if (!ParseName(fields["job"], record.m_strJob))
        bad = "job";
    else if (!ParseInt(fields["time"], record.m_nTime))
        bad = "time";
    if (bad) {
        error = std::string("błędne pole ") + bad + " w zapisie kwarantanny";
        return false;
    }
    record.m_mode = static_cast<mode_t>(mode);
    record.m_strSha256 = std::string(fields["sha256"]);
    *this = std::move(record);
    return true;
}

std::string FileSha256(int fd) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    char buf[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {};
        if (n == 0)
            break;
        hash.addData(QByteArrayView(buf, n));
        offset += n;
    }
    return hash.result().toHex().toStdString();
}
