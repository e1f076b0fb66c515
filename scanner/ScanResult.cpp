#include "ScanResult.h"

int CScanResult::ExitCode() const {
    if (m_bFatal || m_bNoSignatures)
        return 2;
    if (m_nInfected > 0 || m_nSuspicious > 0 || m_nChanged > 0)
        return 1;
    // Ended by a signal: what was not reached is not known to be clean.
    if (m_nSignal != 0)
        return 2;
    return m_nErrors > 0 ? 2 : 0;
}

std::string CScanResult::Text(const std::string& jobName, const std::string& dir) const {
    // A scan that never began has no counts to give: zeros would read as
    // "nothing found, no errors".
    if (m_bFatal && m_nFiles == 0)
        return jobName + ": " + dir + ": analizy nie przeprowadzono" +
               (m_nErrors > 0 ? ", błędów " + std::to_string(m_nErrors) : std::string());
    std::string text = jobName + ": " + dir + ": plików " + std::to_string(m_nFiles) +
                       ", zainfekowanych " + std::to_string(m_nInfected) + ", zmienionych " +
                       std::to_string(m_nChanged) + ", błędów " + std::to_string(m_nErrors);
    // Said only when there are such files: other summaries read as before.
    if (m_nSuspicious > 0)
        text += ", podejrzanych " + std::to_string(m_nSuspicious);
    if (m_nSkipped > 0)
        text += ", pominiętych " + std::to_string(m_nSkipped);
    if (m_nSkippedMounts > 0)
        text += ", pominiętych punktów montowania " + std::to_string(m_nSkippedMounts);
    if (m_nUnchanged > 0)
        text += ", bez zmian od poprzedniej analizy " + std::to_string(m_nUnchanged);
    if (m_bFatal)
        text += ", analizy nie przeprowadzono";
    else if (m_bNoSignatures)
        text += ", brak sygnatur: szukano tylko pliku testowego, nie sprawdzono plików " +
                std::to_string(m_nUnchecked);
    if (m_nSignal != 0)
        text += ", analiza przerwana sygnałem " + std::to_string(m_nSignal);
    else if (m_bStoppedByUser)
        text += ", analiza zatrzymana przez użytkownika";
    else if (m_bStopped)
        text += ", analiza zatrzymana";
    return text;
}
