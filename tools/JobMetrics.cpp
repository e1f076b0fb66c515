#include "JobMetrics.h"

#include "Job.h"
#include "RegInterface.h"
#include "SignatureInfo.h"
#include "StoreDocument.h"

#include <QString>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace {

// A family: its name, kind, help line and one sample per item that has a
// value (labels already formatted, "" for none).
struct CFamily {
    const char* pszName;
    const char* pszType;
    const char* pszHelp;
};

using Samples = std::vector<std::pair<std::string, long long>>;

void AddFamily(std::string& out, const CFamily& family, const Samples& samples) {
    // A family without samples is left out whole: its help alone tells
    // nothing and some readers take it for a missing series.
    if (samples.empty())
        return;
    out += std::string("# HELP ") + family.pszName + " " + family.pszHelp + "\n";
    out += std::string("# TYPE ") + family.pszName + " " + family.pszType + "\n";
    for (const auto& [labels, value] : samples)
        out += family.pszName + labels + " " + std::to_string(value) + "\n";
}

std::string JobLabel(const CJobMetrics& job) {
    return "{name=" + MetricLabel(job.strName) + "}";
}

// One sample per job for which value gives one.
Samples PerJob(const std::vector<CJobMetrics>& jobs,
               const std::function<std::optional<long long>(const CJobMetrics&)>& value) {
    Samples samples;
    for (const CJobMetrics& job : jobs)
        if (const std::optional<long long> v = value(job))
            samples.emplace_back(JobLabel(job), *v);
    return samples;
}

// The last result's count of one kind.
std::function<std::optional<long long>(const CJobMetrics&)>
ResultCount(std::uint64_t CJobResult::*count) {
    return [count](const CJobMetrics& job) -> std::optional<long long> {
        if (!job.lastResult)
            return std::nullopt;
        return static_cast<long long>((*job.lastResult).*count);
    };
}

void AddJobFamilies(std::string& out, const std::vector<CJobMetrics>& jobs, std::time_t now) {
    AddFamily(out,
              {"vex_tempora_job_active", "gauge",
               "1, gdy analiza jest włączona i ma pełny harmonogram, inaczej 0"},
              PerJob(jobs, [](const CJobMetrics& job) { return job.bActive ? 1LL : 0LL; }));
    Samples results;
    for (const CJobMetrics& job : jobs)
        if (job.lastResult)
            results.emplace_back("{name=" + MetricLabel(job.strName) + ",state=\"" +
                                     job.lastResult->GetStateWord() + "\"}",
                                 job.lastResult->m_nExitCode);
    AddFamily(out,
              {"vex_tempora_job_last_result", "gauge",
               "Kod wyjścia ostatniej analizy: 0 czysto, 1 znaleziska, 2 błąd, -1 nie "
               "uruchomiono; etykieta state nazywa wynik"},
              results);
    AddFamily(out,
              {"vex_tempora_job_last_files", "gauge", "Pliki sprawdzone przez ostatnią analizę"},
              PerJob(jobs, ResultCount(&CJobResult::m_nFiles)));
    AddFamily(out,
              {"vex_tempora_job_last_infected", "gauge",
               "Zainfekowane pliki znalezione przez ostatnią analizę"},
              PerJob(jobs, ResultCount(&CJobResult::m_nInfected)));
    AddFamily(out,
              {"vex_tempora_job_last_errors", "gauge",
               "Pliki i foldery, których ostatnia analiza nie mogła sprawdzić"},
              PerJob(jobs, ResultCount(&CJobResult::m_nErrors)));
    AddFamily(out,
              {"vex_tempora_job_last_end_timestamp_seconds", "gauge",
               "Koniec ostatniej analizy (czas uniksowy)"},
              PerJob(jobs, [](const CJobMetrics& job) -> std::optional<long long> {
                  if (!job.lastResult)
                      return std::nullopt;
                  return job.lastResult->m_nFinished;
              }));
    AddFamily(out,
              {"vex_tempora_job_last_start_timestamp_seconds", "gauge",
               "Ostatni start analizy (czas uniksowy)"},
              PerJob(jobs, [](const CJobMetrics& job) -> std::optional<long long> {
                  return job.lastStart;
              }));
    AddFamily(out,
              {"vex_tempora_job_next_start_timestamp_seconds", "gauge",
               "Następny start analizy (czas uniksowy); brak, gdy analiza jest wyłączona"},
              PerJob(jobs, [](const CJobMetrics& job) -> std::optional<long long> {
                  return job.nextStart;
              }));
    AddFamily(out,
              {"vex_tempora_job_seconds_since_clean_scan", "gauge",
               "Sekundy od końca ostatniej analizy zakończonej wynikiem czysto"},
              PerJob(jobs, [now](const CJobMetrics& job) -> std::optional<long long> {
                  const std::int64_t clean = job.lastResult ? job.lastResult->LastCleanTime() : 0;
                  if (clean <= 0)
                      return std::nullopt;
                  return std::max<long long>(0, now - clean);
              }));
}

void AddSignatureFamilies(std::string& out, const CSignatureInfo& signatures, std::time_t now) {
    AddFamily(out, {"vex_tempora_signatures", "gauge", "Liczba sygnatur w folderze sygnatur"},
              {{"", static_cast<long long>(signatures.nSignatures)}});
    Samples age;
    if (!signatures.IsEmpty())
        age.emplace_back("", std::max<long long>(0, now - signatures.nNewest));
    AddFamily(out,
              {"vex_tempora_signatures_age_seconds", "gauge",
               "Wiek najnowszej bazy sygnatur w sekundach; brak, gdy nie ma sygnatur"},
              age);
    Samples versions;
    for (const CSignatureDatabase& db : signatures.databases)
        if (db.nVersion != 0)
            versions.emplace_back("{database=" + MetricLabel(db.strFile) + "}", db.nVersion);
    AddFamily(out,
              {"vex_tempora_signature_database_version", "gauge",
               "Wersja podpisanej bazy sygnatur z jej nagłówka"},
              versions);
}

} // namespace

std::string MetricLabel(std::string_view value) {
    // Label values are UTF-8: a name stored in another encoding gets U+FFFD
    // in place of what is not UTF-8.
    const QByteArray text =
        QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())).toUtf8();
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out + "\"";
}

std::string FormatMetrics(const std::vector<CJobMetrics>& jobs, const CSignatureInfo& signatures,
                          std::time_t now) {
    std::string out;
    AddJobFamilies(out, jobs, now);
    AddSignatureFamilies(out, signatures, now);
    return out;
}

bool ReadJobMetrics(std::vector<CJobMetrics>& jobs, std::time_t now, LONG& error) {
    // Without a store there are no jobs yet; reading it would create it.
    std::error_code ec;
    if (!std::filesystem::exists(RegHivePath(HKEY_LOCAL_MACHINE), ec))
        return true;
    CRegInterface store;
    if (!store.Open(kJobKeyPath)) {
        error = store.GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    CJobResultReader results;
    CJob job;
    DWORD index = 0;
    CRegInterface::EEnum step;
    while ((step = store.NextJob(&index, &job)) == CRegInterface::EEnum::Job) {
        CJobMetrics& item = jobs.emplace_back();
        item.strName = job.GetName();
        item.bActive = job.IsActive();
        if (job.HasLastStart())
            item.lastStart = job.GetLastStartInstant();
        if (time_t next = 0; job.GetNextStart(now, next))
            item.nextStart = next;
        if (CJobResult result; results.Read(job.GetName(), result))
            item.lastResult = result;
    }
    error = store.GetLastError();
    return step == CRegInterface::EEnum::End;
}

bool CollectMetrics(std::string& text, std::time_t now, std::string& error) {
    std::vector<CJobMetrics> jobs;
    LONG result = ERROR_SUCCESS;
    if (!ReadJobMetrics(jobs, now, result)) {
        error = "nie można odczytać bazy analiz: " + StoreFailureText(result);
        return false;
    }
    text = FormatMetrics(jobs, CSignatureInfo::Read(SignatureFolder()), now);
    return true;
}
