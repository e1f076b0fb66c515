// Scans with the real signature engine: detections inside archives and deep
// trees, a signature folder that is missing, empty or damaged, files the
// engine cannot examine whole, and the parallel scan's order and stop.
#include "QuarantinedFiles.h"
#include "ScanTreeTest.h"
#include "Scanner.h"
#include "SignatureDb.h"
#include "TestString.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class EngineScanTest : public CScanTreeTest {
protected:
    EngineScanTest() : CScanTreeTest("Engine") {}

    // Runs a shell command in the tree (zip and tar make the archives).
    void InTree(const std::string& command) {
        ASSERT_EQ(std::system(("cd '" + m_tree + "' && " + command + " >/dev/null").c_str()), 0)
            << command;
    }
    CScanResult Scan(unsigned threads = 0, IScanProgress* progress = nullptr) {
        CScanner scanner(m_cmd, Paths(), m_sigs);
        scanner.m_nThreads = threads;
        scanner.m_pProgress = progress;
        scanner.m_report = [](const std::string&) {};
        m_pScanner = &scanner;
        CScanResult r = scanner.Run();
        m_pScanner = nullptr;
        return r;
    }
    std::string LogText() const {
        std::ifstream in(Paths().m_strLog);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // The per-file lines of the last scan in the log.
    std::vector<std::string> FileLines() const {
        std::vector<std::string> lines;
        std::istringstream in(LogText());
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("==== ", 0) == 0)
                lines.clear();
            else if (line.rfind(m_tree + "/", 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }

    CScanner* m_pScanner = nullptr;
};

TEST_F(EngineScanTest, FindsSignaturesInPlainFilesArchivesAndDeepTrees) {
    // Large enough that the archives compress it, so the marker is only
    // visible to an engine that unpacks them.
    std::string carrier(20000, 'a');
    carrier += kBodyMarker + std::string(20000, 'b');
    Write("plain.bin", kHashVirus);
    Write("a/b/c/d/e/f/g/deep.dat", carrier);
    Write("work/carrier.txt", carrier);
    InTree("cd work && zip -q ../one.zip carrier.txt && tar czf inner.tgz carrier.txt && "
           "zip -q ../nested.zip inner.tgz && rm carrier.txt inner.tgz");
    Write("clean.txt", "nothing to see\n");
    m_cmd.m_bHeuristic = false; // signatures match without heuristics
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nFiles, 5u);
    EXPECT_EQ(r.m_nInfected, 4u);
    EXPECT_EQ(r.m_nErrors, 0u);
    EXPECT_EQ(r.ExitCode(), 1);
    const std::string log = LogText();
    for (const char* name : {"a/b/c/d/e/f/g/deep.dat", "one.zip", "nested.zip"})
        EXPECT_NE(log.find(m_tree + "/" + name + ": zainfekowany (Vex.Test.Body-1"),
                  std::string::npos)
            << name << "\n"
            << log;
    EXPECT_NE(log.find(m_tree + "/plain.bin: zainfekowany (Vex.Test.Hash-1"), std::string::npos);
    EXPECT_NE(log.find(m_tree + "/clean.txt: ok"), std::string::npos);
}

// Small files are read whole, once, and scanned from memory; larger ones are
// read by the engine itself. Either way the same signatures, the test string
// and the reference digest see every byte, up to the last: these files lie
// on both sides of the size where the first way ends.
TEST_F(EngineScanTest, SmallAndLargeFilesAreJudgedAlikeToTheirLastByte) {
    std::string filler(4 * 1024 * 1024 + 1, '\0');
    uint32_t x = 12345;
    for (char& c : filler) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    const size_t sizes[] = {70 * 1024, 4 * 1024 * 1024, 4 * 1024 * 1024 + 1};
    for (size_t size : sizes) {
        const std::string n = std::to_string(size);
        Write("body-" + n, filler.substr(0, size - kBodyMarker.size()) + kBodyMarker);
        Write("test-" + n, filler.substr(0, size - TestString().size()) + TestString());
        const std::string hashed = filler.substr(0, size - 1) + "h";
        AddHashSignature(m_sigs, hashed, "Vex.Test.Hash-" + n);
        Write("hash-" + n, hashed);
        Write("clean-" + n, filler.substr(0, size));
    }
    m_cmd.m_bHeuristic = true; // the test string anywhere in the file
    m_cmd.m_bReferenceCheck = true;
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nInfected, 9u) << LogText();
    EXPECT_EQ(r.m_nErrors, 0u) << LogText();
    const std::string log = LogText();
    for (size_t size : sizes) {
        const std::string n = std::to_string(size);
        EXPECT_NE(log.find("/body-" + n + ": zainfekowany (Vex.Test.Body-1"), std::string::npos)
            << n;
        EXPECT_NE(log.find("/test-" + n + ": zainfekowany (Vex.Test.Standardowy-Plik-Testowy)"),
                  std::string::npos)
            << n;
        EXPECT_NE(log.find("/hash-" + n + ": zainfekowany (Vex.Test.Hash-" + n), std::string::npos)
            << n;
        EXPECT_NE(log.find("/clean-" + n + ": ok"), std::string::npos) << n;
    }

    // The references were taken of whole files: a change of the last byte
    // shows, in every size.
    for (size_t size : sizes)
        Write("clean-" + std::to_string(size), filler.substr(0, size - 1) + "!");
    r = Scan();
    EXPECT_EQ(r.m_nChanged, 3u) << LogText();
    for (size_t size : sizes)
        EXPECT_NE(LogText().find("/clean-" + std::to_string(size) + ": zmieniony"),
                  std::string::npos)
            << size;
}

TEST_F(EngineScanTest, ProgramFilesIncludeArchivesThatCanCarryThem) {
    Write("work/carrier.txt", std::string(5000, 'x') + kBodyMarker);
    InTree("cd work && zip -q ../packed.zip carrier.txt && rm carrier.txt && chmod 0644 "
           "../packed.zip");
    Write("notes.txt", kBodyMarker);
    ::chmod((m_tree + "/notes.txt").c_str(), 0644);
    m_cmd.m_nFileSelection = 1;
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nFiles, 1u);
    EXPECT_EQ(r.m_nInfected, 1u);
    EXPECT_NE(LogText().find("/notes.txt: pominięto"), std::string::npos);
}

TEST_F(EngineScanTest, MissingEmptyOrDamagedSignaturesAreAnErrorNeverClean) {
    Write("clean.txt", "nothing to see\n");
    Write("virus.com", TestString());
    m_cmd.m_bReferenceCheck = true;
    m_cmd.m_nInfectionAction = kInfectMove;
    const std::string empty = m_base + "/empty";
    const std::string damaged = m_base + "/damaged";
    fs::create_directories(empty);
    fs::create_directories(damaged);
    std::ofstream(damaged + "/broken.ndb") << "Broken:0:*:zz\n";
    struct Case {
        std::string folder;
        const char* why;
    } cases[] = {{m_base + "/missing", "nie istnieje"},
                 {empty, "jest pusty"},
                 {damaged, "nie można wczytać sygnatur"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        m_sigs = c.folder;
        Write("virus.com", TestString());
        CScanResult r = Scan();
        EXPECT_TRUE(r.m_bNoSignatures);
        EXPECT_EQ(r.ExitCode(), 2);
        // The built-in test file check still works, and acts.
        EXPECT_EQ(r.m_nInfected, 1u);
        EXPECT_FALSE(fs::exists(m_tree + "/virus.com"));
        const std::string log = LogText();
        EXPECT_NE(log.find("folder sygnatur " + c.folder + ": " + c.why), std::string::npos) << log;
        EXPECT_NE(log.find("zainstaluj pakiet clamav-freshclam"), std::string::npos);
        EXPECT_NE(log.find("clean.txt: nie sprawdzono: brak sygnatur"), std::string::npos);
        EXPECT_EQ(log.find(": ok"), std::string::npos) << log;
        // No reference is taken of files nobody examined.
        EXPECT_FALSE(fs::exists(Paths().m_strReference));
        fs::remove(Paths().m_strLog);
    }
}

TEST_F(EngineScanTest, EncryptedArchivesAndLimitsAreErrorsNotClean) {
    Write("work/secret.txt", "a secret that nobody can scan\n");
    InTree("cd work && zip -q -P hasło ../locked.zip secret.txt && rm secret.txt");
    const std::string emax = "/usr/share/clamav-testfiles/clam_cache_emax.tgz";
    const bool haveEmax = fs::exists(emax);
    if (haveEmax)
        fs::copy_file(emax, m_tree + "/deep.tgz");
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nErrors, haveEmax ? 2u : 1u);
    EXPECT_EQ(r.m_nInfected, 0u);
    EXPECT_EQ(r.ExitCode(), 2);
    const std::string log = LogText();
    EXPECT_NE(log.find("locked.zip: błąd: nie sprawdzono: plik zaszyfrowany"), std::string::npos)
        << log;
    if (haveEmax) {
        EXPECT_NE(log.find("deep.tgz: błąd: nie sprawdzono w całości: przekroczony limit"),
                  std::string::npos)
            << log;
    }
    EXPECT_EQ(log.find(": ok"), std::string::npos) << log;
}

// 600 files in 30 folders, every 50th infected: four workers must log them in
// the order of the walk, the same in every run.
TEST_F(EngineScanTest, ParallelScanLogsInWalkOrderEveryTime) {
    std::vector<std::string> expected;
    for (int d = 0; d < 30; ++d) {
        for (int f = 0; f < 20; ++f) {
            char rel[32];
            std::snprintf(rel, sizeof rel, "d%02d/f%02d", d, f);
            const bool infected = (d * 20 + f) % 50 == 7;
            // Sizes vary so workers finish out of order.
            Write(rel, infected ? kHashVirus : std::string((f * 7919) % 200000, char('a' + f)));
            expected.push_back(m_tree + "/" + rel);
        }
    }
    CScanResult first = Scan(4);
    EXPECT_EQ(first.m_nFiles, 600u);
    EXPECT_EQ(first.m_nInfected, 12u);
    // Only the paths are compared: a slow first scan lets the verdict cache
    // answer the second, which changes the verdict's words but not the order.
    auto paths = [this] {
        std::vector<std::string> result;
        for (const std::string& line : FileLines())
            result.push_back(line.substr(0, line.find(": ")));
        return result;
    };
    EXPECT_EQ(paths(), expected);
    Scan(3);
    EXPECT_EQ(paths(), expected);
}

// Counts what a window would see and presses "stop" after a number of files.
class StopAfter : public IScanProgress {
public:
    StopAfter(size_t files, std::function<void()> stop)
        : m_nFiles(files), m_stop(std::move(stop)) {}
    void OnWalk(size_t found, bool done) override {
        m_nFound = found;
        m_bWalkDone = m_bWalkDone || done;
    }
    void OnFile(const std::string&, size_t done, const CScanResult&) override {
        EXPECT_GT(done, m_nDone); // one at a time, in order
        m_nDone = done;
        if (done == m_nFiles)
            m_stop();
    }
    void OnFinding(const CScanFinding& finding) override { m_findings.push_back(finding); }

    size_t m_nFiles;
    std::function<void()> m_stop;
    size_t m_nFound = 0;
    size_t m_nDone = 0;
    bool m_bWalkDone = false;
    std::vector<CScanFinding> m_findings;
};

TEST_F(EngineScanTest, StopOnInfectionAndTheUsersStopEndEveryWorkerPromptly) {
    for (int i = 0; i < 2000; ++i) {
        char rel[32];
        std::snprintf(rel, sizeof rel, "f%04d", i);
        Write(rel, i == 300 ? kHashVirus : std::string(4096, 'x'));
    }
    m_cmd.m_nInfectionAction = kInfectStop;
    CScanResult r = Scan(4);
    EXPECT_TRUE(r.m_bStopped);
    EXPECT_FALSE(r.m_bStoppedByUser);
    EXPECT_EQ(r.m_nInfected, 1u);
    EXPECT_LT(r.m_nFiles, 2000u);
    std::vector<std::string> lines = FileLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(
        lines.back().find("f0300: zainfekowany (Vex.Test.Hash-1.UNOFFICIAL), analiza zatrzymana"),
        std::string::npos)
        << lines.back();
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));

    m_cmd.m_nInfectionAction = kInfectLog;
    StopAfter progress(100, [this] { m_pScanner->RequestStop(); });
    r = Scan(4, &progress);
    EXPECT_TRUE(r.m_bStoppedByUser);
    EXPECT_LT(r.m_nFiles, 2000u);
    EXPECT_GE(r.m_nFiles, 100u);
    EXPECT_GE(progress.m_nFound, r.m_nFiles);
    EXPECT_TRUE(progress.m_bWalkDone);
    EXPECT_NE(LogText().find("analiza zatrzymana przez użytkownika"), std::string::npos);
}

// A file deleted after the walk listed it is an error line, not a crash.
class DeleteLater : public IScanProgress {
public:
    explicit DeleteLater(std::string victim) : m_victim(std::move(victim)) {}
    void OnWalk(size_t, bool) override {}
    void OnFile(const std::string&, size_t done, const CScanResult&) override {
        if (done == 1)
            fs::remove(m_victim);
    }
    void OnFinding(const CScanFinding& finding) override { m_findings.push_back(finding); }
    std::string m_victim;
    std::vector<CScanFinding> m_findings;
};

TEST_F(EngineScanTest, AFileThatVanishesMidScanIsAnError) {
    for (int i = 0; i < 10; ++i)
        Write("f" + std::to_string(i), "content " + std::to_string(i));
    DeleteLater progress(m_tree + "/f5");
    CScanResult r = Scan(1, &progress);
    EXPECT_EQ(r.m_nErrors, 1u);
    EXPECT_EQ(r.m_nFiles, 9u);
    ASSERT_EQ(progress.m_findings.size(), 1u);
    EXPECT_EQ(progress.m_findings[0].m_strPath, m_tree + "/f5");
    EXPECT_NE(LogText().find("f5: błąd: plik zniknął w trakcie analizy"), std::string::npos)
        << LogText();
}

} // namespace

namespace {

// Deleting one name of a hard-linked file leaves the content under the other:
// the scanner leaves it alone and says so, rather than report it removed.
TEST_F(EngineScanTest, HardLinkedFindingsAreNotReportedAsRemoved) {
    Write("first.bin", kHashVirus);
    fs::create_hard_link(m_tree + "/first.bin", m_base + "/outside-link");
    for (int action : {kInfectDelete, kInfectMove, kInfectRemoveVirus}) {
        SCOPED_TRACE(action);
        m_cmd.m_nInfectionAction = action;
        CScanResult r = Scan();
        EXPECT_EQ(r.m_nInfected, 1u);
        EXPECT_EQ(r.m_nErrors, 1u);
        EXPECT_TRUE(fs::exists(m_tree + "/first.bin"));
        EXPECT_NE(LogText().find("nie usunięto: plik ma jeszcze 1 inne dowiązania twarde"),
                  std::string::npos)
            << LogText();
    }
}

// A heuristic alert is a suspicion: counted apart and moved aside, never
// deleted. The alerts that call ordinary programs broken stay off.
TEST_F(EngineScanTest, HeuristicFindingsAreSuspiciousAndNeverDeleted) {
    AddBodySignature(m_sigs, "VEX-HEURISTIC-MARKER-19C2", "Heuristics.Vex.Test-1");
    Write("suspect.bin", "x VEX-HEURISTIC-MARKER-19C2 y");
    std::ifstream program("/usr/bin/true", std::ios::binary);
    std::string head(200, '\0');
    program.read(head.data(), static_cast<std::streamsize>(head.size()));
    Write("true-head", head);
    m_cmd.m_bHeuristic = true;
    m_cmd.m_nInfectionAction = kInfectDelete;
    const CScanResult r = Scan();
    EXPECT_EQ(r.m_nSuspicious, 1u) << LogText();
    EXPECT_EQ(r.m_nInfected, 0u) << LogText();
    EXPECT_EQ(r.ExitCode(), 1);
    EXPECT_NE(LogText().find("/suspect.bin: podejrzany (Heuristics.Vex.Test-1"), std::string::npos)
        << LogText();
    EXPECT_NE(LogText().find("/true-head: ok"), std::string::npos) << LogText();
    EXPECT_EQ(QuarantinedFiles(Paths().m_strQuarantine).size(), 1u);
}

} // namespace
