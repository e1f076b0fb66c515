#include "ResultWriter.h"

#include "RegInterface.h"

CJobResult MakeJobResult(const CScanResult& scan, std::time_t finished) {
    CJobResult result;
    result.m_nFinished = static_cast<std::int64_t>(finished);
    result.m_nExitCode = scan.ExitCode();
    result.m_nFiles = scan.m_nFiles;
    result.m_nInfected = scan.m_nInfected;
    result.m_nChanged = scan.m_nChanged;
    result.m_nErrors = scan.m_nErrors;
    result.m_nSkipped = scan.m_nSkipped;
    result.m_bStopped = scan.m_bStopped;
    result.m_bFailed = scan.m_bFatal;
    return result;
}

bool WriteScanResult(const std::string& jobName, const CScanResult& scan) {
    CRegInterface store;
    if (!store.Open(kJobKeyPath) || !store.ReadJob(jobName.c_str(), nullptr))
        return false;
    return WriteJobResult(jobName.c_str(), MakeJobResult(scan, std::time(nullptr)));
}
