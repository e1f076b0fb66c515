#include "ScanParamDialog.h"

#include "DataExchange.h"
#include "ModalSeam.h"
#include "StringTable.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr unsigned kBrowseTitle = 395; // the folder browser's title
constexpr int kEndModeAlwaysExit = 2;

// The folder the browser opens on: the field's folder, or the nearest folder
// above it that exists; the user's home when the field names none.
QString BrowseStart(const std::string& strField) {
    const QString field = QString::fromStdString(strField).trimmed();
    if (field.isEmpty() || !QDir::isAbsolutePath(field))
        return QDir::homePath();
    QDir dir(QDir::cleanPath(field));
    while (!dir.exists() && !dir.isRoot())
        dir.setPath(QDir::cleanPath(dir.absoluteFilePath(QStringLiteral(".."))));
    return dir.exists() ? dir.absolutePath() : QDir::homePath();
}
} // namespace

CScanParamDialog::CScanParamDialog(QWidget* pParent)
    : CTemplateDialog(res::IDD_SCANPARAM, pParent) {
    connect(Item<QPushButton>(res::IDC_SCAN_BROWSE), &QPushButton::clicked, this,
            [this] { OnBrowse(); });
    connect(Item<QLineEdit>(res::IDC_SCAN_DIRECTORY), &QLineEdit::textEdited, this,
            [this] { UpdateData(true); });
    connect(Item<QRadioButton>(res::IDC_SCAN_WINDOW_BACKGROUND), &QRadioButton::clicked, this,
            [this] { OnWindowBackground(); });
    connect(Item<QRadioButton>(res::IDC_SCAN_WINDOW_FRONT), &QRadioButton::clicked, this,
            [this] { OnWindowFront(); });
}

const char* CScanParamDialog::BrowseTitle() {
    return LoadResString(kBrowseTitle);
}

bool CScanParamDialog::OnInitDialog() {
    CTemplateDialog::OnInitDialog();
    if (m_nWindowMode == 0) {
        EnableEndModes(true);
    } else {
        EnableEndModes(false);
        m_nEndMode = kEndModeAlwaysExit;
        UpdateData(false);
    }
    return true;
}

void CScanParamDialog::DoDataExchange(CDataExchange& dx) {
    DDX_Check(dx, res::IDC_SCAN_HEURISTIC, m_bHeuristic);
    DDX_Radio(dx, res::IDC_SCAN_LOG_NONE, m_nLogMode);
    DDX_Radio(dx, res::IDC_SCAN_REFCHECK_NONE, m_nReferenceCheck);
    DDX_Radio(dx, res::IDC_SCAN_REFDIFF_LOG, m_nReferenceDiffAction);
    DDX_Radio(dx, res::IDC_SCAN_INFECTION_LOG, m_nInfectionAction);
    DDX_Radio(dx, res::IDC_SCAN_WINDOW_FRONT, m_nWindowMode);
    DDX_Radio(dx, res::IDC_SCAN_END_NOSTOP, m_nEndMode);
    DDX_Check(dx, res::IDC_SCAN_SUBDIRS, m_bSubdirectories);
    DDX_Text(dx, res::IDC_SCAN_DIRECTORY, m_strDirectory);
    DDX_Radio(dx, res::IDC_SCAN_FILES_ALL, m_nFileSelection);
    // The scanner takes only an absolute folder; "C:\" or "tmp" would be
    // refused at every run.
    SetInputComplete(!m_strDirectory.empty() && m_strDirectory.front() == '/');
}

void CScanParamDialog::OnBrowse() {
    if (!UpdateData(true))
        return;
    QFileDialog browser(this, QString::fromUtf8(BrowseTitle()));
    browser.setFileMode(QFileDialog::Directory);
    browser.setOption(QFileDialog::ShowDirsOnly);
    browser.setDirectory(BrowseStart(m_strDirectory));
    if (RunModal(browser) != QDialog::Accepted)
        return;
    // Only a plain directory path is taken; anything else leaves the field.
    const QStringList chosen = browser.selectedFiles();
    if (chosen.isEmpty())
        return;
    const QFileInfo info(chosen.first());
    if (!info.isAbsolute() || !info.isDir())
        return;
    m_strDirectory = QDir::toNativeSeparators(info.absoluteFilePath()).toStdString();
    UpdateData(false);
}

void CScanParamDialog::OnWindowBackground() {
    UpdateData(true);
    EnableEndModes(false);
    m_nEndMode = kEndModeAlwaysExit;
    UpdateData(false);
}

void CScanParamDialog::OnWindowFront() {
    UpdateData(true);
    EnableEndModes(true);
}

void CScanParamDialog::EnableEndModes(bool bEnable) {
    for (int id :
         {res::IDC_SCAN_END_NOSTOP, res::IDC_SCAN_END_ONINFECTION, res::IDC_SCAN_END_ALWAYS})
        GetDlgItem(id)->setEnabled(bEnable);
}
