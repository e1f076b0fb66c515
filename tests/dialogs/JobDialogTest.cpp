// The job dialog on a job the caller owns: name and switch written at every
// keystroke, the OK and default-button rules, and the two sub-dialogs.

#include "JobDialog.h"
#include "AtStartup.h"
#include "DialogTestSupport.h"
#include "Hourly.h"
#include "Job.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace res;

std::vector<BYTE> Bytes(const CJob& job) {
    return job.Store();
}

// The stored active switch: the byte after the name.
bool ActiveFlag(const CJob& job) {
    const std::vector<BYTE> bytes = job.Store();
    return bytes[4 + std::string(job.GetName()).size() + 1] != 0;
}

// Confirms the schedule dialog with "at computer start".
int ConfirmAtStartup(QDialog& d) {
    Click(d, IDC_PLAN_ATSTARTUP);
    return Click(d, IDOK);
}

class JobDialogTest : public testing::Test {
protected:
    FixedClock m_clock{2026, 12, 7, 13, 20, 45};
    CJob m_job;
    ModalScript m_script;
};

TEST_F(JobDialogTest, NewJobNeedsANameAndASchedule) {
    CJobDialog dlg(&m_job);
    m_script.Then([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Ustawienia analizy");
        EXPECT_EQ(d.focusWidget(), Control(d, IDC_JOB_NAME));
        EXPECT_FALSE(IsChecked(d, IDC_JOB_ACTIVE));
        EXPECT_FALSE(IsEnabled(d, IDC_JOB_ACTIVE));
        EXPECT_FALSE(IsEnabled(d, IDOK));
        EXPECT_EQ(DefaultButtonId(d), IDCANCEL);
        KeyClicks(d, IDC_JOB_NAME, "Dyski");
        EXPECT_FALSE(IsEnabled(d, IDOK)); // a name alone is not enough
        Click(d, IDC_JOB_SCHEDULE);
        EXPECT_TRUE(IsEnabled(d, IDC_JOB_ACTIVE));
        EXPECT_TRUE(IsChecked(d, IDC_JOB_ACTIVE));
        EXPECT_TRUE(IsEnabled(d, IDOK));
        EXPECT_EQ(DefaultButtonId(d), IDOK);
        QTest::keyClick(&d, Qt::Key_Return);
        return d.result();
    });
    m_script.Then(ConfirmAtStartup);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_STREQ(m_job.GetName(), "Dyski");
    EXPECT_TRUE(m_job.IsActive());
    EXPECT_TRUE(m_job.GetPeriod()->IsAtStartup());
    // The count restarts one minute before the schedule dialog opened.
    EXPECT_FALSE(m_job.HasLastStart());
    EXPECT_EQ(m_job.GetLastStart(), COleDateTime(2026, 12, 7, 13, 19, 0));
}

TEST_F(JobDialogTest, EveryKeystrokeWritesTheNameAndReevaluatesOk) {
    m_job.SetName("Ab");
    m_job.SetPeriod(CAtStartup(), COleDateTime::GetCurrentTime());
    CJobDialog dlg(&m_job);
    m_script.Then([this](QDialog& d) {
        EXPECT_TRUE(IsEnabled(d, IDOK));
        ClearText(d, IDC_JOB_NAME);
        EXPECT_STREQ(m_job.GetName(), "");
        EXPECT_FALSE(IsEnabled(d, IDOK));
        EXPECT_EQ(DefaultButtonId(d), IDCANCEL);
        KeyClicks(d, IDC_JOB_NAME, "Ż");
        EXPECT_STREQ(m_job.GetName(), "Ż");
        EXPECT_TRUE(IsEnabled(d, IDOK));
        EXPECT_EQ(DefaultButtonId(d), IDOK);
        return Click(d, IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(JobDialogTest, InactiveJobWithAScheduleGetsSwitchedOnByConfirmingIt) {
    CHourly hourly;
    hourly.SetMinute(true, 5);
    m_job.SetName("Co godzinę");
    m_job.SetPeriod(hourly, COleDateTime::GetCurrentTime());
    m_job.SetActive(false);
    CJobDialog dlg(&m_job);
    m_script.Then([](QDialog& d) {
        EXPECT_TRUE(IsEnabled(d, IDC_JOB_ACTIVE));
        EXPECT_FALSE(IsChecked(d, IDC_JOB_ACTIVE));
        Click(d, IDC_JOB_SCHEDULE);
        EXPECT_TRUE(IsChecked(d, IDC_JOB_ACTIVE));
        return Click(d, IDOK);
    });
    m_script.Then([](QDialog& d) { return Click(d, IDOK); }); // unchanged
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(m_job.IsActive());
    EXPECT_EQ(static_cast<CHourly*>(m_job.GetPeriod())->GetMinute(), 5);
}

TEST_F(JobDialogTest, SwitchSetWithAnIncompleteScheduleIsClearedOnReading) {
    m_job.SetName("Bez czasu"); // default daily schedule without a time
    ASSERT_TRUE(ActiveFlag(m_job));
    CJobDialog dlg(&m_job);
    m_script.Then([](QDialog& d) {
        EXPECT_FALSE(IsChecked(d, IDC_JOB_ACTIVE));
        EXPECT_FALSE(IsEnabled(d, IDC_JOB_ACTIVE));
        KeyClicks(d, IDC_JOB_NAME, "!");
        return Click(d, IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_FALSE(ActiveFlag(m_job));
}

TEST_F(JobDialogTest, TheSwitchCanBeTurnedOff) {
    m_job.SetName("A");
    m_job.SetPeriod(CAtStartup(), COleDateTime::GetCurrentTime());
    CJobDialog dlg(&m_job);
    m_script.Then([](QDialog& d) {
        Click(d, IDC_JOB_ACTIVE);
        return Click(d, IDOK);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(m_job.IsActive());
}

TEST_F(JobDialogTest, SubDialogsChangeTheJobOnOkOnly) {
    m_job.SetName("A");
    m_job.SetPeriod(CAtStartup(), COleDateTime(2026, 1, 1, 0, 0, 0));
    CJobDialog dlg(&m_job);
    const std::vector<BYTE> before = Bytes(m_job);
    m_script.Then([](QDialog& d) {
        Click(d, IDC_JOB_OPTIONS);  // cancelled
        Click(d, IDC_JOB_SCHEDULE); // cancelled
        return Click(d, IDCANCEL);
    });
    m_script.Then([](QDialog& d) {
        Click(d, IDC_SCAN_WINDOW_BACKGROUND);
        return Click(d, IDCANCEL);
    });
    m_script.Then([](QDialog& d) {
        Click(d, IDC_PLAN_HOURLY);
        return Click(d, IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_EQ(Bytes(m_job), before);

    m_script.Then([](QDialog& d) {
        Click(d, IDC_JOB_OPTIONS);
        return Click(d, IDOK);
    });
    m_script.Then([](QDialog& d) {
        EXPECT_EQ(Text(d, IDC_SCAN_DIRECTORY).toStdString(), CScanParameter::kDefaultDirectory);
        ClearText(d, IDC_SCAN_DIRECTORY);
        KeyClicks(d, IDC_SCAN_DIRECTORY, "/srv/dane");
        Click(d, IDC_SCAN_WINDOW_BACKGROUND);
        Click(d, 1019); // detailed log
        Click(d, IDC_SCAN_HEURISTIC);
        return Click(d, IDOK);
    });
    dlg.DoModal();
    const CScanParameter& p = m_job.GetScanParameter();
    EXPECT_STREQ(p.GetDirectory(), "/srv/dane");
    EXPECT_EQ(p.m_nWindowMode, 1u);
    EXPECT_EQ(p.m_nEndMode, 2u);
    EXPECT_EQ(p.m_nLogMode, 2u);
    EXPECT_FALSE(p.m_bHeuristic);
    EXPECT_TRUE(p.m_bSubdirectories);
}

TEST_F(JobDialogTest, ALongNameIsCutToTheJobsLimit) {
    CJobDialog dlg(&m_job);
    m_script.Then([](QDialog& d) {
        KeyClicks(d, IDC_JOB_NAME, QString(300, QLatin1Char('n')));
        return Click(d, IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_EQ(std::string(m_job.GetName()), std::string(259, 'n'));
}

// A name the list and the scan log could not carry on one line is refused
// with the reason, and the dialog stays open for a better one.
TEST_F(JobDialogTest, ANameWithAControlCharacterIsRefusedOnOk) {
    m_job.SetPeriod(CAtStartup(), COleDateTime(2026, 12, 7, 13, 0, 0));
    CJobDialog dlg(&m_job);
    m_script.Then([](QDialog& d) {
        KeyClicks(d, IDC_JOB_NAME, "Zła");
        qobject_cast<QLineEdit*>(Control(d, IDC_JOB_NAME))->setText("Zła\tnazwa");
        Click(d, IDOK);
        EXPECT_TRUE(d.isVisible());
        qobject_cast<QLineEdit*>(Control(d, IDC_JOB_NAME))->setText("Dobra nazwa");
        return Click(d, IDOK);
    });
    m_script.Then([](QDialog& box) {
        EXPECT_TRUE(IsMessageBox(box));
        EXPECT_TRUE(MessageBoxText(box).contains(QString::fromUtf8("znak sterujący")))
            << MessageBoxText(box).toStdString();
        return IDOK;
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_STREQ(m_job.GetName(), "Dobra nazwa");
}

} // namespace
