#include "TemporaStatus.h"

#include "Clock.h"
#include "Job.h"
#include "JobReport.h"
#include "NamedMutex.h"
#include "ScanPaths.h"
#include "ScanRegInterface.h"
#include "Settings.h"
#include "SignatureInfo.h"
#include "StatePaths.h"
#include "StringTable.h"
#include "VerdictCache.h"

#include <algorithm>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kDueWindowSeconds = 24 * 60 * 60;

// The status only reads: store messages are not shown.
class CQuietSink : public IMessageSink {
public:
    void ShowMessage(unsigned) override {}
};

// The scanner's verdict cache: its entries, and the context of the latest
// scan (a digest of the signatures and options), so a user can tell that a
// signature update made every entry stale.
void ReportVerdictCache(std::FILE* out) {
    const std::string path = CScanPaths::ForJob(StateRoot(), "").m_strVerdicts;
    std::int64_t entries = 0;
    std::vector<std::string> contexts;
    std::error_code ec;
    if (!fs::exists(path, ec))
        std::fprintf(out, "Pamięć wyników: pusta\n");
    else if (!CVerdictCache::Describe(path, entries, contexts))
        std::fprintf(out,
                     "Pamięć wyników: %s nie daje się odczytać (następna analiza utworzy ją "
                     "od nowa)\n",
                     Quoted(path).c_str());
    else
        std::fprintf(out, "Pamięć wyników: %lld plików, kontekstów %zu, ostatni %s\n",
                     static_cast<long long>(entries), contexts.size(),
                     contexts.empty() ? "-" : contexts.front().substr(0, 16).c_str());
}

// The signatures as the next scan would load them: each database's version
// and build date, the count, the newest one's age and what to do about it.
void ReportSignatures(std::FILE* out, time_t now) {
    const CSignatureInfo info = CSignatureInfo::Read(SignatureFolder());
    if (info.bFolderMissing) {
        std::fprintf(out, "Sygnatury: %s nie istnieje (zainstaluj pakiet clamav-freshclam)\n",
                     Quoted(info.strFolder).c_str());
        return;
    }
    if (info.IsEmpty()) {
        std::fprintf(out,
                     "Sygnatury: %s, brak baz sygnatur (zainstaluj pakiet clamav-freshclam "
                     "albo uruchom freshclam)\n",
                     Quoted(info.strFolder).c_str());
        return;
    }
    const long long age = std::max<long long>(0, now - info.nNewest);
    std::fprintf(out, "Sygnatury: %s, sygnatur %llu, najnowsza baza %s sprzed %s\n",
                 Quoted(info.strFolder).c_str(), static_cast<unsigned long long>(info.nSignatures),
                 PlainText(info.NewestText()).c_str(), AgeText(age).c_str());
    std::fprintf(out, "  bazy: %s\n", PlainText(info.Versions()).c_str());
    if (const std::string warning = info.Warning(now); !warning.empty())
        std::fprintf(out, "  uwaga: %s\n", warning.c_str());
}

void ReportScanner(std::FILE* out, const std::string& scanner) {
    if (scanner.empty())
        std::fprintf(out, "Skaner: nie zapisany (vexserv --install go zapisuje)\n");
    else if (::access(scanner.c_str(), X_OK) != 0)
        std::fprintf(out,
                     "Skaner: %s nie istnieje albo nie jest wykonywalny (vexserv --install "
                     "to poprawia)\n",
                     Quoted(scanner).c_str());
    else
        std::fprintf(out, "Skaner: %s\n", Quoted(scanner).c_str());
}

// The hive file as SQLite checks it: damage is named with its way out.
bool ReportDamage(std::FILE* out, const std::string& hive) {
    std::string detail;
    if (RegCheckHive(HKEY_LOCAL_MACHINE, detail) != ERROR_BADDB)
        return false;
    std::fprintf(out,
                 "Baza analiz: %s jest uszkodzona: %s\n"
                 "  naprawa z zachowaniem każdej czytelnej analizy: vexserv --install --repair "
                 "(man vexserv)\n",
                 Quoted(hive).c_str(), PlainText(detail).c_str());
    return true;
}

// The job store and the jobs due within a day, soonest first. True when the
// store is damaged.
bool ReportJobs(std::FILE* out, time_t now) {
    const std::string hive = RegHivePath(HKEY_LOCAL_MACHINE);
    std::error_code ec;
    CQuietSink sink;
    CScanRegInterface store(&sink);
    if (!fs::exists(hive, ec) || !store.Open(LoadResString(139))) {
        if (ReportDamage(out, hive))
            return true;
        // Only what is really missing is made by the installation.
        if (!fs::exists(hive, ec) || store.GetLastError() == ERROR_FILE_NOT_FOUND)
            std::fprintf(out, "Baza analiz: %s nie istnieje (vexserv --install ją zakłada)\n",
                         Quoted(hive).c_str());
        else
            std::fprintf(out, "Baza analiz: %s nie daje się otworzyć: %s\n", Quoted(hive).c_str(),
                         PlainText(StoreFailureText(store.GetLastError())).c_str());
        return false;
    }
    if (ReportDamage(out, hive))
        return true;
    std::vector<CJobReport> due;
    size_t count = 0;
    size_t active = 0;
    CJob job;
    DWORD index = 0;
    CRegInterface::EEnum step;
    while ((step = store.NextJob(&index, &job)) == CRegInterface::EEnum::Job) {
        ++count;
        CJobReport report = MakeJobReport(job, now);
        active += report.bActive ? 1 : 0;
        if (report.nextStart && report.nSecondsToNextStart >= 0 &&
            report.nSecondsToNextStart < kDueWindowSeconds)
            due.push_back(std::move(report));
    }
    if (step == CRegInterface::EEnum::Failed) {
        std::fprintf(out, "Baza analiz: %s, nie mogę odczytać wszystkich analiz: %s\n",
                     Quoted(hive).c_str(),
                     PlainText(StoreFailureText(store.GetLastError())).c_str());
        return store.GetLastError() == ERROR_BADDB;
    }
    std::fprintf(out, "Baza analiz: %s (analiz: %zu, aktywnych: %zu)\n", Quoted(hive).c_str(),
                 count, active);
    std::stable_sort(due.begin(), due.end(), [](const CJobReport& a, const CJobReport& b) {
        return a.nSecondsToNextStart < b.nSecondsToNextStart;
    });
    std::fprintf(out, "W ciągu 24 godzin:%s\n", due.empty() ? " nic" : "");
    for (const CJobReport& report : due) {
        std::string when = IsoMinute(COleDateTime(*report.nextStart));
        when[10] = ' ';
        std::fprintf(out, "  %s  %s%s\n", when.c_str(), PlainText(report.strName).c_str(),
                     report.nSecondsToNextStart == 0 ? " (zaległa, serwer ją uruchomi)" : "");
    }
    return false;
}

} // namespace

static std::string LingerPath() {
    const passwd* user = ::getpwuid(::getuid());
    return std::string("/var/lib/systemd/linger/") + (user ? user->pw_name : "");
}

std::string AgeText(long long nSeconds) {
    const long long minutes = nSeconds / 60;
    const long long hours = minutes / 60;
    const long long days = hours / 24;
    if (days > 0)
        return std::to_string(days) + " dn. " + std::to_string(hours % 24) + " godz.";
    if (hours > 0)
        return std::to_string(hours) + " godz. " + std::to_string(minutes % 60) + " min";
    return std::to_string(minutes) + " min";
}

// The server is a user unit: without lingering it starts at the first login
// after boot, so "at system start" jobs wait for that login.
static void ReportLinger(std::FILE* out) {
    std::error_code ec;
    const bool on = fs::exists(LingerPath(), ec);
    std::fprintf(out, "Start bez logowania (linger): %s\n",
                 on ? "włączony" : "wyłączony (loginctl enable-linger włącza)");
}

// "65534 (nobody)"
static std::string UserText(long nUid) {
    const passwd* user = ::getpwuid(static_cast<uid_t>(nUid));
    return std::to_string(nUid) + (user ? " (" + PlainText(user->pw_name) + ")" : "");
}

// Only a server of this user counts; a name of it that another user holds is
// never taken for the server, but its holder is named.
static bool ReportServer(std::FILE* out) {
    const CNamedMutex::CPresence presence = CNamedMutex::Presence(kServerMutexName);
    if (presence.bHeld)
        std::fprintf(out, "Serwer vexserv: działa\n");
    else
        std::fprintf(out, "Serwer vexserv: nie działa (systemctl --user start vexserv)\n");
    if (presence.nOtherUid >= 0)
        std::fprintf(out, "Uwaga: jedną z nazw serwera zajmuje użytkownik %s; %s\n",
                     UserText(presence.nOtherUid).c_str(),
                     presence.bHeld ? "serwer działa bez niej"
                                    : "to nie jest serwer tego katalogu stanu");
    return presence.bHeld;
}

CStatus ReportStatus(std::FILE* out) {
    const time_t now = CurrentTime();
    CStatus status;
    std::fprintf(out, "Katalog stanu: %s\n", Quoted(StateRoot()).c_str());
    status.bServerRunning = ReportServer(out);
    status.bStoreDamaged = ReportJobs(out, now);
    std::error_code ec;
    const bool hive = fs::exists(RegHivePath(HKEY_LOCAL_MACHINE), ec);
    ReportScanner(out, hive ? RegGetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "vexexe", "")
                            : std::string());
    ReportSignatures(out, now);
    ReportVerdictCache(out);
    ReportLinger(out);
    return status;
}
