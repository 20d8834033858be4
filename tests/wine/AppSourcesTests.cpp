// The import's view of Windows' start-up places, against scratch registry roots and folders.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/StartupSources.h"
#include "common/ZorvaneTPU.h"
#include "tests/wine/CommonTestSupport.h"

using testsupport::SaveShortcut;
using testsupport::SzBytes;
using testsupport::WriteRawValue;

namespace {

class StartupSourcesTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(registry_.Active());
        ASSERT_FALSE(folder_.Path().empty());
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

    static bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

  private:
    testsupport::RegistrySandbox registry_;
    testsupport::TempFolder folder_;
};

}  // namespace

// A value whose data is not text no longer ends the reading: it keeps its place in the list,
// marked, and is named in the report; everything around it is read whole.
TEST_F(StartupSourcesTest, NotTextValueIsPassedOverNotFatal) {
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Alpha", REG_SZ, SzBytes("C:\\a.exe"));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Binary", REG_BINARY, std::string("\x01\x02", 2));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Expand", REG_EXPAND_SZ, SzBytes("%windir%\\x.exe /q"));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Long", REG_SZ, SzBytes(std::string(32 * 1024, 'x')));

    StartupSources sources;
    ASSERT_TRUE(sources.ReadRunKey(HKEY_CURRENT_USER));
    ASSERT_EQ(sources.Entries().size(), 4u);
    int notText = 0;
    for (const CollectedEntry& entry : sources.Entries()) {
        EXPECT_EQ(entry.notText, StartsWith(entry.text, "Binary=")) << entry.text.substr(0, 20);
        notText += entry.notText;
        if (StartsWith(entry.text, "Expand=")) {
            EXPECT_EQ(entry.text, "Expand=%windir%\\x.exe /q");  // stored as it was, not expanded
        }
        if (StartsWith(entry.text, "Long=")) {
            EXPECT_EQ(entry.text.size(), 5u + 32 * 1024);
        }
    }
    EXPECT_EQ(notText, 1);
    EXPECT_NE(sources.NotTextReport().find("\"Binary\""), std::string::npos);
}

TEST_F(StartupSourcesTest, MissingKeyIsReported) {
    StartupSources sources;
    EXPECT_FALSE(sources.ReadRunKey(HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(sources.NotTextReport().empty());
}

TEST_F(StartupSourcesTest, SwitchedOffEntriesAreMarked) {
    WriteRawValue(HKEY_LOCAL_MACHINE, kRunKeyPath, "Off", REG_SZ, SzBytes("C:\\off.exe"));
    WriteRawValue(HKEY_LOCAL_MACHINE, kRunKeyPath, "On", REG_SZ, SzBytes("C:\\on.exe"));
    WriteRawValue(HKEY_LOCAL_MACHINE, kStartupApprovedRun, "Off", REG_BINARY,
                  std::string("\x03\0\0\0\0\0\0\0", 8));
    WriteRawValue(HKEY_LOCAL_MACHINE, kStartupApprovedRun, "On", REG_BINARY,
                  std::string("\x02\0\0\0\0\0\0\0", 8));
    SaveShortcut(Startup("Tray.lnk"), "C:\\windows\\notepad.exe", "");
    WriteRawValue(HKEY_CURRENT_USER, kStartupApprovedFolder, "Tray.lnk", REG_BINARY,
                  std::string("\x03\0\0\0", 4));

    StartupSources sources;
    ASSERT_TRUE(sources.ReadRunKey(HKEY_LOCAL_MACHINE));
    sources.AddShortcuts({Startup("Tray.lnk")}, CSIDL_STARTUP);
    ASSERT_EQ(sources.Entries().size(), 3u);
    for (const CollectedEntry& entry : sources.Entries()) {
        bool off = StartsWith(entry.text, "Off=") || entry.source == CollectedEntry::Source::Shortcut;
        EXPECT_EQ(entry.disabledByWindows, off) << entry.text;
    }
}

// Only the entries the table holds are removed; the rest stays where Windows keeps it.
TEST_F(StartupSourcesTest, RemovesOnlyWhatIsHeld) {
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Kept", REG_SZ, SzBytes("C:\\kept.exe"));
    WriteRawValue(HKEY_CURRENT_USER, kRunKeyPath, "Taken", REG_SZ, SzBytes("C:\\taken.exe"));
    WriteRawValue(HKEY_LOCAL_MACHINE, kRunKeyPath, "Machine", REG_SZ, SzBytes("C:\\machine.exe"));
    const std::string taken = Startup("Taken.lnk"), kept = Startup("Kept.lnk");
    SaveShortcut(taken, "C:\\windows\\notepad.exe", "");
    SaveShortcut(kept, "C:\\windows\\regedit.exe", "");
    SetFileAttributesA(taken.c_str(), FILE_ATTRIBUTE_READONLY);

    StartupSources sources;
    ASSERT_TRUE(sources.ReadRunKey(HKEY_LOCAL_MACHINE));
    ASSERT_TRUE(sources.ReadRunKey(HKEY_CURRENT_USER));
    sources.AddShortcuts({kept, taken}, CSIDL_STARTUP);
    std::vector<EntryOutcome> outcomes;
    for (const CollectedEntry& entry : sources.Entries()) {
        bool keep =
            StartsWith(entry.text, "Kept=") || LowerAscii(entry.text).find("regedit") != std::string::npos;
        outcomes.push_back(keep ? EntryOutcome::SamePathOtherParams : EntryOutcome::Added);
    }
    sources.RemoveHeld(outcomes);

    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, kRunKeyPath), std::vector<std::string>{"Kept"});
    EXPECT_TRUE(ValueNames(HKEY_LOCAL_MACHINE, kRunKeyPath).empty());
    EXPECT_EQ(GetFileAttributesA(taken.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA(kept.c_str()), INVALID_FILE_ATTRIBUTES);
}
