#include "app/Launcher.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>


#include "common/ShellLink.h"
#include "common/Win32Handles.h"
#include "common/ZorvaneTPU.h"

// mingw-w64's winerror.h lacks it.
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

namespace {

std::wstring ExpandW(const std::wstring& text) {
    if (text.find(L'%') == std::wstring::npos)
        return text;
    DWORD length = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (length == 0)
        return text;
    std::wstring expanded(length, L'\0');
    length = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), length);
    if (length == 0 || length > expanded.size())
        return text;
    expanded.resize(length - 1);
    return expanded;
}

LaunchResult Execute(const wchar_t* verb,
                     const std::wstring& file,
                     const std::wstring& params,
                     const std::wstring& folder,
                     int show) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    // No error box of the shell's: the sequence goes on, and the caller says what failed.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpParameters = params.empty() ? nullptr : params.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = show;
    LaunchResult result;
    result.started = ShellExecuteExW(&info) != FALSE;
    if (!result.started) {
        result.error = GetLastError();
        if (result.error == ERROR_SUCCESS)
            result.error = ERROR_FILE_NOT_FOUND;
    }
    return result;
}

}  // namespace

std::string ExpandEnvironment(const std::string& text) {
    if (text.find('%') == std::string::npos)
        return text;
    return NarrowLossy(ExpandW(AnsiToWide(text)));
}

LaunchResult LaunchCommand(const std::string& path,
                           const std::string& params,
                           const std::string& folder,
                           int show) {
    return Execute(L"open", ExpandW(AnsiToWide(path)), ExpandW(AnsiToWide(params)),
                   ExpandW(AnsiToWide(folder)), show);
}

LaunchResult LaunchShortcut(const std::string& file) {
    const std::wstring shortcut = AnsiToWide(file);
    const ComPtr<IShellLinkW> link = LoadShellLink(shortcut);
    if (!link)
        return Execute(nullptr, shortcut, {}, {}, SW_SHOWNORMAL);

    const ShellLinkFields fields = ReadShellLinkFields(*link.Get(), 0);
    // A shortcut that asks for administrator rights would hold the sequence at the system's
    // consent prompt; Windows does not start one at log-on either.
    if (fields.flags & SLDF_RUNAS_USER)
        return LaunchResult{false, ERROR_ELEVATION_REQUIRED};
    if (fields.target.empty() || (fields.flags & SLDF_HAS_DARWINID))
        return Execute(nullptr, shortcut, {}, {}, SW_SHOWNORMAL);

    // Wine's shell ignores a shortcut's window state when it opens one; Windows applies it.
    // Starting the target with what the shortcut stores behaves as Windows does on both.
    return Execute(nullptr, ExpandW(fields.target), fields.arguments, ExpandW(fields.workingFolder),
                   fields.show);
}

std::string ShortcutWorkingFolder(const std::string& file) {
    const ComPtr<IShellLinkW> link = LoadShellLink(AnsiToWide(file));
    return link ? NarrowLossy(ReadShellLinkFields(*link.Get(), 0).workingFolder) : std::string();
}

// A program named in an unquoted Run value, found as CreateProcess finds it: a name with a folder
// where it says, a bare name in the system folders and then along PATH (where Explorer, which
// starts the Run values, finds it).
bool ProgramExists(const std::string& candidate) {
    const std::wstring name = AnsiToWide(candidate);
    if (name.empty())
        return false;
    if (candidate.find_first_of("\\/:") != std::string::npos) {
        const DWORD attributes = GetFileAttributesW(name.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    wchar_t folder[MAX_PATH] = {};
    std::wstring searchPath;
    if (UINT length = GetSystemDirectoryW(folder, MAX_PATH); length > 0 && length < MAX_PATH)
        searchPath += std::wstring(folder) + L";";
    if (UINT length = GetWindowsDirectoryW(folder, MAX_PATH); length > 0 && length < MAX_PATH)
        searchPath += std::wstring(folder) + L"\\System;" + folder + L";";
    if (DWORD length = GetEnvironmentVariableW(L"PATH", nullptr, 0); length > 0) {
        std::wstring path(length, L'\0');
        length = GetEnvironmentVariableW(L"PATH", path.data(), length);
        path.resize(length);
        searchPath += path;
    }
    wchar_t found[MAX_PATH] = {};
    const DWORD length = SearchPathW(searchPath.c_str(), name.c_str(), nullptr, MAX_PATH, found, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return false;
    const DWORD attributes = GetFileAttributesW(found);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
