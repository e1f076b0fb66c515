#include "ViewFixture.h"

#include "RefreshThread.h"
#include "ResourceIds.h"

#include <QElapsedTimer>
#include <QProcess>

#include <atomic>

namespace {
class RefreshTest : public ViewFixture {
protected:
    static bool RunHelper(const char* mode) {
        QProcess helper;
        helper.start(QStringLiteral(SIGNAL_HELPER), {QString::fromLatin1(mode)});
        return helper.waitForFinished(5000) && helper.exitCode() == 0;
    }

    // Processes events until pred holds or ms pass.
    template <class Pred> static bool WaitFor(Pred pred, int ms = 3000) {
        QElapsedTimer timer;
        timer.start();
        while (!pred() && timer.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return pred();
    }
};
} // namespace

TEST_F(RefreshTest, SignalFromAnotherProcessRewritesTheRows) {
    auto a = MakeJob("a", 13, 0);
    Store(*a);
    Store(*MakeJob("b", 13, 0));
    OpenView();
    a->GetScanParameter().m_strDirectory = "/changed";
    Store(*a);
    ASSERT_TRUE(m_raw.DeleteJob("b"));
    EXPECT_EQ(Cell(0, 1), QString("/"));

    ASSERT_TRUE(RunHelper("signal"));
    EXPECT_TRUE(WaitFor([&] { return m_view->rowCount() == 1 && Cell(0, 1) == "/changed"; }));
}

// Two windows open: every signal of another process refreshes both, not
// one of them.
TEST_F(RefreshTest, EverySignalRefreshesEveryOpenList) {
    OpenView();
    CVigilView second(m_doc.get(), nullptr);
    second.OnInitialUpdate();
    for (int i = 1; i <= 6; ++i) {
        const std::string name = "job" + std::to_string(i);
        Store(*MakeJob(name.c_str(), 13, 0));
        ASSERT_TRUE(RunHelper("signal"));
        EXPECT_TRUE(WaitFor([&] { return m_view->rowCount() == i && second.rowCount() == i; }))
            << i << ": " << m_view->rowCount() << " and " << second.rowCount();
    }
}

TEST_F(RefreshTest, ServerHeldByAnotherProcessMeansNoNotice) {
    QProcess holder;
    holder.start(QStringLiteral(SIGNAL_HELPER), {QStringLiteral("hold")});
    ASSERT_TRUE(holder.waitForReadyRead(5000));
    ASSERT_EQ(holder.readLine().trimmed(), QByteArray("held"));
    OpenView(false);
    EXPECT_TRUE(m_messages.empty());
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(5000));

    // Once the server is gone the next start tells the user, once.
    m_view.reset();
    m_view = std::make_unique<CVigilView>(m_doc.get(), m_commands);
    m_view->OnInitialUpdate();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].id, 172u);
}

TEST_F(RefreshTest, SignalsCollapseAndNothingArrivesAfterTheStop) {
    auto event = std::make_shared<CNamedBroadcast>(kClientEventName);
    std::atomic<int> refreshes{0};
    CRefreshThread thread(event, [&] { ++refreshes; });
    thread.Start();
    ASSERT_TRUE(thread.IsRunning());
    // Two signals before the thread wakes count as one or two, never more.
    event->Set();
    event->Set();
    EXPECT_TRUE(WaitFor([&] { return refreshes.load() >= 1; }));
    WaitFor([] { return false; }, 300);
    EXPECT_GE(refreshes.load(), 1);
    EXPECT_LE(refreshes.load(), 2);

    // A signal whose refresh has not run yet when the thread stops is dropped.
    const int before = refreshes.load();
    event->Set();
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(thread.Stop(5000));
    EXPECT_LT(timer.elapsed(), 1000);
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(refreshes.load(), before);
    const int after = refreshes.load();
    event->Set();
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(refreshes.load(), after);
    EXPECT_FALSE(thread.IsRunning());
}

// Two windows of their own: what one changes, the other shows at once; a
// command on a row whose job is gone says so and refreshes the list.
TEST_F(RefreshTest, ChangesInOneWindowReachTheOtherAndStaleRowsAreReported) {
    Store(*MakeJob("Dom", 13, 0));
    Store(*MakeJob("Praca", 13, 0));
    OpenView();
    QWidget frame;
    auto* commands = new CCommandLayer(&frame);
    CVigilDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    CVigilView other(&doc, commands);
    other.OnInitialUpdate();

    other.selectRow(other.FindJobRow("Praca"));
    m_answers.push_back(IDYES);
    ASSERT_TRUE(commands->Execute(res::ID_JOB_DELETE));
    EXPECT_TRUE(WaitFor([&] { return m_view->FindJobRow("Praca") < 0; }));

    // Deleted by a program that tells nobody: the rows are stale.
    ASSERT_TRUE(m_raw.DeleteJob("Dom"));
    m_messages.clear();
    m_view->selectRow(m_view->FindJobRow("Dom"));
    ASSERT_TRUE(m_commands->Execute(res::ID_JOB_EDIT));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.contains(QString::fromUtf8("już nie ma: „Dom”")));
    EXPECT_EQ(m_view->rowCount(), 0);
}
