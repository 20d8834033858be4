// Captions that fit: on a form that fits captions, controls grow to their captions, measured with
// their own font at their DPI, the controls beyond them move along, and the form keeps the width
// they need; where captions fit, nothing moves.
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/GuiTestSupport.h"

namespace {

struct Box {
    int left, top, width, height;
    bool operator==(const Box&) const = default;
};

Box BoundsOf(const TControl* control) {
    return {control->Left(), control->Top(), control->Width(), control->Height()};
}

std::string Text(const Box& box) {
    return std::to_string(box.left) + ", " + std::to_string(box.top) + ", " + std::to_string(box.width) +
           " x " + std::to_string(box.height);
}

// A command strip as the main window has one: at the bottom of the form, check boxes anchored
// left in a row, buttons anchored right.
class FitTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        form = NewForm(600, 200);
        form->SetFitCaptions(true);
        strip = new TPanel(form);
        strip->SetBounds(0, 126, 600, 74);
        strip->SetAlign(alBottom);
        strip->SetParent(form);
    }

    template <class T>
    T* Place(Box box, const char* caption, TAnchors anchors = kDefaultAnchors, TWinControl* parent = nullptr) {
        auto* control = new T(form);
        control->Name = caption;
        control->SetParent(parent ? parent : strip);
        control->SetBounds(box.left, box.top, box.width, box.height);
        control->SetAnchors(anchors);
        control->SetCaption(caption);
        return control;
    }

    // Whether the window, not only the bounds, is where the bounds say (96 dpi under Wine).
    static bool WindowAgrees(TControl* control) {
        const RECT window = WindowBoundsInParent(control->Handle());
        return Box{window.left, window.top, window.right - window.left, window.bottom - window.top} ==
               BoundsOf(control);
    }

    TForm* form = nullptr;
    TPanel* strip = nullptr;
};

}  // namespace

TEST_F(FitTest, ControlsGrowToTheirCaptionsAndTheirRowMovesAlong) {
    auto* first = Place<TCheckBox>({9, 10, 40, 17}, "Start itself at Windows start up");
    auto* second = Place<TCheckBox>({51, 10, 40, 17}, "as enabled");
    auto* below = Place<TCheckBox>({60, 31, 40, 17}, "x");
    auto* button = Place<TButton>({500, 12, 40, 25}, "Execute current program", akTop | akRight);
    auto* beside = Place<TButton>({454, 12, 40, 25}, "Up", akTop | akRight);
    auto* distant = Place<TButton>({200, 12, 40, 25}, "Far", akTop | akRight);

    EXPECT_GT(first->Width(), 150) << "the check box holds its box and its text";
    EXPECT_EQ(first->Left(), 9);
    EXPECT_EQ(second->Left(), first->Left() + first->Width() + 2) << "moved along, 2 pixels apart as set";
    EXPECT_GT(second->Width(), 40);
    EXPECT_EQ(BoundsOf(below), (Box{60, 31, 40, 17})) << "a caption that fits, in another row: as set";
    EXPECT_GT(button->Width(), 100);
    EXPECT_EQ(button->Left() + button->Width(), 540) << "anchored right: it grows to the left";
    EXPECT_EQ(beside->Left() + beside->Width(), button->Left() - 6) << "and moves the one beyond it along";
    EXPECT_EQ(beside->Width(), 40);
    EXPECT_EQ(BoundsOf(distant), (Box{200, 12, 40, 25})) << "still more than 16 pixels away: as set";
    for (TControl* control : {static_cast<TControl*>(first), static_cast<TControl*>(second),
                              static_cast<TControl*>(button), static_cast<TControl*>(beside)})
        EXPECT_TRUE(WindowAgrees(control)) << control->Name << " at " << Text(BoundsOf(control));

    // Fitted anew each time: short captions give back the bounds set, anchored as set.
    first->SetCaption("A");
    button->SetCaption("B");
    EXPECT_EQ(BoundsOf(first), (Box{9, 10, 40, 17}));
    EXPECT_EQ(BoundsOf(second).left, 51);
    EXPECT_EQ(BoundsOf(button), (Box{500, 12, 40, 25}));
    EXPECT_EQ(BoundsOf(beside), (Box{454, 12, 40, 25}));

    // A value set equal to the one shown keeps what was set: SetWidth on a control the fitting
    // moved does not make the move its own.
    first->SetCaption("Start itself at Windows start up");
    const int movedTo = second->Left();
    ASSERT_GT(movedTo, 51);
    second->SetHeight(18);
    EXPECT_EQ(second->Left(), movedTo);
    first->SetCaption("A");
    EXPECT_EQ(BoundsOf(second), (Box{51, 10, second->Width(), 18}));
}

TEST_F(FitTest, WrappedButtonGrowsInHeightWhereItsColumnHasRoomAndInWidthWhereNot) {
    // Two word-wrapped buttons stacked in a column of a strip with room for three lines each.
    strip->SetHeight(120);
    auto* top = Place<TButton>({300, 40, 60, 25}, "Import startup objects", akTop | akRight);
    auto* bottom = Place<TButton>({300, 67, 60, 25}, "Execute", akTop | akRight);
    top->SetWordWrap(true);
    EXPECT_EQ(top->Width(), 60);
    EXPECT_GT(top->Height(), 38) << "a word a line";
    EXPECT_EQ(bottom->Top(), top->Top() + top->Height() + 2) << "the one below moves down, 2 apart as set";
    EXPECT_EQ(bottom->Height(), 25);
    EXPECT_GE(top->Top(), 1);
    EXPECT_LE(bottom->Top() + bottom->Height(), strip->ClientHeight() - 1) << "within the strip's bevel";

    // Without the room, the button widens to hold the caption on one line instead; the column
    // keeps one width.
    strip->SetHeight(74);
    EXPECT_EQ(BoundsOf(top).top, 40);
    EXPECT_EQ(top->Height(), 25);
    EXPECT_GT(top->Width(), 110);
    EXPECT_EQ(top->Left() + top->Width(), 360);
    EXPECT_EQ(BoundsOf(bottom), (Box{top->Left(), 67, top->Width(), 25}));
}

TEST_F(FitTest, FormKeepsTheWidthItsFittedRowsNeed) {
    auto* box = Place<TCheckBox>({9, 10, 100, 17}, "Shutdown itself after starting all programs");
    auto* button = Place<TButton>({450, 12, 91, 25}, "Delete current", akTop | akRight);
    // At 600 the row fits; the form may narrow only until the check box and the button would
    // come closer than the 16 pixels kept between them (of the 341 the layout set).
    const int needed = box->Left() + box->Width() + 16 + (600 - button->Left());
    EXPECT_EQ(form->MinClientWidth(), needed);
    form->SetClientSize(needed - 100, 200);
    ASSERT_TRUE(PumpUntil([&] { return form->ClientWidth() == needed; }, 2000)) << form->ClientWidth();
    EXPECT_EQ(button->Left(), box->Left() + box->Width() + 16);

    MINMAXINFO limits = {};
    SendMessageA(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    RECT window, client;
    GetWindowRect(form->Handle(), &window);
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(limits.ptMinTrackSize.x, needed + (window.right - window.left) - client.right);

    form->SetFitCaptions(false);
    EXPECT_EQ(form->MinClientWidth(), 0);
    EXPECT_EQ(BoundsOf(box).width, 100) << "the bounds set come back";
}

TEST_F(FitTest, FittedControlsPlacedOnTheFormItselfLimitItsWidth) {
    strip->SetVisible(false);
    form->SetClientSize(600, 200);
    auto* box = Place<TCheckBox>({9, 10, 100, 17}, "Shutdown itself after starting all programs", kDefaultAnchors, form);
    auto* button = Place<TButton>({450, 12, 91, 25}, "Delete current", akTop | akRight, form);
    const int needed = box->Left() + box->Width() + 16 + (form->ClientWidth() - button->Left());
    EXPECT_EQ(form->MinClientWidth(), needed);
}

TEST_F(FitTest, SideBarControlsStayInsideAParentThatDoesNotWiden) {
    auto* side = new TPanel(form);
    side->SetBounds(474, 0, 126, 126);
    side->SetAlign(alRight);
    side->SetParent(form);
    auto* run = new TButton(form);
    run->SetParent(side);
    run->SetBounds(17, 27, 93, 28);
    run->SetCaption("Execute programs");
    EXPECT_EQ(run->Left() + run->Width(), side->ClientWidth() - 1) << "moved left to end inside the bevel";
    EXPECT_GT(run->Width(), 93);
    EXPECT_EQ(form->MinClientWidth(), 0) << "widening the form would not help";
}
