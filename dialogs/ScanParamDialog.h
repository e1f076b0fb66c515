#pragma once

#include "TemplateDialog.h"

#include <string>

// "Ustaw opcje analizy": the scan options of one job, one member per option.
// The caller sets the members before DoModal and reads them after IDOK; the
// radio members hold the index of the chosen button in their group. Running
// the scanner in the background forces "zawsze zakończ" (always exit).
class CScanParamDialog : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CScanParamDialog(QWidget* pParent = nullptr);

    int m_bHeuristic = 1;
    int m_nLogMode = 1;
    int m_nReferenceCheck = 1;
    int m_nReferenceDiffAction = 0;
    int m_nInfectionAction = 0;
    int m_nWindowMode = 0;
    int m_nEndMode = 1;
    int m_bSubdirectories = 1;
    std::string m_strDirectory;
    int m_nFileSelection = 1;

    // Title of the folder browser.
    static const char* BrowseTitle();

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    void OnBrowse();
    void OnWindowBackground();
    void OnWindowFront();
    void EnableEndModes(bool bEnable);
};
