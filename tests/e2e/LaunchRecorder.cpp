// A stand-in for a start-up program: it appends one line to the file named by the environment
// variable SEQUORA_LAUNCH_LOG and exits. The line holds, TAB-separated, its own command line, the
// file it runs from (what was started, however the command line names it), the folder it started
// in and the window state it was asked for (STARTUPINFO's wShowWindow, or -1 when none was
// given), all as UTF-8, and the time it started (GetSystemTimeAsFileTime in 100-ns ticks,
// decimal), then CR LF. End-to-end tests point Run values and shortcuts at it to see what
// was launched, how, and when.
// Exit codes: 0 recorded, 2 no log file named, 3 the log could not be written.
#include <windows.h>

#include <string>

namespace {

// Several recorders may start in the same second; the log is opened without sharing, so the
// others wait their turn instead of interleaving their lines.
HANDLE OpenLogExclusively(const wchar_t* path) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        HANDLE log =
            CreateFileW(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE)
            return log;
        if (GetLastError() != ERROR_SHARING_VIOLATION)
            return INVALID_HANDLE_VALUE;
        Sleep(10);
    }
    return INVALID_HANDLE_VALUE;
}

std::string Utf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length,
                            nullptr, nullptr);
    return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;

    wchar_t logPath[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"SEQUORA_LAUNCH_LOG", logPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 2;

    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    const std::string line = Utf8(GetCommandLineW()) + "\t" + Utf8(module) + "\t" + Utf8(folder) + "\t" +
                             std::to_string(show) + "\t" + std::to_string(ticks) + "\r\n";
    HANDLE log = OpenLogExclusively(logPath);
    if (log == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    const bool ok = WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                    written == line.size();
    CloseHandle(log);
    return ok ? 0 : 3;
}
