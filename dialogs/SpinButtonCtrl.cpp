#include "SpinButtonCtrl.h"

#include <QKeyEvent>
#include <QToolButton>

namespace {
QToolButton* MakeArrow(QWidget* pParent, Qt::ArrowType arrow) {
    auto* button = new QToolButton(pParent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}
} // namespace

CSpinButtonCtrl::CSpinButtonCtrl(QWidget* pParent)
    : QWidget(pParent), m_pUp(MakeArrow(this, Qt::UpArrow)),
      m_pDown(MakeArrow(this, Qt::DownArrow)) {
    setFocusPolicy(Qt::NoFocus);
    connect(m_pUp, &QToolButton::clicked, this, [this] { emit Stepped(+1); });
    connect(m_pDown, &QToolButton::clicked, this, [this] { emit Stepped(-1); });
}

void CSpinButtonCtrl::SetBuddy(QWidget* pBuddy, bool bArrowKeys, bool bAlignRight) {
    if (m_pBuddy != nullptr)
        m_pBuddy->removeEventFilter(this);
    m_pBuddy = pBuddy;
    if (pBuddy == nullptr)
        return;
    if (bArrowKeys)
        pBuddy->installEventFilter(this);
    if (bAlignRight) {
        const QRect buddy = pBuddy->geometry();
        const int w = std::min(width(), buddy.width() / 2);
        pBuddy->setGeometry(buddy.x(), buddy.y(), buddy.width() - w, buddy.height());
        setGeometry(buddy.x() + buddy.width() - w, buddy.y(), w, buddy.height());
    }
}

bool CSpinButtonCtrl::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == m_pBuddy && pEvent->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(pEvent)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            emit Stepped(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

void CSpinButtonCtrl::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    const int upHeight = height() / 2;
    m_pUp->setGeometry(0, 0, width(), upHeight);
    m_pDown->setGeometry(0, upHeight, width(), height() - upHeight);
}
