// Each job's last result and its log as `tempora` shows them, after real
// scans by the built scanner on temporary trees.
#include "Job.h"
#include "JobResult.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "RegInterface.h"
#include "Registry.h"
#include "RunningScan.h"
#include "ScanLock.h"
#include "ScanPaths.h"
#include "Settings.h"
#include "ShellRun.h"
#include "SignatureDb.h"
#include "StatePaths.h"
#include "TestString.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kSettingsKey = "Software\\Kestrow\\Rampart 8\\Tempora";

using CRun = CShellResult;
const auto& Quote = ShellQuote;

class TemporaResultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_base = m_tmp.path().toStdString();
        m_root = m_base + "/root";
        setenv("RAMPART_ROOT", m_root.c_str(), 1);
        ASSERT_TRUE(EnsureStateRoot());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "vexexe", VEXSCAN_PATH));
        m_sigs = MakeTestSignatures(m_base + "/signatures");
        fs::create_directories(m_base + "/tree");
        std::ofstream(m_base + "/tree/a.txt") << "clean\n";
        std::ofstream(m_base + "/tree/b.txt") << "clean too\n";
    }
    void TearDown() override {
        CNamedEvent::Remove(kServerEventName);
        CNamedBroadcast::Remove(kClientEventName);
        unsetenv("RAMPART_ROOT");
    }

    CRun Tempora(const std::vector<std::string>& args) {
        const std::string errFile = m_base + "/stderr";
        std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS "
                              "-u XDG_RUNTIME_DIR RAMPART_ROOT=" +
                              Quote(m_root) + " TMPDIR=" + Quote(m_base) +
                              " VEX_SIGNATURES=" + Quote(m_sigs) + " LC_ALL=C.UTF-8 " +
                              Quote(VEX_TEMPORA);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        return RunShell(command, errFile);
    }

    // `tempora run NAME` starts the real scanner, which ends on its own;
    // waits until its result differs from the one before.
    CJobResult RunAndWait(const std::string& name) {
        CJobResult before;
        const bool had = ReadJobResult(name.c_str(), before);
        const CRun run = Tempora({"run", name});
        EXPECT_EQ(run.code, 0) << run.err;
        CJobResult now;
        for (int i = 0; i < 400; ++i) {
            if (ReadJobResult(name.c_str(), now) && (!had || !(now == before)))
                return now;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        ADD_FAILURE() << "no result for " << name;
        return now;
    }

    QJsonObject JobJson(const std::string& name) {
        const CRun run = Tempora({"list", "--json"});
        EXPECT_EQ(run.code, 0) << run.err;
        for (const QJsonValue& job :
             QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array())
            if (job["name"].toString().toStdString() == name)
                return job.toObject();
        ADD_FAILURE() << "no job " << name << " in " << run.out;
        return {};
    }

    // The result column of `tempora list` for the job.
    std::string ListedResult(const std::string& name) {
        std::istringstream in(Tempora({"list"}).out);
        for (std::string line; std::getline(in, line);)
            if (line.rfind(name + "\t", 0) == 0)
                return line.substr(line.rfind('\t') + 1);
        return "?";
    }

    QTemporaryDir m_tmp;
    std::string m_base;
    std::string m_root;
    std::string m_sigs;
};

TEST_F(TemporaResultTest, EveryWayAScanEndsIsTheJobsLastResult) {
    const std::string tree = m_base + "/tree";
    ASSERT_EQ(Tempora({"add", "Dom", "--daily", "08:00", "--dir", tree, "--all-files",
                       "--background", "--log", "detailed"})
                  .code,
              0);
    ASSERT_EQ(Tempora({"add", "Stop", "--daily", "08:00", "--dir", tree, "--all-files",
                       "--background", "--on-infection", "stop"})
                  .code,
              0);
    ASSERT_EQ(Tempora({"add", "Brak", "--daily", "08:00", "--dir", m_base + "/gone",
                       "--allow-missing", "--background"})
                  .code,
              0);
    // Never ran: empty column, null in JSON.
    EXPECT_EQ(ListedResult("Dom"), "");
    EXPECT_TRUE(JobJson("Dom")["lastResult"].isNull());

    CJobResult r = RunAndWait("Dom");
    EXPECT_EQ(r.GetText(), "czysto");
    EXPECT_EQ(r.m_nExitCode, 0);
    EXPECT_EQ(r.m_nFiles, 2u);
    EXPECT_EQ(ListedResult("Dom"), "czysto");

    std::ofstream(tree + "/virus.com") << TestString();
    r = RunAndWait("Dom");
    EXPECT_EQ(r.GetText(), "infekcje: 1");
    const QJsonObject last = JobJson("Dom")["lastResult"].toObject();
    EXPECT_EQ(last.keys(), QStringList({"changed", "errors", "exitCode", "files", "finished",
                                        "infected", "notStarted", "reason", "skipped", "stopped",
                                        "suspicious", "text", "unchecked"}));
    EXPECT_TRUE(last["notStarted"].isNull());
    EXPECT_EQ(last["text"].toString(), "infekcje: 1");
    EXPECT_EQ(last["exitCode"].toInt(), 1);
    EXPECT_EQ(last["files"].toInt(), 3);
    EXPECT_EQ(last["infected"].toInt(), 1);
    EXPECT_EQ(last["changed"].toInt(), 0);
    EXPECT_EQ(last["errors"].toInt(), 0);
    EXPECT_FALSE(last["stopped"].toBool());
    // ISO 8601 with seconds and the UTC offset.
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$")
                    .match(last["finished"].toString())
                    .hasMatch())
        << last["finished"].toString().toStdString();
    EXPECT_NE(Tempora({"show", "Dom"}).out.find("Wynik: infekcje: 1 ("), std::string::npos);

    r = RunAndWait("Stop");
    EXPECT_TRUE(r.m_bStopped);
    EXPECT_EQ(r.GetText(), "infekcje: 1"); // what it found outweighs the stop
    EXPECT_TRUE(JobJson("Stop")["lastResult"].toObject()["stopped"].toBool());

    r = RunAndWait("Brak");
    EXPECT_TRUE(r.m_bFailed);
    // The list names the reason.
    EXPECT_EQ(ListedResult("Brak").rfind("błąd: nie można otworzyć folderu ", 0), 0u)
        << ListedResult("Brak");
    EXPECT_EQ(JobJson("Brak")["lastResult"].toObject()["exitCode"].toInt(), 2);

    // A scanner that cannot be started: the start is recorded as a result.
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "vexexe", "/nonexistent/vexscan"));
    EXPECT_EQ(Tempora({"run", "Dom"}).code, 1);
    EXPECT_EQ(ListedResult("Dom"), "nie uruchomiono");
    EXPECT_EQ(JobJson("Dom")["lastResult"].toObject()["exitCode"].toInt(), -1);
    EXPECT_EQ(JobJson("Dom")["lastResult"].toObject()["notStarted"].toString(), "scanner-missing");
}

// A new job examines program files only. The engine's own samples in the
// formats it opens, renamed without extension and execute bit, and scripts
// without "#!" are all examined and found; a note and a photo that carry a
// signature too are left out, named in the detailed log and counted.
TEST_F(TemporaResultTest, ProgramFilesAreEveryFormatTheEngineOpensAndTheRestIsCounted) {
    const std::string samples = "/usr/share/clamav-testfiles/";
    const std::string tree = m_base + "/programs";
    fs::create_directories(tree);
    std::ifstream exe(samples + "clam.exe", std::ios::binary);
    ASSERT_TRUE(exe) << "scripts/deps installs clamav-testfiles";
    AddHashSignature(m_sigs, std::string(std::istreambuf_iterator<char>(exe), {}), "Vex.Test.Clam");
    std::vector<std::string> found;
    for (std::string name :
         {"clam.exe.mbox.base64", "clam.exe.mbox.uu", "clam.mail", "clam.exe.html",
          "clam.exe.binhex", "clam.bin-le.cpio", "clam.bin-be.cpio", "clam.newc.cpio",
          "clam.odc.cpio", "clam.arj", "clam.chm", "clam.tnef", "clam.exe.szdd", "clam.sis",
          "clam.7z", "clam.cab", "clam.exe.rtf", "clam.pdf", "clam.ole.doc"}) {
        const std::string from = samples + name;
        std::ranges::replace(name, '.', '_');
        fs::copy_file(from, tree + "/" + name);
        fs::permissions(tree + "/" + name, fs::perms(0644));
        found.push_back(name);
    }
    auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(tree + "/" + name, std::ios::binary) << content;
        fs::permissions(tree + "/" + name, fs::perms(0644));
    };
    write("instaluj", "cd /tmp\nwget -q http://example.invalid/x\necho " + kBodyMarker + "\n");
    write("skrypt.js", "var a = \"" + kBodyMarker + "\";\n");
    write("makro.vbs", "MsgBox \"" + kBodyMarker + "\"\n");
    found.insert(found.end(), {"instaluj", "skrypt.js", "makro.vbs"});
    write("notatka.txt", "Lista zakupów: mleko, chleb. " + kBodyMarker + "\n");
    write("zdjecie.jpg", std::string("\xff\xd8\xff\xe0\0\x10JFIF\0", 11) + kBodyMarker);
    ASSERT_EQ(Tempora({"add", "Programy", "--daily", "08:00", "--dir", tree, "--background",
                       "--log", "detailed"})
                  .code,
              0);

    const CJobResult r = RunAndWait("Programy");
    EXPECT_EQ(r.m_nFiles, found.size());
    EXPECT_EQ(r.m_nInfected, found.size());
    EXPECT_EQ(r.m_nSkipped, 2u);
    EXPECT_EQ(r.m_nExitCode, 1);
    const std::string text = "infekcje: " + std::to_string(found.size()) + ", pominiętych 2";
    EXPECT_EQ(ListedResult("Programy"), text);
    EXPECT_EQ(JobJson("Programy")["lastResult"].toObject()["skipped"].toInt(), 2);
    std::ifstream in(CScanPaths::ForJob(m_root, "Programy").m_strLog);
    const std::string log(std::istreambuf_iterator<char>(in), {});
    for (const std::string& name : found)
        EXPECT_NE(log.find(tree + "/" + name + ": zainfekowany (Vex."), std::string::npos) << name;
    for (const char* name : {"notatka.txt", "zdjecie.jpg"})
        EXPECT_NE(log.find(tree + "/" + name + ": pominięto: nie jest plikiem programowym"),
                  std::string::npos)
            << name;
    EXPECT_NE(log.find(", błędów 0, pominiętych 2\n"), std::string::npos) << log;
}

TEST_F(TemporaResultTest, ResultsStayWithTheNameAndNeverTravelInAFile) {
    ASSERT_EQ(Tempora({"add", "Dom", "--daily", "08:00", "--dir", m_base + "/tree"}).code, 0);
    ASSERT_TRUE(WriteJobResult("Dom", CJobResult::NotStarted(1796768405)));
    EXPECT_EQ(ListedResult("Dom"), "nie uruchomiono");

    const std::string file = m_base + "/kopia.scj";
    ASSERT_EQ(Tempora({"export", file}).code, 0);
    // Replaced by the file's job: the result of the name stays.
    ASSERT_EQ(Tempora({"import", file, "--replace"}).code, 0);
    EXPECT_EQ(ListedResult("Dom"), "nie uruchomiono");
    // Deleted and imported again: a new job, no result.
    ASSERT_EQ(Tempora({"delete", "Dom"}).code, 0);
    ASSERT_EQ(Tempora({"import", file}).code, 0);
    EXPECT_EQ(ListedResult("Dom"), "");
    EXPECT_TRUE(JobJson("Dom")["lastResult"].isNull());
}

TEST_F(TemporaResultTest, LogPrintsTheLastRunsAcrossTheOlderFile) {
    ASSERT_EQ(Tempora({"add", "Dom", "--daily", "08:00"}).code, 0);
    CRun run = Tempora({"log", "Dom"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("nie ma jeszcze protokołu"), std::string::npos) << run.err;

    const std::string log = CScanPaths::ForJob(m_root, "Dom").m_strLog;
    fs::create_directories(fs::path(log).parent_path());
    // The older file begins with lines from before run headers were written.
    std::ofstream(log + ".1") << "2026-12-06 08:00:01 Dom: /: 9 files\n"
                              << "==== 2026-12-07T08:00:00+01:00 vexscan Dom\n"
                              << "2026-12-07 08:00:02 Dom: /: 10 files\n";
    std::ofstream(log) << "==== 2026-12-08T08:00:00+01:00 vexscan Dom\n"
                       << "/x\x1b[2J\xe2\x80\xa8y: infected\n"
                       << "2026-12-08 08:00:03 Dom: /: 11 files\n"
                       << "==== 2026-12-09T08:00:00+01:00 vexscan Dom\n"
                       << "2026-12-09 08:00:04 Dom: /: 12 files\n";

    run = Tempora({"log", "dom", "--runs", "1"}); // the stored name's case finds the file
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "==== 2026-12-09T08:00:00+01:00 vexscan Dom\n"
                       "2026-12-09 08:00:04 Dom: /: 12 files\n");
    run = Tempora({"log", "Dom", "--runs", "3"});
    EXPECT_EQ(run.out, "==== 2026-12-07T08:00:00+01:00 vexscan Dom\n"
                       "2026-12-07 08:00:02 Dom: /: 10 files\n"
                       "==== 2026-12-08T08:00:00+01:00 vexscan Dom\n"
                       // neither a terminal control nor a line separator
                       "/x\\x1b[2J\\u2028y: infected\n"
                       "2026-12-08 08:00:03 Dom: /: 11 files\n"
                       "==== 2026-12-09T08:00:00+01:00 vexscan Dom\n"
                       "2026-12-09 08:00:04 Dom: /: 12 files\n");
    const CRun all = Tempora({"log", "Dom"});
    EXPECT_EQ(all.out, Tempora({"log", "Dom", "--runs", "100"}).out);
    EXPECT_EQ(all.out.rfind("2026-12-06 08:00:01 Dom: /: 9 files\n==== 2026-12-07", 0), 0u);

    // Without any header the whole log is one run.
    std::ofstream(log) << "2026-12-10 08:00:01 Dom: /: 1 files\n"
                       << "2026-12-11 08:00:01 Dom: /: 2 files\n";
    EXPECT_EQ(Tempora({"log", "Dom", "--runs", "1"}).out,
              "2026-12-10 08:00:01 Dom: /: 1 files\n2026-12-11 08:00:01 Dom: /: 2 files\n");
    // A separator cut by the end of a read block is still one character.
    std::ofstream(log) << std::string(65535, 'a') << "\xe2\x80\xa8\n";
    const std::string cut = Tempora({"log", "Dom", "--runs", "1"}).out;
    EXPECT_EQ(cut.size(), 65535u + 7);
    EXPECT_EQ(cut.substr(65530), "aaaaa\\u2028\n");

    EXPECT_EQ(Tempora({"log", "Nie ma"}).code, 1);
    EXPECT_EQ(Tempora({"log", "Dom", "--runs", "0"}).code, 2);
    EXPECT_EQ(Tempora({"log"}).code, 2);
}

} // namespace

// `run --wait` ends with the scan's own outcome and prints its result.
TEST_F(TemporaResultTest, RunWaitExitsWithTheScansOutcome) {
    const std::string tree = m_base + "/tree";
    ASSERT_EQ(
        Tempora({"add", "Dom", "--daily", "08:00", "--dir", tree, "--all-files", "--background"})
            .code,
        0);
    ASSERT_EQ(Tempora({"add", "Brak", "--daily", "08:00", "--dir", m_base + "/gone",
                       "--allow-missing", "--background"})
                  .code,
              0);
    CRun run = Tempora({"run", "Dom", "--wait"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "czysto\n");
    std::ofstream(tree + "/list.txt") << kBodyMarker;
    run = Tempora({"run", "--wait", "Dom"});
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_EQ(run.out, "infekcje: 1\n");
    run = Tempora({"run", "Brak", "--wait"});
    EXPECT_EQ(run.code, 2) << run.err;
    EXPECT_EQ(run.out.rfind("błąd: nie można otworzyć folderu", 0), 0u) << run.out;
}

// A scan long enough to watch: listed while it runs, a second start refused
// without a stamp, stopped cleanly; one killed outright still leaves its
// result, recorded by whoever started it.
TEST_F(TemporaResultTest, RunningScansAreListedStoppedAndTheirEndRecorded) {
    const std::string tree = m_base + "/big";
    fs::create_directories(tree);
    for (int i = 0; i < 30000; ++i)
        std::ofstream(tree + "/f" + std::to_string(i)) << i;
    ASSERT_EQ(
        Tempora({"add", "Duża", "--daily", "08:00", "--dir", tree, "--all-files", "--background"})
            .code,
        0);
    auto runningScan = [&] {
        for (int i = 0; i < 1200; ++i) {
            const QJsonArray scans =
                QJsonDocument::fromJson(
                    QByteArray::fromStdString(Tempora({"running", "--json"}).out))
                    .array();
            if (!scans.isEmpty() && scans[0]["files"].toInt() > 0)
                return scans[0].toObject();
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        ADD_FAILURE() << "no running scan";
        return QJsonObject();
    };
    for (const int sig : {SIGTERM, SIGKILL}) {
        ASSERT_EQ(Tempora({"run", "Duża"}).code, 0);
        const QJsonObject scan = runningScan();
        EXPECT_EQ(scan["name"].toString(), QString::fromUtf8("Duża"));
        EXPECT_TRUE(
            QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$")
                .match(scan["started"].toString())
                .hasMatch());
        const auto pid = static_cast<pid_t>(scan["pid"].toInt());
        // Refused while it runs: no second scan, and the start stays as it was.
        const QJsonValue stamped = JobJson("Duża")["lastStart"];
        {
            CRegInterface store;
            ASSERT_TRUE(store.Open(kJobKeyPath));
            CJob job;
            ASSERT_EQ(store.ChangeJob("Duża", job,
                                      [](CJob& j) {
                                          j.SetLastStart(COleDateTime(2026, 1, 2, 3, 4, 0), true);
                                          return true;
                                      }),
                      CRegInterface::EChange::Written);
        }
        const CRun second = Tempora({"run", "Duża", "--wait"});
        EXPECT_EQ(second.code, 1);
        EXPECT_NE(second.err.find("jeszcze trwa"), std::string::npos) << second.err;
        EXPECT_TRUE(JobJson("Duża")["lastStart"].toString().startsWith("2026-01-02T03:04:00"));
        EXPECT_NE(stamped, JobJson("Duża")["lastStart"]);

        const std::string text = "przerwano (sygnał " + std::to_string(sig) + ")";
        if (sig == SIGTERM) {
            const CRun stop = Tempora({"stop", "Duża"});
            EXPECT_EQ(stop.code, 0) << stop.err;
            EXPECT_EQ(stop.out, text + "\n");
        } else {
            ASSERT_EQ(::kill(pid, SIGKILL), 0);
        }
        // The result comes first, then the scanner lets the job go.
        for (int i = 0; i < 1200 && (ListedResult("Duża") != text ||
                                     Tempora({"running", "--json"}).out != "[]\n");
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        EXPECT_EQ(ListedResult("Duża"), text);
        EXPECT_EQ(Tempora({"running", "--json"}).out, "[]\n");
    }
    EXPECT_EQ(Tempora({"stop", "Duża"}).code, 1);
}

// `stop` signals nothing but the job's own scanner: a record naming some
// other process of the user is not believed.
TEST_F(TemporaResultTest, StopSignalsOnlyTheJobsOwnScanner) {
    ASSERT_EQ(Tempora({"add", "Obca", "--daily", "08:00", "--dir", m_base + "/tree"}).code, 0);
    const pid_t other = ::fork();
    if (other == 0) {
        ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(other, 0);
    CScanLock lock("Obca");
    ASSERT_TRUE(lock.TryLock());
    const std::string record = FormatScanProgress({"Obca", static_cast<int>(other), 1, 5});
    ASSERT_EQ(::pwrite(lock.Descriptor(), record.data(), record.size(), 0),
              static_cast<ssize_t>(record.size()));
    const CRun stop = Tempora({"stop", "Obca"});
    EXPECT_EQ(stop.code, 1);
    EXPECT_EQ(Tempora({"running"}).out, "Nazwa\tProces\tStart\tPliki\n");
    int status = 0;
    EXPECT_EQ(::waitpid(other, &status, WNOHANG), 0) << "the other process was signalled";
    ::kill(other, SIGKILL);
    ::waitpid(other, &status, 0);
}

// A repeated run reads only what changed, `run --full` reads every file, and
// the status tells what the verdict cache holds.
TEST_F(TemporaResultTest, RepeatedRunsAreAnsweredFromTheVerdictCacheUnlessFull) {
    ASSERT_EQ(Tempora({"add", "Dom", "--daily", "08:00", "--dir", m_base + "/tree", "--all-files",
                       "--background", "--log", "detailed"})
                  .code,
              0);
    // A file changed within two seconds of a scan is read all the same.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    const std::string logFile = CScanPaths::ForJob(m_root, "Dom").m_strLog;
    auto lastRun = [&](const std::vector<std::string>& run, size_t runs) {
        EXPECT_EQ(Tempora(run).code, 0);
        std::string log;
        for (int i = 0; i < 400 && static_cast<size_t>(std::ranges::count(log, '=')) < 4 * runs;
             ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            std::ifstream in(logFile);
            const std::string text(std::istreambuf_iterator<char>(in), {});
            if (text.find(": plików", text.rfind("==== ")) != std::string::npos)
                log = text;
        }
        return log.substr(log.rfind("==== "));
    };
    EXPECT_NE(lastRun({"run", "--wait", "Dom"}, 1).find("/tree/a.txt: ok\n"), std::string::npos);
    const std::string cached = lastRun({"run", "--wait", "Dom"}, 2);
    EXPECT_NE(cached.find("/tree/a.txt: ok (bez zmian)\n"), std::string::npos) << cached;
    EXPECT_NE(cached.find("sygnatur nie wczytano"), std::string::npos) << cached;
    EXPECT_NE(Tempora({"status"}).out.find("Pamięć wyników: 2 plików"), std::string::npos);
    const std::string full = lastRun({"run", "--full", "--wait", "Dom"}, 3);
    EXPECT_NE(full.find("/tree/a.txt: ok\n"), std::string::npos) << full;
}
