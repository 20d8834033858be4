// sequora.exe doing its job, driven as a user would drive it: a first run that imports what the
// Run keys and the Startup folder hold, a later run that launches the table on its ticks and
// closes itself, and the import's care for what the table cannot hold or keep.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/ScenarioSupport.h"
#include "tests/e2e/SequoraSession.h"
#include "tests/e2e/UiDriver.h"
#include "tests/wine/CommonTestSupport.h"

using namespace e2e;
using testsupport::DwordBytes;
using testsupport::ReadRawValue;
using testsupport::SzBytes;
using testsupport::WriteRawValue;

namespace {

const char* const kApprovedRun =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const char* const kApprovedFolder =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";

// Task Manager's record of an entry switched off: an odd first byte, then a time stamp.
std::string DisabledApproval() {
    return std::string("\x03\0\0\0\0\0\0\0\0\0\0\0", 12);
}

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string ShortPath(const std::string& path) {
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(shortPath, length) : path;
}

std::string LocalShortDate() {
    char text[128] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, sizeof text);
    return text;
}

unsigned long long Ticks(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

double SecondsBetween(unsigned long long from, unsigned long long to) {
    return (static_cast<double>(to) - static_cast<double>(from)) / 1e7;
}

}  // namespace

class AppScenario : public ScenarioTest {
  protected:
    void SeedShortcut(const std::string& folder, const std::string& name, const std::string& target) {
        testsupport::SaveShortcut(folder + name, target, "/from-the-shortcut");
    }
};

// The delay example: the machine's key holds Alpha and Beta, the user's key the program's own
// value and then Theta (named so that it follows "sequora" also where the registry lists values
// by name, as Wine does), the user's Startup folder one shortcut Delta. Beta is switched off in
// Windows' own start-up settings, Theta is an expandable value naming its program through an
// environment variable.
TEST_F(AppScenario, FirstRunImportsTheEntriesAndALaterRunLaunchesThemOnTheirTicksAndClosesItself) {
    const std::string alpha = Recorder("alpha");
    const std::string beta = Recorder("beta");
    (void)Recorder("theta");
    const std::string delta = Recorder("delta");
    SeedRunValue(MachineRoot(), "Alpha", alpha);
    SeedRunValue(MachineRoot(), "Beta", "\"" + beta + "\" /tray");
    WriteRawValue(MachineRoot(), kApprovedRun, "Beta", REG_BINARY, DisabledApproval());
    SeedRunValue(UserRoot(), "sequora", OwnRunValue());
    SeedRunValue(UserRoot(), "Theta", "\"%SEQUORA_E2E_RECORDERS%\\theta.exe\" /expanded", REG_EXPAND_SZ);
    SeedShortcut(StartupFolder(), "Delta.lnk", delta);
    const std::vector<std::pair<std::string, std::string>> environment = {
        {"SEQUORA_E2E_RECORDERS", RecorderFolder().substr(0, RecorderFolder().size() - 1)}};

    // ---- The first run ----
    Process first = StartSequora(environment);
    // The prompt shows over the window, which is already up with its first states.
    std::optional<MessageBoxInfo> prompt = WaitForMessageBox(first.Id(), kWindowTimeoutMs);
    ASSERT_TRUE(prompt.has_value());
    MainWindow main = WaitForMainWindow(first);
    ASSERT_NE(main.window, nullptr);
    ASSERT_NE(main.grid, nullptr);
    ASSERT_NE(main.status, nullptr);
    EXPECT_TRUE(IsVisible(main.window));
    // 1000 wide, or as much wider as its captions need where the font is wider than the one the
    // layout was made for (Wine's): the narrowest the window lets itself be made.
    MINMAXINFO limits = {};
    SendMessageA(main.window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    const int width = std::max<int>(1000, limits.ptMinTrackSize.x);
    EXPECT_TRUE(
        WaitUntil([&] { return ScreenRect(main.window).right - ScreenRect(main.window).left == width; },
                  kWindowTimeoutMs));
    const RECT rect = ScreenRect(main.window);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 100);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, 420);
    const struct {
        const char* caption;
        int state;
    } boxes[] = {
        {"Start itself at Windows start up", BST_CHECKED},
        {"as enabled", BST_CHECKED},
        {"and import new objects", BST_CHECKED},
        {"Shutdown itself after starting all programs", BST_UNCHECKED},
        {"Start minimized", BST_UNCHECKED},
    };
    for (const auto& box : boxes)
        EXPECT_EQ(CheckState(main.Button(box.caption)), box.state) << box.caption;
    EXPECT_EQ(main.StatusText(), "The program will not shutdown itself");
    EXPECT_EQ(main.Rows(), (std::vector<std::vector<std::string>>{kHeaderRow}));

    main = StartFirstRunAndImport(first);
    Answer(first, "Information", "Now you can just close this program", IDOK);

    // Part of the example's delays: Alpha 5, Beta 6, the own value skipped (7), Theta 8, Delta 9.
    const std::vector<std::vector<std::string>> rows = main.Rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], kHeaderRow);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"+", "Alpha", alpha, "", "5", "Click"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"-", "Beta", beta, " /tray", "6", "Click"}));
    EXPECT_EQ(rows[3], (std::vector<std::string>{"+", "Theta", "%SEQUORA_E2E_RECORDERS%\\theta.exe",
                                                 " /expanded", "8", "Click"}));
    ASSERT_EQ(rows[4].size(), 6u);
    EXPECT_EQ(rows[4][1], "");
    // The shortcut's target in its short form where the system makes one, with its arguments.
    EXPECT_TRUE(Lowered(rows[4][2]) == Lowered(ShortPath(delta)) || Lowered(rows[4][2]) == Lowered(delta))
        << rows[4][2];
    EXPECT_EQ(rows[4][3], " /from-the-shortcut");
    EXPECT_EQ(rows[4][4], "9");

    EXPECT_TRUE(testsupport::ReadWholeFile(TableFile()).has_value());
    const std::vector<std::string> backups = FilesIn(BackupFolder());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].rfind("StartUp_Backup_", 0), 0u) << backups[0];
    EXPECT_EQ(backups[0].substr(backups[0].size() - 4), ".bat");
    EXPECT_EQ(main.StatusText(), "Backup created to " + BackupFolder() + backups[0]);
    EXPECT_EQ(ValueNames(MachineRoot(), kRunKey), std::vector<std::string>{});
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{});
    // Nothing starts in the run that imported.
    EXPECT_FALSE(testsupport::ReadWholeFile(LaunchLogPath()).has_value());

    // The user asks for the shutdown at the end of the next sequence, and closes.
    EXPECT_TRUE(ClickButton(main.Button("Shutdown itself after starting all programs")));
    EXPECT_TRUE(WaitUntil(
        [&] { return CheckState(main.Button("Shutdown itself after starting all programs")) == BST_CHECKED; },
        5000));
    CloseAndWait(first, main);

    const std::string settings = kSettingsKey;
    const struct {
        const char* name;
        uint32_t value;
    } expected[] = {{"Top", 100},        {"Left", 100},       {"Width", static_cast<uint32_t>(width)},
                    {"Height", 420},     {"chkAutoClose", 1}, {"chkStartSelf", 1},
                    {"chkMinimized", 0}, {"chkEnabled", 1},   {"chkAutoImport", 1}};
    for (const auto& value : expected) {
        const std::optional<testsupport::RawValue> stored = ReadRawValue(UserRoot(), settings, value.name);
        ASSERT_TRUE(stored.has_value()) << value.name;
        EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD)) << value.name;
        EXPECT_EQ(stored->data, DwordBytes(value.value)) << value.name;
    }
    const std::string firstBlock = "\r\n\r\n" + LocalShortDate() + "\r\n";
    EXPECT_EQ(testsupport::ReadWholeFile(LogFile()), firstBlock);

    // ---- A later run: the items start at their ticks, then the window closes itself ----
    FILETIME started;
    GetSystemTimeAsFileTime(&started);
    Process later = StartSequora(environment);
    MainWindow running = WaitForMainWindow(later);
    ASSERT_NE(running.window, nullptr);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return running.StatusText().rfind("The program will shut down in ", 0) == 0 || !later.Running();
        },
        kWindowTimeoutMs))
        << "no countdown in the status bar";
    const std::optional<DWORD> exitCode = later.WaitForExit(40000);
    ASSERT_TRUE(exitCode.has_value()) << "the window did not close itself";
    EXPECT_EQ(*exitCode, 0u);
    // The log is written as the window is destroyed: its time is the time the window closed.
    WIN32_FILE_ATTRIBUTE_DATA logData;
    ASSERT_TRUE(GetFileAttributesExA(LogFile().c_str(), GetFileExInfoStandard, &logData));

    const std::vector<Launch> launches = ReadLaunches(LaunchLogPath());
    ASSERT_EQ(launches.size(), 3u) << "Alpha, Theta and Delta start; Beta is switched off";
    EXPECT_NE(launches[0].commandLine.find("alpha.exe"), std::string::npos) << launches[0].commandLine;
    EXPECT_NE(launches[1].commandLine.find("theta.exe"), std::string::npos) << launches[1].commandLine;
    EXPECT_NE(launches[1].commandLine.find("/expanded"), std::string::npos) << launches[1].commandLine;
    EXPECT_NE(Lowered(launches[2].commandLine).find("delta"), std::string::npos) << launches[2].commandLine;
    EXPECT_EQ(launches[2].arguments, std::vector<std::string>{"/from-the-shortcut"});
    // Ticks 6, 9 and 10 of one timer, and the window closing on tick 13 (the largest delay + 4).
    EXPECT_NEAR(SecondsBetween(launches[0].ticks, launches[1].ticks), 3.0, 0.5);
    EXPECT_NEAR(SecondsBetween(launches[0].ticks, launches[2].ticks), 4.0, 0.5);
    EXPECT_NEAR(SecondsBetween(launches[0].ticks, Ticks(logData.ftLastWriteTime)), 7.0, 1.0);
    EXPECT_GT(SecondsBetween(Ticks(started), launches[0].ticks), 5.0);

    // The log holds both runs in order; the later one names every item it passed, Beta too.
    const std::string log = testsupport::ReadWholeFile(LogFile()).value_or("");
    ASSERT_EQ(log.compare(0, firstBlock.size(), firstBlock), 0) << log;
    const std::string secondBlock = log.substr(firstBlock.size());
    ASSERT_EQ(secondBlock.compare(0, firstBlock.size(), firstBlock), 0) << log;
    size_t at = firstBlock.size();
    for (const char* name : {"Alpha", "Beta", "Theta"}) {
        const size_t found = secondBlock.find(std::string("Executing: ") + name + "  -  ", at);
        ASSERT_NE(found, std::string::npos) << name << " in " << log;
        at = found;
    }
    EXPECT_NE(secondBlock.find("Executing:   -  ", at), std::string::npos) << "Delta, which has no name";
}

// What the table cannot hold or does not hold stays where Windows keeps it; an entry Windows
// has switched off comes in switched off; one value that is not text stops nothing.
TEST_F(AppScenario, TheImportTakesOnlyWhatTheTableHoldsAndGoesOnPastAValueThatIsNotText) {
    const std::string tool = Recorder("tool");
    const std::string piped = Recorder("piped");
    const std::string off = Recorder("off");
    const std::string good = Recorder("good");
    SeedRunValue(MachineRoot(), "Tool", "\"" + tool + "\" /silent");
    SeedRunValue(UserRoot(), "ToolAgain", std::string(1, '"').append(Lowered(tool)).append("\" /silent"));
    SeedRunValue(UserRoot(), "ToolOther", "\"" + tool + "\" /other");
    SeedRunValue(UserRoot(), "Cpl1", "rundll32.exe shell32.dll,Control_RunDLL desk.cpl");
    SeedRunValue(UserRoot(), "Cpl2", "rundll32.exe shell32.dll,Control_RunDLL main.cpl");
    SeedRunValue(UserRoot(), "Piped", "\"" + piped + "\" one | two");
    WriteRawValue(UserRoot(), kRunKey, "Binary", REG_BINARY, std::string("\x01\x02\x03", 3));
    SeedRunValue(UserRoot(), "Off", off);
    WriteRawValue(UserRoot(), kApprovedRun, "Off", REG_BINARY, DisabledApproval());
    SeedShortcut(StartupFolder(), "Good.lnk", good);
    WriteRawValue(UserRoot(), kApprovedFolder, "Good.lnk", REG_BINARY, DisabledApproval());
    testsupport::WriteWholeFile(StartupFolder() + "Broken.lnk", "not a shell link at all");

    Process app = StartSequora();
    MainWindow main = StartFirstRunAndImport(app);
    const std::string warning = Answer(app, "Warning", "", IDOK);
    EXPECT_NE(warning.find("Binary"), std::string::npos) << warning;
    Answer(app, "Information", "Now you can just close this program", IDOK);

    const std::vector<std::vector<std::string>> rows = main.Rows();
    std::vector<std::vector<std::string>> items(rows.begin() + (rows.empty() ? 0 : 1), rows.end());
    for (auto& item : items)
        item.resize(4);
    // Every distinct entry is an item: both rundll32 entries, and the program's second line with
    // other parameters. The user's values come in the registry's order (by name, under Wine).
    ASSERT_EQ(items.size(), 6u) << "Tool, Cpl1, Cpl2, Off, ToolOther and Good";
    EXPECT_EQ(items[0], (std::vector<std::string>{"+", "Tool", tool, " /silent"}));
    EXPECT_EQ(items[1],
              (std::vector<std::string>{"+", "Cpl1", "RunDLL32.exe", "shell32.dll,Control_RunDLL desk.cpl"}));
    EXPECT_EQ(items[2],
              (std::vector<std::string>{"+", "Cpl2", "RunDLL32.exe", "shell32.dll,Control_RunDLL main.cpl"}));
    EXPECT_EQ(items[3], (std::vector<std::string>{"-", "Off", off, ""}));
    EXPECT_EQ(items[4], (std::vector<std::string>{"+", "ToolOther", tool, " /other"}));
    EXPECT_EQ(items[5][0], "-");
    EXPECT_EQ(items[5][1], "");

    // Left to Windows: the entry the table file could not read back, the value that is not text,
    // and the file that is no shortcut. The value that starts what Tool starts is held by Tool.
    EXPECT_EQ(ValueNames(MachineRoot(), kRunKey), std::vector<std::string>{});
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), (std::vector<std::string>{"Binary", "Piped", "sequora"}));
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{"Broken.lnk"});
    CloseAndWait(app, main);
}

// The table and its backup come before anything is taken: with no backup written, Windows keeps
// its entries.
TEST_F(AppScenario, WithoutABackupNothingIsTakenFromWindows) {
    const std::string one = Recorder("one");
    const std::string two = Recorder("two");
    SeedRunValue(UserRoot(), "One", one);
    SeedShortcut(StartupFolder(), "Two.lnk", two);
    // A file where the backups folder would go.
    ASSERT_TRUE(CreateDirectoryA(DataFolder().c_str(), nullptr));
    testsupport::WriteWholeFile(DataFolder() + "backups", "in the way");

    Process app = StartSequora();
    MainWindow main = StartFirstRunAndImport(app);
    Answer(app, "Error", "Cannot make backup to " + DataFolder() + "backups\\StartUp_Backup_", IDOK);
    Answer(app, "Information", "Now you can just close this program", IDOK);

    // The table takes none of them either, so nothing is started twice.
    EXPECT_EQ(main.Rows(), Rows{kHeaderRow});
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), (std::vector<std::string>{"One", "sequora"}));
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{"Two.lnk"});
    EXPECT_EQ(main.StatusText(),
              "The start up entries were left to Windows: the table or its backup could not be written");
    CloseAndWait(app, main);
}

// A table file that cannot be read is put aside under a name that says so, before anything saves
// a table. The start asks nobody: the status bar and the error log say where the file went.
TEST_F(AppScenario, AnUnreadableTableIsKeptAsideAndNotOverwritten) {
    WriteRawValue(UserRoot(), kSettingsKey, "chkAutoImport", REG_DWORD, DwordBytes(0));
    const std::string unreadable = "{comment}\r\nfour\r\n6\r\n";
    WriteDataFile(TableFile(), unreadable);

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    EXPECT_TRUE(WaitUntil(
        [&] { return main.StatusText().rfind("The table of start up objects could not be read", 0) == 0; },
        5000))
        << main.StatusText();
    EXPECT_FALSE(FindMessageBox(app.Id()).has_value());
    EXPECT_EQ(main.Rows(), (std::vector<std::vector<std::string>>{kHeaderRow}));
    CloseAndWait(app, main);

    const std::vector<std::string> kept = FilesIn(DataFolder(), "StartUpObjects (unreadable *");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(testsupport::ReadWholeFile(DataFolder() + kept[0]), unreadable);
    // At exit the table is saved anew, next to the kept file.
    EXPECT_NE(testsupport::ReadWholeFile(TableFile()), unreadable);
    const std::string errors = testsupport::ReadWholeFile(ErrorLogFile()).value_or("");
    EXPECT_NE(errors.find("'four' is not a valid integer value"), std::string::npos) << errors;
    EXPECT_NE(errors.find("The file has been kept as " + DataFolder() + kept[0]), std::string::npos)
        << errors;
}

// A delay edited into something that is not a number: the sort after the edit raises the
// conversion error, which the user sees in the error box; the program goes on and every cell
// is still there.
TEST_F(AppScenario, ANonNumericDelayShowsTheConversionErrorAndLosesNoCell) {
    WriteRawValue(UserRoot(), kSettingsKey, "chkAutoImport", REG_DWORD, DwordBytes(0));
    WriteRawValue(UserRoot(), kSettingsKey, "chkEnabled", REG_DWORD, DwordBytes(0));
    const Rows items = {
        {"+", "First", "C:\\first.exe", "", "5", "Click"},
        {"+", "Second", "C:\\second.exe", "/b", "6", "Click"},
        {"-", "Third", "C:\\third.exe", "", "7", "Click"},
    };
    Rows table = items;
    table.insert(table.begin(), kHeaderRow);
    WriteDataFile(TableFile(), TableFileText(items));

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.grid, nullptr);
    ASSERT_EQ(main.Rows(), table);

    // A click on Second's delay cell (each column is its width plus a one-pixel line wide, each
    // row 15 pixels plus its line high), F2, the new text, Enter.
    const LPARAM delayOfSecond = MAKELPARAM(53 + 71 + 283 + 80 + 4 + 20, 2 * 16 + 8);
    const HWND editor = OpenCellEditor(main, delayOfSecond);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(WindowText(editor), "6");
    ASSERT_TRUE(SendMessageTimeoutA(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("soon"), SMTO_ABORTIFHUNG,
                                    5000, nullptr));
    ASSERT_TRUE(PostMessageA(main.grid, WM_KEYDOWN, VK_RETURN, 0));

    Answer(app, "Error", "EConvertError: 'soon' is not a valid integer value", IDOK);
    std::vector<std::vector<std::string>> rows = main.Rows();
    ASSERT_EQ(rows.size(), table.size());
    EXPECT_EQ(rows[0], kHeaderRow);
    std::vector<std::vector<std::string>> expected(table.begin() + 1, table.end());
    expected[1][4] = "soon";
    std::vector<std::vector<std::string>> shown(rows.begin() + 1, rows.end());
    std::sort(shown.begin(), shown.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);
    // The program goes on: its buttons still answer.
    EXPECT_TRUE(ClickButton(main.Button("Add new")));
    EXPECT_TRUE(WaitUntil([&] { return main.Rows().size() == table.size() + 1; }, 5000));
    CloseAndWait(app, main);
}

// The backup script is a real way back: run by cmd, each line starts exactly its row's program
// with its arguments, none waiting for the one before, and cmd's special characters in them stay
// text (a parameter holding "& something" starts no "something").
TEST_F(AppScenario, TheBackupScriptStartsExactlyEachRowsProgram) {
    WriteRawValue(UserRoot(), kSettingsKey, "chkAutoImport", REG_DWORD, DwordBytes(0));
    WriteRawValue(UserRoot(), kSettingsKey, "chkEnabled", REG_DWORD, DwordBytes(0));
    const std::string one = Recorder("one");
    const std::string two = Recorder("two & more");
    const std::string three = Recorder("100%");
    const Rows items = {
        {"+", "One", one, " first & echo injected > injected.txt", "5", "Click"},
        {"-", "Two", two, " a|b <c> ^d %PATH% 50%", "6", "Click"},
        {"+", "Three", three, "", "7", ""},
    };
    WriteDataFile(TableFile(), TableFileText(items));

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    ASSERT_TRUE(ClickButton(main.Button("Create backup")));
    ASSERT_TRUE(WaitUntil([&] { return main.StatusText().rfind("Backup created to ", 0) == 0; }, 5000));
    const std::string script = main.StatusText().substr(std::string("Backup created to ").size());
    CloseAndWait(app, main);

    LaunchOptions options;
    options.arguments = "/c \"" + script + "\" < nul";
    options.workingDirectory = ProgramFolder();
    options.environment.emplace_back("SEQUORA_LAUNCH_LOG", LaunchLogPath());
    char system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    Process cmd = Process::Start(std::string(system) + "\\cmd.exe", options);
    ASSERT_TRUE(cmd.WaitForExit(30000).has_value());
    ASSERT_TRUE(WaitUntil([&] { return ReadLaunches(LaunchLogPath()).size() >= 3; }, 15000));
    Sleep(500);

    // What each program got is what starting the row itself gives it: its path and its parameters
    // as one command line.
    std::vector<Launch> launches = ReadLaunches(LaunchLogPath());
    std::sort(launches.begin(), launches.end(),
              [](const Launch& a, const Launch& b) { return Lowered(a.program) < Lowered(b.program); });
    ASSERT_EQ(launches.size(), 3u);
    auto argumentsOf = [](const std::string& params) {
        std::vector<std::string> arguments;
        int count = 0;
        if (LPWSTR* argv = CommandLineToArgvW(FromUtf8("x.exe" + params).c_str(), &count)) {
            for (int i = 1; i < count; ++i)
                arguments.push_back(Utf8(argv[i]));
            LocalFree(argv);
        }
        return arguments;
    };
    EXPECT_EQ(Lowered(launches[0].program), Lowered(three));
    EXPECT_EQ(launches[0].arguments, std::vector<std::string>{});
    EXPECT_EQ(Lowered(launches[1].program), Lowered(one));
    EXPECT_EQ(launches[1].arguments, argumentsOf(" first & echo injected > injected.txt"));
    EXPECT_EQ(Lowered(launches[2].program), Lowered(two));
    // %PATH% is the environment's, as starting the item expands it; the lone "%" stays one.
    std::vector<std::string> expected = argumentsOf(" a|b <c> ^d %PATH% 50%");
    char path[32768];
    ASSERT_GT(GetEnvironmentVariableA("PATH", path, sizeof path), 0u);
    expected[3] = path;
    EXPECT_EQ(launches[2].arguments, expected);
    EXPECT_FALSE(testsupport::ReadWholeFile(ProgramFolder() + "injected.txt").has_value());
}
