#include "WindowRect.h"

#include "Settings.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace {
constexpr int kMaxExtent = 1 << 16;

bool OnSomeScreen(const QRect& rect) {
    const auto screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return true;
    for (const QScreen* screen : screens)
        if (screen->geometry().intersects(rect))
            return true;
    return false;
}
} // namespace

void SaveWindowRect(const QWidget* pWnd, const char* pszKey) {
    if (pWnd == nullptr)
        return;
    // A maximised window is saved with its maximised size, so it comes back
    // as a normal window of that size.
    QRect rect = pWnd->geometry();
    if (pWnd->parentWidget() != nullptr && !pWnd->isWindow())
        rect.moveTopLeft(pWnd->parentWidget()->mapToGlobal(rect.topLeft()));
    CWindowRect stored;
    stored.left = rect.left();
    stored.top = rect.top();
    stored.right = rect.left() + rect.width();
    stored.bottom = rect.top() + rect.height();
    RegSetWindowRect(pszKey, stored);
}

bool RestoreWindowRect(QWidget* pWnd, const char* pszKey) {
    CWindowRect stored;
    if (pWnd == nullptr || !RegGetWindowRect(pszKey, stored))
        return false;
    const qint64 width = qint64(stored.right) - stored.left;
    const qint64 height = qint64(stored.bottom) - stored.top;
    if (width <= 0 || height <= 0 || width > kMaxExtent || height > kMaxExtent ||
        stored.left < -kMaxExtent || stored.left > kMaxExtent || stored.top < -kMaxExtent ||
        stored.top > kMaxExtent)
        return false;
    QRect rect(stored.left, stored.top, int(width), int(height));
    if (pWnd->parentWidget() != nullptr && !pWnd->isWindow()) {
        rect.moveTopLeft(pWnd->parentWidget()->mapFromGlobal(rect.topLeft()));
    } else if (!OnSomeScreen(rect)) {
        return false;
    }
    pWnd->setGeometry(rect);
    pWnd->update();
    return true;
}
