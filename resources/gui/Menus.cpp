#include "Menus.h"

#include "ResourceIds.h"

#include <algorithm>
#include <iterator>

namespace res {
namespace {

const MenuItemDef kJobMenu[] = {
    {ID_JOB_NEW, "&Nowa...\tCtrl+N"},
    {ID_JOB_EDIT, "Zamień...\tCtrl+E"},
    {0, nullptr},
    {ID_JOB_RUN_NOW, "Teraz uruchom"},
    {ID_JOB_RUN_FULL, "Pełna analiza teraz"},
    {ID_JOB_SHOW_LOG, "Pokaż &protokół"},
    {ID_JOB_QUARANTINE, "&Kwarantanna..."},
    {0, nullptr},
    {ID_FILE_OPEN, "&Importuj..."},
    {ID_FILE_SAVE_AS, "&Eksportuj..."},
    {0, nullptr},
    {ID_APP_EXIT, "Konie&c"},
};

const MenuItemDef kEditMenu[] = {
    {ID_EDIT_CUT, "&Wytnij\tCtrl+X"},    {ID_EDIT_COPY, "&Kopiuj\tCtrl+C"},
    {ID_EDIT_PASTE, "&Przesuń\tCtrl+V"}, {0, nullptr},
    {ID_JOB_DELETE, "&Usuń\tDel"},
};

const MenuItemDef kViewMenu[] = {
    {ID_VIEW_REFRESH, "&Aktualizacja\tF5"}, {0, nullptr},
    {ID_VIEW_COUNTDOWN, "&Działanie"},      {0, nullptr},
    {ID_VIEW_TOOLBAR, "Pasek &symboli"},    {ID_VIEW_STATUS_BAR, "Pasek s&tatusu"},
};

const MenuItemDef kHelpMenu[] = {
    {ID_APP_ABOUT, "Inf&ormacje o Vex Tempora..."},
    {ID_HELP, "&Zawartość i treść"},
};

const PopupDef kMainPopups[] = {
    {"&Analiza", kJobMenu},
    {"&Edycja", kEditMenu},
    {"&Widok", kViewMenu},
    {"&?", kHelpMenu},
};

const MenuItemDef kSelectedItems[] = {
    {ID_EDIT_CUT, "&Wytnij"},
    {ID_EDIT_COPY, "&Kopiuj"},
    {ID_JOB_DELETE, "&Usuń"},
    {0, nullptr},
    {ID_JOB_EDIT, "&Zmień"},
    {ID_JOB_RUN_NOW, "&Teraz uruchom"},
    {ID_JOB_RUN_FULL, "Pełna &analiza teraz"},
    {ID_JOB_STOP, "Zat&rzymaj analizę"},
    {ID_JOB_SHOW_LOG, "Pokaż &protokół"},
};

const MenuItemDef kEmptyItems[] = {
    {ID_JOB_NEW, "&Nowy plan..."},
    {ID_EDIT_PASTE, "Przesuń"},
};

// A context menu is the first pop-up of its menu resource; the title is not shown.
const PopupDef kSelectedPopups[] = {{"", kSelectedItems}};
const PopupDef kEmptyPopups[] = {{"", kEmptyItems}};

const MenuDef kMenus[] = {
    {IDR_MAINFRAME, kMainPopups},
    {IDR_CONTEXT_SELECTED, kSelectedPopups},
    {IDR_CONTEXT_EMPTY, kEmptyPopups},
};

} // namespace

const MenuDef* FindMenu(unsigned id) {
    auto it = std::find_if(std::begin(kMenus), std::end(kMenus),
                           [id](const MenuDef& m) { return m.id == id; });
    return it != std::end(kMenus) ? &*it : nullptr;
}

} // namespace res
