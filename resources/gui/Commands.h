#pragma once

#include <span>
#include <string>

// The command table of the main window: one entry per command identifier,
// with its keyboard shortcuts and the picture of its tool bar button. The
// status-bar prompt and the tool tip come from the string table entry with the
// command's identifier ("prompt\ntool tip").
namespace res {

struct CommandDef {
    unsigned id;
    // Shortcuts in portable key-sequence form ("Ctrl+N", "Shift+Del"); unused
    // slots are null.
    const char* keys[2];
    // Picture under ":/images/", or null for commands without a button.
    const char* image;
};

std::span<const CommandDef> Commands();
const CommandDef* FindCommand(unsigned id);

// Text before the line break of the command's string, or all of it.
std::string CommandPrompt(unsigned id);
// Text after the line break of the command's string; empty when it has none.
std::string CommandToolTip(unsigned id);

} // namespace res
