// Command files come from the temporary folder: any bytes at all.
#include "CommandFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CScanCommand cmd;
    std::string error;
    const char* text = reinterpret_cast<const char*>(data);
    if (!ParseCommandFile(text, size, cmd, error)) {
        if (error.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    // What was accepted is in range and writes back to an equivalent file.
    if (cmd.m_nEndMode > 2 || cmd.m_nInfectionAction > 4 || cmd.m_nLogMode > 2 ||
        cmd.m_strDirectory.empty() || cmd.m_strDirectory[0] != '/')
        std::abort();
    std::string again =
        std::to_string(cmd.m_nEndMode) + std::to_string(cmd.m_bHeuristic) +
        std::to_string(cmd.m_nFileSelection) + std::to_string(cmd.m_bSubdirectories) +
        std::to_string(cmd.m_nInfectionAction) + std::to_string(cmd.m_nReferenceDiffAction) +
        std::to_string(cmd.m_nLogMode) + std::to_string(cmd.m_bReferenceCheck) + "\r\n" +
        cmd.m_strJobName + "\r\n" + cmd.m_strDirectory + "\r\n";
    CScanCommand back;
    if (!ParseCommandFile(again.data(), again.size(), back, error) ||
        back.m_strJobName != cmd.m_strJobName || back.m_strDirectory != cmd.m_strDirectory)
        std::abort();
    return 0;
}
