#pragma once

// `tempora metrics`: the jobs' state for monitoring (JobMetrics.h) on
// standard output, or the file that the server keeps up to date with it.

#include <cstdio>

#include <string>

// 0, or 1 with the reason on err when the job store cannot be read.
int PrintMetrics(std::FILE* out, std::FILE* err);

// Records path (empty: none) as the file the server rewrites with the
// metrics after every result, writes it once now and wakes the server. 0,
// or 1 with the reason on err.
int KeepMetricsFile(const std::string& path, std::FILE* out, std::FILE* err);
