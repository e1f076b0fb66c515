#pragma once

// Runs a command line through the shell, as a user at a terminal would: what
// it printed on stdout and stderr and its exit code.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

struct CShellResult {
    int code = -1;
    std::string out;
    std::string err;
};

// The value as one shell word.
inline std::string ShellQuote(const std::string& value) {
    std::string quoted = "'";
    for (char c : value)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs command with stderr through the file errFile, and input (or nothing)
// on stdin.
inline CShellResult RunShell(const std::string& command, const std::string& errFile,
                             const std::string& input = "") {
    std::string line = command + " 2>" + ShellQuote(errFile);
    line += input.empty() ? " </dev/null" : " <<'EOF'\n" + input + "\nEOF\n";
    CShellResult result;
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe)
        return result;
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, pipe))
        result.out.append(buf, n);
    const int status = pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile, std::ios::binary);
    std::stringstream text;
    text << err.rdbuf();
    result.err = text.str();
    return result;
}
