#include "DialogTestSupport.h"

#include "TestApp.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// The dialogs are fixture members, made before any SetUp: the application
// has to be there before the first test.
[[maybe_unused]] testing::Environment* const kTestAppFirst =
    testing::AddGlobalTestEnvironment(new CTestAppFirst);

ModalScript::ModalScript() : m_hook([this](QDialog& dialog) { return Answer(dialog); }) {}

ModalScript& ModalScript::Then(Step step) {
    m_steps.push_back(std::move(step));
    return *this;
}

ModalScript& ModalScript::ThenMessage(unsigned nStringId, int nAnswer) {
    return Then([nStringId, nAnswer](QDialog& dialog) {
        EXPECT_TRUE(IsMessageBox(dialog));
        EXPECT_EQ(MessageBoxStringId(dialog), nStringId);
        return nAnswer;
    });
}

int ModalScript::Answer(QDialog& dialog) {
    m_titles.push_back(dialog.windowTitle());
    if (IsMessageBox(dialog))
        m_messages.push_back(MessageBoxStringId(dialog));
    if (m_steps.empty()) {
        ++m_nUnexpected;
        ADD_FAILURE() << "unexpected modal dialog: " << dialog.windowTitle().toStdString() << " "
                      << MessageBoxText(dialog).toStdString();
        return IDCANCEL;
    }
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    return step(dialog);
}

QWidget* Control(QDialog& dialog, int nId) {
    auto* templated = qobject_cast<CTemplateDialog*>(&dialog);
    QWidget* widget = templated != nullptr ? templated->GetDlgItem(nId) : nullptr;
    EXPECT_NE(widget, nullptr) << "no control " << nId;
    return widget;
}

int Click(QDialog& dialog, int nId) {
    QWidget* widget = Control(dialog, nId);
    if (widget == nullptr)
        return 0;
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, QPoint(8, widget->height() / 2));
    return dialog.result();
}

void KeyClicks(QDialog& dialog, int nId, const QString& text) {
    QWidget* widget = Control(dialog, nId);
    if (widget == nullptr)
        return;
    // QTest knows key codes for ASCII only; other letters go as text.
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void ClearText(QDialog& dialog, int nId) {
    auto* edit = qobject_cast<QLineEdit*>(Control(dialog, nId));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
}

int DefaultButtonId(QDialog& dialog) {
    int found = -2;
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->isDefault())
            found = button->property("controlId").toInt();
    return found;
}

bool IsChecked(QDialog& dialog, int nId) {
    auto* button = qobject_cast<QAbstractButton*>(Control(dialog, nId));
    return button != nullptr && button->isChecked();
}

bool IsEnabled(QDialog& dialog, int nId) {
    QWidget* widget = Control(dialog, nId);
    return widget != nullptr && widget->isEnabled();
}

QString Text(QDialog& dialog, int nId) {
    QWidget* widget = Control(dialog, nId);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    return {};
}
