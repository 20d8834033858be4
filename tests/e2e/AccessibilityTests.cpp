// The window as keyboard and screen-reader users meet it, from another process: what
// AccessibleObjectFromWindow reads of the link labels, the scanner bar, the buttons and check boxes,
// the link's default action, and Tab, Enter and Space sent to sequora.exe.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/ScenarioSupport.h"
#include "tests/e2e/UiDriver.h"
#include "tests/wine/AccessibleSupport.h"

#ifndef SEQUORA_DRIVER_TARGET
#error "SEQUORA_DRIVER_TARGET must name the built driver_target.exe"
#endif

using namespace e2e;
using testsupport::Accessible;

namespace {

constexpr DWORD kTimeoutMs = 20000;
constexpr long kLinkStates = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;

// The window that has the keyboard focus in the thread of another process's window.
HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// A key as the other process's message loop gets it.
void PostKey(HWND target, WPARAM key) {
    const UINT scan = MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scan << 16)));
    PostMessageA(target, WM_KEYUP, key, static_cast<LPARAM>(1 | (scan << 16) | 0xC0000000u));
}

// Tab to the focused control of the window's thread; the control that has the focus then.
HWND Tab(HWND window) {
    const HWND before = FocusOf(window);
    PostKey(before, VK_TAB);
    HWND after = nullptr;
    (void)WaitUntil(
        [&] {
            after = FocusOf(window);
            return after && after != before;
        },
        kTimeoutMs);
    return after;
}

// What a tab stop is to the test: its class, and its text for all but the grid.
std::string Describe(HWND control) {
    const std::string name = ClassName(control);
    return name == "TEnhancedStrGrid" ? name : name + " \"" + WindowText(control) + "\"";
}

}  // namespace

// driver_target.exe's second window holds the program's link label, whose shell call only
// changes the window's caption, and a scanning scanner bar.
TEST(ScreenReaderFromAnotherProcess, ReadsTheLinkAndTheScannerAndFollowsTheLink) {
    LaunchOptions options;
    options.arguments = "links";
    Process target = Process::Start(HostPathToWindows(SEQUORA_DRIVER_TARGET), options);
    HWND window = WaitForTopLevelWindow(target.Id(), "DriverTargetLinks", kTimeoutMs);
    ASSERT_NE(window, nullptr);
    HWND linkWindow = FindChild(window, "TInternetLabel");
    HWND scannerWindow = FindChild(window, "TKITScanner");
    ASSERT_NE(linkWindow, nullptr);
    ASSERT_NE(scannerWindow, nullptr);

    Accessible link(linkWindow);
    ASSERT_TRUE(link) << "the label's object comes through marshalling";
    EXPECT_EQ(link.Role(), ROLE_SYSTEM_LINK);
    EXPECT_EQ(link.Name(), "How it works");
    EXPECT_EQ(link.Value(), "https://example.invalid/how-it-works");
    EXPECT_EQ(link.DefaultAction(), "Jump");
    EXPECT_EQ(link.State(), kLinkStates);

    ASSERT_EQ(link->accDoDefaultAction(Accessible::Self()), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(window) == "Opened https://example.invalid/how-it-works"; },
                          kTimeoutMs))
        << WindowText(window);
    EXPECT_EQ(link.State(), kLinkStates | STATE_SYSTEM_TRAVERSED);

    Accessible scanner(scannerWindow);
    ASSERT_TRUE(scanner);
    EXPECT_EQ(scanner.Role(), ROLE_SYSTEM_ANIMATION);
    EXPECT_EQ(scanner.Name(), "Start-up sequence");
    EXPECT_EQ(scanner.State(), STATE_SYSTEM_READONLY | STATE_SYSTEM_BUSY | STATE_SYSTEM_ANIMATED);

    // Once the label is gone, its object answers that it is disconnected.
    ASSERT_TRUE(ClickButton(FindButton(window, "Remove link")));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(linkWindow); }, kTimeoutMs));
    EXPECT_EQ(link.NameResult(), RPC_E_DISCONNECTED);

    ASSERT_TRUE(RequestClose(window));
    EXPECT_TRUE(target.WaitForExit(kTimeoutMs).has_value());
}

class MainWindowAccess : public ScenarioTest {
  protected:
    MainWindow StartFirstRun(Process& app) {
        Answer(app, "Information", "Press the \"Import\" button to import the start up objects", IDOK);
        return WaitForMainWindow(app);
    }
};

TEST_F(MainWindowAccess, ScreenReadersReadTheLinksTheScannerAndTheStandardControls) {
    Process app = StartSequora();
    MainWindow main = StartFirstRun(app);
    ASSERT_NE(main.window, nullptr);

    const std::vector<HWND> links = FindChildren(main.window, "TInternetLabel");
    const std::vector<std::string> captions = {"How it works", "Online support", "Similar tools"};
    ASSERT_EQ(links.size(), captions.size());
    for (size_t i = 0; i < links.size(); ++i) {
        SCOPED_TRACE(captions[i]);
        Accessible link(links[i]);
        ASSERT_TRUE(link);
        EXPECT_EQ(link.Role(), ROLE_SYSTEM_LINK);
        EXPECT_EQ(link.Name(), captions[i]);
        EXPECT_EQ(link.Value().rfind("https://", 0), 0u) << link.Value();
        EXPECT_EQ(link.DefaultAction(), "Jump");
        EXPECT_EQ(link.State() & ~STATE_SYSTEM_FOCUSED, kLinkStates);
    }

    Accessible scanner(FindChild(main.window, "TKITScanner"));
    ASSERT_TRUE(scanner);
    EXPECT_EQ(scanner.Role(), ROLE_SYSTEM_ANIMATION);
    EXPECT_FALSE(scanner.Name().empty());
    EXPECT_EQ(scanner.State(), STATE_SYSTEM_READONLY) << "a first run launches nothing";

    // Buttons and check boxes keep the system's objects, named by their captions.
    const std::vector<HWND> buttons = FindChildren(main.window, "Button");
    EXPECT_EQ(buttons.size(), 15u) << "ten buttons and five check boxes";
    for (HWND button : buttons) {
        const std::string caption = WindowText(button);
        Accessible object(button);
        ASSERT_TRUE(object) << caption;
        EXPECT_EQ(object.Name(), caption);
    }
    CloseAndWait(app, main);
}

TEST_F(MainWindowAccess, TabReachesEveryControlInTabOrderAndEnterAndSpacePress) {
    Process app = StartSequora();
    MainWindow main = StartFirstRun(app);
    ASSERT_NE(main.window, nullptr);

    // Tab until the focus comes to a control a second time; the round from there, from the first
    // link on.
    std::vector<HWND> visited;
    std::vector<HWND>::iterator again = visited.end();
    for (int step = 0; step < 60 && again == visited.end(); ++step) {
        HWND next = Tab(main.window);
        ASSERT_NE(next, nullptr);
        again = std::find(visited.begin(), visited.end(), next);
        if (again == visited.end()) {
            visited.push_back(next);
            again = visited.end();
        }
    }
    ASSERT_NE(again, visited.end()) << "the focus never came round";
    std::vector<std::string> order;
    for (auto control = again; control != visited.end(); ++control)
        order.push_back(Describe(*control));
    const auto first = std::find(order.begin(), order.end(), "TInternetLabel \"How it works\"");
    ASSERT_NE(first, order.end());
    std::rotate(order.begin(), first, order.end());
    const std::vector<std::string> expected = {
        "TInternetLabel \"How it works\"",
        "TInternetLabel \"Online support\"",
        "TInternetLabel \"Similar tools\"",
        "Button \"Delete current\"",
        "Button \"Add new\"",
        "Button \"Shutdown itself after starting all programs\"",
        "Button \"Start itself at Windows start up\"",
        "Button \"Import startup objects\"",
        "Button \"Up\"",
        "Button \"Dwn\"",
        "Button \"Create backup\"",
        "Button \"Restore\"",
        "Button \"Start minimized\"",
        "Button \"Execute current object\"",
        "Button \"as enabled\"",
        "Button \"and import new objects\"",
        "Button \"Renumber\"",
        "TEnhancedStrGrid",
    };
    EXPECT_EQ(order, expected);

    // Enter on a focused button presses it, Space on a focused check box toggles it.
    HWND backup = main.Button("Create backup");
    HWND minimized = main.Button("Start minimized");
    for (int step = 0; step < 30 && FocusOf(main.window) != backup; ++step)
        Tab(main.window);
    ASSERT_EQ(FocusOf(main.window), backup);
    PostKey(backup, VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return main.StatusText().rfind("Backup created to ", 0) == 0; }, kTimeoutMs))
        << main.StatusText();
    for (int step = 0; step < 30 && FocusOf(main.window) != minimized; ++step)
        Tab(main.window);
    ASSERT_EQ(FocusOf(main.window), minimized);
    const std::optional<int> before = CheckState(minimized);
    ASSERT_TRUE(before.has_value());
    PostKey(minimized, VK_SPACE);
    EXPECT_TRUE(WaitUntil([&] { return CheckState(minimized) != before; }, kTimeoutMs));
    CloseAndWait(app, main);
}
