#pragma once

#include "KeyIndicators.h"

#include <QMainWindow>

#include <functional>

class CCommandLayer;
class CSignaturePane;
class QLabel;
class QToolBar;
class QTimer;

// The application's main window: the menu bar, the flat tool bar that docks
// on any edge or floats, the status bar with the message pane, the
// signatures' pane and the three lock-key indicators, and the job list as its central widget. The
// title is the application's title alone, never a document name.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* pParent = nullptr);
    ~CMainFrame() override;

    CCommandLayer& Commands() { return *m_pCommands; }
    QToolBar* ToolBar() const { return m_pToolBar; }
    // The message pane's idle text ("Gotowy.").
    QLabel* MessagePane() const { return m_pMessagePane; }
    QLabel* Indicator(LockKey key) const;
    // The signatures' version, count and age.
    CSignaturePane* SignaturePane() const { return m_pSignaturePane; }

    // Reads the lock-key lights through indicators from now on.
    void SetKeyIndicators(const CKeyIndicators& indicators);
    void UpdateIndicators();

    // Work to do when the window closes, before it goes (the job list saves
    // its settings and the window rectangle, then stops its thread).
    void SetCloseHandler(std::function<void()> handler) { m_closeHandler = std::move(handler); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void RegisterCommands();

    CCommandLayer* m_pCommands;
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    CSignaturePane* m_pSignaturePane = nullptr;
    QLabel* m_pIndicators[3] = {};
    QTimer* m_pIndicatorTimer = nullptr;
    CKeyIndicators m_keyIndicators;
    std::function<void()> m_closeHandler;
    bool m_bClosed = false;
    bool m_bShown = false;
};
