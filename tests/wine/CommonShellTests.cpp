// Shell folders, shortcut targets, opening through the shell, code pages and the system queries.
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "common/ZorvaneTPU.h"
#include "tests/wine/CommonTestSupport.h"

using testsupport::MessageRecorder;
using testsupport::ReadWholeFile;
using testsupport::SaveShortcut;
using testsupport::TempFolder;
using testsupport::WriteWholeFile;

namespace {

// ---- Shell folders ----------------------------------------------------------------------------

class SpecialFolderTest : public testing::Test {
  protected:
    void TearDown() override { seams::ResetSpecialFolders(); }
};

TEST_F(SpecialFolderTest, RealFoldersEndWithABackslash) {
    for (int csidl : {CSIDL_APPDATA, CSIDL_STARTUP, CSIDL_COMMON_STARTUP}) {
        const std::string folder = GetSpecialFolder(csidl);
        ASSERT_FALSE(folder.empty()) << csidl;
        EXPECT_EQ(folder.back(), '\\') << csidl;
        EXPECT_NE(folder.substr(folder.size() - 2), "\\\\") << folder;
    }
    EXPECT_TRUE(FolderExists(GetSpecialFolder(CSIDL_APPDATA)));
}

TEST_F(SpecialFolderTest, UnknownFolderNumberGivesEmptyText) {
    for (int csidl : {0x7F, 0xFF, -1, 100000})
        EXPECT_EQ(GetSpecialFolder(csidl), "") << csidl;
}

TEST_F(SpecialFolderTest, OverridesStandInForTheShell) {
    const std::string real = GetSpecialFolder(CSIDL_STARTUP);
    seams::OverrideSpecialFolder(CSIDL_STARTUP, "C:\\Scratch\\Startup");
    seams::OverrideSpecialFolder(CSIDL_ALTSTARTUP, "C:\\Scratch\\Alt\\");
    seams::FailSpecialFolder(CSIDL_APPDATA);
    EXPECT_EQ(GetSpecialFolder(CSIDL_STARTUP), "C:\\Scratch\\Startup\\");
    EXPECT_EQ(GetSpecialFolder(CSIDL_ALTSTARTUP), "C:\\Scratch\\Alt\\");
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "");
    // Other numbers still come from the shell.
    EXPECT_FALSE(GetSpecialFolder(CSIDL_COMMON_STARTUP).empty());

    seams::OverrideSpecialFolder(CSIDL_STARTUP, "");
    EXPECT_EQ(GetSpecialFolder(CSIDL_STARTUP), real);
    seams::ResetSpecialFolders();
    EXPECT_FALSE(GetSpecialFolder(CSIDL_APPDATA).empty());
    EXPECT_EQ(GetSpecialFolder(CSIDL_ALTSTARTUP).find("C:\\Scratch"), std::string::npos);
}

// ---- Shortcuts --------------------------------------------------------------------------------

// Short and long forms of a path compare equal once both are expanded.
std::string LongForm(const std::string& path) {
    DWORD length = GetLongPathNameA(path.c_str(), nullptr, 0);
    if (length == 0)
        return path;
    std::string expanded(length, '\0');
    length = GetLongPathNameA(path.c_str(), expanded.data(), length);
    expanded.resize(length);
    return expanded;
}

class ShortcutTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(temp_.Path().empty()); }
    const std::string& Temp() const { return temp_.Path(); }

  private:
    TempFolder temp_;
};

TEST_F(ShortcutTest, ResolvesToTheStoredTarget) {
    ASSERT_TRUE(CreateDirectoryA((Temp() + "Program Files Long Name").c_str(), nullptr));
    const std::string targets[] = {
        Temp() + "tool.exe",
        Temp() + "Program Files Long Name\\Long Tool Name.exe",
    };
    int index = 0;
    for (const std::string& target : targets) {
        WriteWholeFile(target, "MZ");
        const std::string linkName = Temp() + "link" + std::to_string(++index) + ".lnk";
        SaveShortcut(linkName, target, "/min --flag");
        const std::string resolved = ResolveShortcut(linkName);
        ASSERT_FALSE(resolved.empty()) << target;
        // The short form on Windows, the long one under Wine; the same file either way.
        EXPECT_TRUE(SameTextAscii(LongForm(resolved), LongForm(target))) << resolved << " vs " << target;
        EXPECT_EQ(resolved.find("/min"), std::string::npos) << resolved;
    }
}

TEST_F(ShortcutTest, UnreadableShortcutsGiveEmptyText) {
    WriteWholeFile(Temp() + "garbage.lnk", "this is not a shell link");
    WriteWholeFile(Temp() + "empty.lnk", "");
    EXPECT_EQ(ResolveShortcut(Temp() + "garbage.lnk"), "");
    EXPECT_EQ(ResolveShortcut(Temp() + "empty.lnk"), "");
    EXPECT_EQ(ResolveShortcut(Temp() + "missing.lnk"), "");
    EXPECT_EQ(ResolveShortcut(Temp()), "");
    EXPECT_EQ(ResolveShortcut(""), "");
}

TEST_F(ShortcutTest, WithoutComTheLinkObjectCannotBeCreated) {
    // A fresh thread that never initialised COM.
    std::string error;
    std::thread worker([&] {
        try {
            ResolveShortcut(Temp() + "any.lnk");
            error = "(no error)";
        } catch (const EOSError& e) {
            error = e.what();
        }
    });
    worker.join();
    EXPECT_THAT(error, testing::StartsWith("Creating the shell link object failed."));
}

// ---- Opening through the shell ----------------------------------------------------------------

// Waits for a file that a started program writes, for a few seconds at most.
std::optional<std::string> WaitForFile(const std::string& name) {
    for (int i = 0; i < 200; ++i) {
        if (auto content = ReadWholeFile(name); content && !content->empty())
            return content;
        Sleep(50);
    }
    return std::nullopt;
}

TEST_F(ShortcutTest, ExecuteFileOfMissingFileFailsQuietly) {
    MessageRecorder recorder;
    EXPECT_FALSE(ExecuteFile(Temp() + "missing.exe"));
    EXPECT_FALSE(ExecuteFile(Temp() + "missing.exe", "/min"));
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(ShortcutTest, ExecuteFilePassesParametersOnlyWhenGiven) {
    const std::string script = Temp() + "echo.cmd";
    WriteWholeFile(script, "@echo [%*]> \"%~dp0out.txt\"\r\n");

    ASSERT_TRUE(ExecuteFile(script, "alpha beta"));
    auto withParams = WaitForFile(Temp() + "out.txt");
    ASSERT_TRUE(withParams);
    EXPECT_EQ(*withParams, "[alpha beta]\r\n");

    ASSERT_TRUE(DeleteFileA((Temp() + "out.txt").c_str()));
    ASSERT_TRUE(ExecuteFile(script));
    auto without = WaitForFile(Temp() + "out.txt");
    ASSERT_TRUE(without);
    EXPECT_EQ(*without, "[]\r\n");
    // Let the command interpreter let go of its folder before the scratch folder is removed.
    Sleep(200);
}

// ---- Code pages ---------------------------------------------------------------------------------

TEST(CodePages, AnsiTextBecomesUtf16AndUtf8) {
    // The same characters in the process code page this program runs with, and in UTF-8.
    struct Row {
        UINT codePage;
        std::string ansi;
    };
    const Row rows[] = {
        {1252, "Caf\xE9 \x80"},
        {CP_UTF8, "Caf\xC3\xA9 \xE2\x82\xAC"},
    };
    const Row* row = nullptr;
    for (const Row& candidate : rows)
        if (candidate.codePage == GetACP())
            row = &candidate;
    ASSERT_NE(row, nullptr) << "no row for the process code page " << GetACP();
    EXPECT_EQ(AnsiToWide(row->ansi), L"Caf\u00E9 \u20AC");
    EXPECT_EQ(AnsiToUtf8(row->ansi), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(AnsiToUtf8("Tom & Jerry #1"), "Tom & Jerry #1");
    EXPECT_EQ(AnsiToUtf8(""), "");
    EXPECT_EQ(AnsiToWide(""), L"");
}

// ---- System queries ---------------------------------------------------------------------------

TEST(SystemQueries, NtFamilyAnswersAgree) {
    EXPECT_EQ(GetPlatformId(), VER_PLATFORM_WIN32_NT);
    EXPECT_TRUE(IsWinNT());
    EXPECT_FALSE(IsWin9x());
    // Every system this program still runs on is 6.1 or later and has the export; without a
    // manifest Windows 8 and later report 6.2.
    EXPECT_TRUE(IsWin7OrNewer());
    EXPECT_EQ(GetOSVersion(), OSVersion::Win7);
}

TEST(SystemQueries, ElevationAndRights) {
    const int type = GetElevationType();
    EXPECT_THAT(type, testing::AnyOf(1, 2, 3));
    EXPECT_EQ(IsElevated(), type == 2);
    // From Vista on, only elevation counts.
    EXPECT_EQ(HasAdminRights(), type == 2);

    // Membership as the system checks it implies membership by the token's group list.
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins));
    BOOL member = FALSE;
    EXPECT_TRUE(CheckTokenMembership(nullptr, admins, &member));
    FreeSid(admins);
    if (member) {
        EXPECT_TRUE(IsInAdminGroup());
    }
}

}  // namespace
