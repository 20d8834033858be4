// The link label under Wine: colours and underline with the mouse, the click's order of steps,
// the shell call and its result, the version box, the keyboard and its focus rectangle, and what
// screen readers read of it.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ZorvaneText.h"
#include "components/InternetLabel.h"
#include "tests/wine/AccessibleSupport.h"
#include "tests/wine/ComponentsTestSupport.h"
#include "tests/wine/KeyboardSupport.h"

using testsupport::PaintNow;
using testsupport::Pump;
using testsupport::WindowPixels;

namespace {

struct ShellCall {
    HWND window;
    bool verbIsNull;
    std::string file;
    bool paramsAreNull, folderIsNull;
    INT show;
};

std::vector<ShellCall> gShellCalls;
std::vector<std::string>* gEventLog = nullptr;
INT_PTR gShellResult = 42;

HINSTANCE WINAPI
RecordShellExecute(HWND window, LPCSTR verb, LPCSTR file, LPCSTR params, LPCSTR folder, INT show) {
    gShellCalls.push_back(
        {window, verb == nullptr, file ? file : "<null>", params == nullptr, folder == nullptr, show});
    if (gEventLog)
        gEventLog->push_back("shell");
    return reinterpret_cast<HINSTANCE>(gShellResult);
}

// Reaches the label's protected reactions the way the framework calls them.
class ProbeLabel : public TInternetLabel {
  public:
    using TInternetLabel::Click;
    using TInternetLabel::MouseEnter;
    using TInternetLabel::MouseLeave;
    using TInternetLabel::TInternetLabel;
};

class RefusingLabel : public ProbeLabel {
  public:
    using ProbeLabel::ProbeLabel;
    bool CanActivateLink() override { return false; }
};

class LinkLabelTest : public testsupport::FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        gShellCalls.clear();
        gShellResult = 42;
        previousShell_ = seams::SetLinkShellExecute(RecordShellExecute);
        previousSink_ = SetMessageSink([this](const UserMessage& message) {
            messages.push_back(message);
            return false;
        });
    }
    void TearDown() override {
        seams::SetLinkShellExecute(previousShell_);
        SetMessageSink(previousSink_);
        gEventLog = nullptr;
        FormTest::TearDown();
    }

    template <class Label = ProbeLabel>
    Label* NewLabel(const std::string& caption = "How it works") {
        auto* label = new Label(form);
        label->SetParent(form);
        label->SetBounds(27, 136, 61, 13);
        label->SetCaption(caption);
        PaintNow(form->Handle());
        return label;
    }

    std::vector<UserMessage> messages;

  private:
    seams::LinkShellExecuteProc previousShell_ = nullptr;
    MessageSink previousSink_;
};

// Rows of the label that are (nearly) all one colour: an underline in that colour.
int SolidRows(const WindowPixels& pixels, COLORREF color) {
    int rows = 0;
    for (int y = 0; y < pixels.Height(); ++y) {
        const int count = pixels.Count(RECT{0, y, pixels.Width(), y + 1}, color);
        rows += count * 10 >= pixels.Width() * 8 ? 1 : 0;
    }
    return rows;
}

int PixelsOf(const WindowPixels& pixels, COLORREF color) {
    return pixels.Count(RECT{0, 0, pixels.Width(), pixels.Height()}, color);
}

}  // namespace

TEST_F(LinkLabelTest, ConstructedState) {
    ProbeLabel* label = NewLabel();
    EXPECT_EQ(label->Link(), "");
    EXPECT_FALSE(label->LinkHint());
    EXPECT_FALSE(label->Visited());
    EXPECT_EQ(label->VisitedColor(), clPurple);
    EXPECT_EQ(label->NotVisitedColor(), clBlue);
    EXPECT_EQ(label->OverColor(), clRed);
    EXPECT_EQ(label->Cursor(), crHandPoint);
    EXPECT_EQ(label->Font().Color, clBlue);
    EXPECT_EQ(label->Font().Style, 0u);
    EXPECT_FALSE(label->About());
    EXPECT_FALSE(label->MouseOver());
}

TEST_F(LinkLabelTest, EnterAndLeaveChangeColourAndUnderline) {
    ProbeLabel* label = NewLabel();
    std::vector<std::string> log;
    label->OnMouseEnter = [&](TObject* sender) {
        EXPECT_EQ(sender, label);
        // The label's own reaction comes first.
        EXPECT_EQ(label->Font().Color, clRed);
        EXPECT_TRUE(label->Font().Style & fsUnderline);
        log.push_back("enter");
    };
    label->OnMouseLeave = [&](TObject* sender) {
        EXPECT_EQ(sender, label);
        EXPECT_EQ(label->Font().Color, clBlue);
        EXPECT_FALSE(label->Font().Style & fsUnderline);
        log.push_back("leave");
    };

    label->MouseEnter();
    EXPECT_TRUE(label->MouseOver());
    PaintNow(label->Handle());
    WindowPixels hovered(label->Handle());
    EXPECT_GT(PixelsOf(hovered, RGB(255, 0, 0)), 5) << "red text";
    EXPECT_EQ(PixelsOf(hovered, RGB(0, 0, 255)), 0);
    EXPECT_GE(SolidRows(hovered, RGB(255, 0, 0)), 1) << "underlined";

    label->MouseLeave();
    EXPECT_FALSE(label->MouseOver());
    PaintNow(label->Handle());
    WindowPixels left(label->Handle());
    EXPECT_GT(PixelsOf(left, RGB(0, 0, 255)), 5) << "blue text";
    EXPECT_EQ(PixelsOf(left, RGB(255, 0, 0)), 0);
    EXPECT_EQ(SolidRows(left, RGB(0, 0, 255)), 0) << "no underline";

    EXPECT_EQ(log, (std::vector<std::string>{"enter", "leave"}));

    label->SetVisited(true);
    label->MouseEnter();
    EXPECT_EQ(label->Font().Color, clRed);
    label->OnMouseLeave = nullptr;
    label->MouseLeave();
    EXPECT_EQ(label->Font().Color, clPurple);
}

TEST_F(LinkLabelTest, FormFontUnderlineGoesAtTheFirstLeave) {
    ProbeLabel* label = NewLabel();
    TFont font = label->Font();
    font.Style = fsUnderline | fsBold;
    label->SetFont(font);
    label->MouseEnter();
    EXPECT_EQ(label->Font().Style, static_cast<TFontStyles>(fsUnderline | fsBold));
    label->MouseLeave();
    EXPECT_EQ(label->Font().Style, static_cast<TFontStyles>(fsBold));
    label->MouseEnter();
    EXPECT_EQ(label->Font().Style, static_cast<TFontStyles>(fsUnderline | fsBold));
}

TEST_F(LinkLabelTest, ColourSettersRespectVisitedAndHover) {
    ProbeLabel* label = NewLabel();
    label->SetNotVisitedColor(clGreen);
    EXPECT_EQ(label->Font().Color, clGreen);
    label->SetVisitedColor(clMaroon);  // not visited: the colour waits
    EXPECT_EQ(label->Font().Color, clGreen);
    label->SetVisited(true);
    EXPECT_EQ(label->Font().Color, clMaroon);
    label->SetVisitedColor(clNavy);
    EXPECT_EQ(label->Font().Color, clNavy);

    label->MouseEnter();
    label->SetVisitedColor(clOlive);  // under the mouse: only stored
    EXPECT_EQ(label->Font().Color, clRed);
    label->SetOverColor(clYellow);
    EXPECT_EQ(label->Font().Color, clYellow);
    label->SetVisited(false);  // shows the not-visited colour even under the mouse
    EXPECT_EQ(label->Font().Color, clGreen);
    label->MouseLeave();
    EXPECT_EQ(label->Font().Color, clGreen);
    label->SetOverColor(clAqua);  // not under the mouse: only stored
    EXPECT_EQ(label->Font().Color, clGreen);
    EXPECT_EQ(label->VisitedColor(), clOlive);
    EXPECT_EQ(label->OverColor(), clAqua);
}

TEST_F(LinkLabelTest, ClickRunsOnClickThenAsksThenOpens) {
    enum Handler { None, Allow, Refuse };
    struct Case {
        const char* what;
        const char* link;
        Handler handler;
        bool visitedBefore;
        INT_PTR shellResult;
        bool wantShell;
        bool wantVisited;
    } cases[] = {
        {"empty link", "", None, true, 42, false, true},
        {"opened", "http://example.invalid/home", None, false, 42, true, true},
        {"failed open clears Visited", "http://example.invalid/home", None, true, 2, true, false},
        {"result 32 is a failure", "http://example.invalid/home", None, true, 32, true, false},
        {"result 33 is success", "http://example.invalid/home", None, false, 33, true, true},
        {"handler refuses", "http://example.invalid/home", Refuse, false, 42, false, false},
        {"handler refuses, visited stays", "http://example.invalid/home", Refuse, true, 2, false, true},
        {"handler lets an empty link through", "", Allow, false, 42, true, true},
    };
    for (const Case& c : cases) {
        ProbeLabel* label = NewLabel();
        std::vector<std::string> log;
        gEventLog = &log;
        gShellCalls.clear();
        gShellResult = c.shellResult;
        label->SetLink(c.link);
        label->SetVisited(c.visitedBefore);
        label->OnClick = [&](TObject*) { log.push_back("click"); };
        if (c.handler != None) {
            label->OnLinkActivating = [&, c](TObject* sender, bool& canActivate) {
                EXPECT_EQ(sender, label);
                EXPECT_EQ(canActivate, std::string(c.link) != "") << c.what;
                canActivate = c.handler == Allow;
                log.push_back("activating");
            };
        }
        label->Click();
        std::vector<std::string> want{"click"};
        if (c.handler != None)
            want.push_back("activating");
        if (c.wantShell)
            want.push_back("shell");
        EXPECT_EQ(log, want) << c.what;
        if (c.wantShell) {
            ASSERT_EQ(gShellCalls.size(), 1u) << c.what;
            const ShellCall& call = gShellCalls[0];
            EXPECT_EQ(call.window, nullptr) << c.what;
            EXPECT_TRUE(call.verbIsNull) << c.what << ": the default verb";
            EXPECT_EQ(call.file, c.link) << c.what;
            EXPECT_TRUE(call.paramsAreNull) << c.what;
            EXPECT_TRUE(call.folderIsNull) << c.what;
            EXPECT_EQ(call.show, SW_SHOWNORMAL) << c.what;
        }
        EXPECT_EQ(label->Visited(), c.wantVisited) << c.what;
        EXPECT_EQ(label->Font().Color, c.wantVisited ? clPurple : clBlue) << c.what;
        gEventLog = nullptr;
        delete label;
    }
}

TEST_F(LinkLabelTest, SuccessfulClickShowsVisitedUnderTheMouse) {
    ProbeLabel* label = NewLabel();
    label->SetLink("http://example.invalid/support");
    label->MouseEnter();
    label->Click();
    EXPECT_EQ(label->Font().Color, clPurple);
    EXPECT_TRUE(label->Font().Style & fsUnderline);
    PaintNow(label->Handle());
    WindowPixels pixels(label->Handle());
    EXPECT_GT(PixelsOf(pixels, RGB(128, 0, 128)), 5);
    EXPECT_EQ(PixelsOf(pixels, RGB(255, 0, 0)), 0);
    label->MouseLeave();
    EXPECT_EQ(label->Font().Color, clPurple);
    label->MouseEnter();
    EXPECT_EQ(label->Font().Color, clRed);
}

TEST_F(LinkLabelTest, OverriddenCanActivateLinkStopsTheOpen) {
    auto* label = NewLabel<RefusingLabel>();
    label->SetLink("http://example.invalid/");
    bool clicked = false;
    label->OnClick = [&](TObject*) { clicked = true; };
    label->Click();
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(gShellCalls.empty());
    EXPECT_FALSE(label->Visited());
}

TEST_F(LinkLabelTest, LinkHintCopiesOnlyAtTheNextLink) {
    ProbeLabel* label = NewLabel();
    label->SetHint("own hint");
    label->SetLink("http://example.invalid/a");
    EXPECT_EQ(label->Hint(), "own hint");
    label->SetLinkHint(true);
    EXPECT_EQ(label->Hint(), "own hint");  // setting LinkHint alone does not touch the hint
    label->SetLink("http://example.invalid/b");
    EXPECT_EQ(label->Hint(), "http://example.invalid/b");
    label->SetLinkHint(false);
    label->SetLink("http://example.invalid/c");
    EXPECT_EQ(label->Hint(), "http://example.invalid/b");
    EXPECT_EQ(label->Link(), "http://example.invalid/c");
}

TEST_F(LinkLabelTest, AboutShowsTheVersionBoxAndReadsFalse) {
    ProbeLabel* label = NewLabel();
    label->SetAbout(false);
    EXPECT_TRUE(messages.empty());
    label->SetAbout(true);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, MsgKind::Plain);
    EXPECT_EQ(messages[0].text, "Internet Label 2.0");
    EXPECT_FALSE(label->About());
}

TEST_F(LinkLabelTest, RealShellOpensAFileAndFailsOnAMissingOne) {
    seams::SetLinkShellExecute(nullptr);  // the real ShellExecuteA
    char tempPath[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, tempPath), 0u);
    const std::string folder =
        std::string(tempPath) + "components link test " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string script =
        folder + "\\quick exit.bat";  // the default action runs it, and it ends at once
    {
        std::ofstream out(script, std::ios::binary);
        out << "@exit 0\r\n";
    }

    ProbeLabel* label = NewLabel();
    label->SetLink(folder + "\\does not exist.txt");
    label->SetVisited(true);
    label->Click();
    EXPECT_FALSE(label->Visited());
    EXPECT_EQ(label->Font().Color, clBlue);

    label->SetLink(script);
    label->Click();
    EXPECT_TRUE(label->Visited());
    EXPECT_EQ(label->Font().Color, clPurple);

    // The script's console process may still hold the file for a moment.
    for (int attempt = 0; attempt < 50 && !DeleteFileA(script.c_str()); ++attempt)
        Sleep(100);
    RemoveDirectoryA(folder.c_str());
}

TEST_F(LinkLabelTest, RealMouseAndClickMessages) {
    ProbeLabel* label = NewLabel();
    label->SetLink("http://example.invalid/zorvane");
    int clicks = 0;
    label->OnClick = [&](TObject*) { ++clicks; };
    RECT onScreen{};
    GetWindowRect(label->Handle(), &onScreen);

    SetCursorPos((onScreen.left + onScreen.right) / 2, (onScreen.top + onScreen.bottom) / 2);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return label->MouseOver(); }));
    EXPECT_EQ(label->Font().Color, clRed);
    EXPECT_TRUE(label->Font().Style & fsUnderline);

    SendMessageA(label->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(label->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(gShellCalls.size(), 1u);
    EXPECT_EQ(gShellCalls[0].file, "http://example.invalid/zorvane");
    EXPECT_EQ(label->Font().Color, clPurple);

    SetCursorPos(onScreen.left, onScreen.bottom + 400);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !label->MouseOver(); }));
    EXPECT_EQ(label->Font().Color, clPurple);
    EXPECT_FALSE(label->Font().Style & fsUnderline);
}

TEST_F(LinkLabelTest, KeyboardReachesTheLinkOpensItAndFramesItWhileFocused) {
    testsupport::KeyboardCuesSetting cues(false);
    auto* button = new TButton(form);
    button->SetBounds(200, 10, 80, 25);
    button->SetParent(form);
    ProbeLabel* label = NewLabel();
    label->SetLink("http://example.invalid/keys");
    int clicks = 0;
    label->OnClick = [&](TObject*) { ++clicks; };
    SendMessageA(form->Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);

    // Focused without the keyboard the link shows no frame; Tab to it shows one.
    PaintNow(form->Handle());
    const WindowPixels unfocused(label->Handle());
    label->SetFocus();
    PaintNow(form->Handle());
    const WindowPixels focusedByProgram(label->Handle());
    button->SetFocus();
    testsupport::PressTab();
    ASSERT_EQ(GetFocus(), label->Handle());
    PaintNow(form->Handle());
    const WindowPixels focusedByKeyboard(label->Handle());

    const int width = unfocused.Width(), height = unfocused.Height();
    int differentWithoutCues = 0, onFrame = 0, inside = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            differentWithoutCues += focusedByProgram.At(x, y) != unfocused.At(x, y) ? 1 : 0;
            if (focusedByKeyboard.At(x, y) == unfocused.At(x, y))
                continue;
            const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            ++(edge ? onFrame : inside);
        }
    EXPECT_EQ(differentWithoutCues, 0);
    EXPECT_GE(onFrame, width + height - 4) << "a dotted frame: every other pixel of the edges";
    EXPECT_EQ(inside, 0) << "the text is untouched";

    struct Key {
        const char* what;
        WPARAM key;
        LPARAM press;
        bool opens;
    };
    const Key keys[] = {
        {"Enter", VK_RETURN, testsupport::kFirstPress, true},
        {"Space", VK_SPACE, testsupport::kFirstPress, true},
        {"a held Enter's repeat", VK_RETURN, testsupport::kRepeatedPress, false},
        {"another key", 'L', testsupport::kFirstPress, false},
    };
    for (const Key& key : keys) {
        SCOPED_TRACE(key.what);
        gShellCalls.clear();
        const int clicksBefore = clicks;
        testsupport::PostKey(label->Handle(), key.key, key.press);
        EXPECT_EQ(clicks - clicksBefore, key.opens ? 1 : 0) << "OnClick runs as for a click";
        ASSERT_EQ(gShellCalls.size(), key.opens ? 1u : 0u);
        if (key.opens) {
            EXPECT_EQ(gShellCalls[0].file, "http://example.invalid/keys");
        }
    }
    EXPECT_TRUE(label->Visited());
}

TEST_F(LinkLabelTest, ScreenReadersMeetALinkWhoseDefaultActionOpensIt) {
    ProbeLabel* label = NewLabel("Online support");
    label->SetLink("http://example.invalid/support");
    testsupport::Accessible object(label->Handle());
    ASSERT_TRUE(object);
    EXPECT_EQ(object.Role(), ROLE_SYSTEM_LINK);
    EXPECT_EQ(object.Name(), "Online support");
    EXPECT_EQ(object.Value(), "http://example.invalid/support");
    EXPECT_EQ(object.DefaultAction(), "Jump");
    EXPECT_EQ(object.State(), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED);
    label->SetFocus();
    EXPECT_EQ(object.State(), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSED);

    ASSERT_EQ(object->accDoDefaultAction(testsupport::Accessible::Self()), S_OK);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !gShellCalls.empty(); }));
    EXPECT_EQ(gShellCalls[0].file, "http://example.invalid/support");
    EXPECT_TRUE(object.State() & STATE_SYSTEM_TRAVERSED) << "opened: visited";
    label->MouseEnter();
    EXPECT_TRUE(object.State() & STATE_SYSTEM_HOTTRACKED);
    label->MouseLeave();

    label->SetCaption("Support");
    EXPECT_EQ(object.Name(), "Support") << "asked anew each time";
}

TEST_F(LinkLabelTest, HighContrastDrawsTheLinkInTheSystemsLinkColours) {
    const COLORREF link = GetSysColor(COLOR_HOTLIGHT), hover = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF blue = RGB(0, 0, 255), red = RGB(255, 0, 0);
    ASSERT_NE(link, blue);
    ASSERT_NE(hover, red);
    ProbeLabel* label = NewLabel();
    {
        testsupport::HighContrastScheme highContrast(form);
        const WindowPixels plain(label->Handle());
        EXPECT_GT(PixelsOf(plain, link), 5);
        EXPECT_EQ(PixelsOf(plain, blue), 0);
        label->MouseEnter();
        PaintNow(label->Handle());
        const WindowPixels hovered(label->Handle());
        EXPECT_GT(PixelsOf(hovered, hover), 5);
        EXPECT_EQ(PixelsOf(hovered, red), 0);
        label->MouseLeave();
        EXPECT_EQ(label->Font().Color, clBlue) << "the label's own colours stay as they are";

        highContrast.Off();
        const WindowPixels own(label->Handle());
        EXPECT_GT(PixelsOf(own, blue), 5);
        EXPECT_EQ(PixelsOf(own, link), 0);
    }
}
