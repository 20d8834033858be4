// The status bar that hosts child controls, under Wine.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "components/ZorvaneStatusBar.h"
#include "tests/wine/ComponentsTestSupport.h"

using testsupport::PaintNow;

namespace {

class StatusBarTest : public testsupport::FormTest {};

std::string SimpleTextOnScreen(HWND bar) {
    char text[256] = {};
    // Wine's status bar answers for the simple part under index 0, not SB_SIMPLEID.
    SendMessageA(bar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

}  // namespace

TEST_F(StatusBarTest, AButtonPlacedOnItBecomesItsChild) {
    auto* bar = new TzorvaneStatusBar(form);
    bar->SetParent(form);
    auto* button = new TButton(form);
    button->SetCaption("On the bar");
    button->SetBounds(4, 1, 80, 17);
    ASSERT_NO_THROW(button->SetParent(bar));
    PaintNow(form->Handle());

    EXPECT_EQ(button->Parent(), bar);
    EXPECT_NE(std::find(bar->Controls().begin(), bar->Controls().end(), button), bar->Controls().end());
    EXPECT_EQ(GetParent(button->Handle()), bar->Handle());
    EXPECT_TRUE(IsWindowVisible(button->Handle()));
    // The button sits inside the bar on screen.
    RECT barRect{}, buttonRect{};
    GetWindowRect(bar->Handle(), &barRect);
    GetWindowRect(button->Handle(), &buttonRect);
    EXPECT_GE(buttonRect.left, barRect.left);
    EXPECT_GE(buttonRect.top, barRect.top);
    EXPECT_LE(buttonRect.bottom, barRect.bottom);
}

TEST_F(StatusBarTest, TheFrameworksBarRefusesChildren) {
    // The difference the subclass makes.
    auto* plain = new TStatusBar(form);
    plain->SetParent(form);
    auto* button = new TButton(form);
    EXPECT_THROW(button->SetParent(plain), EInvalidOperation);
    EXPECT_FALSE(plain->AcceptsControls());
    EXPECT_TRUE(TzorvaneStatusBar(nullptr).AcceptsControls());
}

TEST_F(StatusBarTest, BehavesAsTheFrameworksBarOtherwise) {
    auto* bar = new TzorvaneStatusBar(form);
    bar->SetParent(form);
    EXPECT_EQ(bar->Align(), alBottom);
    EXPECT_EQ(bar->Height(), 19);
    bar->SetSimplePanel(true);
    bar->SetSimpleText("Backup created to C:\\somewhere");
    PaintNow(form->Handle());
    EXPECT_EQ(bar->SimpleText(), "Backup created to C:\\somewhere");
    EXPECT_EQ(SimpleTextOnScreen(bar->Handle()), "Backup created to C:\\somewhere");
    char className[64] = {};
    GetClassNameA(bar->Handle(), className, sizeof className);
    EXPECT_STREQ(className, STATUSCLASSNAMEA);
    RECT barRect{}, formClient{};
    GetWindowRect(bar->Handle(), &barRect);
    GetClientRect(form->Handle(), &formClient);
    POINT bottomRight{formClient.right, formClient.bottom};
    ClientToScreen(form->Handle(), &bottomRight);
    EXPECT_EQ(barRect.bottom, bottomRight.y);
}
