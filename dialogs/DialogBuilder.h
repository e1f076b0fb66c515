#pragma once

#include "DialogTemplates.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

class QDialog;
class QFont;
class QRadioButton;
class QWidget;

// Pixels per dialog unit for a font: horizontal units are a quarter of the
// font's average character width, vertical units an eighth of its height.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(int nBaseX, int nBaseY) : m_nBaseX(nBaseX), m_nBaseY(nBaseY) {}

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }
    int ToPixelsX(int nUnits) const;
    int ToPixelsY(int nUnits) const;
    QRect ToPixels(int x, int y, int cx, int cy) const;

private:
    int m_nBaseX;
    int m_nBaseY;
};

// One control made from a template, in tab order.
struct CBuiltControl {
    const res::ControlTemplate* pTemplate;
    QWidget* pWidget;
};

// The controls of a built dialog, found by identifier. Where several controls
// share an identifier (the statics), the first one is found.
class CDialogControls {
public:
    QWidget* Find(int nId) const;
    const std::vector<CBuiltControl>& All() const { return m_controls; }
    // The radio buttons of the group that starts at nFirstId: from that
    // control up to the next control that starts a group, radios only.
    std::vector<QRadioButton*> RadioGroup(int nFirstId) const;

    // Widens a label, check box or radio whose text is wider than its
    // rectangle (fonts differ in their proportions), as far as free room
    // allows: up to the next control on its row or the dialog's edge (keeping
    // a margin of nMargin pixels) and inside its frame. Never narrows.
    void FitToText(QWidget* pWidget, int nMargin) const;

private:
    friend class CDialogBuilder;
    // The smallest group box around the control, or nullptr.
    QWidget* FrameOf(const CBuiltControl& control) const;

    std::vector<CBuiltControl> m_controls;
};

// Turns a template into the widgets of a dialog: sizes and places them in
// pixels from the dialog font, sets the title, the tab order, the mnemonic
// buddies, the exclusive radio groups and the initial states.
class CDialogBuilder {
public:
    static CDialogControls Build(QDialog& dialog, const res::DialogTemplate& tmpl);

private:
    static QWidget* MakeWidget(QDialog& dialog, const res::ControlTemplate& ctl);
    static void LinkBuddies(CDialogControls& controls);
    static void GroupRadios(QDialog& dialog, const CDialogControls& controls);
    static void SetTabOrder(const CDialogControls& controls);
};
