#include "app/Launcher.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "common/Win32Handles.h"
#include "common/ZorvaneTPU.h"

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
    return Execute(L"open", ExpandW(AnsiToWide(path)), ExpandW(AnsiToWide(params)), ExpandW(AnsiToWide(folder)), show);
}

LaunchResult LaunchShortcut(const std::string& file) {
    const std::wstring shortcut = AnsiToWide(file);
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid())) ||
        FAILED(persist->Load(shortcut.c_str(), STGM_READ)))
        return Execute(nullptr, shortcut, {}, {}, SW_SHOWNORMAL);

    DWORD flags = 0;
    ComPtr<IShellLinkDataList> data;
    if (SUCCEEDED(link->QueryInterface(IID_IShellLinkDataList, data.PutVoid())))
        data->GetFlags(&flags);
    std::vector<wchar_t> buffer(32768, L'\0');
    std::wstring target;
    if (link->GetPath(buffer.data(), static_cast<int>(buffer.size()), nullptr, 0) == S_OK)
        target = buffer.data();
    if (target.empty() || (flags & (SLDF_HAS_DARWINID | SLDF_RUNAS_USER)))
        return Execute(nullptr, shortcut, {}, {}, SW_SHOWNORMAL);

    // Wine's shell ignores a shortcut's window state when it opens one; Windows applies it.
    // Starting the target with what the shortcut stores behaves as Windows does on both.
    buffer.assign(buffer.size(), L'\0');
    std::wstring args;
    if (SUCCEEDED(link->GetArguments(buffer.data(), static_cast<int>(buffer.size()))))
        args = buffer.data();
    buffer.assign(buffer.size(), L'\0');
    std::wstring folder;
    if (SUCCEEDED(link->GetWorkingDirectory(buffer.data(), static_cast<int>(buffer.size()))))
        folder = ExpandW(buffer.data());
    int show = SW_SHOWNORMAL;
    if (FAILED(link->GetShowCmd(&show)))
        show = SW_SHOWNORMAL;
    return Execute(nullptr, ExpandW(target), args, folder, show);
}

std::string ShortcutWorkingFolder(const std::string& file) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid())) ||
        FAILED(persist->Load(AnsiToWide(file).c_str(), STGM_READ)))
        return {};
    std::vector<wchar_t> buffer(32768, L'\0');
    if (FAILED(link->GetWorkingDirectory(buffer.data(), static_cast<int>(buffer.size()))))
        return {};
    return NarrowLossy(buffer.data());
}
