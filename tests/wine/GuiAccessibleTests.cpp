// Screen readers in the GUI layer: what a control that describes itself answers through
// WM_GETOBJECT, read as a client reads it (AccessibleObjectFromWindow), and what the standard
// controls keep answering through the system's objects.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/wine/AccessibleSupport.h"
#include "tests/wine/GuiTestSupport.h"

using testsupport::Accessible;

namespace {

// A graphic control that describes itself as a link would, and can be told to fail.
struct DescribedControl : TGraphicControl {
    explicit DescribedControl(TComponent* owner) : TGraphicControl(owner) { SetTabStop(true); }
    bool DescribeAccessible(TAccessibleInfo& info) const override {
        if (failingToDescribe)
            throw std::runtime_error("cannot describe");
        info.role = ROLE_SYSTEM_LINK;
        info.value = "target";
        info.defaultAction = defaultAction;
        info.state = STATE_SYSTEM_LINKED;
        return true;
    }
    void DoAccessibleDefaultAction() override {
        ++actions;
        if (failingToAct)
            throw std::runtime_error("cannot act");
    }
    std::string defaultAction = "Jump";
    bool failingToDescribe = false, failingToAct = false;
    int actions = 0;
};

}  // namespace

TEST_F(GuiTest, ControlThatDescribesItselfAnswersScreenReadersWithItsOwnObject) {
    TForm* form = NewForm(300, 100, true);
    auto* link = new DescribedControl(form);
    link->SetBounds(10, 10, 80, 20);
    link->SetParent(form);
    link->SetCaption("Caf\xC3\xA9 menu");  // the process code page is UTF-8 here

    Accessible object(link->Handle());
    ASSERT_TRUE(object);
    EXPECT_EQ(object.Role(), ROLE_SYSTEM_LINK);
    EXPECT_EQ(object.Name(), "Caf\xC3\xA9 menu") << "the caption";
    EXPECT_EQ(object.Value(), "target");
    EXPECT_EQ(object.DefaultAction(), "Jump");
    EXPECT_EQ(object.State(), STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE);
    link->SetAccessibleName("Menu of the cafe");
    EXPECT_EQ(object.Name(), "Menu of the cafe");

    // Focus and availability come from the window, at the time of asking.
    link->SetFocus();
    EXPECT_EQ(object.State(), STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
    VARIANT focus;
    VariantInit(&focus);
    ASSERT_EQ(object->get_accFocus(&focus), S_OK);
    EXPECT_EQ(focus.vt, VT_I4);
    EXPECT_EQ(focus.lVal, CHILDID_SELF);
    link->SetVisible(false);
    EXPECT_TRUE(object.State() & STATE_SYSTEM_INVISIBLE);
    link->SetVisible(true);

    // Its place and parent are the window's.
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(object->accLocation(&left, &top, &width, &height, Accessible::Self()), S_OK);
    RECT onScreen;
    GetWindowRect(link->Handle(), &onScreen);
    EXPECT_EQ(left, onScreen.left);
    EXPECT_EQ(width, onScreen.right - onScreen.left);
    IDispatch* parent = nullptr;
    EXPECT_EQ(object->get_accParent(&parent), S_OK);
    ASSERT_NE(parent, nullptr);
    parent->Release();

    // The default action is answered at once and runs from the message loop.
    ASSERT_EQ(object->accDoDefaultAction(Accessible::Self()), S_OK);
    EXPECT_EQ(link->actions, 0) << "not inside the screen reader's call";
    EXPECT_TRUE(PumpUntil([&] { return link->actions == 1; }, 2000));
    link->defaultAction.clear();
    EXPECT_EQ(object->accDoDefaultAction(Accessible::Self()), DISP_E_MEMBERNOTFOUND);

    VARIANT otherChild = Accessible::Self();
    otherChild.lVal = 3;
    BSTR name = nullptr;
    EXPECT_EQ(object->get_accName(otherChild, &name), E_INVALIDARG);
}

TEST_F(GuiTest, AccessibleObjectFailsWithoutThrowingAndDisconnectsWithItsWindow) {
    TForm* form = NewForm(300, 100);
    auto* control = new DescribedControl(form);
    control->SetParent(form);
    Accessible object(control->Handle());
    ASSERT_TRUE(object);

    control->failingToDescribe = true;
    EXPECT_EQ(object.NameResult(), E_FAIL);
    VARIANT role;
    VariantInit(&role);
    EXPECT_EQ(object->get_accRole(Accessible::Self(), &role), E_FAIL);
    EXPECT_EQ(object->accDoDefaultAction(Accessible::Self()), E_FAIL);
    control->failingToDescribe = false;
    EXPECT_EQ(object.NameResult(), S_FALSE) << "no caption, no name";
    // An action that fails does so in the message loop, where the global handler reports it.
    control->failingToAct = true;
    EXPECT_EQ(object->accDoDefaultAction(Accessible::Self()), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !errors.empty(); }, 2000));
    EXPECT_EQ(errors[0], "std::exception: cannot act");

    delete control;
    EXPECT_EQ(object.NameResult(), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(object->get_accRole(Accessible::Self(), &role), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(object->accDoDefaultAction(Accessible::Self()), CO_E_OBJNOTCONNECTED);
}

TEST_F(GuiTest, StandardControlsKeepTheSystemsObjects) {
    TForm* form = NewForm(300, 120);
    auto* button = new TButton(form);
    button->SetCaption("Create backup");
    button->SetParent(form);
    auto* box = new TCheckBox(form);
    box->SetBounds(10, 40, 150, 17);
    box->SetCaption("Start minimized");
    box->SetChecked(true);
    box->SetParent(form);
    auto* panel = new TPanel(form);
    panel->SetBounds(10, 70, 50, 20);
    panel->SetParent(form);

    // Wine's oleacc has no button proxy and gives them a plain client's role and states; the
    // names are the captions, as Windows' button proxy gives them.
    Accessible pushButton(button->Handle());
    ASSERT_TRUE(pushButton);
    EXPECT_EQ(pushButton.Name(), "Create backup");
    Accessible checkBox(box->Handle());
    ASSERT_TRUE(checkBox);
    EXPECT_EQ(checkBox.Name(), "Start minimized");
    Accessible plain(panel->Handle());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain.Role(), ROLE_SYSTEM_CLIENT);
}
