#include "WindowRect.h"

#include "Settings.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

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
    if (pWnd->isWindow())
        FitWindowToScreen(pWnd);
    pWnd->update();
    return true;
}

void FitWindowToScreen(QWidget* pWnd) {
    // A maximised window is the window manager's to place.
    if (pWnd == nullptr || pWnd->isMaximized() || pWnd->isFullScreen())
        return;
    const QRect frame = pWnd->frameGeometry();
    const QRect client = pWnd->geometry();
    // The screen that shows the largest part of the window.
    QScreen* best = QGuiApplication::primaryScreen();
    qint64 bestArea = -1;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(frame);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = screen;
        }
    }
    if (best == nullptr)
        return;
    // The frame's parts around the client area: known once the window
    // manager has framed the window, none before.
    const int left = client.left() - frame.left();
    const int top = client.top() - frame.top();
    const int right = frame.right() - client.right();
    const int bottom = frame.bottom() - client.bottom();
    const QRect avail = best->availableGeometry();
    const int width = std::max(1, std::min(client.width(), avail.width() - left - right));
    const int height = std::max(1, std::min(client.height(), avail.height() - top - bottom));
    const int x = std::clamp(client.x(), avail.left() + left,
                             std::max(avail.left() + left, avail.right() + 1 - right - width));
    const int y = std::clamp(client.y(), avail.top() + top,
                             std::max(avail.top() + top, avail.bottom() + 1 - bottom - height));
    const QRect fitted(x, y, width, height);
    if (fitted != client)
        pWnd->setGeometry(fitted);
}
