#include "QuarantineDlg.h"

#include "JobResult.h"
#include "LineText.h"
#include "LogViewDlg.h"
#include "ModalSeam.h"
#include "StringTable.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

enum : unsigned {
    kTextTitle = 330,
    kColumnPath = 331, // to kColumnPath + 4: the columns
    kTextRestore = 336,
    kTextRestoreAs = 337,
    kTextRestoreAllow = 338,
    kTextDelete = 339,
    kAskDelete = 340,       // "%s": the original path
    kTextTaken = 341,       // "%s": the taken path
    kTextNoRecord = 342,    // "%s": the name in the quarantine
    kTextBadRecord = 343,   // "%s": why
    kTextNotRestored = 344, // "%s": why
    kTextNotDeleted = 345,  // "%s": why
    kTextRestoreTitle = 346,
    kTextUnreadable = 347, // "%s": why
    kTextShowLog = 300,
    kTextClose = 301,
};

constexpr int kInitialWidth = 920;
constexpr int kInitialHeight = 380;
// Where an entry keeps its index into the list and its sort keys.
constexpr int kIndexRole = Qt::UserRole;
constexpr int kSortRole = Qt::UserRole + 1;

QString Text(unsigned nId) {
    return QString::fromUtf8(LoadResString(nId));
}

QString Format(unsigned nId, const std::string& strArg) {
    return Text(nId).replace(QStringLiteral("%s"), QString::fromStdString(EscapeControls(strArg)));
}

// Sorts dates and sizes by their numbers, the rest by their text.
class CEntryItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant mine = data(column, kSortRole);
        if (mine.isValid())
            return mine.toLongLong() < other.data(column, kSortRole).toLongLong();
        return text(column).localeAwareCompare(other.text(column)) < 0;
    }
};

QString OriginText(const CQuarantineEntry& entry) {
    if (entry.m_bHasRecord)
        return QString::fromStdString(EscapePath(entry.m_record.m_strPath));
    if (!entry.m_strRecordError.empty())
        return Format(kTextBadRecord, entry.m_strRecordError);
    return Format(kTextNoRecord, entry.m_strFile);
}

} // namespace

CQuarantineDlg::CQuarantineDlg(const std::string& strStateRoot, QWidget* pParent)
    : QDialog(pParent), m_quarantine(strStateRoot), m_pList(new QTreeWidget(this)),
      m_pRestore(new QPushButton(Text(kTextRestore), this)),
      m_pRestoreAs(new QPushButton(Text(kTextRestoreAs), this)),
      m_pRestoreAllow(new QPushButton(Text(kTextRestoreAllow), this)),
      m_pDelete(new QPushButton(Text(kTextDelete), this)),
      m_pLog(new QPushButton(Text(kTextShowLog), this)) {
    setWindowTitle(Text(kTextTitle));
    setSizeGripEnabled(true);
    QStringList headers;
    for (unsigned column = 0; column < kColumns; ++column)
        headers << Text(kColumnPath + column);
    m_pList->setHeaderLabels(headers);
    m_pList->setRootIsDecorated(false);
    m_pList->setSortingEnabled(true);
    m_pList->sortByColumn(kDate, Qt::DescendingOrder);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const auto& [column, width] :
         {std::pair{kPath, 290}, {kFinding, 200}, {kJob, 110}, {kDate, 140}})
        m_pList->setColumnWidth(column, width);

    auto* buttons = new QDialogButtonBox(this);
    for (QPushButton* button : {m_pRestore, m_pRestoreAs, m_pRestoreAllow, m_pDelete, m_pLog})
        buttons->addButton(button, QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(Text(kTextClose), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pRestore, &QPushButton::clicked, this, [this] { OnRestore(EHow::kInPlace); });
    connect(m_pRestoreAs, &QPushButton::clicked, this, [this] { OnRestore(EHow::kElsewhere); });
    connect(m_pRestoreAllow, &QPushButton::clicked, this, [this] { OnRestore(EHow::kAndAllow); });
    connect(m_pDelete, &QPushButton::clicked, this, &CQuarantineDlg::OnDelete);
    connect(m_pLog, &QPushButton::clicked, this, &CQuarantineDlg::OnShowLog);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CQuarantineDlg::UpdateButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pList);
    layout->addWidget(buttons);
    resize(kInitialWidth, kInitialHeight);
    Reload();
}

int CQuarantineDlg::DoModal() {
    return RunModal(*this);
}

void CQuarantineDlg::Reload() {
    std::string error;
    m_pList->clear();
    if (!m_quarantine.List(m_entries, error)) {
        m_entries.clear();
        Complain(kTextUnreadable, error);
    }
    const QLocale locale;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const CQuarantineEntry& entry = m_entries[i];
        auto* item = new CEntryItem(m_pList);
        item->setText(kPath, OriginText(entry));
        item->setText(kFinding,
                      QString::fromStdString(EscapeControls(entry.m_record.m_strFinding)));
        item->setText(kJob, QString::fromStdString(EscapeControls(entry.m_record.m_strJob)));
        item->setText(kDate, QString::fromStdString(LocalIsoTime(entry.m_nTime))
                                 .left(19)
                                 .replace(QLatin1Char('T'), QLatin1Char(' ')));
        item->setText(kSize, locale.formattedDataSize(static_cast<qint64>(entry.m_nSize)));
        item->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(kPath, kIndexRole, static_cast<qulonglong>(i));
        item->setData(kDate, kSortRole, static_cast<qlonglong>(entry.m_nTime));
        item->setData(kSize, kSortRole, static_cast<qulonglong>(entry.m_nSize));
    }
    if (m_pList->topLevelItemCount() > 0)
        m_pList->setCurrentItem(m_pList->topLevelItem(0));
    UpdateButtons();
}

const CQuarantineEntry* CQuarantineDlg::Selected() const {
    const QList<QTreeWidgetItem*> items = m_pList->selectedItems();
    if (items.isEmpty())
        return nullptr;
    const size_t index = items.first()->data(kPath, kIndexRole).toULongLong();
    return index < m_entries.size() ? &m_entries[index] : nullptr;
}

void CQuarantineDlg::UpdateButtons() {
    const CQuarantineEntry* entry = Selected();
    for (QPushButton* button : {m_pRestore, m_pRestoreAs, m_pRestoreAllow, m_pDelete})
        button->setEnabled(entry != nullptr);
    m_pLog->setEnabled(entry && entry->m_bHasRecord && !entry->m_record.m_strJob.empty());
}

bool CQuarantineDlg::AskTarget(const CQuarantineEntry& entry, std::string& strTarget) {
    QFileDialog chooser(this, Text(kTextRestoreTitle));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    // Taken names are refused by the restore itself, with its own question.
    chooser.setOption(QFileDialog::DontConfirmOverwrite);
    const std::string& start = strTarget.empty() ? entry.m_record.m_strPath : strTarget;
    if (!start.empty())
        chooser.selectFile(QString::fromStdString(start));
    if (RunModal(chooser) != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return false;
    const QFileInfo chosen(chooser.selectedFiles().first());
    if (!chosen.isAbsolute())
        return false;
    strTarget = chosen.absoluteFilePath().toStdString();
    return true;
}

void CQuarantineDlg::OnRestore(EHow how) {
    const CQuarantineEntry* selected = Selected();
    if (!selected)
        return;
    const CQuarantineEntry entry = *selected;
    std::string target;
    // Without a record the file's place is unknown: the user names one.
    if ((how == EHow::kElsewhere || !entry.m_bHasRecord) && !AskTarget(entry, target))
        return;
    for (;;) {
        std::string restored, error;
        const ERestore result = how == EHow::kAndAllow
                                    ? m_quarantine.RestoreAndAllow(entry, target, restored, error)
                                    : m_quarantine.Restore(entry, target, restored, error);
        if (result == ERestore::kExists) {
            Complain(kTextTaken, target.empty() ? entry.m_record.m_strPath : target);
            if (AskTarget(entry, target))
                continue;
        } else if (result == ERestore::kFailed || !error.empty()) {
            Complain(kTextNotRestored, error);
        }
        break;
    }
    Reload();
}

void CQuarantineDlg::OnDelete() {
    const CQuarantineEntry* entry = Selected();
    if (!entry)
        return;
    const std::string shown = entry->m_bHasRecord ? entry->m_record.m_strPath : entry->m_strFile;
    if (AfxMessageBox(Format(kAskDelete, shown).toUtf8().constData(), MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
        return;
    std::string error;
    if (!m_quarantine.Delete(*entry, error))
        Complain(kTextNotDeleted, error);
    Reload();
}

void CQuarantineDlg::OnShowLog() {
    const CQuarantineEntry* entry = Selected();
    if (!entry || !entry->m_bHasRecord)
        return;
    CLogViewDlg viewer(entry->m_record.m_strJob, this);
    viewer.DoModal();
}

void CQuarantineDlg::Complain(unsigned nStringId, const std::string& strArg) {
    AfxMessageBox(Format(nStringId, strArg).toUtf8().constData(), MB_OK | MB_ICONEXCLAMATION);
}
