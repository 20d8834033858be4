// System queries: platform and version, elevation and Administrators membership, and the test
// seams that stand in for them where the application data folder is chosen.
#include "common/ZorvaneTPU.h"
#include "common/ZorvaneTPU_Win32.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int kPlatformNT = 2;
constexpr int kPlatform9x = 1;

struct SystemVersion {
    int platformId = 0;
    int major = 0;
    int minor = 0;
};

std::optional<SystemVersion> QueryVersion() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
        return std::nullopt;
    return SystemVersion{static_cast<int>(info.dwPlatformId), static_cast<int>(info.dwMajorVersion),
                         static_cast<int>(info.dwMinorVersion)};
}

// Asked once, the first time any of the cached queries needs it; the answer cannot change while
// the process runs.
const SystemVersion& StartupVersion() {
    static const SystemVersion version = QueryVersion().value_or(SystemVersion{});
    return version;
}

struct Seams {
    std::optional<int> platformId;
    // A present entry with no path makes the folder fail.
    std::map<int, std::optional<std::string>> specialFolders;
};

Seams& TestSeams() {
    static Seams seams;
    return seams;
}

struct SidDeleter {
    void operator()(PSID sid) const noexcept { FreeSid(sid); }
};
using SidOwner = std::unique_ptr<void, SidDeleter>;

KernelHandle OpenOwnToken() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return KernelHandle();
    return KernelHandle(token);
}

}  // namespace

std::string SystemErrorText(DWORD code) {
    char* buffer = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer)
        text.assign(buffer, length);
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
        text = "Error " + std::to_string(code);
    return text;
}

const std::optional<std::string>* SpecialFolderOverride(int csidl) {
    const auto& folders = TestSeams().specialFolders;
    auto found = folders.find(csidl);
    return found == folders.end() ? nullptr : &found->second;
}

int PlatformIdForAppData() {
    const Seams& seams = TestSeams();
    return seams.platformId ? *seams.platformId : GetPlatformId();
}

namespace seams {

void OverrideSpecialFolder(int csidl, const std::string& path) {
    if (path.empty())
        TestSeams().specialFolders.erase(csidl);
    else
        TestSeams().specialFolders[csidl] = path;
}

void FailSpecialFolder(int csidl) {
    TestSeams().specialFolders[csidl] = std::nullopt;
}

void ResetSpecialFolders() {
    TestSeams().specialFolders.clear();
}

void OverridePlatformId(int platformId) {
    TestSeams().platformId = platformId;
}

void ResetSystemQueries() {
    TestSeams().platformId.reset();
}

}  // namespace seams

int GetPlatformId() {
    std::optional<SystemVersion> version = QueryVersion();
    return version ? version->platformId : 0;
}

bool IsWinNT() {
    return StartupVersion().platformId == kPlatformNT;
}

bool IsWin9x() {
    return StartupVersion().platformId == kPlatform9x;
}

bool IsWin7OrNewer() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel && GetProcAddress(kernel, "PowerCreateRequest") != nullptr;
}

OSVersion GetOSVersion() {
    const SystemVersion& version = StartupVersion();
    // Only the NT family's major 6 needs the export; it is looked up only then.
    bool hasExport = version.platformId == kPlatformNT && version.major == 6 && IsWin7OrNewer();
    return OSVersionFromNumbers(version.platformId, version.major, version.minor, hasExport);
}

int GetElevationType() {
    KernelHandle token = OpenOwnToken();
    if (!token)
        return -1;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD length = 0;
    if (!GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof(type), &length)) {
        ShowMsg(SystemErrorText(GetLastError()));
        return -1;
    }
    return static_cast<int>(type);
}

bool IsElevated() {
    return GetElevationType() == TokenElevationTypeFull;
}

bool IsInAdminGroup() {
    if (!IsWinNT())
        return true;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID rawSid = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, &rawSid))
        return false;
    SidOwner admins(rawSid);

    KernelHandle token = OpenOwnToken();
    if (!token)
        return false;
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenGroups, nullptr, 0, &size);
    if (size == 0)
        return false;
    // Allocated through operator new, so aligned for the TOKEN_GROUPS structure it holds.
    std::vector<BYTE> block(size);
    if (!GetTokenInformation(token.Get(), TokenGroups, block.data(), size, &size))
        return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(block.data());
    // Attributes are not looked at: a group held only for deny checks counts too.
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if (EqualSid(groups->Groups[i].Sid, admins.get()))
            return true;
    }
    return false;
}

bool HasAdminRights() {
    return AdminRightsFrom(StartupVersion().platformId, GetOSVersion(), GetElevationType, IsInAdminGroup);
}
