#include "TemplateDialog.h"

#include "DataExchange.h"
#include "ModalSeam.h"

#include <QAbstractButton>
#include <QPushButton>

namespace {
const res::DialogTemplate& TemplateOf(unsigned nId) {
    const res::DialogTemplate* tmpl = res::FindDialogTemplate(nId);
    // A missing template is a programming error in this program's tables.
    Q_ASSERT(tmpl != nullptr);
    static const res::DialogTemplate kEmpty{0, "", 100, 50, res::ds::Caption, nullptr, 0};
    return tmpl != nullptr ? *tmpl : kEmpty;
}
} // namespace

CTemplateDialog::CTemplateDialog(unsigned nIDTemplate, QWidget* pParent)
    : QDialog(pParent), m_controls(CDialogBuilder::Build(*this, TemplateOf(nIDTemplate))) {
    if (auto* ok = Item<QAbstractButton>(IDOK))
        connect(ok, &QAbstractButton::clicked, this, [this] { OnOK(); });
    if (auto* cancel = Item<QAbstractButton>(IDCANCEL))
        connect(cancel, &QAbstractButton::clicked, this, [this] { OnCancel(); });
}

int CTemplateDialog::DoModal() {
    setResult(0);
    OnInitDialog();
    return RunModal(*this);
}

bool CTemplateDialog::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx(*this, bSaveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CTemplateDialog::SetDefaultButton(int nId) {
    for (const CBuiltControl& c : m_controls.All())
        if (auto* button = qobject_cast<QPushButton*>(c.pWidget))
            button->setDefault(c.pTemplate->nId == nId);
}

void CTemplateDialog::SetInputComplete(bool bComplete) {
    if (auto* ok = Item<QPushButton>(IDOK))
        ok->setEnabled(bComplete);
    SetDefaultButton(bComplete ? IDOK : IDCANCEL);
}

bool CTemplateDialog::OnInitDialog() {
    UpdateData(false);
    FocusFirstTabStop();
    return true;
}

void CTemplateDialog::DoDataExchange(CDataExchange& /*dx*/) {}

void CTemplateDialog::OnOK() {
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CTemplateDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CTemplateDialog::FocusFirstTabStop() {
    for (const CBuiltControl& c : m_controls.All()) {
        QWidget* w = c.pWidget;
        if (w->focusPolicy() != Qt::NoFocus && w->isEnabled() && !w->isHidden()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}
