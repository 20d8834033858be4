// The keyboard in the GUI layer, driven by key messages through the application's message
// handling: Tab and Shift+Tab over every tab stop, graphic ones included; Enter and Space on
// buttons and check boxes; the focus cues that keyboard use shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/GuiTestSupport.h"
#include "tests/wine/KeyboardSupport.h"

using testsupport::KeyboardCuesSetting;
using testsupport::kFirstPress;
using testsupport::kRepeatedPress;
using testsupport::PostKey;
using testsupport::PressTab;

namespace {

// A graphic control that takes the focus, as a link does.
struct FocusableGraphic : TGraphicControl {
    explicit FocusableGraphic(TComponent* owner) : TGraphicControl(owner) { SetTabStop(true); }
};

LRESULT UiState(TControl* control) {
    return SendMessageA(control->Handle(), WM_QUERYUISTATE, 0, 0);
}

}  // namespace

TEST_F(GuiTest, TabAndShiftTabReachGraphicTabStopsAfterTheWindowControlsOfTheirParent) {
    TForm* form = NewForm(400, 200, true);
    auto* side = new TPanel(form);
    side->SetBounds(300, 0, 100, 200);
    side->SetParent(form);
    side->SetTabOrder(0);
    auto* main = new TPanel(form);
    main->SetBounds(0, 0, 300, 200);
    main->SetParent(form);
    main->SetTabOrder(1);

    auto place = [&](TControl* control, TWinControl* parent, int top, const char* name) {
        control->Name = name;
        control->SetBounds(10, top, 80, 20);
        control->SetParent(parent);
        return control;
    };
    // Placed before the button, but graphic tab stops come after their parent's window controls.
    TControl* firstLink = place(new FocusableGraphic(form), side, 40, "firstLink");
    TControl* hiddenLink = place(new FocusableGraphic(form), side, 60, "hiddenLink");
    hiddenLink->SetVisible(false);
    place(new TLabel(form), side, 80, "label");  // a plain label is no tab stop
    TControl* secondLink = place(new FocusableGraphic(form), side, 100, "secondLink");
    TControl* run = place(new TButton(form), side, 10, "run");
    TControl* box = place(new TCheckBox(form), main, 10, "box");
    TControl* button = place(new TButton(form), main, 40, "button");

    run->SetFocus();
    const std::vector<TControl*> forward = {firstLink, secondLink, box, button, run};
    for (TControl* next : forward) {
        PressTab();
        EXPECT_EQ(GetFocus(), next->Handle()) << "forward to " << next->Name;
    }
    const std::vector<TControl*> backward = {button, box, secondLink, firstLink, run};
    for (TControl* previous : backward) {
        PressTab(true);
        EXPECT_EQ(GetFocus(), previous->Handle()) << "back to " << previous->Name;
    }
}

TEST_F(GuiTest, EnterAndSpacePressAFocusedButtonAndToggleAFocusedCheckBox) {
    TForm* form = NewForm(300, 100, true);
    auto* button = new TButton(form);
    button->SetBounds(10, 10, 80, 25);
    button->SetCaption("Press");
    button->SetParent(form);
    auto* box = new TCheckBox(form);
    box->SetBounds(10, 50, 120, 17);
    box->SetCaption("Option");
    box->SetParent(form);
    int presses = 0, toggles = 0;
    button->OnClick = [&](TObject*) { ++presses; };
    box->OnClick = [&](TObject*) { ++toggles; };

    struct Key {
        const char* what;
        WPARAM key;
        LPARAM press;
        int counted;  // presses (toggles) it makes
    };
    const Key keys[] = {
        {"Enter", VK_RETURN, kFirstPress, 1},
        {"Space", VK_SPACE, kFirstPress, 1},
        {"a held Enter's repeat", VK_RETURN, kRepeatedPress, 0},
        {"another key", 'A', kFirstPress, 0},
    };
    for (const Key& key : keys) {
        SCOPED_TRACE(key.what);
        const int pressesBefore = presses, togglesBefore = toggles;
        const bool checkedBefore = box->Checked();
        button->SetFocus();
        PostKey(button->Handle(), key.key, key.press);
        EXPECT_EQ(presses - pressesBefore, key.counted);
        box->SetFocus();
        PostKey(box->Handle(), key.key, key.press);
        EXPECT_EQ(toggles - togglesBefore, key.counted);
        EXPECT_EQ(box->Checked(), key.counted ? !checkedBefore : checkedBefore);
        EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED, box->Checked());
    }
    // A key sent straight to the control, past the message loop, works as well.
    const int before = presses;
    SendMessageA(button->Handle(), WM_KEYDOWN, VK_RETURN, kFirstPress);
    EXPECT_EQ(presses, before + 1);
}

TEST_F(GuiTest, KeyboardUseShowsFocusCuesAsInDialogBoxes) {
    KeyboardCuesSetting cues(false);
    TForm* form = NewForm(300, 100, true);
    auto* panel = new TPanel(form);
    panel->Name = "panel";
    panel->SetAlign(alClient);
    panel->SetParent(form);
    auto* first = new TButton(form);
    first->SetBounds(10, 10, 80, 25);
    first->SetParent(panel);
    auto* link = new FocusableGraphic(form);
    link->Name = "link";
    link->SetBounds(10, 50, 80, 20);
    link->SetParent(panel);

    // The form started hidden, as a dialog box started with the mouse does; its controls follow.
    constexpr LRESULT kHidden = UISF_HIDEFOCUS | UISF_HIDEACCEL;
    EXPECT_EQ(UiState(form), kHidden);
    EXPECT_EQ(UiState(panel), kHidden);
    EXPECT_EQ(UiState(link), kHidden);
    first->SetFocus();
    PostKey(first->Handle(), 'A');
    EXPECT_EQ(UiState(link), kHidden) << "other keys show nothing";

    PressTab();
    EXPECT_EQ(GetFocus(), link->Handle());
    for (TControl* control : std::vector<TControl*>{form, panel, link})
        EXPECT_EQ(UiState(control), UISF_HIDEACCEL) << "Tab shows the focus, " << control->Name;

    PostMessageA(GetFocus(), WM_SYSKEYDOWN, VK_MENU, 0x20380001);
    PostMessageA(GetFocus(), WM_SYSKEYUP, VK_MENU, static_cast<LPARAM>(0xC0380001));
    PumpFor(30);
    EXPECT_EQ(UiState(link), 0) << "Alt shows the accelerators";

    // A control made afterwards starts with the window's state.
    auto* late = new FocusableGraphic(form);
    late->SetParent(panel);
    EXPECT_EQ(UiState(late), 0);
    SendMessageA(late->Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    EXPECT_EQ(UiState(link), UISF_HIDEFOCUS) << "a child's request goes to the form and to every control";
}

TEST_F(GuiTest, FocusCuesStayWhenTheSystemAlwaysShowsThem) {
    KeyboardCuesSetting cues(true);
    TForm* form = NewForm(200, 100);
    auto* link = new FocusableGraphic(form);
    link->SetParent(form);
    EXPECT_EQ(UiState(form), 0);
    SendMessageA(form->Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    EXPECT_EQ(UiState(link), 0);
}
