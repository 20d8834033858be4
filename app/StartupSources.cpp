#include "app/StartupSources.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <utility>

#include "common/ReplacingFileWriter.h"
#include "common/ShellLink.h"
#include "common/Win32Handles.h"
#include "common/ZorvaneTPU.h"

const char* const kStartupApprovedRun =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const char* const kStartupApprovedRun32 =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run32";
const char* const kStartupApprovedFolder =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";

namespace {

const wchar_t kRunKeyW[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Larger than any shortcut a Startup folder holds; a file beyond it is not read whole.
constexpr DWORD kLargestShortcut = 16u << 20;

struct SeamState {
    std::wstring machineRun32Path;
    bool machineReadOnly = false;
};

SeamState& Seams() {
    static SeamState state;
    return state;
}

struct KeyLocation {
    HKEY root;
    std::wstring path;
    REGSAM view;
};

KeyLocation LocationOf(EntryPlace place) {
    switch (place) {
        case EntryPlace::MachineRun:
            return {HKEY_LOCAL_MACHINE, kRunKeyW, KEY_WOW64_64KEY};
        case EntryPlace::MachineRun32:
            if (!Seams().machineRun32Path.empty())
                return {HKEY_LOCAL_MACHINE, Seams().machineRun32Path, 0};
            return {HKEY_LOCAL_MACHINE, kRunKeyW, KEY_WOW64_32KEY};
        default:
            return {HKEY_CURRENT_USER, kRunKeyW, 0};
    }
}

bool RefusedBySeam(EntryPlace place) {
    return Seams().machineReadOnly && IsMachinePlace(place);
}

// Opens (or creates) the key of a Run-key place; an empty owner when that is refused.
RegKey OpenPlaceKey(EntryPlace place, REGSAM access, bool create, LONG* status = nullptr) {
    const KeyLocation where = LocationOf(place);
    HKEY key = nullptr;
    LONG result = ERROR_ACCESS_DENIED;
    if (!(RefusedBySeam(place) && (access & KEY_SET_VALUE)))
        result = create ? RegCreateKeyExW(where.root, where.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          access | where.view, nullptr, &key, nullptr)
                        : RegOpenKeyExW(where.root, where.path.c_str(), 0, access | where.view, &key);
    if (status)
        *status = result;
    return result == ERROR_SUCCESS ? RegKey(key) : RegKey();
}

std::string Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::wstring WideFromBytes(const std::string& bytes) {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy(bytes.data(), bytes.data() + text.size() * sizeof(wchar_t),
              reinterpret_cast<char*>(text.data()));
    return text;
}

// The text a string value holds: its UTF-16 up to the first zero, whether or not one is stored.
std::wstring ValueText(const std::string& data) {
    std::wstring text = WideFromBytes(data);
    return text.substr(0, text.find(L'\0'));
}

struct RawValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::string data;
};

// Every value of an open key, in the registry's order, names and data whole whatever their length.
std::vector<RawValue> ReadAllValues(HKEY key) {
    std::vector<RawValue> values;
    DWORD maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                         &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return values;
    std::wstring name(maxName + 1, L'\0');
    std::string data(maxData + 2, '\0');
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        const LONG result = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &dataLength);
        if (result == ERROR_MORE_DATA) {
            // The key changed since it was measured: grow and read this index again.
            name.resize(std::max<size_t>(name.size() * 2, 16384));
            data.resize(std::max<size_t>(data.size() * 2, static_cast<size_t>(dataLength) + 2));
            continue;
        }
        if (result != ERROR_SUCCESS)
            break;
        values.push_back(RawValue{name.substr(0, nameLength), type, data.substr(0, dataLength)});
        ++index;
    }
    return values;
}

// Windows' own start-up settings of a place, opened once for all its entries (empty when there are
// none).
RegKey OpenStartupApproved(EntryPlace place, const char* approvedKey) {
    return OpenRegKey(IsMachinePlace(place) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, approvedKey, false,
                      KEY_QUERY_VALUE);
}

bool IsDisabled(const RegKey& approved, const std::string& name) {
    if (!approved)
        return false;
    BYTE first[16];
    DWORD length = sizeof first;
    DWORD type = REG_NONE;
    const LONG result = RegQueryValueExA(approved.Get(), name.c_str(), nullptr, &type, first, &length);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
        return false;
    return IsDisabledByStartupApproved(std::string(reinterpret_cast<char*>(first), length > 0 ? 1 : 0));
}

[[nodiscard]] bool ReadWholeFileW(const std::wstring& name, std::string& bytes) {
    KernelHandle file(CreateFileW(name.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kLargestShortcut)
        return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
           read == bytes.size();
}

[[nodiscard]] bool WriteNewFileW(const std::wstring& name, const std::string& bytes, DWORD& error) {
    KernelHandle file(
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size() && FlushFileBuffers(file.Get());
    error = ok ? ERROR_SUCCESS : GetLastError();
    if (!file.Close() && ok)
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(name.c_str());
        return false;
    }
    return true;
}

// What a shortcut file holds for the import: whether it is a shortcut at all, its target (empty
// when it names no file) in its short form, and its arguments.
struct ShortcutInfo {
    bool loaded = false;
    std::wstring target, args;
};

ShortcutInfo ReadShortcut(const std::wstring& file) {
    ShortcutInfo info;
    const ComPtr<IShellLinkW> link = LoadShellLink(file);
    if (!link)
        return info;
    info.loaded = true;
    ShellLinkFields fields = ReadShellLinkFields(*link.Get(), SLGP_SHORTPATH);
    info.target = std::move(fields.target);
    info.args = std::move(fields.arguments);
    return info;
}

GiveBackResult Failure(DWORD error, std::string& reason) {
    reason = SystemErrorText(error);
    return GiveBackResult::Failed;
}

}  // namespace

int PlaceCsidl(EntryPlace place) {
    switch (place) {
        case EntryPlace::CommonStartup:
            return CSIDL_COMMON_STARTUP;
        case EntryPlace::UserStartup:
            return CSIDL_STARTUP;
        case EntryPlace::AltStartup:
            return CSIDL_ALTSTARTUP;
        default:
            return -1;
    }
}

std::string PlaceFolder(EntryPlace place) {
    const int csidl = PlaceCsidl(place);
    return csidl < 0 ? std::string() : TrailBackslash(GetSpecialFolder(csidl));
}

PlaceAccess StartupSources::ReadRunKey(EntryPlace place) {
    // With the right to change it where the process has it, else to read it only.
    RegKey key = OpenPlaceKey(place, KEY_QUERY_VALUE | KEY_SET_VALUE, false);
    const bool changeable = static_cast<bool>(key);
    if (!key)
        key = OpenPlaceKey(place, KEY_QUERY_VALUE, false);
    if (!key)
        return PlaceAccess::Missing;
    const RegKey approved = OpenStartupApproved(
        place, place == EntryPlace::MachineRun32 ? kStartupApprovedRun32 : kStartupApprovedRun);

    for (RawValue& value : ReadAllValues(key.Get())) {
        SourceEntry source;
        KeptEntry& original = source.original;
        CollectedEntry& entry = source.collected;
        original.place = entry.place = place;
        original.rawName = Bytes(value.name);
        bool representable = Narrow(value.name, original.name);
        original.type = value.type;
        original.data = value.data;

        entry.source = CollectedEntry::Source::RunValue;
        entry.sourceName = original.name;
        if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.data.empty()) {
            std::string text;
            representable = Narrow(ValueText(value.data), text) && representable;
            entry.text = original.name + "=" + text;
        } else {
            entry.text = original.name + "=";
            entry.notText = true;
        }
        entry.unrepresentable = !representable;
        entry.placeReadOnly = !changeable;
        entry.disabledByWindows = IsDisabled(approved, original.name);
        entries_.push_back(std::move(source));
    }
    return changeable ? PlaceAccess::Changeable : PlaceAccess::ReadOnly;
}

PlaceAccess StartupSources::AddShortcuts(const std::vector<std::string>& files,
                                         EntryPlace place,
                                         const std::string& keptFolder) {
    const bool machine = IsMachinePlace(place);
    const RegKey approved = OpenStartupApproved(place, kStartupApprovedFolder);
    bool changeable = !RefusedBySeam(place);
    for (const std::string& file : files) {
        SourceEntry source;
        KeptEntry& original = source.original;
        CollectedEntry& entry = source.collected;
        source.file = file;
        const std::string fileName = ExtractFileName(file);
        original.place = entry.place = place;
        original.name = entry.sourceName = fileName;
        const std::wstring wideFile = AnsiToWide(file);
        original.rawName = Bytes(AnsiToWide(fileName));
        const DWORD attributes = GetFileAttributesW(wideFile.c_str());
        original.type = attributes == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_NORMAL : attributes;

        entry.source = CollectedEntry::Source::Shortcut;
        entry.keptShortcut = keptFolder + fileName;
        // A name the finder could only give with a stand-in character ("?" can be no part of a
        // file name) is one the program cannot name again.
        bool representable = fileName.find('?') == std::string::npos;
        if (representable && ReadWholeFileW(wideFile, original.data)) {
            const ShortcutInfo info = ReadShortcut(wideFile);
            entry.shortcutLoaded = info.loaded;
            representable = Narrow(info.target, entry.text) && representable;
            representable = Narrow(info.args, entry.shortcutArgs) && representable;
        }
        entry.unrepresentable = !representable;
        // All users' shortcuts that this process may not delete stay Windows' to start.
        bool deletable = !RefusedBySeam(place);
        if (deletable && machine) {
            KernelHandle probe(CreateFileW(wideFile.c_str(), DELETE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            deletable = probe || GetLastError() != ERROR_ACCESS_DENIED;
        }
        entry.placeReadOnly = !deletable;
        changeable = changeable && deletable;
        entry.disabledByWindows = IsDisabled(approved, fileName);
        entries_.push_back(std::move(source));
    }
    return changeable ? PlaceAccess::Changeable : PlaceAccess::ReadOnly;
}

std::vector<CollectedEntry> StartupSources::Collected() const {
    std::vector<CollectedEntry> collected;
    collected.reserve(entries_.size());
    for (const SourceEntry& source : entries_)
        collected.push_back(source.collected);
    return collected;
}

std::string StartupSources::NotTextNames() const {
    std::string names;
    for (const SourceEntry& source : entries_) {
        if (source.collected.notText)
            names += std::string(PlaceText(source.original.place)) + "\\" + kRunKeyPath + ": \"" +
                     source.original.name + "\"\r\n";
    }
    return names;
}

bool StartupSources::Remove(size_t index) const {
    const SourceEntry& source = entries_.at(index);
    const EntryPlace place = source.original.place;
    if (IsRunKeyPlace(place)) {
        RegKey key = OpenPlaceKey(place, KEY_SET_VALUE, false);
        if (!key)
            return false;
        const LONG result = RegDeleteValueW(key.Get(), WideFromBytes(source.original.rawName).c_str());
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    if (RefusedBySeam(place))
        return false;
    const std::wstring file = AnsiToWide(source.file);
    // A read-only, hidden or system shortcut is deleted like the others.
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(file.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
        return true;
    SetFileAttributesW(file.c_str(), source.original.type);
    return false;
}

GiveBackResult GiveBack(const KeptEntry& original, std::string& reason) {
    const std::wstring name = WideFromBytes(original.rawName);
    if (IsRunKeyPlace(original.place)) {
        LONG status = ERROR_SUCCESS;
        RegKey key = OpenPlaceKey(original.place, KEY_QUERY_VALUE | KEY_SET_VALUE, true, &status);
        if (!key)
            return Failure(static_cast<DWORD>(status), reason);
        DWORD type = REG_NONE, size = 0;
        status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size);
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
            std::string data(size, '\0');
            status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &size);
            data.resize(size);
            return status == ERROR_SUCCESS && type == original.type && data == original.data
                       ? GiveBackResult::AlreadyThere
                       : GiveBackResult::Occupied;
        }
        status = RegSetValueExW(key.Get(), name.c_str(), 0, original.type,
                                reinterpret_cast<const BYTE*>(original.data.data()),
                                static_cast<DWORD>(original.data.size()));
        if (status != ERROR_SUCCESS)
            return Failure(static_cast<DWORD>(status), reason);
        return GiveBackResult::Restored;
    }

    const std::string folder = PlaceFolder(original.place);
    if (folder.empty())
        return Failure(ERROR_PATH_NOT_FOUND, reason);
    if (RefusedBySeam(original.place))
        return Failure(ERROR_ACCESS_DENIED, reason);
    if (!FolderExists(folder) && !ForceFolder(folder))
        return Failure(GetLastError(), reason);
    const std::wstring file = AnsiToWide(folder) + name;
    std::string present;
    if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return ReadWholeFileW(file, present) && present == original.data ? GiveBackResult::AlreadyThere
                                                                         : GiveBackResult::Occupied;
    }
    DWORD error = ERROR_SUCCESS;
    if (!WriteNewFileW(file, original.data, error))
        return Failure(error, reason);
    SetFileAttributesW(file.c_str(), original.type);
    return GiveBackResult::Restored;
}

GiveBackResult AddUserRunValue(const std::string& name, const std::string& data, std::string& reason) {
    KeptEntry value;
    value.place = EntryPlace::UserRun;
    value.rawName = Bytes(AnsiToWide(name));
    value.type = REG_SZ;
    value.data = Bytes(AnsiToWide(data) + L'\0');
    return GiveBack(value, reason);
}

bool WriteKeptShortcut(const KeptEntry& original, const std::string& file) {
    return ForceFolder(ExtractFilePath(file)) && WriteFileReplacing(file, original.data);
}

namespace seams {

void SetMachineRun32Path(const std::string& path) {
    Seams().machineRun32Path = AnsiToWide(path);
}

void SetMachinePlacesReadOnly(bool readOnly) {
    Seams().machineReadOnly = readOnly;
}

}  // namespace seams
