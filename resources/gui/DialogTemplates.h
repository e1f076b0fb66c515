#pragma once

// Dialog templates as data: for each dialog its identifier, title, size in
// dialog units and its controls in tab order. The dialogs library turns a
// template into widgets; code finds the controls again by identifier.

#include "DialogIds.h"

namespace res {

enum class ControlKind {
    GroupBox,
    Static,
    Edit,
    CheckBox,
    RadioButton,
    PushButton,
    DefPushButton,
    DateTimePicker,
    UpDown,
};

// Style bits of a control.
namespace cs {
constexpr unsigned Group = 0x001;        // starts a group (radio groups end at the next one)
constexpr unsigned Disabled = 0x002;     // initially disabled
constexpr unsigned Hidden = 0x004;       // initially hidden
constexpr unsigned Border = 0x008;       // edit with a frame
constexpr unsigned AutoHScroll = 0x010;  // edit scrolls sideways instead of limiting the text
constexpr unsigned Number = 0x020;       // edit takes digits only
constexpr unsigned UpDownArrows = 0x040; // picker with up-down arrows (else drop-down calendar)
constexpr unsigned ArrowKeys = 0x080;    // up-down reacts to the arrow keys of its buddy
constexpr unsigned AutoBuddy = 0x100;    // up-down attaches to the previous control
constexpr unsigned AlignRight = 0x200;   // up-down sits inside the buddy's right edge
} // namespace cs

// Style bits of a dialog.
namespace ds {
constexpr unsigned Caption = 0x1; // title bar with the title
constexpr unsigned Popup = 0x2;   // no title bar and no border
} // namespace ds

struct ControlTemplate {
    int nId;
    ControlKind kind;
    const char* pszText; // UTF-8, "&" marks the mnemonic
    int x, y, cx, cy;    // dialog units
    unsigned style;
};

struct DialogTemplate {
    unsigned nId;
    const char* pszTitle;
    int cx, cy; // dialog units
    unsigned style;
    const ControlTemplate* pControls;
    int nControls;
};

// The template with the identifier, or nullptr.
const DialogTemplate* FindDialogTemplate(unsigned nId);

// Every template, for checks over all of them.
const DialogTemplate* const* AllDialogTemplates(int* pCount);

} // namespace res
