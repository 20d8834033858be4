#include "app/SingleInstance.h"

#include <sddl.h>

#include <vector>

namespace {

// The user's SID as text: two users in one session (a program run as another user) each have
// their own Sequora.
std::string UserSidText() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken))
        return "unknown";
    KernelHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    char* text = nullptr;
    if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return "unknown";
    std::string sid = text;
    LocalFree(text);
    return sid;
}

// Kernel object names may hold no backslash after their namespace.
std::string ObjectName(std::string text) {
    for (char& c : text)
        if (c == '\\')
            c = '/';
    return text;
}

struct FindWindowOf {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<FindWindowOf*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    if (owner == search->processId && GetClassNameA(window, className, sizeof className) &&
        lstrcmpiA(className, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

SingleInstance::SingleInstance(const std::string& scope) {
    const std::string base =
        "Local\\Zorvane.Sequora." + ObjectName(UserSidText() + (scope.empty() ? "" : "." + scope));
    mutex_ = KernelHandle(CreateMutexA(nullptr, TRUE, (base + ".Running").c_str()));
    // Without the mutex (no rights to the namespace) nothing could tell two starts apart; the
    // start then goes on alone, as it would have without this check.
    first_ = !mutex_ || GetLastError() != ERROR_ALREADY_EXISTS;
    const std::string mappingName = base + ".Process";
    if (first_) {
        mapping_ = KernelHandle(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                   sizeof(DWORD), mappingName.c_str()));
        if (mapping_) {
            if (void* view = MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, sizeof(DWORD))) {
                *static_cast<DWORD*>(view) = GetCurrentProcessId();
                UnmapViewOfFile(view);
            }
        }
    } else {
        mapping_ = KernelHandle(OpenFileMappingA(FILE_MAP_READ, FALSE, mappingName.c_str()));
    }
}

bool SingleInstance::ActivateRunning(const char* windowClass, DWORD timeoutMs) const {
    if (first_ || !mapping_)
        return false;
    DWORD processId = 0;
    if (const void* view = MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, sizeof(DWORD))) {
        processId = *static_cast<const DWORD*>(view);
        UnmapViewOfFile(view);
    }
    if (processId == 0)
        return false;
    // The running start may still be creating its window (its first-run prompt, a slow import).
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        FindWindowOf search{processId, windowClass, nullptr};
        EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found && IsWindowVisible(search.found)) {
            if (IsIconic(search.found))
                ShowWindowAsync(search.found, SW_RESTORE);
            SetForegroundWindow(search.found);
            return true;
        }
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(100);
    }
}
