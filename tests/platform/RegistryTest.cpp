#include "Registry.h"
#include "RegistryDb.h"
#include "StatePaths.h"

#include "OtherUser.h"
#include "TempStateRoot.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const kJobKey = "Software\\Kestrow\\Rampart 8\\VexServ\\Jobs";

struct Read {
    LONG result = -1;
    DWORD type = REG_NONE;
    std::string data;
};

Read Get(HKEY key, const char* name) {
    Read r;
    DWORD size = 0;
    r.result = RegQueryValueEx(key, name, &r.type, nullptr, &size);
    if (r.result != ERROR_SUCCESS)
        return r;
    std::vector<BYTE> buf(size + 1);
    r.result = RegQueryValueEx(key, name, &r.type, buf.data(), &size);
    r.data.assign(reinterpret_cast<const char*>(buf.data()), size);
    return r;
}

LONG Put(HKEY key, const char* name, const std::string& data, DWORD type = REG_BINARY) {
    return RegSetValueEx(key, name, type, reinterpret_cast<const BYTE*>(data.data()),
                         static_cast<DWORD>(data.size()));
}

std::vector<std::string> Names(HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[300];
        DWORD len = sizeof name;
        if (RegEnumValue(key, i, name, &len, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, len);
    }
    return names;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &m_key), ERROR_SUCCESS);
    }
    void TearDown() override {
        if (m_key)
            RegCloseKey(m_key);
    }

    CTempStateRoot m_root;
    HKEY m_key = nullptr;
};

} // namespace

TEST(RegistryOpen, MissingRootHiveOrKeyFailsWithoutCreatingAnything) {
    CTempStateRoot root;
    const std::string missing = root.Path() + "/not/there";
    setenv("RAMPART_ROOT", missing.c_str(), 1);
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    struct stat st {};
    EXPECT_NE(stat(missing.c_str(), &st), 0);

    setenv("RAMPART_ROOT", root.Path().c_str(), 1);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(stat(RegHivePath(HKEY_LOCAL_MACHINE).c_str(), &st), 0);

    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Kestrow", &parent), ERROR_SUCCESS);
    RegCloseKey(parent);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Kestrow", &key), ERROR_FILE_NOT_FOUND);
}

TEST(RegistryOpen, DamagedOrUnusableFilesFailCleanly) {
    CTempStateRoot root;
    { std::ofstream(RegHivePath(HKEY_LOCAL_MACHINE)) << "this is not a database, not at all"; }
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &key), ERROR_BADDB);
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &key), ERROR_BADDB);
    EXPECT_EQ(key, nullptr);

    // A database of some other program: no keys, and the open says so.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(RegHivePath(HKEY_CURRENT_USER).c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", &key), ERROR_FILE_NOT_FOUND);

    // A state root that is a file cannot hold a hive.
    const std::string file = root.Path() + "/file";
    std::ofstream(file) << "x";
    setenv("RAMPART_ROOT", file.c_str(), 1);
    EXPECT_NE(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &key), ERROR_SUCCESS);
    EXPECT_EQ(key, nullptr);
}

TEST(RegistryOpen, BadHandlesAndArgumentsAreRejected) {
    CTempStateRoot root;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(nullptr, "x", nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueEx(HKEY_LOCAL_MACHINE, "x", nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueEx(HKEY_CURRENT_USER, "x", REG_DWORD, nullptr, 0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyEx(nullptr, "Software", nullptr), ERROR_INVALID_PARAMETER);
    HKEY key = nullptr;
    const std::string longPart(REG_MAX_KEY_NAME + 1, 'k');
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, longPart.c_str(), &key), ERROR_INVALID_PARAMETER);
}

TEST(RegistryOpen, KeyPathsIgnoreCaseAndStrayBackslashesAndHivesAreSeparate) {
    CTempStateRoot root;
    HKEY created = nullptr;
    bool isNew = false;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &created, &isNew), ERROR_SUCCESS);
    EXPECT_TRUE(isNew);
    ASSERT_EQ(Put(created, "job", "data"), ERROR_SUCCESS);
    RegCloseKey(created);

    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &created, &isNew), ERROR_SUCCESS);
    EXPECT_FALSE(isNew);
    RegCloseKey(created);

    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyEx(HKEY_LOCAL_MACHINE, "\\software\\KESTROW\\\\rampart 8\\VexServ\\jobs\\", &key),
        ERROR_SUCCESS);
    EXPECT_EQ(Get(key, "job").data, "data");
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyEx(key, nullptr, &again), ERROR_SUCCESS);
    EXPECT_EQ(Get(again, "JOB").data, "data");
    RegCloseKey(again);
    RegCloseKey(key);

    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kJobKey, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ValuesOfEachTypeRoundTripWithTheirSizes) {
    const std::string text("C:\\Programme\\vexscan.exe", 25); // with its zero
    const DWORD number = 0xA1B2C3D4;
    const std::string binary("\0\1\2\0\xff", 5);
    ASSERT_EQ(Put(m_key, "vexexe", text, REG_SZ), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(m_key, "cdm", REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(Put(m_key, "blob", binary), ERROR_SUCCESS);
    ASSERT_EQ(Put(m_key, "empty", ""), ERROR_SUCCESS);

    EXPECT_EQ(Get(m_key, "vexexe").type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Get(m_key, "vexexe").data, text);
    EXPECT_EQ(Get(m_key, "cdm").type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Get(m_key, "cdm").data, std::string(reinterpret_cast<const char*>(&number), 4));
    EXPECT_EQ(Get(m_key, "blob").data, binary);
    EXPECT_EQ(Get(m_key, "empty").result, ERROR_SUCCESS);
    EXPECT_EQ(Get(m_key, "empty").data, "");
    EXPECT_EQ(Get(m_key, "missing").result, ERROR_FILE_NOT_FOUND);

    // A short buffer reports the size and copies nothing useful.
    BYTE small[2];
    DWORD size = sizeof small;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueEx(m_key, "blob", &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(RegQueryValueEx(m_key, "blob", &type, small, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, LargestNamesAndDataRoundTripAndLargerOnesAreRefused) {
    std::string name(REG_MAX_VALUE_NAME, 'n');
    name[0] = 'N';
    std::string data(REG_MAX_VALUE_SIZE, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + (i >> 9));
    ASSERT_EQ(Put(m_key, name.c_str(), data), ERROR_SUCCESS);
    EXPECT_EQ(Get(m_key, name.c_str()).data, data);
    std::vector<char> buf(name.size() + 1);
    DWORD len = static_cast<DWORD>(buf.size());
    ASSERT_EQ(RegEnumValue(m_key, 0, buf.data(), &len, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf.data(), len), name);

    EXPECT_EQ(Put(m_key, (name + "x").c_str(), "d"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Put(m_key, "big", data + "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Get(m_key, "big").result, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(m_key, (name + "x").c_str()).result, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, NamesIgnoreCaseIncludingPolishLettersAndKeepTheirFirstCase) {
    ASSERT_EQ(Put(m_key, "Ząb", "one"), ERROR_SUCCESS);
    EXPECT_EQ(Get(m_key, "ZĄB").data, "one");
    EXPECT_EQ(Get(m_key, "ząb").data, "one");
    ASSERT_EQ(Put(m_key, "ZĄB", "two"), ERROR_SUCCESS);
    EXPECT_EQ(Names(m_key), std::vector<std::string>{"Ząb"});
    EXPECT_EQ(Get(m_key, "Ząb").data, "two");

    ASSERT_EQ(Put(m_key, "ŁÓDŹ Żółć", "city"), ERROR_SUCCESS);
    EXPECT_EQ(Get(m_key, "łódź żółć").data, "city");
    EXPECT_EQ(RegDeleteValue(m_key, "ŁóDź ŻÓŁĆ"), ERROR_SUCCESS);
    EXPECT_EQ(Get(m_key, "ŁÓDŹ Żółć").result, ERROR_FILE_NOT_FOUND);

    // Names that are not UTF-8 are kept and compared byte for byte.
    ASSERT_EQ(Put(m_key, "A\xff\xfe", "raw"), ERROR_SUCCESS);
    EXPECT_EQ(Get(m_key, "A\xff\xfe").data, "raw");
    EXPECT_EQ(Get(m_key, "a\xff\xfe").result, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Names(m_key), (std::vector<std::string>{"Ząb", "A\xff\xfe"}));
}

TEST_F(RegistryTest, EnumerationKeepsPlacesOfRewrittenValues) {
    for (const char* name : {"a", "b", "c"})
        ASSERT_EQ(Put(m_key, name, name), ERROR_SUCCESS);
    ASSERT_EQ(Put(m_key, "B", "new data"), ERROR_SUCCESS);
    EXPECT_EQ(Names(m_key), (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_EQ(RegDeleteValue(m_key, "b"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(m_key, "b"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(Put(m_key, "b", "again"), ERROR_SUCCESS);
    EXPECT_EQ(Names(m_key), (std::vector<std::string>{"a", "c", "b"}));

    char name[2];
    DWORD len = sizeof name;
    DWORD size = 0;
    EXPECT_EQ(RegEnumValue(m_key, 3, name, &len, nullptr, nullptr, &size), ERROR_NO_MORE_ITEMS);
    len = 1; // no room for "a" and its zero
    EXPECT_EQ(RegEnumValue(m_key, 0, name, &len, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(len, 1u);
    DWORD type = 0;
    len = sizeof name;
    BYTE data[1];
    size = sizeof data;
    EXPECT_EQ(RegEnumValue(m_key, 2, name, &len, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 5u);
    EXPECT_STREQ(name, "b");
}

TEST_F(RegistryTest, ReplaceRenamesInOneStepAlsoWhenOnlyTheCaseChanges) {
    ASSERT_EQ(Put(m_key, "abc", "old"), ERROR_SUCCESS);
    ASSERT_EQ(Put(m_key, "other", "other"), ERROR_SUCCESS);
    ASSERT_EQ(
        RegReplaceValue(m_key, "abc", "ABC", REG_BINARY, reinterpret_cast<const BYTE*>("new"), 3),
        ERROR_SUCCESS);
    EXPECT_EQ(Names(m_key), (std::vector<std::string>{"other", "ABC"}));
    EXPECT_EQ(Get(m_key, "abc").data, "new");

    // Onto another value's name: that value is replaced; a missing old name
    // is no error.
    ASSERT_EQ(
        RegReplaceValue(m_key, "ABC", "other", REG_BINARY, reinterpret_cast<const BYTE*>("x"), 1),
        ERROR_SUCCESS);
    EXPECT_EQ(Names(m_key), std::vector<std::string>{"other"});
    EXPECT_EQ(RegReplaceValue(m_key, "gone", "fresh", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(Names(m_key), (std::vector<std::string>{"other", "fresh"}));
}

TEST_F(RegistryTest, FailedReplaceLeavesTheOldValue) {
    ASSERT_EQ(Put(m_key, "old", "keep me"), ERROR_SUCCESS);
    // Make the insert of one particular name fail inside the transaction.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(RegHivePath(HKEY_LOCAL_MACHINE).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER refuse BEFORE INSERT ON reg_values"
                           " WHEN NEW.name = 'refused' BEGIN SELECT RAISE(ABORT, 'no'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    HKEY key = nullptr; // a fresh connection sees the trigger
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &key), ERROR_SUCCESS);
    EXPECT_NE(
        RegReplaceValue(key, "old", "refused", REG_BINARY, reinterpret_cast<const BYTE*>("x"), 1),
        ERROR_SUCCESS);
    EXPECT_EQ(Get(key, "old").data, "keep me");
    EXPECT_EQ(Names(key), std::vector<std::string>{"old"});
    RegCloseKey(key);
}

TEST_F(RegistryTest, RewriteReadsAndWritesInOneTransaction) {
    ASSERT_EQ(Put(m_key, "job", "12"), ERROR_SUCCESS);
    // The new data is made from the stored data, renamed in the same step.
    auto append = [](DWORD type, const BYTE* p, DWORD n, std::vector<BYTE>& out) {
        EXPECT_EQ(type, REG_BINARY);
        out.assign(p, p + n);
        out.push_back('3');
        return LONG(ERROR_SUCCESS);
    };
    ASSERT_EQ(RegRewriteValue(m_key, "job", "Job 2", REG_BINARY, append), ERROR_SUCCESS);
    EXPECT_EQ(Names(m_key), std::vector<std::string>{"Job 2"});
    EXPECT_EQ(Get(m_key, "job 2").data, "123");
    // A refusal or a missing value changes nothing.
    auto refuse = [](DWORD, const BYTE*, DWORD, std::vector<BYTE>&) {
        return LONG(ERROR_ACCESS_DENIED);
    };
    EXPECT_EQ(RegRewriteValue(m_key, "Job 2", "x", REG_BINARY, refuse), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegRewriteValue(m_key, "none", "x", REG_BINARY, refuse), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Names(m_key), std::vector<std::string>{"Job 2"});
}

TEST_F(RegistryTest, ChangesThroughOtherHandlesShowInEnumeration) {
    HKEY other = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &other), ERROR_SUCCESS);
    ASSERT_EQ(Put(m_key, "one", "1"), ERROR_SUCCESS);
    EXPECT_EQ(Names(other), std::vector<std::string>{"one"});
    ASSERT_EQ(Put(other, "two", "2"), ERROR_SUCCESS);
    EXPECT_EQ(Names(m_key), (std::vector<std::string>{"one", "two"}));
    ASSERT_EQ(RegDeleteValue(m_key, "one"), ERROR_SUCCESS);
    EXPECT_EQ(Names(other), std::vector<std::string>{"two"});
    ASSERT_EQ(Put(other, "TWO", "22"), ERROR_SUCCESS);
    DWORD size = 4;
    BYTE data[4];
    char name[8];
    DWORD len = sizeof name;
    ASSERT_EQ(RegEnumValue(m_key, 0, name, &len, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), "22");
    RegCloseKey(other);
}

TEST_F(RegistryTest, ReadOnlyDatabaseRefusesWritesButStillReads) {
    ASSERT_EQ(Put(m_key, "job", "data"), ERROR_SUCCESS);
    RegCloseKey(m_key);
    m_key = nullptr;
    chmod(m_root.Path().c_str(), 0755);
    chmod(RegHivePath(HKEY_LOCAL_MACHINE).c_str(), 0444);
    ASSERT_TRUE(HandToChild({m_root.Path(), RegHivePath(HKEY_LOCAL_MACHINE)}));
    const int result = RunInChildWithoutRoot([] {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKey, &key) != ERROR_SUCCESS)
            return 1;
        if (Get(key, "job").data != "data")
            return 2;
        if (Put(key, "job", "changed") == ERROR_SUCCESS || Put(key, "new", "x") == ERROR_SUCCESS)
            return 3;
        if (RegDeleteValue(key, "job") == ERROR_SUCCESS)
            return 4;
        return Get(key, "job").data == "data" ? 0 : 5;
    });
    EXPECT_EQ(result, 0);
}
