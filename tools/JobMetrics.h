#pragma once

// The jobs' state for monitoring, in the Prometheus text exposition format:
// per job its switch, the last result (its exit code, with the state as a
// label), files, findings and errors, the end of the last scan, the last and
// the next start as Unix times, the seconds since the last clean scan; and
// the signatures' count, versions and age. `tempora metrics` prints it; the
// server rewrites the file named by the setting "MetricsFile" with it.

#include "JobResult.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CSignatureInfo;

// Machine value (text): the file the server keeps the metrics in.
inline constexpr const char* kMetricsFileValue = "MetricsFile";

// One job as the metrics see it.
struct CJobMetrics {
    std::string strName;
    bool bActive = false;
    std::optional<std::time_t> lastStart;
    std::optional<std::time_t> nextStart;
    std::optional<CJobResult> lastResult;
};

// A label value in quotes, with backslash, double quote and line feed
// escaped and invalid UTF-8 replaced by U+FFFD.
std::string MetricLabel(std::string_view value);

std::string FormatMetrics(const std::vector<CJobMetrics>& jobs, const CSignatureInfo& signatures,
                          std::time_t now);

// Reads every job and its last result from the job store. False, with the
// store's error, when it cannot be read whole.
bool ReadJobMetrics(std::vector<CJobMetrics>& jobs, std::time_t now, LONG& error);

// The metrics of the store and the signature folder at now; false (error
// says why, in Polish) when the store cannot be read.
bool CollectMetrics(std::string& text, std::time_t now, std::string& error);
