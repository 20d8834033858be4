// The import's view of Windows' start-up places, against scratch registry roots and folders:
// what is read, byte for byte, what is removed, and what Restore writes back.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/StartupSources.h"
#include "common/ZorvaneTPU.h"
#include "tests/wine/CommonTestSupport.h"

using testsupport::ReadRawValue;
using testsupport::SaveShortcut;
using testsupport::SzBytes;
using testsupport::WriteRawValue;

namespace {

// The machine's 32-bit view inside the sandbox, where Windows keeps it physically.
const char kRun32Path[] = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";

class StartupSourcesTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(registry_.Active());
        ASSERT_FALSE(folder_.Path().empty());
        seams::SetMachineRun32Path(kRun32Path);
        seams::OverrideSpecialFolder(CSIDL_STARTUP, folder_.Path());
    }
    void TearDown() override {
        seams::SetMachineRun32Path("");
        seams::SetMachinePlacesReadOnly(false);
        seams::ResetSpecialFolders();
    }

    std::string Startup(const std::string& name) const { return folder_.Path() + name; }

    static std::vector<std::string> ValueNames(HKEY root, const char* path) {
        std::vector<std::string> names;
        HKEY key;
        if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return names;
        char name[512];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(name, length);
        }
        RegCloseKey(key);
        return names;
    }

    static const SourceEntry* Named(const StartupSources& sources, const std::string& name) {
        for (const SourceEntry& entry : sources.Entries())
            if (entry.original.name == name)
                return &entry;
        return nullptr;
    }

  private:
    testsupport::RegistrySandbox registry_;
    testsupport::TempFolder folder_;
};

}  // namespace

// A value whose data is not text keeps its place in the list, marked; everything is read whole,
// and what Windows stores is kept byte for byte, terminators and all.
TEST_F(StartupSourcesTest, RunValuesAreReadWholeAndKeptByteForByte) {
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Alpha", REG_SZ, SzBytes("C:\\a.exe"));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Binary", REG_BINARY, std::string("\x01\x02", 2));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Expand", REG_EXPAND_SZ, SzBytes("%windir%\\x.exe /q"));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Long", REG_SZ, SzBytes(std::string(32 * 1024, 'x')));
    // Stored without its terminator, as some installers write it.
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                            KEY_SET_VALUE, &run),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(run, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\b.exe"), 16),
              ERROR_SUCCESS);
    RegCloseKey(run);

    StartupSources sources;
    ASSERT_EQ(sources.ReadRunKey(EntryPlace::UserRun), PlaceAccess::Changeable);
    ASSERT_EQ(sources.Entries().size(), 5u);
    for (const SourceEntry& entry : sources.Entries()) {
        EXPECT_EQ(entry.collected.notText, entry.original.name == "Binary") << entry.original.name;
        EXPECT_EQ(entry.collected.place, EntryPlace::UserRun);
        EXPECT_FALSE(entry.collected.placeReadOnly);
        EXPECT_FALSE(entry.collected.unrepresentable);
    }
    EXPECT_EQ(Named(sources, "Expand")->collected.text, "Expand=%windir%\\x.exe /q");  // as stored
    EXPECT_EQ(Named(sources, "Expand")->original.type, static_cast<uint32_t>(REG_EXPAND_SZ));
    EXPECT_EQ(Named(sources, "Long")->collected.text.size(), 5u + 32 * 1024);
    EXPECT_EQ(Named(sources, "Bare")->collected.text, "Bare=C:\\b.exe");
    // What is kept is what the registry gives back, to the byte.
    for (const SourceEntry& entry : sources.Entries()) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                                KEY_QUERY_VALUE, &key),
                  ERROR_SUCCESS);
        const std::wstring name(reinterpret_cast<const wchar_t*>(entry.original.rawName.data()),
                                entry.original.rawName.size() / sizeof(wchar_t));
        DWORD type = 0, size = 0;
        RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        std::string data(size, '\0');
        EXPECT_EQ(
            RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size),
            ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_EQ(entry.original.data, data) << entry.original.name;
        EXPECT_EQ(entry.original.type, type) << entry.original.name;
    }
    EXPECT_EQ(Named(sources, "Binary")->original.data, std::string("\x01\x02", 2));
    EXPECT_NE(sources.NotTextNames().find("\"Binary\""), std::string::npos);

    StartupSources none;
    EXPECT_EQ(none.ReadRunKey(EntryPlace::MachineRun), PlaceAccess::Missing);
    EXPECT_TRUE(none.NotTextNames().empty());
}

// The machine's own view and its 32-bit view are two places, each with its own switched-off
// settings; entries whose names this process's code page cannot carry are marked.
TEST_F(StartupSourcesTest, TheMachineViewsAndNamesBeyondTheCodePage) {
    WriteRawValue(HKEY_LOCAL_MACHINE, kRunKeyPath, "Native", REG_SZ, SzBytes("C:\\native.exe"));
    WriteRawValue(HKEY_LOCAL_MACHINE, kRun32Path, "Wow", REG_SZ, SzBytes("C:\\wow.exe"));
    WriteRawValue(HKEY_LOCAL_MACHINE, kStartupApprovedRun32, "Wow", REG_BINARY, std::string("\x03\0\0\0", 4));
    WriteRawValue(HKEY_LOCAL_MACHINE, kStartupApprovedRun, "Wow", REG_BINARY, std::string("\x02\0\0\0", 4));
    HKEY run = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &run, nullptr),
              ERROR_SUCCESS);
    const wchar_t cyrillic[] = L"\x041F\x0440\x043E\x0433\x0440\x0430\x043C\x043C\x0430";  // "Programma"
    ASSERT_EQ(RegSetValueExW(run, cyrillic, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\p.exe"), 18),
              ERROR_SUCCESS);
    RegCloseKey(run);

    StartupSources sources;
    ASSERT_EQ(sources.ReadRunKey(EntryPlace::MachineRun), PlaceAccess::Changeable);
    ASSERT_EQ(sources.ReadRunKey(EntryPlace::MachineRun32), PlaceAccess::Changeable);
    ASSERT_EQ(sources.ReadRunKey(EntryPlace::UserRun), PlaceAccess::Changeable);
    ASSERT_EQ(sources.Entries().size(), 3u);
    EXPECT_EQ(sources.Entries()[0].original.name, "Native");
    EXPECT_EQ(sources.Entries()[0].original.place, EntryPlace::MachineRun);
    EXPECT_EQ(sources.Entries()[1].original.name, "Wow");
    EXPECT_EQ(sources.Entries()[1].original.place, EntryPlace::MachineRun32);
    EXPECT_TRUE(sources.Entries()[1].collected.disabledByWindows);
    // This test program runs in a Western code page: the Cyrillic name cannot be carried, but
    // what Windows holds is kept as it is.
    EXPECT_TRUE(sources.Entries()[2].collected.unrepresentable);
    EXPECT_EQ(sources.Entries()[2].original.rawName,
              std::string(reinterpret_cast<const char*>(cyrillic), sizeof cyrillic - sizeof(wchar_t)));
}

TEST_F(StartupSourcesTest, ShortcutsBringTheirArgumentsAndBytes) {
    SaveShortcut(Startup("Tray.lnk"), "C:\\windows\\notepad.exe", "-minimize \"a b\"");
    testsupport::WriteWholeFile(Startup("Broken.lnk"), "not a shell link at all");
    WriteRawValue(HKEY_CURRENT_USER, kStartupApprovedFolder, "Tray.lnk", REG_BINARY,
                  std::string("\x03\0\0\0", 4));

    StartupSources sources;
    ASSERT_EQ(sources.AddShortcuts({Startup("Tray.lnk"), Startup("Broken.lnk")}, EntryPlace::UserStartup,
                                   "C:\\kept\\Startup\\"),
              PlaceAccess::Changeable);
    ASSERT_EQ(sources.Entries().size(), 2u);
    const SourceEntry& tray = sources.Entries()[0];
    EXPECT_TRUE(tray.collected.shortcutLoaded);
    EXPECT_NE(LowerAscii(tray.collected.text).find("notepad.exe"), std::string::npos) << tray.collected.text;
    EXPECT_EQ(tray.collected.shortcutArgs, "-minimize \"a b\"");
    EXPECT_EQ(tray.collected.keptShortcut, "C:\\kept\\Startup\\Tray.lnk");
    EXPECT_EQ(tray.collected.sourceName, "Tray.lnk");
    EXPECT_TRUE(tray.collected.disabledByWindows);
    EXPECT_EQ(tray.original.data, testsupport::ReadWholeFile(Startup("Tray.lnk")).value_or("?"));
    const SourceEntry& broken = sources.Entries()[1];
    EXPECT_FALSE(broken.collected.shortcutLoaded);
    EXPECT_TRUE(broken.collected.text.empty());
}

// What is removed comes back exactly as it was, in its own key and view or folder; what is there
// already is left alone.
TEST_F(StartupSourcesTest, RemovedEntriesGoBackExactly) {
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Kept", REG_SZ, SzBytes("C:\\kept.exe"));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Taken", REG_EXPAND_SZ,
                  SzBytes("%windir%\\taken.exe") + '\0');
    WriteRawValue(HKEY_LOCAL_MACHINE, kRunKeyPath, "Machine", REG_SZ, SzBytes("C:\\machine.exe"));
    WriteRawValue(HKEY_LOCAL_MACHINE, kRun32Path, "Machine", REG_SZ, SzBytes("C:\\wow.exe"));
    const std::string taken = Startup("Taken.lnk");
    SaveShortcut(taken, "C:\\windows\\notepad.exe", "/x");
    SetFileAttributesA(taken.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    const std::string shortcutBytes = testsupport::ReadWholeFile(taken).value_or("");

    StartupSources sources;
    ASSERT_EQ(sources.ReadRunKey(EntryPlace::MachineRun), PlaceAccess::Changeable);
    ASSERT_EQ(sources.ReadRunKey(EntryPlace::MachineRun32), PlaceAccess::Changeable);
    ASSERT_EQ(sources.ReadRunKey(EntryPlace::UserRun), PlaceAccess::Changeable);
    (void)sources.AddShortcuts({taken}, EntryPlace::UserStartup, "C:\\kept\\");
    std::vector<KeptEntry> removed;
    for (size_t i = 0; i < sources.Entries().size(); ++i) {
        if (sources.Entries()[i].original.name == "Kept")
            continue;
        EXPECT_TRUE(sources.Remove(i)) << sources.Entries()[i].original.name;
        removed.push_back(sources.Entries()[i].original);
    }
    ASSERT_EQ(removed.size(), 4u);
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, kRunKeyPath), std::vector<std::string>{"Kept"});
    EXPECT_TRUE(ValueNames(HKEY_LOCAL_MACHINE, kRunKeyPath).empty());
    EXPECT_TRUE(ValueNames(HKEY_LOCAL_MACHINE, kRun32Path).empty());
    EXPECT_EQ(GetFileAttributesA(taken.c_str()), INVALID_FILE_ATTRIBUTES);

    for (const KeptEntry& original : removed) {
        std::string reason;
        EXPECT_EQ(GiveBack(original, reason), GiveBackResult::Restored) << original.name << ": " << reason;
        EXPECT_EQ(GiveBack(original, reason), GiveBackResult::AlreadyThere) << original.name;
    }
    EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Taken")->data,
              SzBytes("%windir%\\taken.exe") + '\0');
    EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Taken")->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(ReadRawValue(HKEY_LOCAL_MACHINE, kRunKeyPath, "Machine")->data, SzBytes("C:\\machine.exe"));
    EXPECT_EQ(ReadRawValue(HKEY_LOCAL_MACHINE, kRun32Path, "Machine")->data, SzBytes("C:\\wow.exe"));
    EXPECT_EQ(testsupport::ReadWholeFile(taken), shortcutBytes);
    EXPECT_EQ(GetFileAttributesA(taken.c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));

    // A place that holds another entry of that name keeps it.
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Taken", REG_SZ, SzBytes("C:\\somebody-else.exe"));
    std::string reason;
    EXPECT_EQ(GiveBack(removed[2].name == "Taken" ? removed[2] : removed[3], reason),
              GiveBackResult::Occupied);
    EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Taken")->data, SzBytes("C:\\somebody-else.exe"));

    // A row added by hand becomes a value of the user's own.
    EXPECT_EQ(AddUserRunValue("Mine", "\"C:\\mine.exe\" /a", reason), GiveBackResult::Restored);
    EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Mine")->data, SzBytes("\"C:\\mine.exe\" /a"));
    EXPECT_EQ(AddUserRunValue("Mine", "\"C:\\mine.exe\" /a", reason), GiveBackResult::AlreadyThere);
    EXPECT_EQ(AddUserRunValue("Mine", "\"C:\\other.exe\"", reason), GiveBackResult::Occupied);
}

// As a standard user: the machine's places are read, but refuse every change.
TEST_F(StartupSourcesTest, AStandardUserCannotChangeTheMachinesPlaces) {
    WriteRawValue(HKEY_LOCAL_MACHINE, kRunKeyPath, "Machine", REG_SZ, SzBytes("C:\\machine.exe"));
    seams::SetMachinePlacesReadOnly(true);
    StartupSources sources;
    ASSERT_EQ(sources.ReadRunKey(EntryPlace::MachineRun), PlaceAccess::ReadOnly);
    ASSERT_EQ(sources.Entries().size(), 1u);
    EXPECT_TRUE(sources.Entries()[0].collected.placeReadOnly);
    EXPECT_FALSE(sources.Remove(0));
    EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, kRunKeyPath), std::vector<std::string>{"Machine"});
    KeptEntry other = sources.Entries()[0].original;
    other.rawName = std::string("O\0t\0h\0e\0r\0", 10);
    std::string reason;
    EXPECT_EQ(GiveBack(other, reason), GiveBackResult::Failed);
    EXPECT_FALSE(reason.empty());
}
