#include "ResultJournal.h"

#include "JobMetrics.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace {

// Findings want attention, a scan that failed or did not run more so.
int Priority(const CJobResult& result) {
    switch (result.GetState()) {
    case CJobResult::EState::Clean:
        return LOG_INFO;
    case CJobResult::EState::Stopped:
        return LOG_NOTICE;
    case CJobResult::EState::Changed:
    case CJobResult::EState::Suspicious:
    case CJobResult::EState::Infected:
        return LOG_WARNING;
    case CJobResult::EState::Error:
    case CJobResult::EState::NotStarted:
        break;
    }
    return LOG_ERR;
}

} // namespace

std::string ResultMessage(const std::string& name, const CJobResult& result) {
    char counts[160];
    std::snprintf(counts, sizeof counts, " (plików %llu, zainfekowanych %llu, błędów %llu)",
                  static_cast<unsigned long long>(result.m_nFiles),
                  static_cast<unsigned long long>(result.m_nInfected),
                  static_cast<unsigned long long>(result.m_nErrors));
    return "Analiza „" + name + "” zakończona: " + result.GetText() +
           (result.m_bNotStarted ? std::string() : counts);
}

bool StandardErrorIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    unsigned long long dev = 0;
    unsigned long long ino = 0;
    struct stat st {};
    return stream && std::sscanf(stream, "%llu:%llu", &dev, &ino) == 2 &&
           ::fstat(STDERR_FILENO, &st) == 0 && st.st_dev == dev && st.st_ino == ino;
}

void JournalResult(const std::string& name, const CJobResult& result,
                   const std::function<void(const std::string&)>& logLine) {
    const std::string message = ResultMessage(name, result);
    const int sent = sd_journal_send(
        "MESSAGE=%s", message.c_str(), "MESSAGE_ID=%s", kResultMessageId, "PRIORITY=%d",
        Priority(result), "SYSLOG_IDENTIFIER=vexserv", "VEX_JOB=%s", name.c_str(), "VEX_RESULT=%s",
        result.GetStateWord(), "VEX_EXIT_CODE=%d", result.m_nExitCode, "VEX_FILES=%llu",
        static_cast<unsigned long long>(result.m_nFiles), "VEX_INFECTED=%llu",
        static_cast<unsigned long long>(result.m_nInfected), "VEX_ERRORS=%llu",
        static_cast<unsigned long long>(result.m_nErrors), nullptr);
    if (sent < 0 || !StandardErrorIsJournal())
        logLine(message);
}
