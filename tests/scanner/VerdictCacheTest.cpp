// The verdict cache with the real engine on real files: what is unchanged is
// not read and needs no signatures; every kind of change is read again.
#include "ScanTreeTest.h"
#include "Scanner.h"
#include "SignatureDb.h"
#include "TestString.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class VerdictCacheTest : public CScanTreeTest {
protected:
    VerdictCacheTest() : CScanTreeTest("Cache") {}

    // A scan that trusts this test's file system and any change more than a
    // few clock ticks old; returns the log of this scan alone.
    std::string Scan(CScanResult* result = nullptr) {
        std::this_thread::sleep_for(60ms);
        fs::remove(Paths().m_strLog);
        CScanner scanner(m_cmd, Paths(), m_sigs);
        scanner.m_report = [](const std::string&) {};
        scanner.m_isStableFileSystem = [this](int) { return m_bStable; };
        scanner.m_sameTick = m_sameTick;
        scanner.m_bFullScan = m_bFull;
        const CScanResult r = scanner.Run();
        if (result)
            *result = r;
        std::ifstream in(Paths().m_strLog);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    bool Has(const std::string& log, const std::string& text) const {
        return log.find(text) != std::string::npos;
    }
    std::string Line(const std::string& rel, const std::string& status) const {
        return m_tree + "/" + rel + ": " + status + "\n";
    }

    bool m_bStable = true;
    bool m_bFull = false;
    std::chrono::nanoseconds m_sameTick = 40ms;
};

TEST_F(VerdictCacheTest, UnchangedFilesAreNotReadAndEveryChangeIsReadAgain) {
    for (const char* name : {"edit", "touch", "chmod", "renamed", "inode", "same"})
        Write(name, std::string("content of ") + name);
    Write("virus.com", TestString());
    std::string log = Scan();
    EXPECT_TRUE(Has(log, "silnik libclamav")) << log;
    EXPECT_TRUE(Has(log, Line("same", "ok"))) << log;

    // Unchanged: answered from the cache. A finding is never kept, so it is
    // found again.
    CScanResult r;
    log = Scan(&r);
    EXPECT_TRUE(Has(log, Line("same", "ok (bez zmian)"))) << log;
    EXPECT_TRUE(Has(log, Line("virus.com", "zainfekowany (Vex.Test.Standardowy-Plik-Testowy)")));
    EXPECT_EQ(r.m_nFiles, 7u);
    EXPECT_EQ(r.m_nUnchanged, 6u);
    EXPECT_EQ(r.m_nInfected, 1u);

    // Each kind of change is read again; the rest still comes from the cache.
    Write("edit", "content of tide");
    const timespec times[2] = {{0, UTIME_OMIT}, {1, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (m_tree + "/touch").c_str(), times, 0), 0);
    ::chmod((m_tree + "/chmod").c_str(), 0600);
    Write("new", "content of renamed");
    fs::rename(m_tree + "/new", m_tree + "/renamed");
    fs::remove(m_tree + "/inode");
    Write("inode", "content of inode");
    log = Scan();
    for (const char* name : {"edit", "touch", "chmod", "renamed", "inode"})
        EXPECT_TRUE(Has(log, Line(name, "ok"))) << name << "\n" << log;
    EXPECT_TRUE(Has(log, Line("same", "ok (bez zmian)"))) << log;

    // A change of the signatures makes every verdict stale.
    AddBodySignature(m_sigs, "VEX-ANOTHER-MARKER", "Vex.Test.Body-2");
    log = Scan();
    EXPECT_FALSE(Has(log, "(bez zmian)")) << log;
}

TEST_F(VerdictCacheTest, TheReferenceCheckSeesAChangeInACachedFile) {
    m_cmd.m_bReferenceCheck = true;
    Write("data", "first");
    Scan(); // the reference is taken
    Write("data", "second");
    EXPECT_TRUE(Has(Scan(), Line("data", "zmieniony"))); // read again; the reference stays
    const std::string log = Scan();                      // now from the cache, with its digest
    EXPECT_TRUE(Has(log, Line("data", "zmieniony"))) << log;
    // Nothing needed the engine: the signatures were never loaded.
    EXPECT_TRUE(Has(log, "sygnatur nie wczytano")) << log;
    EXPECT_FALSE(Has(log, "silnik libclamav")) << log;
}

TEST_F(VerdictCacheTest, NothingIsTrustedThatCannotVouchForItself) {
    Write("data", "some data");
    Scan();
    // A damaged cache file, and one that others may read, are made anew.
    std::ofstream(Paths().m_strVerdicts, std::ios::trunc) << "not a database at all";
    std::string log = Scan();
    EXPECT_TRUE(Has(log, "uwaga: pamięć wyników " + Paths().m_strVerdicts + " była uszkodzona"))
        << log;
    ::chmod(Paths().m_strVerdicts.c_str(), 0644);
    log = Scan();
    EXPECT_TRUE(Has(log, "mogą ją czytać lub zmieniać inni użytkownicy")) << log;
    EXPECT_TRUE(Has(Scan(), Line("data", "ok (bez zmian)")));

    // A file system that cannot vouch for inodes and times, a change too
    // recent to tell, a full scan: every file is read.
    m_bStable = false;
    EXPECT_TRUE(Has(Scan(), Line("data", "ok")));
    m_bStable = true;
    m_sameTick = std::chrono::hours(1);
    EXPECT_TRUE(Has(Scan(), Line("data", "ok")));
    m_sameTick = 40ms;
    m_bFull = true;
    EXPECT_TRUE(Has(Scan(), Line("data", "ok")));
}

} // namespace
