#include "DialogBuilder.h"

#include "MyDateTimePickCtrl.h"
#include "SpinButtonCtrl.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace {

using res::ControlKind;

// a * b / c rounded to the nearest integer.
int MulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

QString Text(const res::ControlTemplate& ctl) {
    return QString::fromUtf8(ctl.pszText != nullptr ? ctl.pszText : "");
}

bool Has(const res::ControlTemplate& ctl, unsigned bit) {
    return (ctl.style & bit) != 0;
}

} // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
    // The average width of the 52 Latin letters, rounded, as dialog layout
    // has always measured it; the height is the font's line height.
    const QFontMetrics fm(font);
    const int width52 = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = (width52 / 26 + 1) / 2;
    m_nBaseY = fm.height();
}

int CDialogUnits::ToPixelsX(int nUnits) const {
    return MulDiv(nUnits, m_nBaseX, 4);
}

int CDialogUnits::ToPixelsY(int nUnits) const {
    return MulDiv(nUnits, m_nBaseY, 8);
}

QRect CDialogUnits::ToPixels(int x, int y, int cx, int cy) const {
    // Both corners are mapped, so rectangles that touch in dialog units touch
    // in pixels too instead of overlapping by a rounding pixel.
    const int left = ToPixelsX(x);
    const int top = ToPixelsY(y);
    return QRect(left, top, ToPixelsX(x + cx) - left, ToPixelsY(y + cy) - top);
}

QWidget* CDialogControls::Find(int nId) const {
    for (const CBuiltControl& c : m_controls)
        if (c.pTemplate->nId == nId)
            return c.pWidget;
    return nullptr;
}

std::vector<QRadioButton*> CDialogControls::RadioGroup(int nFirstId) const {
    std::vector<QRadioButton*> group;
    bool bInGroup = false;
    for (const CBuiltControl& c : m_controls) {
        if (bInGroup && Has(*c.pTemplate, res::cs::Group))
            break;
        if (!bInGroup && c.pTemplate->nId != nFirstId)
            continue;
        bInGroup = true;
        if (auto* radio = qobject_cast<QRadioButton*>(c.pWidget))
            group.push_back(radio);
    }
    return group;
}

QWidget* CDialogControls::FrameOf(const CBuiltControl& control) const {
    const res::ControlTemplate& t = *control.pTemplate;
    QWidget* frame = nullptr;
    long long frameArea = 0;
    for (const CBuiltControl& c : m_controls) {
        const res::ControlTemplate& f = *c.pTemplate;
        if (f.kind != ControlKind::GroupBox || &f == &t)
            continue;
        const bool bInside =
            f.x <= t.x && f.y <= t.y && t.x + t.cx <= f.x + f.cx && t.y + t.cy <= f.y + f.cy;
        const long long area = static_cast<long long>(f.cx) * f.cy;
        if (bInside && (frame == nullptr || area < frameArea)) {
            frame = c.pWidget;
            frameArea = area;
        }
    }
    return frame;
}

void CDialogControls::FitToText(QWidget* pWidget, int nMargin) const {
    const bool bText = qobject_cast<QLabel*>(pWidget) != nullptr ||
                       qobject_cast<QCheckBox*>(pWidget) != nullptr ||
                       qobject_cast<QRadioButton*>(pWidget) != nullptr;
    if (!bText || pWidget->parentWidget() == nullptr)
        return;
    const QRect rect = pWidget->geometry();
    const int needed = pWidget->sizeHint().width();
    if (needed <= rect.width())
        return;
    const CBuiltControl* self = nullptr;
    for (const CBuiltControl& c : m_controls)
        if (c.pWidget == pWidget)
            self = &c;
    if (self == nullptr)
        return;
    QWidget* frame = FrameOf(*self);
    // Inside a frame the text may run up to its line; a dialog edge and the
    // next control keep the margin.
    int limit =
        frame != nullptr ? frame->geometry().right() : pWidget->parentWidget()->width() - nMargin;
    for (const CBuiltControl& c : m_controls) {
        const QRect other = c.pWidget->geometry();
        if (c.pWidget == pWidget || c.pTemplate->kind == ControlKind::GroupBox ||
            other.left() <= rect.left() || other.bottom() < rect.top() ||
            other.top() > rect.bottom())
            continue;
        limit = std::min(limit, other.left() - nMargin);
    }
    const int width = std::min(needed, limit - rect.left());
    if (width > rect.width())
        pWidget->resize(width, rect.height());
}

CDialogControls CDialogBuilder::Build(QDialog& dialog, const res::DialogTemplate& tmpl) {
    dialog.setWindowTitle(QString::fromUtf8(tmpl.pszTitle));
    if ((tmpl.style & res::ds::Popup) != 0)
        dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    else
        dialog.setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    const CDialogUnits units(dialog.font());
    dialog.setFixedSize(units.ToPixelsX(tmpl.cx), units.ToPixelsY(tmpl.cy));

    CDialogControls controls;
    for (int i = 0; i < tmpl.nControls; ++i) {
        const res::ControlTemplate& ctl = tmpl.pControls[i];
        QWidget* widget = MakeWidget(dialog, ctl);
        widget->setGeometry(units.ToPixels(ctl.x, ctl.y, ctl.cx, ctl.cy));
        widget->setProperty("controlId", ctl.nId);
        if (Has(ctl, res::cs::Disabled))
            widget->setEnabled(false);
        if (Has(ctl, res::cs::Hidden))
            widget->hide();
        // Group boxes are frames drawn behind the controls they surround.
        if (ctl.kind == ControlKind::GroupBox)
            widget->lower();
        if (auto* spin = qobject_cast<CSpinButtonCtrl*>(widget);
            spin != nullptr && Has(ctl, res::cs::AutoBuddy) && !controls.m_controls.empty())
            spin->SetBuddy(controls.m_controls.back().pWidget, Has(ctl, res::cs::ArrowKeys),
                           Has(ctl, res::cs::AlignRight));
        controls.m_controls.push_back({&ctl, widget});
    }
    const int margin = units.ToPixelsX(1);
    for (const CBuiltControl& c : controls.All())
        controls.FitToText(c.pWidget, margin);
    LinkBuddies(controls);
    GroupRadios(dialog, controls);
    SetTabOrder(controls);
    return controls;
}

QWidget* CDialogBuilder::MakeWidget(QDialog& dialog, const res::ControlTemplate& ctl) {
    switch (ctl.kind) {
    case ControlKind::GroupBox:
        return new QGroupBox(Text(ctl), &dialog);
    case ControlKind::Static:
        return new QLabel(Text(ctl), &dialog);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(&dialog);
        if (Has(ctl, res::cs::Number))
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
        return edit;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(Text(ctl), &dialog);
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(Text(ctl), &dialog);
        radio->setAutoExclusive(false); // the group decides, see GroupRadios
        return radio;
    }
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(Text(ctl), &dialog);
        button->setDefault(ctl.kind == ControlKind::DefPushButton);
        return button;
    }
    case ControlKind::DateTimePicker: {
        auto* picker = new CMyDateTimePickCtrl(&dialog);
        picker->SetDropDownCalendar(!Has(ctl, res::cs::UpDownArrows));
        return picker;
    }
    case ControlKind::UpDown:
        return new CSpinButtonCtrl(&dialog);
    }
    return new QWidget(&dialog);
}

// A label's mnemonic moves the focus to the next control that can take it.
void CDialogBuilder::LinkBuddies(CDialogControls& controls) {
    auto& all = controls.m_controls;
    for (size_t i = 0; i < all.size(); ++i) {
        auto* label = qobject_cast<QLabel*>(all[i].pWidget);
        if (label == nullptr || !label->text().contains(QLatin1Char('&')))
            continue;
        for (size_t j = i + 1; j < all.size(); ++j)
            if (all[j].pWidget->focusPolicy() != Qt::NoFocus) {
                label->setBuddy(all[j].pWidget);
                break;
            }
    }
}

// Radios between two group starts exclude each other; other controls in
// between (a push button among the radios) do not break the group.
void CDialogBuilder::GroupRadios(QDialog& dialog, const CDialogControls& controls) {
    QButtonGroup* group = nullptr;
    for (const CBuiltControl& c : controls.All()) {
        if (Has(*c.pTemplate, res::cs::Group))
            group = nullptr;
        auto* radio = qobject_cast<QRadioButton*>(c.pWidget);
        if (radio == nullptr)
            continue;
        if (group == nullptr)
            group = new QButtonGroup(&dialog);
        group->addButton(radio);
    }
}

void CDialogBuilder::SetTabOrder(const CDialogControls& controls) {
    QWidget* previous = nullptr;
    for (const CBuiltControl& c : controls.All()) {
        if (c.pWidget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous != nullptr)
            QWidget::setTabOrder(previous, c.pWidget);
        previous = c.pWidget;
    }
}
