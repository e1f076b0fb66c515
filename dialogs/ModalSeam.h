#pragma once

// The one place where modal loops run. Dialogs (`DoModal`) and message boxes
// (`AfxMessageBox`) go through RunModal, so a test can answer them without a
// blocking event loop: while a hook is set, RunModal shows the dialog
// (non-modally), calls the hook with it and returns the hook's result instead
// of calling exec(). Nested dialogs reach the same hook.

#include <functional>

class QDialog;
class QString;
class QWidget;

// Message box styles and answers, with the numbers callers know them by.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_OKCANCEL = 0x01;
constexpr unsigned MB_YESNOCANCEL = 0x03;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
// With MB_YESNO: also "Tak, dla wszystkich" and "Nie, dla żadnej" for a
// question asked once per item of a series, and "Anuluj" (Escape) to stop it.
constexpr unsigned MB_FORALL = 0x1000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDYESTOALL = 20;
constexpr int IDNOTOALL = 21;

// Answers a modal loop in place of exec(). The dialog is shown when the hook
// runs; the hook may drive its widgets. For a dialog it returns the DoModal
// result (after a click on OK or Cancel, `dialog.result()` holds IDOK or
// IDCANCEL); for a message box one of IDOK, IDCANCEL, IDYES, IDNO.
using ModalHook = std::function<int(QDialog& dialog)>;

// Installs a hook (an empty one restores exec()).
void SetModalHook(ModalHook hook);

// Sets a hook for the lifetime of the object and restores the previous one.
class ScopedModalHook {
public:
    explicit ScopedModalHook(ModalHook hook);
    ~ScopedModalHook();
    ScopedModalHook(const ScopedModalHook&) = delete;
    ScopedModalHook& operator=(const ScopedModalHook&) = delete;

private:
    ModalHook m_previous;
};

// Runs the dialog modally (exec) or through the hook; returns its result.
int RunModal(QDialog& dialog);

// Message box with the caption "Vex Tempora" and the text of string nStringId
// (or the given text), buttons and icon from nType. Returns IDOK, IDCANCEL,
// IDYES or IDNO. The parent is the application's active window.
int AfxMessageBox(unsigned nStringId, unsigned nType = MB_OK);
int AfxMessageBox(const char* pszText, unsigned nType = MB_OK);

// For hooks: whether the dialog is a message box from AfxMessageBox, the
// string id it shows (0 for a text given directly), its text and its style.
// AnswerOfButton tells which answer a button of the box gives.
bool IsMessageBox(const QDialog& dialog);
unsigned MessageBoxStringId(const QDialog& dialog);
QString MessageBoxText(const QDialog& dialog);
unsigned MessageBoxType(const QDialog& dialog);
int AnswerOfButton(const QDialog& dialog, const QString& label);
