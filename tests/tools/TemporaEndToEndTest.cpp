#include "Job.h"
#include "JobFile.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "RegInterface.h"
#include "Registry.h"
#include "ScanLock.h"
#include "Settings.h"
#include "ShellRun.h"
#include "StatePaths.h"
#include "TemporaSession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

// The built `tempora` program against a fresh state root: what a user or a
// script sees on the terminal, in the exit codes and in the job store.

namespace {

const char* const kSettingsKey = "Software\\Kestrow\\Rampart 8\\Tempora";

using CResult = CShellResult;
const auto& Quote = ShellQuote;

std::string ReadText(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

class TemporaEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_root = m_tmp.filePath("root").toStdString();
        setenv("RAMPART_ROOT", m_root.c_str(), 1);
        ASSERT_TRUE(EnsureStateRoot());
        // What `vexserv --install` provides: the job key and the scanner path.
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        m_scannerOut = m_tmp.filePath("scanner.out").toStdString();
        const std::string scanner = m_tmp.filePath("scanner.sh").toStdString();
        const std::string script =
            "#!/bin/sh\n{ printf '%s\\n' \"$@\" \"$VEX_WINDOW\"; cat \"$2\"; } > " +
            Quote(m_scannerOut + ".part") + " && rm -f \"$2\" && mv " +
            Quote(m_scannerOut + ".part") + " " + Quote(m_scannerOut) + "\n";
        QFile file(QString::fromStdString(scanner));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script.c_str());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "vexexe", scanner.c_str()));

        m_server = std::make_unique<CNamedEvent>(kServerEventName);
        m_client = std::make_unique<CNamedBroadcast>(kClientEventName);
        m_server->Wait(0);
        m_client->Wait(0);
    }
    void TearDown() override {
        m_server.reset();
        m_client.reset();
        CNamedEvent::Remove(kServerEventName);
        CNamedBroadcast::Remove(kClientEventName);
        unsetenv("RAMPART_ROOT");
    }

    // Runs tempora without a display, with the Polish texts the user sees.
    CResult Tempora(const std::vector<std::string>& args, const std::string& input = "") {
        const std::string errFile = m_tmp.filePath("stderr").toStdString();
        std::string command =
            "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM RAMPART_ROOT=" + Quote(m_root) +
            " TMPDIR=" + Quote(m_tmp.path().toStdString()) + " LC_ALL=C.UTF-8 " +
            Quote(VEX_TEMPORA);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        return RunShell(command, errFile, input);
    }

    // Adds one job of every schedule kind.
    void AddEveryKind() {
        const std::vector<std::vector<std::string>> adds = {
            {"add", "Jednorazowo", "--once", "2030-03-02 14:00", "--dir", "/srv"},
            {"add", "Co godzinę", "--hourly", "30", "--all-files"},
            {"add", "Robocze", "--daily", "08:05", "--days", "mon,tue,wed,thu,fri"},
            {"add", "Tygodniowo", "--weekly", "mon", "08:00", "--idle", "5"},
            {"add", "Miesięcznie", "--monthly", "31", "22:00", "--background"},
            {"add", "Przy starcie", "--at-startup", "--inactive", "--log", "detailed"},
        };
        for (const auto& args : adds) {
            const CResult r = Tempora(args);
            ASSERT_EQ(r.code, 0) << args[1] << ": " << r.err;
            EXPECT_EQ(r.err, "");
        }
    }

    QJsonArray ListJson() {
        const CResult r = Tempora({"list", "--json"});
        EXPECT_EQ(r.code, 0) << r.err;
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out;
        return doc.array();
    }

    QJsonObject ShowJson(const std::string& name) {
        const CResult r = Tempora({"show", name, "--json"});
        EXPECT_EQ(r.code, 0) << r.err;
        return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    }

    QTemporaryDir m_tmp;
    std::string m_root;
    std::string m_scannerOut;
    std::unique_ptr<CNamedEvent> m_server;
    std::unique_ptr<CNamedBroadcast> m_client;
};

TEST_F(TemporaEndToEndTest, AddsEveryKindAndListsItAsTextAndJson) {
    AddEveryKind();
    // Every change told the server and the windows.
    EXPECT_TRUE(m_server->Wait(0));
    EXPECT_TRUE(m_client->Wait(0));

    const CResult text = Tempora({"list"});
    ASSERT_EQ(text.code, 0) << text.err;
    const QStringList lines = QString::fromStdString(text.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7); // header and six jobs, sorted by name
    EXPECT_TRUE(lines[0].startsWith("Nazwa\tAktywna\tKatalog\tCzas\t"));
    EXPECT_TRUE(lines[1].startsWith("Co godzinę\ttak\t/\t30 minut po każdej pełnej godzinie\t"));
    EXPECT_TRUE(lines[5].startsWith("Robocze\ttak\t/\t08:05 prawie każdego dnia\t"));
    EXPECT_TRUE(lines[4].startsWith("Przy starcie\tnie\t/\tStart systemu\twyłączony\t"));
    for (const QString& line : lines)
        EXPECT_EQ(line.count('\t'), 7) << line.toStdString();

    const QJsonArray jobs = ListJson();
    ASSERT_EQ(jobs.size(), 6);
    QStringList kinds;
    for (const QJsonValue& job : jobs)
        kinds << job["kind"].toString();
    kinds.sort();
    EXPECT_EQ(kinds, QStringList({"at-startup", "daily", "hourly", "monthly", "once", "weekly"}));

    const QJsonObject once = ShowJson("Jednorazowo");
    // With seconds and the offset of that moment.
    EXPECT_TRUE(QRegularExpression("^2030-03-02T14:00:00[+-]\\d\\d:\\d\\d$")
                    .match(once["at"].toString())
                    .hasMatch())
        << once["at"].toString().toStdString();
    EXPECT_EQ(once["nextStart"], once["at"]);
    EXPECT_EQ(once["directory"].toString(), "/srv");
    const QJsonObject weekly = ShowJson("Tygodniowo");
    EXPECT_TRUE(weekly["idle"].toBool());
    EXPECT_EQ(weekly["idleMinutes"].toInt(), 5);
    EXPECT_EQ(weekly["dayOfWeek"].toString(), "mon");
    const QJsonObject monthly = ShowJson("Miesięcznie");
    EXPECT_EQ(monthly["window"].toString(), "background");
    EXPECT_EQ(monthly["end"].toString(), "exit");
    EXPECT_EQ(ShowJson("Co godzinę")["files"].toString(), "all");

    const CResult show = Tempora({"show", "Robocze"});
    EXPECT_NE(show.out.find("Nazwa: Robocze\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("Rodzaj: codziennie\n"), std::string::npos) << show.out;
}

TEST_F(TemporaEndToEndTest, DisableAndEnableSwitchTheStoredJob) {
    AddEveryKind();
    m_server->Wait(0);
    ASSERT_EQ(Tempora({"disable", "Robocze"}).code, 0);
    EXPECT_TRUE(m_server->Wait(0));
    EXPECT_FALSE(ShowJson("Robocze")["active"].toBool());
    EXPECT_EQ(ShowJson("Robocze")["nextStartText"].toString(), "wyłączony");

    // Switching off what is off writes nothing and tells nobody.
    ASSERT_EQ(Tempora({"disable", "Robocze"}).code, 0);
    EXPECT_FALSE(m_server->Wait(0));

    ASSERT_EQ(Tempora({"enable", "robocze"}).code, 0); // names ignore case, as in the store
    EXPECT_TRUE(ShowJson("Robocze")["active"].toBool());
    EXPECT_TRUE(m_server->Wait(0));
}

TEST_F(TemporaEndToEndTest, RunNowStartsTheScannerAndStampsTheLastStart) {
    AddEveryKind();
    EXPECT_TRUE(ShowJson("Robocze")["lastStart"].isNull());
    m_server->Wait(0);
    const CResult r = Tempora({"run", "Robocze"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(m_server->Wait(0));
    EXPECT_FALSE(ShowJson("Robocze")["lastStart"].isNull());

    // The stand-in scanner got -c, the command file and the window mode; the
    // command file holds the option digits, the name and the folder.
    for (int i = 0; i < 500 && !QFile::exists(QString::fromStdString(m_scannerOut)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const QStringList seen = QString::fromStdString(ReadText(m_scannerOut)).split('\n');
    ASSERT_GE(seen.size(), 6) << ReadText(m_scannerOut);
    EXPECT_EQ(seen[0], "-c");
    EXPECT_TRUE(seen[1].startsWith(m_tmp.path() + "/vex")) << seen[1].toStdString();
    EXPECT_EQ(seen[2], "normal");
    EXPECT_EQ(seen[3], "11110011\r");
    EXPECT_EQ(seen[4], "Robocze\r");
    EXPECT_EQ(seen[5], "/\r");
}

TEST_F(TemporaEndToEndTest, RunWhileTheJobsScanRunsStartsNoSecondOne) {
    AddEveryKind();
    CScanLock running("Robocze"); // as a scanner of the job holds it
    ASSERT_TRUE(running.TryLock());
    const CResult r = Tempora({"run", "robocze"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("jeszcze trwa"), std::string::npos) << r.err;
    EXPECT_TRUE(ShowJson("Robocze")["lastStart"].isNull());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(m_scannerOut)));
}

TEST_F(TemporaEndToEndTest, RunWithoutAScannerStillStampsButFails) {
    AddEveryKind();
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "vexexe", "/nonexistent/vexscan"));
    const CResult r = Tempora({"run", "Robocze"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("/nonexistent/vexscan"), std::string::npos) << r.err;
    EXPECT_FALSE(ShowJson("Robocze")["lastStart"].isNull());
}

// A scanner that ends without taking its command file refused the run: tempora
// says so, leaves no command file behind and records why nothing was scanned.
TEST_F(TemporaEndToEndTest, RunThatTheScannerRefusesIsNoStartAndLeavesNothingBehind) {
    AddEveryKind();
    const std::string refusing = m_tmp.filePath("refusing.sh").toStdString();
    QFile file(QString::fromStdString(refusing));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 2\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "vexexe", refusing.c_str()));

    const CResult r = Tempora({"run", "Robocze"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("odrzucił ustawienia analizy"), std::string::npos) << r.err;
    EXPECT_TRUE(QDir(m_tmp.path()).entryList({"vex*"}, QDir::Files).isEmpty());
    const QJsonObject result = ShowJson("Robocze")["lastResult"].toObject();
    EXPECT_EQ(result["notStarted"].toString(), "refused");
    EXPECT_EQ(result["text"].toString(),
              QString::fromUtf8("odrzucono: skaner nie przyjął ustawień"));
}

TEST_F(TemporaEndToEndTest, ExportDeleteAllImportGivesTheSameJobs) {
    AddEveryKind();
    ASSERT_EQ(Tempora({"run", "Co godzinę"}).code, 0);
    // What must survive the trip; the last start is dropped by the import,
    // and results never travel.
    auto comparable = [](QJsonArray jobs) {
        for (qsizetype i = 0; i < jobs.size(); ++i) {
            QJsonObject o = jobs[i].toObject();
            for (const char* key : {"lastStart", "lastStartText", "countdown", "secondsToNextStart",
                                    "nextStart", "nextStartText", "lastResult"})
                o.remove(key);
            jobs[i] = o;
        }
        return jobs;
    };
    const QJsonArray before = ListJson();
    const std::string file = m_tmp.filePath("kopia.scj").toStdString();
    const CResult exported = Tempora({"export", file});
    ASSERT_EQ(exported.code, 0) << exported.err;

    for (const QJsonValue& job : before) {
        const CResult r = Tempora({"delete", job["name"].toString().toStdString()});
        ASSERT_EQ(r.code, 0) << r.err;
    }
    EXPECT_EQ(ListJson().size(), 0);

    m_server->Wait(0);
    const CResult imported = Tempora({"import", file});
    ASSERT_EQ(imported.code, 0) << imported.err;
    EXPECT_NE(imported.out.find("Dodano: 6"), std::string::npos) << imported.out;
    EXPECT_TRUE(m_server->Wait(0));
    const QJsonArray after = ListJson();
    EXPECT_EQ(comparable(after), comparable(before));
    for (const QJsonValue& job : after)
        EXPECT_TRUE(job["lastStart"].isNull()) << job["name"].toString().toStdString();
}

TEST_F(TemporaEndToEndTest, ImportOfTakenNamesKeepsOrReplacesAsAsked) {
    AddEveryKind();
    const std::string file = m_tmp.filePath("kopia.scj").toStdString();
    ASSERT_EQ(Tempora({"export", file}).code, 0);
    ASSERT_EQ(Tempora({"run", "Robocze"}).code, 0);
    ASSERT_EQ(Tempora({"disable", "Robocze"}).code, 0);

    // Without a terminal nothing is replaced.
    CResult r = Tempora({"import", file});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("pozostawiono: 6"), std::string::npos) << r.out;
    EXPECT_FALSE(ShowJson("Robocze")["active"].toBool());

    r = Tempora({"import", file, "--keep"});
    EXPECT_NE(r.out.find("pozostawiono: 6"), std::string::npos) << r.out;

    r = Tempora({"import", file, "--replace"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("zastąpiono: 6"), std::string::npos) << r.out;
    const QJsonObject robocze = ShowJson("Robocze");
    EXPECT_TRUE(robocze["active"].toBool());
    EXPECT_TRUE(robocze["lastStart"].isNull()); // the file's, from before the run
    EXPECT_EQ(ListJson().size(), 6);
}

TEST_F(TemporaEndToEndTest, ImportAsksOncePerTakenName) {
    AddEveryKind();
    const std::string file = m_tmp.filePath("kopia.scj").toStdString();
    ASSERT_EQ(Tempora({"export", file}).code, 0);
    ASSERT_EQ(Tempora({"disable", "Robocze"}).code, 0);
    ASSERT_EQ(Tempora({"disable", "Tygodniowo"}).code, 0);

    // The session in this process, answering the terminal's question.
    std::vector<std::string> asked;
    CTemporaSession session(stdout, stderr);
    session.SetAskReplace([&asked](const std::string& name) {
        asked.push_back(name);
        return name == "Robocze";
    });
    CTemporaRequest request;
    std::string error;
    ASSERT_TRUE(ParseTemporaArgs({"import", file}, request, error)) << error;
    EXPECT_EQ(session.Execute(request), 0);

    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"Co godzinę", "Jednorazowo", "Miesięcznie",
                                               "Przy starcie", "Robocze", "Tygodniowo"}));
    EXPECT_TRUE(ShowJson("Robocze")["active"].toBool());     // replaced by the file's
    EXPECT_FALSE(ShowJson("Tygodniowo")["active"].toBool()); // kept as stored
}

TEST_F(TemporaEndToEndTest, BadFilesAreRefusedAndKeepWhatCameBefore) {
    const std::string text = m_tmp.filePath("tekst.scj").toStdString();
    QFile t(QString::fromStdString(text));
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write("to nie jest plik analiz\n");
    t.close();
    CResult r = Tempora({"import", text});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Błędny typ pliku."), std::string::npos) << r.err;

    r = Tempora({"import", m_tmp.filePath("brak.scj").toStdString()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("brak.scj"), std::string::npos) << r.err;

    // A file cut inside its third record: the first two jobs are imported.
    AddEveryKind();
    const std::string file = m_tmp.filePath("kopia.scj").toStdString();
    ASSERT_EQ(Tempora({"export", file}).code, 0);
    for (const QJsonValue& job : ListJson())
        ASSERT_EQ(Tempora({"delete", job["name"].toString().toStdString()}).code, 0);
    QFile f(QString::fromStdString(file));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QByteArray whole = f.readAll();
    qsizetype cut = 1 + 16 + 4;
    for (int record = 0; record < 2; ++record)
        cut += 4 + static_cast<unsigned char>(whole[cut]) +
               256 * static_cast<unsigned char>(whole[cut + 1]);
    f.resize(cut + 10);
    f.close();
    r = Tempora({"import", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("uszkodzony"), std::string::npos) << r.err;
    EXPECT_EQ(ListJson().size(), 2);
}

TEST_F(TemporaEndToEndTest, RefusalsGiveExitCodeOneAndTheStoresMessage) {
    AddEveryKind();
    m_server->Wait(0);
    CResult r = Tempora({"add", "Robocze", "--hourly", "5"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Analiza o tej nazwie już istnieje. Proszę wybrać inną nazwę."),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(m_server->Wait(0)); // a refused change signals nothing

    for (const char* command : {"show", "enable", "disable", "delete", "run"}) {
        r = Tempora({command, "Nie ma"});
        EXPECT_EQ(r.code, 1) << command;
        EXPECT_NE(r.err.find("\"Nie ma\" nie istnieje"), std::string::npos) << r.err;
    }
}

TEST_F(TemporaEndToEndTest, UsageErrorsGiveExitCodeTwoAndTheUsageLine) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"frob"}, {"add", "X"}, {"add", "X", "--daily", "25:00"}, {"list", "--bogus"}}) {
        const CResult r = Tempora(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("Użycie: tempora"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const CResult help = Tempora({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--monthly D GG:MM"), std::string::npos);
}

TEST_F(TemporaEndToEndTest, MissingStoreIsReported) {
    // The events are named from a secret in the root: removed while it is there.
    CNamedEvent::Remove(kServerEventName);
    CNamedBroadcast::Remove(kClientEventName);
    QDir(QString::fromStdString(m_root)).removeRecursively();
    const CResult r = Tempora({"list"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Nie mogę otworzyć bazy danych rejestracyjnych."), std::string::npos)
        << r.err;
}

TEST(TemporaProgram, NeedsNoGraphicalLibraries) {
    FILE* pipe = popen((std::string("ldd ") + Quote(VEX_TEMPORA)).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string libs;
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        libs.append(buf, n);
    pclose(pipe);
    EXPECT_EQ(libs.find("Qt6Gui"), std::string::npos) << libs;
    EXPECT_EQ(libs.find("Qt6Widgets"), std::string::npos) << libs;
}

// A fresh account needs no installation first, and a name with a control
// character comes in by no way: add, rename or a job file.
TEST_F(TemporaEndToEndTest, AFreshAccountAddsJobsWhoseNamesAreOneLine) {
    m_root = m_tmp.filePath("fresh").toStdString();
    CResult r = Tempora({"add", "Dom", "--daily", "08:00", "--dir", "/tmp"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Tempora({"status"}).out.find("nie zapisany"), std::string::npos);

    r = Tempora({"add", "Zła\nnazwa", "--daily", "08:00"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("nazwa zawiera znak sterujący"), std::string::npos) << r.err;
    EXPECT_EQ(Tempora({"edit", "Dom", "--rename", "D\tom"}).code, 2);

    std::vector<std::vector<BYTE>> records;
    for (const char* name : {"Linia\x1b[2J", "Przyjęta", "Akapit\xe2\x80\xa9"}) {
        CJob job;
        job.SetName(name);
        job.GetScanParameter().m_strDirectory = "/tmp";
        records.push_back(job.Store());
    }
    const std::string file = m_tmp.filePath("nazwy.scj").toStdString();
    ASSERT_TRUE(SaveJobFile(file, EncodeJobFile(records), nullptr));
    r = Tempora({"import", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Dodano: 1, zastąpiono: 0, pozostawiono: 0, pominięto: 2"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Tempora({"list", "--tsv"}).out.find("nazwa"), std::string::npos);
    const std::string tsv = Tempora({"list", "--tsv"}).out;
    EXPECT_EQ(std::count(tsv.begin(), tsv.end(), '\n'), 3) << tsv;
}

} // namespace
