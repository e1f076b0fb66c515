#include "MainFrame.h"

#include "CommandLayer.h"
#include "Menus.h"
#include "ResourceIds.h"
#include "SignaturePane.h"
#include "StringTable.h"
#include "Toolbar.h"
#include "VigilView.h"
#include "WindowRect.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <ctime>

namespace {
// The first line of a multi-line resource string.
QString FirstLine(unsigned id) {
    const QString text = QString::fromUtf8(LoadResString(id));
    return text.section(QLatin1Char('\n'), 0, 0);
}

// A menu item's text without its mnemonic marks and key names.
QString MenuItemText(unsigned nMenuId, unsigned nCommandId) {
    if (const res::MenuDef* menu = res::FindMenu(nMenuId))
        for (const auto& popup : menu->popups)
            for (const res::MenuItemDef& item : popup.items)
                if (item.id == nCommandId) {
                    QString text = QString::fromUtf8(item.text).section(QLatin1Char('\t'), 0, 0);
                    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
                    text.remove(QLatin1Char('&'));
                    return text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
                }
    return QString();
}

constexpr unsigned kIndicatorIds[3] = {res::ID_INDICATOR_CAPS, res::ID_INDICATOR_NUM,
                                       res::ID_INDICATOR_SCRL};
constexpr LockKey kIndicatorKeys[3] = {LockKey::Caps, LockKey::Num, LockKey::Scroll};
constexpr int kIndicatorPollMs = 500;
// The settings key of the user's part of the registry.
constexpr unsigned kSettingsKeyId = 141;
// Size on a user's first start.
constexpr int kDefaultWidth = 820;
constexpr int kDefaultHeight = 480;
constexpr int kListMargin = 40;
constexpr int kFrameSettleMs = 200;
} // namespace

CMainFrame::CMainFrame(QWidget* pParent)
    : QMainWindow(pParent), m_pCommands(new CCommandLayer(this)) {
    setWindowTitle(FirstLine(res::IDR_MAINFRAME));
    setWindowIcon(QIcon(QStringLiteral(":/images/") + QString::fromLatin1(res::AppIconImage())));
    // Wide enough for every column of the list at its default width, with
    // room for the frame and a scroll bar (a screen too small for it gets
    // the window fitted once it is shown).
    resize(std::max(kDefaultWidth, CVigilView::DefaultListWidth(font()) + kListMargin),
           kDefaultHeight);
    RestoreWindowRect(this, LoadResString(kSettingsKeyId));
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    RegisterCommands();
    m_pCommands->UpdateAll();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateMenus() {
    // Every pop-up of the menu resource becomes a menu of the menu bar; the
    // commands' main actions take the menu's texts.
    const res::MenuDef* def = res::FindMenu(res::IDR_MAINFRAME);
    if (def == nullptr)
        return;
    for (size_t i = 0; i < def->popups.size(); ++i) {
        auto* menu = new QMenu(QString::fromUtf8(def->popups[i].title), menuBar());
        m_pCommands->FillMenu(menu, res::IDR_MAINFRAME, static_cast<int>(i), false);
        menuBar()->addMenu(menu);
    }
}

void CMainFrame::CreateToolBar() {
    m_pToolBar = new QToolBar(this);
    m_pToolBar->setObjectName(QStringLiteral("ToolBar"));
    // The title names the bar in the context menu of the bars and when it floats.
    m_pToolBar->setWindowTitle(MenuItemText(res::IDR_MAINFRAME, res::ID_VIEW_TOOLBAR));
    m_pToolBar->setIconSize(QSize(16, 15));
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_pToolBar->setFloatable(true);
    m_pToolBar->setMovable(true);
    for (unsigned id : res::ToolbarButtons(res::IDR_MAINFRAME)) {
        if (id == 0)
            m_pToolBar->addSeparator();
        else
            m_pToolBar->addAction(m_pCommands->Action(id));
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    // The idle text is a normal widget: a command's prompt covers it while a
    // menu item or a button is under the pointer and it shows again after.
    m_pMessagePane = new QLabel(QString::fromUtf8(LoadResString(res::AFX_IDS_IDLEMESSAGE)), bar);
    bar->addWidget(m_pMessagePane, 1);
    m_pSignaturePane = new CSignaturePane(bar);
    m_pSignaturePane->Refresh(std::time(nullptr));
    bar->addPermanentWidget(m_pSignaturePane);
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(bar);
        const QString text = QString::fromUtf8(LoadResString(kIndicatorIds[i]));
        label->setProperty("indicatorText", text);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(text) + 12);
        bar->addPermanentWidget(label);
        m_pIndicators[i] = label;
    }
    m_pIndicatorTimer = new QTimer(this);
    connect(m_pIndicatorTimer, &QTimer::timeout, this, &CMainFrame::UpdateIndicators);
    m_pIndicatorTimer->start(kIndicatorPollMs);
    UpdateIndicators();
}

QLabel* CMainFrame::Indicator(LockKey key) const {
    for (int i = 0; i < 3; ++i)
        if (kIndicatorKeys[i] == key)
            return m_pIndicators[i];
    return nullptr;
}

void CMainFrame::SetKeyIndicators(const CKeyIndicators& indicators) {
    m_keyIndicators = indicators;
    UpdateIndicators();
}

void CMainFrame::UpdateIndicators() {
    for (int i = 0; i < 3; ++i) {
        const bool on = m_keyIndicators.IsOn(kIndicatorKeys[i]);
        m_pIndicators[i]->setText(on ? m_pIndicators[i]->property("indicatorText").toString()
                                     : QString());
    }
}

void CMainFrame::RegisterCommands() {
    CCommandLayer& cmd = *m_pCommands;
    cmd.SetHandler(res::ID_VIEW_TOOLBAR, this,
                   [this] { m_pToolBar->setVisible(!m_pToolBar->isVisible()); });
    cmd.SetUpdateHandler(res::ID_VIEW_TOOLBAR, this,
                         [this](CCmdUI& ui) { ui.SetCheck(m_pToolBar->isVisibleTo(this)); });
    cmd.SetHandler(res::ID_VIEW_STATUS_BAR, this,
                   [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    cmd.SetUpdateHandler(res::ID_VIEW_STATUS_BAR, this,
                         [this](CCmdUI& ui) { ui.SetCheck(statusBar()->isVisibleTo(this)); });
    cmd.SetHandler(res::ID_APP_EXIT, this, [this] { close(); });
    // The window has a single pane, so the pane-switching keys have nothing
    // to do: their commands have no handler and stay disabled.
    cmd.Action(res::ID_NEXT_PANE);
    cmd.Action(res::ID_PREV_PANE);
    // The tool bar's visibility can also change through its own context menu.
    connect(m_pToolBar, &QToolBar::visibilityChanged, &cmd, &CCommandLayer::UpdateAll);
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_bShown)
        return;
    m_bShown = true;
    // Only the window manager's frame tells how much room the title bar
    // takes; once it is there, the window is fitted again with it.
    QTimer::singleShot(kFrameSettleMs, this, [this] { FitWindowToScreen(this); });
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_bClosed && m_closeHandler) {
        m_bClosed = true;
        m_closeHandler();
    }
    m_pIndicatorTimer->stop();
    event->accept();
}
