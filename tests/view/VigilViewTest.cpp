#include "ViewFixture.h"

#include "Hourly.h"

#include "DialogBuilder.h"
#include "OtherUser.h"
#include "ResourceIds.h"
#include "Settings.h"

#include <QAction>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QPalette>
#include <QToolTip>

#include <chrono>
#include <thread>

namespace {
constexpr const char* kSettingsKey = "Software\\Kestrow\\Rampart 8\\Tempora";

class ViewTest : public ViewFixture {};
} // namespace

TEST_F(ViewTest, EmptyStoreShowsSixColumnsAndTheSortMark) {
    OpenView();
    EXPECT_EQ(m_view->rowCount(), 0);
    const char* titles[] = {"Nazwa",         "Katalog", "Czas", "Następny start za...",
                            "Ostatni start", "Wynik"};
    const int widths[] = {180, 150, 120, 120, 120, 120};
    ASSERT_EQ(m_view->columnCount(), 6);
    for (int col = 0; col < 6; ++col) {
        EXPECT_EQ(m_view->horizontalHeaderItem(col)->text(), QString::fromUtf8(titles[col]));
        // The widths are for a font of average letter width 6, scaled to the
        // list's; the schedule and date columns are wider when their longest
        // texts need it.
        const int scaled = (widths[col] * CDialogUnits(m_view->font()).BaseX() + 3) / 6;
        if (col >= CVigilView::ColTime && col <= CVigilView::ColLastStart)
            EXPECT_GE(m_view->horizontalHeader()->sectionSize(col), scaled);
        else
            EXPECT_EQ(m_view->horizontalHeader()->sectionSize(col), scaled);
    }
    bool ascending = false;
    EXPECT_EQ(m_view->GetSortMarkColumn(&ascending), 0);
    EXPECT_TRUE(ascending);
    EXPECT_TRUE(m_messages.empty());

    // The empty list shows how to add a job; the hint goes with the first row.
    m_view->resize(600, 300);
    auto inked = [this] {
        const QImage image = m_view->viewport()->grab().toImage();
        const QRgb ground = image.pixel(1, 1);
        int count = 0;
        for (int y = image.height() / 3; y < 2 * image.height() / 3; ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) != ground;
        return count;
    };
    EXPECT_GT(inked(), 50);
    Store(*MakeJob("a", 13, 0));
    m_doc->UpdateAllViews(nullptr, 1, nullptr);
    ASSERT_EQ(m_view->rowCount(), 1);
    EXPECT_EQ(inked(), 0);
}

TEST_F(ViewTest, LongScheduleDateAndCountdownTextsFitTheDefaultWidths) {
    auto hourly = std::make_unique<CJob>();
    hourly->SetName("Co godzinę");
    CHourly period;
    period.SetMinute(true, 25);
    hourly->SetPeriod(period, COleDateTime(CurrentTime() - 3 * 3600));
    Store(*hourly);
    auto daily = MakeJob("Codziennie", 8, 30);
    daily->SetLastStart(COleDateTime(CurrentTime() - 3600), true);
    Store(*daily);
    OpenView();
    auto fits = [this](int row, int col) {
        const QString text = m_view->item(row, col)->text();
        return m_view->fontMetrics().horizontalAdvance(text) + 8 <=
               m_view->horizontalHeader()->sectionSize(col);
    };
    // The list starts with the countdown; the texts of repeating schedules
    // and the last starts fit as well.
    ASSERT_TRUE(m_view->IsCountdownMode());
    for (int row = 0; row < m_view->rowCount(); ++row)
        for (int col : {CVigilView::ColTime, CVigilView::ColNextStart, CVigilView::ColLastStart})
            EXPECT_TRUE(fits(row, col)) << m_view->item(row, col)->text().toStdString();
}

namespace {
// Rows of a mark's picture that hold a visible pixel, and how many each holds.
std::vector<int> MarkRows(const QIcon& icon, QColor* pColour) {
    const QImage image = icon.pixmap(QSize(32, 32)).toImage();
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200) {
                ++count;
                *pColour = QColor(image.pixel(x, y));
            }
        if (count > 0)
            rows.push_back(count);
    }
    return rows;
}
} // namespace

// The marks are solid triangles in the header's text colour, on a light
// header as on a dark one, and the two directions point opposite ways.
TEST_F(ViewTest, SortMarksReadOnLightAndDarkHeaders) {
    OpenView();
    for (const bool dark : {false, true}) {
        QPalette palette = m_view->palette();
        palette.setColor(QPalette::Button, dark ? QColor(30, 30, 30) : QColor(240, 240, 240));
        palette.setColor(QPalette::ButtonText, dark ? Qt::white : Qt::black);
        m_view->setPalette(palette);
        QColor colour;
        const std::vector<int> down = MarkRows(m_view->horizontalHeaderItem(0)->icon(), &colour);
        ASSERT_GE(down.size(), 4u);
        EXPECT_EQ(colour.rgb(), dark ? QColor(Qt::white).rgb() : QColor(Qt::black).rgb());
        EXPECT_GT(down.front(), 2 * down.back()); // wide at the top: ascending
        const std::vector<int> up = MarkRows(m_view->SortMarkIcon(false), &colour);
        ASSERT_GE(up.size(), 4u);
        EXPECT_GT(up.back(), 2 * up.front()); // wide at the bottom: descending
    }
}

TEST_F(ViewTest, RowsShowTheJobTextsChecksAndOwnKeys) {
    auto a = MakeJob("Alfa", 13, 0, 0, "/home");
    auto b = MakeJob("Beta", 14, 30);
    b->SetActive(false);
    auto c = std::make_unique<CJob>();
    c->SetName("Gamma"); // default daily schedule without a time: cannot be active
    Store(*a);
    Store(*b);
    Store(*c);
    OpenView();
    ASSERT_EQ(RowNames(), (std::vector<std::string>{"Alfa", "Beta", "Gamma"}));
    EXPECT_EQ(Cell(0, 1), QString("/home"));
    EXPECT_EQ(Cell(0, 2), QString::fromUtf8(a->GetPeriodText(GetResourceHandle())));
    EXPECT_EQ(Cell(0, 3), QString("1 godzina"));
    EXPECT_EQ(Cell(1, 3), QString::fromUtf8("wyłączony"));
    EXPECT_EQ(Cell(0, 4), QString());
    EXPECT_TRUE(Ticked(0));
    EXPECT_FALSE(Ticked(1));
    EXPECT_FALSE(Ticked(2));
    EXPECT_TRUE(m_view->GetRowData(0) & CVigilView::kCheckMirror);
    EXPECT_FALSE(m_view->GetRowData(1) & CVigilView::kCheckMirror);
    QSet<quint32> keys;
    for (int row = 0; row < 3; ++row)
        keys.insert(m_view->GetRowData(row) & ~CVigilView::kCheckMirror);
    EXPECT_EQ(keys.size(), 3);
}

// A text cut off by a narrow column is its cell's tool tip; one that fits
// needs none.
TEST_F(ViewTest, CutOffTextsShowWhole) {
    const std::string folder = "/home/jan/Dokumenty/Projekty/Bardzo długa nazwa katalogu";
    auto job = MakeJob("Alfa", 13, 0, 0, folder.c_str());
    Store(*job);
    OpenView();
    m_view->resize(900, 300);
    m_view->show();
    auto tipAt = [this](int col) {
        QToolTip::hideText(); // which takes a moment
        for (int i = 0; i < 200 && QToolTip::isVisible(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            QCoreApplication::processEvents();
        }
        const QRect cell = m_view->visualItemRect(m_view->item(0, col));
        QHelpEvent help(QEvent::ToolTip, cell.center(),
                        m_view->viewport()->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(m_view->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    m_view->setColumnWidth(1, 60);
    EXPECT_EQ(tipAt(1).toStdString(), folder);
    m_view->setColumnWidth(
        1, m_view->fontMetrics().horizontalAdvance(QString::fromStdString(folder)) + 40);
    EXPECT_EQ(tipAt(1), QString());
    EXPECT_EQ(tipAt(0), QString()); // "Alfa" fits beside its check box
    QToolTip::hideText();
}

TEST_F(ViewTest, SortsEveryColumnBothWaysWithNoStartBeforeDueBeforeFuture) {
    auto off = MakeJob("e-off", 13, 0, 0, "/b");
    off->SetActive(false);
    auto startup = std::make_unique<CJob>();
    startup->SetName("D-startup");
    startup->SetPeriod(CAtStartup(), COleDateTime(m_now));
    startup->GetScanParameter().m_strDirectory = "/A";
    // Counted from yesterday morning: its 10:00 start is past, so it is due.
    auto due = MakeJob("c-due", 10, 0, LocalTime(kYear, kMonth, kDay - 1, 9, 0), "/c");
    due->SetLastStart(COleDateTime(LocalTime(kYear, kMonth, kDay - 1, 9, 0)), true);
    auto soon = MakeJob("B-soon", 13, 0, 0, "/e");
    soon->SetLastStart(COleDateTime(LocalTime(kYear, kMonth, kDay, 11, 0)), true);
    auto later = MakeJob("a-later", 15, 0, 0, "/d");
    for (CJob* job : {later.get(), soon.get(), due.get(), startup.get(), off.get()})
        Store(*job);
    OpenView();
    using Names = std::vector<std::string>;
    EXPECT_EQ(RowNames(), (Names{"a-later", "B-soon", "c-due", "D-startup", "e-off"}));

    m_view->OnColumnClick(CVigilView::ColName);
    EXPECT_EQ(RowNames(), (Names{"e-off", "D-startup", "c-due", "B-soon", "a-later"}));

    m_view->OnColumnClick(CVigilView::ColFolder);
    EXPECT_EQ(RowNames(), (Names{"D-startup", "e-off", "c-due", "a-later", "B-soon"}));
    m_view->OnColumnClick(CVigilView::ColFolder);
    EXPECT_EQ(RowNames(), (Names{"B-soon", "a-later", "c-due", "e-off", "D-startup"}));

    // No next start (off, at start-up) before due now before future starts;
    // equal keys keep their order.
    m_view->OnColumnClick(CVigilView::ColNextStart);
    EXPECT_EQ(RowNames(), (Names{"e-off", "D-startup", "c-due", "B-soon", "a-later"}));
    m_view->OnColumnClick(CVigilView::ColNextStart);
    EXPECT_EQ(RowNames(), (Names{"a-later", "B-soon", "c-due", "e-off", "D-startup"}));

    // Never started first.
    m_view->OnColumnClick(CVigilView::ColLastStart);
    EXPECT_EQ(RowNames(), (Names{"a-later", "e-off", "D-startup", "c-due", "B-soon"}));
    m_view->OnColumnClick(CVigilView::ColLastStart);
    EXPECT_EQ(RowNames(), (Names{"B-soon", "c-due", "a-later", "e-off", "D-startup"}));
    bool ascending = true;
    EXPECT_EQ(m_view->GetSortMarkColumn(&ascending), CVigilView::ColLastStart);
    EXPECT_FALSE(ascending);

    // The schedule column does not react.
    m_view->OnColumnClick(CVigilView::ColTime);
    EXPECT_EQ(m_view->GetSortColumn(), CVigilView::ColLastStart);
    EXPECT_FALSE(m_view->IsSortAscending());
    EXPECT_EQ(RowNames(), (Names{"B-soon", "c-due", "a-later", "e-off", "D-startup"}));
}

TEST_F(ViewTest, NameClicksSortAscendingThenDescendingAndMoveTheMark) {
    for (const char* name : {"b", "C", "a"})
        Store(*MakeJob(name, 13, 0));
    RegSetDword(HKEY_CURRENT_USER, kSettingsKey, "SortCol", 3);
    OpenView();
    EXPECT_EQ(m_view->GetSortMarkColumn(), 3);
    m_view->OnColumnClick(CVigilView::ColName);
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"a", "b", "C"}));
    bool ascending = false;
    EXPECT_EQ(m_view->GetSortMarkColumn(&ascending), 0);
    EXPECT_TRUE(ascending);
    EXPECT_TRUE(m_view->horizontalHeaderItem(3)->icon().isNull());
    const QIcon down = m_view->horizontalHeaderItem(0)->icon();
    m_view->OnColumnClick(CVigilView::ColName);
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"C", "b", "a"}));
    EXPECT_EQ(m_view->GetSortMarkColumn(&ascending), 0);
    EXPECT_FALSE(ascending);
    EXPECT_NE(m_view->horizontalHeaderItem(0)->icon().cacheKey(), down.cacheKey());
}

TEST_F(ViewTest, StoredScheduleColumnKeepsStoreOrderWithMarkOnIt) {
    for (const char* name : {"b", "c", "a"})
        Store(*MakeJob(name, 13, 0));
    RegSetDword(HKEY_CURRENT_USER, kSettingsKey, "SortCol", 2);
    OpenView();
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(m_view->GetSortMarkColumn(), 2);
}

TEST_F(ViewTest, SortReadsEachRowOnceAndRowsKeepTheirOwnJobs) {
    for (const char* name : {"d", "b", "a", "c"})
        Store(*MakeJob(name, 13, 0));
    OpenView();
    // Delete one, add another: keys stay unique and each row sorts by its job.
    ASSERT_TRUE(m_doc->GetStore().DeleteJob("b"));
    auto e = MakeJob("e", 9, 0);
    ASSERT_TRUE(m_doc->GetStore().AddJob(*e));
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"a", "c", "d", "e"}));
    QSet<quint32> keys;
    for (int row = 0; row < m_view->rowCount(); ++row)
        keys.insert(m_view->GetRowData(row) & ~CVigilView::kCheckMirror);
    EXPECT_EQ(keys.size(), 4);

    const long before = m_view->GetStoreReads();
    m_view->OnColumnClick(CVigilView::ColNextStart);
    EXPECT_EQ(m_view->GetStoreReads() - before, m_view->rowCount());
    EXPECT_EQ(RowNames().back(), "e"); // 09:00 tomorrow comes last
}

TEST_F(ViewTest, HintsAddRemoveAndRewriteRows) {
    auto a = MakeJob("a", 13, 0);
    auto b = MakeJob("b", 14, 0);
    Store(*a);
    Store(*b);
    OpenView();

    // Jobs added by another program appear with hint 1, once each.
    auto c = MakeJob("c", 15, 0);
    Store(*c);
    m_view->OnUpdate(nullptr, 1, nullptr);
    m_view->OnUpdate(nullptr, 1, nullptr);
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"a", "b", "c"}));

    // Hint 2 drops the rows whose jobs are gone.
    ASSERT_TRUE(m_raw.DeleteJob("b"));
    m_view->OnUpdate(nullptr, 2, nullptr);
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"a", "c"}));

    // Hint 3 with a job rewrites its row (found by name).
    a->GetScanParameter().m_strDirectory = "/srv";
    Store(*a);
    m_view->OnUpdate(nullptr, 3, a.get());
    EXPECT_EQ(Cell(0, 1), QString("/srv"));
    // A job that no row shows changes nothing.
    auto ghost = MakeJob("ghost", 1, 0);
    m_view->OnUpdate(nullptr, 3, ghost.get());
    EXPECT_EQ(m_view->rowCount(), 2);

    // Hint 3 without a job re-reads every row; a vanished job keeps its texts.
    c->SetActive(false);
    Store(*c);
    a->GetScanParameter().m_strDirectory = "/opt";
    Store(*a);
    m_view->OnUpdate(nullptr, 3, nullptr);
    EXPECT_EQ(Cell(0, 1), QString("/opt"));
    EXPECT_FALSE(Ticked(1));
    EXPECT_EQ(Cell(1, 3), QString::fromUtf8("wyłączony"));

    // Other hints do nothing.
    ASSERT_TRUE(m_raw.DeleteJob("a"));
    m_view->OnUpdate(nullptr, 0, nullptr);
    m_view->OnUpdate(nullptr, 7, nullptr);
    EXPECT_EQ(m_view->rowCount(), 2);
}

TEST_F(ViewTest, CheckBoxSwitchesTheStoredJobAndRefusesWhatCannotBeActive) {
    auto a = MakeJob("a", 13, 0);
    auto incomplete = std::make_unique<CJob>();
    incomplete->SetName("b");
    incomplete->SetActive(false);
    Store(*a);
    Store(*incomplete);
    OpenView();
    ASSERT_TRUE(Ticked(0));

    m_view->item(0, 0)->setCheckState(Qt::Unchecked);
    QApplication::processEvents();
    CJob stored;
    ASSERT_TRUE(m_raw.ReadJob("a", &stored));
    EXPECT_FALSE(stored.IsActive());
    EXPECT_FALSE(Ticked(0));
    EXPECT_EQ(Cell(0, 3), QString::fromUtf8("wyłączony"));

    m_view->item(0, 0)->setCheckState(Qt::Checked);
    QApplication::processEvents();
    ASSERT_TRUE(m_raw.ReadJob("a", &stored));
    EXPECT_TRUE(stored.IsActive());
    EXPECT_TRUE(Ticked(0));

    // The incomplete schedule cannot become active: the tick does not stay.
    m_view->item(1, 0)->setCheckState(Qt::Checked);
    QApplication::processEvents();
    EXPECT_FALSE(Ticked(1));
    EXPECT_FALSE(m_view->GetRowData(1) & CVigilView::kCheckMirror);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(ViewTest, SettingsAreWrittenAtCloseAndReadAtStart) {
    OpenView();
    m_view->horizontalHeader()->resizeSection(1, 222);
    m_view->OnColumnClick(CVigilView::ColLastStart);
    m_view->OnColumnClick(CVigilView::ColLastStart);
    m_commands->Execute(res::ID_VIEW_COUNTDOWN);
    m_view->SaveSettings();
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "Katalog", 0), 222u);
    const CDialogUnits units(m_view->font()); // the defaults grow with the font
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "Nazwa", 0),
              static_cast<DWORD>((180 * units.BaseX() + 3) / 6));
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "cdm", 9), 0u);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "SortCol", 9), 4u);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "SortForw", 9), 0u);

    m_view.reset();
    CVigilView again(m_doc.get(), nullptr);
    EXPECT_EQ(again.horizontalHeader()->sectionSize(1), 222);
    EXPECT_EQ(again.GetSortColumn(), 4);
    EXPECT_FALSE(again.IsSortAscending());
    EXPECT_FALSE(again.IsCountdownMode());

    // A width that no screen could show falls back to the default.
    RegSetDword(HKEY_CURRENT_USER, kSettingsKey, "Czas", 0xFFFFFFF0u);
    CVigilView third(m_doc.get(), nullptr);
    EXPECT_EQ(third.horizontalHeader()->sectionSize(2),
              CVigilView::DefaultColumnWidth(CVigilView::ColTime, third.font()));
}

TEST_F(ViewTest, DisplayToggleSwitchesNextStartFormAndItsCheckMark) {
    Store(*MakeJob("a", 13, 0));
    OpenView();
    QAction* toggle = m_commands->Action(res::ID_VIEW_COUNTDOWN);
    m_commands->UpdateAll();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(Cell(0, 3), QString("1 godzina"));
    toggle->trigger();
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_TRUE(Cell(0, 3).contains("2026"));
    EXPECT_TRUE(Cell(0, 3).endsWith("13:00"));
    toggle->trigger();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(Cell(0, 3), QString("1 godzina"));
}

TEST_F(ViewTest, RefreshRewritesRowsDropsVanishedJobsAndShowsNewOnes) {
    Store(*MakeJob("a", 13, 0));
    Store(*MakeJob("b", 13, 0));
    OpenView();
    SetCurrentTimeForTesting(m_now + 30 * 60);
    ASSERT_TRUE(m_raw.DeleteJob("b"));
    Store(*MakeJob("C", 9, 0));
    const long before = m_view->GetStoreReads();
    EXPECT_TRUE(m_commands->Execute(res::ID_VIEW_REFRESH));
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"a", "C"}));
    EXPECT_EQ(Cell(0, 3), QString("30 Minut(y)"));
    EXPECT_EQ(Cell(1, 3), QString("20 godzin(y) 30 Minut(y)"));
    // One read per row to rewrite it, one for the sort, one existence test.
    EXPECT_LE(m_view->GetStoreReads() - before, 3 * 3);
}

TEST_F(ViewTest, RowCommandsFollowTheSelectionAndContextMenus) {
    Store(*MakeJob("a", 13, 0));
    Store(*MakeJob("b", 13, 0));
    Store(*MakeJob("c", 13, 0));
    OpenView();
    QAction* edit = m_commands->Action(res::ID_JOB_EDIT);
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_FALSE(m_commands->Execute(res::ID_JOB_EDIT));
    auto empty = m_view->CreateContextMenu();
    QStringList texts;
    for (QAction* a : empty->actions())
        texts << a->text();
    EXPECT_EQ(texts, (QStringList{"&Nowy plan...", QString::fromUtf8("Przesuń")}));

    m_view->selectRow(0);
    m_view->selectionModel()->select(m_view->model()->index(2, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_EQ(m_view->GetSelectedCount(), 2);
    std::string name;
    EXPECT_EQ(m_view->GetNextSelectedJob(-1, name), 0);
    EXPECT_EQ(name, "a");
    EXPECT_EQ(m_view->GetNextSelectedJob(0, name), 2);
    EXPECT_EQ(name, "c");
    EXPECT_EQ(m_view->GetNextSelectedJob(2, name), -1);

    auto selected = m_view->CreateContextMenu();
    texts.clear();
    for (QAction* a : selected->actions())
        texts << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(texts, (QStringList{"&Wytnij", "&Kopiuj", QString::fromUtf8("&Usuń"), "-",
                                  QString::fromUtf8("&Zmień"), "&Teraz uruchom",
                                  QString::fromUtf8("Pełna &analiza teraz"),
                                  QString::fromUtf8("Zat&rzymaj analizę"),
                                  QString::fromUtf8("Pokaż &protokół")}));
    EXPECT_EQ(m_view->FindJobRow("B"), 1);
    EXPECT_EQ(m_view->FindJobRow("z"), -1);
}

TEST_F(ViewTest, ServerNoticeAppearsOnceWhenNoServerRuns) {
    Store(*MakeJob("a", 13, 0));
    OpenView(false);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].id, 172u);
    EXPECT_EQ(m_messages[0].type, MB_OK | MB_ICONINFORMATION);
    // Rows are there before the notice, and a second initial update is a no-op.
    EXPECT_EQ(m_view->rowCount(), 1);
    m_view->OnInitialUpdate();
    EXPECT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_view->rowCount(), 1);
    EXPECT_TRUE(m_view->IsRefreshThreadRunning());
    EXPECT_TRUE(m_view->StopRefreshThread());
    EXPECT_FALSE(m_view->IsRefreshThreadRunning());
}

TEST_F(ViewTest, ServerNoticeNamesAnotherUserWhoHoldsTheServersName) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can act as a second user";
    const COtherUserNames other({GuessableNameStem() + kServerMutexName + ".lock"}, {});
    ASSERT_TRUE(other.IsReady());
    OpenView(false);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.contains("65534")) << m_messages[0].text.toStdString();
}
