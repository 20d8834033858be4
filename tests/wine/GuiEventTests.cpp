// Events of the GUI layer: clicks, check boxes, timers, the global error handler and the
// application's life cycle.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/wine/GuiTestSupport.h"

namespace {

void MouseClick(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(hwnd, WM_LBUTTONUP, 0, at);
}

}  // namespace

TEST_F(GuiTest, ButtonClickRunsOnClick) {
    TForm* form = NewForm(200, 100);
    auto* panel = new TPanel(form);
    panel->SetAlign(alClient);
    panel->SetParent(form);
    auto* button = new TButton(form);
    button->SetBounds(10, 10, 80, 25);
    button->SetCaption("Press");
    button->SetParent(panel);
    std::vector<TObject*> senders;
    button->OnClick = [&](TObject* sender) { senders.push_back(sender); };

    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], button);

    MouseClick(button->Handle());
    EXPECT_TRUE(PumpUntil([&] { return senders.size() == 2; }, 2000));
}

TEST_F(GuiTest, CheckBoxFiresOnClickOnceForEveryChangeOfState) {
    TForm* form = NewForm(200, 100);
    auto* box = new TCheckBox(form);
    box->SetBounds(10, 10, 120, 17);
    box->SetCaption("Option");
    box->SetParent(form);
    std::vector<bool> seen;  // the state each OnClick saw
    box->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, box);
        seen.push_back(box->Checked());
    };

    struct Step {
        const char* what;
        void (*act)(TCheckBox*);
        bool checked;
        size_t clicks;
    };
    const Step steps[] = {
        {"set checked", [](TCheckBox* b) { b->SetChecked(true); }, true, 1},
        {"set checked again", [](TCheckBox* b) { b->SetChecked(true); }, true, 1},
        {"set unchecked", [](TCheckBox* b) { b->SetChecked(false); }, false, 2},
        {"BM_CLICK", [](TCheckBox* b) { SendMessageA(b->Handle(), BM_CLICK, 0, 0); }, true, 3},
        {"mouse click", [](TCheckBox* b) { MouseClick(b->Handle()); }, false, 4},
        {"space key",
         [](TCheckBox* b) {
             b->SetFocus();
             PostMessageA(b->Handle(), WM_KEYDOWN, VK_SPACE, 0x00390001);
             PostMessageA(b->Handle(), WM_KEYUP, VK_SPACE, 0xC0390001);
         },
         true, 5},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(box);
        PumpUntil([&] { return seen.size() >= step.clicks; }, 2000);
        PumpFor(20);
        EXPECT_EQ(box->Checked(), step.checked);
        EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), step.checked ? BST_CHECKED : BST_UNCHECKED);
        ASSERT_EQ(seen.size(), step.clicks);
        EXPECT_EQ(seen.back(), step.checked);
    }
}

TEST_F(GuiTest, CheckBoxStateSetBeforeItsWindowIsShownByTheWindow) {
    auto* form = Application.CreateForm<TForm>("TGuiTestForm");
    auto* box = new TCheckBox(form);
    int clicks = 0;
    box->OnClick = [&](TObject*) { ++clicks; };
    box->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    box->SetParent(form);
    EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(GuiTest, TimerTicksWhileEnabledAndFollowsItsInterval) {
    TTimer timer(nullptr);
    timer.SetEnabled(false);
    timer.SetInterval(20);
    timer.Tag = 7;
    std::vector<intptr_t> tags;
    timer.OnTimer = [&](TObject* sender) { tags.push_back(static_cast<TTimer*>(sender)->Tag); };

    PumpFor(100);
    EXPECT_TRUE(tags.empty()) << "a disabled timer ticked";

    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return tags.size() >= 3; }, 3000));
    EXPECT_EQ(tags[0], 7);

    timer.SetEnabled(false);
    size_t count = tags.size();
    PumpFor(100);
    EXPECT_EQ(tags.size(), count) << "ticks after the timer was disabled";

    // A long interval, then a short one: the change re-arms the running timer at once.
    timer.SetInterval(5000);
    timer.SetEnabled(true);
    PumpFor(150);
    EXPECT_EQ(tags.size(), count);
    timer.SetInterval(20);
    EXPECT_TRUE(PumpUntil([&] { return tags.size() > count; }, 2000));

    timer.SetInterval(0);  // never fires
    count = tags.size();
    PumpFor(100);
    EXPECT_EQ(tags.size(), count);
}

namespace {

// A main form whose handlers fail in several ways: creation, a timer tick, a button click.
struct FailingForm : TForm {
    explicit FailingForm(TComponent* owner) : TForm(owner, "TGuiFailingForm") {
        SetClientSize(200, 100);
        button = new TButton(this);
        button->SetParent(this);
        button->OnClick = [](TObject*) { throw EListError("List index out of bounds (3)"); };
        timer = new TTimer(this);
        timer->SetInterval(20);
        timer->Tag = 99;
        timer->OnTimer = [this](TObject* sender) {
            ++ticks;
            EXPECT_EQ(static_cast<TTimer*>(sender)->Tag, 99);
            if (ticks == 1)
                throw ERangeError("Range check error");
            if (ticks == 2)
                PostMessageA(button->Handle(), BM_CLICK, 0, 0);
            if (ticks == 4)
                Close();
        };
        watchdog = new TTimer(this);
        watchdog->SetInterval(10000);
        watchdog->OnTimer = [this](TObject*) {
            watchdogFired = true;
            Application.Terminate();
        };
        OnCreate = [this](TObject*) {
            ++createSteps;
            throw EConvertError("'x' is not a valid integer value");
        };
        OnDestroy = [this](TObject*) {
            ++destroyed;
            destroyedWithWindow = HandleAllocated() && IsWindow(Handle());
        };
    }
    TButton* button;
    TTimer* timer;
    TTimer* watchdog;
    int ticks = 0;
    int createSteps = 0;
    bool watchdogFired = false;
    static inline int destroyed = 0;
    static inline bool destroyedWithWindow = false;
};

}  // namespace

TEST_F(GuiTest, HandlerErrorsReachTheGlobalHandlerAndTheLoopGoesOn) {
    FailingForm::destroyed = 0;
    auto* form = Application.CreateForm<FailingForm>();
    EXPECT_EQ(form->createSteps, 1);
    EXPECT_TRUE(form->HandleAllocated()) << "the form is created although OnCreate failed";
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "EConvertError: 'x' is not a valid integer value");

    Application.Run();

    EXPECT_EQ(Application.MainForm(), nullptr) << "Run destroys the forms";
    EXPECT_EQ(FailingForm::destroyed, 1);
    EXPECT_TRUE(FailingForm::destroyedWithWindow) << "OnDestroy runs before the window goes";
    const std::vector<std::string> expected = {"EConvertError: 'x' is not a valid integer value",
                                               "ERangeError: Range check error",
                                               "EListError: List index out of bounds (3)"};
    EXPECT_EQ(errors, expected);
}

TEST_F(GuiTest, ClosingASecondFormRunsItsOnDestroyOnce) {
    TForm* main = NewForm(100, 100);
    auto* second = Application.CreateForm<TForm>("TGuiSecondForm");
    int destroyed = 0;
    second->OnDestroy = [&](TObject*) { ++destroyed; };
    second->Show();
    second->Close();
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(second->HandleAllocated());
    EXPECT_TRUE(IsWindow(main->Handle()));
    Application.DestroyForms();
    EXPECT_EQ(destroyed, 1);
}

TEST_F(GuiTest, EndOfTheSessionRunsOnDestroyOfEveryFormOnce) {
    std::vector<std::string> destroyed;
    TForm* main = NewForm(100, 100);
    main->OnDestroy = [&](TObject*) { destroyed.push_back("main"); };
    auto* second = Application.CreateForm<TForm>("TGuiSecondForm");
    second->OnDestroy = [&](TObject*) { destroyed.push_back("second"); };

    SendMessageA(main->Handle(), WM_ENDSESSION, FALSE, 0);  // the log-off was cancelled
    EXPECT_TRUE(destroyed.empty());
    SendMessageA(main->Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(destroyed, (std::vector<std::string>{"second", "main"}));
    Application.DestroyForms();
    EXPECT_EQ(destroyed.size(), 2u) << "OnDestroy runs once";
}

TEST_F(GuiTest, ScreenCursorOverridesEveryControlsCursor) {
    TForm* form = NewForm(200, 100);
    auto* label = new TLabel(form);
    label->SetCaption("Link");
    label->SetCursor(crHandPoint);
    label->SetParent(form);
    HWND hwnd = label->Handle();
    auto askCursor = [&] {
        SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    EXPECT_EQ(askCursor(), CursorHandle(crHandPoint));
    Screen.SetCursor(crHourGlass);
    EXPECT_EQ(askCursor(), CursorHandle(crHourGlass));
    Screen.SetCursor(crDefault);
    EXPECT_EQ(askCursor(), CursorHandle(crHandPoint));
}

namespace {

struct MouseProbe : TGraphicControl {
    explicit MouseProbe(TComponent* owner) : TGraphicControl(owner) {}
    void MouseEnter() override { events += "enter "; }
    void MouseLeave() override { events += "leave "; }
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
        events += "down" + std::to_string(button) + ((shift & ssDouble) ? "d" : "") + "@" +
                  std::to_string(x) + "," + std::to_string(y) + " ";
    }
    void MouseUp(TMouseButton button, TShiftState, int, int) override {
        events += "up" + std::to_string(button) + " ";
    }
    void DblClick() override { events += "dbl "; }
    std::string events;
};

}  // namespace

TEST_F(GuiTest, GraphicControlReportsTheMouseAndClicksOnARelease) {
    TForm* form = NewForm(200, 100);
    auto* probe = new MouseProbe(form);
    probe->SetBounds(10, 10, 50, 20);
    probe->SetParent(form);
    probe->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, probe);
        probe->events += "click ";
    };
    HWND hwnd = probe->Handle();
    auto send = [&](UINT msg, WPARAM keys, int x, int y) { SendMessageA(hwnd, msg, keys, MAKELPARAM(x, y)); };

    struct Step {
        const char* what;
        std::function<void()> act;
        const char* events;
    };
    const Step steps[] = {
        {"moves", [&] { send(WM_MOUSEMOVE, 0, 3, 4), send(WM_MOUSEMOVE, 0, 5, 6); }, "enter "},
        {"a click", [&] { send(WM_LBUTTONDOWN, MK_LBUTTON, 3, 4), send(WM_LBUTTONUP, 0, 3, 4); },
         "down0@3,4 click up0 "},
        {"released outside", [&] { send(WM_LBUTTONDOWN, MK_LBUTTON, 3, 4), send(WM_LBUTTONUP, 0, 80, 4); },
         "down0@3,4 up0 "},
        {"right button", [&] { send(WM_RBUTTONDOWN, MK_RBUTTON, 1, 1), send(WM_RBUTTONUP, 0, 1, 1); },
         "down1@1,1 up1 "},
        {"a double click clicks once",
         [&] {
             send(WM_LBUTTONDOWN, MK_LBUTTON, 2, 2), send(WM_LBUTTONUP, 0, 2, 2);
             send(WM_LBUTTONDBLCLK, MK_LBUTTON, 2, 2), send(WM_LBUTTONUP, 0, 2, 2);
         },
         "down0@2,2 click up0 dbl down0d@2,2 up0 "},
        {"leaves", [&] { send(WM_MOUSELEAVE, 0, 0, 0); }, "leave "},
        {"comes back", [&] { send(WM_MOUSEMOVE, 0, 1, 1); }, "enter "},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        probe->events.clear();
        step.act();
        EXPECT_EQ(probe->events, step.events);
    }
    EXPECT_NE(GetCapture(), hwnd) << "the capture ends with the release";
}

TEST_F(GuiTest, HidingAnAlignedControlGivesItsSpaceToTheOthers) {
    TForm* form = NewForm(300, 200);
    auto* side = new TPanel(form);
    side->SetBounds(0, 0, 80, 10);
    side->SetAlign(alLeft);
    side->SetParent(form);
    auto* rest = new TPanel(form);
    rest->SetAlign(alClient);
    rest->SetParent(form);
    EXPECT_EQ(rest->Left(), 80);
    EXPECT_EQ(rest->Width(), 220);
    side->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(side->Handle()));
    EXPECT_EQ(rest->Left(), 0);
    EXPECT_EQ(rest->Width(), 300);
    side->SetWidth(100);
    side->SetVisible(true);
    EXPECT_EQ(rest->Left(), 100);
    EXPECT_EQ(rest->Width(), 200);
    delete side;
    EXPECT_EQ(rest->Left(), 0) << "a deleted control leaves the layout";
    EXPECT_EQ(form->FindComponent("nothing"), nullptr);
}
