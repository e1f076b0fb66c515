#include "ModalSeam.h"

#include "StringTable.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace {
ModalHook& Hook() {
    static ModalHook hook;
    return hook;
}

constexpr const char* kStringIdProperty = "vexMessageStringId";
constexpr const char* kStyleProperty = "vexMessageStyle";
constexpr unsigned kAppTitle = 57344;
constexpr unsigned kTextYesToAll = 393;
constexpr unsigned kTextNoToAll = 394;

QMessageBox::Icon IconOf(unsigned nType) {
    switch (nType & 0xF0) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Adds the buttons of the style with Polish labels; the first one is the default.
void AddButtons(QMessageBox& box, unsigned nType) {
    auto add = [&box](QMessageBox::StandardButton which, const char* label) {
        box.addButton(which)->setText(QString::fromUtf8(label));
    };
    switch (nType & 0x0F) {
    case MB_OKCANCEL:
        add(QMessageBox::Ok, "OK");
        add(QMessageBox::Cancel, "Anuluj");
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MB_YESNOCANCEL:
        add(QMessageBox::Yes, "&Tak");
        add(QMessageBox::No, "&Nie");
        add(QMessageBox::Cancel, "Anuluj");
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MB_YESNO:
        add(QMessageBox::Yes, "&Tak");
        if (nType & MB_FORALL)
            add(QMessageBox::YesToAll, LoadResString(kTextYesToAll));
        add(QMessageBox::No, "&Nie");
        if (nType & MB_FORALL) {
            add(QMessageBox::NoToAll, LoadResString(kTextNoToAll));
            add(QMessageBox::Cancel, "Anuluj");
            box.setEscapeButton(QMessageBox::Cancel);
        }
        box.setDefaultButton(QMessageBox::Yes);
        break;
    default:
        add(QMessageBox::Ok, "OK");
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    }
}

int AnswerOf(int standardButton) {
    switch (standardButton) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::YesToAll:
        return IDYESTOALL;
    case QMessageBox::NoToAll:
        return IDNOTOALL;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

int ShowMessageBox(const QString& text, unsigned nStringId, unsigned nType) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromUtf8(LoadResString(kAppTitle)));
    box.setText(text);
    box.setIcon(IconOf(nType));
    AddButtons(box, nType);
    box.setProperty(kStringIdProperty, nStringId);
    box.setProperty(kStyleProperty, nType);
    if (Hook()) {
        ModalHook hook = Hook();
        box.show();
        return hook(box);
    }
    return AnswerOf(box.exec());
}
} // namespace

void SetModalHook(ModalHook hook) {
    Hook() = std::move(hook);
}

ScopedModalHook::ScopedModalHook(ModalHook hook) : m_previous(std::move(Hook())) {
    Hook() = std::move(hook);
}

ScopedModalHook::~ScopedModalHook() {
    Hook() = std::move(m_previous);
}

int RunModal(QDialog& dialog) {
    if (!Hook())
        return dialog.exec();
    // A local copy keeps the hook alive even if it replaces itself.
    ModalHook hook = Hook();
    dialog.show();
    const int result = hook(dialog);
    dialog.hide();
    return result;
}

int AfxMessageBox(unsigned nStringId, unsigned nType) {
    return ShowMessageBox(QString::fromUtf8(LoadResString(nStringId)), nStringId, nType);
}

int AfxMessageBox(const char* pszText, unsigned nType) {
    return ShowMessageBox(QString::fromUtf8(pszText != nullptr ? pszText : ""), 0, nType);
}

bool IsMessageBox(const QDialog& dialog) {
    return dialog.property(kStringIdProperty).isValid();
}

unsigned MessageBoxStringId(const QDialog& dialog) {
    return dialog.property(kStringIdProperty).toUInt();
}

QString MessageBoxText(const QDialog& dialog) {
    const auto* box = qobject_cast<const QMessageBox*>(&dialog);
    return box != nullptr ? box->text() : QString();
}

unsigned MessageBoxType(const QDialog& dialog) {
    return dialog.property(kStyleProperty).toUInt();
}

int AnswerOfButton(const QDialog& dialog, const QString& label) {
    const auto* box = qobject_cast<const QMessageBox*>(&dialog);
    if (box == nullptr)
        return 0;
    for (QAbstractButton* button : box->buttons())
        if (button->text() == label)
            return AnswerOf(box->standardButton(button));
    return 0;
}
