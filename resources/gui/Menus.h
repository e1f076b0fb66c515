#pragma once

#include <span>

// Menu resources of the main window: the menu bar (IDR_MAINFRAME) and the two
// context menus of the job list. Texts carry their "&" mnemonics and, after a
// tab, the name of the key that reaches the same command.
namespace res {

struct MenuItemDef {
    unsigned id; // 0: separator
    const char* text;
};

struct PopupDef {
    const char* title;
    std::span<const MenuItemDef> items;
};

struct MenuDef {
    unsigned id;
    std::span<const PopupDef> popups;
};

// Null when no menu has that identifier.
const MenuDef* FindMenu(unsigned id);

} // namespace res
