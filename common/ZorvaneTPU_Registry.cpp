// Settings store: integers and flags as REG_DWORD values of one key per call.
#include "common/ZorvaneTPU.h"
#include "common/ZorvaneTPU_Win32.h"

#include <algorithm>

namespace {

constexpr REGSAM kReadOnlyAccess = STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

std::string SettingsKeyPath(const std::string& section) {
    return "Software\\Zorvane\\" + section;
}

// The value's 32 bits. Reports false when the value does not exist; raises when it exists but
// is not a 4-byte REG_DWORD.
bool ReadDword(HKEY key, const std::string& name, int32_t& value) {
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof(data);
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return false;
    if (status != ERROR_SUCCESS)
        RaiseRegistryError("Failed to get data for '%s'", name);
    if (type != REG_DWORD)
        RaiseRegistryError("Invalid data type for '%s'", name);
    // A REG_DWORD shorter than four bytes holds no full integer to give back.
    if (size != sizeof(data))
        RaiseRegistryError("Failed to get data for '%s'", name);
    value = static_cast<int32_t>(data);
    return true;
}

void WriteDword(HKEY key, const std::string& name, uint32_t data) {
    LONG status =
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    if (status != ERROR_SUCCESS)
        RaiseRegistryError("Failed to set data for '%s'", name);
}

}  // namespace

void RaiseRegistryError(const char* format, const std::string& name) {
    std::string message = format;
    message.replace(message.find("%s"), 2, name);
    throw ERegistryException(message);
}

RegKey OpenRegKey(HKEY root, const std::string& keyPath, bool mayCreate, REGSAM access) {
    const char* path = keyPath.c_str();
    if (*path == '\\')
        ++path;
    HKEY key = nullptr;
    LONG status = mayCreate ? RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                              nullptr, &key, nullptr)
                            : RegOpenKeyExA(root, path, 0, access, &key);
    return status == ERROR_SUCCESS ? RegKey(key) : RegKey();
}

std::vector<std::string> RegValueNames(HKEY key) {
    std::vector<std::string> names;
    DWORD longestName = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        longestName = 255;
    // The longest name is reported in characters; an ANSI name can take two bytes for each.
    std::vector<char> buffer(static_cast<size_t>(longestName) * 2 + 2);
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        LONG status = RegEnumValueA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA && buffer.size() < 65536) {
            // A value with a longer name was added since the size was asked for.
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != ERROR_SUCCESS)
            break;
        names.emplace_back(buffer.data(), length);
        ++index;
    }
    return names;
}

bool RegKeyExists(HKEY root, const std::string& keyPath) {
    return static_cast<bool>(OpenRegKey(root, keyPath, false, kReadOnlyAccess));
}

int32_t RegReadInteger(HKEY root,
                       const std::string& keyPath,
                       const std::string& name,
                       bool mayCreate,
                       int32_t defaultValue) {
    RegKey key = OpenRegKey(root, keyPath, mayCreate);
    int32_t value = 0;
    if (key && ReadDword(key.Get(), name, value))
        return value;
    return defaultValue;
}

bool RegReadBool(HKEY root,
                 const std::string& keyPath,
                 const std::string& name,
                 bool mayCreate,
                 bool defaultValue) {
    RegKey key = OpenRegKey(root, keyPath, mayCreate);
    int32_t value = 0;
    if (key && ReadDword(key.Get(), name, value))
        return value != 0;
    return defaultValue;
}

bool RegWriteInteger(HKEY root,
                     const std::string& keyPath,
                     const std::string& name,
                     int32_t value,
                     bool lazyWrite,
                     bool mayCreate) {
    RegKey key = OpenRegKey(root, keyPath, mayCreate);
    if (!key)
        return false;
    key.SetFlushOnClose(!lazyWrite);
    WriteDword(key.Get(), name, static_cast<uint32_t>(value));
    return true;
}

bool RegWriteBool(HKEY root,
                  const std::string& keyPath,
                  const std::string& name,
                  bool value,
                  bool lazyWrite,
                  bool mayCreate) {
    return RegWriteInteger(root, keyPath, name, value ? 1 : 0, lazyWrite, mayCreate);
}

int32_t AppReadInteger(const std::string& section, const std::string& name, int32_t defaultValue) {
    return RegReadInteger(HKEY_CURRENT_USER, SettingsKeyPath(section), name, false, defaultValue);
}

bool AppReadBool(const std::string& section, const std::string& name, bool defaultValue) {
    return RegReadBool(HKEY_CURRENT_USER, SettingsKeyPath(section), name, false, defaultValue);
}

void AppWriteInteger(const std::string& section, const std::string& name, int32_t value) {
    // A key that cannot be created leaves the setting unwritten; there is nobody to tell.
    static_cast<void>(RegWriteInteger(HKEY_CURRENT_USER, SettingsKeyPath(section), name, value, true, true));
}

void AppWriteBool(const std::string& section, const std::string& name, bool value, bool lazyWrite) {
    static_cast<void>(RegWriteBool(HKEY_CURRENT_USER, SettingsKeyPath(section), name, value, lazyWrite, true));
}

bool AppSettingsExist(const std::string& section) {
    return RegKeyExists(HKEY_CURRENT_USER, SettingsKeyPath(section));
}

std::string AppReadString(const std::string& section,
                          const std::string& name,
                          const std::string& defaultValue) {
    RegKey key = OpenRegKey(HKEY_CURRENT_USER, SettingsKeyPath(section), false);
    if (!key)
        return defaultValue;
    DWORD type = REG_NONE, size = 0;
    LONG status = RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return defaultValue;
    if (status != ERROR_SUCCESS)
        RaiseRegistryError("Failed to get data for '%s'", name);
    if (type != REG_SZ)
        RaiseRegistryError("Invalid data type for '%s'", name);
    std::string data(size, '\0');
    status = RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                              &size);
    if (status != ERROR_SUCCESS)
        RaiseRegistryError("Failed to get data for '%s'", name);
    data.resize(std::min<size_t>(size, data.size()));
    return data.substr(0, data.find('\0'));
}

void AppWriteString(const std::string& section, const std::string& name, const std::string& value) {
    RegKey key = OpenRegKey(HKEY_CURRENT_USER, SettingsKeyPath(section), true);
    if (!key)
        return;
    const LONG status =
        RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    if (status != ERROR_SUCCESS)
        RaiseRegistryError("Failed to set data for '%s'", name);
}
