// What the scenario suites share: the main window as a user finds it, answering its message boxes,
// the first run up to a confirmed import, closing, and reading back what the program left in the
// registry and the folders.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/SequoraSession.h"
#include "tests/e2e/UiDriver.h"
#include "tests/wine/CommonTestSupport.h"

#ifndef SEQUORA_LAUNCH_RECORDER
#error "SEQUORA_LAUNCH_RECORDER must name the built launch_recorder.exe"
#endif

namespace e2e {

constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kBoxTimeoutMs = 15000;

inline const std::vector<std::string> kHeaderRow = {"Enabled",    "Name",  "Full path",
                                                    "Parameters", "Delay", "Ask Google"};

using Rows = std::vector<std::vector<std::string>>;

// A table file as the program writes it: comment, row and column counts, the six widths, then
// every row with each cell followed by the separator.
inline std::string TableFileText(const Rows& items) {
    std::string text = "{the table of start up objects}\r\n";
    text += std::to_string(items.size() + 1) + "\r\n6\r\n";
    for (int width : {53, 71, 283, 80, 80, 35})
        text += std::to_string(width) + "\r\n";
    auto addRow = [&text](const std::vector<std::string>& row) {
        for (const std::string& cell : row)
            text.append(cell).append(" | ");
        text += "\r\n";
    };
    addRow(kHeaderRow);
    for (const auto& item : items)
        addRow(item);
    return text;
}

// The value names of a key, sorted; none when the key cannot be opened.
inline std::vector<std::string> ValueNames(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

// The names of the files (not folders) of a folder given with its trailing backslash, sorted.
inline std::vector<std::string> FilesIn(const std::string& folder, const char* pattern = "*") {
    std::vector<std::string> files;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.emplace_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

// One line of the launch recorder's log: whom it was started as, where, in which window state,
// and when (100-ns ticks).
struct Launch {
    std::string commandLine;             // as the recorder got it, UTF-8
    std::string program;                 // its first argument
    std::vector<std::string> arguments;  // the rest, as the program's own parser splits them
    std::string folder;
    int show = -1;
    unsigned long long ticks = 0;
};

inline std::string Utf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<size_t>(std::max(length, 0)), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length,
                            nullptr, nullptr);
    return result;
}

inline std::wstring FromUtf8(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

inline std::vector<Launch> ReadLaunches(const std::string& logFile) {
    std::vector<Launch> launches;
    std::istringstream lines(testsupport::ReadWholeFile(logFile).value_or(""));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        for (size_t start = 0;;) {
            const size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (fields.size() != 5)
            continue;
        Launch launch{fields[0], fields[1], {}, fields[2], std::stoi(fields[3]), std::stoull(fields[4])};
        int count = 0;
        if (LPWSTR* argv = CommandLineToArgvW(FromUtf8(fields[0]).c_str(), &count)) {
            for (int i = 1; i < count; ++i)
                launch.arguments.push_back(Utf8(argv[i]));
            LocalFree(argv);
        }
        launches.push_back(std::move(launch));
    }
    return launches;
}

// The main window as a user sees it: its controls found by class and caption.
struct MainWindow {
    HWND window = nullptr;
    HWND grid = nullptr;
    HWND status = nullptr;

    HWND Button(const std::string& caption) const { return FindButton(window, caption); }
    std::vector<std::vector<std::string>> Rows() const { return GridCells(grid); }
    std::string StatusText() const { return StatusBarText(status); }
};

// A sandboxed program run driven through its window.
class ScenarioTest : public SequoraTest {
  protected:
    void SeedRunValue(HKEY root, const std::string& name, const std::string& text, DWORD type = REG_SZ) {
        testsupport::WriteRawValue(root, kRunKey, name, type, testsupport::SzBytes(text));
    }

    MainWindow WaitForMainWindow(const Process& app) {
        MainWindow main;
        main.window = WaitForTopLevelWindow(app.Id(), "TFrmMain", kWindowTimeoutMs);
        if (main.window) {
            main.grid = FindChild(main.window, "TEnhancedStrGrid");
            main.status = FindChild(main.window, "msctls_statusbar32");
        }
        return main;
    }

    // Waits for the next message box, checks its caption and the start of its text, presses
    // the button and waits for it to go. The box's text is returned for further checks.
    std::string Answer(const Process& app,
                       const std::string& caption,
                       const std::string& textStart,
                       int button) {
        std::optional<MessageBoxInfo> box = WaitForMessageBox(app.Id(), kBoxTimeoutMs);
        if (!box) {
            ADD_FAILURE() << "no message box \"" << textStart << "\"";
            return {};
        }
        EXPECT_EQ(box->caption, caption) << box->text;
        EXPECT_EQ(box->text.compare(0, textStart.size(), textStart), 0) << box->text;
        EXPECT_TRUE(PressMessageBoxButton(box->window, button));
        // The next box may follow at once: wait for this one to go, not for none to be left.
        const HWND answered = box->window;
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(answered) || !IsVisible(answered); }, kBoxTimeoutMs));
        return box->text;
    }

    // A first start up to its prompt, answered; then the import, confirmed.
    MainWindow StartFirstRunAndImport(Process& app) {
        Answer(app, "Information", "Press the \"Import\" button to import the start up objects", IDOK);
        MainWindow main = WaitForMainWindow(app);
        EXPECT_NE(main.window, nullptr);
        EXPECT_TRUE(ClickButton(main.Button("Import startup objects")));
        Answer(app, "Confirm", "Do you want to set Sequora to manage your start up items?", IDYES);
        return main;
    }

    // Opens the table's in-place editor on the cell at `where` (client pixels): a click, then F2.
    // Null, after a failure, when no editor shows.
    HWND OpenCellEditor(const MainWindow& main, LPARAM where) {
        EXPECT_TRUE(PostMessageA(main.grid, WM_LBUTTONDOWN, MK_LBUTTON, where));
        EXPECT_TRUE(PostMessageA(main.grid, WM_LBUTTONUP, 0, where));
        EXPECT_TRUE(PostMessageA(main.grid, WM_KEYDOWN, VK_F2, 0));
        HWND editor = nullptr;
        if (!WaitUntil(
                [&] {
                    editor = FindChild(main.grid, "Edit");
                    return editor && IsVisible(editor);
                },
                5000)) {
            ADD_FAILURE() << "no in-place editor";
            return nullptr;
        }
        return editor;
    }

    // Closes the window; when the exit is expected to show an error box, it is checked and answered.
    void CloseAndWait(Process& app, const MainWindow& main, const std::string& exitError = {}) {
        ASSERT_TRUE(RequestClose(main.window));
        if (!exitError.empty())
            Answer(app, "Error", exitError, IDOK);
        const std::optional<DWORD> exitCode = app.WaitForExit(kWindowTimeoutMs);
        ASSERT_TRUE(exitCode.has_value()) << "still running after WM_CLOSE";
        EXPECT_EQ(*exitCode, 0u);
    }

    // Where the program keeps its files: the user's roaming application data, elevated or not.
    std::string DataFolder() const { return AppDataFolder() + "Sequora\\"; }
    std::string TableFile() const { return DataFolder() + "StartUpObjects.bin"; }
    std::string LogFile() const { return DataFolder() + "sequora-log.txt"; }
    std::string ErrorLogFile() const { return DataFolder() + "sequora-errors.txt"; }
    std::string BackupFolder() const { return DataFolder() + "backups\\"; }
    // A table file (or any file of the data folder) as an earlier run left it.
    void WriteDataFile(const std::string& file, const std::string& text) {
        CreateDirectoryA(DataFolder().c_str(), nullptr);
        testsupport::WriteWholeFile(file, text);
    }
    // The user has once confirmed an import: later starts import by themselves.
    void ConfirmImports() {
        testsupport::WriteRawValue(UserRoot(), kSettingsKey, "ImportConfirmed", REG_DWORD,
                                   testsupport::DwordBytes(1));
    }
    std::string OwnRunValue() const { return "\"" + ProgramPath() + "\""; }

    // A copy of the launch recorder under its own name, so that each item shows in the launch log.
    std::string Recorder(const std::string& name) {
        CreateDirectoryA(RecorderFolder().c_str(), nullptr);
        const std::string path = RecorderFolder() + name + ".exe";
        const std::string built = HostPathToWindows(SEQUORA_LAUNCH_RECORDER);
        EXPECT_TRUE(CopyFileA(built.c_str(), path.c_str(), FALSE)) << path;
        return path;
    }
    std::string RecorderFolder() const { return ProgramFolder() + "rec\\"; }
};

}  // namespace e2e
