#include "ScanRegInterface.h"
#include "TestJobs.h"

#include "OtherUser.h"
#include "TempStateRoot.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct Update {
    int nHint;
    CJob* pJob;
    std::string jobName;
    bool bServerAlreadySignalled;
};

class CRecordingDocument : public IStoreDocument {
public:
    void UpdateAllViews(void* pSender, int nHint, CJob* pHint) override {
        EXPECT_EQ(pSender, nullptr);
        // The server must only hear of a change after the views did.
        CNamedEvent probe(kServerEventName);
        updates.push_back({nHint, pHint, pHint ? pHint->GetName() : "", probe.Wait(0)});
    }
    std::vector<Update> updates;
};

class CRecordingSink : public IMessageSink {
public:
    void ShowMessage(unsigned nStringId) override { messages.push_back(nStringId); }
    std::vector<unsigned> messages;
};

std::vector<std::string> ValueNames() {
    std::vector<std::string> names;
    for (const StoredValue& value : ReadAllValues())
        names.push_back(value.name);
    return names;
}

void PutRaw(const char* pszName, const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, pszName, REG_BINARY, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::vector<BYTE> RawValue(const char* pszName) {
    HKEY key = nullptr;
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size());
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key) != ERROR_SUCCESS ||
        RegQueryValueEx(key, pszName, nullptr, data.data(), &size) != ERROR_SUCCESS)
        size = 0;
    RegCloseKey(key);
    data.resize(size);
    return data;
}

// The stored form of a job whose schedule names a class that does not exist.
std::vector<BYTE> UnknownClassForm() {
    std::vector<BYTE> data = MakeJob("alien", "/")->Store();
    const std::string form(data.begin(), data.end());
    const size_t at = form.find("CDaily");
    if (at != std::string::npos)
        data[at + 1] = 'X';
    return data;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        m_store.SetDocument(&m_doc);
        ASSERT_TRUE(m_store.Open(kJobKeyPath));
    }

    bool ServerSignalled() { return m_probe.Wait(0); }

    void Add(const char* pszName, const char* pszDir = "/") {
        auto job = MakeJob(pszName, pszDir);
        ASSERT_TRUE(m_store.AddJob(*job));
        m_doc.updates.clear();
        m_probe.Wait(0);
    }

    CTempStateRoot m_root;
    CRecordingDocument m_doc;
    CRecordingSink m_sink;
    CScanRegInterface m_store{&m_sink};
    CNamedEvent m_probe{kServerEventName};
};

} // namespace

TEST(StoreOpen, WithoutKeyOpenFailsAndEveryOperationFails) {
    CTempStateRoot root;
    CRecordingSink sink;
    CRecordingDocument doc;
    CScanRegInterface store(&sink);
    store.SetDocument(&doc);
    CNamedEvent probe(kServerEventName);
    EXPECT_FALSE(store.Open(kJobKeyPath));
    EXPECT_FALSE(store.IsOpen());

    auto job = MakeJob("Test", "/home");
    EXPECT_FALSE(store.AddJob(*job)); // reported by the write: 140
    EXPECT_FALSE(store.WriteJob(*job, 3, "Old"));
    EXPECT_FALSE(store.DeleteJob("Test"));
    EXPECT_FALSE(store.ReadJob("Test", nullptr));
    EXPECT_FALSE(store.SetJobActive("Test", false)); // a change that cannot be stored: 140
    DWORD index = 0;
    EXPECT_FALSE(store.EnumJob(&index, job.get()));
    EXPECT_EQ(sink.messages, (std::vector<unsigned>{140, 140, 143, 140}));
    EXPECT_TRUE(doc.updates.empty());
    EXPECT_FALSE(probe.Wait(0));
}

TEST_F(StoreTest, AddJobStoresNewNamesAndRefusesTakenOnesWhateverTheirCase) {
    auto job = MakeJob("Ząb", "/home/ala");
    ASSERT_TRUE(m_store.AddJob(*job));
    ASSERT_EQ(m_doc.updates.size(), 1u);
    EXPECT_EQ(m_doc.updates[0].nHint, 1);
    EXPECT_EQ(m_doc.updates[0].pJob, job.get());
    EXPECT_FALSE(m_doc.updates[0].bServerAlreadySignalled);
    EXPECT_TRUE(ServerSignalled());
    EXPECT_FALSE(ServerSignalled());

    CJob loaded;
    ASSERT_TRUE(m_store.ReadJob("Ząb", &loaded));
    EXPECT_STREQ(loaded.GetName(), "Ząb");
    EXPECT_STREQ(loaded.GetDirectory(), "/home/ala");
    EXPECT_TRUE(loaded.IsActive());

    auto twin = MakeJob("ZĄB", "/tmp");
    EXPECT_FALSE(m_store.AddJob(*twin));
    EXPECT_EQ(m_sink.messages, std::vector<unsigned>{138});
    EXPECT_EQ(m_doc.updates.size(), 1u);
    EXPECT_FALSE(ServerSignalled());
    ASSERT_TRUE(m_store.ReadJob("ząb", &loaded));
    EXPECT_STREQ(loaded.GetDirectory(), "/home/ala");
}

TEST_F(StoreTest, WriteJobRewritesInPlaceAndRenamesWithoutLeavingTheOldValue) {
    Add("A");
    Add("abc");
    Add("C");

    auto renamed = MakeJob("B", "/new");
    ASSERT_TRUE(m_store.WriteJob(*renamed, 3, "A"));
    EXPECT_FALSE(m_store.ReadJob("A", nullptr));
    ASSERT_EQ(m_doc.updates.size(), 1u);
    EXPECT_EQ(m_doc.updates[0].nHint, 3);
    EXPECT_EQ(m_doc.updates[0].pJob, renamed.get());
    EXPECT_TRUE(ServerSignalled());

    auto same = MakeJob("abc", "/rewritten");
    ASSERT_TRUE(m_store.WriteJob(*same, 3, "abc"));
    EXPECT_EQ(ValueNames(), (std::vector<std::string>{"abc", "C", "B"}));

    auto upper = MakeJob("ABC", "/upper");
    ASSERT_TRUE(m_store.WriteJob(*upper, 3, "abc"));
    EXPECT_EQ(ValueNames(), (std::vector<std::string>{"C", "B", "ABC"}));
    CJob loaded;
    ASSERT_TRUE(m_store.ReadJob("abc", &loaded));
    EXPECT_STREQ(loaded.GetName(), "ABC");

    // Renamed onto another job's name: that job is replaced.
    auto onto = MakeJob("C", "/onto");
    ASSERT_TRUE(m_store.WriteJob(*onto, 3, "B"));
    EXPECT_EQ(ValueNames(), (std::vector<std::string>{"C", "ABC"}));
    ASSERT_TRUE(m_store.ReadJob("C", &loaded));
    EXPECT_STREQ(loaded.GetDirectory(), "/onto");
    EXPECT_TRUE(m_sink.messages.empty());
}

TEST_F(StoreTest, FailedRenameKeepsTheOldJobAndSignalsNothing) {
    Add("Old", "/kept");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(RegHivePath(HKEY_LOCAL_MACHINE).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER refuse BEFORE INSERT ON reg_values"
                           " WHEN NEW.name = 'New' BEGIN SELECT RAISE(ABORT, 'no'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    m_store.Open(kJobKeyPath); // a fresh connection sees the trigger

    auto job = MakeJob("New", "/lost?");
    EXPECT_FALSE(m_store.WriteJob(*job, 3, "Old"));
    EXPECT_EQ(m_sink.messages, std::vector<unsigned>{140});
    EXPECT_TRUE(m_doc.updates.empty());
    EXPECT_FALSE(ServerSignalled());
    CJob loaded;
    ASSERT_TRUE(m_store.ReadJob("Old", &loaded));
    EXPECT_STREQ(loaded.GetDirectory(), "/kept");
}

TEST_F(StoreTest, ValuesThatAreNotJobsArePassedOverButKept) {
    Add("first", "/1");
    PutRaw("short", {5, 0, 0, 0, 'a', 'b'});
    PutRaw("huge length", {0xff, 0xff, 0xff, 0xff, 'x', 0});
    PutRaw("alien", UnknownClassForm());
    PutRaw("empty", {});
    Add("second", "/2");
    PutRaw("trailing", {1, 0, 0, 0});

    CJob job;
    DWORD index = 0;
    ASSERT_TRUE(m_store.EnumJob(&index, &job));
    EXPECT_STREQ(job.GetName(), "first");
    EXPECT_EQ(index, 1u);
    ASSERT_TRUE(m_store.EnumJob(&index, &job));
    EXPECT_STREQ(job.GetName(), "second");
    EXPECT_EQ(index, 6u); // one past "second"
    EXPECT_FALSE(m_store.EnumJob(&index, &job));
    EXPECT_EQ(index, 6u);
    EXPECT_STREQ(job.GetName(), "second");
    index = 7; // the number of values
    EXPECT_FALSE(m_store.EnumJob(&index, &job));
    EXPECT_EQ(index, 7u);

    for (const char* bad : {"short", "huge length", "alien", "empty", "trailing"}) {
        EXPECT_FALSE(m_store.ReadJob(bad, &job)) << bad;
        EXPECT_TRUE(m_store.ReadJob(bad, nullptr)) << bad; // it exists all the same
    }
    EXPECT_STREQ(job.GetName(), "second");
    EXPECT_FALSE(m_store.SetJobActive("alien", false));
    auto taken = MakeJob("alien", "/");
    EXPECT_FALSE(m_store.AddJob(*taken));
    EXPECT_EQ(m_sink.messages, std::vector<unsigned>{138});
    EXPECT_EQ(ValueNames().size(), 7u);
    EXPECT_FALSE(m_store.ReadJob("missing", nullptr));
}

TEST_F(StoreTest, SetJobActiveWritesOnlyRealChanges) {
    Add("on");
    EXPECT_TRUE(m_store.SetJobActive("on", true));
    EXPECT_TRUE(m_doc.updates.empty());
    EXPECT_FALSE(ServerSignalled());

    EXPECT_TRUE(m_store.SetJobActive("on", false));
    ASSERT_EQ(m_doc.updates.size(), 1u);
    EXPECT_EQ(m_doc.updates[0].nHint, 3);
    EXPECT_EQ(m_doc.updates[0].jobName, "on");
    EXPECT_TRUE(ServerSignalled());
    CJob loaded;
    ASSERT_TRUE(m_store.ReadJob("on", &loaded));
    EXPECT_FALSE(loaded.IsActive());

    // A job without a complete schedule is never active: switching it off
    // writes nothing, switching it on writes the flag.
    auto incomplete = MakeJob("incomplete", "/", false);
    incomplete->SetActive(false);
    ASSERT_TRUE(m_store.AddJob(*incomplete));
    m_doc.updates.clear();
    ServerSignalled();
    const size_t flagAt = 4 + sizeof("incomplete");
    ASSERT_EQ(RawValue("incomplete").at(flagAt), 0);
    EXPECT_TRUE(m_store.SetJobActive("incomplete", false));
    EXPECT_TRUE(m_doc.updates.empty());
    EXPECT_TRUE(m_store.SetJobActive("incomplete", true));
    EXPECT_EQ(m_doc.updates.size(), 1u);
    EXPECT_TRUE(ServerSignalled());
    EXPECT_EQ(RawValue("incomplete").at(flagAt), 1);
    ASSERT_TRUE(m_store.ReadJob("incomplete", &loaded));
    EXPECT_FALSE(loaded.IsActive());

    EXPECT_FALSE(m_store.SetJobActive("missing", true));
    EXPECT_TRUE(m_sink.messages.empty());
}

TEST_F(StoreTest, DeleteJobRemovesTheValueOrReportsWhyNot) {
    Add("gone");
    ASSERT_TRUE(m_store.DeleteJob("GONE"));
    ASSERT_EQ(m_doc.updates.size(), 1u);
    EXPECT_EQ(m_doc.updates[0].nHint, 2);
    EXPECT_EQ(m_doc.updates[0].pJob, nullptr);
    EXPECT_FALSE(m_doc.updates[0].bServerAlreadySignalled);
    EXPECT_TRUE(ServerSignalled());
    EXPECT_TRUE(ValueNames().empty());

    EXPECT_FALSE(m_store.DeleteJob("gone"));
    EXPECT_EQ(m_sink.messages, std::vector<unsigned>{143});
    EXPECT_EQ(m_doc.updates.size(), 1u);
    EXPECT_FALSE(ServerSignalled());
}

TEST_F(StoreTest, WorksWithoutDocument) {
    CScanRegInterface store(&m_sink);
    ASSERT_TRUE(store.Open(kJobKeyPath));
    auto job = MakeJob("lonely", "/");
    EXPECT_TRUE(store.AddJob(*job));
    EXPECT_TRUE(store.DeleteJob("lonely"));
    EXPECT_TRUE(ServerSignalled());
}

TEST_F(StoreTest, ReadOnlyDatabaseReportsCannotSaveAndCannotDelete) {
    Add("kept", "/kept");
    m_store.Close();
    chmod(m_root.Path().c_str(), 0755);
    chmod(RegHivePath(HKEY_LOCAL_MACHINE).c_str(), 0444);
    // Once the root is another user's, its events can no longer be named here.
    CNamedEvent::Remove(kServerEventName);
    CNamedBroadcast::Remove(kClientEventName);
    ASSERT_TRUE(HandToChild({m_root.Path(), RegHivePath(HKEY_LOCAL_MACHINE)}));
    const int result = RunInChildWithoutRoot([] {
        // The child's events carry its own user id; remove them when done.
        struct CCleanUp {
            ~CCleanUp() { CNamedEvent::Remove(kServerEventName); }
        } cleanUp;
        CRecordingSink sink;
        CScanRegInterface store(&sink);
        if (!store.Open(kJobKeyPath))
            return 1;
        auto job = MakeJob("kept", "/changed");
        auto fresh = MakeJob("fresh", "/");
        if (store.WriteJob(*job, 3, nullptr) || store.AddJob(*fresh) || store.DeleteJob("kept"))
            return 2;
        if (sink.messages != std::vector<unsigned>{140, 140, 143})
            return 3;
        CJob loaded;
        if (!store.ReadJob("kept", &loaded) || std::string(loaded.GetDirectory()) != "/kept")
            return 4;
        return 0;
    });
    EXPECT_EQ(result, 0);
}
