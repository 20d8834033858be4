// Registration in the Run key, and listing or clearing all values of a key.
#include "common/ZorvaneTPU.h"
#include "common/ZorvaneTPU_Win32.h"

#include <algorithm>

const char* const kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

namespace {

// The same key as kRunKeyPath: OpenRegKey reads the leading backslash as "from the root".
constexpr const char* kUserRunKeyPath = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The value's data as text, read whole however long it is. REG_SZ and REG_EXPAND_SZ are taken
// as stored; the text ends at the first zero, so a missing or doubled terminator does not show.
// A value without data is empty text whatever its type; one that vanished since it was listed
// is empty as well.
std::string ReadValueText(HKEY key, const std::string& name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::vector<BYTE> data;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between asking for its size and reading it: read until it fits.
    while (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && data.empty() && size != 0)) {
        // Room for the size just reported plus a terminator the stored data may lack.
        data.resize(std::max(static_cast<size_t>(size) + 1, data.size() * 2));
        size = static_cast<DWORD>(data.size());
        status = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size);
    }
    if (status == ERROR_FILE_NOT_FOUND)
        return {};
    if (status != ERROR_SUCCESS)
        RaiseRegistryError("Failed to get data for '%s'", name);
    if (size == 0)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        RaiseRegistryError("Invalid data type for '%s'", name);
    const char* text = reinterpret_cast<const char*>(data.data());
    size_t length = 0;
    while (length < size && text[length] != '\0')
        ++length;
    return std::string(text, length);
}

}  // namespace

void SetRunAtStartup(const std::string& programPath, bool enable) {
    const std::string name = ExtractOnlyName(programPath);
    RegKey key = OpenRegKey(HKEY_CURRENT_USER, kUserRunKeyPath, enable);
    if (!key)
        return;
    if (!enable) {
        // A value that is not there is already what was asked for.
        RegDeleteValueA(key.Get(), name.c_str());
        return;
    }
    // Quoted, so that a path with blanks is started whole.
    std::string data;
    data.reserve(programPath.size() + 2);
    data.append(1, '"').append(programPath).append(1, '"');
    LONG status =
        RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
    if (status != ERROR_SUCCESS)
        RaiseRegistryError("Failed to set data for '%s'", name);
}

void SetSelfRunAtStartup(bool enable) {
    // Without its own path the program has nothing to register, and must not touch the value
    // that the empty name would address (the key's default value).
    std::string exe = GetAppExeName();
    if (!exe.empty())
        SetRunAtStartup(exe, enable);
}

bool RegReadValues(HKEY root, const std::string& keyPath, bool mayCreate, std::vector<std::string>& lines) {
    RegKey key = OpenRegKey(root, keyPath, mayCreate);
    if (!key)
        return false;
    // Built aside, so that a value of the wrong type leaves the caller's list as it was.
    std::vector<std::string> result = RegValueNames(key.Get());
    for (std::string& line : result) {
        std::string text = ReadValueText(key.Get(), line);
        line.append(1, '=').append(text);
    }
    lines = std::move(result);
    return true;
}

bool DeleteAllValues(HKEY root, const std::string& keyPath) {
    RegKey key = OpenRegKey(root, keyPath, false);
    if (!key)
        return false;
    // Names are collected first: deleting while enumerating would shift the indexes.
    for (const std::string& name : RegValueNames(key.Get()))
        RegDeleteValueA(key.Get(), name.c_str());
    return true;
}
