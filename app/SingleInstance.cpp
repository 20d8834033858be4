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

// Security attributes that let the user (and only the user) at an object from any of the user's
// processes, whatever their integrity level; none (the defaults) when they cannot be built.
class ObjectAccess {
  public:
    explicit ObjectAccess(const std::string& sid) {
        const std::string sddl = "D:(A;;GA;;;" + sid + ")S:(ML;;NW;;;ME)";
        if (sid != "unknown" && ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                    sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
            attributes_.nLength = sizeof attributes_;
            attributes_.lpSecurityDescriptor = descriptor_;
            attributes_.bInheritHandle = FALSE;
        }
    }
    ~ObjectAccess() {
        if (descriptor_)
            LocalFree(descriptor_);
    }
    ObjectAccess(const ObjectAccess&) = delete;
    ObjectAccess& operator=(const ObjectAccess&) = delete;
    SECURITY_ATTRIBUTES* Get() const { return descriptor_ ? &attributes_ : nullptr; }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    mutable SECURITY_ATTRIBUTES attributes_ = {};
};

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
    const std::string sid = UserSidText();
    const std::string base = "Local\\Zorvane.Sequora." + ObjectName(sid + (scope.empty() ? "" : "." + scope));
    // The user's starts may all open these, elevated or not: an elevated start labels them for
    // the standard one, which a default label would keep out.
    const ObjectAccess access(sid);
    mutex_ = KernelHandle(CreateMutexA(access.Get(), TRUE, (base + ".Running").c_str()));
    const DWORD error = GetLastError();
    // A mutex this start may not open is another start's: an elevated one's, which only
    // administrators may open. Without the mutex for any other reason nothing can tell two starts
    // apart, and the start goes on alone, as it would have without this check.
    first_ = mutex_ ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
    mappingName_ = base + ".Process";
    if (first_) {
        mapping_ = KernelHandle(CreateFileMappingA(INVALID_HANDLE_VALUE, access.Get(), PAGE_READWRITE, 0,
                                                   sizeof(DWORD), mappingName_.c_str()));
        if (mapping_) {
            if (void* view = MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, sizeof(DWORD))) {
                *static_cast<DWORD*>(view) = GetCurrentProcessId();
                UnmapViewOfFile(view);
            }
        }
    }
}

bool SingleInstance::ActivateRunning(const char* windowClass, DWORD timeoutMs) const {
    if (first_)
        return false;
    // The running start may have taken its mutex but not yet told its process, or may still be
    // creating its window (its first-run prompt, a slow import).
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    DWORD processId = 0;
    for (;;) {
        if (!mapping_)
            mapping_ = KernelHandle(OpenFileMappingA(FILE_MAP_READ, FALSE, mappingName_.c_str()));
        if (mapping_) {
            if (const void* view = MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, sizeof(DWORD))) {
                processId = *static_cast<const DWORD*>(view);
                UnmapViewOfFile(view);
            }
        }
        if (processId != 0)
            break;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(50);
    }
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
