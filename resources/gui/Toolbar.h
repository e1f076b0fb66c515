#pragma once

#include <span>

// Tool bar resources: the command of every button in order, 0 for a gap.
namespace res {

// Empty when no tool bar has that identifier.
std::span<const unsigned> ToolbarButtons(unsigned id);

// The main window's icon, under ":/images/".
const char* AppIconImage();

} // namespace res
