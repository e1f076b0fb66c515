#include "VigilView.h"

#include "Clock.h"
#include "CommandLayer.h"
#include "DialogBuilder.h"
#include "Job.h"
#include "JobActions.h"
#include "JobResult.h"
#include "ModalSeam.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "NamedMutex.h"
#include "RefreshThread.h"
#include "ResourceIds.h"
#include "RunningScan.h"
#include "Settings.h"
#include "StringTable.h"
#include "VigilDoc.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {
constexpr unsigned kSettingsKeyId = 141;
constexpr unsigned kServerNotRunningId = 172;
constexpr unsigned kServerNameTakenId = 194; // %s: the user id of whoever holds the name
constexpr unsigned kStoreDamagedId = 320;    // the job store is damaged
constexpr unsigned kJobsGoneId = 370;        // %s: jobs another program deleted
constexpr unsigned kTextRunning = 411;       // the result column while the scan runs
constexpr unsigned kHeaderIds[CVigilView::ColCount] = {144, 145, 146, 147, 148, 280};
constexpr int kDefaultWidths[CVigilView::ColCount] = {180, 150, 120, 120, 120, 120};
constexpr DWORD kMaxColumnWidth = 4096;
// Schedule and date texts, for the widths of the columns that show them.
constexpr unsigned kIdsOnceText = 149;
constexpr unsigned kIdsHourlyText = 150;
constexpr unsigned kIdsDailyText = 151;
constexpr unsigned kIdsWeeklyText = 152;
constexpr unsigned kIdsMonthlyText = 153;
constexpr unsigned kIdsAlmost = 155;
constexpr unsigned kIdsDays = 158;
constexpr unsigned kIdsHours = 159;
constexpr unsigned kIdsMinutes = 137;
constexpr unsigned kEmptyListHint = 396;
constexpr int kStopTimeoutMs = 5000;
constexpr int kContextMenuOffset = 5;

const char* SettingsKey() {
    return LoadResString(kSettingsKeyId);
}

QString Utf8(const char* psz) {
    return QString::fromUtf8(psz != nullptr ? psz : "");
}

// A cell of the first column. Before a sort it is given the key of its row's
// job for the sort column, so that the table's own stable sort orders the
// rows the way the list compares them.
class CJobCell : public QTableWidgetItem {
public:
    CJobCell() : QTableWidgetItem(UserType) {}
    QTableWidgetItem* clone() const override { return new CJobCell(*this); }

    bool operator<(const QTableWidgetItem& other) const override {
        const auto& o = static_cast<const CJobCell&>(other);
        if (m_bTextKey)
            return m_strKey.compare(o.m_strKey) < 0;
        return m_nKey < o.m_nKey;
    }

    void SetKey(QString key) {
        m_bTextKey = true;
        m_strKey = std::move(key);
    }
    void SetKey(qint64 key) {
        m_bTextKey = false;
        m_nKey = key;
    }

private:
    bool m_bTextKey = false;
    QString m_strKey;
    qint64 m_nKey = 0;
};

// The result column's text of a job: "trwa…" while its scan runs, else its
// last result; empty when it never ran.
QString ResultText(CJobResultReader& results, const char* pszName) {
    if (CRunningScan scan; FindRunningScan(pszName, scan))
        return QString::fromUtf8(LoadResString(kTextRunning));
    CJobResult result;
    return results.Read(pszName, result) ? QString::fromStdString(result.GetText()) : QString();
}

// Sort key of the result column: by state, then by end time; no result first.
qint64 ResultKey(CJobResultReader& results, const char* pszName) {
    CJobResult result;
    if (!results.Read(pszName, result))
        return -1;
    constexpr qint64 kTimeSpan = qint64(1) << 40; // seconds, far beyond any real end time
    const qint64 finished = std::clamp<qint64>(result.m_nFinished, 0, kTimeSpan - 1);
    return static_cast<qint64>(result.GetState()) * kTimeSpan + finished;
}

// Names and folders compare with letters folded to lower case.
QString FoldedKey(const char* psz) {
    return Utf8(psz).toLower();
}

// Shows a cell's whole text as its tool tip when its column is too narrow
// for it, so that a long result or folder can be read without widening it.
class CElidedTipDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* pEvent, QAbstractItemView* pView, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (pEvent->type() != QEvent::ToolTip || pView == nullptr)
            return QStyledItemDelegate::helpEvent(pEvent, pView, option, index);
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QRect textRect =
            pView->style()->subElementRect(QStyle::SE_ItemViewItemText, &cell, pView);
        // The style keeps a margin on either side of the text.
        const int margin = pView->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &cell, pView);
        if (cell.text.isEmpty() ||
            cell.fontMetrics.horizontalAdvance(cell.text) <= textRect.width() - 2 * margin) {
            QToolTip::hideText();
            return true;
        }
        QToolTip::showText(pEvent->globalPos(), cell.text, pView->viewport(), option.rect);
        return true;
    }
};
} // namespace

CVigilView::CVigilView(CVigilDoc* pDoc, CCommandLayer* pCommands, QWidget* pParent)
    : QTableWidget(pParent), m_pDoc(pDoc), m_pCommands(pCommands),
      m_pRefreshEvent(std::make_shared<CNamedBroadcast>(kClientEventName)),
      m_pResults(std::make_unique<CJobResultReader>()) {
    m_nDisplayMode = static_cast<int>(RegGetDword(HKEY_CURRENT_USER, SettingsKey(), "cdm", 1));

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    setItemDelegate(new CElidedTipDelegate(this));
    CreateColumns();
    ReadSortSettings();
    SetSortMark();
    horizontalHeader()->installEventFilter(this);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CVigilView::OnColumnClick);
    connect(this, &QTableWidget::itemChanged, this, &CVigilView::OnItemChanged);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CVigilView::UpdateCommands);
    // Enter and a double click (or what the style makes the activation) on a
    // row open its job, as the edit command does; a click in the check box
    // is no activation.
    connect(this, &QAbstractItemView::activated, this, &CVigilView::OnActivated);
    if (m_pDoc != nullptr)
        m_pDoc->AddView(this);
    if (m_pCommands != nullptr)
        RegisterCommands();
}

CVigilView::~CVigilView() {
    StopRefreshThread();
    if (m_pDoc != nullptr)
        m_pDoc->RemoveView(this);
}

void CVigilView::CreateColumns() {
    setColumnCount(ColCount);
    for (int col = 0; col < ColCount; ++col) {
        const char* title = LoadResString(kHeaderIds[col]);
        setHorizontalHeaderItem(col, new QTableWidgetItem(Utf8(title)));
        const auto fallback = static_cast<DWORD>(DefaultColumnWidth(col));
        DWORD width = RegGetDword(HKEY_CURRENT_USER, SettingsKey(), title, fallback);
        if (width > kMaxColumnWidth)
            width = fallback;
        horizontalHeader()->resizeSection(col, static_cast<int>(width));
    }
}

int CVigilView::DefaultListWidth(const QFont& listFont) {
    int width = 0;
    for (int col = 0; col < ColCount; ++col)
        width += DefaultColumnWidth(col, listFont);
    return width;
}

int CVigilView::DefaultColumnWidth(int nColumn) const {
    return DefaultColumnWidth(nColumn, font());
}

int CVigilView::DefaultColumnWidth(int nColumn, const QFont& listFont) {
    // The widths suit a font of average letter width 6 pixels; they grow and
    // shrink with the list's font as dialog units do, and are never narrower
    // than the longest text the column shows for any schedule or date.
    const CDialogUnits units(listFont);
    const QFontMetrics metrics(listFont);
    int longest = 0;
    for (const QString& text : LongTexts(nColumn))
        longest = std::max(longest, metrics.horizontalAdvance(text));
    constexpr int kCellPadding = 16; // the cell's margins and the check box's gap
    return std::max((kDefaultWidths[nColumn] * units.BaseX() + 3) / 6,
                    longest > 0 ? longest + kCellPadding : 0);
}

// The longest texts of a column: the repeating schedules at their widest,
// the longest countdown, last starts with every weekday and month name. A
// one-off start's long date may still need a wider column or its tool tip.
QStringList CVigilView::LongTexts(int nColumn) {
    QStringList texts;
    char buf[260];
    auto dates = [&](unsigned formatId) {
        std::setlocale(LC_TIME, "");
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= 7; ++day) {
                COleDateTime(2026, month, day, 23, 59, 0)
                    .Format(buf, sizeof buf, LoadResString(formatId));
                texts << Utf8(buf);
            }
    };
    switch (nColumn) {
    case ColTime:
        std::snprintf(buf, sizeof buf, LoadResString(kIdsHourlyText), 59);
        texts << Utf8(buf);
        std::snprintf(buf, sizeof buf, LoadResString(kIdsDailyText), 23, 59,
                      LoadResString(kIdsAlmost));
        texts << Utf8(buf);
        std::snprintf(buf, sizeof buf, LoadResString(kIdsMonthlyText), 23, 59, 31);
        texts << Utf8(buf);
        dates(kIdsWeeklyText);
        break;
    case ColNextStart: // as the list starts: the countdown
        texts << QStringLiteral("30 %1 23 %2 59 %3")
                     .arg(Utf8(LoadResString(kIdsDays)), Utf8(LoadResString(kIdsHours)),
                          Utf8(LoadResString(kIdsMinutes)));
        break;
    case ColLastStart:
        dates(kIdsOnceText);
        break;
    default:
        break;
    }
    return texts;
}

void CVigilView::ReadSortSettings() {
    m_nSortColumn = static_cast<int>(
        RegGetDword(HKEY_CURRENT_USER, SettingsKey(), "SortCol", static_cast<DWORD>(ColName)));
    m_bSortAscending = RegGetDword(HKEY_CURRENT_USER, SettingsKey(), "SortForw", 1) != 0;
}

void CVigilView::SaveSettings() const {
    const char* key = SettingsKey();
    for (int col = 0; col < columnCount(); ++col) {
        const QTableWidgetItem* header = horizontalHeaderItem(col);
        if (header == nullptr)
            continue;
        const QByteArray title = header->text().left(256).toUtf8();
        RegSetDword(HKEY_CURRENT_USER, key, title.constData(),
                    static_cast<DWORD>(horizontalHeader()->sectionSize(col)));
    }
    RegSetDword(HKEY_CURRENT_USER, key, "cdm", static_cast<DWORD>(m_nDisplayMode));
    RegSetDword(HKEY_CURRENT_USER, key, "SortCol", static_cast<DWORD>(m_nSortColumn));
    RegSetDword(HKEY_CURRENT_USER, key, "SortForw", m_bSortAscending ? 1 : 0);
}

void CVigilView::RegisterCommands() {
    CCommandLayer& cmd = *m_pCommands;
    auto anySelected = [this](CCmdUI& ui) { ui.Enable(GetSelectedCount() != 0); };
    cmd.SetHandler(res::ID_VIEW_REFRESH, this, [this] { OnRefresh(); });
    cmd.SetHandler(res::ID_VIEW_COUNTDOWN, this, [this] { OnToggleDisplayMode(); });
    cmd.SetUpdateHandler(res::ID_VIEW_COUNTDOWN, this,
                         [this](CCmdUI& ui) { ui.SetCheck(m_nDisplayMode != 0 ? 1 : 0); });
    cmd.SetHandler(res::ID_JOB_EDIT, this, [this] { OnEditJob(); });
    cmd.SetUpdateHandler(res::ID_JOB_EDIT, this, anySelected);
    // Delete, run now and the clipboard commands.
    CJobActions::Register(*this, cmd);
}

void CVigilView::UpdateCommands() {
    if (m_pCommands != nullptr)
        m_pCommands->UpdateAll();
}

bool CVigilView::ReadStoreJob(const char* pszName, CJob* pJob) {
    if (m_pDoc == nullptr)
        return false;
    ++m_nStoreReads;
    return m_pDoc->GetStore().ReadJob(pszName, pJob);
}

quint32 CVigilView::NewRowKey() const {
    // The row count when free, else the lowest number no row bears.
    quint32 key = static_cast<quint32>(rowCount());
    if (!m_rowKeys.contains(key))
        return key;
    for (key = 0; m_rowKeys.contains(key); ++key) {
    }
    return key;
}

quint32 CVigilView::GetRowData(int nRow) const {
    const QTableWidgetItem* cell = item(nRow, ColName);
    return cell != nullptr ? cell->data(kRowDataRole).toUInt() : 0;
}

void CVigilView::SetRowTexts(int nRow, const CJob& job) {
    const QString texts[ColCount] = {
        Utf8(job.GetName()),
        Utf8(job.GetDirectory()),
        Utf8(job.GetPeriodText(GetResourceHandle())),
        Utf8(job.GetNextStartText(GetResourceHandle(), m_nDisplayMode != 0)),
        Utf8(job.GetLastStartText()),
        ResultText(*m_pResults, job.GetName()),
    };
    for (int col = 0; col < ColCount; ++col) {
        QTableWidgetItem* cell = item(nRow, col);
        if (cell->text() != texts[col])
            cell->setText(texts[col]);
    }
}

int CVigilView::InsertJobRow(const CJob& job) {
    ++m_nUpdatingRows;
    const int row = rowCount();
    insertRow(row);
    auto* nameCell = new CJobCell;
    nameCell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    nameCell->setCheckState(Qt::Unchecked);
    const quint32 key = NewRowKey();
    m_rowKeys.insert(key);
    nameCell->setData(kRowDataRole, key);
    setItem(row, ColName, nameCell);
    for (int col = ColFolder; col < ColCount; ++col) {
        auto* cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        setItem(row, col, cell);
    }
    SetRowTexts(row, job);
    SetRowCheck(row, job.IsActive());
    --m_nUpdatingRows;
    return row;
}

void CVigilView::UpdateJobRow(int nRow, const CJob& job) {
    if (nRow < 0 || nRow >= rowCount())
        return;
    ++m_nUpdatingRows;
    SetRowTexts(nRow, job);
    SetRowCheck(nRow, job.IsActive());
    --m_nUpdatingRows;
}

int CVigilView::FindJobRow(const char* pszName) const {
    const QString name = Utf8(pszName);
    for (int row = 0; row < rowCount(); ++row) {
        const QTableWidgetItem* cell = item(row, ColName);
        if (cell != nullptr && cell->text().compare(name, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

int CVigilView::GetNextSelectedJob(int nPrev, std::string& strName) const {
    const QItemSelectionModel* selection = selectionModel();
    for (int row = std::max(nPrev + 1, 0); row < rowCount(); ++row) {
        if (selection->isRowSelected(row, QModelIndex())) {
            strName = item(row, ColName)->text().toStdString();
            return row;
        }
    }
    strName.clear();
    return -1;
}

int CVigilView::GetSelectedCount() const {
    return static_cast<int>(selectionModel()->selectedRows().size());
}

void CVigilView::SetRowCheck(int nRow, bool bTicked) {
    QTableWidgetItem* cell = item(nRow, ColName);
    if (cell == nullptr)
        return;
    ++m_nUpdatingRows;
    const Qt::CheckState state = bTicked ? Qt::Checked : Qt::Unchecked;
    if (cell->checkState() != state)
        cell->setCheckState(state);
    quint32 data = cell->data(kRowDataRole).toUInt() & ~kCheckMirror;
    if (bTicked)
        data |= kCheckMirror;
    cell->setData(kRowDataRole, data);
    --m_nUpdatingRows;
}

void CVigilView::SortRows() {
    // Each row's job is read once per sort, and "now" is taken once, so every
    // comparison of a sort sees the same moment.
    const time_t now = CurrentTime();
    m_pResults->Retry();
    if (m_nSortColumn >= ColName && m_nSortColumn < ColCount && m_nSortColumn != ColTime) {
        for (int row = 0; row < rowCount(); ++row) {
            auto* cell = static_cast<CJobCell*>(item(row, ColName));
            CJob job;
            // A job that cannot be read compares as a default job record.
            ReadStoreJob(cell->text().toUtf8().constData(), &job);
            switch (m_nSortColumn) {
            case ColName:
                cell->SetKey(FoldedKey(job.GetName()));
                break;
            case ColFolder:
                cell->SetKey(FoldedKey(job.GetDirectory()));
                break;
            case ColNextStart:
                cell->SetKey(static_cast<qint64>(job.GetSecondsToNextStart(now)));
                break;
            case ColResult:
                cell->SetKey(ResultKey(*m_pResults, job.GetName()));
                break;
            default:
                cell->SetKey(static_cast<qint64>(job.GetLastStartSeconds()));
                break;
            }
        }
        // The selected row that the user can see stays in sight wherever the
        // sort puts it; one scrolled away is left where it is.
        QTableWidgetItem* shown = VisibleSelectedItem();
        ++m_nUpdatingRows;
        sortItems(ColName, m_bSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
        --m_nUpdatingRows;
        if (shown != nullptr)
            scrollToItem(shown, QAbstractItemView::EnsureVisible);
    }
    // The schedule column and unknown columns compare all rows equal: the
    // order stays as it is.
    SetSortMark();
}

QTableWidgetItem* CVigilView::VisibleSelectedItem() const {
    QModelIndex index = currentIndex();
    if (!index.isValid() || !selectionModel()->isRowSelected(index.row(), QModelIndex())) {
        const QModelIndexList rows = selectionModel()->selectedRows();
        if (rows.isEmpty())
            return nullptr;
        index = rows.first();
    }
    QTableWidgetItem* cell = item(index.row(), ColName);
    if (cell == nullptr || !visualItemRect(cell).intersects(viewport()->rect()))
        return nullptr;
    return cell;
}

void CVigilView::SetSortMark() {
    const QIcon mark = SortMarkIcon(m_bSortAscending);
    for (int col = 0; col < columnCount(); ++col) {
        QTableWidgetItem* header = horizontalHeaderItem(col);
        if (header == nullptr)
            continue;
        const bool marked = col == m_nSortColumn;
        header->setIcon(marked ? mark : QIcon());
        header->setData(Qt::UserRole, marked ? QVariant(m_bSortAscending) : QVariant());
    }
}

QIcon CVigilView::SortMarkIcon(bool bAscending) const {
    // A solid triangle in the header's own text colour, so that it reads on
    // whatever the header's background is: pointing down for ascending,
    // up for descending.
    const QColor colour = horizontalHeader()->palette().color(QPalette::ButtonText);
    const int height = std::max(5, fontMetrics().height() * 2 / 5);
    const int width = 2 * height;
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(QSize(width, height) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const qreal w = width;
    const qreal h = height;
    if (bAscending)
        painter.drawPolygon(QPolygonF{{0, 0}, {w, 0}, {w / 2, h}});
    else
        painter.drawPolygon(QPolygonF{{0, h}, {w, h}, {w / 2, 0}});
    return QIcon(picture);
}

bool CVigilView::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // The header's colours reach it after the view's; the mark follows them.
    if (pWatched == horizontalHeader() &&
        (pEvent->type() == QEvent::PaletteChange || pEvent->type() == QEvent::StyleChange))
        SetSortMark();
    return QTableWidget::eventFilter(pWatched, pEvent);
}

int CVigilView::GetSortMarkColumn(bool* pbAscending) const {
    for (int col = 0; col < columnCount(); ++col) {
        const QTableWidgetItem* header = horizontalHeaderItem(col);
        if (header != nullptr && !header->icon().isNull()) {
            if (pbAscending != nullptr)
                *pbAscending = header->data(Qt::UserRole).toBool();
            return col;
        }
    }
    return -1;
}

void CVigilView::OnColumnClick(int nColumn) {
    if (nColumn != ColName && nColumn != ColFolder && nColumn != ColNextStart &&
        nColumn != ColLastStart && nColumn != ColResult)
        return;
    if (nColumn == m_nSortColumn) {
        m_bSortAscending = !m_bSortAscending;
    } else {
        m_nSortColumn = nColumn;
        m_bSortAscending = true;
    }
    SortRows();
}

void CVigilView::OnItemChanged(QTableWidgetItem* pItem) {
    if (m_nUpdatingRows > 0 || pItem == nullptr || pItem->column() != ColName)
        return;
    const bool bTicked = pItem->checkState() == Qt::Checked;
    const bool bMirror = (pItem->data(kRowDataRole).toUInt() & kCheckMirror) != 0;
    if (bTicked == bMirror)
        return;
    // The store's answer rewrites and re-sorts the rows; that happens once
    // the item view has finished with the click that changed the box.
    const QString name = pItem->text();
    QTimer::singleShot(0, this, [this, name, bTicked] { OnCheckChanged(name, bTicked); });
}

void CVigilView::OnCheckChanged(const QString& strName, bool bTicked) {
    if (m_pDoc == nullptr)
        return;
    m_pDoc->GetStore().SetJobActive(strName.toUtf8().constData(), bTicked);
    // When the store wrote nothing (the job cannot be active, or is gone)
    // the row still shows the user's tick: put it back as the job has it.
    const int row = FindJobRow(strName.toUtf8().constData());
    if (row < 0)
        return;
    CJob job;
    if (ReadStoreJob(strName.toUtf8().constData(), &job))
        SetRowCheck(row, job.IsActive());
    else
        SetRowCheck(row, (GetRowData(row) & kCheckMirror) != 0);
    UpdateCommands();
}

void CVigilView::FillFromStore(bool bFindFirst) {
    if (m_pDoc == nullptr)
        return;
    // The names already shown, folded as the find folds them, so that adding
    // the new jobs of a large store costs one pass instead of one per job.
    QSet<QString> shown;
    if (bFindFirst)
        for (int row = 0; row < rowCount(); ++row)
            shown.insert(item(row, ColName)->text().toCaseFolded());
    CJob job;
    DWORD index = 0;
    CRegInterface::EEnum step;
    setUpdatesEnabled(false);
    while ((step = m_pDoc->GetStore().NextJob(&index, &job)) == CRegInterface::EEnum::Job) {
        if (bFindFirst) {
            const QString folded = Utf8(job.GetName()).toCaseFolded();
            if (shown.contains(folded))
                continue;
            shown.insert(folded);
        }
        InsertJobRow(job);
    }
    setUpdatesEnabled(true);
    // A damaged store could hide jobs: said once, not at every refresh.
    const bool bDamaged =
        step == CRegInterface::EEnum::Failed && m_pDoc->GetStore().GetLastError() == ERROR_BADDB;
    if (bDamaged && !m_bDamageShown)
        AfxMessageBox(kStoreDamagedId, MB_OK | MB_ICONEXCLAMATION);
    m_bDamageShown = bDamaged;
}

int CVigilView::FindRowByKey(quint32 nKey) const {
    for (int row = 0; row < rowCount(); ++row)
        if ((GetRowData(row) & ~kCheckMirror) == nKey)
            return row;
    return -1;
}

bool CVigilView::IsGone() const {
    if (m_pDoc == nullptr)
        return true;
    const LONG result = m_pDoc->GetStore().GetLastError();
    return result == ERROR_FILE_NOT_FOUND || result == ERROR_INVALID_HANDLE;
}

void CVigilView::RemoveVanishedRows() {
    for (int row = 0; row < rowCount();) {
        const QByteArray name = item(row, ColName)->text().toUtf8();
        // Only a job that is really gone loses its row, not one that the
        // store could not be read for just now (locked, damaged).
        if (ReadStoreJob(name.constData(), nullptr) || !IsGone()) {
            ++row;
            continue;
        }
        m_rowKeys.remove(GetRowData(row) & ~kCheckMirror);
        removeRow(row);
    }
}

void CVigilView::RefreshAllRows() {
    setUpdatesEnabled(false);
    for (int row = 0; row < rowCount(); ++row) {
        CJob job;
        // A row whose job cannot be read keeps its texts.
        if (ReadStoreJob(item(row, ColName)->text().toUtf8().constData(), &job))
            UpdateJobRow(row, job);
    }
    setUpdatesEnabled(true);
}

void CVigilView::OnInitialUpdate() {
    if (m_bInitialUpdate)
        return;
    m_bInitialUpdate = true;
    FillFromStore(false);
    SortRows();
    TestServerPresence();
    StartRefreshThread();
    UpdateCommands();
}

void CVigilView::OnUpdate(CVigilView* /*pSender*/, int nHint, CJob* pHint) {
    // Before the first fill there are no rows to keep in step; the fill
    // reads everything anyway.
    if (!m_bInitialUpdate)
        return;
    m_pResults->Retry();
    switch (nHint) {
    case 1:
        FillFromStore(true);
        SortRows();
        break;
    case 2:
        RemoveVanishedRows();
        break;
    case 3:
        if (pHint != nullptr) {
            int row = pHint->GetRowIndex();
            // The row that the edit started on may have moved while its
            // dialog was open (a refresh re-sorts); its key still finds it.
            if (row != -1 && m_nEditRowKey >= 0)
                row = FindRowByKey(static_cast<quint32>(m_nEditRowKey));
            else if (row == -1)
                row = FindJobRow(pHint->GetName());
            if (row >= 0)
                UpdateJobRow(row, *pHint);
        } else {
            RefreshAllRows();
        }
        SortRows();
        break;
    default:
        return;
    }
    UpdateCommands();
}

void CVigilView::OnRefresh() {
    if (!m_bInitialUpdate)
        return;
    m_pResults->Retry();
    // Every row is rewritten from the store and the rows of vanished jobs go;
    // jobs that another program added since get their rows as well, so the
    // list shows the whole store after a refresh. One sort serves all three.
    FillFromStore(true);
    RefreshAllRows();
    SortRows();
    RemoveVanishedRows();
    UpdateCommands();
}

void CVigilView::OnToggleDisplayMode() {
    m_nDisplayMode = m_nDisplayMode != 0 ? 0 : 1;
    OnUpdate(nullptr, 3, nullptr);
}

void CVigilView::OnActivated(const QModelIndex& index) {
    if (!index.isValid())
        return;
    if (m_pCommands != nullptr)
        m_pCommands->Execute(res::ID_JOB_EDIT);
    else
        OnEditJob();
}

void CVigilView::OnEditJob() {
    std::string name;
    const int row = GetNextSelectedJob(-1, name);
    std::vector<std::string> names{name};
    if (row < 0 || m_pDoc == nullptr || !KeepStoredJobs(names))
        return;
    m_nEditRowKey = static_cast<qint64>(GetRowData(row) & ~kCheckMirror);
    m_pDoc->EditJob(row, name.c_str());
    m_nEditRowKey = -1;
}

bool CVigilView::KeepStoredJobs(std::vector<std::string>& names) {
    QStringList gone;
    std::erase_if(names, [&](const std::string& name) {
        // A store that cannot be read just now has not lost the job.
        if (ReadStoreJob(name.c_str(), nullptr) || !IsGone())
            return false;
        gone << QString::fromUtf8("„%1”").arg(Utf8(name.c_str()));
        return true;
    });
    if (gone.isEmpty())
        return !names.empty();
    // The list is current before the message says so.
    OnRefresh();
    const std::string list = gone.join(", ").toStdString();
    AfxMessageBox(FormatMessageText(kJobsGoneId, list.c_str()).c_str(), MB_OK | MB_ICONEXCLAMATION);
    return !names.empty();
}

std::unique_ptr<QMenu> CVigilView::CreateContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const unsigned id =
        GetSelectedCount() != 0 ? res::IDR_CONTEXT_SELECTED : res::IDR_CONTEXT_EMPTY;
    if (m_pCommands != nullptr) {
        m_pCommands->FillMenu(menu.get(), id, 0, true);
        m_pCommands->UpdateAll();
    }
    return menu;
}

void CVigilView::paintEvent(QPaintEvent* pEvent) {
    QTableWidget::paintEvent(pEvent);
    if (rowCount() > 0)
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                     Utf8(LoadResString(kEmptyListHint)));
}

void CVigilView::contextMenuEvent(QContextMenuEvent* event) {
    QPoint pos = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard)
        pos = viewport()->mapToGlobal(QPoint(kContextMenuOffset, kContextMenuOffset));
    std::unique_ptr<QMenu> menu = CreateContextMenu();
    menu->exec(pos);
}

void CVigilView::TestServerPresence() {
    const CNamedMutex::CPresence presence = CNamedMutex::Presence(kServerMutexName);
    if (presence.bHeld)
        return;
    if (presence.nOtherUid < 0) {
        AfxMessageBox(kServerNotRunningId, MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::string uid = std::to_string(presence.nOtherUid);
    AfxMessageBox(FormatMessageText(kServerNameTakenId, uid.c_str()).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
}

void CVigilView::StartRefreshThread() {
    if (m_pRefreshThread)
        return;
    m_pRefreshThread = std::make_unique<CRefreshThread>(m_pRefreshEvent, [this] {
        if (m_pCommands != nullptr)
            m_pCommands->Execute(res::ID_VIEW_REFRESH);
        else
            OnRefresh();
    });
    m_pRefreshThread->Start();
}

bool CVigilView::StopRefreshThread() {
    if (!m_pRefreshThread)
        return true;
    const bool bEnded = m_pRefreshThread->Stop(kStopTimeoutMs);
    m_pRefreshThread.reset();
    return bEnded;
}

bool CVigilView::IsRefreshThreadRunning() const {
    return m_pRefreshThread && m_pRefreshThread->IsRunning();
}
