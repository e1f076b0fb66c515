#include "DataExchange.h"

#include "ModalSeam.h"
#include "StringTable.h"
#include "TemplateDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace {
constexpr unsigned IDS_PARSE_INT = 61712;
constexpr unsigned IDS_PARSE_INT_RANGE = 61713;
} // namespace

QWidget* CDataExchange::PrepareCtrl(int nId) {
    m_pLastCtrl = m_pDlg->GetDlgItem(nId);
    return m_pLastCtrl;
}

void CDataExchange::Fail(unsigned nStringId, const char* pszArg1, const char* pszArg2) {
    QString text = QString::fromUtf8(LoadResString(nStringId));
    if (pszArg1 != nullptr)
        text.replace(QStringLiteral("%1"), QString::fromUtf8(pszArg1));
    if (pszArg2 != nullptr)
        text.replace(QStringLiteral("%2"), QString::fromUtf8(pszArg2));
    AfxMessageBox(text.toUtf8().constData(), MB_OK | MB_ICONEXCLAMATION);
    if (m_pLastCtrl != nullptr) {
        m_pLastCtrl->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(m_pLastCtrl))
            edit->selectAll();
    }
    m_bFailed = true;
}

void DDX_Check(CDataExchange& dx, int nId, int& value) {
    auto* box = qobject_cast<QCheckBox*>(dx.PrepareCtrl(nId));
    if (box == nullptr)
        return;
    if (dx.IsSaving())
        value = box->isChecked() ? 1 : 0;
    else
        box->setChecked(value != 0);
}

void DDX_Radio(CDataExchange& dx, int nFirstId, int& value) {
    dx.PrepareCtrl(nFirstId);
    const std::vector<QRadioButton*> group = dx.Dialog().Controls().RadioGroup(nFirstId);
    if (dx.IsSaving()) {
        // With no button checked the member keeps its value: stored data may
        // hold a number that no button stands for, and it is kept as it is.
        for (size_t i = 0; i < group.size(); ++i)
            if (group[i]->isChecked())
                value = static_cast<int>(i);
        return;
    }
    for (size_t i = 0; i < group.size(); ++i) {
        QRadioButton* radio = group[i];
        // An exclusive group refuses to uncheck its last button by itself.
        QButtonGroup* buttons = radio->group();
        const bool bExclusive = buttons != nullptr && buttons->exclusive();
        if (bExclusive)
            buttons->setExclusive(false);
        radio->setChecked(static_cast<int>(i) == value);
        if (bExclusive)
            buttons->setExclusive(true);
    }
}

void DDX_Text(CDataExchange& dx, int nId, std::string& value) {
    QWidget* ctrl = dx.PrepareCtrl(nId);
    if (auto* edit = qobject_cast<QLineEdit*>(ctrl)) {
        if (dx.IsSaving())
            value = edit->text().toStdString();
        else if (edit->text() != QString::fromStdString(value))
            edit->setText(QString::fromStdString(value));
    } else if (auto* label = qobject_cast<QLabel*>(ctrl)) {
        if (dx.IsSaving())
            value = label->text().toStdString();
        else
            label->setText(QString::fromStdString(value));
    }
}

bool DDX_TextMinMax(CDataExchange& dx, int nId, int& value, int nMin, int nMax) {
    auto* edit = qobject_cast<QLineEdit*>(dx.PrepareCtrl(nId));
    if (edit == nullptr)
        return true;
    if (!dx.IsSaving()) {
        edit->setText(QString::number(value));
        return true;
    }
    bool bOk = false;
    const int parsed = edit->text().trimmed().toInt(&bOk);
    if (!bOk) {
        dx.Fail(IDS_PARSE_INT);
        return false;
    }
    if (parsed < nMin || parsed > nMax) {
        dx.Fail(IDS_PARSE_INT_RANGE, std::to_string(nMin).c_str(), std::to_string(nMax).c_str());
        return false;
    }
    value = parsed;
    return true;
}
