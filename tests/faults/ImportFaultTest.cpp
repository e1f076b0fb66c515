// Records that nothing else could carry out are refused by name on the way
// in, the import goes on past them and says what it left out, and whatever
// is stored already stays deletable by its name.
#include "FaultUtil.h"
#include "JobFile.h"
#include "JobResult.h"
#include "TempStateRoot.h"

namespace {

// The stored form of job under a name that SetName would never allow.
std::vector<BYTE> WithName(const CJob& job, const std::string& name) {
    const std::vector<BYTE> bytes = job.Store();
    const size_t nOld = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | size_t(bytes[3]) << 24;
    std::vector<BYTE> out;
    const auto n = static_cast<DWORD>(name.size() + 1);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(n >> (8 * i)));
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    out.insert(out.end(), bytes.begin() + 4 + static_cast<long>(nOld), bytes.end());
    return out;
}

void PutRaw(const std::string& name, const std::vector<BYTE>& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, name.c_str(), REG_BINARY, bytes.data(),
                            static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class ImportFaultTest : public ::testing::Test {
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

    CTempStateRoot m_root;
    const std::string m_long = std::string(300, 'n');
};

} // namespace

TEST_F(ImportFaultTest, RecordsThatCannotBeCarriedOutAreNamedAndTheRestImported) {
    auto endless = DueJob("Bez końca", "/srv");
    endless->GetScanParameter().m_nEndMode = 0xFFFFFFFF;
    const std::string legacy = "Ma\xb3"
                               "a"; // "Mała" in a legacy 8-bit code page
    std::vector<BYTE> file =
        EncodeJobFile({DueJob("Pierwsza", "/srv")->Store(), WithName(*DueJob("x", "/srv"), m_long),
                       endless->Store(), WithName(*DueJob("x", "/srv"), legacy),
                       DueJob("Z Windows", "C:\\Dane")->Store(),
                       DueJob("Względna", "dane")->Store(), DueJob("Ostatnia", "/srv")->Store()});
    file.insert(file.end(), 10, 0xAB); // after the records that the count announces
    const std::string path = m_root.Path() + "/obce.scj";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));

    const CRunResult r = Tempora({"import", path});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Dodano: 2, zastąpiono: 0, pozostawiono: 0, pominięto: 5."),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("(rekord 2): nazwa dłuższa niż 259 bajtów"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"Bez końca\" (rekord 3): opcja analizy poza zakresem"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("(rekord 4): nazwa nie jest poprawnym tekstem UTF-8"), std::string::npos)
        << r.err;
    // A folder the scanner would refuse: a Windows one, a relative one.
    EXPECT_NE(r.err.find("\"Z Windows\" (rekord 5): folder nie jest ścieżką bezwzględną"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("\"Względna\" (rekord 6): folder nie jest"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("jeszcze 10 bajtów"), std::string::npos) << r.err;
    CRegInterface store;
    ASSERT_TRUE(store.Open(kJobKeyPath));
    EXPECT_TRUE(store.ReadJob("Pierwsza", nullptr));
    EXPECT_TRUE(store.ReadJob("Ostatnia", nullptr));
    EXPECT_FALSE(store.ReadJob("Bez końca", nullptr));
    EXPECT_FALSE(store.ReadJob(m_long.c_str(), nullptr));
    EXPECT_FALSE(store.ReadJob(legacy.c_str(), nullptr));
    EXPECT_FALSE(store.ReadJob("Z Windows", nullptr));
    // Nor does the store itself take such a job.
    EXPECT_FALSE(store.AddJob(*endless));
}

TEST_F(ImportFaultTest, StoredJobWithOverlongNameCanBeShownAndDeleted) {
    PutRaw(m_long, WithName(*DueJob("x", "/srv"), m_long));
    const CRunResult show = Tempora({"show", m_long});
    EXPECT_EQ(show.code, 0) << show.err;
    const CRunResult gone = Tempora({"delete", m_long});
    EXPECT_EQ(gone.code, 0) << gone.err;
    EXPECT_TRUE(StoredBytes(m_long).empty());
    EXPECT_EQ(Tempora({"add", m_long, "--daily", "08:00"}).code, 2);

    const std::string legacy = "Ma\xb3"
                               "a";
    PutRaw(legacy, WithName(*DueJob("x", "/srv"), legacy));
    const CRunResult legacyGone = Tempora({"delete", legacy});
    EXPECT_EQ(legacyGone.code, 0) << legacyGone.err;
    EXPECT_TRUE(StoredBytes(legacy).empty());
}

TEST_F(ImportFaultTest, RunRefusesWhatTheScannerWouldRefuse) {
    auto endless = DueJob("Bez końca", "/srv");
    endless->GetScanParameter().m_nEndMode = 0xFFFFFFFF;
    PutRaw("Bez końca", endless->Store());
    const CRunResult r = Tempora({"run", "Bez końca"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("opcja analizy poza zakresem"), std::string::npos) << r.err;
    EXPECT_EQ(StoredBytes("Bez końca"), endless->Store());

    // A stored job with a Windows folder (written before the door was shut):
    // refused before its start is stamped, and the result says why.
    const std::vector<BYTE> windows = DueJob("Z Windows", "C:\\")->Store();
    PutRaw("Z Windows", windows);
    const CRunResult w = Tempora({"run", "Z Windows"});
    EXPECT_EQ(w.code, 1);
    EXPECT_NE(w.err.find("folder nie jest ścieżką bezwzględną"), std::string::npos) << w.err;
    EXPECT_EQ(StoredBytes("Z Windows"), windows);
    CJobResult result;
    ASSERT_TRUE(ReadJobResult("Z Windows", result));
    EXPECT_EQ(result.GetText(), "odrzucono: folder nie jest ścieżką bezwzględną");
}
