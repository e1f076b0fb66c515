#pragma once

#include <QSet>
#include <QTableWidget>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

class CCommandLayer;
class CJob;
class CJobResultReader;
class CNamedBroadcast;
class CRefreshThread;
class CVigilDoc;
class QMenu;

// The job list: one row per job of the store with six columns (name, folder,
// schedule, next start, last start, last result), a check box per row for the job's active
// switch, sorting by a chosen column in either direction, and the rows kept in
// step with the store through the document's update hints. Column widths, the
// sort column and direction and the next-start display mode are kept in the
// user's settings.
class CVigilView : public QTableWidget {
    Q_OBJECT
public:
    // The width all columns take at their default widths in a list drawn
    // with font: the main window is that wide on a user's first start.
    static int DefaultListWidth(const QFont& font);
    // One column's width on a first start: its share of the design's widths,
    // or the room its longest schedule, date or countdown text needs.
    static int DefaultColumnWidth(int nColumn, const QFont& listFont);
    enum Column {
        ColName = 0,
        ColFolder,
        ColTime,
        ColNextStart,
        ColLastStart,
        ColResult,
        ColCount
    };

    // Item data of a row: bits 0..30 the row key, bit 31 the check mirror.
    static constexpr quint32 kCheckMirror = 0x80000000u;
    static constexpr int kRowDataRole = Qt::UserRole;

    CVigilView(CVigilDoc* pDoc, CCommandLayer* pCommands, QWidget* pParent = nullptr);
    ~CVigilView() override;

    CVigilDoc* GetDocument() const { return m_pDoc; }

    // The first fill: every stored job, sorted; then the server presence test
    // and the refresh thread. Later calls do nothing.
    void OnInitialUpdate();
    // Hints 1 (added), 2 (deleted), 3 (changed, with or without a job).
    void OnUpdate(CVigilView* pSender, int nHint, CJob* pHint);

    int InsertJobRow(const CJob& job);
    void UpdateJobRow(int nRow, const CJob& job);
    // Row whose name equals pszName, ignoring case; -1 when none.
    int FindJobRow(const char* pszName) const;
    // The next selected row after nPrev (-1 to start) and its name; -1 when none.
    int GetNextSelectedJob(int nPrev, std::string& strName) const;
    int GetSelectedCount() const;
    void SetRowCheck(int nRow, bool bTicked);
    // Sorts by the sort column, reading each row's job once, and sets the
    // header's sort mark.
    void SortRows();

    int GetSortColumn() const { return m_nSortColumn; }
    bool IsSortAscending() const { return m_bSortAscending; }
    bool IsCountdownMode() const { return m_nDisplayMode != 0; }
    quint32 GetRowData(int nRow) const;
    // Column index whose header shows the sort mark, and which mark; -1 when none.
    int GetSortMarkColumn(bool* pbAscending = nullptr) const;

    // A click on a column header, as the user makes it.
    void OnColumnClick(int nColumn);

    // Commands of the view. The refresh also adds rows for jobs that other
    // programs added, besides rewriting every row and dropping vanished ones.
    void OnRefresh();
    void OnToggleDisplayMode();
    void OnEditJob();
    // Drops from names the jobs that are no longer stored; when there were
    // any, says which and refreshes the list. True when names still holds a job.
    bool KeepStoredJobs(std::vector<std::string>& names);

    // The menu the context-menu request shows: with selected rows or without.
    std::unique_ptr<QMenu> CreateContextMenu();

    // Writes the column widths, the display mode and the sort settings.
    void SaveSettings() const;
    // Shows message 172 when no process holds the server's mutex.
    void TestServerPresence();
    void StartRefreshThread();
    // Stops the refresh thread, waiting at most 5000 ms. True when it ended
    // (or none ran).
    bool StopRefreshThread();
    bool IsRefreshThreadRunning() const;

    // Store reads made by the view so far (sorting and row updates).
    long GetStoreReads() const { return m_nStoreReads; }

    // The header's sort mark for a direction, drawn in the header's colours.
    QIcon SortMarkIcon(bool bAscending) const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // An empty list tells how to add the first job.
    void paintEvent(QPaintEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void CreateColumns();
    // A column's width before the user has set one, scaled to the font.
    int DefaultColumnWidth(int nColumn) const;
    static QStringList LongTexts(int nColumn);
    void ReadSortSettings();
    void RegisterCommands();
    void SetSortMark();
    // The first selected row's cell when the user can see it, else null.
    QTableWidgetItem* VisibleSelectedItem() const;
    void SetRowTexts(int nRow, const CJob& job);
    quint32 NewRowKey() const;
    int FindRowByKey(quint32 nKey) const;
    void OnItemChanged(QTableWidgetItem* pItem);
    void OnActivated(const QModelIndex& index);
    void OnCheckChanged(const QString& strName, bool bTicked);
    bool ReadStoreJob(const char* pszName, CJob* pJob);
    void FillFromStore(bool bFindFirst);
    void RemoveVanishedRows();
    // After a false ReadStoreJob: the job is not there (rather than the store
    // not readable).
    bool IsGone() const;
    void RefreshAllRows();
    void UpdateCommands();

    CVigilDoc* m_pDoc;
    CCommandLayer* m_pCommands;
    bool m_bInitialUpdate = false;
    int m_nDisplayMode = 1;
    int m_nSortColumn = -1;
    bool m_bSortAscending = true;
    // Rows being written by the program: their check changes are not the user's.
    int m_nUpdatingRows = 0;
    QSet<quint32> m_rowKeys;
    // Key of the row whose job the edit command is editing; -1 otherwise.
    qint64 m_nEditRowKey = -1;
    std::shared_ptr<CNamedBroadcast> m_pRefreshEvent;
    std::unique_ptr<CRefreshThread> m_pRefreshThread;
    // Each job's last result, read through one key kept open (GUI thread only).
    std::unique_ptr<CJobResultReader> m_pResults;
    long m_nStoreReads = 0;
    bool m_bDamageShown = false; // the store's damage has been reported
};
