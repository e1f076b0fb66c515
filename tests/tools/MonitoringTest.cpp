// What an administrator of many machines reads: the signatures' age in
// `tempora status`, the scan log and the result; `tempora metrics` in the
// exposition format, the metrics file a real server keeps, and the journal
// entries of results.
#include "FaultUtil.h"
#include "Job.h"
#include "JobMetrics.h"
#include "JobResult.h"
#include "NamedMutex.h"
#include "RegInterface.h"
#include "ResultJournal.h"
#include "Settings.h"
#include "SignatureDb.h"
#include "SignatureInfo.h"
#include "TempStateRoot.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <map>
#include <regex>
#include <utime.h>

namespace {

constexpr std::time_t kDay = 24 * 60 * 60;

// One sample of the exposition format: family, labels, value.
struct CSample {
    std::string name;
    std::map<std::string, std::string> labels;
    double value = 0;
};

// A small reader of the text exposition format: a sample's family must have
// its HELP and TYPE before it, label values are unescaped. A line it cannot
// read fails the test.
std::vector<CSample> ParseExposition(const std::string& text) {
    std::vector<CSample> samples;
    std::map<std::string, int> described; // HELP and TYPE seen: 2
    std::istringstream in(text);
    static const std::regex comment(R"(# (HELP|TYPE) ([a-zA-Z_:][a-zA-Z0-9_:]*) (.+))");
    static const std::regex sample(R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{.*\})? (-?[0-9.e+]+))");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, comment)) {
            EXPECT_TRUE(m[1] != "TYPE" || m[3] == "gauge") << line;
            ++described[m[2]];
        } else if (std::regex_match(line, m, sample)) {
            CSample s{m[1], {}, std::stod(m[3])};
            EXPECT_EQ(described[s.name], 2) << "no HELP and TYPE before " << line;
            const std::string labels = m[2];
            for (size_t i = 1; i < labels.size() && labels[i] != '}';) {
                const size_t eq = labels.find("=\"", i);
                if (eq == std::string::npos) {
                    ADD_FAILURE() << "bad labels: " << line;
                    break;
                }
                const std::string key = labels.substr(i, eq - i);
                std::string value;
                for (i = eq + 2; i < labels.size() && labels[i] != '"'; ++i) {
                    if (labels[i] == '\\' && ++i < labels.size())
                        value += labels[i] == 'n' ? '\n' : labels[i];
                    else
                        value += labels[i];
                }
                s.labels[key] = value;
                i += i + 1 < labels.size() && labels[i + 1] == ',' ? 2 : 1;
            }
            samples.push_back(s);
        } else {
            ADD_FAILURE() << "not in the exposition format: " << line;
        }
    }
    return samples;
}

// The value of the one sample of name whose labels include these.
std::optional<double> Value(const std::vector<CSample>& samples, const std::string& name,
                            const std::map<std::string, std::string>& labels = {}) {
    std::optional<double> found;
    for (const CSample& s : samples)
        if (s.name == name && std::all_of(labels.begin(), labels.end(), [&](const auto& l) {
                return s.labels.count(l.first) && s.labels.at(l.first) == l.second;
            })) {
            EXPECT_FALSE(found) << "two samples of " << name;
            found = s.value;
        }
    return found;
}

class MonitoringTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        m_dir = m_root.Path();
        MakeJobKey();
        ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "vexexe", VEXSCAN_PATH));
        std::filesystem::create_directories(m_dir + "/tree");
        std::ofstream(m_dir + "/tree/a.txt") << "clean\n";
        m_sigs = MakeTestSignatures(m_dir + "/signatures");
    }
    std::map<std::string, std::string> Env() const {
        return {{"RAMPART_ROOT", m_dir},
                {"TMPDIR", m_dir},
                {"LC_ALL", "C.UTF-8"},
                {"VEX_SIGNATURES", m_sigs},
                {"JOURNAL_STREAM", ""}};
    }
    CRunResult Tempora(const std::vector<std::string>& args) {
        std::vector<std::string> argv{TEMPORA_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return CProgram(argv, Env(), m_dir).Wait();
    }
    // Runs the job now and waits for the result it stores.
    CJobResult RunAndWait(const std::string& name) {
        CJobResult before;
        const bool had = ReadJobResult(name.c_str(), before);
        EXPECT_EQ(Tempora({"run", name}).code, 0);
        CJobResult now;
        EXPECT_TRUE(WaitUntil(
            [&] { return ReadJobResult(name.c_str(), now) && (!had || !(now == before)); }, 20000))
            << "no result for " << name;
        return now;
    }
    // Plain signature databases made `days` ago.
    void AgeSignatures(int days) {
        const time_t then = std::time(nullptr) - days * kDay;
        const utimbuf times{then, then};
        for (const auto& entry : std::filesystem::directory_iterator(m_sigs))
            ASSERT_EQ(utime(entry.path().c_str(), &times), 0);
    }

    CTempStateRoot m_root;
    std::string m_dir;
    std::string m_sigs;
};

} // namespace

TEST_F(MonitoringTest, StatusAndScansTellTheSignaturesAge) {
    const std::time_t now = std::time(nullptr);
    // Signed databases: version, build date and count from their headers.
    m_sigs = m_dir + "/signed";
    WriteDatabaseHeader(m_sigs, "daily.cvd", 27123, 2000, now - 12 * kDay - 60);
    WriteDatabaseHeader(m_sigs, "main.cvd", 62, 500, now - 400 * kDay);
    CRunResult status = Tempora({"status"});
    EXPECT_NE(status.out.find("sygnatur 2500, najnowsza baza daily.cvd 27123 z " +
                              LocalDate(now - 12 * kDay - 60) + " sprzed 12 dn."),
              std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("uwaga: Sygnatury sprzed 12 dni: uruchom freshclam"),
              std::string::npos);
    WriteDatabaseHeader(m_sigs, "daily.cvd", 27124, 2001, now - 3600);
    status = Tempora({"status"});
    EXPECT_NE(status.out.find("daily.cvd 27124"), std::string::npos) << status.out;
    EXPECT_EQ(status.out.find("uwaga:"), std::string::npos) << status.out;

    // Scans: the log names the databases, the result carries the warning.
    m_sigs = m_dir + "/signatures";
    AgeSignatures(12);
    Tempora({"add", "Dom", "--daily", "08:30", "--dir", m_dir + "/tree", "--all-files"});
    CJobResult result = RunAndWait("Dom");
    EXPECT_EQ(result.GetText(), "czysto, sygnatury sprzed 12 dni");
    const std::string log = Tempora({"log", "Dom"}).out;
    EXPECT_NE(log.find("bazy sygnatur: vex-test.hdb z " + LocalDate(now - 12 * kDay)),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("uwaga: Sygnatury sprzed 12 dni: uruchom freshclam"), std::string::npos);

    m_sigs = m_dir + "/empty";
    std::filesystem::create_directories(m_sigs);
    EXPECT_NE(Tempora({"status"}).out.find("brak baz sygnatur"), std::string::npos);
    result = RunAndWait("Dom");
    EXPECT_EQ(result.m_eSignatures, CJobResult::ESignatures::Missing);
    EXPECT_NE(result.GetText().find("brak sygnatur"), std::string::npos) << result.GetText();
}

TEST_F(MonitoringTest, MetricsDescribeTheJobsTheirResultsAndTheSignatures) {
    const std::string odd = "Cudzy \"dom\" C:\\x";
    ASSERT_EQ(Tempora({"add", "Dom", "--daily", "08:30", "--dir", m_dir + "/tree"}).code, 0);
    ASSERT_EQ(Tempora({"add", odd, "--hourly", "15", "--dir", m_dir, "--inactive"}).code, 0);
    const std::time_t now = std::time(nullptr);
    CJobResult clean;
    clean.m_nFinished = now - 100;
    clean.m_nFiles = 8;
    ASSERT_TRUE(WriteJobResult("Dom", clean));
    CJobResult infected = clean;
    infected.m_nFinished = now - 50;
    infected.m_nFiles = 9;
    infected.m_nInfected = 2;
    infected.m_nExitCode = 1;
    ASSERT_TRUE(WriteJobResult("Dom", infected));

    const CRunResult run = Tempora({"metrics"});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<CSample> samples = ParseExposition(run.out);
    const std::map<std::string, std::string> dom{{"name", "Dom"}};
    EXPECT_EQ(
        Value(samples, "vex_tempora_job_last_result", {{"name", "Dom"}, {"state", "infected"}}), 1);
    EXPECT_EQ(Value(samples, "vex_tempora_job_last_infected", dom), 2);
    EXPECT_EQ(Value(samples, "vex_tempora_job_last_files", dom), 9);
    EXPECT_EQ(Value(samples, "vex_tempora_job_last_end_timestamp_seconds", dom), now - 50);
    // The clean scan before the infected one still counts.
    const auto sinceClean = Value(samples, "vex_tempora_job_seconds_since_clean_scan", dom);
    ASSERT_TRUE(sinceClean);
    EXPECT_NEAR(*sinceClean, 100, 10);
    CRegInterface store;
    CJob job;
    time_t next = 0;
    ASSERT_TRUE(store.Open(kJobKeyPath) && store.ReadJob("Dom", &job) &&
                job.GetNextStart(now, next));
    EXPECT_EQ(Value(samples, "vex_tempora_job_next_start_timestamp_seconds", dom), next);
    // Quotes and backslashes of a name come back as they were; a job that
    // is off has no next start and no result.
    EXPECT_EQ(Value(samples, "vex_tempora_job_active", {{"name", odd}}), 0);
    EXPECT_FALSE(Value(samples, "vex_tempora_job_next_start_timestamp_seconds", {{"name", odd}}));
    EXPECT_FALSE(Value(samples, "vex_tempora_job_last_result", {{"name", odd}}));
    EXPECT_EQ(Value(samples, "vex_tempora_signatures"), 2);
    const auto age = Value(samples, "vex_tempora_signatures_age_seconds");
    ASSERT_TRUE(age);
    EXPECT_LT(*age, 600);
}

TEST_F(MonitoringTest, ARealServerRewritesTheMetricsFileAfterAResult) {
    const std::string file = m_dir + "/prom/vex.prom";
    std::filesystem::create_directories(m_dir + "/prom");
    ASSERT_EQ(
        Tempora({"add", "Dom", "--daily", "08:30", "--dir", m_dir + "/tree", "--all-files"}).code,
        0);
    ASSERT_EQ(Tempora({"metrics", "--file", "prom/vex.prom"}).code, 2); // relative
    ASSERT_EQ(Tempora({"metrics", "--file", file}).code, 0);
    EXPECT_EQ(ReadWhole(file).find("vex_tempora_job_last_result"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::others_read);

    CProgram server({VEXSERV_PATH}, Env(), m_dir);
    ASSERT_TRUE(WaitUntil([] { return CNamedMutex::Presence(kServerMutexName).bHeld; }, 5000));
    ASSERT_EQ(Tempora({"run", "Dom"}).code, 0);
    // Before the next minute's pass: the scanner wakes the server.
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ReadWhole(file).find(
                       "vex_tempora_job_last_result{name=\"Dom\",state=\"clean\"} 0") !=
                   std::string::npos;
        },
        10000))
        << ReadWhole(file);
    kill(server.Pid(), SIGTERM);
    const CRunResult ended = server.Wait();
    EXPECT_EQ(ended.code, 0);
    // Without a journal the result is a line of the server's log.
    if (!std::filesystem::exists("/run/systemd/journal/socket")) {
        EXPECT_NE(ended.err.find("result \"Dom\": Analiza „Dom” zakończona: czysto (plików 1"),
                  std::string::npos)
            << ended.err;
    }

    ASSERT_EQ(Tempora({"metrics", "--no-file"}).code, 0);
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kMetricsFileValue, ""), "");
}

TEST_F(MonitoringTest, ResultsReachTheJournalWithFieldsOfTheirOwn) {
    if (!std::filesystem::exists("/run/systemd/journal/socket") ||
        std::system("journalctl --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no systemd journal runs here; the journal's fields are not read back";
    const std::string name =
        "Dom-" + std::to_string(getpid()) + "-" + std::to_string(time(nullptr));
    ASSERT_EQ(
        Tempora({"add", name, "--daily", "08:30", "--dir", m_dir + "/tree", "--all-files"}).code,
        0);
    CProgram server({VEXSERV_PATH}, Env(), m_dir);
    ASSERT_TRUE(WaitUntil([] { return CNamedMutex::Presence(kServerMutexName).bHeld; }, 5000));
    RunAndWait(name);
    QJsonObject entry;
    EXPECT_TRUE(WaitUntil(
        [&] {
            const CRunResult found =
                RunProgram({"/usr/bin/journalctl", "-o", "json", "--no-pager", "VEX_JOB=" + name,
                            std::string("MESSAGE_ID=") + kResultMessageId},
                           m_dir, m_dir);
            entry = QJsonDocument::fromJson(QByteArray::fromStdString(found.out)).object();
            return !entry.isEmpty();
        },
        10000));
    EXPECT_EQ(entry["VEX_RESULT"].toString(), "clean");
    EXPECT_EQ(entry["VEX_FILES"].toString(), "1");
    EXPECT_EQ(entry["VEX_INFECTED"].toString(), "0");
    EXPECT_EQ(entry["VEX_ERRORS"].toString(), "0");
    kill(server.Pid(), SIGTERM);
    EXPECT_EQ(server.Wait().code, 0);
}
