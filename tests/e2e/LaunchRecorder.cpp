// A stand-in for a start-up program: it appends one line, its own command line, a TAB and the
// time it started (GetSystemTimeAsFileTime in 100-ns ticks, decimal), CR LF, to the file named by
// the environment variable SEQUORA_LAUNCH_LOG, and exits. End-to-end tests point Run values and
// shortcuts at it to see what was launched, with which parameters, and when.
// Exit codes: 0 recorded, 2 no log file named, 3 the log could not be written.
#include <windows.h>

#include <string>

namespace {

// Several recorders may start in the same second; the log is opened without sharing, so the
// others wait their turn instead of interleaving their lines.
HANDLE OpenLogExclusively(const std::string& path) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        HANDLE log = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE)
            return log;
        if (GetLastError() != ERROR_SHARING_VIOLATION)
            return INVALID_HANDLE_VALUE;
        Sleep(10);
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;

    char logPath[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("SEQUORA_LAUNCH_LOG", logPath, sizeof(logPath));
    if (length == 0 || length >= sizeof(logPath))
        return 2;

    const std::string line = std::string(GetCommandLineA()) + "\t" + std::to_string(ticks) + "\r\n";
    HANDLE log = OpenLogExclusively(std::string(logPath, length));
    if (log == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    const bool ok = WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                    written == line.size();
    CloseHandle(log);
    return ok ? 0 : 3;
}
