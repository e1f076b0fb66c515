#pragma once

// The log viewer: a job's scan log, read-only, in a monospaced font, the
// newest run at the bottom and scrolled to it, with one button "Zamknij".
// A log larger than the viewer holds shows its newest part.

#include <QDialog>
#include <QString>

#include <string>

class QPlainTextEdit;
class QPushButton;

class CLogViewDlg : public QDialog {
    Q_OBJECT
public:
    // Most of a log the viewer reads; the older part is left out.
    static constexpr size_t kMaxBytes = 4u << 20;

    // Reads the log of the named job (as the store names it) below the
    // current state root.
    CLogViewDlg(const std::string& strJobName, QWidget* pParent = nullptr);

    // Runs the dialog through the modal seam.
    int DoModal();

    const QString& LogPath() const { return m_strPath; }
    QPlainTextEdit* TextView() const { return m_pText; }
    QPushButton* CloseButton() const { return m_pClose; }

protected:
    // The newest run is at the end: shown from there.
    void showEvent(QShowEvent* pEvent) override;

private:
    void LoadLog(const std::string& strLogPath);
    int FittingWidth() const;
    void ScrollToEnd();

    QString m_strPath;
    QPlainTextEdit* m_pText;
    QPushButton* m_pClose;
};
