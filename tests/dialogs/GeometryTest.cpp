// The built dialogs keep their templates' arrangement: every control in tab
// order, inside the dialog, and clear of the controls it is clear of in the
// template, with the default font and with a much larger one.

#include "DialogBuilder.h"
#include "DialogTemplates.h"
#include "TemplateDialog.h"

#include <QApplication>
#include <QFont>
#include <QGroupBox>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace {

bool Overlap(const res::ControlTemplate& a, const res::ControlTemplate& b) {
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

std::vector<const res::DialogTemplate*> TemplatesWithControls() {
    int count = 0;
    const res::DialogTemplate* const* all = res::AllDialogTemplates(&count);
    std::vector<const res::DialogTemplate*> result;
    for (int i = 0; i < count; ++i)
        if (all[i]->nControls > 0)
            result.push_back(all[i]);
    return result;
}

// The controls as Tab visits them, starting from the first tab stop.
std::vector<QWidget*> FocusChain(const CTemplateDialog& dlg) {
    std::set<QWidget*> controls;
    QWidget* first = nullptr;
    for (const CBuiltControl& c : dlg.Controls().All()) {
        if (c.pWidget->focusPolicy() == Qt::NoFocus)
            continue;
        controls.insert(c.pWidget);
        if (first == nullptr)
            first = c.pWidget;
    }
    std::vector<QWidget*> chain;
    QWidget* w = first;
    for (int guard = 0; w != nullptr && guard < 1000; ++guard) {
        if (controls.count(w) != 0) {
            if (!chain.empty() && w == chain.front())
                break;
            chain.push_back(w);
        }
        w = w->nextInFocusChain();
    }
    return chain;
}

class DialogGeometry : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        m_savedFont = QApplication::font();
        if (GetParam() != 0) {
            QFont big = m_savedFont;
            big.setPointSize(GetParam());
            QApplication::setFont(big);
        }
    }
    void TearDown() override { QApplication::setFont(m_savedFont); }

    QFont m_savedFont;
};

TEST_P(DialogGeometry, ControlsAreBuiltInTemplateOrderAndFoundById) {
    for (const res::DialogTemplate* t : TemplatesWithControls()) {
        CTemplateDialog dlg(t->nId, nullptr);
        EXPECT_EQ(dlg.windowTitle().toStdString(), t->pszTitle);
        const auto& all = dlg.Controls().All();
        ASSERT_EQ(static_cast<int>(all.size()), t->nControls) << t->pszTitle;
        for (int i = 0; i < t->nControls; ++i) {
            EXPECT_EQ(all[i].pTemplate, &t->pControls[i]);
            EXPECT_EQ(all[i].pWidget->property("controlId").toInt(), t->pControls[i].nId);
            if (t->pControls[i].nId != res::IDC_STATIC) {
                EXPECT_EQ(dlg.GetDlgItem(t->pControls[i].nId), all[i].pWidget);
            }
        }
        EXPECT_EQ(dlg.GetDlgItem(4711), nullptr);
    }
}

TEST_P(DialogGeometry, TabOrderFollowsTheTemplate) {
    for (const res::DialogTemplate* t : TemplatesWithControls()) {
        CTemplateDialog dlg(t->nId, nullptr);
        std::vector<QWidget*> expected;
        for (const CBuiltControl& c : dlg.Controls().All())
            if (c.pWidget->focusPolicy() != Qt::NoFocus)
                expected.push_back(c.pWidget);
        EXPECT_EQ(FocusChain(dlg), expected) << t->pszTitle;
        // Buttons, boxes, radios and edits are all reachable with Tab.
        EXPECT_GE(expected.size(), 3u);
    }
}

TEST_P(DialogGeometry, ControlsLieInsideTheDialog) {
    for (const res::DialogTemplate* t : TemplatesWithControls()) {
        CTemplateDialog dlg(t->nId, nullptr);
        const QRect client(QPoint(0, 0), dlg.size());
        for (const CBuiltControl& c : dlg.Controls().All())
            EXPECT_TRUE(client.contains(c.pWidget->geometry()))
                << t->pszTitle << " control " << c.pTemplate->nId << " '" << c.pTemplate->pszText
                << "'";
    }
}

TEST_P(DialogGeometry, ControlsApartInTheTemplateStayApart) {
    for (const res::DialogTemplate* t : TemplatesWithControls()) {
        CTemplateDialog dlg(t->nId, nullptr);
        const auto& all = dlg.Controls().All();
        for (size_t i = 0; i < all.size(); ++i)
            for (size_t j = i + 1; j < all.size(); ++j) {
                if (Overlap(*all[i].pTemplate, *all[j].pTemplate))
                    continue;
                EXPECT_FALSE(all[i].pWidget->geometry().intersects(all[j].pWidget->geometry()))
                    << t->pszTitle << ": '" << all[i].pTemplate->pszText << "' and '"
                    << all[j].pTemplate->pszText << "'";
            }
    }
}

TEST_P(DialogGeometry, GroupBoxesLieBehindTheirControls) {
    CTemplateDialog dlg(res::IDD_SCANPARAM, nullptr);
    const QObjectList& children = dlg.children();
    for (const CBuiltControl& c : dlg.Controls().All()) {
        if (qobject_cast<QGroupBox*>(c.pWidget) == nullptr)
            continue;
        for (const CBuiltControl& other : dlg.Controls().All())
            if (other.pWidget != c.pWidget && qobject_cast<QGroupBox*>(other.pWidget) == nullptr &&
                c.pWidget->geometry().contains(other.pWidget->geometry())) {
                EXPECT_LT(children.indexOf(c.pWidget), children.indexOf(other.pWidget));
            }
    }
}

TEST_P(DialogGeometry, BoxAndRadioTextsAreShownWhole) {
    // The templates leave room beside every box and radio for its text.
    for (const res::DialogTemplate* t : TemplatesWithControls()) {
        CTemplateDialog dlg(t->nId, nullptr);
        for (const CBuiltControl& c : dlg.Controls().All()) {
            const auto kind = c.pTemplate->kind;
            if (kind == res::ControlKind::CheckBox || kind == res::ControlKind::RadioButton) {
                EXPECT_GE(c.pWidget->width(), c.pWidget->sizeHint().width())
                    << t->pszTitle << " '" << c.pTemplate->pszText << "'";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(DefaultAndLargeFont, DialogGeometry, testing::Values(0, 20));

TEST(DialogUnits, MapBothCornersWithTheFontsBaseUnits) {
    const CDialogUnits units(7, 15); // 7 pixels average width, 15 pixels high
    EXPECT_EQ(units.ToPixels(5, 5, 205, 65), QRect(9, 9, 359, 122));
    // Rectangles that touch in dialog units touch in pixels.
    const QRect left = units.ToPixels(110, 120, 30, 14);
    const QRect right = units.ToPixels(140, 120, 9, 14);
    EXPECT_EQ(left.right() + 1, right.left());
}

TEST(DialogUnits, DialogSizeFollowsTheFont) {
    CTemplateDialog small(res::IDD_JOB, nullptr);
    const QFont saved = QApplication::font();
    QFont big = saved;
    big.setPointSize(saved.pointSize() * 2);
    QApplication::setFont(big);
    CTemplateDialog large(res::IDD_JOB, nullptr);
    QApplication::setFont(saved);
    EXPECT_GT(large.width(), small.width() * 3 / 2);
    EXPECT_GT(large.height(), small.height() * 3 / 2);
    const CDialogUnits units(small.font());
    EXPECT_EQ(small.size(), QSize(units.ToPixelsX(217), units.ToPixelsY(161)));
}

} // namespace
