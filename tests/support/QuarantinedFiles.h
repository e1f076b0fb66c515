#pragma once

// The files a scan moved into a quarantine folder, without the records and
// other entries beside them (all of whose names start with a dot).

#include <filesystem>
#include <string>
#include <vector>

inline std::vector<std::filesystem::path> QuarantinedFiles(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().filename().string()[0] != '.')
            files.push_back(entry.path());
    return files;
}
