#pragma once

#include <string>

class CTemplateDialog;
class QWidget;

// One pass of exchange between a dialog's controls and its members. When
// saving (reading the controls) a bad value shows the standard message, puts
// the focus on the field and marks the pass as failed; the DDX functions
// return false then, and DoDataExchange stops there.
class CDataExchange {
public:
    CDataExchange(CTemplateDialog& dlg, bool bSaveAndValidate)
        : m_pDlg(&dlg), m_bSaveAndValidate(bSaveAndValidate) {}

    bool IsSaving() const { return m_bSaveAndValidate; }
    bool Failed() const { return m_bFailed; }
    CTemplateDialog& Dialog() const { return *m_pDlg; }

    // The control with the identifier; remembered as the field to focus on a
    // failure.
    QWidget* PrepareCtrl(int nId);
    // Shows string-table message nStringId (with %1 and %2 replaced by the
    // arguments when given), focuses the prepared field and marks the failure.
    void Fail(unsigned nStringId, const char* pszArg1 = nullptr, const char* pszArg2 = nullptr);

private:
    CTemplateDialog* m_pDlg;
    bool m_bSaveAndValidate;
    bool m_bFailed = false;
    QWidget* m_pLastCtrl = nullptr;
};

// Check box: 0 unchecked, 1 checked.
void DDX_Check(CDataExchange& dx, int nId, int& value);
// Radio group starting at nFirstId: index of the checked button. Filling with
// an index that no button has unchecks them all; reading them with none
// checked leaves the member alone.
void DDX_Radio(CDataExchange& dx, int nFirstId, int& value);
// Text of an edit or label, UTF-8.
void DDX_Text(CDataExchange& dx, int nId, std::string& value);
// Integer in an edit, accepted only within nMin..nMax. On a failure the
// member keeps its previous value.
bool DDX_TextMinMax(CDataExchange& dx, int nId, int& value, int nMin, int nMax);
