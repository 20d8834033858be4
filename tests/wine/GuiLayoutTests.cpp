// Layout of the GUI layer: alignment, anchors, window classes and tab order.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/wine/GuiTestSupport.h"

namespace {

struct Box {
    int left, top, width, height;
};

void ExpectBounds(TControl* control, Box expected, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(control->Left(), expected.left);
    EXPECT_EQ(control->Top(), expected.top);
    EXPECT_EQ(control->Width(), expected.width);
    EXPECT_EQ(control->Height(), expected.height);
    ASSERT_TRUE(control->HandleAllocated());
    const RECT window = WindowBoundsInParent(control->Handle());  // Wine runs at 96 dpi
    EXPECT_EQ(window.left, expected.left);
    EXPECT_EQ(window.top, expected.top);
    EXPECT_EQ(window.right - window.left, expected.width);
    EXPECT_EQ(window.bottom - window.top, expected.height);
}

template <class T>
T* Place(TWinControl* parent, TComponent* owner, Box box, TAnchors anchors = kDefaultAnchors) {
    auto* control = new T(owner);
    control->SetBounds(box.left, box.top, box.width, box.height);
    control->SetParent(parent);
    control->SetAnchors(anchors);
    return control;
}

}  // namespace

// The main window's arrangement in small: a side bar on the right, a status bar at the bottom,
// the rest for a panel whose command strip sits at its bottom with anchored buttons.
TEST_F(GuiTest, AlignAndAnchorsFollowTheParentsSize) {
    struct Resize {
        const char* how;
        std::function<void(TForm*)> apply;
    };
    const Resize resizes[] = {
        {"SetClientSize", [](TForm* form) { form->SetClientSize(520, 380); }},
        {"the window resized by the system",
         [](TForm* form) {
             RECT window, client;
             GetWindowRect(form->Handle(), &window);
             GetClientRect(form->Handle(), &client);
             SetWindowPos(form->Handle(), nullptr, 0, 0, window.right - window.left + 120,
                          window.bottom - window.top + 80, SWP_NOMOVE | SWP_NOZORDER);
         }},
    };
    for (const Resize& resize : resizes) {
        SCOPED_TRACE(resize.how);
        TForm* form = NewForm(400, 300);
        ASSERT_EQ(form->ClientWidth(), 400);
        ASSERT_EQ(form->ClientHeight(), 300);

        auto* side = Place<TPanel>(form, form, {300, 0, 100, 281});
        side->SetAlign(alRight);
        auto* status = new TStatusBar(form);
        status->SetParent(form);
        auto* main = new TPanel(form);
        main->SetAlign(alClient);
        main->SetParent(form);
        auto* strip = Place<TPanel>(main, form, {1, 230, 298, 50});
        strip->SetAlign(alBottom);
        auto* fixed = Place<TButton>(strip, form, {10, 10, 80, 25});
        auto* right = Place<TButton>(strip, form, {200, 10, 80, 25}, akTop | akRight);
        auto* stretched = Place<TButton>(strip, form, {100, 12, 50, 25}, akLeft | akTop | akRight);
        auto* tall = Place<TPanel>(strip, form, {160, 1, 2, 48}, akTop | akRight | akBottom);
        auto* logo = Place<TPanel>(side, form, {10, 200, 80, 60}, akBottom);

        ExpectBounds(side, {300, 0, 100, 281}, "side bar before");
        ExpectBounds(status, {0, 281, 400, 19}, "status bar before");
        ExpectBounds(main, {0, 0, 300, 281}, "main panel before");
        ExpectBounds(strip, {1, 230, 298, 50}, "strip before");

        resize.apply(form);
        ASSERT_EQ(form->ClientWidth(), 520);
        ASSERT_EQ(form->ClientHeight(), 380);

        ExpectBounds(side, {420, 0, 100, 361}, "side bar keeps its width");
        ExpectBounds(status, {0, 361, 520, 19}, "status bar keeps its height");
        ExpectBounds(main, {0, 0, 420, 361}, "main panel takes the rest");
        ExpectBounds(strip, {1, 310, 418, 50}, "strip keeps its height at the bottom");
        ExpectBounds(fixed, {10, 10, 80, 25}, "anchored left and top");
        ExpectBounds(right, {320, 10, 80, 25}, "anchored right moves by the width change");
        ExpectBounds(stretched, {100, 12, 170, 25}, "anchored left and right stretches");
        ExpectBounds(tall, {280, 1, 2, 48}, "anchored right, top and bottom");
        ExpectBounds(logo, {10, 280, 80, 60}, "anchored bottom keeps its distance to the bottom");

        // Back to the first size: the anchor distances were not changed by the layout itself.
        form->SetClientSize(400, 300);
        ExpectBounds(right, {200, 10, 80, 25}, "anchored right after shrinking");
        ExpectBounds(stretched, {100, 12, 50, 25}, "stretched after shrinking");
        Application.DestroyForms();
    }
}

TEST_F(GuiTest, ControlsBuiltBeforeTheirWindowsAreLaidOutAlike) {
    // The form's controls exist before its window: the layout works on the bounds alone, and the
    // windows take them when they are created.
    struct BuiltForm : TForm {
        explicit BuiltForm(TComponent* owner) : TForm(owner, "TGuiBuiltForm") {
            SetClientSize(300, 200);
            side = new TPanel(this);
            side->SetBounds(0, 0, 90, 10);
            side->SetAlign(alRight);
            side->SetParent(this);
            button = new TButton(this);
            button->SetBounds(100, 150, 60, 25);
            button->SetAnchors(akRight | akBottom);
            button->SetParent(this);
        }
        TPanel* side;
        TButton* button;
    };
    auto* form = Application.CreateForm<BuiltForm>();
    EXPECT_FALSE(form->Showing());
    ExpectBounds(form->side, {210, 0, 90, 200}, "side bar");
    form->SetClientSize(340, 230);
    ExpectBounds(form->button, {140, 180, 60, 25}, "anchored right and bottom");
}

TEST_F(GuiTest, WindowsCarryTheirClassNames) {
    TForm* form = NewForm(200, 100);
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* status = new TStatusBar(form);
    status->SetParent(form);
    auto* button = new TButton(form);
    button->SetParent(panel);
    auto* label = new TLabel(form);
    label->SetParent(panel);

    auto classOf = [](HWND hwnd) {
        char name[256] = {};
        GetClassNameA(hwnd, name, sizeof(name));
        return std::string(name);
    };
    EXPECT_EQ(classOf(form->Handle()), "TGuiTestForm");
    EXPECT_EQ(classOf(panel->Handle()), "TPanel");
    EXPECT_EQ(classOf(label->Handle()), "TLabel");
    EXPECT_STRCASEEQ(classOf(button->Handle()).c_str(), "Button");
    EXPECT_STRCASEEQ(classOf(status->Handle()).c_str(), STATUSCLASSNAMEA);
    EXPECT_EQ(FindWindowExA(form->Handle(), nullptr, "TPanel", nullptr), panel->Handle());
    EXPECT_EQ(TControl::FromHandle(button->Handle()), button);
    EXPECT_EQ(TControl::FromHandle(GetDesktopWindow()), nullptr);
}

TEST_F(GuiTest, StatusBarTakesChildControlsOnlyWhenItsSubclassAllowsIt) {
    struct HostingStatusBar : TStatusBar {
        explicit HostingStatusBar(TComponent* owner) : TStatusBar(owner) { acceptsControls_ = true; }
    };
    TForm* form = NewForm(300, 100);
    auto* plain = new TStatusBar(form);
    plain->SetParent(form);
    auto* hosting = new HostingStatusBar(form);
    hosting->SetParent(form);

    auto* button = new TButton(form);
    EXPECT_THROW(button->SetParent(plain), EInvalidOperation);
    EXPECT_EQ(button->Parent(), nullptr);
    EXPECT_TRUE(plain->Controls().empty());

    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    button->SetParent(hosting);
    ASSERT_EQ(GetParent(button->Handle()), hosting->Handle());
    // The bar passes its child's notifications on like any other parent.
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
}

TEST_F(GuiTest, TabMovesTheFocusInTabOrderAcrossPanels) {
    TForm* form = NewForm(400, 200);
    auto* first = new TPanel(form);
    first->SetBounds(0, 0, 200, 200);
    first->SetParent(form);
    first->SetTabOrder(1);
    auto* second = new TPanel(form);
    second->SetBounds(200, 0, 200, 200);
    second->SetParent(form);
    second->SetTabOrder(0);
    auto makeButton = [&](TPanel* parent, int order, int top) {
        auto* button = new TButton(form);
        button->SetBounds(10, top, 80, 25);
        button->SetParent(parent);
        button->SetTabOrder(order);
        return button;
    };
    TButton* a = makeButton(first, 1, 10);
    TButton* b = makeButton(first, 0, 40);
    TButton* c = makeButton(second, 0, 10);
    TButton* hidden = makeButton(second, 1, 40);
    hidden->SetVisible(false);
    TCheckBox* d = new TCheckBox(form);
    d->SetParent(second);
    d->SetBounds(10, 70, 80, 17);
    d->SetTabOrder(2);

    c->SetFocus();
    auto pressTab = [] {
        MSG msg = {GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
        return Application.PreTranslate(msg);
    };
    // second (tab order 0) holds c and d; first (1) holds b (0) and a (1); hidden is skipped.
    TWinControl* const expected[] = {d, b, a, c};
    for (TWinControl* next : expected) {
        EXPECT_TRUE(pressTab());
        EXPECT_EQ(GetFocus(), next->Handle());
    }
}

TEST_F(GuiTest, StatusBarShowsItsSimpleTextInSimpleMode) {
    auto* form = Application.CreateForm<TForm>("TGuiTestForm");
    auto* early = new TStatusBar(form);  // set before its window exists
    early->SetSimplePanel(true);
    early->SetSimpleText("The program will not shutdown itself");
    early->SetParent(form);
    auto* late = new TStatusBar(form);
    late->SetParent(form);
    late->SetSimplePanel(true);
    late->SetSimpleText("Backup created to C:\\backups\\");

    auto textOf = [](TStatusBar* bar) {
        char text[256] = {};
        // In simple mode the simple text is read back at index 0, not SB_SIMPLEID.
        SendMessageA(bar->Handle(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return std::string(text);
    };
    for (TStatusBar* bar : {early, late})
        EXPECT_TRUE(SendMessageA(bar->Handle(), SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(textOf(early), "The program will not shutdown itself");
    EXPECT_EQ(textOf(late), "Backup created to C:\\backups\\");
    late->SetSimplePanel(false);
    EXPECT_FALSE(SendMessageA(late->Handle(), SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(late->SimpleText(), "Backup created to C:\\backups\\");
}
