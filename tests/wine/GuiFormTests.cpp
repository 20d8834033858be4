// Forms of the GUI layer: alpha blending, hints, the application title.
#include <gtest/gtest.h>

#include <string>

#include "common/ZorvaneText.h"
#include "tests/wine/GuiTestSupport.h"

TEST_F(GuiTest, AlphaBlendingReachesTheWindow) {
    struct TranslucentForm : TForm {
        explicit TranslucentForm(TComponent* owner) : TForm(owner, "TGuiTranslucentForm") {
            SetAlphaBlend(true);
            SetAlphaBlendValue(250);
        }
    };
    auto alphaOf = [](TForm* form, BYTE& alpha) {
        COLORREF key = 0;
        DWORD flags = 0;
        alpha = 0;
        const bool layered = (GetWindowLongA(form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
        return layered && GetLayeredWindowAttributes(form->Handle(), &key, &alpha, &flags) &&
               (flags & LWA_ALPHA);
    };
    BYTE alpha = 0;

    auto* early = Application.CreateForm<TranslucentForm>();  // set before the window existed
    ASSERT_TRUE(alphaOf(early, alpha));
    EXPECT_EQ(alpha, 250);

    TForm* late = NewForm(100, 100);  // set on the window
    EXPECT_FALSE(alphaOf(late, alpha));
    late->SetAlphaBlendValue(200);
    EXPECT_FALSE(alphaOf(late, alpha)) << "the value alone does not switch blending on";
    late->SetAlphaBlend(true);
    ASSERT_TRUE(alphaOf(late, alpha));
    EXPECT_EQ(alpha, 200);
    late->SetAlphaBlendValue(300);
    EXPECT_EQ(late->AlphaBlendValue(), 255);
    ASSERT_TRUE(alphaOf(late, alpha));
    EXPECT_EQ(alpha, 255);
    late->SetAlphaBlend(false);
    EXPECT_FALSE(alphaOf(late, alpha));
}

TEST_F(GuiTest, HintTextFollowsShowHintAndItsParentAndBreaksAtCR) {
    TForm* form = NewForm(300, 200);
    auto* strip = new TPanel(form);
    strip->SetParent(form);
    strip->SetShowHint(true);
    auto* inherits = new TCheckBox(form);
    inherits->SetParent(strip);
    auto* own = new TButton(form);
    own->SetParent(strip);
    auto* outside = new TButton(form);
    outside->SetParent(form);

    struct Case {
        const char* what;
        TControl* control;
        std::string hint;
        std::string shown;
    };
    const Case cases[] = {
        {"from the parent, CR breaks the line", inherits, "first\rsecond", "first\r\nsecond"},
        {"CR LF stays", inherits, "a\r\nb\rc", "a\r\nb\r\nc"},
        {"a trailing CR", inherits, "a\r", "a\r\n"},
        {"parent's hints off by default", outside, "text", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.control->SetHint(c.hint);
        EXPECT_EQ(TForm::HintTextFor(*c.control), c.shown);
    }

    own->SetHint("own");
    own->SetShowHint(false);  // switches ParentShowHint off
    EXPECT_FALSE(own->ParentShowHint());
    EXPECT_EQ(TForm::HintTextFor(*own), "");
    own->SetParentShowHint(true);
    EXPECT_EQ(TForm::HintTextFor(*own), "own");
    strip->SetShowHint(false);
    EXPECT_EQ(TForm::HintTextFor(*own), "");
    EXPECT_EQ(TForm::HintTextFor(*inherits), "");
}

TEST_F(GuiTest, HintWindowShowsTheHintOfTheControlUnderTheMouseOnSeveralLines) {
    TForm* form = NewForm(300, 120, true);
    auto* single = new TButton(form);
    single->SetBounds(20, 20, 100, 25);
    single->SetHint("one line");
    single->SetShowHint(true);
    single->SetParent(form);
    auto* multi = new TButton(form);
    multi->SetBounds(160, 20, 100, 25);
    multi->SetHint("first line\rsecond line");
    multi->SetShowHint(true);
    multi->SetParent(form);
    auto* disabled = new TButton(form);
    disabled->SetBounds(20, 70, 100, 25);
    disabled->SetHint("Put all entries back");
    disabled->SetShowHint(true);
    disabled->SetEnabled(false);
    disabled->SetParent(form);
    PumpFor(100);
    HWND tip = form->HintWindow();
    ASSERT_NE(tip, nullptr);

    // The mouse goes to the control, or to its parent when the control is disabled, as the
    // system sends it.
    auto hover = [&](TControl* control) -> int {
        Application.CancelHint();
        RECT r;
        GetWindowRect(control->Handle(), &r);
        const POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        SetCursorPos(centre.x, centre.y);
        HWND target = control->Enabled() ? control->Handle() : form->Handle();
        POINT client = centre;
        ScreenToClient(target, &client);
        SendMessageA(target, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
        if (!PumpUntil([&] { return IsWindowVisible(tip) != FALSE; }, 3000))
            return -1;
        RECT tipRect;
        GetWindowRect(tip, &tipRect);
        return tipRect.bottom - tipRect.top;
    };
    const int oneLine = hover(single);
    ASSERT_GT(oneLine, 0) << "no hint window for a control with a hint";
    Application.CancelHint();
    EXPECT_FALSE(IsWindowVisible(tip)) << "CancelHint hides the hint window";
    const int twoLines = hover(multi);
    ASSERT_GT(twoLines, 0);
    EXPECT_GT(twoLines, oneLine + oneLine / 3) << "the CR starts a second line";

    EXPECT_EQ(hover(disabled), oneLine) << "a disabled control shows its hint";
    PumpFor(400);
    EXPECT_TRUE(IsWindowVisible(tip)) << "and keeps it while the mouse stays";
}

TEST_F(GuiTest, ApplicationTitleIsTheTitleOfTheProgramsMessages) {
    const std::string before = GetApplicationTitle();
    Application.SetTitle("Sequora");
    EXPECT_EQ(Application.Title(), "Sequora");
    EXPECT_EQ(GetApplicationTitle(), "Sequora");
    Application.SetTitle(before);
}

TEST_F(GuiTest, KeepOnScreenBringsTheWindowIntoTheWorkAreaOfItsMonitor) {
    TForm* form = NewForm(200, 100, true);
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    struct Case {
        const char* what;
        int left, top, width, height;  // device pixels for the position, 96-dpi for the size
        bool moves;
    };
    const Case cases[] = {
        {"on the screen: left as it is", 40, 30, 300, 200, false},
        {"past the right and bottom edges", work.right - 50, work.bottom - 20, 300, 200, true},
        {"on a monitor to the left that is gone", -3000, 100, 300, 200, true},
        {"above the screen", 100, -2000, 300, 200, true},
        {"larger than the work area", 10, 10, workWidth * 2, workHeight * 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form->SetBounds(c.left, c.top, c.width, c.height);
        RECT before;
        GetWindowRect(form->Handle(), &before);
        form->KeepOnScreen();
        RECT after;
        GetWindowRect(form->Handle(), &after);
        EXPECT_GE(after.left, work.left);
        EXPECT_GE(after.top, work.top);
        EXPECT_LE(after.right, work.right);
        EXPECT_LE(after.bottom, work.bottom);
        if (!c.moves) {
            EXPECT_TRUE(EqualRect(&before, &after));
        } else if (c.width * 2 < workWidth) {
            EXPECT_EQ(after.right - after.left, before.right - before.left) << "a window that fits keeps its size";
        }
        EXPECT_EQ(form->Left(), after.left);
        EXPECT_EQ(form->Top(), after.top);
    }
    EXPECT_TRUE(errors.empty());
}
