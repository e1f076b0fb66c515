#include "TemporaSession.h"

#include "Clock.h"
#include "Install.h"
#include "Job.h"
#include "JobFile.h"
#include "JobReport.h"
#include "JobResult.h"
#include "LogRuns.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "Once.h"
#include "ProgramInfo.h"
#include "RegistryDb.h"
#include "RunNow.h"
#include "ScanPaths.h"
#include "ScanRegInterface.h"
#include "Settings.h"
#include "StatePaths.h"
#include "StringTable.h"
#include "TemporaMetrics.h"
#include "TemporaQuarantine.h"
#include "TemporaStatus.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <unistd.h>

namespace {

enum : unsigned {
    kMsgCannotOpenDb = 162, // the job store cannot be opened
    kMsgReplaceQuestion = 165,
    kMsgWrongFileType = 167,
    kMsgFileDamaged = 176, // "%s": the file; the import stopped there
    kMsgCannotWriteFile = 178,
    kMsgCannotOpenFile = 179,
    kMsgNoLog = 288, // the job has no scan log yet
};

// A string-table message with one "%s" filled in (as terminal-safe text).
std::string FormatMessage(unsigned nStringId, const std::string& strArg) {
    char text[1024];
    std::snprintf(text, sizeof text, LoadResString(nStringId), PlainText(strArg).c_str());
    return text;
}

// Store messages go to the session's error stream, in the store's Polish.
class CSessionMessageSink : public IMessageSink {
public:
    explicit CSessionMessageSink(std::FILE* err) : m_err(err) {}
    void ShowMessage(unsigned nStringId) override {
        std::fprintf(m_err, "tempora: %s\n", LoadResString(nStringId));
    }
    void ShowFailure(unsigned nStringId, const std::string& strCause) override {
        std::fprintf(m_err, "tempora: %s\n", WithCause(nStringId, strCause).c_str());
    }

private:
    std::FILE* m_err;
};

// Names compare as the window's list sorts them: letters folded, then bytes.
bool NameLess(const CJobReport& a, const CJobReport& b) {
    return std::lexicographical_compare(a.strName.begin(), a.strName.end(), b.strName.begin(),
                                        b.strName.end(), [](char x, char y) {
                                            return std::tolower(static_cast<unsigned char>(x)) <
                                                   std::tolower(static_cast<unsigned char>(y));
                                        });
}

bool AskOnTerminal(const std::string& strName) {
    if (!isatty(STDIN_FILENO))
        return false;
    char question[1024];
    std::snprintf(question, sizeof question, LoadResString(kMsgReplaceQuestion),
                  PlainText(strName).c_str());
    std::fprintf(stderr, "%s [t/N] ", question);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "t" || answer == "T" || answer == "tak" || answer == "y" || answer == "yes";
}

std::string StateProblemText(const CStateProblem& problem) {
    return DescribeStateProblemPl(problem, PlainText(problem.strPath), Quoted(problem.strPath));
}

// Why the store cannot be used, for the user. Damage names the way out.
std::string StoreErrorText(LONG nResult) {
    if (nResult != ERROR_BADDB)
        return StoreFailureText(nResult);
    return "baza analiz jest uszkodzona: plik " + Quoted(RegHivePath(HKEY_LOCAL_MACHINE)) +
           " nie jest spójny i mógłby pokazać nie wszystkie analizy (szczegóły: tempora "
           "status; naprawa z zachowaniem każdej czytelnej analizy: vexserv --install "
           "--repair)";
}

} // namespace

CTemporaSession::CTemporaSession(std::FILE* out, std::FILE* err)
    : m_out(out), m_err(err), m_ask(AskOnTerminal) {}

int CTemporaSession::Refuse(const std::string& strMessage) {
    std::fprintf(m_err, "tempora: %s\n", strMessage.c_str());
    return kExitRefused;
}

int CTemporaSession::Execute(const CTemporaRequest& request) {
    if (request.command == TemporaCommand::Help) {
        std::fputs(TemporaHelp(), m_out);
        return kExitOk;
    }
    // The status reports a missing store instead of failing on it.
    if (request.command == TemporaCommand::Status) {
        const CStatus status = ReportStatus(m_out);
        if (status.bStoreDamaged)
            return kExitRefused;
        return status.bServerRunning ? kExitOk : kExitServerStopped;
    }
    // The metrics only read, like the status.
    if (request.command == TemporaCommand::Metrics && request.strFile.empty() &&
        !request.bNoMetricsFile)
        return PrintMetrics(m_out, m_err);
    const CStateProblem problem = CheckStateRoot();
    if (problem.kind != CStateProblem::None)
        return Refuse(StateProblemText(problem));
    // The quarantine needs no job store.
    if (request.command == TemporaCommand::Quarantine)
        return RunQuarantineCommand(request, m_out, m_err);
    std::string strError;
    if (!CNamedEvent::CheckOwner(kServerEventName, strError))
        return Refuse("odmawiam pracy: " + strError);
    // Without a state root there is no counter yet, nor anything to refuse.
    const std::string counter = CNamedBroadcast::SharedName(kClientEventName);
    if (!counter.empty() && !CNamedBroadcast(kClientEventName).IsValid())
        return Refuse("odmawiam pracy: zdarzenie " + counter +
                      " należy do innego użytkownika albo mogą go używać inni.");
    if (request.command == TemporaCommand::Metrics)
        return KeepMetricsFile(request.strFile, m_out, m_err);
    // A scan started without --wait is watched by a process of its own, which
    // outlives this one: it records how the scan ended.
    if (request.command == TemporaCommand::Run && !request.bWait && m_nStartedFd < 0)
        return RunInWatcher(request);
    return ExecuteOnStore(request);
}

int CTemporaSession::ExecuteOnStore(const CTemporaRequest& request) {
    CSessionMessageSink sink(m_err);
    // The store itself tells the server and the open windows of each change.
    CScanRegInterface store(&sink);
    // A fresh account has no store yet: a new job sets it up as the
    // installation would, with the scanner beside this program.
    const bool bCreates =
        request.command == TemporaCommand::Add || request.command == TemporaCommand::Import;
    if (bCreates && !store.Open(LoadResString(139)) &&
        store.GetLastError() == ERROR_FILE_NOT_FOUND &&
        RunInstall(InstallPathsFor(ProgramDirectory()), m_err) != 0)
        return kExitRefused;
    if (!store.IsOpen() && !store.Open(LoadResString(139))) {
        // Only a missing database is mended by the installation.
        const LONG result = store.GetLastError();
        return Refuse(std::string(LoadResString(kMsgCannotOpenDb)) + " (" +
                      (result == ERROR_FILE_NOT_FOUND
                           ? std::string("vexserv --install zakłada bazę analiz")
                           : StoreErrorText(result)) +
                      ")");
    }

    switch (request.command) {
    case TemporaCommand::List:
        return List(store, request.bJson, request.bTsv);
    case TemporaCommand::Show:
        return Show(store, request.strName, request.bJson);
    case TemporaCommand::Add:
        return Add(store, request);
    case TemporaCommand::Enable:
        return SetActive(store, request.strName, true);
    case TemporaCommand::Disable:
        return SetActive(store, request.strName, false);
    case TemporaCommand::Delete:
        return Delete(store, request.strName);
    case TemporaCommand::Run:
        return RunNow(store, request);
    case TemporaCommand::Running:
        return Running(store, request.bJson);
    case TemporaCommand::Stop:
        return Stop(store, request.strName);
    case TemporaCommand::Export:
        return Export(store, request.strFile);
    case TemporaCommand::Import:
        return Import(store, request);
    case TemporaCommand::Log:
        return Log(store, request.strName, request.nRuns);
    case TemporaCommand::Edit:
        return Edit(store, request);
    case TemporaCommand::Help:
    case TemporaCommand::Status:
    case TemporaCommand::Metrics:
    case TemporaCommand::Quarantine:
        break;
    }
    return kExitOk;
}

bool CTemporaSession::ReadExisting(CScanRegInterface& store, const std::string& strName,
                                   CJob& job) {
    if (store.ReadJob(strName.c_str(), &job))
        return true;
    NoSuchJob(store, strName);
    return false;
}

int CTemporaSession::NoSuchJob(CScanRegInterface& store, const std::string& strName) {
    const LONG error = store.GetLastError();
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        return Refuse(StoreErrorText(error) + ".");
    if (error == ERROR_SUCCESS || store.ReadJob(strName.c_str(), nullptr))
        return Refuse("ustawienia analizy " + Quoted(strName) + " są uszkodzone.");
    return Refuse("analiza " + Quoted(strName) + " nie istnieje.");
}

bool CTemporaSession::ForEachJob(CScanRegInterface& store,
                                 const std::function<void(const CJob&)>& each,
                                 const std::string& strUntouched) {
    std::vector<std::string> skipped;
    CRegInterface::EEnum step = CRegInterface::EEnum::Failed;
    // One state of the store from the first job to the last, whatever other
    // programs write meanwhile.
    store.ReadTogether([&] {
        CJob job;
        DWORD index = 0;
        while ((step = store.NextJob(&index, &job, &skipped)) == CRegInterface::EEnum::Job)
            each(job);
    });
    for (const std::string& name : skipped)
        std::fprintf(m_err, "tempora: pominięto uszkodzony wpis %s.\n", Quoted(name).c_str());
    if (step == CRegInterface::EEnum::End)
        return true;
    // Damage must never pass for a shorter list.
    const LONG error = store.GetLastError();
    Refuse((error == ERROR_BADDB ? "" : "nie mogę odczytać wszystkich analiz: ") +
           StoreErrorText(error) + (strUntouched.empty() ? "." : "; " + strUntouched));
    return false;
}

int CTemporaSession::List(CScanRegInterface& store, bool bJson, bool bTsv) {
    const time_t now = CurrentTime();
    std::vector<CJobReport> reports;
    CJobResultReader results;
    if (!ForEachJob(store, [&](const CJob& job) {
            reports.push_back(MakeJobReport(job, now));
            AddLastResult(reports.back(), results);
        }))
        return kExitRefused;
    std::stable_sort(reports.begin(), reports.end(), NameLess);
    if (bJson) {
        std::fputs(FormatJsonArray(reports).c_str(), m_out);
        return kExitOk;
    }
    if (bTsv) {
        std::fputs(FormatTsvHeader().c_str(), m_out);
        for (const CJobReport& report : reports)
            std::fputs(FormatTsvLine(report).c_str(), m_out);
        return kExitOk;
    }
    std::fputs(FormatListHeader().c_str(), m_out);
    for (const CJobReport& report : reports)
        std::fputs(FormatListLine(report).c_str(), m_out);
    return kExitOk;
}

int CTemporaSession::Show(CScanRegInterface& store, const std::string& strName, bool bJson) {
    CJob job;
    if (!ReadExisting(store, strName, job))
        return kExitRefused;
    CJobReport report = MakeJobReport(job, CurrentTime());
    CJobResultReader results;
    AddLastResult(report, results);
    std::fputs((bJson ? FormatJson(report) + "\n" : FormatShow(report)).c_str(), m_out);
    return kExitOk;
}

bool CTemporaSession::CheckChanges(const CJobChanges& changes) {
    if (changes.pPeriod) {
        if (const std::string passed = PassedOnceMessage(*changes.pPeriod, CurrentTime());
            !passed.empty()) {
            Refuse("--once: " + passed);
            return false;
        }
    }
    if (!changes.directory)
        return true;
    const std::string& dir = *changes.directory;
    if (changes.relativeDirectory)
        std::fprintf(m_err, "tempora: katalog względny %s zapisano jako %s.\n",
                     Quoted(*changes.relativeDirectory).c_str(), Quoted(dir).c_str());
    std::error_code ec;
    const auto status = std::filesystem::status(dir, ec);
    if (changes.bAllowMissing || std::filesystem::is_directory(status))
        return true;
    if (std::filesystem::exists(status))
        Refuse(Quoted(dir) + " nie jest katalogiem.");
    else
        Refuse("katalog " + Quoted(dir) + " nie istnieje (--allow-missing przyjmuje go mimo to).");
    return false;
}

int CTemporaSession::Add(CScanRegInterface& store, const CTemporaRequest& request) {
    if (!CheckChanges(request.changes))
        return kExitRefused;
    CJob job;
    job.SetName(request.strName.c_str());
    job.GetScanParameter() = request.scan;
    // As the job dialog does: the count starts from now.
    job.SetPeriod(*request.pPeriod, COleDateTime::GetCurrentTime());
    job.SetActive(request.bActive);
    job.SkipDueStart(CurrentTime());
    // The store reports a taken name (138) or a failed write (140) itself.
    return store.AddJob(job) ? kExitOk : kExitRefused;
}

int CTemporaSession::ChangeRefused(CScanRegInterface& store, CRegInterface::EChange result,
                                   const std::string& strName) {
    if (result == CRegInterface::EChange::Gone || result == CRegInterface::EChange::Damaged)
        return NoSuchJob(store, strName);
    return kExitRefused; // the store said why
}

// As the window's edit, but read, changed and written in one transaction of
// the store: a change or a start that another program stores meanwhile waits
// for it and is never undone by it.
int CTemporaSession::Edit(CScanRegInterface& store, const CTemporaRequest& request) {
    CJob job;
    if (!ReadExisting(store, request.strName, job))
        return kExitRefused;
    if (!CheckChanges(request.changes))
        return kExitRefused;
    const COleDateTime now(CurrentTime());
    std::string error;
    const CRegInterface::EChange result =
        store.ChangeJob(request.strName.c_str(), job, [&](CJob& stored) {
            return ApplyJobChanges(request.changes, stored, now, error);
        });
    if (result == CRegInterface::EChange::Refused) {
        std::fprintf(m_err, "tempora: %s\n", error.c_str());
        return kExitUsage;
    }
    if (result != CRegInterface::EChange::Written && result != CRegInterface::EChange::Unchanged)
        return ChangeRefused(store, result, request.strName);
    if (request.changes.active.value_or(false) && !job.IsPeriodValid())
        return Refuse("analiza " + Quoted(job.GetName()) +
                      " nie może być aktywna: jej harmonogram jest niekompletny.");
    return kExitOk;
}

int CTemporaSession::SetActive(CScanRegInterface& store, const std::string& strName, bool bActive) {
    CJob job;
    const CRegInterface::EChange result = store.ChangeJob(strName.c_str(), job, [&](CJob& stored) {
        // A job whose schedule is incomplete counts as off whatever its switch.
        if (stored.IsActive() != bActive)
            stored.SetActive(bActive);
        return true;
    });
    if (result != CRegInterface::EChange::Written && result != CRegInterface::EChange::Unchanged)
        return ChangeRefused(store, result, strName);
    if (bActive && !job.IsPeriodValid())
        return Refuse("analiza " + Quoted(strName) +
                      " nie może być aktywna: jej harmonogram jest niekompletny.");
    return kExitOk;
}

int CTemporaSession::Delete(CScanRegInterface& store, const std::string& strName) {
    if (!store.ReadJob(strName.c_str(), nullptr))
        return NoSuchJob(store, strName);
    return store.DeleteJob(strName.c_str()) ? kExitOk : kExitRefused;
}

int CTemporaSession::Export(CScanRegInterface& store, const std::string& strFile) {
    std::vector<std::vector<BYTE>> records;
    const std::string untouched = "plik " + Quoted(strFile) + " pozostał bez zmian.";
    if (!ForEachJob(
            store, [&](const CJob& job) { records.push_back(job.Store()); }, untouched))
        return kExitRefused;
    std::string strError;
    if (!SaveJobFile(strFile, EncodeJobFile(records), &strError))
        return Refuse(FormatMessage(kMsgCannotWriteFile, strFile) + " (" + strError + ")");
    std::fprintf(m_out, "Wyeksportowano analiz: %zu (%s).\n", records.size(),
                 PlainText(strFile).c_str());
    return kExitOk;
}

bool CTemporaSession::ShouldReplace(const std::string& strName, ImportConflict conflict) {
    if (conflict != ImportConflict::Ask)
        return conflict == ImportConflict::Replace;
    return m_ask && m_ask(strName);
}

int CTemporaSession::Import(CScanRegInterface& store, const CTemporaRequest& request) {
    std::vector<BYTE> bytes;
    const JobFileStatus readStatus = ReadFileBytes(request.strFile, bytes);
    if (readStatus == JobFileStatus::CannotOpen)
        return Refuse(FormatMessage(kMsgCannotOpenFile, request.strFile));
    if (readStatus != JobFileStatus::Ok)
        return Refuse("plik " + Quoted(request.strFile) + " jest za duży na plik analiz.");

    CJobFileReader reader(bytes.data(), bytes.size());
    const JobFileStatus header = reader.ReadHeader(JobFileSignature());
    if (header == JobFileStatus::WrongSignature)
        return Refuse(LoadResString(kMsgWrongFileType));
    bool bFailed = header != JobFileStatus::Ok;
    size_t added = 0;
    size_t replaced = 0;
    size_t kept = 0;
    size_t refused = 0;
    CJob job;
    JobFileStatus status = bFailed ? JobFileStatus::Damaged : JobFileStatus::Ok;
    // A record that cannot be stored or run (a folder like "C:\" from
    // another system) is named with its cause and passed over; the records
    // after it are still imported.
    while (!bFailed && (status = reader.ReadNext(job)) == JobFileStatus::Ok) {
        const std::string name = job.GetName();
        if (const CJob::EFault fault = job.CheckIncoming(); fault != CJob::EFault::None) {
            Refuse("pominięto analizę " + Quoted(name) + " (rekord " +
                   std::to_string(reader.GetRead()) + "): " + CJob::DescribeFault(fault) + ".");
            ++refused;
            continue;
        }
        const bool bExists = store.ReadJob(name.c_str(), nullptr);
        if (bExists && !ShouldReplace(name, request.conflict)) {
            ++kept;
            continue;
        }
        // A replaced active job keeps this machine's last start, as stored
        // at the moment of replacing; a new one (also one deleted since it
        // was asked about) waits for its next time.
        CRegInterface::EChange result = CRegInterface::EChange::Gone;
        if (bExists)
            result = store.ReplaceJob(job, CurrentTime());
        const bool bReplaced = result != CRegInterface::EChange::Gone;
        if (!bReplaced) {
            job.PrepareIncoming(nullptr, CurrentTime());
            result = store.AddJob(job) ? CRegInterface::EChange::Written
                                       : CRegInterface::EChange::Failed;
        }
        // The store names its own failure (a write error, a name taken since).
        if (result != CRegInterface::EChange::Written &&
            result != CRegInterface::EChange::Unchanged) {
            Refuse("nie zapisano analizy " + Quoted(name) + ".");
            ++refused;
            continue;
        }
        ++(bReplaced ? replaced : added);
    }
    if (status == JobFileStatus::Damaged) {
        Refuse(FormatMessage(kMsgFileDamaged, request.strFile) + " (wczytano analiz: " +
               std::to_string(reader.GetRead()) + " z " + std::to_string(reader.GetCount()) + ")");
        bFailed = true;
    } else if (reader.GetUnread() > 0) {
        std::fprintf(m_err,
                     "tempora: ostrzeżenie: plik %s ma za ostatnią zapowiedzianą analizą "
                     "(%u) jeszcze %zu bajtów; pominięto je.\n",
                     Quoted(request.strFile).c_str(), static_cast<unsigned>(reader.GetCount()),
                     reader.GetUnread());
    }
    std::fprintf(m_out, "Dodano: %zu, zastąpiono: %zu, pozostawiono: %zu, pominięto: %zu.\n", added,
                 replaced, kept, refused);
    return bFailed || refused > 0 ? kExitRefused : kExitOk;
}

int CTemporaSession::Log(CScanRegInterface& store, const std::string& strName, unsigned nRuns) {
    // The log's file is named after the job as stored, which may differ in
    // case from what was typed.
    std::string name = strName;
    CJob job;
    if (store.ReadJob(strName.c_str(), &job))
        name = job.GetName();
    else if (!store.ReadJob(strName.c_str(), nullptr))
        return NoSuchJob(store, strName);
    const std::vector<CLogPiece> pieces =
        FindLogRuns(CScanPaths::ForJob(StateRoot(), name).m_strLog, nRuns);
    if (pieces.empty()) {
        std::fprintf(m_err, "tempora: %s\n", LoadResString(kMsgNoLog));
        return kExitOk;
    }
    if (!CopyLogPieces(pieces, m_out))
        return Refuse("nie mogę odczytać protokołu analizy " + Quoted(name) + ".");
    return kExitOk;
}

int RunTempora(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    if (args.size() == 1 && args[0] == "--version") {
        std::fputs(VersionText("tempora").c_str(), out);
        return kExitOk;
    }
    CTemporaRequest request;
    std::string error;
    if (!ParseTemporaArgs(args, request, error)) {
        std::fprintf(err, "tempora: %s\n%s", error.c_str(), TemporaUsage());
        return kExitUsage;
    }
    return CTemporaSession(out, err).Execute(request);
}
