#pragma once

// The signatures in the window: a pane of the status bar that shows the
// newest database's version and build date with the number of signatures,
// and says in words when they are weeks old or missing. It reads the folder
// again now and then, as freshclam updates it behind the window's back.

#include <QLabel>
#include <QString>

#include <ctime>

struct CSignatureInfo;
class QTimer;

class CSignaturePane : public QLabel {
    Q_OBJECT
public:
    // Minutes between two readings of the folder.
    static constexpr int kRefreshMinutes = 10;

    explicit CSignaturePane(QWidget* pParent = nullptr);

    // Reads the signature folder afresh and shows what it holds at now.
    void Refresh(std::time_t now);
    bool IsWarning() const { return m_bWarning; }

    // "Sygnatury: daily.cld 27123 z 2026-12-08, sygnatur 3627488", or the
    // missing signatures' warning.
    static QString Summary(const CSignatureInfo& info);

private:
    QTimer* m_pTimer;
    bool m_bWarning = false;
};
