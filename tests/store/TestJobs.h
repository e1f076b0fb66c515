#pragma once

// Jobs and checks shared by the store tests and their helper program.

#include "Job.h"

#include <memory>
#include <string>
#include <vector>

// A job named pszName that scans pszDir, with a complete daily schedule
// (active) or the default incomplete one.
std::unique_ptr<CJob> MakeJob(const char* pszName, const char* pszDir, bool bValidSchedule = true);

struct StoredValue {
    std::string name;    // the value's name
    std::string jobName; // the name inside the stored form ("" when it did not load)
    std::string dir;
    bool bLoads = false;
};

// Every value of the job key, read raw, in enumeration order.
std::vector<StoredValue> ReadAllValues();

// PRAGMA integrity_check of the machine hive; "ok" when sound.
std::string IntegrityCheck();
