// The new and edit job commands end to end against a real store in a fresh
// state root: what lands in the store, the views' hints, the server signal.

#include "JobCommands.h"
#include "AtStartup.h"
#include "DialogTestSupport.h"
#include "FixedClock.h"
#include "Hourly.h"
#include "Job.h"
#include "MyDateTimePickCtrl.h"
#include "NamedEvent.h"
#include "PlanDialog.h"
#include "Registry.h"
#include "ScanRegInterface.h"
#include "TempStateRoot.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace res;

class RecordingSink : public IMessageSink {
public:
    void ShowMessage(unsigned nStringId) override { messages.push_back(nStringId); }
    std::vector<unsigned> messages;
};

class RecordingDocument : public IStoreDocument {
public:
    struct Hint {
        int nHint;
        std::string name;
        int nRow;
    };
    void UpdateAllViews(void*, int nHint, CJob* pJob) override {
        hints.push_back({nHint, pJob ? pJob->GetName() : "", pJob ? pJob->GetRowIndex() : -2});
    }
    std::vector<Hint> hints;
};

class JobCommandsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        m_server = std::make_unique<CNamedEvent>(kServerEventName);
        m_store = std::make_unique<CScanRegInterface>(&m_sink);
        m_store->SetDocument(&m_doc);
        ASSERT_TRUE(m_store->Open(kJobKeyPath));
    }

    void TearDown() override {
        m_store.reset();
        m_server.reset();
    }

    // Stores a job with an hourly schedule, then forgets the traces of adding it.
    void Store(const char* pszName, int nMinute) {
        CJob job;
        job.SetName(pszName);
        CHourly hourly;
        hourly.SetMinute(true, nMinute);
        job.SetPeriod(hourly, COleDateTime::GetCurrentTime());
        ASSERT_TRUE(m_store->AddJob(job));
        Forget();
    }
    void Forget() {
        while (m_server->Wait(0)) {
        }
        m_doc.hints.clear();
        m_sink.messages.clear();
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        CJob job;
        for (DWORD i = 0; m_store->EnumJob(&i, &job);)
            names.push_back(job.GetName());
        return names;
    }
    bool Signalled() { return m_server->Wait(0); }

    FixedClock m_clock{2026, 12, 7, 13, 20, 45};
    CTempStateRoot m_root;
    RecordingSink m_sink;
    RecordingDocument m_doc;
    std::unique_ptr<CNamedEvent> m_server;
    std::unique_ptr<CScanRegInterface> m_store;
    ModalScript m_script;
};

// Types a name and confirms "at computer start" in the job dialog.
ModalScript::Step NameAndSchedule(const char* pszName) {
    return [pszName](QDialog& d) {
        KeyClicks(d, IDC_JOB_NAME, QString::fromUtf8(pszName));
        Click(d, IDC_JOB_SCHEDULE);
        return Click(d, IDOK);
    };
}

int ConfirmAtStartup(QDialog& d) {
    Click(d, IDC_PLAN_ATSTARTUP);
    return Click(d, IDOK);
}

TEST_F(JobCommandsTest, NewJobLandsInTheStoreAndTheServerHearsOfIt) {
    m_script.Then(NameAndSchedule("Dyski")).Then(ConfirmAtStartup);
    EXPECT_TRUE(RunNewJobCommand(*m_store));
    EXPECT_EQ(Names(), std::vector<std::string>{"Dyski"});
    ASSERT_EQ(m_doc.hints.size(), 1u);
    EXPECT_EQ(m_doc.hints[0].nHint, kHintJobAdded);
    EXPECT_TRUE(Signalled());
    EXPECT_FALSE(Signalled());
    CJob stored;
    ASSERT_TRUE(m_store->ReadJob("Dyski", &stored));
    EXPECT_TRUE(stored.IsActive());
    EXPECT_TRUE(stored.GetPeriod()->IsAtStartup());
}

TEST_F(JobCommandsTest, DuplicateNewNameReopensWithTheEnteredValues) {
    Store("Dyski", 5);
    m_script.Then(NameAndSchedule("dyski")).Then(ConfirmAtStartup);
    m_script.Then([this](QDialog& d) {
        // The store refused the name (message 138) and the dialog is back.
        EXPECT_EQ(m_sink.messages, std::vector<unsigned>{kMsgNameTaken});
        EXPECT_EQ(Text(d, IDC_JOB_NAME), "dyski");
        EXPECT_TRUE(IsChecked(d, IDC_JOB_ACTIVE));
        EXPECT_TRUE(IsEnabled(d, IDOK));
        return Click(d, IDCANCEL);
    });
    EXPECT_FALSE(RunNewJobCommand(*m_store));
    EXPECT_EQ(Names(), std::vector<std::string>{"Dyski"});
    EXPECT_TRUE(m_doc.hints.empty());
    EXPECT_FALSE(Signalled());
    EXPECT_TRUE(m_script.Done());
}

TEST_F(JobCommandsTest, RenameKeepsOneValueUnderTheNewNameInTheSameRow) {
    Store("Stara", 5);
    m_script.Then([](QDialog& d) {
        ClearText(d, IDC_JOB_NAME);
        KeyClicks(d, IDC_JOB_NAME, "Nowa");
        return Click(d, IDOK);
    });
    EXPECT_TRUE(RunEditJobCommand(*m_store, 4, "Stara"));
    EXPECT_EQ(Names(), std::vector<std::string>{"Nowa"});
    ASSERT_EQ(m_doc.hints.size(), 1u);
    EXPECT_EQ(m_doc.hints[0].nHint, kHintJobChanged);
    EXPECT_EQ(m_doc.hints[0].name, "Nowa");
    EXPECT_EQ(m_doc.hints[0].nRow, 4);
    EXPECT_TRUE(Signalled());
    CJob stored;
    ASSERT_TRUE(m_store->ReadJob("Nowa", &stored));
    EXPECT_EQ(static_cast<CHourly*>(stored.GetPeriod())->GetMinute(), 5);
}

TEST_F(JobCommandsTest, AStartMadeWhileTheDialogIsOpenSurvivesTheEdit) {
    m_clock.Set(LocalTime(2026, 12, 7, 22, 16, 30));
    Store("Edytowana", 17);
    m_script.Then([this](QDialog& d) {
        // The server starts the job at 22:17:00 while the user types.
        m_clock.Set(LocalTime(2026, 12, 7, 22, 17, 0));
        CRegInterface server;
        CJob job;
        EXPECT_TRUE(server.Open(kJobKeyPath));
        EXPECT_TRUE(server.ReadJob("Edytowana", &job));
        job.SetLastStartAt(CurrentTime(), true);
        EXPECT_TRUE(server.WriteJob(job, kHintJobChanged, nullptr));
        ClearText(d, IDC_JOB_NAME);
        KeyClicks(d, IDC_JOB_NAME, "Edytowana 2");
        return Click(d, IDOK);
    });
    EXPECT_TRUE(RunEditJobCommand(*m_store, 0, "Edytowana"));
    EXPECT_EQ(Names(), std::vector<std::string>{"Edytowana 2"});
    CJob stored;
    ASSERT_TRUE(m_store->ReadJob("Edytowana 2", &stored));
    EXPECT_TRUE(stored.HasLastStart());
    EXPECT_EQ(stored.GetLastStart(), COleDateTime(2026, 12, 7, 22, 17, 0));
    // Not due again at 22:17:15: the next start is an hour after the first.
    EXPECT_EQ(stored.GetSecondsToNextStart(LocalTime(2026, 12, 7, 22, 17, 15)), 3600 - 15);
}

TEST_F(JobCommandsTest, AnEditUndoesNothingStoredMeanwhileAndBringsNoDeletedJobBack) {
    Store("Wspólna", 5);
    Store("Usuwana", 7);
    CRegInterface other;
    ASSERT_TRUE(other.Open(kJobKeyPath));
    auto renameTo = [&](const char* pszName, std::function<void()> meanwhile) {
        return [=](QDialog& d) {
            meanwhile();
            ClearText(d, IDC_JOB_NAME);
            KeyClicks(d, IDC_JOB_NAME, pszName);
            return Click(d, IDOK);
        };
    };
    m_script.Then(
        renameTo("Wspólna 2", [&] { EXPECT_TRUE(other.SetJobActive("Wspólna", false)); }));
    EXPECT_TRUE(RunEditJobCommand(*m_store, 0, "Wspólna"));
    CJob stored;
    ASSERT_TRUE(m_store->ReadJob("Wspólna 2", &stored));
    EXPECT_FALSE(stored.IsActive());

    m_script.Then(renameTo("Usuwana 2", [&] { EXPECT_TRUE(other.DeleteJob("Usuwana")); }));
    m_script.ThenMessage(319);
    EXPECT_FALSE(RunEditJobCommand(*m_store, 1, "Usuwana"));
    EXPECT_EQ(Names(), std::vector<std::string>{"Wspólna 2"});
    EXPECT_TRUE(m_script.Done());
}

TEST_F(JobCommandsTest, RenameOntoAnotherJobsNameIsRefused) {
    Store("Pierwsza", 5);
    Store("Druga", 10);
    m_script.Then([](QDialog& d) {
        ClearText(d, IDC_JOB_NAME);
        KeyClicks(d, IDC_JOB_NAME, "DRUGA");
        return Click(d, IDOK);
    });
    m_script.ThenMessage(138);
    m_script.Then([](QDialog& d) {
        EXPECT_EQ(Text(d, IDC_JOB_NAME), "DRUGA"); // reopened with the entry
        return Click(d, IDCANCEL);
    });
    EXPECT_FALSE(RunEditJobCommand(*m_store, 0, "Pierwsza"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Pierwsza", "Druga"}));
    CJob other;
    ASSERT_TRUE(m_store->ReadJob("Druga", &other));
    EXPECT_EQ(static_cast<CHourly*>(other.GetPeriod())->GetMinute(), 10);
    EXPECT_TRUE(m_doc.hints.empty());
    EXPECT_FALSE(Signalled());
    EXPECT_TRUE(m_script.Done());
}

TEST_F(JobCommandsTest, ACaseOnlyRenameKeepsOneJob) {
    Store("dyski", 5);
    m_script.Then([](QDialog& d) {
        ClearText(d, IDC_JOB_NAME);
        KeyClicks(d, IDC_JOB_NAME, "Dyski");
        return Click(d, IDOK);
    });
    EXPECT_TRUE(RunEditJobCommand(*m_store, 0, "dyski"));
    EXPECT_EQ(Names(), std::vector<std::string>{"Dyski"});
    EXPECT_TRUE(m_script.Messages().empty());
}

TEST_F(JobCommandsTest, CancelWritesNothingAndSignalsNothing) {
    Store("Dyski", 5);
    m_script.Then([](QDialog& d) {
        KeyClicks(d, IDC_JOB_NAME, "X");
        Click(d, IDC_JOB_SCHEDULE);
        return Click(d, IDCANCEL);
    });
    m_script.Then(ConfirmAtStartup);
    EXPECT_FALSE(RunEditJobCommand(*m_store, 0, "Dyski"));
    m_script.Then([](QDialog& d) { return Click(d, IDCANCEL); });
    EXPECT_FALSE(RunNewJobCommand(*m_store));
    EXPECT_EQ(Names(), std::vector<std::string>{"Dyski"});
    CJob stored;
    ASSERT_TRUE(m_store->ReadJob("Dyski", &stored));
    EXPECT_FALSE(stored.GetPeriod()->IsAtStartup());
    EXPECT_TRUE(m_doc.hints.empty());
    EXPECT_FALSE(Signalled());
}

TEST_F(JobCommandsTest, AVanishedJobIsNotEdited) {
    EXPECT_FALSE(RunEditJobCommand(*m_store, 0, "Nie ma"));
    EXPECT_FALSE(RunEditJobCommand(*m_store, 0, nullptr));
    EXPECT_TRUE(m_script.Titles().empty());
}

} // namespace

// At 13:20:45 a one-off an hour ago is refused with tempora's words and the
// schedule dialog stays open; a daily job at the current minute first runs
// tomorrow instead of at once.
TEST_F(JobCommandsTest, ANewScheduleNeverStartsForATimeThatHasCome) {
    m_script.Then(NameAndSchedule("Dyski"));
    m_script.Then([](QDialog& d) {
        auto& plan = static_cast<CPlanDialog&>(d);
        Click(d, IDC_PLAN_ONCE);
        QTest::keyClick(plan.TimePicker(), Qt::Key_Down); // an hour back
        EXPECT_EQ(Click(d, IDOK), 0);                     // still open
        Click(d, IDC_PLAN_DAILY);
        EXPECT_EQ(plan.TimePicker()->text(), "13:20");
        return Click(d, IDOK);
    });
    m_script.Then([](QDialog& d) {
        EXPECT_EQ(MessageBoxText(d).toStdString(),
                  "Termin 2026-12-07 12:20 już minął; analiza nigdy by się nie uruchomiła.");
        return IDOK;
    });
    EXPECT_TRUE(RunNewJobCommand(*m_store));
    EXPECT_TRUE(m_script.Done());
    CJob stored;
    ASSERT_TRUE(m_store->ReadJob("Dyski", &stored));
    ASSERT_EQ(stored.GetPeriod()->GetKind(), PERIOD_DAILY);
    EXPECT_EQ(stored.GetSecondsToNextStart(CurrentTime()), 24 * 3600 - 45);
}
