#pragma once

// `tempora metrics`: the jobs' state for monitoring (JobMetrics.h) on
// standard output. Reads only; creates nothing.

#include <cstdio>

// 0, or 1 with the reason on err when the job store cannot be read.
int PrintMetrics(std::FILE* out, std::FILE* err);
