#include "Scanner.h"
#include "QuarantinedFiles.h"
#include "ReferenceList.h"
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

class ScannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/vexscantestXXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_base = dir;
        m_tree = m_base + "/tree";
        m_state = m_base + "/state";
        m_sigs = MakeTestSignatures(m_base + "/signatures");
        fs::create_directories(m_tree);
        m_cmd.m_strJobName = "Job/../1";
        m_cmd.m_strDirectory = m_tree;
        m_cmd.m_nFileSelection = 0;
        m_cmd.m_nLogMode = kLogDetailed;
        m_cmd.m_bReferenceCheck = false;
    }
    void TearDown() override { fs::remove_all(m_base); }

    void Write(const std::string& rel, const std::string& content, mode_t mode = 0755) {
        std::string path = m_tree + "/" + rel;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        ::chmod(path.c_str(), mode);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    bool Exists(const std::string& rel) const { return fs::exists(m_tree + "/" + rel); }
    CScanPaths Paths() const { return CScanPaths::ForJob(m_state, m_cmd.m_strJobName); }
    CScanResult Scan() {
        CScanner scanner(m_cmd, Paths(), m_sigs);
        scanner.m_nThreads = m_nThreads;
        scanner.m_report = [this](const std::string& m) { m_reports.push_back(m); };
        return scanner.Run();
    }
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::ifstream in(Paths().m_strLog);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::string LogText() const { return Read(Paths().m_strLog); }

    // One standard test file, one file with the string inside, one clean
    // file and one that the hash signature recognises.
    void PlantInfections() {
        Write("a_virus.com", TestString() + "\r\n", 0750);
        Write("sub/b_carrier.bin", "head" + TestString() + "tail", 0700);
        Write("c_clean.sh", "#!/bin/sh\necho ok\n");
        Write("d_hashed.bin", kHashVirus, 0700);
    }

    std::string m_base, m_tree, m_state, m_sigs;
    unsigned m_nThreads = 0;
    CScanCommand m_cmd;
    std::vector<std::string> m_reports;
};

TEST_F(ScannerTest, LogOnlyReportsInfectionsAndTouchesNothing) {
    PlantInfections();
    m_cmd.m_nInfectionAction = kInfectLog;
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nFiles, 4u);
    EXPECT_EQ(r.m_nInfected, 3u);
    EXPECT_EQ(r.ExitCode(), 1);
    EXPECT_TRUE(Exists("a_virus.com") && Exists("sub/b_carrier.bin") && Exists("c_clean.sh") &&
                Exists("d_hashed.bin"));
    std::string log = LogText();
    EXPECT_NE(log.find(m_tree + "/a_virus.com: zainfekowany (Vex.Test.Standardowy-Plik-Testowy)\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(m_tree + "/d_hashed.bin: zainfekowany (Vex.Test.Hash-1"), std::string::npos)
        << log;
    EXPECT_NE(log.find(m_tree + "/c_clean.sh: ok\n"), std::string::npos) << log;
}

TEST_F(ScannerTest, StopEndsTheScanAtTheFirstInfection) {
    PlantInfections();
    m_cmd.m_nInfectionAction = kInfectStop;
    m_nThreads = 1;
    CScanResult r = Scan();
    EXPECT_TRUE(r.m_bStopped);
    EXPECT_EQ(r.m_nFiles, 1u); // a_virus.com comes first; nothing after it is read
    EXPECT_EQ(r.ExitCode(), 1);
    EXPECT_TRUE(Exists("a_virus.com"));
    EXPECT_NE(LogText().find("analiza zatrzymana"), std::string::npos);
}

TEST_F(ScannerTest, RemoveVirusCannotDisinfectAndMovesToQuarantine) {
    PlantInfections();
    // A copy that a killed scan left unfinished goes at the next scan.
    fs::create_directories(Paths().m_strQuarantine);
    std::ofstream(Paths().m_strQuarantine + "/.vex-partial-1-999999999-3") << "half";
    m_cmd.m_nInfectionAction = kInfectRemoveVirus;
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nInfected, 3u);
    EXPECT_EQ(r.m_nErrors, 0u);
    EXPECT_FALSE(Exists("a_virus.com"));
    EXPECT_FALSE(Exists("sub/b_carrier.bin"));
    EXPECT_FALSE(Exists("d_hashed.bin"));
    EXPECT_EQ(QuarantinedFiles(Paths().m_strQuarantine).size(), 3u);
    EXPECT_NE(LogText().find("d_hashed.bin: zainfekowany (Vex.Test.Hash-1"), std::string::npos);
    EXPECT_NE(LogText().find("nie można wyleczyć, plik przeniesiony do kwarantanny: " +
                             Paths().m_strQuarantine + "/"),
              std::string::npos)
        << LogText();
    // The next scan finds nothing.
    EXPECT_EQ(Scan().ExitCode(), 0);
}

TEST_F(ScannerTest, DeleteRemovesInfectedFilesOnly) {
    PlantInfections();
    m_cmd.m_nInfectionAction = kInfectDelete;
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nInfected, 3u);
    EXPECT_FALSE(Exists("a_virus.com"));
    EXPECT_FALSE(Exists("sub/b_carrier.bin"));
    EXPECT_FALSE(Exists("d_hashed.bin"));
    EXPECT_TRUE(Exists("c_clean.sh"));
    EXPECT_NE(
        LogText().find("d_hashed.bin: zainfekowany (Vex.Test.Hash-1.UNOFFICIAL), plik usunięty"),
        std::string::npos)
        << LogText();
}

TEST_F(ScannerTest, MoveTakesFilesIntoQuarantineWithoutExecuteRights) {
    PlantInfections();
    m_cmd.m_nInfectionAction = kInfectMove;
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nInfected, 3u);
    EXPECT_EQ(r.m_nErrors, 0u);
    EXPECT_FALSE(Exists("a_virus.com"));
    EXPECT_FALSE(Exists("sub/b_carrier.bin"));
    std::vector<std::string> contents;
    for (const fs::path& file : QuarantinedFiles(Paths().m_strQuarantine)) {
        contents.push_back(Read(file));
        EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    std::sort(contents.begin(), contents.end());
    ASSERT_EQ(contents.size(), 3u);
    EXPECT_EQ(contents[0], TestString() + "\r\n");
    EXPECT_EQ(contents[1], "head" + TestString() + "tail");
    EXPECT_EQ(contents[2], kHashVirus);
}

TEST_F(ScannerTest, QuarantineInsideTheTreeIsNotScannedAgain) {
    m_state = m_tree + "/state";
    PlantInfections();
    m_cmd.m_nInfectionAction = kInfectMove;
    EXPECT_EQ(Scan().m_nInfected, 3u);
    CScanResult again = Scan();
    EXPECT_EQ(again.m_nInfected, 0u);
    EXPECT_EQ(again.ExitCode(), 0);
}

TEST_F(ScannerTest, WithoutHeuristicsOnlyTheStandardTestFileCounts) {
    PlantInfections();
    m_cmd.m_bHeuristic = false;
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nInfected, 2u); // the test file and the signature match
    EXPECT_NE(LogText().find("a_virus.com: zainfekowany"), std::string::npos);
    EXPECT_NE(LogText().find("b_carrier.bin: ok"), std::string::npos);
}

TEST_F(ScannerTest, HeuristicsFindTheStringDeepInALargeFile) {
    std::string big(300 * 1024, 'x');
    big.replace(65536 - 30, TestString().size(), TestString()); // straddles a read
    Write("big.bin", big);
    EXPECT_EQ(Scan().m_nInfected, 1u);
}

TEST_F(ScannerTest, ProgramFilesOnlyMeansExecuteBitOrKnownHeader) {
    Write("plain.txt", TestString(), 0644);
    Write("script", "#!" + TestString(), 0644);
    Write("elf",
          "\x7f"
          "ELF" +
              TestString(),
          0644);
    Write("dos", "MZ" + TestString(), 0644);
    Write("tool", TestString(), 0744);
    m_cmd.m_nFileSelection = 1;
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nFiles, 4u);
    EXPECT_EQ(r.m_nSkipped, 1u);
    EXPECT_NE(LogText().find("/plain.txt: pominięto: nie jest plikiem programowym"),
              std::string::npos);
    m_cmd.m_nFileSelection = 0;
    EXPECT_EQ(Scan().m_nFiles, 5u);
}

TEST_F(ScannerTest, SubdirectoriesAreEnteredOnlyWhenAsked) {
    PlantInfections();
    m_cmd.m_bSubdirectories = false;
    EXPECT_EQ(Scan().m_nFiles, 3u);
    m_cmd.m_bSubdirectories = true;
    EXPECT_EQ(Scan().m_nFiles, 4u);
}

TEST_F(ScannerTest, SymbolicLinksAreNeverFollowed) {
    fs::create_directories(m_base + "/outside/deep");
    std::ofstream(m_base + "/outside/deep/virus") << TestString();
    Write("ok.sh", "echo\n");
    fs::create_symlink(m_base + "/outside/deep/virus", m_tree + "/link-to-file");
    fs::create_directory_symlink(m_base + "/outside", m_tree + "/link-to-dir");
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nFiles, 1u);
    EXPECT_EQ(r.m_nInfected, 0u);
    EXPECT_EQ(r.ExitCode(), 0);

    // A tree named through a link is scanned under its real path.
    m_cmd.m_strDirectory = m_tree + "/link-to-dir";
    EXPECT_EQ(Scan().m_nInfected, 1u);
}

TEST_F(ScannerTest, SystemFoldersAndMissingFoldersAreErrors) {
    m_cmd.m_strDirectory = "/proc";
    CScanResult r = Scan();
    EXPECT_TRUE(r.m_bFatal);
    EXPECT_EQ(r.ExitCode(), 2);
    m_cmd.m_strDirectory = "/proc/self/../self";
    EXPECT_EQ(Scan().ExitCode(), 2);
    m_cmd.m_strDirectory = m_base + "/missing";
    EXPECT_EQ(Scan().ExitCode(), 2);
    EXPECT_FALSE(m_reports.empty());
}

TEST_F(ScannerTest, LogModesWriteWhatTheySay) {
    PlantInfections();
    m_cmd.m_nLogMode = kLogNone;
    Scan();
    EXPECT_FALSE(fs::exists(Paths().m_strLog));

    // Combined: the header, the signature databases, the engine, the
    // findings and the summary.
    m_cmd.m_nLogMode = kLogCombined;
    Scan();
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 7u) << LogText();
    EXPECT_EQ(lines[0].rfind("==== ", 0), 0u);
    EXPECT_NE(lines[0].find(" vexscan Job/../1"), std::string::npos);
    EXPECT_EQ(lines[1].rfind("bazy sygnatur: vex-test.hdb z ", 0), 0u) << lines[1];
    EXPECT_NE(lines[2].find("silnik libclamav "), std::string::npos);
    EXPECT_NE(lines[2].find("sygnatur: 2 (" + m_sigs + ")"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3].rfind(m_tree + "/a_virus.com: zainfekowany", 0), 0u);
    EXPECT_NE(lines[6].find("plików 4, zainfekowanych 3, zmienionych 0, błędów 0"),
              std::string::npos)
        << lines[6];
    EXPECT_EQ(LogText().find(": ok"), std::string::npos);

    // Detailed: every file, in the order of the walk.
    m_cmd.m_nLogMode = kLogDetailed;
    Scan();
    lines = LogLines();
    ASSERT_EQ(lines.size(), 15u) << LogText();
    EXPECT_EQ(lines[7].rfind("==== ", 0), 0u);
    EXPECT_EQ(lines[10], m_tree + "/a_virus.com: zainfekowany (Vex.Test.Standardowy-Plik-Testowy)");
    EXPECT_EQ(lines[11], m_tree + "/c_clean.sh: ok");
    EXPECT_EQ(lines[12].rfind(m_tree + "/d_hashed.bin: zainfekowany (Vex.Test.Hash-1", 0), 0u);
    EXPECT_EQ(lines[13],
              m_tree + "/sub/b_carrier.bin: zainfekowany (Vex.Test.Standardowy-Plik-Testowy)");
    // Times carry their offset from UTC: 2026-12-08T23:59:01+01:00.
    EXPECT_EQ(lines[14][19] == '+' || lines[14][19] == '-', true) << lines[14];
    EXPECT_EQ(lines[14][22], ':') << lines[14];
    // The log lies below the state root under a name that cannot escape it.
    EXPECT_EQ(Paths().m_strLog.rfind(m_state + "/scanner/logs/Job_.._1-", 0), 0u);
}

TEST_F(ScannerTest, ReferenceCheckSeesChangedFiles) {
    Write("prog", "version 1");
    Write("other", "stable");
    m_cmd.m_bReferenceCheck = true;
    m_cmd.m_nReferenceDiffAction = kDiffLog;
    EXPECT_EQ(Scan().ExitCode(), 0); // first scan records the references
    EXPECT_EQ(Scan().ExitCode(), 0);

    Write("prog", "version 2");
    CScanResult r = Scan();
    EXPECT_EQ(r.m_nChanged, 1u);
    EXPECT_EQ(r.ExitCode(), 1);
    EXPECT_NE(LogText().find(m_tree + "/prog: zmieniony\n"), std::string::npos);
    // Logging only keeps the old reference: the difference shows again.
    EXPECT_EQ(Scan().m_nChanged, 1u);

    m_cmd.m_nReferenceDiffAction = kDiffAccept;
    EXPECT_EQ(Scan().m_nChanged, 1u);
    EXPECT_NE(LogText().find("prog: zmieniony, zaakceptowano"), std::string::npos);
    EXPECT_EQ(Scan().ExitCode(), 0); // accepted: the new content is the reference now
}

TEST_F(ScannerTest, ReferenceDifferenceCanStopTheScan) {
    Write("a", "1");
    Write("b", "1");
    m_cmd.m_bReferenceCheck = true;
    Scan();
    Write("a", "2");
    Write("b", "2");
    m_cmd.m_nReferenceDiffAction = kDiffStop;
    CScanResult r = Scan();
    EXPECT_TRUE(r.m_bStopped);
    EXPECT_EQ(r.m_nChanged, 1u);
    // References of the files not reached are kept, so b still differs later.
    m_cmd.m_nReferenceDiffAction = kDiffLog;
    EXPECT_EQ(Scan().m_nChanged, 2u);
}

TEST_F(ScannerTest, NewAndRemovedFilesUpdateTheListWithoutADifference) {
    Write("a", "1");
    m_cmd.m_bReferenceCheck = true;
    Scan();
    Write("b", "1");
    fs::remove(m_tree + "/a");
    EXPECT_EQ(Scan().ExitCode(), 0);
    CReferenceList list;
    bool exists = false;
    std::string error;
    ASSERT_TRUE(list.Load(Paths().m_strReference, exists, error));
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_NE(list.Find(m_tree + "/b"), nullptr);
}

TEST_F(ScannerTest, DamagedReferenceListIsAnErrorAndIsReplacedOnlyWhenAccepting) {
    Write("a", "1");
    m_cmd.m_bReferenceCheck = true;
    fs::create_directories(fs::path(Paths().m_strReference).parent_path());
    std::ofstream(Paths().m_strReference) << "not a list\n";
    CScanResult r = Scan();
    EXPECT_EQ(r.ExitCode(), 2);
    EXPECT_EQ(Read(Paths().m_strReference), "not a list\n");

    m_cmd.m_nReferenceDiffAction = kDiffAccept;
    Scan();
    EXPECT_EQ(Scan().ExitCode(), 0);
}

// The quarantine does not exist yet when the walk starts; the walk reaches
// it only after the first moves.
TEST_F(ScannerTest, TheFirstScanNeverMovesWhatItQuarantinedAgain) {
    m_state = m_tree + "/z-state";
    for (int i = 0; i < 40; ++i)
        Write("a/v" + std::to_string(i), TestString(), 0644);
    m_cmd.m_nInfectionAction = kInfectMove;
    m_nThreads = 1;
    EXPECT_EQ(Scan().m_nInfected, 40u) << LogText();
    EXPECT_EQ(QuarantinedFiles(Paths().m_strQuarantine).size(), 40u);
}

// A file larger than the engine examines is neither read nor acted on, even
// with the test string at its start: it is an error of the scan.
TEST_F(ScannerTest, FilesOverTheEngineLimitAreKeptUnread) {
    auto bytesRead = [] {
        std::ifstream io("/proc/self/io");
        std::string key;
        long long value = 0;
        while (io >> key >> value && key != "rchar:") {
        }
        return value;
    };
    Write("huge-test.bin", TestString(), 0644);
    Write("huge-zero.bin", "", 0644);
    fs::resize_file(m_tree + "/huge-test.bin", 101 << 20); // sparse
    fs::resize_file(m_tree + "/huge-zero.bin", 101 << 20);
    m_cmd.m_nInfectionAction = kInfectDelete;
    m_cmd.m_bReferenceCheck = true;
    const long long before = bytesRead();
    const CScanResult r = Scan();
    EXPECT_LT(bytesRead() - before, 4 << 20);
    EXPECT_TRUE(Exists("huge-test.bin") && Exists("huge-zero.bin"));
    EXPECT_EQ(r.m_nInfected, 0u);
    EXPECT_EQ(r.m_nErrors, 2u);
    for (const char* name : {"huge-test.bin", "huge-zero.bin"})
        EXPECT_NE(
            LogText().find(std::string(name) +
                           ": błąd: nie sprawdzono: plik większy niż limit silnika (100 MiB)"),
            std::string::npos)
            << LogText();
}

} // namespace
