// TFindFile against a real folder tree in the temp folder.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "common/ZorvaneText.h"
#include "components/ZorvaneFindFile.h"
#include "tests/wine/CommonTestSupport.h"

using testing::ElementsAreArray;
using testing::IsEmpty;
using testing::UnorderedElementsAreArray;

namespace {

using testsupport::MessageRecorder;

// A fresh folder in the temp folder with helpers to fill it; removed with everything in it.
class TempTree {
  public:
    TempTree() { EXPECT_FALSE(folder_.Path().empty()); }

    const std::string& Root() const { return folder_.Path(); }

    std::string File(const std::string& relative, DWORD attributes = 0) {
        const std::string path = Root() + relative;
        HANDLE file =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        WriteFile(file, "x", 1, &written, nullptr);
        CloseHandle(file);
        if (attributes) {
            EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
        }
        return path;
    }

    std::string Folder(const std::string& relative, DWORD attributes = 0) {
        const std::string path = Root() + relative;
        EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
        if (attributes) {
            EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
        }
        return path + "\\";
    }

  private:
    testsupport::TempFolder folder_;
};

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> Listed(const TFindFile& finder) {
    return finder.Files().Strings();
}

// The tree the listing tests share:
//   plain.txt NoExt readonly.txt(R) hidden.dat(H) system.dat(S) Tool.LNK other.lnk app.exe
//   sub\ inner.lnk Plain.TXT deeper\deep.txt
//   .dotdir\dotfile.txt   hiddendir(H)\h.txt   sysdir(S)\s.txt
class FindFileTree : public testing::Test {
  protected:
    void SetUp() override {
        tree.File("plain.txt");
        tree.File("NoExt");
        tree.File("readonly.txt", FILE_ATTRIBUTE_READONLY);
        tree.File("hidden.dat", FILE_ATTRIBUTE_HIDDEN);
        tree.File("system.dat", FILE_ATTRIBUTE_SYSTEM);
        tree.File("Tool.LNK");
        tree.File("other.lnk");
        tree.File("app.exe");
        tree.Folder("sub");
        tree.File("sub\\inner.lnk");
        tree.File("sub\\Plain.TXT");
        tree.Folder("sub\\deeper");
        tree.File("sub\\deeper\\deep.txt");
        tree.Folder(".dotdir");
        tree.File(".dotdir\\dotfile.txt");
        tree.Folder("hiddendir", FILE_ATTRIBUTE_HIDDEN);
        tree.File("hiddendir\\h.txt");
        tree.Folder("sysdir", FILE_ATTRIBUTE_SYSTEM);
        tree.File("sysdir\\s.txt");
        finder.SetPath(tree.Root());
        ASSERT_THAT(recorder.messages, IsEmpty());
    }

    std::vector<std::string> Full(const std::vector<std::string>& relative) const {
        std::vector<std::string> result;
        for (const std::string& name : relative)
            result.push_back(tree.Root() + name);
        return result;
    }

    MessageRecorder recorder;
    TempTree tree;
    TFindFile finder{nullptr};
};

}  // namespace

TEST_F(FindFileTree, DefaultsListEveryFileOfTheTreeSortedButNoFolders) {
    EXPECT_EQ(finder.AttrMask(), 47);
    EXPECT_EQ(finder.FileMask, "*.*");
    EXPECT_TRUE(finder.SearchSubFolders);
    EXPECT_TRUE(finder.FullPath);
    EXPECT_FALSE(finder.ShowFolders);

    finder.Search();
    // Hidden and system files are listed; dot, hidden and system folders are not entered.
    EXPECT_THAT(Listed(finder), ElementsAreArray(Full({
                                    "app.exe",
                                    "hidden.dat",
                                    "NoExt",
                                    "other.lnk",
                                    "plain.txt",
                                    "readonly.txt",
                                    "sub\\deeper\\deep.txt",
                                    "sub\\inner.lnk",
                                    "sub\\Plain.TXT",
                                    "system.dat",
                                    "Tool.LNK",
                                })));
    EXPECT_THAT(recorder.messages, IsEmpty());
}

TEST_F(FindFileTree, BareNamesFromSeveralFoldersAppearOnceWhateverTheirCase) {
    finder.FullPath = false;
    finder.Search();
    EXPECT_THAT(Listed(finder), ElementsAreArray(std::vector<std::string>{
                                    "app.exe", "deep.txt", "hidden.dat", "inner.lnk", "NoExt", "other.lnk",
                                    "plain.txt", "readonly.txt", "system.dat", "Tool.LNK"}));
}

TEST_F(FindFileTree, MasksFilterTheList) {
    struct Case {
        const char* fileMask;
        bool fullPath;
        bool subFolders;
        std::vector<std::string> expected;  // relative to the root when fullPath
    } cases[] = {
        {"*.lnk", true, true, {"other.lnk", "sub\\inner.lnk", "Tool.LNK"}},
        {"*.LNK", true, false, {"other.lnk", "Tool.LNK"}},
        {"*.lnk;*.exe", true, false, {"app.exe", "other.lnk", "Tool.LNK"}},
        {" *.exe  *.dat ", true, false, {"app.exe", "hidden.dat", "system.dat"}},
        {"", true, true, {}},
        {";", true, true, {}},
        {"*.lnk;", true, false, {"other.lnk", "Tool.LNK"}},
        {"*\\sub\\*", true, true, {"sub\\deeper\\deep.txt", "sub\\inner.lnk", "sub\\Plain.TXT"}},
        // A mask that starts with a name part only fits bare names.
        {"tool*", true, false, {}},
        {"tool*", false, false, {"Tool.LNK"}},
        {"[a-h]*", false, true, {"app.exe", "deep.txt", "hidden.dat"}},
        {"*.*",
         false,
         false,
         {"app.exe", "hidden.dat", "NoExt", "other.lnk", "plain.txt", "readonly.txt", "system.dat",
          "Tool.LNK"}},
    };
    for (const Case& c : cases) {
        finder.FileMask = c.fileMask;
        finder.FullPath = c.fullPath;
        finder.SearchSubFolders = c.subFolders;
        finder.Search();
        EXPECT_THAT(Listed(finder), ElementsAreArray(c.fullPath ? Full(c.expected) : c.expected))
            << "'" << c.fileMask << "'";
    }
    EXPECT_THAT(recorder.messages, IsEmpty());
}

TEST_F(FindFileTree, MalformedMaskRaisesAndLeavesNothingListed) {
    finder.Search();
    ASSERT_GT(finder.Files().Count(), 0);
    finder.FileMask = "*.lnk;[a-";
    try {
        finder.Search();
        ADD_FAILURE() << "no mask error";
    } catch (const EMaskException& error) {
        EXPECT_STREQ(error.what(), "'[a-' is an invalid mask at (4)");
    }
    EXPECT_EQ(finder.Files().Count(), 0);
}

TEST_F(FindFileTree, ReadOnlyKindListsPlainFilesOnly) {
    finder.SetFileAttr({ffaReadOnly});
    finder.SearchSubFolders = false;
    finder.Search();
    EXPECT_THAT(
        Listed(finder),
        ElementsAreArray(Full({"app.exe", "NoExt", "other.lnk", "plain.txt", "readonly.txt", "Tool.LNK"})));
}

TEST_F(FindFileTree, AttributeMaskFollowsTheKindsAndShowFoldersOnlyWhenAssigned) {
    struct Case {
        TFileAttr kinds;
        bool showFolders;
        int mask;
    } cases[] = {
        {{}, false, 0},
        {{ffaAnyFile}, false, 47},
        {{ffaAnyFile}, true, 63},
        {{ffaReadOnly, ffaHidden, ffaSysFile}, false, 7},
        {{ffaVolumeID}, true, 0},
        {{ffaDirectory}, false, 0},
        {{ffaDirectory, ffaArchive}, true, 48},
    };
    for (const Case& c : cases) {
        finder.ShowFolders = c.showFolders;
        finder.SetFileAttr(c.kinds);
        EXPECT_EQ(finder.AttrMask(), c.mask);
        EXPECT_EQ(finder.FileAttr(), c.kinds);
    }

    finder.ShowFolders = false;
    finder.SetFileAttr({ffaAnyFile});
    finder.ShowFolders = true;
    finder.SearchSubFolders = false;
    finder.Search();
    EXPECT_EQ(finder.AttrMask(), 47);
    EXPECT_THAT(Listed(finder), testing::Not(testing::Contains(tree.Root() + "sub")));

    // Once admitted, folders are listed with "." and ".." like any other entry.
    finder.SetFileAttr({ffaAnyFile});
    finder.Search();
    EXPECT_THAT(Listed(finder),
                UnorderedElementsAreArray(
                    Full({".", "..", ".dotdir", "app.exe", "hidden.dat", "hiddendir", "NoExt", "other.lnk",
                          "plain.txt", "readonly.txt", "sub", "sysdir", "system.dat", "Tool.LNK"})));
}

TEST(FindFile, PathSetterStoresWithBackslashAndReportsMissingFolders) {
    MessageRecorder recorder;
    TempTree tree;
    TFindFile finder(nullptr);
    EXPECT_EQ(finder.Path(), "");

    const std::string existing = tree.Root().substr(0, tree.Root().size() - 1);
    const std::string missing = tree.Root() + "missing";
    struct Step {
        std::string value;
        std::string stored;
        bool reported;
    } steps[] = {
        {existing, existing + "\\", false},
        {existing + "\\", existing + "\\", false},
        {missing, missing + "\\", true},
        {missing + "\\", missing + "\\", false},  // the stored text: nothing happens
        {missing, missing + "\\", true},          // without the backslash: stored and checked again
        {"", "", true},
    };
    for (const Step& step : steps) {
        recorder.messages.clear();
        finder.SetPath(step.value);
        EXPECT_EQ(finder.Path(), step.stored);
        if (!step.reported) {
            EXPECT_THAT(recorder.messages, IsEmpty()) << step.value;
            continue;
        }
        ASSERT_EQ(recorder.messages.size(), 1u) << step.value;
        EXPECT_EQ(recorder.messages[0].kind, MsgKind::Report);
        EXPECT_EQ(recorder.messages[0].caption, "Error in TFindFile.setPath");
        const std::string expected = "Path does not exist: " + step.value + "\r\n";
        EXPECT_EQ(recorder.messages[0].text.substr(0, expected.size()), expected);
    }

    recorder.messages.clear();
    finder.Search();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].kind, MsgKind::Error);
    EXPECT_EQ(recorder.messages[0].text, "TFindFile-Path is empty");
    EXPECT_EQ(finder.Files().Count(), 0);
}

TEST(FindFile, MissingFolderListsNothingSilently) {
    MessageRecorder recorder;
    TempTree tree;
    TFindFile finder(nullptr);
    finder.SetPath(tree.Root() + "gone");
    recorder.messages.clear();
    finder.Search();
    EXPECT_EQ(finder.Files().Count(), 0);
    EXPECT_THAT(recorder.messages, IsEmpty());
}

TEST(FindFile, FilesIndexOutsideTheListRaises) {
    TFindFile finder(nullptr);
    try {
        (void)finder.Files()[0];
        ADD_FAILURE() << "no list error";
    } catch (const EListError& error) {
        EXPECT_STREQ(error.what(), "List index out of bounds (0)");
    }
}

TEST(FindFileDelete, DeletesReadOnlyHiddenAndSystemFiles) {
    MessageRecorder recorder;
    TempTree tree;
    const std::string readOnly = tree.File("a.lnk", FILE_ATTRIBUTE_READONLY);
    const std::string hidden = tree.File("b.lnk", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    const std::string kept = tree.File("keep.txt");
    TFindFile finder(nullptr);
    finder.SetPath(tree.Root());
    finder.FileMask = "*.lnk";
    finder.Search();
    ASSERT_EQ(finder.Files().Count(), 2);

    EXPECT_TRUE(finder.DeleteFound());
    EXPECT_FALSE(Exists(readOnly));
    EXPECT_FALSE(Exists(hidden));
    EXPECT_TRUE(Exists(kept));
    EXPECT_EQ(finder.Files().Count(), 2);  // the caller clears it
    EXPECT_THAT(recorder.messages, IsEmpty());
}

TEST(FindFileDelete, AFileHeldOpenFailsTheResultButNotTheOthers) {
    MessageRecorder recorder;
    TempTree tree;
    const std::string first = tree.File("1.lnk");
    const std::string locked = tree.File("2.lnk", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const std::string last = tree.File("3.lnk", FILE_ATTRIBUTE_READONLY);
    TFindFile finder(nullptr);
    finder.SetPath(tree.Root());
    finder.Search();
    ASSERT_EQ(finder.Files().Count(), 3);

    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(finder.DeleteFound());
    EXPECT_FALSE(Exists(first));
    EXPECT_FALSE(Exists(last));
    ASSERT_TRUE(Exists(locked));
    // The file that stays keeps its flags.
    EXPECT_EQ(GetFileAttributesA(locked.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    CloseHandle(holder);

    // Files still names the two deleted ones: they are gone, so the result stays false.
    EXPECT_FALSE(finder.DeleteFound());
    EXPECT_FALSE(Exists(locked));
    EXPECT_THAT(recorder.messages, IsEmpty());
}

TEST(FindFileDelete, SetsFullPathAndNeverDeletesBareNamesInTheCurrentFolder) {
    MessageRecorder recorder;
    TempTree tree;
    TempTree elsewhere;
    const std::string listed = tree.File("same.txt");
    const std::string bystander = elsewhere.File("same.txt");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.Root().c_str()));

    TFindFile finder(nullptr);
    finder.SetPath(tree.Root());
    finder.FullPath = false;
    finder.Search();
    ASSERT_THAT(Listed(finder), ElementsAreArray(std::vector<std::string>{"same.txt"}));
    EXPECT_FALSE(finder.DeleteFound());
    SetCurrentDirectoryA(previous);

    EXPECT_TRUE(finder.FullPath);
    EXPECT_TRUE(Exists(listed));
    EXPECT_TRUE(Exists(bystander));
    // The next search lists full paths, which can be deleted.
    finder.Search();
    EXPECT_TRUE(finder.DeleteFound());
    EXPECT_FALSE(Exists(listed));
}

TEST(FindFileDelete, EmptyPathFailsTheAssertionAndDeletesNothing) {
    MessageRecorder recorder;
    TempTree tree;
    const std::string file = tree.File("x.lnk");
    TFindFile finder(nullptr);
    finder.SetPath(tree.Root());
    finder.Search();
    ASSERT_EQ(finder.Files().Count(), 1);
    finder.SetPath("");
    try {
        (void)finder.DeleteFound();
        ADD_FAILURE() << "no assertion";
    } catch (const EAssertionFailed& error) {
        EXPECT_STREQ(error.what(), "Path is empty! (ZorvaneFindFile, line 208)");
        EXPECT_EQ(error.Unit(), "ZorvaneFindFile");
        EXPECT_EQ(error.Line(), 208);
    }
    EXPECT_TRUE(Exists(file));
}
