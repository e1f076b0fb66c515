#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

// Waits (at most a few seconds) for the fake scanner's record and returns its
// "key=value" lines; empty when none came.
inline std::map<std::string, std::string> WaitForRecord(const std::string& path,
                                                        int timeoutMs = 5000) {
    std::map<std::string, std::string> record;
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (std::filesystem::exists(path)) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            std::string text = ss.str();
            // "cmd=" holds the command file's bytes and comes last.
            size_t cmd = text.find("cmd=");
            std::string head = text.substr(0, cmd);
            std::istringstream lines(head);
            for (std::string line; std::getline(lines, line);)
                record[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
            if (cmd != std::string::npos)
                record["cmd"] = text.substr(cmd + 4);
            return record;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return record;
}

// A fresh temporary folder, removed with its content at the end.
class CTempDir {
public:
    CTempDir() {
        char tmpl[] = "/tmp/vexruntestXXXXXX";
        m_strPath = ::mkdtemp(tmpl) ? tmpl : "";
    }
    ~CTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_strPath, ec);
    }
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};
