// sequora.exe at a log-on as a user meets it on a real PC: a later start that asks nobody, tells
// each condition once and still launches on time, a standard user whose machine-wide entries stay with
// Windows, entries that Windows started at this log-on already, a second Sequora, a re-open in the same
// session, a first run that never confirmed an import or never ended, an edit still open at close, and a
// table file that describes far more cells than it holds.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/ScenarioSupport.h"
#include "tests/e2e/SequoraSession.h"
#include "tests/e2e/UiDriver.h"
#include "tests/wine/CommonTestSupport.h"

#ifndef SEQUORA_DRIVER_TARGET
#error "SEQUORA_DRIVER_TARGET must name the built driver_target.exe"
#endif

using namespace e2e;
using testsupport::DwordBytes;
using testsupport::ReadWholeFile;
using testsupport::WriteRawValue;
using testsupport::WriteWholeFile;

namespace {

// Where the program marks the log-on session whose sequence ran: a volatile key, gone when the
// session ends.
const char* const kLogonMarkKey = "Software\\Zorvane\\SequoraLogon";
const char* const kFirstRunPrompt = "Press the \"Import\" button to import the start up objects";

unsigned long long Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

double SecondsBetween(unsigned long long from, unsigned long long to) {
    return (static_cast<double>(to) - static_cast<double>(from)) / 1e7;
}

// A moment as the user's locale writes a time without seconds.
std::string LocalTimeText(unsigned long long ticks) {
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    FILETIME local;
    SYSTEMTIME time;
    char text[64] = {};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time) ||
        GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, text, sizeof text) == 0)
        return {};
    return text;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// What a start may change, path by path: every file below the folders and every key and value
// below the registry keys, each with its bytes (a value also with its type).
using Contents = std::map<std::string, std::string>;

void AddFolderContents(const std::string& folder, Contents& contents) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            contents[folder + name + "\\"];
            AddFolderContents(folder + name + "\\", contents);
        } else {
            contents[folder + name] = ReadWholeFile(folder + name).value_or("(unreadable)");
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

void AddRegistryContents(HKEY root, const std::string& path, Contents& contents) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    contents[path + "\\"];
    std::vector<std::string> subkeys;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof name, type = REG_NONE, size = 0;
        if (RegEnumValueA(key, index, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                          &size) != ERROR_SUCCESS)
            break;
        data.resize(size);
        contents[path + "\\" + std::string(name, length)] = std::to_string(type) + ":" + data;
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name, length);
    }
    RegCloseKey(key);
    for (const std::string& subkey : subkeys)
        AddRegistryContents(root, path.empty() ? subkey : path + "\\" + subkey, contents);
}

// The paths whose contents differ between the two, or that only one of them has.
std::vector<std::string> Differences(const Contents& before, const Contents& after) {
    std::vector<std::string> paths;
    for (const auto& [path, content] : before) {
        const auto found = after.find(path);
        if (found == after.end() || found->second != content)
            paths.push_back(path);
    }
    for (const auto& [path, content] : after)
        if (!before.count(path))
            paths.push_back(path);
    return paths;
}

}  // namespace

class Logon : public ScenarioTest {
  protected:
    // A later run: the user once confirmed an import, the table holds the items, and the program's
    // own value is in the user's Run key.
    void PrepareALaterRun(const Rows& items) {
        ConfirmImports();
        WriteDataFile(TableFile(), TableFileText(items));
        SeedRunValue(UserRoot(), "sequora", OwnRunValue());
    }

    // A new log-on session: Windows drops the session's volatile keys at log-off.
    void NewLogon() { RegDeleteTreeA(UserRoot(), kLogonMarkKey); }

    // The main window of a start that nobody attends: it must come up without a message box.
    MainWindow WaitForUnattendedWindow(const Process& app) {
        std::optional<MessageBoxInfo> box;
        HWND window = nullptr;
        EXPECT_TRUE(WaitUntil(
            [&] {
                box = FindMessageBox(app.Id());
                window = WaitForTopLevelWindow(app.Id(), "TFrmMain", 0);
                return box || window;
            },
            kWindowTimeoutMs))
            << "neither the window nor a box";
        EXPECT_FALSE(box.has_value()) << box->caption << ": " << box->text;
        return window ? WaitForMainWindow(app) : MainWindow{};
    }

    // Waits for the launch sequence to end: its Stop button goes when the last tick has passed.
    void WaitForSequenceEnd(const MainWindow& main) {
        const HWND stop = main.Button("Stop");
        ASSERT_NE(stop, nullptr) << "no sequence runs";
        EXPECT_TRUE(WaitUntil([&] { return !IsVisible(stop); }, 20000)) << "the sequence did not end";
    }

    // The recorder copies started so far, by name, in the order they started.
    std::vector<std::string> Launched() const {
        std::vector<std::string> names;
        for (const Launch& launch : ReadLaunches(LaunchLogPath())) {
            std::string name = launch.program.substr(launch.program.find_last_of("\\/") + 1);
            for (char& c : name)
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            names.push_back(name.substr(0, name.rfind(".exe")));
        }
        return names;
    }

    // Everything of this sandbox a start of Sequora may change: its data folder, the Startup
    // folders, and both registry roots with the settings, the Run keys and the session's mark.
    Contents Everything() const {
        Contents contents;
        for (const std::string& folder : {AppDataFolder(), StartupFolder(), CommonStartupFolder()})
            AddFolderContents(folder, contents);
        AddRegistryContents(UserRoot(), "", contents);
        Contents machine;
        AddRegistryContents(MachineRoot(), "", machine);
        for (const auto& [path, content] : machine)
            contents["HKLM\\" + path] = content;
        return contents;
    }
};

// The later run at log-on finds a Run value that is not text and two programs in the user's
// Startup folder. Nobody is asked: the first item starts on its tick, and the status bar and the
// error log say each condition once. At the next log-on nothing is told again.
TEST_F(Logon, ALaterRunTellsWhatItLeftWithoutABoxOnceAndLaunchesOnTime) {
    const std::string first = Recorder("first");
    PrepareALaterRun({{"+", "First", first, "", "1", "Click"}});
    WriteRawValue(UserRoot(), kRunKey, "Blob", REG_BINARY, std::string("\x01\x02\x03", 3));
    WriteWholeFile(StartupFolder() + "setup.exe", "MZ");
    WriteWholeFile(StartupFolder() + "update.exe", "MZ");
    const std::string exeFiles = "Exe files have been found in your Startup folder " + StartupFolder();
    const std::string notText = "Start up entries whose data is not text were left where they are";

    const unsigned long long started = Now();
    Process app = StartSequora();
    MainWindow main = WaitForUnattendedWindow(app);
    ASSERT_NE(main.window, nullptr);
    const unsigned long long shown = Now();
    // Delay 1 is the second tick of a timer of one second, enabled as the window is created: no
    // sooner than two seconds after the program started, no later than the second tick after the
    // window showed.
    ASSERT_TRUE(WaitUntil([&] { return !ReadLaunches(LaunchLogPath()).empty(); }, 10000))
        << "nothing started";
    const std::vector<Launch> launches = ReadLaunches(LaunchLogPath());
    EXPECT_GT(SecondsBetween(started, launches[0].ticks), 1.9);
    EXPECT_LT(SecondsBetween(shown, launches[0].ticks), 2.75);
    EXPECT_EQ(Launched(), std::vector<std::string>{"first"});

    const std::string status = main.StatusText();
    EXPECT_EQ(Occurrences(status, exeFiles), 1u) << status;
    EXPECT_EQ(Occurrences(status, notText), 1u) << status;
    EXPECT_FALSE(FindMessageBox(app.Id()).has_value());
    CloseAndWait(app, main);

    const std::string errors = ReadWholeFile(ErrorLogFile()).value_or("");
    EXPECT_EQ(Occurrences(errors, "Exe files have been found in your Startup folder"), 1u) << errors;
    EXPECT_NE(errors.find(StartupFolder() + "setup.exe"), std::string::npos) << errors;
    EXPECT_NE(errors.find(StartupFolder() + "update.exe"), std::string::npos) << errors;
    EXPECT_EQ(Occurrences(errors, "because their data is not text"), 1u) << errors;
    EXPECT_NE(errors.find("\"Blob\""), std::string::npos) << errors;
    // Windows keeps what the table cannot hold.
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), (std::vector<std::string>{"Blob", "sequora"}));
    EXPECT_EQ(FilesIn(StartupFolder()), (std::vector<std::string>{"setup.exe", "update.exe"}));

    // The next log-on: the same conditions, nothing new to say.
    NewLogon();
    Process next = StartSequora();
    MainWindow again = WaitForUnattendedWindow(next);
    ASSERT_NE(again.window, nullptr);
    const std::string nextStatus = again.StatusText();
    EXPECT_EQ(nextStatus.find(exeFiles), std::string::npos) << nextStatus;
    EXPECT_EQ(nextStatus.find(notText), std::string::npos) << nextStatus;
    CloseAndWait(next, again);
    EXPECT_EQ(ReadWholeFile(ErrorLogFile()), errors);
}

// The backups folder cannot be made (a file has its name) at every log-on: the first start says
// so, the next one does not say it again, although the file it could not write has another name.
TEST_F(Logon, ABackupThatKeepsFailingIsToldOnce) {
    PrepareALaterRun({});
    WriteDataFile(DataFolder() + "backups", "in the way");
    const std::string cannotBackUp = "Cannot make backup to " + DataFolder() + "backups\\StartUp_Backup_";
    auto logOn = [&] {
        NewLogon();
        Process app = StartSequora();
        MainWindow main = WaitForUnattendedWindow(app);
        EXPECT_NE(main.window, nullptr);
        const std::string status = main.window ? main.StatusText() : std::string();
        if (main.window)
            CloseAndWait(app, main);
        return status;
    };

    const std::string status = logOn();
    EXPECT_EQ(status.rfind(cannotBackUp, 0), 0u) << status;
    const std::string errors = ReadWholeFile(ErrorLogFile()).value_or("");
    EXPECT_EQ(Occurrences(errors, cannotBackUp), 1u) << errors;
    // A second on, the backup would have another name (it holds the time); the condition is the same.
    Sleep(1000);
    const std::string nextStatus = logOn();
    EXPECT_EQ(nextStatus.find(cannotBackUp), std::string::npos) << nextStatus;
    EXPECT_EQ(ReadWholeFile(ErrorLogFile()), errors);
}

// A standard user: the machine's Run key and the all-users Startup folder refuse changes. Their
// entries stay where they are and out of the table, so only Windows starts them; the start says
// so without a box. An Import the user clicks shows why it cannot take them.
TEST_F(Logon, AStandardUserLeavesTheMachineWideEntriesToWindows) {
    const std::string known = Recorder("known");
    const std::string machine = Recorder("machine");
    SeedRunValue(MachineRoot(), "MachineTool", machine);
    SeedRunValue(MachineRoot(), "MachineTray", "\"" + machine + "\" /tray");
    testsupport::SaveShortcut(CommonStartupFolder() + "Common.lnk", Recorder("common"), "");
    const Rows table = {kHeaderRow, {"+", "Known", known, "", "0", "Click"}};
    PrepareALaterRun({table[1]});
    const std::string leftToWindows =
        "3 machine-wide start up entries were left to Windows: an Import started with administrator rights "
        "takes them.";
    auto machineEntriesStay = [&] {
        EXPECT_EQ(ValueNames(MachineRoot(), kRunKey),
                  (std::vector<std::string>{"MachineTool", "MachineTray"}));
        EXPECT_EQ(FilesIn(CommonStartupFolder()), std::vector<std::string>{"Common.lnk"});
    };

    Process app = StartSequora({{"SEQUORA_SANDBOX_STANDARD_USER", "1"}});
    MainWindow main = WaitForUnattendedWindow(app);
    ASSERT_NE(main.window, nullptr);
    EXPECT_EQ(main.StatusText(), leftToWindows);
    WaitForSequenceEnd(main);
    EXPECT_EQ(main.Rows(), table);
    EXPECT_EQ(Launched(), std::vector<std::string>{"known"});
    machineEntriesStay();
    EXPECT_EQ(Occurrences(ReadWholeFile(ErrorLogFile()).value_or(""), leftToWindows), 1u);

    ASSERT_TRUE(ClickButton(main.Button("Import startup objects")));
    const std::string box = Answer(app, "Sequora", "Error opening HKEY_LOCAL_MACHINE key.", IDOK);
    EXPECT_EQ(box,
              "Error opening HKEY_LOCAL_MACHINE key.\r\nMake sure you have adminitrator rights and that your "
              "antivirus is not blocking this program");
    EXPECT_TRUE(WaitUntil([&] { return main.StatusText() == leftToWindows; }, kBoxTimeoutMs))
        << main.StatusText();
    EXPECT_FALSE(FindMessageBox(app.Id()).has_value());
    EXPECT_EQ(main.Rows(), table);
    machineEntriesStay();
    CloseAndWait(app, main);
    EXPECT_EQ(Launched(), std::vector<std::string>{"known"});
}

// A program installed since the last log-on added its Run value, and Windows started it at this
// log-on. The automatic import takes it into the table, and Sequora starts it from the next log-on
// on. A program that writes its value back whenever it runs is still started once per log-on.
TEST_F(Logon, AnEntryNewAtThisLogonIsStartedBySequoraFromTheNextLogonOnAndNeverTwice) {
    const std::string known = Recorder("known");
    const std::string fresh = Recorder("fresh");
    PrepareALaterRun({{"+", "Known", known, "", "0", "Click"}});
    SeedRunValue(UserRoot(), "Fresh", fresh);

    auto logOn = [&] {
        NewLogon();
        Process app = StartSequora();
        MainWindow main = WaitForUnattendedWindow(app);
        EXPECT_NE(main.window, nullptr);
        if (!main.window)
            return Rows{};
        WaitForSequenceEnd(main);
        const Rows rows = main.Rows();
        CloseAndWait(app, main);
        EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
        return rows;
    };

    const Rows taken = logOn();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[2][1], "Fresh");
    EXPECT_EQ(taken[2][2], fresh);
    EXPECT_EQ(Launched(), std::vector<std::string>{"known"});

    EXPECT_EQ(logOn(), taken);
    EXPECT_EQ(Launched(), (std::vector<std::string>{"known", "known", "fresh"}));

    // Fresh wrote its value back as it ran: Windows starts it at this log-on, Sequora does not.
    SeedRunValue(UserRoot(), "Fresh", fresh);
    EXPECT_EQ(logOn(), taken);
    EXPECT_EQ(Launched(), (std::vector<std::string>{"known", "known", "fresh", "known"}));

    // The same, but the user switched Fresh off in Windows' own start-up settings: Windows did not
    // start it at this log-on, so Sequora does.
    SeedRunValue(UserRoot(), "Fresh", fresh);
    testsupport::WriteRawValue(UserRoot(),
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run",
                               "Fresh", REG_BINARY, std::string("\x03\0\0\0\0\0\0\0\0\0\0\0", 12));
    EXPECT_EQ(logOn(), taken);
    EXPECT_EQ(Launched(), (std::vector<std::string>{"known", "known", "fresh", "known", "known", "fresh"}));
}

// Sequora is started again while it runs (a second click on its icon): the second one brings the
// running window to the front and ends at once, without importing, launching or saving anything.
TEST_F(Logon, ASecondSequoraBringsTheRunningOneToTheFrontAndChangesNothing) {
    PrepareALaterRun({{"+", "Known", Recorder("known"), "", "0", "Click"}});
    Process running = StartSequora();
    MainWindow main = WaitForUnattendedWindow(running);
    ASSERT_NE(main.window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !Launched().empty(); }, 10000));
    // A value written since: a second start that imported would take it.
    SeedRunValue(UserRoot(), "Fresh", Recorder("fresh"));
    // Another program's window is in front.
    Process other = Process::Start(HostPathToWindows(SEQUORA_DRIVER_TARGET));
    const HWND otherWindow = WaitForTopLevelWindow(other.Id(), "DriverTargetMain", kWindowTimeoutMs);
    ASSERT_NE(otherWindow, nullptr);
    SetForegroundWindow(otherWindow);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == otherWindow; }, 5000));
    const Contents before = Everything();

    const unsigned long long started = Now();
    Process second = StartSequora();
    const std::optional<DWORD> exitCode = second.WaitForExit(kWindowTimeoutMs);
    ASSERT_TRUE(exitCode.has_value()) << "the second Sequora still runs";
    EXPECT_EQ(*exitCode, 0u);
    EXPECT_LT(SecondsBetween(started, Now()), 5.0);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main.window; }, 2000));
    EXPECT_EQ(Differences(before, Everything()), std::vector<std::string>{});
    EXPECT_EQ(Launched(), std::vector<std::string>{"known"});
    EXPECT_TRUE(running.Running());
    EXPECT_TRUE(IsVisible(main.window));
    CloseAndWait(running, main);
}

// The user opens Sequora again later in the day to edit the table: the sequence of this log-on
// ran already, so nothing starts; the status bar says when the programs were started, and
// "Execute programs" still starts them when asked.
TEST_F(Logon, OpenedAgainInTheSameSessionSequoraStartsNothingUntilAsked) {
    PrepareALaterRun({{"+", "Known", Recorder("known"), "", "0", "Click"}});
    const unsigned long long started = Now();
    Process app = StartSequora();
    MainWindow main = WaitForUnattendedWindow(app);
    ASSERT_NE(main.window, nullptr);
    WaitForSequenceEnd(main);
    CloseAndWait(app, main);
    const std::vector<Launch> launches = ReadLaunches(LaunchLogPath());
    ASSERT_EQ(launches.size(), 1u);
    // The session's mark is volatile: it cannot hold a key that outlives the session.
    HKEY probe = nullptr;
    EXPECT_EQ(RegCreateKeyExA(UserRoot(), (std::string(kLogonMarkKey) + "\\probe").c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &probe, nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);
    if (probe)
        RegCloseKey(probe);

    Process reopened = StartSequora();
    main = WaitForUnattendedWindow(reopened);
    ASSERT_NE(main.window, nullptr);
    // The mark is set as the sequence starts, between the first start and its launch.
    const std::string status = main.StatusText();
    bool saysWhen = false;
    for (unsigned long long at : {started, launches[0].ticks})
        saysWhen =
            saysWhen || status == "The start up programs were started at " + LocalTimeText(at) +
                                      " in this session. Press \"Execute programs\" to start them again.";
    EXPECT_TRUE(saysWhen) << status;
    // Known's delay 0 would start it on the first tick, a second after the window came.
    EXPECT_FALSE(WaitUntil([&] { return ReadLaunches(LaunchLogPath()).size() > 1; }, 3000))
        << "started again";

    const HWND execute = main.Button("Execute programs");
    ASSERT_NE(execute, nullptr);
    EXPECT_TRUE(IsVisible(execute));
    ASSERT_TRUE(ClickButton(execute));
    EXPECT_TRUE(WaitUntil([&] { return ReadLaunches(LaunchLogPath()).size() == 2; }, 5000));
    EXPECT_EQ(Launched(), (std::vector<std::string>{"known", "known"}));
    CloseAndWait(reopened, main);
}

// A first run ends without a confirmed import: the user closes the window, or answers No. Until
// an import is confirmed, no start takes anything from Windows, and Sequora is not registered to
// start with Windows.
struct FirstRunEnd {
    const char* name;
    bool answersNo;  // clicks Import and answers No; else closes without importing
};

void PrintTo(const FirstRunEnd& end, std::ostream* out) {
    *out << end.name;
}

class LogonAfterFirstRun : public Logon, public testing::WithParamInterface<FirstRunEnd> {};

TEST_P(LogonAfterFirstRun, WithoutAConfirmedImportWindowsKeepsItsEntries) {
    SeedRunValue(UserRoot(), "One", Recorder("one"));
    testsupport::SaveShortcut(StartupFolder() + "Two.lnk", Recorder("two"), "");
    auto windowsPlaces = [&] {
        Contents contents;
        AddFolderContents(StartupFolder(), contents);
        AddRegistryContents(UserRoot(), kRunKey, contents);
        return contents;
    };
    const Contents windowsHeld = windowsPlaces();

    Process first = StartSequora();
    Answer(first, "Information", kFirstRunPrompt, IDOK);
    MainWindow main = WaitForMainWindow(first);
    ASSERT_NE(main.window, nullptr);
    if (GetParam().answersNo) {
        ASSERT_TRUE(ClickButton(main.Button("Import startup objects")));
        Answer(first, "Confirm", "Do you want to set Sequora to manage your start up items?", IDNO);
        Answer(first, "Sequora", "Process aborted.", IDOK);
    }
    CloseAndWait(first, main);
    EXPECT_EQ(Differences(windowsHeld, windowsPlaces()), std::vector<std::string>{});

    Process later = StartSequora();
    main = WaitForUnattendedWindow(later);
    ASSERT_NE(main.window, nullptr);
    EXPECT_EQ(main.Rows(), Rows{kHeaderRow});
    CloseAndWait(later, main);
    EXPECT_EQ(Differences(windowsHeld, windowsPlaces()), std::vector<std::string>{});
    EXPECT_EQ(Launched(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(FirstRun,
                         LogonAfterFirstRun,
                         testing::Values(FirstRunEnd{"ClosedWithoutImport", false},
                                         FirstRunEnd{"AnsweredNo", true}),
                         [](const testing::TestParamInfo<FirstRunEnd>& info) { return info.param.name; });

// The first run imports, and the power goes before the user closes it. The next start is a later
// run: it loads the table the import wrote instead of starting over with an empty one, and
// imports what was added since by itself, as the user agreed to.
TEST_F(Logon, AFirstRunThatNeverEndedLeavesItsTableAndTheConsentToTheNextStart) {
    const std::string one = Recorder("one");
    const std::string two = Recorder("two");
    SeedRunValue(UserRoot(), "One", one);
    Process first = StartSequora();
    MainWindow main = StartFirstRunAndImport(first);
    ASSERT_NE(main.window, nullptr);
    // The import ends by telling the user to close the program.
    const std::optional<MessageBoxInfo> done = WaitForMessageBox(first.Id(), kBoxTimeoutMs);
    ASSERT_TRUE(done.has_value());
    EXPECT_EQ(done->text.rfind("Now you can just close this program", 0), 0u) << done->text;
    first.Kill();
    ASSERT_NE(ReadWholeFile(TableFile()).value_or("").find(" | One | " + one + " | "), std::string::npos);
    SeedRunValue(UserRoot(), "Two", two);

    Process next = StartSequora();
    main = WaitForUnattendedWindow(next);
    ASSERT_NE(main.window, nullptr);
    EXPECT_EQ(main.Rows(),
              (Rows{kHeaderRow, {"+", "One", one, "", "5", "Click"}, {"+", "Two", two, "", "6", "Click"}}));
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
    CloseAndWait(next, main);
    const std::string table = ReadWholeFile(TableFile()).value_or("");
    EXPECT_NE(table.find(" | One | " + one + " | "), std::string::npos) << table;
    EXPECT_NE(table.find(" | Two | " + two + " | "), std::string::npos) << table;
}

// The user is typing into a cell when the window is closed: what was typed is in the saved table.
TEST_F(Logon, AnEditOpenAtCloseIsSaved) {
    WriteRawValue(UserRoot(), kSettingsKey, "chkAutoImport", REG_DWORD, DwordBytes(0));
    WriteRawValue(UserRoot(), kSettingsKey, "chkEnabled", REG_DWORD, DwordBytes(0));
    WriteDataFile(TableFile(), TableFileText({{"+", "First", "C:\\first.exe", "", "5", "Click"},
                                              {"+", "Second", "C:\\second.exe", "", "6", "Click"}}));

    Process app = StartSequora();
    MainWindow main = WaitForUnattendedWindow(app);
    ASSERT_NE(main.grid, nullptr);
    // A click on First's name (the first column is 53 pixels and its line wide, each row 15
    // pixels and its line high), F2, the new text; no Enter.
    const LPARAM nameOfFirst = MAKELPARAM(53 + 1 + 20, 16 + 8);
    const HWND editor = OpenCellEditor(main, nameOfFirst);
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(WindowText(editor), "First");
    ASSERT_TRUE(SendMessageTimeoutA(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Renamed"),
                                    SMTO_ABORTIFHUNG, 5000, nullptr));
    CloseAndWait(app, main);

    const std::string saved = ReadWholeFile(TableFile()).value_or("");
    EXPECT_NE(saved.find("+ | Renamed | C:\\first.exe | "), std::string::npos) << saved;
    EXPECT_EQ(saved.find(" | First | "), std::string::npos) << saved;
}

// A table file of a few hundred kilobytes whose counts describe 65,536 rows of 65,532 columns
// (empty rows, one width per column). Loaded as it says, it would be saved back as about 13 GB:
// it is refused as unreadable and kept aside as it is, the later start asks nobody, and the exit
// saves a small table.
TEST_F(Logon, ATableThatDescribesBillionsOfCellsIsKeptAsideAndNeverSavedBack) {
    ConfirmImports();
    std::string hostile = "{a table}\r\n65536\r\n65532\r\n";
    for (int col = 0; col < 65532; ++col)
        hostile += "1\r\n";
    for (int row = 0; row < 65536; ++row)
        hostile += "\r\n";
    ASSERT_LT(hostile.size(), 400u * 1024);
    WriteDataFile(TableFile(), hostile);

    Process app = StartSequora();
    MainWindow main = WaitForUnattendedWindow(app);
    ASSERT_NE(main.window, nullptr);
    // Should the file have been taken as it is, the exit must not get to save it.
    ASSERT_EQ(main.StatusText(), "The table of start up objects could not be read; it has been kept aside");
    ASSERT_EQ(main.Rows(), Rows{kHeaderRow});
    // Nothing to start: the launcher's button is not offered, whatever its caption.
    for (const char* caption : {"runtime", "Stop", "Execute programs"}) {
        const HWND button = main.Button(caption);
        EXPECT_TRUE(!button || !IsVisible(button)) << caption;
    }
    CloseAndWait(app, main);

    const std::vector<std::string> kept = FilesIn(DataFolder(), "StartUpObjects (unreadable *).bin");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadWholeFile(DataFolder() + kept[0]), hostile);
    EXPECT_LT(ReadWholeFile(TableFile()).value_or(hostile).size(), 1024u);
    const std::string errors = ReadWholeFile(ErrorLogFile()).value_or("");
    EXPECT_NE(errors.find("65536 rows of 65532 columns"), std::string::npos) << errors;
}
