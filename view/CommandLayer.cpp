#include "CommandLayer.h"

#include "Commands.h"
#include "Menus.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include <algorithm>

CCommandLayer::CCommandLayer(QWidget* pWindow) : QObject(pWindow), m_pWindow(pWindow) {
    // Paste depends on what the clipboard holds.
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, &CCommandLayer::UpdateAll);
}

CCommandLayer::~CCommandLayer() = default;

QAction* CCommandLayer::MakeAction(unsigned nID, const QString& strText, QObject* pParent) {
    auto* action = new QAction(strText, pParent);
    action->setStatusTip(QString::fromStdString(res::CommandPrompt(nID)));
    const std::string tip = res::CommandToolTip(nID);
    if (!tip.empty())
        action->setToolTip(QString::fromStdString(tip));
    // Menus of this program show no pictures; only the tool bar does.
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, nID] { Execute(nID); });
    connect(action, &QObject::destroyed, this, [this, nID, action] {
        auto it = m_entries.find(nID);
        if (it != m_entries.end())
            std::erase(it->second.actions, action);
    });
    Entry& entry = m_entries[nID];
    entry.actions.push_back(action);
    Apply(entry, Query(nID));
    return action;
}

QAction* CCommandLayer::Action(unsigned nID) {
    auto it = m_entries.find(nID);
    if (it != m_entries.end() && !it->second.actions.empty() &&
        it->second.actions.front()->parent() == m_pWindow)
        return it->second.actions.front();

    QAction* action = MakeAction(nID, QString(), m_pWindow);
    // The main action comes first, ahead of aliases made before it.
    auto& actions = m_entries[nID].actions;
    std::rotate(actions.begin(), actions.end() - 1, actions.end());
    if (const res::CommandDef* def = res::FindCommand(nID)) {
        QList<QKeySequence> keys;
        for (const char* key : def->keys)
            if (key != nullptr)
                keys.append(QKeySequence(QString::fromLatin1(key)));
        action->setShortcuts(keys);
        if (def->image != nullptr)
            action->setIcon(QIcon(QStringLiteral(":/images/") + QString::fromLatin1(def->image)));
    }
    action->setShortcutContext(Qt::WindowShortcut);
    m_pWindow->addAction(action);
    return action;
}

QAction* CCommandLayer::CreateAlias(unsigned nID, const QString& strText, QObject* pParent) {
    return MakeAction(nID, strText, pParent);
}

void CCommandLayer::FillMenu(QMenu* pMenu, unsigned nMenuID, int nPopup, bool bAliases) {
    const res::MenuDef* menu = res::FindMenu(nMenuID);
    if (menu == nullptr || nPopup < 0 || static_cast<size_t>(nPopup) >= menu->popups.size())
        return;
    for (const res::MenuItemDef& item : menu->popups[nPopup].items) {
        if (item.id == 0) {
            pMenu->addSeparator();
            continue;
        }
        const QString text = QString::fromUtf8(item.text);
        QAction* action = nullptr;
        if (bAliases) {
            action = CreateAlias(item.id, text, pMenu);
        } else {
            action = Action(item.id);
            action->setText(text);
            // The toolkit writes an action's keys beside a menu text that
            // names none; such an item gets an alias without keys, so the menu
            // shows exactly its text while the keys keep working.
            if (!text.contains(QLatin1Char('\t')) && !action->shortcuts().isEmpty())
                action = CreateAlias(item.id, text, pMenu);
        }
        pMenu->addAction(action);
    }
    connect(pMenu, &QMenu::aboutToShow, this, &CCommandLayer::UpdateAll);
}

void CCommandLayer::Watch(QObject* pOwner) {
    if (pOwner == nullptr ||
        std::find(m_watched.begin(), m_watched.end(), pOwner) != m_watched.end())
        return;
    m_watched.push_back(pOwner);
    connect(pOwner, &QObject::destroyed, this, [this, pOwner] { Forget(pOwner); });
}

void CCommandLayer::Forget(QObject* pOwner) {
    std::erase(m_watched, pOwner);
    for (auto& [id, entry] : m_entries) {
        if (entry.pHandlerOwner == pOwner) {
            entry.handler = nullptr;
            entry.pHandlerOwner = nullptr;
        }
        if (entry.pUpdateOwner == pOwner) {
            entry.update = nullptr;
            entry.pUpdateOwner = nullptr;
        }
    }
}

void CCommandLayer::SetHandler(unsigned nID, QObject* pOwner, Handler handler) {
    Entry& entry = m_entries[nID];
    entry.handler = std::move(handler);
    entry.pHandlerOwner = pOwner;
    Watch(pOwner);
    Apply(entry, Query(nID));
}

void CCommandLayer::SetUpdateHandler(unsigned nID, QObject* pOwner, UpdateHandler update) {
    Entry& entry = m_entries[nID];
    entry.update = std::move(update);
    entry.pUpdateOwner = pOwner;
    Watch(pOwner);
    Apply(entry, Query(nID));
}

bool CCommandLayer::HasHandler(unsigned nID) const {
    auto it = m_entries.find(nID);
    return it != m_entries.end() && it->second.handler;
}

CCmdUI CCommandLayer::Query(unsigned nID) const {
    CCmdUI ui(nID, HasHandler(nID));
    auto it = m_entries.find(nID);
    if (it != m_entries.end() && it->second.update)
        it->second.update(ui);
    return ui;
}

void CCommandLayer::Apply(Entry& entry, const CCmdUI& ui) {
    for (QAction* action : entry.actions) {
        action->setEnabled(ui.m_bEnabled);
        if (ui.m_bCheckSet) {
            action->setCheckable(true);
            action->setChecked(ui.m_nCheck != 0);
        }
    }
}

bool CCommandLayer::Execute(unsigned nID) {
    if (!Query(nID).m_bEnabled) {
        UpdateAll();
        return false;
    }
    // A copy: the handler may replace its own registration while it runs.
    Handler handler = m_entries[nID].handler;
    handler();
    emit CommandExecuted(nID);
    UpdateAll();
    return true;
}

void CCommandLayer::UpdateAll() {
    for (auto& [id, entry] : m_entries)
        if (!entry.actions.empty())
            Apply(entry, Query(id));
}
