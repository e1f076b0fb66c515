#pragma once

// Identifiers shared by the window's resource tables.
namespace res {
// The main frame's menu, accelerators, tool bar and icon.
constexpr unsigned IDR_MAINFRAME = 128;
} // namespace res
