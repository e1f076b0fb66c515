#pragma once

#include <QWidget>

class QToolButton;

// Up-down arrows beside an edit field (its buddy). The control keeps no
// position of its own: each click, and each Up or Down key in the buddy when
// arrow keys are on, reports one step and the owner decides what it means.
class CSpinButtonCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButtonCtrl(QWidget* pParent = nullptr);

    // Attaches the arrows to pBuddy. With bAlignRight they take the buddy's
    // height and sit inside its right edge; the buddy shrinks by their width.
    void SetBuddy(QWidget* pBuddy, bool bArrowKeys, bool bAlignRight);
    QWidget* GetBuddy() const { return m_pBuddy; }

    QToolButton* UpButton() const { return m_pUp; }
    QToolButton* DownButton() const { return m_pDown; }

signals:
    // +1 for the up arrow, -1 for the down arrow.
    void Stepped(int nSteps);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    QToolButton* m_pUp;
    QToolButton* m_pDown;
    QWidget* m_pBuddy = nullptr;
};
