#pragma once

// `tempora quarantine`: the files the scans moved aside, listed, restored,
// deleted and purged by age, under the rules of the shared quarantine store.

#include "TemporaArgs.h"

#include <cstdio>

// Carries out a quarantine request; returns the program's exit code.
int RunQuarantineCommand(const CTemporaRequest& request, std::FILE* out, std::FILE* err);
