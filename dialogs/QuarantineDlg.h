#pragma once

// "Kwarantanna": every file the scans moved aside, with where it came from,
// what was found, the job, the date and the size, sortable by each. A file
// is restored to its place ("Przywróć"), elsewhere ("Przywróć jako..."), or
// restored with its content put on the allow-list ("Przywróć i pomijaj");
// "Usuń" deletes it for good after a question; "Pokaż protokół" shows its
// job's log. A taken place is never overwritten: the dialog asks for another
// name instead.

#include "Quarantine.h"

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;

class CQuarantineDlg : public QDialog {
    Q_OBJECT
public:
    enum EColumn { kPath, kFinding, kJob, kDate, kSize, kColumns };

    CQuarantineDlg(const std::string& strStateRoot, QWidget* pParent = nullptr);

    // Runs the dialog through the modal seam.
    int DoModal();
    // Reads the quarantine again and shows it.
    void Reload();

    QTreeWidget* List() const { return m_pList; }
    QPushButton* RestoreButton() const { return m_pRestore; }
    QPushButton* RestoreAsButton() const { return m_pRestoreAs; }
    QPushButton* RestoreAllowButton() const { return m_pRestoreAllow; }
    QPushButton* DeleteButton() const { return m_pDelete; }
    QPushButton* LogButton() const { return m_pLog; }

private:
    enum class EHow { kInPlace, kElsewhere, kAndAllow };

    void OnRestore(EHow how);
    void OnDelete();
    void OnShowLog();
    void UpdateButtons();
    const CQuarantineEntry* Selected() const;
    // Asks where to put the file; false when the user cancels.
    bool AskTarget(const CQuarantineEntry& entry, std::string& strTarget);
    static void Complain(unsigned nStringId, const std::string& strArg);

    CQuarantine m_quarantine;
    std::vector<CQuarantineEntry> m_entries;
    QTreeWidget* m_pList;
    QPushButton* m_pRestore;
    QPushButton* m_pRestoreAs;
    QPushButton* m_pRestoreAllow;
    QPushButton* m_pDelete;
    QPushButton* m_pLog;
};
