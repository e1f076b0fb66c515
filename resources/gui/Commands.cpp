#include "Commands.h"

#include "ResourceIds.h"
#include "StringTable.h"

#include <algorithm>
#include <cstring>

namespace res {
namespace {

// Ctrl+E reaches the edit command, which is the key its menu entry names.
const CommandDef kCommands[] = {
    {ID_JOB_NEW, {"Ctrl+N", nullptr}, "new.png"},
    {ID_JOB_EDIT, {"Ctrl+E", nullptr}, "edit.png"},
    {ID_VIEW_REFRESH, {"F5", nullptr}, nullptr},
    {ID_VIEW_COUNTDOWN, {nullptr, nullptr}, nullptr},
    {ID_JOB_DELETE, {"Del", nullptr}, "delete.png"},
    {ID_JOB_RUN_NOW, {nullptr, nullptr}, nullptr},
    {ID_JOB_RUN_FULL, {nullptr, nullptr}, nullptr},
    {ID_JOB_STOP, {nullptr, nullptr}, nullptr},
    {ID_JOB_SHOW_LOG, {nullptr, nullptr}, nullptr},
    {ID_JOB_QUARANTINE, {nullptr, nullptr}, nullptr},
    {ID_FILE_OPEN, {"Ctrl+O", nullptr}, nullptr},
    {ID_FILE_SAVE, {"Ctrl+S", nullptr}, nullptr},
    {ID_FILE_SAVE_AS, {nullptr, nullptr}, nullptr},
    {ID_EDIT_COPY, {"Ctrl+C", "Ctrl+Ins"}, "copy.png"},
    {ID_EDIT_CUT, {"Ctrl+X", "Shift+Del"}, "cut.png"},
    {ID_EDIT_PASTE, {"Ctrl+V", "Shift+Ins"}, "paste.png"},
    {ID_APP_ABOUT, {nullptr, nullptr}, "about.png"},
    {ID_APP_EXIT, {nullptr, nullptr}, nullptr},
    {ID_HELP, {"F1", nullptr}, nullptr},
    {ID_NEXT_PANE, {"F6", nullptr}, nullptr},
    {ID_PREV_PANE, {"Shift+F6", nullptr}, nullptr},
    {ID_VIEW_TOOLBAR, {nullptr, nullptr}, nullptr},
    {ID_VIEW_STATUS_BAR, {nullptr, nullptr}, nullptr},
};

} // namespace

std::span<const CommandDef> Commands() {
    return kCommands;
}

const CommandDef* FindCommand(unsigned id) {
    auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                           [id](const CommandDef& c) { return c.id == id; });
    return it != std::end(kCommands) ? &*it : nullptr;
}

std::string CommandPrompt(unsigned id) {
    const char* text = LoadResString(id);
    const char* br = std::strchr(text, '\n');
    return br ? std::string(text, br) : std::string(text);
}

std::string CommandToolTip(unsigned id) {
    const char* text = LoadResString(id);
    const char* br = std::strchr(text, '\n');
    return br ? std::string(br + 1) : std::string();
}

} // namespace res
