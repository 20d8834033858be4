// The take-over against Windows as the oracle: the same entries are started the way Windows starts
// them (CreateProcess of the expanded Run value, the shell opening the shortcut) and, after an
// import, by a later run of sequora.exe; both must start the same programs with the same
// arguments, in the same folder and window state, each once. Then Restore, which must leave the
// Run keys and the Startup folders as they were before the import, byte for byte; and names
// outside the ANSI code page through all of it.
//
// The programs are put where real installers put them (C:\Program Files, the system folder), so
// these tests run only under Wine, in the private prefix of the test run.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/e2e/ScenarioSupport.h"
#include "tests/e2e/SequoraSession.h"
#include "tests/e2e/UiDriver.h"
#include "tests/wine/CommonTestSupport.h"

#ifndef SEQUORA_LAUNCH_RECORDER
#error "SEQUORA_LAUNCH_RECORDER must name the built launch_recorder.exe"
#endif
#ifndef SEQUORA_SHORTCUT_FIXTURES
#error "SEQUORA_SHORTCUT_FIXTURES must name the folder of the real shortcut files"
#endif

using namespace e2e;
using testsupport::DwordBytes;
using testsupport::WriteRawValue;

namespace {

const char kRun32Key[] = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Folded(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    while (text.size() > 3 && text.back() == '\\')
        text.pop_back();
    return text;
}

std::string LongPath(const std::string& path) {
    char text[MAX_PATH];
    const DWORD length = GetLongPathNameA(path.c_str(), text, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(text, length) : path;
}

std::string Expanded(const std::string& text) {
    char buffer[32768];
    const DWORD length = ExpandEnvironmentStringsA(text.c_str(), buffer, sizeof buffer);
    return length > 0 && length <= sizeof buffer ? std::string(buffer) : text;
}

// What a start looks like from the started program: which program, with which arguments, in
// which folder and window state. A process started without a window state shows itself
// normally, as one asked for SW_SHOWNORMAL does.
using Start = std::tuple<std::string, std::vector<std::string>, std::string, int>;

Start StartOf(const Launch& launch) {
    return Start{Folded(LongPath(launch.program)), launch.arguments, Folded(launch.folder),
                 launch.show == -1 ? SW_SHOWNORMAL : launch.show};
}

std::vector<Start> StartsIn(const std::string& log) {
    std::vector<Start> starts;
    for (const Launch& launch : ReadLaunches(log))
        starts.push_back(StartOf(launch));
    std::sort(starts.begin(), starts.end());
    return starts;
}

std::string Describe(const std::vector<Start>& starts) {
    std::string text;
    for (const auto& [program, arguments, folder, show] : starts) {
        text += program + " [";
        for (const std::string& argument : arguments)
            text += "<" + argument + ">";
        text += "] in " + folder + " show " + std::to_string(show) + "\n";
    }
    return text;
}

// The values of a Run key as the registry holds them: name, type and data, to the byte.
using Values = std::map<std::wstring, std::pair<DWORD, std::string>>;

Values ValuesOf(HKEY root, const char* path) {
    Values values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, FromUtf8(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        nameLength = 16384;
        RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                      &size);
        values[std::wstring(name, nameLength)] = {type, data.substr(0, size)};
    }
    RegCloseKey(key);
    return values;
}

// The files of a folder with their bytes and attributes.
using Files = std::map<std::string, std::pair<DWORD, std::string>>;

Files FilesOf(const std::string& folder) {
    Files files;
    for (const std::string& name : FilesIn(folder))
        files[name] = {GetFileAttributesA((folder + name).c_str()),
                       testsupport::ReadWholeFile(folder + name).value_or("")};
    return files;
}

void WriteValueW(HKEY root,
                 const char* path,
                 const std::wstring& name,
                 DWORD type,
                 const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(root, FromUtf8(path).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Saves a shortcut as the shell does, with a working folder and a window state.
void SaveShortcut(const std::string& file,
                  const std::string& target,
                  const std::string& arguments,
                  const std::string& folder,
                  int show) {
    IShellLinkW* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    link->SetPath(FromUtf8(target).c_str());
    link->SetArguments(FromUtf8(arguments).c_str());
    link->SetWorkingDirectory(FromUtf8(folder).c_str());
    link->SetShowCmd(show);
    IPersistFile* persist = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(persist->Save(FromUtf8(file).c_str(), TRUE), S_OK);
    persist->Release();
    link->Release();
}

// The window state a shortcut asks for, as Windows applies it when it opens the shortcut. (Wine's
// shell starts every shortcut normally, whatever it stores.)
int ShowStateOf(const std::string& shortcut) {
    IShellLinkW* link = nullptr;
    int show = SW_SHOWNORMAL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return show;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        if (SUCCEEDED(persist->Load(FromUtf8(shortcut).c_str(), STGM_READ)))
            link->GetShowCmd(&show);
        persist->Release();
    }
    link->Release();
    return show;
}

}  // namespace

class TakeOver : public ScenarioTest {
  protected:
    void SetUp() override {
        if (!RunningUnderWine())
            GTEST_SKIP() << "puts programs into the system's own folders: only in the test run's Wine prefix";
        ScenarioTest::SetUp();
        if (HasFatalFailure())
            return;
        windowsLog_ = ProgramFolder() + "windows-launches.txt";
    }

    void TearDown() override {
        for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) {
            SetFileAttributesW(FromUtf8(*it).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(FromUtf8(*it).c_str());
        }
        for (const auto& [file, saved] : replaced_)
            MoveFileExW(FromUtf8(saved).c_str(), FromUtf8(file).c_str(), MOVEFILE_REPLACE_EXISTING);
        if (overrode_) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, KEY_SET_VALUE, &key) ==
                ERROR_SUCCESS) {
                RegDeleteValueA(key, "rundll32.exe");
                RegCloseKey(key);
            }
        }
        if (RunningUnderWine())
            ScenarioTest::TearDown();
    }

    // A copy of the launch recorder at a real-looking place, its folders made as needed; an
    // existing file there (a system program) is put back when the test ends.
    void PlaceRecorder(const std::string& path) {
        const std::wstring wide = FromUtf8(path);
        const std::wstring folder = wide.substr(0, wide.rfind(L'\\'));
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
            const std::string saved = path + ".sequora-test-saved";
            ASSERT_TRUE(MoveFileExW(wide.c_str(), FromUtf8(saved).c_str(), MOVEFILE_REPLACE_EXISTING))
                << path;
            replaced_.emplace_back(path, saved);
        } else {
            placed_.push_back(path);
        }
        const std::string recorder = HostPathToWindows(SEQUORA_LAUNCH_RECORDER);
        ASSERT_TRUE(CopyFileW(FromUtf8(recorder).c_str(), wide.c_str(), FALSE)) << path;
    }

    void MakeFolder(const std::string& folder) {
        SHCreateDirectoryExW(nullptr, FromUtf8(folder).c_str(), nullptr);
    }

    // rundll32.exe is one of Wine's own programs; the recorder stands in for it.
    void StandInForRunDll() {
        PlaceRecorder(Expanded("%SystemRoot%\\system32\\rundll32.exe"));
        WriteRawValue(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "rundll32.exe", REG_SZ,
                      testsupport::SzBytes("native"));
        overrode_ = true;
    }

    // Starts every entry of the sandbox the way Windows starts it at log-on, into windowsLog_,
    // and waits for each to be done.
    void StartTheWindowsWay(const std::vector<std::string>& runValues,
                            const std::vector<std::string>& shortcuts) {
        SetEnvironmentVariableA("SEQUORA_LAUNCH_LOG", windowsLog_.c_str());
        char previous[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, previous);
        // The folder Sequora runs in, so that both ways start their programs from the same place.
        SetCurrentDirectoryA(ProgramFolder().c_str());
        for (const std::string& value : runValues) {
            std::wstring commandLine = FromUtf8(Expanded(value));
            STARTUPINFOW startup = {};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process = {};
            if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process)) {
                WaitForSingleObject(process.hProcess, 10000);
                CloseHandle(process.hProcess);
                CloseHandle(process.hThread);
            }
        }
        for (const std::string& shortcut : shortcuts) {
            const std::wstring file = FromUtf8(shortcut);
            SHELLEXECUTEINFOW info = {};
            info.cbSize = sizeof info;
            info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | SEE_MASK_NOCLOSEPROCESS;
            info.lpFile = file.c_str();
            info.nShow = SW_SHOWNORMAL;
            // Opening a shortcut gives no process to wait for: the caller waits for the log.
            if (ShellExecuteExW(&info) && info.hProcess)
                CloseHandle(info.hProcess);
        }
        SetCurrentDirectoryA(previous);
        SetEnvironmentVariableA("SEQUORA_LAUNCH_LOG", nullptr);
    }

    // A first run that imports everything, then a later run that starts everything and closes
    // itself; both as a user meets them.
    void ImportThenStartEverything(size_t expectedLaunches) {
        Process first = StartSequora();
        MainWindow main = StartFirstRunAndImport(first);
        Answer(first, "Information", "Now you can just close this program", IDOK);
        rowsAfterImport_ = main.Rows();
        EXPECT_TRUE(ClickButton(main.Button("Shutdown itself after starting all programs")));
        EXPECT_TRUE(WaitUntil(
            [&] {
                return CheckState(main.Button("Shutdown itself after starting all programs")) == BST_CHECKED;
            },
            5000));
        CloseAndWait(first, main);

        Process later = StartSequora();
        const std::optional<DWORD> exitCode = later.WaitForExit(120000);
        ASSERT_TRUE(exitCode.has_value()) << "the later run did not close itself";
        EXPECT_EQ(*exitCode, 0u);
        EXPECT_EQ(ReadLaunches(LaunchLogPath()).size(), expectedLaunches)
            << testsupport::ReadWholeFile(LaunchLogPath()).value_or("");
    }

    std::string windowsLog_;
    std::vector<std::vector<std::string>> rowsAfterImport_;
    std::vector<std::string> placed_;
    std::vector<std::pair<std::string, std::string>> replaced_;
    bool overrode_ = false;
};

// Run values of every kind real systems hold, and the real installers' Startup shortcuts.
TEST_F(TakeOver, EveryEntryStartsAsWindowsWouldHaveStartedIt) {
    const std::string vendor = "C:\\Program Files\\Vendor App\\";
    PlaceRecorder(vendor + "app.exe");
    PlaceRecorder(vendor + "tray.exe");
    PlaceRecorder(Expanded("%SystemRoot%\\system32\\mobsync.exe"));
    PlaceRecorder(Expanded("%SystemRoot%\\system32\\dumprep.exe"));
    PlaceRecorder(Expanded("%LOCALAPPDATA%\\Vendor\\Update.exe"));
    PlaceRecorder("C:\\Program Files (x86)\\Old Vendor\\old.exe");
    PlaceRecorder("C:\\Tools\\two.exe");
    StandInForRunDll();
    const std::vector<std::pair<std::pair<HKEY, const char*>, std::pair<std::string, std::string>>> values = {
        {{UserRoot(), kRunKey}, {"Quoted", "\"" + vendor + "app.exe\" -s"}},
        {{UserRoot(), kRunKey}, {"Unquoted", vendor + "tray.exe -s --flag \"x y\""}},
        {{UserRoot(), kRunKey}, {"Sync", "mobsync.exe /logon"}},
        {{MachineRoot(), kRunKey}, {"Dump", "%SystemRoot%\\system32\\dumprep 0 -k"}},
        {{UserRoot(), kRunKey}, {"Updater", "%LOCALAPPDATA%\\Vendor\\Update.exe --processStart \"App.exe\""}},
        {{UserRoot(), kRunKey}, {"Cpl1", "rundll32.exe shell32.dll,Control_RunDLL desk.cpl"}},
        {{UserRoot(), kRunKey}, {"Cpl2", "rundll32.exe shell32.dll,Control_RunDLL main.cpl"}},
        {{MachineRoot(), kRun32Key}, {"Old", "\"C:\\Program Files (x86)\\Old Vendor\\old.exe\" /tray"}},
        {{UserRoot(), kRunKey}, {"TwoA", "\"C:\\Tools\\two.exe\" /a"}},
        {{UserRoot(), kRunKey}, {"TwoB", "\"C:\\Tools\\two.exe\" /b"}},
    };
    std::vector<std::string> runValues;
    for (const auto& [where, value] : values) {
        const DWORD type = value.second.find('%') != std::string::npos ? REG_EXPAND_SZ : REG_SZ;
        WriteRawValue(where.first, where.second, value.first, type, testsupport::SzBytes(value.second));
        runValues.push_back(value.second);
    }

    // The installers' shortcuts, with their programs where they point, and one of ours that asks
    // for a minimised window in a folder named through the environment.
    std::vector<std::string> shortcuts;
    for (const char* name : {"DirectoryOpusStartup.lnk", "KillerNetworkManager.lnk", "NeroInfoTool.lnk",
                             "Office2016UploadCenter.lnk", "console_properties_block.lnk", "sample10.lnk",
                             "sample9.lnk", "sample3.lnk", "sample6.lnk"}) {
        const std::string fixture = HostPathToWindows(std::string(SEQUORA_SHORTCUT_FIXTURES) + "/" + name);
        ASSERT_TRUE(CopyFileA(fixture.c_str(), (StartupFolder() + name).c_str(), FALSE)) << fixture;
        shortcuts.push_back(StartupFolder() + name);
    }
    for (const char* program : {"C:\\Program Files\\GPSoftware\\Directory Opus\\dopus.exe",
                                "C:\\Program Files\\Killer Networking\\Network Manager\\NetworkManager.exe",
                                "C:\\Program Files (x86)\\Nero\\Nero 9\\Nero InfoTool\\InfoTool.exe",
                                "C:\\Program Files (x86)\\Microsoft Office\\root\\client\\AppVLP.exe",
                                "C:\\Windows\\SysWOW64\\WindowsPowerShell\\v1.0\\powershell.exe",
                                "C:\\Program Files (x86)\\HDZB_USBKEY_NEW1G\\HDZB_USBKEY_NEW1G.exe",
                                "C:\\AnonymusBrowser-v2.0\\AnonymusBrowser.exe"})
        PlaceRecorder(program);
    MakeFolder("C:\\Program Files (x86)\\Mozilla Firefox");
    PlaceRecorder("C:\\Tools\\minimised.exe");
    SaveShortcut(StartupFolder() + "Minimised.lnk", "C:\\Tools\\minimised.exe", "--hidden", "%TEMP%",
                 SW_SHOWMINNOACTIVE);
    shortcuts.push_back(StartupFolder() + "Minimised.lnk");

    StartTheWindowsWay(runValues, shortcuts);
    // Every Run value and every shortcut whose program exists; the shell item and the shortcut
    // whose target is named in a Chinese code page start nothing here, either way.
    const size_t starting = runValues.size() + shortcuts.size() - 2;
    EXPECT_TRUE(WaitUntil([&] { return ReadLaunches(windowsLog_).size() >= starting; }, 30000));
    Sleep(1000);  // anything started twice would show by now
    std::vector<Start> windowsWay = StartsIn(windowsLog_);
    // Windows opens a shortcut in the window state it stores; Wine's shell does not, so the state
    // Windows would apply is taken from the shortcut itself.
    for (Start& start : windowsWay) {
        if (std::get<0>(start) == Folded("C:\\Tools\\minimised.exe"))
            std::get<3>(start) = ShowStateOf(StartupFolder() + "Minimised.lnk");
    }
    std::sort(windowsWay.begin(), windowsWay.end());
    ASSERT_EQ(windowsWay.size(), starting) << Describe(windowsWay);

    // Nothing of it is Windows' to start any more but Sequora itself, and each entry is a row.
    ImportThenStartEverything(windowsWay.size());
    EXPECT_EQ(rowsAfterImport_.size(), 1 + runValues.size() + shortcuts.size());
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
    EXPECT_EQ(ValueNames(MachineRoot(), kRunKey), std::vector<std::string>{});
    EXPECT_EQ(ValueNames(MachineRoot(), kRun32Key), std::vector<std::string>{});
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{});

    const std::vector<Start> sequoraWay = StartsIn(LaunchLogPath());
    EXPECT_EQ(sequoraWay, windowsWay) << "Windows:\n"
                                      << Describe(windowsWay) << "Sequora:\n"
                                      << Describe(sequoraWay);
    // The two that start nothing are named in the log with the system's reason.
    const std::string log = testsupport::ReadWholeFile(LogFile()).value_or("");
    size_t failures = 0;
    for (size_t at = 0; (at = log.find("Could not start ", at)) != std::string::npos; ++at)
        ++failures;
    EXPECT_EQ(failures, 2u) << log;
}

// After an import and a Restore, Windows' start-up places are as they were before, to the byte,
// Sequora's own value is gone, and a row the user added is the user's own Run value.
TEST_F(TakeOver, RestoreLeavesWindowsAsItWasBeforeTheImport) {
    WriteRawValue(MachineRoot(), kRunKey, "Machine", REG_SZ, testsupport::SzBytes("\"C:\\m.exe\" /m"));
    WriteRawValue(MachineRoot(), kRun32Key, "Machine", REG_SZ, testsupport::SzBytes("C:\\wow.exe"));
    WriteRawValue(UserRoot(), kRunKey, "Expand", REG_EXPAND_SZ, testsupport::SzBytes("%windir%\\e.exe /e"));
    WriteRawValue(UserRoot(), kRunKey, "Cpl1", REG_SZ, testsupport::SzBytes("rundll32.exe a.dll,One"));
    WriteRawValue(UserRoot(), kRunKey, "Cpl2", REG_SZ, testsupport::SzBytes("rundll32.exe a.dll,Two"));
    WriteRawValue(UserRoot(), kRunKey, "Again", REG_SZ, testsupport::SzBytes("\"C:\\M.EXE\" /m"));
    for (const char* name : {"KillerNetworkManager.lnk", "sample3.lnk"}) {
        const std::string fixture = HostPathToWindows(std::string(SEQUORA_SHORTCUT_FIXTURES) + "/" + name);
        ASSERT_TRUE(CopyFileA(fixture.c_str(), (StartupFolder() + name).c_str(), FALSE));
    }
    testsupport::WriteWholeFile(ProgramFolder() + "common.exe", "MZ");
    testsupport::SaveShortcut(CommonStartupFolder() + "Common.lnk", ProgramFolder() + "common.exe", "/c");
    SetFileAttributesA((StartupFolder() + "sample3.lnk").c_str(),
                       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const auto snapshot = [&] {
        return std::make_tuple(ValuesOf(MachineRoot(), kRunKey), ValuesOf(MachineRoot(), kRun32Key),
                               ValuesOf(UserRoot(), kRunKey), FilesOf(StartupFolder()),
                               FilesOf(CommonStartupFolder()));
    };
    const auto before = snapshot();

    Process app = StartSequora();
    MainWindow main = StartFirstRunAndImport(app);
    Answer(app, "Information", "Now you can just close this program", IDOK);
    EXPECT_EQ(ValueNames(UserRoot(), kRunKey), std::vector<std::string>{"sequora"});
    EXPECT_EQ(FilesIn(StartupFolder()), std::vector<std::string>{});
    const size_t imported = main.Rows().size() - 1;
    EXPECT_EQ(imported, 8u) << "Again is held by Machine's row";
    ASSERT_TRUE(ClickButton(main.Button("Add new")));
    ASSERT_TRUE(WaitUntil([&] { return main.Rows().size() == imported + 2; }, 5000));

    ASSERT_TRUE(IsEnabled(main.Button("Restore")));
    ASSERT_TRUE(ClickButton(main.Button("Restore")));
    Answer(app, "Confirm", "Give all " + std::to_string(imported + 1) + " start up entries back to Windows?",
           IDYES);
    EXPECT_TRUE(
        WaitUntil([&] { return main.Rows() == std::vector<std::vector<std::string>>{kHeaderRow}; }, 5000));
    EXPECT_EQ(main.StatusText(),
              "Every start up entry was given back to Windows; Sequora no longer starts with Windows");
    EXPECT_EQ(CheckState(main.Button("Start itself at Windows start up")), BST_UNCHECKED);
    EXPECT_FALSE(FindMessageBox(app.Id()).has_value());

    // The row added by hand is the one difference: the user's own value, named after it.
    auto after = snapshot();
    auto& userValues = std::get<2>(after);
    ASSERT_EQ(userValues.count(L"Program's name"), 1u);
    EXPECT_EQ(userValues[L"Program's name"].second,
              std::string(reinterpret_cast<const char*>(L"\"c:\\Something.exe\""),
                          sizeof(L"\"c:\\Something.exe\"")));
    userValues.erase(L"Program's name");
    EXPECT_TRUE(after == before) << "the Run keys and Startup folders differ from before the import";
    CloseAndWait(app, main);

    // A later Import asks again, as on a first run.
    Process again = StartSequora();
    MainWindow window = WaitForMainWindow(again);
    ASSERT_NE(window.window, nullptr);
    EXPECT_EQ(window.Rows(), std::vector<std::vector<std::string>>{kHeaderRow});
    EXPECT_EQ(std::get<2>(snapshot()).size(), std::get<2>(before).size() + 1)
        << "the start imported by itself";
    ASSERT_TRUE(ClickButton(window.Button("Import startup objects")));
    Answer(again, "Confirm", "Do you want to set Sequora to manage your start up items?", IDNO);
    Answer(again, "Sequora", "Process aborted.", IDOK);
    CloseAndWait(again, window);
}

// A place that holds another entry of the same name keeps it: that row stays, the user is told
// why, and Sequora keeps starting with Windows for the rows it still holds.
TEST_F(TakeOver, RestoreLeavesAnotherEntryOfTheSameNameAlone) {
    WriteRawValue(UserRoot(), kRunKey, "Tool", REG_SZ, testsupport::SzBytes("\"C:\\tool.exe\""));
    WriteRawValue(UserRoot(), kRunKey, "Free", REG_SZ, testsupport::SzBytes("\"C:\\free.exe\""));
    Process app = StartSequora();
    MainWindow main = StartFirstRunAndImport(app);
    Answer(app, "Information", "Now you can just close this program", IDOK);
    WriteRawValue(UserRoot(), kRunKey, "Tool", REG_SZ, testsupport::SzBytes("\"C:\\another.exe\""));

    ASSERT_TRUE(ClickButton(main.Button("Restore")));
    Answer(app, "Confirm", "Give all 2 start up entries back to Windows?", IDYES);
    const std::string warning = Answer(app, "Warning", "1 of 2 start up entries stay in the table", IDOK);
    EXPECT_NE(warning.find("HKEY_CURRENT_USER already holds another entry named \"Tool\""), std::string::npos)
        << warning;
    const auto rows = main.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][1], "Tool");
    EXPECT_EQ(testsupport::ReadRawValue(UserRoot(), kRunKey, "Tool")->data,
              testsupport::SzBytes("\"C:\\another.exe\""));
    EXPECT_EQ(testsupport::ReadRawValue(UserRoot(), kRunKey, "Free")->data,
              testsupport::SzBytes("\"C:\\free.exe\""));
    EXPECT_TRUE(testsupport::ReadRawValue(UserRoot(), kRunKey, "sequora").has_value());
    EXPECT_EQ(CheckState(main.Button("Start itself at Windows start up")), BST_CHECKED);
    CloseAndWait(app, main);
}

// A name and a path outside the ANSI code page: Cyrillic and Japanese, through the import, the
// table file, the launch and its log, the backup script and Restore.
TEST_F(TakeOver, NamesOutsideTheAnsiCodePageSurviveEverything) {
    const std::string folder =
        "C:\\\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B\\";  // Программы
    const std::string program =
        folder + "\xD0\xB7\xD0\xB0\xD0\xBF\xD1\x83\xD1\x81\xD0\xBA.exe";   // запуск.exe
    const std::string japanese = folder + "\xE6\x97\xA5\xE6\x9C\xAC.exe";  // 日本.exe
    PlaceRecorder(program);
    PlaceRecorder(japanese);
    const std::string valueName = "\xD0\x97\xD0\xB0\xD0\xBF\xD1\x83\xD1\x81\xD0\xBA";  // Запуск
    const std::string argument = "/\xD0\xBB\xD0\xBE\xD0\xB3";                          // /лог
    WriteValueW(UserRoot(), kRunKey, FromUtf8(valueName), REG_SZ,
                FromUtf8("\"" + program + "\" " + argument));
    const std::string shortcut = StartupFolder() + "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.lnk";  // 日本語.lnk
    SaveShortcut(shortcut, japanese, "/\xE3\x81\x82", folder, SW_SHOWNORMAL);
    const auto before = std::make_pair(ValuesOf(UserRoot(), kRunKey), FilesOf(StartupFolder()));

    ImportThenStartEverything(2);
    // The table shows them as they are, to a screen reader as to the eye.
    ASSERT_EQ(rowsAfterImport_.size(), 3u);
    EXPECT_EQ(rowsAfterImport_[1][1], valueName);
    EXPECT_EQ(rowsAfterImport_[1][2], program);
    EXPECT_EQ(rowsAfterImport_[2][2], japanese);
    const std::string table = testsupport::ReadWholeFile(TableFile()).value_or("");
    EXPECT_NE(table.find(" | " + valueName + " | " + program + " |  " + argument + " | "), std::string::npos)
        << table;
    EXPECT_NE(table.find(" | " + japanese + " |  /\xE3\x81\x82 | "), std::string::npos) << table;
    std::vector<Launch> launches = ReadLaunches(LaunchLogPath());
    std::sort(launches.begin(), launches.end(),
              [](const Launch& a, const Launch& b) { return a.program < b.program; });
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(Folded(launches[0].program), Folded(program));
    EXPECT_EQ(launches[0].arguments, std::vector<std::string>{argument});
    EXPECT_EQ(Folded(launches[1].program), Folded(japanese));
    EXPECT_EQ(launches[1].arguments, std::vector<std::string>{"/\xE3\x81\x82"});
    EXPECT_EQ(Folded(launches[1].folder), Folded(folder));
    const std::string log = testsupport::ReadWholeFile(LogFile()).value_or("");
    EXPECT_NE(log.find("Executing: " + valueName + "  -  " + program + " " + argument), std::string::npos)
        << log;
    const std::vector<std::string> backups = FilesIn(BackupFolder());
    ASSERT_FALSE(backups.empty());
    const std::string backup = testsupport::ReadWholeFile(BackupFolder() + backups.back()).value_or("");
    EXPECT_NE(backup.find("chcp 65001 >nul\r\n"), std::string::npos) << backup;
    EXPECT_NE(backup.find("start \"\" \"" + program + "\"  " + argument + "\r\n"), std::string::npos)
        << backup;

    Process app = StartSequora();
    MainWindow main = WaitForMainWindow(app);
    ASSERT_NE(main.window, nullptr);
    ASSERT_TRUE(ClickButton(main.Button("Restore")));
    Answer(app, "Confirm", "Give all 2 start up entries back to Windows?", IDYES);
    EXPECT_TRUE(WaitUntil([&] { return main.Rows().size() == 1; }, 5000));
    CloseAndWait(app, main);
    EXPECT_TRUE(std::make_pair(ValuesOf(UserRoot(), kRunKey), FilesOf(StartupFolder())) == before);
}
