// A store that cannot be read is not an empty store: whoever must see every
// job fails loudly, and a single damaged value is named, not hidden.
#include "FaultUtil.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "TempStateRoot.h"

#include <csignal>
#include <sqlite3.h>

namespace {

class StoreFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        MakeJobKey();
    }
    CRunResult Tempora(const std::vector<std::string>& args) {
        std::vector<std::string> argv{TEMPORA_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, m_root.Path(), m_root.Path());
    }
    // Many jobs, each with a long folder that names it, spread over many
    // pages of the database.
    void AddMany(int n) {
        CRegInterface store;
        ASSERT_TRUE(store.Open(kJobKeyPath));
        for (int i = 0; i < n; ++i) {
            char marker[32];
            std::snprintf(marker, sizeof marker, "/znacznik-%04d/", i);
            const std::string dir = "/dane" + std::string(marker) + std::string(300, 'd');
            auto job = DueJob("Analiza " + std::to_string(i), dir);
            job->SetActive(false); // read by the server, never started
            ASSERT_TRUE(store.AddJob(*job));
        }
    }
    // Spoils the header of the table page that holds the marked folder.
    void DamagePageOf(const std::string& marker) {
        const std::string db = RegHivePath(HKEY_LOCAL_MACHINE);
        std::string bytes = ReadWhole(db);
        const size_t at = bytes.find(marker);
        ASSERT_NE(at, std::string::npos);
        const size_t page = at / 4096 * 4096;
        ASSERT_GT(page, 0u);
        for (size_t i = 0; i < 8; ++i)
            bytes[page + i] = '\x7f';
        std::ofstream(db, std::ios::binary | std::ios::trunc) << bytes;
    }

    // Cuts the cell count of the first leaf page of a table or index to
    // nCells, as a torn write could: the cells after it vanish from view.
    void CutFirstLeaf(const std::string& object, int nCells) {
        const std::string db = RegHivePath(HKEY_LOCAL_MACHINE);
        sqlite3* conn = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &conn), SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(conn, "SELECT rootpage FROM sqlite_master WHERE name = ?1", -1, &stmt,
                           nullptr);
        sqlite3_bind_text(stmt, 1, object.c_str(), -1, SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
        size_t page = static_cast<size_t>(sqlite3_column_int(stmt, 0));
        sqlite3_finalize(stmt);
        sqlite3_close(conn);
        std::string bytes = ReadWhole(db);
        auto u8 = [&](size_t at) {
            return static_cast<size_t>(static_cast<unsigned char>(bytes[at]));
        };
        const size_t size = u8(16) << 8 | u8(17);
        for (;;) {
            const size_t start = (page - 1) * size, header = start + (page == 1 ? 100 : 0);
            if (u8(header) == 10 || u8(header) == 13) { // a leaf
                bytes[header + 3] = static_cast<char>(nCells >> 8);
                bytes[header + 4] = static_cast<char>(nCells & 0xff);
                break;
            }
            const size_t cell = start + (u8(header + 12) << 8 | u8(header + 13));
            page = u8(cell) << 24 | u8(cell + 1) << 16 | u8(cell + 2) << 8 | u8(cell + 3);
        }
        std::ofstream(db, std::ios::binary | std::ios::trunc) << bytes;
    }

    CTempStateRoot m_root;
};

} // namespace

TEST_F(StoreFaultTest, CutIndexIsDamageUntilRepairedAndRepairKeepsEveryJob) {
    AddMany(120);
    const std::string backup = m_root.Path() + "/kopia.scj";
    ASSERT_EQ(Tempora({"export", backup}).code, 0);
    const std::string good = ReadWhole(backup);
    CutFirstLeaf("reg_values_order", 40);

    for (const auto& args : {std::vector<std::string>{"list"}, {"export", backup}}) {
        const CRunResult r = Tempora(args);
        EXPECT_EQ(r.code, 1) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_NE(r.err.find("baza analiz jest uszkodzona: "), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadWhole(backup), good);
    const CRunResult status = Tempora({"status"});
    EXPECT_EQ(status.code, 1);
    EXPECT_NE(status.out.find("jest uszkodzona: "), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("reg_values_order"), std::string::npos) << status.out;

    const CRunResult repair =
        RunProgram({VEXSERV_PATH, "--install", "--repair"}, m_root.Path(), m_root.Path());
    EXPECT_EQ(repair.code, 0) << repair.err;
    EXPECT_NE(repair.err.find("zachowano wszystkie analizy"), std::string::npos) << repair.err;
    const CRunResult exported = Tempora({"export", backup});
    EXPECT_EQ(exported.code, 0) << exported.err;
    EXPECT_NE(exported.out.find("analiz: 120 "), std::string::npos) << exported.out;
    EXPECT_EQ(ReadWhole(backup), good);
}

TEST_F(StoreFaultTest, RepairLeavesAStoreWhoseTableLostRowsAsItIs) {
    AddMany(120);
    CutFirstLeaf("reg_values", 2);
    const std::string damaged = ReadWhole(RegHivePath(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(Tempora({"list"}).code, 1);
    const CRunResult repair =
        RunProgram({VEXSERV_PATH, "--install", "--repair"}, m_root.Path(), m_root.Path());
    EXPECT_EQ(repair.code, 2);
    EXPECT_NE(repair.err.find("REPAIR"), std::string::npos) << repair.err;
    EXPECT_EQ(ReadWhole(RegHivePath(HKEY_LOCAL_MACHINE)), damaged);
    EXPECT_EQ(Tempora({"list"}).code, 1);
}

TEST_F(StoreFaultTest, DamagedPageMidwayFailsListAndExportKeepsTheBackup) {
    AddMany(120);
    const std::string backup = m_root.Path() + "/kopia.scj";
    ASSERT_EQ(Tempora({"export", backup}).code, 0);
    const std::string good = ReadWhole(backup);
    DamagePageOf("znacznik-0060");

    const CRunResult list = Tempora({"list"});
    EXPECT_EQ(list.code, 1);
    EXPECT_EQ(list.out, "");
    EXPECT_NE(list.err.find("uszkodzona"), std::string::npos) << list.err;
    const CRunResult json = Tempora({"list", "--json"});
    EXPECT_EQ(json.code, 1);
    EXPECT_EQ(json.out, "");

    const CRunResult exported = Tempora({"export", backup});
    EXPECT_EQ(exported.code, 1);
    EXPECT_EQ(exported.out, "");
    EXPECT_EQ(ReadWhole(backup), good);
}

TEST_F(StoreFaultTest, DamagedValueIsNamedAndPassedOver) {
    AddMany(2);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
    const BYTE junk[] = {1, 2, 3};
    ASSERT_EQ(RegSetValueEx(key, "Zepsuta", REG_BINARY, junk, sizeof junk), ERROR_SUCCESS);
    RegCloseKey(key);

    const CRunResult list = Tempora({"list"});
    EXPECT_EQ(list.code, 0);
    EXPECT_NE(list.out.find("Analiza 1"), std::string::npos);
    EXPECT_NE(list.err.find("\"Zepsuta\""), std::string::npos) << list.err;
    const CRunResult exported = Tempora({"export", m_root.Path() + "/dwie.scj"});
    EXPECT_EQ(exported.code, 0);
    EXPECT_NE(exported.out.find(": 2 "), std::string::npos) << exported.out;
    EXPECT_NE(exported.err.find("\"Zepsuta\""), std::string::npos);

    // The server names it once, however often it passes; SIGHUP asks for a
    // pass and is no reason to end.
    CProgram server({VEXSERV_PATH}, {{"RAMPART_ROOT", m_root.Path()}, {"TMPDIR", m_root.Path()}},
                    m_root.Path());
    ASSERT_TRUE(WaitUntil([&] { return server.Err().find("Zepsuta") != std::string::npos; }));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(kill(server.Pid(), SIGHUP), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    CRunResult ended;
    EXPECT_FALSE(server.HasEnded(ended)) << ended.err;
    const std::string log = server.Err();
    EXPECT_EQ(log.find("Zepsuta"), log.rfind("Zepsuta")) << log;
    kill(server.Pid(), SIGTERM);
    EXPECT_EQ(server.Wait().code, 0);
}

TEST_F(StoreFaultTest, ServerLogsAStoreItCannotReadAndKeepsTrying) {
    AddMany(120);
    DamagePageOf("znacznik-0060");
    CProgram server({VEXSERV_PATH}, {{"RAMPART_ROOT", m_root.Path()}, {"TMPDIR", m_root.Path()}},
                    m_root.Path());
    ASSERT_TRUE(WaitUntil(
        [&] {
            return server.Err().find("nie można odczytać bazy analiz: plik bazy jest uszkodzony") !=
                   std::string::npos;
        },
        10000))
        << server.Err();
    CRunResult ended;
    EXPECT_FALSE(server.HasEnded(ended)) << ended.err;
    kill(server.Pid(), SIGTERM);
    EXPECT_EQ(server.Wait().code, 0);
}

TEST_F(StoreFaultTest, DamagedDatabaseIsNotCalledMissing) {
    std::ofstream(RegHivePath(HKEY_LOCAL_MACHINE), std::ios::binary | std::ios::trunc)
        << std::string(8192, 'x');
    const CRunResult r = Tempora({"list"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.find("zakłada"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("uszkodzona"), std::string::npos) << r.err;
}

TEST_F(StoreFaultTest, AStoreThatMayNotBeReadIsNotCalledMissing) {
    AddMany(1);
    const std::string db = RegHivePath(HKEY_LOCAL_MACHINE);
    // Run by the user it belongs to: root reads a file whatever its mode.
    constexpr uid_t kNobody = 65534;
    const bool bRoot = geteuid() == 0;
    std::vector<std::string> argv;
    if (bRoot) {
        for (const std::string& path : {m_root.Path(), db})
            ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
        argv = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    ASSERT_EQ(chmod(db.c_str(), 0), 0);
    argv.push_back(TEMPORA_PATH);
    argv.push_back("list");
    const CRunResult list = RunProgram(argv, m_root.Path(), m_root.Path());
    argv.back() = "status";
    const CRunResult status = RunProgram(argv, m_root.Path(), m_root.Path());
    chmod(db.c_str(), 0600);
    if (bRoot && fork() == 0) { // the events that user made
        if (setgid(kNobody) == 0 && setuid(kNobody) == 0) {
            CNamedEvent::Remove(kServerEventName);
            CNamedBroadcast::Remove(kClientEventName);
        }
        _exit(0);
    }
    wait(nullptr);

    EXPECT_EQ(list.code, 1);
    EXPECT_EQ(list.err.find("zakłada"), std::string::npos) << list.err;
    EXPECT_NE(list.err.find("brak dostępu do pliku bazy analiz " + db), std::string::npos)
        << list.err;
    EXPECT_EQ(status.out.find("nie istnieje"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("brak dostępu"), std::string::npos) << status.out;
}
