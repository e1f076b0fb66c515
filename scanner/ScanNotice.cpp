#include "ScanNotice.h"

#include "LineText.h"
#include "Process.h"
#include "StringTable.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum : unsigned {
    kFoundFormat = 290,     // "%llu %s ... „%s”": count, noun, job
    kInfectedNouns = 291,   // three plural forms from here
    kChangedNouns = 294,    // three plural forms from here
    kFailedFormat = 297,    // "%s": the job
    kErrorsFormat = 298,    // "%s": the job
    kCountsFormat = 299,    // files, infected, changed, errors
    kSuspiciousNouns = 315, // three plural forms from here
    kUncheckedFormat = 373, // files not checked for want of signatures
    kReasonFormat = 374,    // "%s": why the scan failed
};

bool IsSet(const char* pszName) {
    const char* value = std::getenv(pszName);
    return value != nullptr && *value != '\0';
}

// Polish nouns after a number: 1 plik, 2-4 pliki (but 12-14 plików), 5 plików.
unsigned PluralForm(unsigned long long n) {
    if (n == 1)
        return 0;
    const unsigned long long units = n % 10;
    const unsigned long long tens = n % 100;
    return units >= 2 && units <= 4 && (tens < 12 || tens > 14) ? 1 : 2;
}

QString Found(unsigned long long n, unsigned nNouns, const std::string& jobName) {
    char text[1024];
    std::snprintf(text, sizeof text, LoadResString(kFoundFormat), n,
                  LoadResString(nNouns + PluralForm(n)), EscapeControls(jobName).c_str());
    return QString::fromUtf8(text);
}

QString WithJob(unsigned nFormat, const std::string& jobName) {
    char text[1024];
    std::snprintf(text, sizeof text, LoadResString(nFormat), EscapeControls(jobName).c_str());
    return QString::fromUtf8(text);
}

std::string OwnProgram() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

} // namespace

bool CScanNotice::IsWanted(const CScanResult& result) {
    return result.ExitCode() != 0;
}

bool CScanNotice::HasSessionBus() {
    if (IsSet("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    // Without an address the bus library would look there, or start a bus
    // of its own for a display; a notice is not worth a new bus.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    return runtime != nullptr && *runtime != '\0' &&
           ::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

QString CScanNotice::Summary(const std::string& jobName, const CScanResult& result) {
    if (result.m_bFatal)
        return WithJob(kFailedFormat, jobName);
    if (result.m_nInfected > 0)
        return Found(result.m_nInfected, kInfectedNouns, jobName);
    if (result.m_nSuspicious > 0)
        return Found(result.m_nSuspicious, kSuspiciousNouns, jobName);
    if (result.m_nChanged > 0)
        return Found(result.m_nChanged, kChangedNouns, jobName);
    return WithJob(kErrorsFormat, jobName);
}

QString CScanNotice::Body(const CScanResult& result) {
    char text[512];
    std::snprintf(text, sizeof text, LoadResString(kCountsFormat),
                  static_cast<unsigned long long>(result.Checked()),
                  static_cast<unsigned long long>(result.m_nInfected),
                  static_cast<unsigned long long>(result.m_nChanged),
                  static_cast<unsigned long long>(result.m_nErrors));
    std::string body = text;
    if (result.m_nUnchecked > 0) {
        std::snprintf(text, sizeof text, LoadResString(kUncheckedFormat),
                      static_cast<unsigned long long>(result.m_nUnchecked));
        body += std::string(" ") + text;
    }
    if (!result.m_strFailure.empty()) {
        std::snprintf(text, sizeof text, LoadResString(kReasonFormat),
                      EscapeControls(result.m_strFailure).c_str());
        body += std::string(" ") + text;
    }
    return QString::fromStdString(body);
}

bool CScanNotice::Post(const std::string& jobName, const CScanResult& result) {
    if (!HasSessionBus())
        return false;
    CProcessStart start;
    start.m_strProgram = OwnProgram();
    if (start.m_strProgram.empty())
        return false;
    start.m_args = {"--notice", jobName, Summary(jobName, result).toStdString(),
                    Body(result).toStdString()};
    return StartProcess(start);
}
