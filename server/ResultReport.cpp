#include "ResultReport.h"

#include "AtomicFile.h"
#include "JobMetrics.h"
#include "JobResult.h"
#include "ResultJournal.h"
#include "Settings.h"

#include <algorithm>

namespace {

// No stored result is larger (see JobResult.cpp).
constexpr DWORD kMaxResultSize = 4096;

} // namespace

CResultReport::CResultReport(LogFn log) : m_log(std::move(log)) {}

void CResultReport::Pass(std::time_t now) {
    Stored results;
    if (ReadResults(results)) {
        if (!m_bFirst)
            TellNew(results);
        m_seen = std::move(results);
        m_bFirst = false;
    }
    WriteMetricsFile(now);
}

bool CResultReport::ReadResults(Stored& results) {
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyEx(HKEY_LOCAL_MACHINE, kResultKeyPath, &key);
    if (opened != ERROR_SUCCESS)
        return opened == ERROR_FILE_NOT_FOUND; // no job has a result yet
    std::vector<char> name(REG_MAX_VALUE_NAME + 1);
    std::vector<BYTE> data(kMaxResultSize);
    LONG status = ERROR_SUCCESS;
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        status = RegEnumValue(key, index, name.data(), &nameSize, nullptr, data.data(), &dataSize);
        if (status == ERROR_MORE_DATA)
            continue; // too large to be a result
        if (status != ERROR_SUCCESS)
            break;
        results[std::string(name.data(), nameSize)].assign(data.begin(), data.begin() + dataSize);
    }
    RegCloseKey(key);
    return status == ERROR_NO_MORE_ITEMS;
}

void CResultReport::TellNew(const Stored& now) {
    // A renamed job takes its result along: the same bytes under a name
    // that has just gone are no new result.
    std::vector<std::vector<BYTE>> moved;
    for (const auto& [name, bytes] : m_seen)
        if (!now.count(name))
            moved.push_back(bytes);
    for (const auto& [name, bytes] : now) {
        const auto seen = m_seen.find(name);
        if (seen != m_seen.end() && seen->second == bytes)
            continue;
        if (const auto it = std::find(moved.begin(), moved.end(), bytes); it != moved.end()) {
            moved.erase(it);
            continue;
        }
        CJobResult result;
        if (result.Load(bytes.data(), bytes.size()))
            JournalResult(name, result,
                          [&](const std::string& text) { m_log("result", name, text); });
    }
}

void CResultReport::WriteMetricsFile(std::time_t now) {
    const std::string path =
        RegGetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kMetricsFileValue, "");
    if (path.empty())
        return;
    std::string text;
    std::string error;
    if (path[0] != '/')
        error = "it is no absolute path";
    // Readable by the collector, which runs as a user of its own.
    else if (CollectMetrics(text, now, error) &&
             WriteFileAtomically(path, text.data(), text.size(), &error, 0644))
        error.clear();
    if (!error.empty() && error != m_strLastFailure)
        m_log("failure", "", "the metrics file " + path + " cannot be written: " + error);
    m_strLastFailure = error;
}
