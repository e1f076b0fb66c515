#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "NamedMutex.h"
#include "RegInterface.h"
#include "Registry.h"
#include "Settings.h"
#include "ShellRun.h"
#include "StatePaths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <vector>

// The built `tempora` as an administrator uses it: editing jobs in place,
// the status report, the refusals of inputs that would only fail later, and
// the bash completion that offers commands, job names and option values.

namespace {

using CResult = CShellResult;
const auto& Quote = ShellQuote;

class TemporaAdminTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_root = m_tmp.filePath("root").toStdString();
        setenv("RAMPART_ROOT", m_root.c_str(), 1);
        ASSERT_TRUE(EnsureStateRoot());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        m_server = std::make_unique<CNamedEvent>(kServerEventName);
        m_server->Wait(0);
        ASSERT_TRUE(QDir().mkpath(m_tmp.filePath("work/dane")));
    }
    void TearDown() override {
        m_server.reset();
        RemoveEvents(m_root);
        unsetenv("RAMPART_ROOT");
    }
    // The events a run of the programs made for the state root `root`.
    static void RemoveEvents(const std::string& root) {
        setenv("RAMPART_ROOT", root.c_str(), 1);
        CNamedEvent::Remove(kServerEventName);
        CNamedBroadcast::Remove(kClientEventName);
    }

    // Runs a shell command line in the folder work/ of the test, with the
    // test's state root and tempora's folder first on PATH.
    CResult Shell(const std::string& commandLine) {
        const std::string errFile = m_tmp.filePath("stderr").toStdString();
        const std::string program = VEX_TEMPORA;
        const std::string command =
            "cd " + Quote(m_tmp.filePath("work").toStdString()) +
            " && env -u DISPLAY -u WAYLAND_DISPLAY RAMPART_ROOT=" + Quote(m_root) +
            " LC_ALL=C.UTF-8 PATH=" + Quote(program.substr(0, program.rfind('/'))) +
            ":\"$PATH\" VEX_SIGNATURES=" + Quote(m_tmp.filePath("sigs").toStdString()) + " " +
            commandLine;
        return RunShell(command, errFile);
    }

    CResult Tempora(const std::vector<std::string>& args) {
        std::string line = "tempora";
        for (const std::string& arg : args)
            line += " " + Quote(arg);
        return Shell(line);
    }

    QJsonObject Show(const std::string& name) {
        const CResult r = Tempora({"show", name, "--json"});
        EXPECT_EQ(r.code, 0) << r.err;
        return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    }

    // What the completion offers for the words of a command line, the last
    // one being completed.
    std::vector<std::string> Complete(const std::vector<std::string>& words) {
        std::string array;
        for (const std::string& word : words)
            array += " " + Quote(word);
        const CResult r =
            Shell("bash -c " + Quote("source " + Quote(VEX_COMPLETION) + " && COMP_WORDS=(" +
                                     array + ") && COMP_CWORD=" + std::to_string(words.size() - 1) +
                                     " && _tempora && printf '%s\\n' \"${COMPREPLY[@]}\""));
        EXPECT_EQ(r.code, 0) << r.err;
        std::vector<std::string> offered;
        size_t start = 0;
        for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1)
            if (end > start)
                offered.push_back(r.out.substr(start, end - start));
        return offered;
    }

    QTemporaryDir m_tmp;
    std::string m_root;
    std::unique_ptr<CNamedEvent> m_server;
};

TEST_F(TemporaAdminTest, EditChangesOnlyWhatIsGivenAndKeepsTheLastStart) {
    ASSERT_EQ(Tempora({"add", "Dom", "--daily", "08:05", "--days", "Mon,TUE,wed", "--dir", "dane",
                       "--idle", "5", "--all-files", "--on-infection", "move"})
                  .code,
              0);
    // The relative folder was stored absolute, and tempora said so.
    const std::string absolute = m_tmp.filePath("work/dane").toStdString();
    EXPECT_EQ(Show("Dom")["directory"].toString().toStdString(), absolute);
    ASSERT_EQ(Tempora({"run", "Dom"}).code, 1); // no scanner recorded; the start is stamped
    const QJsonValue lastStart = Show("Dom")["lastStart"];
    ASSERT_FALSE(lastStart.isNull());
    m_server->Wait(0);

    // Options alone: the schedule, its idle time and the last start stay.
    CResult r = Tempora({"edit", "dom", "--no-subdirs", "--log", "detailed", "--days", "fri"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(m_server->Wait(0)); // the server was told
    QJsonObject job = Show("Dom");
    EXPECT_EQ(job["lastStart"], lastStart);
    EXPECT_FALSE(job["subdirectories"].toBool());
    EXPECT_EQ(job["log"].toString(), "detailed");
    EXPECT_EQ(job["files"].toString(), "all");
    EXPECT_EQ(job["onInfection"].toString(), "move");
    EXPECT_EQ(job["time"].toString(), "08:05");
    EXPECT_EQ(job["idleMinutes"].toInt(), 5);
    EXPECT_EQ(job["days"].toArray(), QJsonArray({"fri"}));

    // A new schedule and a new name: one job, renamed, idle time kept.
    r = Tempora(
        {"edit", "Dom", "--weekly", "Sun", "22:00", "--rename", "Dom i praca", "--subdirs"});
    ASSERT_EQ(r.code, 0) << r.err;
    const CResult list = Tempora({"list"});
    EXPECT_EQ(list.out.find("\nDom\t"), std::string::npos) << list.out;
    job = Show("Dom i praca");
    EXPECT_EQ(job["kind"].toString(), "weekly");
    EXPECT_EQ(job["dayOfWeek"].toString(), "sun");
    EXPECT_TRUE(job["idle"].toBool());
    EXPECT_TRUE(job["subdirectories"].toBool());
    EXPECT_EQ(job["directory"].toString().toStdString(), absolute);

    // A name that another job has is refused, and nothing changes.
    ASSERT_EQ(Tempora({"add", "Inna", "--at-startup"}).code, 0);
    m_server->Wait(0);
    r = Tempora({"edit", "Inna", "--rename", "DOM I PRACA"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("już istnieje"), std::string::npos) << r.err;
    EXPECT_FALSE(m_server->Wait(0));
    EXPECT_EQ(Show("Inna")["kind"].toString(), "at-startup");
    // Its own name in another case is no clash.
    EXPECT_EQ(Tempora({"edit", "Inna", "--rename", "INNA"}).code, 0);
    EXPECT_EQ(Show("INNA")["name"].toString(), "INNA");
}

TEST_F(TemporaAdminTest, InputsThatWouldFailLaterAreRefusedNow) {
    struct CCase {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const CCase cases[] = {
        {{"add", "A", "--daily", "08:00", "--days", "mon,Mon"}, 2, "dwa razy"},
        {{"add", "A", "--once", "2001-09-09 10:00"}, 1, "już minął"},
        {{"add", "A", "--hourly", "5", "--dir", "/nie/ma/takiego"}, 1, "nie istnieje"},
        {{"add", "A", "--hourly", "5", "--dir", "brak"}, 1, "nie istnieje"},
        {{"add", "A", "--hourly", "5", "--dir", "/etc/hostname"}, 1, "nie jest katalogiem"},
        {{"edit", "Nie ma", "--hourly", "5"}, 1, "nie istnieje"},
        {{"edit", "A"}, 2, "co najmniej jednej zmiany"},
        {{"edit", "A", "--idle", "5", "--no-idle"}, 2, "wykluczają się"},
        {{"add", "A", "--hourly", "5", "--rename", "B"}, 2, "nieznana opcja --rename"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args.back());
        const CResult r = Tempora(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(Tempora({"list"}).out.find("\nA\t"), std::string::npos); // nothing was added
    EXPECT_FALSE(m_server->Wait(0));

    // Accepted on request: a folder that is not there yet.
    const CResult r = Tempora({"add", "A", "--hourly", "5", "--dir", "brak", "--allow-missing"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("zapisano jako"), std::string::npos) << r.err;
    // --days alone applies only to a daily schedule.
    const CResult days = Tempora({"edit", "A", "--days", "mon"});
    EXPECT_EQ(days.code, 2);
    EXPECT_NE(days.err.find("--daily"), std::string::npos) << days.err;
}

TEST_F(TemporaAdminTest, StatusTellsWhetherTheServerRunsAndWhatIsDue) {
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "vexexe", "/nie/ma/vexscan"));
    ASSERT_EQ(Tempora({"add", "Co godzinę", "--hourly", "30"}).code, 0);
    ASSERT_EQ(Tempora({"add", "Za rok", "--monthly", "1", "00:00", "--inactive"}).code, 0);
    ASSERT_TRUE(QDir().mkpath(m_tmp.filePath("sigs")));
    QFile db(m_tmp.filePath("sigs/daily.cld"));
    ASSERT_TRUE(db.open(QIODevice::WriteOnly));
    db.close();

    CResult r = Tempora({"status"});
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_NE(r.out.find("Serwer vexserv: nie działa"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(m_root + "/machine.db\" (analiz: 2, aktywnych: 1)"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"/nie/ma/vexscan\" nie istnieje"), std::string::npos) << r.out;
    // An empty database has no header: no version, the file's own date.
    EXPECT_NE(r.out.find("najnowsza baza daily.cld z "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" sprzed 0 min"), std::string::npos) << r.out;
    // Due at once when the test runs in minute :30 itself: then marked as such.
    EXPECT_NE(r.out.find("  Co godzinę"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Za rok"), std::string::npos) << r.out;
    // Whether the user's units start at boot without a login.
    const bool linger = QFile::exists(QString("/var/lib/systemd/linger/") + qgetenv("USER"));
    EXPECT_NE(r.out.find(linger ? "Start bez logowania (linger): włączony\n"
                                : "Start bez logowania (linger): wyłączony"),
              std::string::npos)
        << r.out;

    // With the server's lock held by someone, the status says it runs.
    CNamedMutex server(kServerMutexName);
    ASSERT_TRUE(server.TryLock());
    r = Tempora({"status"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Serwer vexserv: działa"), std::string::npos) << r.out;

    // A state root never prepared: reported, and not created by looking.
    const std::string fresh = m_tmp.filePath("fresh").toStdString();
    const CResult none =
        Shell("RAMPART_ROOT=" + Quote(fresh) + " VEX_SIGNATURES=/nie/ma tempora status");
    EXPECT_EQ(none.code, 3);
    EXPECT_NE(none.out.find("nie istnieje (vexserv --install ją zakłada)"), std::string::npos)
        << none.out;
    EXPECT_NE(none.out.find("Sygnatury: \"/nie/ma\" nie istnieje"), std::string::npos) << none.out;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(fresh + "/machine.db")));
    RemoveEvents(fresh);
    setenv("RAMPART_ROOT", m_root.c_str(), 1);
}

TEST_F(TemporaAdminTest, CompletionOffersCommandsJobNamesAndOptionValues) {
    ASSERT_EQ(Tempora({"add", "Dom i praca", "--hourly", "5"}).code, 0);
    ASSERT_EQ(Tempora({"add", "Dokumenty", "--hourly", "6"}).code, 0);
    EXPECT_EQ(Complete({"tempora", "e"}), (std::vector<std::string>{"edit", "enable", "export"}));
    EXPECT_EQ(Complete({"tempora", "edit", "Do"}),
              (std::vector<std::string>{"Dokumenty", "Dom\\ i\\ praca"}));
    EXPECT_EQ(Complete({"tempora", "edit", "X", "--on-inf"}),
              (std::vector<std::string>{"--on-infection"}));
    EXPECT_EQ(Complete({"tempora", "add", "X", "--on-infection", "m"}),
              (std::vector<std::string>{"move"}));
    EXPECT_EQ(Complete({"tempora", "add", "X", "--daily", "08:00", "--days", "mon,t"}),
              (std::vector<std::string>{"mon,tue", "mon,thu"}));
    EXPECT_EQ(Complete({"tempora", "list", "--"}), (std::vector<std::string>{"--json", "--tsv"}));
    // --rename is edit's alone.
    EXPECT_TRUE(Complete({"tempora", "add", "X", "--ren"}).empty());
}

} // namespace
