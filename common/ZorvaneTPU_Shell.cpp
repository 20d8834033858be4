// Shell helpers: shell folders, shortcut targets, the program's own path and version, the code-page
// conversions of the program's 8-bit texts, and opening things through the shell.
#include "common/ShellLink.h"
#include "common/ZorvaneTPU.h"
#include "common/ZorvaneTPU_Win32.h"

#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <vector>

namespace {

[[noreturn]] void RaiseComError(const char* what, HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof(code), "%08lX", static_cast<unsigned long>(result));
    throw EOSError(std::string(what) + " failed. System Error.  Code: 0x" + code + ".\r\n" +
                   SystemErrorText(static_cast<DWORD>(result)));
}

}  // namespace

std::string GetSpecialFolder(int csidl) {
    if (const std::optional<std::string>* folder = SpecialFolderOverride(csidl))
        return *folder ? TrailBackslash(**folder) : std::string();
    // The shell fills at most MAX_PATH characters and the terminator.
    char path[MAX_PATH + 1] = {};
    // Current path, nothing created: flags 0 and no token.
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || path[0] == '\0')
        return {};
    return TrailBackslash(path);
}

std::string ResolveShortcut(const std::string& fileName) {
    ComPtr<IShellLinkA> link;
    HRESULT result =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid());
    if (FAILED(result))
        RaiseComError("Creating the shell link object", result);
    ComPtr<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, file.PutVoid());
    if (FAILED(result))
        RaiseComError("Taking the shell link's IPersistFile", result);

    std::wstring wideName = AnsiToWide(fileName);
    if (wideName.empty() || FAILED(file->Load(wideName.c_str(), STGM_READ)))
        return {};
    // Larger than any Windows path, so that no stored target can be cut short.
    std::vector<char> target(32768, '\0');
    // No search for a moved target and no user interface: only what the shortcut stores.
    result = link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, SLGP_SHORTPATH);
    if (result != S_OK)
        return {};
    return std::string(target.data());
}

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string AnsiToUtf8(const std::string& text) {
    const std::wstring wide = AnsiToWide(text);
    if (wide.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

bool Narrow(const std::wstring& text, std::string& result) {
    result.clear();
    if (text.empty())
        return true;
    const int size = static_cast<int>(text.size());
    // UTF-8 carries every character; only a lone surrogate fails, which WC_ERR_INVALID_CHARS
    // reports. Other code pages report a character they lack through the default-character flag,
    // and best-fit mapping is off so that no look-alike passes for the real name.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int length = WideCharToMultiByte(CP_ACP, flags, text.data(), size, nullptr, 0, nullptr, usedDefaultOut);
    if (length <= 0) {
        result = NarrowLossy(text);
        return false;
    }
    result.resize(static_cast<size_t>(length));
    WideCharToMultiByte(CP_ACP, flags, text.data(), size, result.data(), length, nullptr, usedDefaultOut);
    return !usedDefault;
}

std::string NarrowLossy(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, result.data(), length, nullptr, nullptr);
    return result;
}

ComPtr<IShellLinkW> LoadShellLink(const std::wstring& file) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ)))
        return {};
    return link;
}

ShellLinkFields ReadShellLinkFields(IShellLinkW& link, DWORD pathFlags) {
    ShellLinkFields fields;
    // Larger than any Windows path or command line, so that nothing stored is cut short.
    std::vector<wchar_t> buffer(32768, L'\0');
    const int size = static_cast<int>(buffer.size());
    if (link.GetPath(buffer.data(), size, nullptr, pathFlags) == S_OK)
        fields.target = buffer.data();
    buffer.assign(buffer.size(), L'\0');
    if (SUCCEEDED(link.GetArguments(buffer.data(), size)))
        fields.arguments = buffer.data();
    buffer.assign(buffer.size(), L'\0');
    if (SUCCEEDED(link.GetWorkingDirectory(buffer.data(), size)))
        fields.workingFolder = buffer.data();
    if (FAILED(link.GetShowCmd(&fields.show)))
        fields.show = SW_SHOWNORMAL;
    ComPtr<IShellLinkDataList> data;
    if (SUCCEEDED(link.QueryInterface(IID_IShellLinkDataList, data.PutVoid())))
        data->GetFlags(&fields.flags);
    return fields;
}

bool ExecuteFile(const std::string& target, const std::string& params) {
    HINSTANCE result = ShellExecuteA(nullptr, "open", target.c_str(),
                                     params.empty() ? nullptr : params.c_str(), nullptr, SW_SHOWNORMAL);
    // Values up to 32 are the shell's error codes.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

std::string GetAppExeName() {
    // The module path can exceed MAX_PATH (long-path aware systems): grow until it fits.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string GetAppVersion() {
    const std::string kFailure = "Cannot obtain version info!";
    std::string exe = GetAppExeName();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    if (size == 0)
        return kFailure;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(exe.c_str(), 0, size, block.data()))
        return kFailure;
    void* info = nullptr;
    UINT infoLength = 0;
    if (!VerQueryValueA(block.data(), "\\", &info, &infoLength) || !info ||
        infoLength != sizeof(VS_FIXEDFILEINFO))
        return kFailure;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(info);
    char text[64];
    wsprintfA(text, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    return text;
}

std::string GetAppVersionShort() {
    std::string version = GetAppVersion();
    size_t dot = version.rfind('.');
    return dot == std::string::npos ? std::string() : version.substr(0, dot);
}
