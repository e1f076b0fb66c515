#pragma once

#include "TemplateDialog.h"

#include <string>

class CJob;

// "Ustawienia analizy": name, active switch, scan options and schedule of a
// job that the caller owns. The dialog edits the job in place: every change
// of the name writes name and switch into it at once, and OK of either
// sub-dialog changes it. OK is available only with a name and a complete
// schedule; the switch only with a complete schedule.
class CJobDialog : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CJobDialog(CJob* pJob, QWidget* pParent = nullptr);

    std::string m_strName;
    int m_bActive = 0;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    // A name the store would refuse is named with its fault; the dialog
    // stays open.
    void OnOK() override;

private:
    void OnScanOptions();
    void OnSchedule();

    CJob* const m_pJob;
};
