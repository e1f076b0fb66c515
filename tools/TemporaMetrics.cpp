#include "TemporaMetrics.h"

#include "Clock.h"
#include "JobMetrics.h"

#include "AtomicFile.h"
#include "NamedEvent.h"
#include "Settings.h"

#include <string>

int PrintMetrics(std::FILE* out, std::FILE* err) {
    std::string text;
    std::string error;
    if (!CollectMetrics(text, CurrentTime(), error)) {
        std::fprintf(err, "tempora: %s\n", error.c_str());
        return 1;
    }
    std::fputs(text.c_str(), out);
    return 0;
}

namespace {

bool ForgetMetricsFile() {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kSettingsKeyPath, &key) != ERROR_SUCCESS)
        return true; // no settings, no file
    const LONG status = RegDeleteValue(key, kMetricsFileValue);
    RegFlushKey(key);
    RegCloseKey(key);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace

int KeepMetricsFile(const std::string& path, std::FILE* out, std::FILE* err) {
    if (path.empty()) {
        if (!ForgetMetricsFile()) {
            std::fprintf(err, "tempora: nie można usunąć ustawienia %s\n", kMetricsFileValue);
            return 1;
        }
        std::fprintf(out, "Serwer nie zapisuje już metryk do pliku.\n");
        return 0;
    }
    std::string text;
    std::string error;
    // Written first: a file that cannot be written is refused before the
    // server is told to keep it. Readable by the collector's own user.
    if (!CollectMetrics(text, CurrentTime(), error) ||
        !WriteFileAtomically(path, text.data(), text.size(), &error, 0644)) {
        std::fprintf(err, "tempora: %s\n", error.c_str());
        return 1;
    }
    if (!RegSetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kMetricsFileValue, path.c_str())) {
        std::fprintf(err, "tempora: nie można zapisać ustawienia %s\n", kMetricsFileValue);
        return 1;
    }
    CNamedEvent(kServerEventName).Set();
    std::fprintf(out, "Serwer przepisuje plik metryk %s po każdym wyniku.\n", path.c_str());
    return 0;
}
