// sequora.exe as a user meets it: started, its window shown, closed again.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/ScenarioSupport.h"
#include "tests/e2e/SequoraSession.h"
#include "tests/e2e/UiDriver.h"
#include "tests/wine/CommonTestSupport.h"

#ifndef SEQUORA_VERSION_SHORT
#error "SEQUORA_VERSION_SHORT must give the program's version without its last part"
#endif
#ifndef SEQUORA_LAUNCH_RECORDER
#error "SEQUORA_LAUNCH_RECORDER must name the built launch_recorder.exe"
#endif

using namespace e2e;

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 30000;
// How long a first-run prompt may take to show up after the window did.
constexpr DWORD kPromptGraceMs = 3000;

const char* const kFirstRunPrompt = "Press the \"Import\" button to import the start up objects";

// "Sequora v1.0.0", possibly followed by what the launcher shows, but not by more version parts.
bool IsCaptionOfVersion(const std::string& caption, const std::string& version) {
    const std::string expected = "Sequora v" + version;
    if (caption.compare(0, expected.size(), expected) != 0)
        return false;
    if (caption.size() == expected.size())
        return true;
    const char next = caption[expected.size()];
    return next != '.' && (next < '0' || next > '9');
}

}  // namespace

class AppLifecycle : public SequoraTest {};

TEST_F(AppLifecycle, FirstStartShowsTheVersionedWindowAndClosesWithExitCodeZero) {
    Process app = StartSequora();

    // Whatever comes first: the window, or a message box shown while it is being created.
    HWND mainWindow = nullptr;
    std::optional<MessageBoxInfo> box;
    ASSERT_TRUE(WaitUntil(
        [&] {
            mainWindow = WaitForTopLevelWindow(app.Id(), "TFrmMain", 0);
            box = FindMessageBox(app.Id());
            return mainWindow || box;
        },
        kStartTimeoutMs))
        << "neither the main window nor a message box appeared";
    if (!box) {
        box = WaitForMessageBox(app.Id(), kPromptGraceMs);
    }
    if (box) {
        // The first-run prompt; nothing else may be shown on a first start.
        EXPECT_EQ(box->caption, "Information");
        EXPECT_EQ(box->text, kFirstRunPrompt);
        ASSERT_TRUE(PressMessageBoxButton(box->window, IDOK));
        ASSERT_TRUE(WaitForNoMessageBox(app.Id(), 5000)) << "the message box stayed open";
    }
    mainWindow = WaitForTopLevelWindow(app.Id(), "TFrmMain", kStartTimeoutMs);
    ASSERT_NE(mainWindow, nullptr) << "no visible window of class TFrmMain";

    const std::string caption = WindowText(mainWindow);
    EXPECT_TRUE(IsCaptionOfVersion(caption, SEQUORA_VERSION_SHORT)) << "caption: " << caption;
    const RECT rect = ScreenRect(mainWindow);
    EXPECT_GT(rect.right - rect.left, 0);
    EXPECT_GT(rect.bottom - rect.top, 0);

    ASSERT_TRUE(RequestClose(mainWindow));
    const std::optional<DWORD> exitCode = app.WaitForExit(kExitTimeoutMs);
    ASSERT_TRUE(exitCode.has_value()) << "still running " << kExitTimeoutMs << " ms after WM_CLOSE";
    EXPECT_EQ(*exitCode, 0u);
}

// The recorder is what later tests read launches from: one line per start, in start order.
TEST_F(AppLifecycle, LaunchRecorderAppendsItsCommandLineAndStartTime) {
    const std::string recorder = HostPathToWindows(SEQUORA_LAUNCH_RECORDER);
    FILETIME before;
    GetSystemTimeAsFileTime(&before);
    for (const char* arguments : {"/first", "second \"quoted arg\""}) {
        LaunchOptions options;
        options.arguments = arguments;
        options.environment.emplace_back("SEQUORA_LAUNCH_LOG", LaunchLogPath());
        Process run = Process::Start(recorder, options);
        const std::optional<DWORD> code = run.WaitForExit(kExitTimeoutMs);
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(*code, 0u);
    }
    const std::string log = testsupport::ReadWholeFile(LaunchLogPath()).value_or("");
    const std::vector<Launch> launches = ReadLaunches(LaunchLogPath());
    const unsigned long long notBefore =
        (static_cast<unsigned long long>(before.dwHighDateTime) << 32) | before.dwLowDateTime;
    ASSERT_EQ(launches.size(), 2u) << log;
    EXPECT_EQ(launches[0].commandLine, "\"" + recorder + "\" /first");
    EXPECT_EQ(launches[1].commandLine, "\"" + recorder + "\" second \"quoted arg\"");
    EXPECT_EQ(launches[1].arguments, (std::vector<std::string>{"second", "quoted arg"}));
    EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, launches[0].program.c_str(), -1,
                             recorder.c_str(), -1),
              CSTR_EQUAL)
        << launches[0].program;
    EXPECT_GE(launches[0].ticks, notBefore);
    EXPECT_GE(launches[1].ticks, launches[0].ticks);
    EXPECT_FALSE(launches[0].folder.empty());

    // Without a log named it records nothing and says so by its exit code.
    Process unnamed = Process::Start(recorder, {"/x", {}, {{"SEQUORA_LAUNCH_LOG", ""}}});
    const std::optional<DWORD> code = unnamed.WaitForExit(kExitTimeoutMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 2u);
    EXPECT_EQ(testsupport::ReadWholeFile(LaunchLogPath()), log);
}
