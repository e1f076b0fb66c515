#pragma once

// Helpers for driving the dialogs offscreen: one QApplication for the whole
// test program, a script that answers the modal loops in order, a fixed
// clock, and clicks and keys on controls found by identifier.

#include "FixedClock.h"
#include "ModalSeam.h"
#include "TemplateDialog.h"

#include <QDialog>
#include <QString>

#include <ctime>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// Answers DoModal and AfxMessageBox with the queued steps, first in first
// out; nested dialogs take the next step. A modal loop that finds the queue
// empty is counted as unexpected and answered with IDCANCEL.
class ModalScript {
public:
    using Step = std::function<int(QDialog&)>;

    ModalScript();
    ModalScript& Then(Step step);
    // A message box with string nStringId, answered with nAnswer.
    ModalScript& ThenMessage(unsigned nStringId, int nAnswer = IDOK);

    int Unexpected() const { return m_nUnexpected; }
    bool Done() const { return m_steps.empty(); }
    // Titles of every dialog and the string ids of every message box seen.
    const std::vector<QString>& Titles() const { return m_titles; }
    const std::vector<unsigned>& Messages() const { return m_messages; }

private:
    int Answer(QDialog& dialog);

    std::deque<Step> m_steps;
    std::vector<QString> m_titles;
    std::vector<unsigned> m_messages;
    int m_nUnexpected = 0;
    ScopedModalHook m_hook;
};

// Left click on the control, as a user would (a disabled control ignores
// it); returns the dialog's result afterwards: IDOK or IDCANCEL once the click
// closed it, else 0.
int Click(QDialog& dialog, int nId);
// Types into the control as a user would.
void KeyClicks(QDialog& dialog, int nId, const QString& text);
void ClearText(QDialog& dialog, int nId);
QWidget* Control(QDialog& dialog, int nId);
// The push button that Enter presses, by identifier (-2 when none).
int DefaultButtonId(QDialog& dialog);
bool IsChecked(QDialog& dialog, int nId);
bool IsEnabled(QDialog& dialog, int nId);
QString Text(QDialog& dialog, int nId);
