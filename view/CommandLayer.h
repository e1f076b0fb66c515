#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QWidget;

// What a command's update handler decides: enabled, and the check state
// (0 off, 1 on, 2 indeterminate, which is shown as on).
class CCmdUI {
public:
    explicit CCmdUI(unsigned nID, bool bEnabled) : m_nID(nID), m_bEnabled(bEnabled) {}

    void Enable(bool bOn = true) { m_bEnabled = bOn; }
    void SetCheck(int nCheck = 1) {
        m_nCheck = nCheck;
        m_bCheckSet = true;
    }
    void SetRadio(bool bOn = true) { SetCheck(bOn ? 1 : 0); }

    unsigned m_nID;
    bool m_bEnabled;
    int m_nCheck = 0;
    bool m_bCheckSet = false;
};

// The window's commands: one QAction per command identifier, made from the
// command table, plus extra actions with their own texts for context menus.
// Each command has at most one handler and one update handler, registered by
// the object that owns the command; registrations vanish with their owner.
// A command without a handler is disabled; one with a handler is enabled
// unless its update handler says otherwise.
class CCommandLayer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(CCmdUI&)>;

    // Actions are made as children of pWindow and added to it, so that their
    // shortcuts work anywhere in the window.
    explicit CCommandLayer(QWidget* pWindow);
    ~CCommandLayer() override;

    // The command's main action (menu bar and tool bar), made on first use
    // with the prompt, tool tip, shortcuts and picture of the command table.
    QAction* Action(unsigned nID);
    // A further action for the same command with another text (context menus).
    QAction* CreateAlias(unsigned nID, const QString& strText, QObject* pParent);

    void SetHandler(unsigned nID, QObject* pOwner, Handler handler);
    void SetUpdateHandler(unsigned nID, QObject* pOwner, UpdateHandler update);
    bool HasHandler(unsigned nID) const;

    // Fills pMenu with the items of pop-up nPopup of menu resource nMenuID.
    // With bAliases false the items are the commands' main actions, which take
    // the menu's texts (the menu bar); with true each item is an alias owned by
    // the menu (context menus). Opening the menu evaluates every state.
    void FillMenu(QMenu* pMenu, unsigned nMenuID, int nPopup, bool bAliases);

    // The state the update handler gives the command right now.
    CCmdUI Query(unsigned nID) const;
    // Runs the command when it has a handler and is enabled, then evaluates
    // every state again. Returns whether the handler ran.
    bool Execute(unsigned nID);
    // Evaluates the state of every command that has an action.
    void UpdateAll();

signals:
    // After a command's handler ran.
    void CommandExecuted(unsigned nID);

private:
    struct Entry {
        Handler handler;
        QObject* pHandlerOwner = nullptr;
        UpdateHandler update;
        QObject* pUpdateOwner = nullptr;
        std::vector<QAction*> actions;
    };

    void Watch(QObject* pOwner);
    void Forget(QObject* pOwner);
    void Apply(Entry& entry, const CCmdUI& ui);
    QAction* MakeAction(unsigned nID, const QString& strText, QObject* pParent);

    QWidget* m_pWindow;
    std::map<unsigned, Entry> m_entries;
    std::vector<QObject*> m_watched;
};
