// The driver against a window whose every state is known (driver_target.exe).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/UiDriver.h"
#include "tests/wine/GridTargetCells.h"

#ifndef SEQUORA_DRIVER_TARGET
#error "SEQUORA_DRIVER_TARGET must name the built driver_target.exe"
#endif
#ifndef SEQUORA_GRID_TARGET
#error "SEQUORA_GRID_TARGET must name the built grid_target.exe"
#endif

using namespace e2e;

namespace {

constexpr DWORD kTimeoutMs = 20000;

class UiDriver : public testing::Test {
  protected:
    void SetUp() override {
        target = std::make_unique<Process>(Process::Start(HostPathToWindows(SEQUORA_DRIVER_TARGET)));
        window = WaitForTopLevelWindow(target->Id(), "DriverTargetMain", kTimeoutMs);
        ASSERT_NE(window, nullptr);
    }

    std::unique_ptr<Process> target;
    HWND window = nullptr;
};

}  // namespace

TEST_F(UiDriver, ReadsCaptionsChecksStatusAndGridOfAnotherProcess) {
    EXPECT_EQ(WindowText(window), "Driver target");
    EXPECT_TRUE(TopLevelWindows(target->Id(), "NoSuchClass").empty());

    HWND ask = FindButton(window, "Ask");
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask, FindChild(window, "button", std::string("&Ask")));
    EXPECT_EQ(FindChild(window, "BUTTON", std::string("Ask")), nullptr);  // texts compare exactly
    HWND option = FindButton(window, "Option");
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(CheckState(option), BST_CHECKED);
    EXPECT_EQ(CheckState(ask), BST_UNCHECKED);

    HWND status = FindChild(window, "msctls_statusbar32");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(StatusBarText(status), "Ready");

    const RECT rect = ScreenRect(ask);
    const RECT main = ScreenRect(window);
    EXPECT_EQ(rect.right - rect.left, 100);
    EXPECT_GE(rect.left, main.left);
    EXPECT_TRUE(IsVisible(ask));
    EXPECT_TRUE(IsEnabled(ask));
    EXPECT_EQ(ChildWindows(window).size(), 3u);

    // A real string grid, read as a screen reader reads it.
    Process gridTarget = Process::Start(HostPathToWindows(SEQUORA_GRID_TARGET));
    HWND gridWindow = WaitForTopLevelWindow(gridTarget.Id(), "GridTargetForm", kTimeoutMs);
    ASSERT_NE(gridWindow, nullptr);
    HWND grid = FindChild(gridWindow, "TEnhancedStrGrid");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(GridCells(grid), gridtarget::kCells);
    EXPECT_TRUE(GridCells(window).empty()) << "a window that gives no table";
}

TEST_F(UiDriver, AnswersMessageBoxesByButtonAndByMouse) {
    HWND ask = FindButton(window, "Ask");
    HWND status = FindChild(window, "msctls_statusbar32");
    ASSERT_NE(ask, nullptr);
    EXPECT_FALSE(FindMessageBox(target->Id()).has_value());

    struct Round {
        bool byMouse;
        int button;
        const char* status;
    } rounds[] = {{false, IDNO, "Answer: No"}, {true, IDYES, "Answer: Yes"}};
    for (const Round& round : rounds) {
        ASSERT_TRUE(round.byMouse ? MouseClick(ask) : ClickButton(ask));
        std::optional<MessageBoxInfo> box = WaitForMessageBox(target->Id(), kTimeoutMs);
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->caption, "Question");
        EXPECT_EQ(box->text, "Proceed with the test?");
        EXPECT_FALSE(PressMessageBoxButton(box->window, IDOK));  // a Yes/No box has no OK
        ASSERT_TRUE(PressMessageBoxButton(box->window, round.button));
        ASSERT_TRUE(WaitForNoMessageBox(target->Id(), kTimeoutMs));
        EXPECT_TRUE(WaitUntil([&] { return StatusBarText(status) == round.status; }, kTimeoutMs))
            << StatusBarText(status);
    }
}

TEST_F(UiDriver, ClosingReportsTheExitCodeAndKillEndsAProcess) {
    HWND option = FindButton(window, "Option");
    ASSERT_TRUE(ClickButton(option));
    ASSERT_TRUE(WaitUntil([&] { return CheckState(option) == BST_UNCHECKED; }, kTimeoutMs));
    EXPECT_FALSE(target->WaitForExit(0).has_value());
    ASSERT_TRUE(RequestClose(window));
    std::optional<DWORD> code = target->WaitForExit(kTimeoutMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 22u);
    EXPECT_FALSE(target->Running());

    Process second = Process::Start(HostPathToWindows(SEQUORA_DRIVER_TARGET));
    ASSERT_NE(WaitForTopLevelWindow(second.Id(), "DriverTargetMain", kTimeoutMs), nullptr);
    second.Kill();
    code = second.WaitForExit(0);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 1u);
}

TEST(UiDriverStart, MissingProgramRaisesWithItsName) {
    try {
        Process::Start("C:\\no\\such\\program.exe");
        ADD_FAILURE() << "started a missing program";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("C:\\no\\such\\program.exe"), std::string::npos);
    }
}
