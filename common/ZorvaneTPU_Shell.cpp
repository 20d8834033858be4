// Shell helpers and system queries.
#include "common/ZorvaneTPU.h"

#include <vector>

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
