#include "app/StartupSources.h"

#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "common/Win32Handles.h"
#include "common/ZorvaneTPU.h"

const char* const kStartupApprovedRun =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const char* const kStartupApprovedFolder =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";

namespace {

struct RawValue {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
};

// Every value of an open key, in the registry's order, names and data whole whatever their length.
std::vector<RawValue> ReadAllValues(HKEY key) {
    std::vector<RawValue> values;
    DWORD count = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName,
                         &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return values;
    std::string name(maxName + 1, '\0');
    std::string data(maxData + 1, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &dataLength);
        if (result == ERROR_MORE_DATA) {
            // The key changed since it was measured: grow and read this index again.
            name.resize(name.size() * 2 + 256);
            data.resize(std::max<size_t>(data.size() * 2, dataLength + 1));
            --index;
            continue;
        }
        if (result != ERROR_SUCCESS)
            break;
        values.push_back(RawValue{name.substr(0, nameLength), type, data.substr(0, dataLength)});
    }
    return values;
}

bool IsDisabled(HKEY root, const char* approvedKey, const std::string& name) {
    RegKey key = OpenRegKey(root, approvedKey, false, KEY_QUERY_VALUE);
    if (!key)
        return false;
    BYTE first[16];
    DWORD length = sizeof first;
    DWORD type = REG_NONE;
    LONG result = RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, first, &length);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
        return false;
    return IsDisabledByStartupApproved(std::string(reinterpret_cast<char*>(first), length > 0 ? 1 : 0));
}

const char* RootName(HKEY root) {
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

}  // namespace

bool StartupSources::ReadRunKey(HKEY root) {
    RegKey key = OpenRegKey(root, kRunKeyPath, false);
    if (!key)
        return false;
    for (RawValue& value : ReadAllValues(key.Get())) {
        CollectedEntry entry;
        entry.source = CollectedEntry::Source::RunValue;
        if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.data.empty()) {
            // Stored text may carry its terminating zero (or none): it ends at the first.
            std::string text = value.data.substr(0, value.data.find('\0'));
            entry.text = value.name + "=" + text;
        } else {
            entry.text = value.name + "=";
            entry.notText = true;
        }
        entry.disabledByWindows = IsDisabled(root, kStartupApprovedRun, value.name);
        entries_.push_back(std::move(entry));
        origins_.push_back(Origin{root, std::move(value.name), {}});
    }
    return true;
}

void StartupSources::AddShortcuts(const std::vector<std::string>& files, int csidl) {
    HKEY approvedRoot = csidl == CSIDL_COMMON_STARTUP ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    for (const std::string& file : files) {
        CollectedEntry entry;
        entry.source = CollectedEntry::Source::Shortcut;
        entry.text = ResolveShortcut(file);
        entry.disabledByWindows = IsDisabled(approvedRoot, kStartupApprovedFolder, ExtractFileName(file));
        entries_.push_back(std::move(entry));
        origins_.push_back(Origin{nullptr, {}, file});
    }
}

std::string StartupSources::NotTextReport() const {
    std::string names;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].notText)
            names += std::string(RootName(origins_[i].root)) + "\\" + kRunKeyPath + ": \"" +
                     origins_[i].valueName + "\"\r\n";
    }
    if (names.empty())
        return {};
    return "These start up entries were not imported and are left where they are, because their data is not "
           "text:\r\n\r\n" +
           names;
}

void StartupSources::RemoveHeld(const std::vector<EntryOutcome>& outcomes) const {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        RegKey key = OpenRegKey(root, kRunKeyPath, false);
        if (!key)
            continue;
        for (size_t i = 0; i < origins_.size() && i < outcomes.size(); ++i) {
            if (origins_[i].root == root && MayRemoveSource(outcomes[i]))
                RegDeleteValueA(key.Get(), origins_[i].valueName.c_str());
        }
    }
    for (size_t i = 0; i < origins_.size() && i < outcomes.size(); ++i) {
        if (!origins_[i].file.empty() && MayRemoveSource(outcomes[i])) {
            // A read-only, hidden or system shortcut is deleted like the others.
            SetFileAttributesA(origins_[i].file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(origins_[i].file.c_str());
        }
    }
}
