#include "TemporaSession.h"

#include "Clock.h"
#include "Job.h"
#include "JobFile.h"
#include "JobReport.h"
#include "NamedEvent.h"
#include "ScanLock.h"
#include "ScanRegInterface.h"
#include "Settings.h"
#include "StringTable.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <unistd.h>

namespace {

enum : unsigned {
    kStrSettingsKey = 141,  // the program's settings key ("vexexe")
    kMsgCannotOpenDb = 162, // the job store cannot be opened
    kMsgReplaceQuestion = 165,
    kMsgWrongFileType = 167,
    kMsgFileDamaged = 176, // "%s": the file; the import stopped there
    kMsgCannotWriteFile = 178,
    kMsgCannotOpenFile = 179,
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

private:
    std::FILE* m_err;
};

// The store's views, seen from the command line: the windows of the program,
// which re-read the store when "TemporaClient" is signalled.
class CWindowRefresh : public IStoreDocument {
public:
    CWindowRefresh() : m_event(kClientEventName) {}
    void UpdateAllViews(void*, int, CJob*) override { m_event.Set(); }

private:
    CNamedEvent m_event;
};

// Names compare as the window's list sorts them: letters folded, then bytes.
bool NameLess(const CJobReport& a, const CJobReport& b) {
    return std::lexicographical_compare(a.strName.begin(), a.strName.end(), b.strName.begin(),
                                        b.strName.end(), [](char x, char y) {
                                            return std::tolower(static_cast<unsigned char>(x)) <
                                                   std::tolower(static_cast<unsigned char>(y));
                                        });
}

std::string Quoted(const std::string& name) {
    return "\"" + PlainText(name) + "\"";
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
    CSessionMessageSink sink(m_err);
    CWindowRefresh windows;
    CScanRegInterface store(&sink);
    store.SetDocument(&windows);
    if (!store.Open(LoadResString(139)))
        return Refuse(std::string(LoadResString(kMsgCannotOpenDb)) +
                      " (vexserv --install zakłada bazę analiz)");

    switch (request.command) {
    case TemporaCommand::List:
        return List(store, request.bJson);
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
        return RunNow(store, request.strName);
    case TemporaCommand::Export:
        return Export(store, request.strFile);
    case TemporaCommand::Import:
        return Import(store, request);
    case TemporaCommand::Help:
        break;
    }
    return kExitOk;
}

bool CTemporaSession::ReadExisting(CScanRegInterface& store, const std::string& strName,
                                   CJob& job) {
    if (store.ReadJob(strName.c_str(), &job))
        return true;
    if (store.ReadJob(strName.c_str(), nullptr))
        Refuse("ustawienia analizy " + Quoted(strName) + " są uszkodzone.");
    else
        Refuse("analiza " + Quoted(strName) + " nie istnieje.");
    return false;
}

int CTemporaSession::List(CScanRegInterface& store, bool bJson) {
    const time_t now = CurrentTime();
    std::vector<CJobReport> reports;
    CJob job;
    for (DWORD index = 0; store.EnumJob(&index, &job);)
        reports.push_back(MakeJobReport(job, now));
    std::stable_sort(reports.begin(), reports.end(), NameLess);
    if (bJson) {
        std::fputs(FormatJsonArray(reports).c_str(), m_out);
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
    const CJobReport report = MakeJobReport(job, CurrentTime());
    std::fputs((bJson ? FormatJson(report) + "\n" : FormatShow(report)).c_str(), m_out);
    return kExitOk;
}

int CTemporaSession::Add(CScanRegInterface& store, const CTemporaRequest& request) {
    CJob job;
    job.SetName(request.strName.c_str());
    job.GetScanParameter() = request.scan;
    // As the job dialog does: the count starts from now.
    job.SetPeriod(*request.pPeriod, COleDateTime::GetCurrentTime());
    job.SetActive(request.bActive);
    // The store reports a taken name (138) or a failed write (140) itself.
    return store.AddJob(job) ? kExitOk : kExitRefused;
}

int CTemporaSession::SetActive(CScanRegInterface& store, const std::string& strName, bool bActive) {
    CJob job;
    if (!ReadExisting(store, strName, job))
        return kExitRefused;
    if (!store.SetJobActive(strName.c_str(), bActive))
        return kExitRefused;
    if (bActive && !job.IsPeriodValid())
        return Refuse("analiza " + Quoted(strName) +
                      " nie może być aktywna: jej harmonogram jest niekompletny.");
    return kExitOk;
}

int CTemporaSession::Delete(CScanRegInterface& store, const std::string& strName) {
    if (!store.ReadJob(strName.c_str(), nullptr))
        return Refuse("analiza " + Quoted(strName) + " nie istnieje.");
    return store.DeleteJob(strName.c_str()) ? kExitOk : kExitRefused;
}

int CTemporaSession::RunNow(CScanRegInterface& store, const std::string& strName) {
    CJob job;
    if (!ReadExisting(store, strName, job))
        return kExitRefused;
    // A start while the job's scan still runs is skipped, not stamped.
    if (CScanLock::IsRunning(job.GetName()))
        return Refuse("poprzednia analiza " + Quoted(strName) +
                      " jeszcze trwa; druga nie została uruchomiona.");
    job.m_strScanner =
        RegGetString(HKEY_LOCAL_MACHINE, LoadResString(kStrSettingsKey), "vexexe", "");
    // The run stamps the last start whether or not the scanner starts; the
    // job is written back either way, as the window's run-now does.
    const CJob::ERunResult result = job.Execute();
    if (!store.WriteJob(job, kHintJobChanged, nullptr))
        return kExitRefused;
    if (result == CJob::ERunResult::StillRunning)
        return Refuse("poprzednia analiza " + Quoted(strName) +
                      " jeszcze trwa; druga nie została uruchomiona.");
    if (result != CJob::ERunResult::Started)
        return Refuse("nie mogę uruchomić skanera \"" + PlainText(job.m_strScanner) +
                      "\" (wartość vexexe; vexserv --install ją zapisuje).");
    return kExitOk;
}

int CTemporaSession::Export(CScanRegInterface& store, const std::string& strFile) {
    std::vector<std::vector<BYTE>> records;
    CJob job;
    for (DWORD index = 0; store.EnumJob(&index, &job);)
        records.push_back(job.Store());
    if (!SaveJobFile(strFile, EncodeJobFile(records)))
        return Refuse(FormatMessage(kMsgCannotWriteFile, strFile));
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
    CJob job;
    JobFileStatus status = bFailed ? JobFileStatus::Damaged : JobFileStatus::Ok;
    while (!bFailed && (status = reader.ReadNext(job)) == JobFileStatus::Ok) {
        const std::string name = job.GetName();
        if (name.empty()) {
            Refuse("pominięto analizę bez nazwy.");
            bFailed = true;
            continue;
        }
        if (store.ReadJob(name.c_str(), nullptr)) {
            if (!ShouldReplace(name, request.conflict)) {
                ++kept;
                continue;
            }
            CJob stored;
            const bool bStored = store.ReadJob(name.c_str(), &stored);
            job.PrepareIncoming(bStored ? &stored : nullptr, CurrentTime());
            if (store.WriteJob(job, kHintJobChanged, nullptr))
                ++replaced;
            else
                bFailed = true;
            continue;
        }
        job.PrepareIncoming(nullptr, CurrentTime());
        if (store.AddJob(job))
            ++added;
        else
            bFailed = true;
    }
    if (status == JobFileStatus::Damaged) {
        Refuse(FormatMessage(kMsgFileDamaged, request.strFile) + " (wczytano analiz: " +
               std::to_string(reader.GetRead()) + " z " + std::to_string(reader.GetCount()) + ")");
        bFailed = true;
    }
    std::fprintf(m_out, "Dodano: %zu, zastąpiono: %zu, pozostawiono: %zu.\n", added, replaced,
                 kept);
    return bFailed ? kExitRefused : kExitOk;
}

int RunTempora(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    CTemporaRequest request;
    std::string error;
    if (!ParseTemporaArgs(args, request, error)) {
        std::fprintf(err, "tempora: %s\n%s", error.c_str(), TemporaUsage());
        return kExitUsage;
    }
    return CTemporaSession(out, err).Execute(request);
}
