#pragma once

// The help pages in a window of the program's own, for a desktop without a
// web browser: the page, its links between the pages, and buttons back, to
// the contents and to close. Links that leave the help folder go to the
// desktop (when it has a way to open them) rather than into the viewer.

#include <QDialog>
#include <QString>

class QTextBrowser;
class QPushButton;

class CHelpViewDlg : public QDialog {
    Q_OBJECT
public:
    // strIndexPath: the help's first page (the contents).
    explicit CHelpViewDlg(const QString& strIndexPath, QWidget* pParent = nullptr);

    QTextBrowser* Browser() const { return m_pBrowser; }

    // True when the desktop has a program that opens a local HTML page:
    // xdg-open and, for text/html, a default application, $BROWSER or one
    // of the browsers xdg-open falls back on.
    static bool DesktopOpensHtml();

private:
    QTextBrowser* m_pBrowser;
    QPushButton* m_pBack;
    QString m_strIndexPath;
};
