#pragma once

// A job list in a fresh state root: the job key exists, the clock stands
// still, message boxes and file dialogs are answered by the test.

#include "AtStartup.h"
#include "Clock.h"
#include "CommandLayer.h"
#include "Daily.h"
#include "FixedClock.h"
#include "Job.h"
#include "ModalSeam.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "NamedMutex.h"
#include "RegInterface.h"
#include "TempStateRoot.h"
#include "TestApp.h"
#include "VigilDoc.h"
#include "VigilView.h"

#include <QFileDialog>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <deque>
#include <memory>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

// A shown message box: its string id (0 for a composed text), text and style.
struct ShownMessage {
    unsigned id;
    QString text;
    unsigned type;
};

class ViewFixture : public ::testing::Test {
protected:
    // Noon on Tuesday 8 December 2026.
    static constexpr int kYear = 2026, kMonth = 12, kDay = 8;

    void SetUp() override {
        TestApp();
        setenv("TZ", "UTC", 1);
        tzset();
        ASSERT_TRUE(m_root.IsValid());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        m_now = LocalTime(kYear, kMonth, kDay, 12, 0);
        SetCurrentTimeForTesting(m_now);
        ASSERT_TRUE(m_raw.Open(kJobKeyPath));
        m_hook =
            std::make_unique<ScopedModalHook>([this](QDialog& dialog) { return Answer(dialog); });
    }

    void TearDown() override {
        m_view.reset();
        m_doc.reset();
        m_hook.reset();
        SetCurrentTimeForTesting(std::nullopt);
        CNamedBroadcast::Remove(kClientEventName);
        CNamedEvent::Remove(kServerEventName);
    }

    int Answer(QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            m_fileDialogTitles.push_back(files->windowTitle());
            m_fileDialogFilters.push_back(files->nameFilters());
            if (m_filesToPick.empty())
                return IDCANCEL;
            const QString path = QString::fromStdString(m_filesToPick.front());
            m_filesToPick.pop_front();
            if (path.isEmpty())
                return IDCANCEL;
            files->selectFile(path);
            return IDOK;
        }
        if (IsMessageBox(dialog)) {
            m_messages.push_back(
                {MessageBoxStringId(dialog), MessageBoxText(dialog), MessageBoxType(dialog)});
            if (!m_answers.empty()) {
                const int answer = m_answers.front();
                m_answers.pop_front();
                return answer;
            }
            return (MessageBoxType(dialog) & 0x0F) == MB_YESNO ? IDNO : IDOK;
        }
        return IDCANCEL;
    }

    // A daily job at hh:mm whose count started at reference (default: now).
    static std::unique_ptr<CJob> MakeJob(const char* name, int hour, int minute,
                                         time_t reference = 0, const char* dir = nullptr) {
        auto job = std::make_unique<CJob>();
        job->SetName(name);
        CDaily daily;
        daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                  nullptr);
        // The job record counts from one minute before the moment given.
        const time_t ref = (reference != 0 ? reference : CurrentTime()) + 60;
        job->SetPeriod(daily, COleDateTime(ref));
        if (dir != nullptr)
            job->GetScanParameter().m_strDirectory = dir;
        return job;
    }

    // Writes a job straight into the store, as another program would.
    void Store(CJob& job) { ASSERT_TRUE(m_raw.WriteJob(job, 0, nullptr)); }

    // The document and the view, filled once, with the server "running"
    // (the presence test then stays quiet) unless bServerRunning is false.
    void OpenView(bool bServerRunning = true) {
        if (bServerRunning) {
            m_server = std::make_unique<CNamedMutex>(kServerMutexName);
            ASSERT_TRUE(m_server->TryLock());
        }
        m_window = std::make_unique<QWidget>();
        m_commands = new CCommandLayer(m_window.get());
        m_doc = std::make_unique<CVigilDoc>();
        ASSERT_TRUE(m_doc->OnNewDocument());
        m_doc->RegisterCommands(*m_commands);
        m_view = std::make_unique<CVigilView>(m_doc.get(), m_commands);
        m_view->OnInitialUpdate();
    }

    // Names of the rows from top to bottom.
    std::vector<std::string> RowNames() const {
        std::vector<std::string> out;
        for (int row = 0; row < m_view->rowCount(); ++row)
            out.push_back(m_view->item(row, 0)->text().toStdString());
        return out;
    }

    QString Cell(int row, int col) const { return m_view->item(row, col)->text(); }
    bool Ticked(int row) const { return m_view->item(row, 0)->checkState() == Qt::Checked; }

    CTempStateRoot m_root;
    time_t m_now = 0;
    CRegInterface m_raw;
    std::unique_ptr<ScopedModalHook> m_hook;
    std::unique_ptr<CNamedMutex> m_server;
    std::unique_ptr<QWidget> m_window;
    CCommandLayer* m_commands = nullptr;
    std::unique_ptr<CVigilDoc> m_doc;
    std::unique_ptr<CVigilView> m_view;
    std::vector<ShownMessage> m_messages;
    std::deque<int> m_answers;
    std::deque<std::string> m_filesToPick;
    std::vector<QString> m_fileDialogTitles;
    std::vector<QStringList> m_fileDialogFilters;
};
