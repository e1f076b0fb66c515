#pragma once

// Carries out one `tempora` request on the shared job store, through the same
// store operations as the window: every change is flushed, the scan server is
// signalled ("TemporaServer") and open windows are asked to refresh
// ("TemporaClient").

#include "RegInterface.h"
#include "RunNow.h"
#include "TemporaArgs.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class CJob;
class CScanRegInterface;

// Exit codes of the program.
enum : int { kExitOk = 0, kExitRefused = 1, kExitUsage = 2, kExitServerStopped = 3 };

class CTemporaSession {
public:
    // Answers the import's question whether to replace the named job.
    using AskReplace = std::function<bool(const std::string& strName)>;

    CTemporaSession(std::FILE* out, std::FILE* err);
    // Default: ask on the terminal when standard input is one, else keep.
    void SetAskReplace(AskReplace ask) { m_ask = std::move(ask); }

    int Execute(const CTemporaRequest& request);

private:
    int List(CScanRegInterface& store, bool bJson, bool bTsv);
    int Show(CScanRegInterface& store, const std::string& strName, bool bJson);
    int Add(CScanRegInterface& store, const CTemporaRequest& request);
    int SetActive(CScanRegInterface& store, const std::string& strName, bool bActive);
    int Delete(CScanRegInterface& store, const std::string& strName);
    // Run now; with --wait (or in the watcher) until the scan ends, recording
    // a scanner that ends without its result (TemporaRun.cpp).
    int RunNow(CScanRegInterface& store, const CTemporaRequest& request);
    // Forks the watcher of a scan started without --wait and returns the
    // start's exit code once the watcher knows it.
    int RunInWatcher(const CTemporaRequest& request);
    // Tells the caller of RunInWatcher how the start went; once.
    void ReportStart(int nCode);
    int StartMessage(ERunNow outcome, const CJob& job, const std::string& scanner);
    int Running(CScanRegInterface& store, bool bJson);
    int Stop(CScanRegInterface& store, const std::string& strName);
    int ExecuteOnStore(const CTemporaRequest& request);
    int Export(CScanRegInterface& store, const std::string& strFile);
    int Import(CScanRegInterface& store, const CTemporaRequest& request);
    int Log(CScanRegInterface& store, const std::string& strName, unsigned nRuns);
    int Edit(CScanRegInterface& store, const CTemporaRequest& request);
    // Refuses what the command line could not judge alone: a --once time
    // that has passed, a folder that does not exist. Says when a relative
    // folder was made absolute.
    bool CheckChanges(const CJobChanges& changes);

    // Reads the named job; reports a missing or damaged one. False then.
    bool ReadExisting(CScanRegInterface& store, const std::string& strName, CJob& job);
    // Says why the named job cannot be read: not there, damaged, or a store
    // that cannot be read. Returns the exit code.
    int NoSuchJob(CScanRegInterface& store, const std::string& strName);
    // The exit code of a change that was not stored, with its message.
    int ChangeRefused(CScanRegInterface& store, CRegInterface::EChange result,
                      const std::string& strName);
    std::vector<std::string> JobNames(CScanRegInterface& store);
    // Calls each for every job of the store. False, with a message, when the
    // store cannot be read to its end; values that are not jobs are named on
    // the error stream and passed over.
    // Every job in one state of the store; false (with the message, ending
    // in strUntouched when given) when not every job could be read.
    bool ForEachJob(CScanRegInterface& store, const std::function<void(const CJob&)>& each,
                    const std::string& strUntouched = "");
    int Refuse(const std::string& strMessage);
    bool ShouldReplace(const std::string& strName, ImportConflict conflict);

    std::FILE* m_out;
    std::FILE* m_err;
    AskReplace m_ask;
    int m_nStartedFd = -1; // in the watcher: where the start's exit code goes
};

// The whole program: parses argv (without the program name), runs the
// request and returns the exit code.
int RunTempora(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
