#include "ResultWriter.h"

#include "NamedEvent.h"
#include "RegInterface.h"
#include "StoreDocument.h"

#include <algorithm>

CJobResult MakeJobResult(const CScanResult& scan, std::time_t finished) {
    CJobResult result;
    result.m_nFinished = static_cast<std::int64_t>(finished);
    result.m_nExitCode = scan.ExitCode();
    result.m_nFiles = scan.m_nFiles;
    result.m_nInfected = scan.m_nInfected;
    result.m_nChanged = scan.m_nChanged;
    result.m_nErrors = scan.m_nErrors;
    result.m_nSkipped = scan.m_nSkipped;
    result.m_nSuspicious = scan.m_nSuspicious;
    result.m_nSignal = static_cast<BYTE>(scan.m_nSignal);
    result.m_bStopped = scan.m_bStopped;
    result.m_bFailed = scan.m_bFatal;
    if (scan.m_bSignaturesMissing) {
        result.m_eSignatures = CJobResult::ESignatures::Missing;
    } else if (scan.m_nStaleSignatureDays > 0) {
        result.m_eSignatures = CJobResult::ESignatures::Stale;
        result.m_nSignatureDays =
            static_cast<std::uint16_t>(std::min<long long>(scan.m_nStaleSignatureDays, 0xFFFF));
    }
    result.m_nUnchecked = scan.m_nUnchecked;
    result.m_strReason = scan.m_strFailure;
    return result;
}

bool WriteScanResult(const std::string& jobName, const CScanResult& scan, std::string& error) {
    CRegInterface store;
    LONG result = ERROR_SUCCESS;
    if (!store.Open(kJobKeyPath) || !store.ReadJob(jobName.c_str(), nullptr))
        result = store.GetLastError();
    else if (WriteJobResult(jobName.c_str(), MakeJobResult(scan, std::time(nullptr)), &result)) {
        // The server tells each result to the journal and the metrics file
        // as soon as it wakes.
        CNamedEvent(kServerEventName).Set();
        return true;
    }
    // No such job (or no store at all): nothing to keep a result for.
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    error = "nie zapisano wyniku analizy: " + StoreFailureText(result);
    return false;
}
