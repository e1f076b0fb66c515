#include "Clipboard.h"
#include "ByteReader.h"
#include "ClipPayload.h"
#include "FixedClock.h"
#include "ModalSeam.h"
#include "TestApp.h"
#include "TestStore.h"

#include <QClipboard>
#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {
using Names = std::vector<std::string>;

class JobClipboard : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        QGuiApplication::clipboard()->clear();
        m_store.SetDocument(&m_doc);
        ASSERT_TRUE(OpenTestStore(m_store));
    }

    void Add(const char* name) {
        CJob job;
        MakeStartedJob(job, name);
        ASSERT_TRUE(m_store.AddJob(job));
    }

    QByteArray ClipBytes() const {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data != nullptr ? data->data(CJobClipboard::Format()) : QByteArray();
    }

    void PutOnClipboard(const std::vector<BYTE>& payload) {
        auto* data = new QMimeData;
        data->setData(CJobClipboard::Format(),
                      QByteArray(reinterpret_cast<const char*>(payload.data()),
                                 static_cast<qsizetype>(payload.size())));
        QGuiApplication::clipboard()->setMimeData(data);
    }

    CTempStateRoot m_root;
    CRecordingDoc m_doc;
    CRecordingSink m_sink;
    CScanRegInterface m_store{&m_sink};
    // Message boxes are answered with OK and their string ids kept.
    std::vector<unsigned> m_boxes;
    std::vector<std::string> m_texts;
    ScopedModalHook m_hook{[this](QDialog& box) {
        m_boxes.push_back(MessageBoxStringId(box));
        m_texts.push_back(MessageBoxText(box).toStdString());
        return IDOK;
    }};
};
} // namespace

TEST_F(JobClipboard, CopyPutsCountAndRecordsUnderTheJobFormat) {
    Add("Dyski");
    Add("Poczta");
    EXPECT_FALSE(CJobClipboard::CanPaste());
    m_doc.hints.clear();

    ASSERT_TRUE(CJobClipboard::Copy(m_store, {"Dyski", "Poczta"}));
    EXPECT_TRUE(CJobClipboard::CanPaste());
    CJob a, b;
    ASSERT_TRUE(m_store.ReadJob("Dyski", &a));
    ASSERT_TRUE(m_store.ReadJob("Poczta", &b));
    QByteArray bytes = ClipBytes();
    size_t l1 = a.Store().size(), l2 = b.Store().size();
    ASSERT_EQ(static_cast<size_t>(bytes.size()), 4 + (4 + l1) + (4 + l2));
    CByteReader in(reinterpret_cast<const BYTE*>(bytes.constData()), bytes.size());
    std::int32_t count = 0;
    DWORD length = 0;
    ASSERT_TRUE(in.ReadI32(count) && in.ReadU32(length));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(length, l1);
    // Copy changes nothing in the store.
    EXPECT_TRUE(m_doc.hints.empty());
    EXPECT_EQ(StoredNames(m_store), (Names{"Dyski", "Poczta"}));
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(JobClipboard, PastingTwicePutsTheCopyPrefixInFrontOnceThenTwice) {
    Add("Dyski");
    Add("Poczta");
    ASSERT_TRUE(CJobClipboard::Copy(m_store, {"Dyski", "Poczta"}));
    m_doc.hints.clear();

    EXPECT_EQ(CJobClipboard::Paste(m_store), 2);
    EXPECT_EQ(CJobClipboard::Paste(m_store), 2);
    EXPECT_EQ(StoredNames(m_store), (Names{"Dyski", "Poczta", "KopiaDyski", "KopiaPoczta",
                                           "KopiaKopiaDyski", "KopiaKopiaPoczta"}));
    EXPECT_EQ(m_doc.hints, (std::vector<int>{1, 1, 1, 1}));
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(m_sink.ids.empty());
}

TEST_F(JobClipboard, PrefixSkipsEveryTakenName) {
    Add("Dyski");
    Add("KopiaDyski");
    ASSERT_TRUE(CJobClipboard::Copy(m_store, {"Dyski"}));
    EXPECT_EQ(CJobClipboard::Paste(m_store), 1);
    EXPECT_EQ(StoredNames(m_store), (Names{"Dyski", "KopiaDyski", "KopiaKopiaDyski"}));
}

TEST_F(JobClipboard, CutThenPasteRestoresTheJobsUnderTheirNames) {
    Add("Dyski");
    Add("Poczta");
    Add("Zostaje");
    m_doc.hints.clear();

    ASSERT_TRUE(CJobClipboard::Cut(m_store, {"Dyski", "Poczta"}));
    EXPECT_EQ(StoredNames(m_store), Names{"Zostaje"});
    EXPECT_EQ(m_doc.hints, (std::vector<int>{2, 2}));

    EXPECT_EQ(CJobClipboard::Paste(m_store), 2);
    EXPECT_EQ(StoredNames(m_store), (Names{"Zostaje", "Dyski", "Poczta"}));
    CJob job;
    ASSERT_TRUE(m_store.ReadJob("Poczta", &job));
    EXPECT_STREQ(job.GetDirectory(), "/home");
    EXPECT_TRUE(job.IsActive());
}

TEST_F(JobClipboard, PastedJobHasNoLastStart) {
    Add("Dyski");
    ASSERT_TRUE(CJobClipboard::Copy(m_store, {"Dyski"}));
    ASSERT_EQ(CJobClipboard::Paste(m_store), 1);
    CJob original, pasted;
    ASSERT_TRUE(m_store.ReadJob("Dyski", &original));
    ASSERT_TRUE(m_store.ReadJob("KopiaDyski", &pasted));
    EXPECT_TRUE(original.HasLastStart());
    EXPECT_FALSE(pasted.HasLastStart());
    EXPECT_STREQ(pasted.GetLastStartText(), "");
    EXPECT_STRNE(original.GetLastStartText(), "");
}

TEST_F(JobClipboard, PastedJobWaitsForItsNextTimeInsteadOfStartingAtOnce) {
    Add("Dyski"); // hourly at :15, last start 2026-12-08 09:00
    ASSERT_TRUE(CJobClipboard::Copy(m_store, {"Dyski"}));
    FixedClock clock(2026, 12, 9, 10, 40, 0);
    ASSERT_EQ(CJobClipboard::Paste(m_store), 1);
    CJob original, pasted;
    ASSERT_TRUE(m_store.ReadJob("Dyski", &original));
    ASSERT_TRUE(m_store.ReadJob("KopiaDyski", &pasted));
    // The original missed its hours and is due; the copy never ran here.
    EXPECT_EQ(original.GetSecondsToNextStart(clock.Now()), 0);
    EXPECT_EQ(pasted.GetSecondsToNextStart(clock.Now()), 35 * 60);
}

TEST_F(JobClipboard, JobWithAFolderTheScannerWouldRefuseIsNamedAndLeftOut) {
    CJob windows, fine;
    MakeStartedJob(windows, "Z Windows");
    windows.GetScanParameter().m_strDirectory = "C:\\Dane";
    MakeStartedJob(fine, "Dyski");
    PutOnClipboard(EncodeClipPayload({windows.Store(), fine.Store()}));
    EXPECT_EQ(CJobClipboard::Paste(m_store), 1);
    EXPECT_EQ(StoredNames(m_store), Names{"Dyski"});
    ASSERT_EQ(m_texts.size(), 1u);
    EXPECT_EQ(m_texts[0].rfind("Ustawień analizy „Z Windows” nie można zapisać ani wykonać: "
                               "folder nie jest ścieżką bezwzględną",
                               0),
              0u)
        << m_texts[0];
}

TEST_F(JobClipboard, CutOnlyDeletesWhatWentOnTheClipboard) {
    Add("Dyski");
    // A name whose job vanished meanwhile (another process deleted it) is
    // left out of the payload, and the count says so.
    ASSERT_TRUE(CJobClipboard::Cut(m_store, {"Znikl", "Dyski"}));
    QByteArray bytes = ClipBytes();
    ClipJobs clip = ReadClipJobs(reinterpret_cast<const BYTE*>(bytes.constData()), bytes.size());
    EXPECT_TRUE(clip.bComplete);
    ASSERT_EQ(clip.jobs.size(), 1u);
    EXPECT_STREQ(clip.jobs[0]->GetName(), "Dyski");
    EXPECT_TRUE(StoredNames(m_store).empty());
    EXPECT_TRUE(m_sink.ids.empty()); // no failed delete of the vanished job
}

TEST_F(JobClipboard, PasteIsOfferedOnlyForTheJobFormat) {
    Add("Dyski");
    QGuiApplication::clipboard()->setText("Dyski");
    EXPECT_FALSE(CJobClipboard::CanPaste());
    EXPECT_EQ(CJobClipboard::Paste(m_store), 0);
    EXPECT_EQ(m_boxes, std::vector<unsigned>{103});
    EXPECT_EQ(StoredNames(m_store), Names{"Dyski"});
}

TEST_F(JobClipboard, DamagedPayloadAddsTheJobsBeforeTheDamageAndSays103) {
    CJob a, b;
    MakeStartedJob(a, "Pierwszy");
    MakeStartedJob(b, "Drugi");
    std::vector<BYTE> payload = EncodeClipPayload({a.Store(), b.Store(), b.Store()});
    payload.resize(payload.size() - 20);
    PutOnClipboard(payload);

    EXPECT_EQ(CJobClipboard::Paste(m_store), 2);
    EXPECT_EQ(StoredNames(m_store), (Names{"Pierwszy", "Drugi"}));
    EXPECT_EQ(m_boxes, std::vector<unsigned>{103});

    // A count far beyond the data: the one record there is, then 103.
    std::vector<BYTE> huge = EncodeClipPayload({a.Store()});
    BYTE* p = huge.data();
    PutI32(p, 0x7FFFFFFF);
    PutOnClipboard(huge);
    m_boxes.clear();
    EXPECT_EQ(CJobClipboard::Paste(m_store), 1);
    EXPECT_EQ(m_boxes, std::vector<unsigned>{103});
    EXPECT_EQ(StoredNames(m_store).back(), "KopiaPierwszy");
}

TEST_F(JobClipboard, NameThatCannotTakeMorePrefixesEndsWithTheStoresMessage) {
    // The longest name made only of prefixes: another prefix in front, cut to
    // the longest name, gives the same name again.
    std::string full;
    while (full.size() < CJob::kMaxNameLength)
        full += "Kopia";
    full.resize(CJob::kMaxNameLength);
    Add(full.c_str());
    ASSERT_EQ(CJobClipboard::FreeName(m_store, full), full);

    ASSERT_TRUE(CJobClipboard::Copy(m_store, {full}));
    EXPECT_EQ(CJobClipboard::Paste(m_store), 0);
    EXPECT_EQ(m_sink.ids, std::vector<unsigned>{kMsgNameTaken});
    EXPECT_EQ(StoredNames(m_store).size(), 1u);
}

TEST_F(JobClipboard, LongNamesStayWithinTheLimitWhenPrefixed) {
    std::string name(CJob::kMaxNameLength, 'x');
    Add(name.c_str());
    std::string free = CJobClipboard::FreeName(m_store, name);
    EXPECT_EQ(free.size(), CJob::kMaxNameLength);
    EXPECT_EQ(free.rfind("Kopia", 0), 0u);
}
