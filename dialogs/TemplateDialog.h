#pragma once

#include "DialogBuilder.h"

#include <QDialog>

class CDataExchange;

// A modal dialog built from a template of the resources. Subclasses bind
// their members in DoDataExchange; UpdateData(true) reads the controls into
// the members (and may fail on a bad value), UpdateData(false) fills the
// controls. DoModal runs OnInitDialog and then the modal loop through the
// modal seam; its result is IDOK (1) or IDCANCEL (2).
class CTemplateDialog : public QDialog {
    Q_OBJECT
public:
    CTemplateDialog(unsigned nIDTemplate, QWidget* pParent);

    int DoModal();
    bool UpdateData(bool bSaveAndValidate = true);

    // The control with this identifier, or nullptr.
    QWidget* GetDlgItem(int nId) const { return m_controls.Find(nId); }
    template <class T> T* Item(int nId) const { return qobject_cast<T*>(GetDlgItem(nId)); }
    const CDialogControls& Controls() const { return m_controls; }

    void EndDialog(int nResult) { done(nResult); }

    // Makes push button nId the one that Enter presses; no other is.
    void SetDefaultButton(int nId);
    // OK is enabled and the default button when bComplete; otherwise it is
    // disabled and Cancel becomes the default.
    void SetInputComplete(bool bComplete);

protected:
    // Fills the controls and puts the focus on the first tab stop.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    // Reads the controls; closes with IDOK when that succeeds.
    virtual void OnOK();
    // Closes with IDCANCEL without reading the controls.
    virtual void OnCancel();

    // Enter, Escape and the window's close button end up in OnOK / OnCancel.
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

private:
    void FocusFirstTabStop();

    CDialogControls m_controls;
};
