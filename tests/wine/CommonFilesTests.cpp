// Folder and file routines and the choice of the application data folder, in scratch folders.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/ZorvaneTPU.h"
#include "tests/wine/CommonTestSupport.h"

using namespace std::string_literals;
using testsupport::MessageRecorder;
using testsupport::ReadWholeFile;
using testsupport::TempFolder;
using testsupport::WriteWholeFile;

namespace {

class FilesTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(temp_.Path().empty()) << "no scratch folder"; }
    void TearDown() override {
        seams::ResetSystemQueries();
        seams::ResetSpecialFolders();
    }

    const std::string& Temp() const { return temp_.Path(); }

    static bool IsFolder(const std::string& path) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    static bool Exists(const std::string& path) {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

  private:
    TempFolder temp_;
};

// Sets the current directory for one test and puts the old one back.
class CurrentDirectoryScope {
  public:
    explicit CurrentDirectoryScope(const std::string& folder) {
        char old[MAX_PATH + 1] = {};
        GetCurrentDirectoryA(sizeof(old), old);
        previous_ = old;
        SetCurrentDirectoryA(folder.c_str());
    }
    ~CurrentDirectoryScope() { SetCurrentDirectoryA(previous_.c_str()); }

  private:
    std::string previous_;
};

// Opens a file without sharing, as another program holding it locked would.
class LockedFile {
  public:
    explicit LockedFile(const std::string& name)
        : handle_(CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~LockedFile() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

// Makes the file read-only and tells whether the system then refuses to open it for writing.
// Wine running as root lets root write to it all the same (the attribute is a Unix mode bit).
bool MakeReadOnly(const std::string& name) {
    if (!SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_READONLY))
        return false;
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    CloseHandle(file);
    return false;
}

// ---- Folders ----------------------------------------------------------------------------------

TEST_F(FilesTest, FolderExistsCases) {
    WriteWholeFile(Temp() + "file.txt", "x");
    struct Case {
        std::string path;
        bool exists;
    } cases[] = {
        {Temp(), true},
        {Temp().substr(0, Temp().size() - 1), true},
        {Temp().substr(0, Temp().size() - 1) + " ", false},
        {Temp() + " ", false},
        {Temp() + "file.txt", false},
        {Temp() + "missing", false},
        {"", false},
        {std::string(40000, 'a'), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FolderExists(c.path), c.exists) << c.path.substr(0, 200);
}

TEST_F(FilesTest, ForceFolderCreatesEveryMissingLevel) {
    const std::string deep = Temp() + "a\\b\\c\\";
    EXPECT_TRUE(ForceFolder(deep));
    EXPECT_TRUE(IsFolder(Temp() + "a"));
    EXPECT_TRUE(IsFolder(Temp() + "a\\b"));
    EXPECT_TRUE(IsFolder(Temp() + "a\\b\\c"));
    // Again, and without the trailing backslash: nothing left to do.
    EXPECT_TRUE(ForceFolder(deep));
    EXPECT_TRUE(ForceFolder(Temp() + "a\\b\\c"));
}

TEST_F(FilesTest, ForceFolderCasesThatNeedNoCreation) {
    EXPECT_FALSE(ForceFolder(""));
    // A bare drive, existing or not, is taken as given.
    EXPECT_TRUE(ForceFolder("Q:"));
    EXPECT_TRUE(ForceFolder("Q:\\"));
    EXPECT_TRUE(ForceFolder("\\"));
    EXPECT_TRUE(ForceFolder(Temp()));
}

TEST_F(FilesTest, ForceFolderFailsCleanly) {
    WriteWholeFile(Temp() + "file.txt", "x");
    EXPECT_FALSE(ForceFolder(Temp() + "file.txt\\sub\\"));
    EXPECT_FALSE(Exists(Temp() + "file.txt\\sub"));

    // A relative folder has no folder part to stand on: refused, nothing created.
    {
        CurrentDirectoryScope inTemp(Temp());
        EXPECT_FALSE(ForceFolder("Sequora\\"));
    }
    EXPECT_FALSE(Exists(Temp() + "Sequora"));

    // Longer than any Windows path: refused without any attempt.
    EXPECT_FALSE(ForceFolder(Temp() + std::string(40000, 'a')));
    std::string deep = Temp();
    for (int i = 0; i < 20000; ++i)
        deep += "d\\";
    EXPECT_FALSE(ForceFolder(deep));
}

// ---- File existence with a message --------------------------------------------------------------

TEST_F(FilesTest, FileExistsMsgNamesTheMissingFile) {
    WriteWholeFile(Temp() + "present.bin", "x");
    SetApplicationTitle("Sequora");
    struct Case {
        std::string name;
        bool exists;
        std::string message;
    } cases[] = {
        {Temp() + "present.bin", true, ""},
        {Temp() + "absent.bin", false, "File \"" + Temp() + "absent.bin\" does not exist"},
        {Temp(), false, "File \"" + Temp() + "\" does not exist"},
        {"", false, "No file specified!"},
    };
    for (const Case& c : cases) {
        MessageRecorder recorder;
        EXPECT_EQ(FileExistsMsg(c.name), c.exists) << c.name;
        if (c.message.empty()) {
            EXPECT_TRUE(recorder.messages.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(recorder.messages.size(), 1u) << c.name;
        EXPECT_EQ(recorder.messages[0].kind, MsgKind::Plain);
        EXPECT_EQ(recorder.messages[0].caption, "Sequora");
        EXPECT_EQ(recorder.messages[0].text, c.message);
    }
    EXPECT_TRUE(FileExists(Temp() + "present.bin"));
    EXPECT_FALSE(FileExists(Temp()));
    EXPECT_FALSE(FileExists(""));
}

// ---- Write test -------------------------------------------------------------------------------

TEST_F(FilesTest, CanWriteToLeavesNoProbeBehind) {
    const std::string probe = Temp() + "WriteAccessTest.DeleteMe";
    EXPECT_TRUE(CanWriteTo(Temp()));
    EXPECT_TRUE(CanWriteTo(Temp().substr(0, Temp().size() - 1)));
    EXPECT_FALSE(Exists(probe));

    EXPECT_TRUE(CanWriteTo(Temp() + "new.txt"));
    EXPECT_FALSE(Exists(Temp() + "new.txt"));
}

TEST_F(FilesTest, CanWriteToKeepsExistingFilesUnchanged) {
    const std::string probe = Temp() + "WriteAccessTest.DeleteMe";
    WriteWholeFile(probe, "mine");
    WriteWholeFile(Temp() + "data.txt", "content");
    EXPECT_TRUE(CanWriteTo(Temp()));
    EXPECT_TRUE(CanWriteTo(Temp() + "data.txt"));
    EXPECT_EQ(ReadWholeFile(probe), "mine");
    EXPECT_EQ(ReadWholeFile(Temp() + "data.txt"), "content");
}

TEST_F(FilesTest, CanWriteToRefusalsAreSilentAndRestoreTheErrorMode) {
    WriteWholeFile(Temp() + "locked.txt", "lk");
    LockedFile lock(Temp() + "locked.txt");
    ASSERT_TRUE(lock.Held());

    MessageRecorder recorder;
    const UINT mode = SEM_NOGPFAULTERRORBOX;
    const UINT before = SetErrorMode(mode);
    EXPECT_FALSE(CanWriteTo(Temp() + "locked.txt"));
    EXPECT_EQ(GetErrorMode(), mode);
    EXPECT_TRUE(CanWriteTo(Temp() + "other.txt"));
    EXPECT_EQ(GetErrorMode(), mode);
    EXPECT_FALSE(CanWriteTo(Temp() + "missing\\file.txt"));
    EXPECT_FALSE(CanWriteTo("relative.txt"));
    EXPECT_FALSE(CanWriteTo(""));
    EXPECT_FALSE(CanWriteTo(Temp() + std::string(40000, 'a')));
    EXPECT_EQ(GetErrorMode(), mode);
    SetErrorMode(before);
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(FilesTest, ReadOnlyFileFailsTheWriteTestAndStaysUnchanged) {
    const std::string readOnly = Temp() + "readonly.txt";
    WriteWholeFile(readOnly, "old");
    if (!MakeReadOnly(readOnly))
        GTEST_SKIP() << "this system lets the process write to read-only files";
    MessageRecorder recorder;
    EXPECT_FALSE(CanWriteTo(readOnly));
    EXPECT_FALSE(StringToFile(readOnly, "new", false));
    EXPECT_FALSE(StringToFile(readOnly, "new", true));
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(ReadWholeFile(readOnly), "old");
}

// ---- Writing a text ---------------------------------------------------------------------------

TEST_F(FilesTest, StringToFileReplacesOrAppendsBytesAsTheyAre) {
    const std::string name = Temp() + "log.txt";
    const std::string bytes = "line CRLF one\r\n\0\xFF\xE9"s;
    MessageRecorder recorder;

    EXPECT_TRUE(StringToFile(name, "first", false));
    EXPECT_EQ(ReadWholeFile(name), "first");
    EXPECT_TRUE(StringToFile(name, bytes, false));
    EXPECT_EQ(ReadWholeFile(name), "first" + bytes);
    EXPECT_TRUE(StringToFile(name, "", false));
    EXPECT_EQ(ReadWholeFile(name), "first" + bytes);

    EXPECT_TRUE(StringToFile(name, "new", true));
    EXPECT_EQ(ReadWholeFile(name), "new");
    EXPECT_TRUE(StringToFile(name, "", true));
    EXPECT_EQ(ReadWholeFile(name), "");

    EXPECT_TRUE(StringToFile(Temp() + "fresh.bat", "@echo off\r\n", true));
    EXPECT_EQ(ReadWholeFile(Temp() + "fresh.bat"), "@echo off\r\n");
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(FilesTest, StringToFileRefusesLockedFilesSilently) {
    const std::string locked = Temp() + "locked.txt";
    WriteWholeFile(locked, "held");
    MessageRecorder recorder;
    for (bool overwrite : {false, true}) {
        LockedFile lock(locked);
        ASSERT_TRUE(lock.Held());
        EXPECT_FALSE(StringToFile(locked, "new", overwrite));
        EXPECT_FALSE(StringToFile(Temp() + "missing\\x.txt", "new", overwrite));
    }
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(ReadWholeFile(locked), "held");
    EXPECT_FALSE(Exists(Temp() + "missing"));
}

TEST_F(FilesTest, StringToFileWarnsWhenTheFileCannotBeOpened) {
    // A folder passes the write test (a probe can be made in it) but cannot be opened as a file.
    const std::string folder = Temp() + "folder";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (bool overwrite : {false, true}) {
        MessageRecorder recorder;
        EXPECT_FALSE(StringToFile(folder, "new", overwrite));
        ASSERT_EQ(recorder.messages.size(), 1u);
        EXPECT_EQ(recorder.messages[0].kind, MsgKind::Warning);
        EXPECT_EQ(recorder.messages[0].caption, "Warning");
        EXPECT_EQ(recorder.messages[0].text,
                  "Cannot write to " + folder + "\r\nFile may be read-only, hidden or locked.");
    }
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_FALSE(Exists(folder + "\\WriteAccessTest.DeleteMe"));
}

// ---- Application data folder ------------------------------------------------------------------

TEST_F(FilesTest, AppFolderIsTheExecutablesFolder) {
    const std::string folder = GetAppFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_EQ(folder + ExtractFileName(GetAppExeName()), GetAppExeName());
    EXPECT_TRUE(FolderExists(folder));
}

TEST_F(FilesTest, NinexFamilyUsesTheProgramFolderWithoutWriteTest) {
    const std::string probe = GetAppFolder() + "WriteAccessTestFile.$$$";
    ASSERT_FALSE(Exists(probe));
    seams::OverridePlatformId(1);
    seams::OverrideSpecialFolder(26, Temp() + "Roaming");
    EXPECT_EQ(GetAppDataFolder("Sequora"), GetAppFolder());
    EXPECT_FALSE(Exists(Temp() + "Roaming"));
}

TEST_F(FilesTest, OnTheNtFamilyTheRoamingSectionFolderIsCreated) {
    seams::OverridePlatformId(2);
    seams::OverrideSpecialFolder(26, Temp() + "Users\\Me\\Roaming\\");
    const std::string expected = Temp() + "Users\\Me\\Roaming\\Sequora\\";
    EXPECT_EQ(GetAppDataFolder("Sequora"), expected);
    EXPECT_TRUE(IsFolder(expected));
    // The second request finds it.
    EXPECT_EQ(GetAppDataFolder("Sequora"), expected);
}

// Administrator rights do not move the folder: this process runs elevated under Wine, and still
// gets the user's folder, with no probe file in the program folder.
TEST_F(FilesTest, AnElevatedProcessGetsTheUsersFolderToo) {
    const std::string probe = GetAppFolder() + "WriteAccessTestFile.$$$";
    ASSERT_FALSE(Exists(probe));
    seams::OverrideSpecialFolder(26, Temp() + "Roaming\\");
    EXPECT_EQ(GetAppDataFolder("Sequora"), Temp() + "Roaming\\Sequora\\");
    EXPECT_FALSE(Exists(probe));
}

TEST_F(FilesTest, WithoutRoamingFolderTheResultIsRelativeAndNotCreated) {
    seams::OverridePlatformId(2);
    seams::FailSpecialFolder(26);
    CurrentDirectoryScope inTemp(Temp());
    EXPECT_EQ(GetAppDataFolder("Sequora"), "Sequora\\");
    EXPECT_FALSE(Exists(Temp() + "Sequora"));
}

}  // namespace
