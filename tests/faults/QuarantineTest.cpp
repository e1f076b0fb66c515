// Files that real scans moved into the quarantine, and what the user does
// with them afterwards: restore, delete, purge, the allow-list; and scans
// killed in the middle of their moves.
#include "Quarantine.h"
#include "FaultUtil.h"
#include "ScanPaths.h"
#include "SignatureDb.h"
#include "TempStateRoot.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr int kLogOnly = 0;
constexpr int kMove = 4;

std::string Sha256(const std::string& content) {
    return QCryptographicHash::hash(QByteArray::fromStdString(content), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class QuarantineTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_tree = m_root.Path() + "/tree";
        fs::create_directories(m_tree);
        m_sigs = MakeTestSignatures(m_root.Path() + "/signatures");
    }
    CProgram StartScan(const std::string& job, int action) {
        const std::string command = WriteScanCommand(m_root.Path(), m_tree, job, action);
        return CProgram({VEXSCAN_PATH, "-c", command},
                        {{"VEX_WINDOW", "hidden"}, {"VEX_SIGNATURES", m_sigs}}, m_root.Path());
    }
    CRunResult Scan(const std::string& job, int action = kMove) {
        return StartScan(job, action).Wait();
    }
    CRunResult Tempora(const std::vector<std::string>& args) {
        std::vector<std::string> argv{TEMPORA_PATH, "quarantine"};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, m_root.Path(), m_root.Path());
    }
    std::string Write(const std::string& name, const std::string& content, mode_t mode = 0644) {
        const std::string path = m_tree + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        ::chmod(path.c_str(), mode);
        return path;
    }
    std::vector<CQuarantineEntry> Entries() const {
        std::vector<CQuarantineEntry> entries;
        std::string error;
        EXPECT_TRUE(m_quarantine.List(entries, error)) << error;
        return entries;
    }
    CQuarantineEntry EntryFrom(const std::string& path) const {
        for (const CQuarantineEntry& entry : Entries())
            if (entry.m_record.m_strPath == path)
                return entry;
        ADD_FAILURE() << "not in the quarantine: " << path;
        return {};
    }
    std::string Folder() const { return m_quarantine.Folder(); }

    CTempStateRoot m_root;
    CQuarantine m_quarantine{m_root.Path()};
    std::string m_tree, m_sigs;
};

TEST_F(QuarantineTest, ScanRecordsTheFileAndRestoreGivesItBackWithItsMode) {
    const std::string path = Write("sub/sample.bin", kHashVirus, 0750);
    ASSERT_EQ(Scan("Dom").code, 1);
    EXPECT_FALSE(fs::exists(path));
    const std::vector<CQuarantineEntry> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    const CQuarantineEntry& entry = entries[0];
    ASSERT_TRUE(entry.m_bHasRecord) << entry.m_strRecordError;
    const CQuarantineRecord& record = entry.m_record;
    EXPECT_EQ(record.m_strPath, path);
    EXPECT_EQ(record.m_uid, ::geteuid());
    EXPECT_EQ(record.m_gid, ::getegid());
    EXPECT_EQ(record.m_mode, 0750u);
    EXPECT_EQ(record.m_nSize, kHashVirus.size());
    EXPECT_EQ(record.m_strSha256, Sha256(kHashVirus));
    EXPECT_EQ(record.m_strFinding.rfind("Vex.Test.Hash-1", 0), 0u) << record.m_strFinding;
    EXPECT_EQ(record.m_strJob, "Dom");
    EXPECT_LE(std::abs(record.m_nTime - std::time(nullptr)), 120);
    EXPECT_EQ(ModeOf(Folder() + "/" + entry.m_strFile), 0600u);

    // A taken place is never overwritten.
    std::string restored, error;
    Write("sub/sample.bin", "mine");
    EXPECT_EQ(m_quarantine.Restore(entry, "", restored, error), ERestore::kExists);
    EXPECT_EQ(ReadWhole(path), "mine");
    fs::remove(path);

    // A folder on the way that became another user's link is not followed.
    if (::geteuid() == 0) {
        const std::string elsewhere = m_root.Path() + "/elsewhere";
        fs::create_directories(elsewhere);
        fs::rename(m_tree + "/sub", m_tree + "/real");
        fs::create_directory_symlink(elsewhere, m_tree + "/sub");
        ASSERT_EQ(::lchown((m_tree + "/sub").c_str(), 65534, 65534), 0);
        EXPECT_EQ(m_quarantine.Restore(entry, "", restored, error), ERestore::kFailed);
        EXPECT_NE(error.find("dowiązanie symboliczne"), std::string::npos) << error;
        EXPECT_TRUE(fs::is_empty(elsewhere));
        fs::remove(m_tree + "/sub");
        fs::rename(m_tree + "/real", m_tree + "/sub");
    }

    ASSERT_EQ(m_quarantine.Restore(entry, "", restored, error), ERestore::kRestored) << error;
    EXPECT_EQ(restored, path);
    EXPECT_EQ(ReadWhole(path), kHashVirus);
    EXPECT_EQ(ModeOf(path), 0750u);
    EXPECT_TRUE(fs::is_empty(Folder())); // the record went with the file
    const std::string log = ReadWhole(CScanPaths::ForJob(m_root.Path(), "Dom").m_strLog);
    EXPECT_NE(log.find("przywrócono z kwarantanny: " + path), std::string::npos) << log;
}

// A file on another file system is copied both ways; what it held, its
// rights and (restored by root) its owner come back.
TEST_F(QuarantineTest, AcrossFileSystemsTheCopiesKeepContentRightsAndOwner) {
    CSmallFileSystem mount(m_tree + "/mnt", "1m");
    SKIP_UNLESS_MOUNTED(mount);
    const std::string path = Write("mnt/x.bin", kHashVirus, 0710);
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(Scan("Obok").code, 1);
    const CQuarantineEntry entry = EntryFrom(path);
    EXPECT_EQ(entry.m_record.m_uid, 65534u);
    EXPECT_EQ(ModeOf(Folder() + "/" + entry.m_strFile), 0600u);
    EXPECT_TRUE(fs::is_empty(m_tree + "/mnt")); // no copy or taken name left

    std::string restored, error;
    ASSERT_EQ(m_quarantine.Restore(entry, "", restored, error), ERestore::kRestored) << error;
    EXPECT_EQ(ReadWhole(path), kHashVirus);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0710u);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_tree + "/mnt"), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_empty(Folder()));
}

TEST_F(QuarantineTest, TemporaListsDeletesRestoresAndPurgesByAge) {
    const std::string gone = Write("gone.bin", kHashVirus);
    const std::string damaged = Write("damaged.bin", "1 " + kBodyMarker);
    const std::string old = Write("old.bin", "2 " + kBodyMarker);
    ASSERT_EQ(Scan("Dom").code, 1);
    ASSERT_EQ(Entries().size(), 3u);
    // A record another process spoilt, one that says the file is ten days
    // old, and a file from before records were kept.
    std::ofstream(Folder() + "/" + CQuarantine::RecordName(EntryFrom(damaged).m_strFile))
        << "vex-quarantine 1\npath relative\n";
    CQuarantineEntry aged = EntryFrom(old);
    aged.m_record.m_nTime -= 10 * 24 * 3600;
    std::string error;
    const int qfd = ::open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_TRUE(CQuarantine::WriteRecord(qfd, aged.m_strFile, aged.m_record, error)) << error;
    ::close(qfd);
    std::ofstream(Folder() + "/stray.exe") << "from an older version";

    CRunResult r = Tempora({"list", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::map<std::string, QJsonObject> byRecord;
    for (const QJsonValue value : QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array())
        byRecord[value["record"].toString().toStdString() +
                 value["path"].toString().toStdString()] = value.toObject();
    ASSERT_EQ(byRecord.size(), 4u) << r.out;
    EXPECT_EQ(byRecord["ok" + gone]["sha256"].toString().toStdString(), Sha256(kHashVirus));
    EXPECT_EQ(byRecord["missing"]["file"].toString(), "stray.exe");
    EXPECT_TRUE(byRecord["damaged"]["path"].isNull());

    const std::string goneId = byRecord["ok" + gone]["id"].toString().toStdString();
    EXPECT_EQ(Tempora({"delete", goneId}).code, 0);
    EXPECT_EQ(Tempora({"delete", goneId}).code, 1);
    EXPECT_FALSE(
        fs::exists(Folder() + "/" + byRecord["ok" + gone]["file"].toString().toStdString()));

    // Without a readable record only a place given by the user will do.
    const std::string damagedId = byRecord["damaged"]["id"].toString().toStdString();
    r = Tempora({"restore", damagedId});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("podaj miejsce"), std::string::npos) << r.err;
    EXPECT_EQ(Tempora({"restore", damagedId, "--to", m_tree + "/found.bin"}).code, 0);
    EXPECT_EQ(ReadWhole(m_tree + "/found.bin"), "1 " + kBodyMarker);

    // The stray file counts from its modification, the other from its record.
    r = Tempora({"purge", "--older-than", "5"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(": 1\n"), std::string::npos) << r.out;
    ASSERT_EQ(Entries().size(), 1u);
    EXPECT_EQ(Entries()[0].m_strFile, "stray.exe");
    EXPECT_EQ(Tempora({"purge", "--older-than", "0"}).code, 0);
    EXPECT_TRUE(fs::is_empty(Folder()));
}

// Killed at any moment, a scan leaves each file with its record or in its
// place without one; what it half wrote goes at the next scan's start.
TEST_F(QuarantineTest, AKillDuringTheMovesLeavesFileAndRecordTogether) {
    constexpr int kFiles = 150;
    for (int i = 0; i < kFiles; ++i)
        Write("f" + std::to_string(i), std::to_string(i) + " " + kBodyMarker);
    bool finished = false;
    for (int delay = 20; !finished && delay < 20000; delay += 25) {
        CProgram scan = StartScan("Kill", kMove);
        CRunResult result;
        finished = WaitUntil([&] { return scan.HasEnded(result); }, delay);
        if (!finished) {
            ::kill(scan.Pid(), SIGKILL);
            scan.Wait();
        }

        const int qfd = ::open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (qfd < 0)
            continue; // killed before it made the folder
        CQuarantine::Tidy(qfd);
        ::close(qfd);
        std::set<std::string> names;
        for (const auto& item : fs::directory_iterator(Folder()))
            names.insert(item.path().filename().string());
        size_t files = 0;
        for (const std::string& name : names) {
            if (name[0] == '.') {
                ASSERT_TRUE(name.ends_with(".record")) << name;
                EXPECT_TRUE(names.count(name.substr(1, name.size() - 8))) << "alone: " << name;
            } else {
                ++files;
                EXPECT_TRUE(names.count(CQuarantine::RecordName(name))) << "no record: " << name;
            }
        }
        size_t left = 0;
        for ([[maybe_unused]] const auto& item : fs::directory_iterator(m_tree))
            ++left;
        ASSERT_EQ(files + left, static_cast<size_t>(kFiles)) << "after " << delay << " ms";
    }
    EXPECT_TRUE(finished);
}

TEST_F(QuarantineTest, TheAllowListSilencesOnlyTheFileRestoredWithIt) {
    const std::string allowed = Write("allowed.bin", "first " + kBodyMarker, 0755);
    const std::string other = Write("other.bin", "second " + kBodyMarker);
    ASSERT_EQ(Scan("Lista").code, 1);
    std::string restored, error;
    ASSERT_EQ(m_quarantine.RestoreAndAllow(EntryFrom(allowed), "", restored, error),
              ERestore::kRestored)
        << error;
    EXPECT_TRUE(error.empty()) << error;
    ASSERT_EQ(m_quarantine.Restore(EntryFrom(other), "", restored, error), ERestore::kRestored);
    EXPECT_EQ(ModeOf(allowed), 0755u);

    const std::string logPath = CScanPaths::ForJob(m_root.Path(), "Lista").m_strLog;
    fs::remove(logPath);
    ASSERT_EQ(Scan("Lista", kLogOnly).code, 1);
    std::string log = ReadWhole(logPath);
    EXPECT_NE(log.find(allowed + ": ok (na liście dozwolonych: Vex.Test.Body-1"), std::string::npos)
        << log;
    EXPECT_NE(log.find(other + ": zainfekowany"), std::string::npos) << log;

    // Changed content is another file: found again.
    std::ofstream(allowed, std::ios::app) << "more";
    fs::remove(logPath);
    ASSERT_EQ(Scan("Lista", kLogOnly).code, 1);
    log = ReadWhole(logPath);
    EXPECT_NE(log.find(allowed + ": zainfekowany"), std::string::npos) << log;
}

} // namespace
