// The grid's table-file operations on real files under Wine: the replacing save that never
// leaves a table file truncated, loading with its messages and errors, and the cell-only forms.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "tests/wine/GridTestSupport.h"

using namespace gridtest;

namespace {

// A scratch folder under the temp folder, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder() {
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        char name[64];
        wsprintfA(name, "sequora-grid-%lu-%lu\\", GetCurrentProcessId(), GetTickCount());
        path_ = std::string(base) + name;
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
        for (const std::string& file : Files()) {
            SetFileAttributesA((path_ + file).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA((path_ + file).c_str());
        }
        RemoveDirectoryA(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((path_ + "*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do {
            const std::string name = data.cFileName;
            if (name != "." && name != "..")
                names.push_back(name);
        } while (FindNextFileA(find, &data));
        FindClose(find);
        return names;
    }

  private:
    std::string path_;
};

std::string ReadBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

const char kComment[] =
    "{Row 0= This comment, Row 1= RowCount, Row 2= ColCount, Row 4^= Columns width, Row 4+ColCount= "
    "Content. The colums are separated by a \"space vertical space\" marker. This means thea the last "
    "element should also end with a \"space vertical space\" marker.}";

// The text the fixture's grid saves as.
std::string FixtureTableText() {
    return std::string(kComment) +
           "\r\n5\r\n3\r\n50\r\n50\r\n50\r\n"
           "Name | Delay | Note | \r\nalpha | 30 | x | \r\nbeta | 10 | y | \r\ngamma | 20 | z | \r\n"
           "delta | 40 | w | \r\n";
}

}  // namespace

TEST_F(GridTest, SaveToFileWritesTheTableAndLeavesNothingElse) {
    ScratchFolder folder;
    const std::string name = folder.Path() + "StartUpObjects.bin";
    WriteBytes(name, "an older, longer table file that must be replaced completely ......................");
    EXPECT_TRUE(grid->SaveToFile(name));
    EXPECT_EQ(ReadBytes(name), FixtureTableText());
    EXPECT_EQ(folder.Files(), (std::vector<std::string>{"StartUpObjects.bin"}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(GridTest, AFailedSaveLeavesTheOldFileAsItWas) {
    ScratchFolder folder;
    const std::string name = folder.Path() + "StartUpObjects.bin";
    const std::string old = "the previous table\r\n";
    HANDLE held = INVALID_HANDLE_VALUE;
    struct Case {
        const char* name;
        std::function<void()> prepare, undo;
    } cases[] = {
        {"read-only file", [&] { SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_READONLY); },
         [&] { SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL); }},
        {"file held open without delete sharing",
         [&] {
             held = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
             EXPECT_NE(held, INVALID_HANDLE_VALUE);
         },
         [&] { CloseHandle(held); }},
    };
    for (const Case& c : cases) {
        WriteBytes(name, old);
        c.prepare();
        EXPECT_FALSE(grid->SaveToFile(name)) << c.name;
        c.undo();
        EXPECT_EQ(ReadBytes(name), old) << c.name;
        EXPECT_EQ(folder.Files(), (std::vector<std::string>{"StartUpObjects.bin"})) << c.name;
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(GridTest, SaveIntoAMissingFolderCreatesNothingAndSaysNothing) {
    ScratchFolder folder;
    const std::string name = folder.Path() + "missing\\StartUpObjects.bin";
    EXPECT_FALSE(grid->SaveToFile(name));
    EXPECT_EQ(GetFileAttributesA(name.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(folder.Files().empty());
    EXPECT_TRUE(messages.empty());
    // The cell-only form reports the same failure.
    EXPECT_THROW(grid->SaveCellsToFile(name), EInOutError);
}

TEST_F(GridTest, LoadFromFileReadsBackWhatWasSaved) {
    ScratchFolder folder;
    const std::string name = folder.Path() + "table.bin";
    grid->SetColWidth(2, 123);
    grid->SaveToFile(name);

    auto* other = new TEnhancedStrGrid(grid);
    other->SetParent(grid->Parent());
    other->SetFixedRows(0);
    other->SetRowCount(1);
    other->SetCell(0, 0, "header");
    EXPECT_TRUE(other->LoadFromFile(name));
    EXPECT_EQ(other->RowCount(), 5);
    EXPECT_EQ(other->ColCount(), 3);
    EXPECT_EQ(other->FixedRows(), 1);
    EXPECT_EQ(other->ColWidth(2), 123);
    EXPECT_EQ(Cells(*other), Cells(*grid));
}

TEST_F(GridTest, LoadFromAMissingFileEmptiesTheGridAndSaysSo) {
    ScratchFolder folder;
    const std::string name = folder.Path() + "absent.bin";
    EXPECT_FALSE(grid->LoadFromFile(name));
    EXPECT_EQ(messages, (std::vector<std::string>{"File \"" + name + "\" does not exist"}));
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->Cell(0, 0), "Name");
    EXPECT_EQ(grid->Cell(0, 1), "");
    messages.clear();
    EXPECT_FALSE(grid->LoadFromFile(""));
    EXPECT_EQ(messages, (std::vector<std::string>{"No file specified!"}));
}

TEST_F(GridTest, LoadFromFileRaisesWhatTheFileCannotGive) {
    ScratchFolder folder;
    const std::string name = folder.Path() + "short.bin";
    WriteBytes(name, "comment\r\n3\r\n2\r\n10\r\n20\r\na | b | \r\n");
    try {
        (void)grid->LoadFromFile(name);
        ADD_FAILURE() << "no error";
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (6)");
    }
    // What was applied before the error stays.
    EXPECT_EQ(grid->RowCount(), 3);
    EXPECT_EQ(grid->ColCount(), 2);
    EXPECT_EQ(grid->ColWidth(1), 20);
    EXPECT_EQ(grid->Cell(1, 0), "b");

    // A file another program holds open for writing cannot be read.
    HANDLE writer = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_THROW((void)grid->LoadFromFile(name), EInOutError);
    CloseHandle(writer);
}

TEST_F(GridTest, CellsAloneAreWrittenAndReadIntoTheCurrentShape) {
    ScratchFolder folder;
    const std::string cells = folder.Path() + "cells.txt";
    grid->SaveCellsToFile(cells);
    EXPECT_EQ(ReadBytes(cells),
              "Name | Delay | Note | \r\nalpha | 30 | x | \r\nbeta | 10 | y | \r\ngamma | 20 | z | \r\n"
              "delta | 40 | w | \r\n");

    const std::string table = folder.Path() + "table.bin";
    WriteBytes(table, "c\r\n9\r\n3\r\n1\r\n1\r\n1\r\nA | B | C | \r\n | 1 | \r\nx\r\ny\r\nz\r\n");
    grid->LoadCellsFromFile(table);
    EXPECT_EQ(grid->RowCount(), 5);
    EXPECT_EQ(grid->ColWidth(0), 50);
    EXPECT_EQ(Cells(*grid), (std::vector<std::vector<std::string>>{
                                {"A", "B", "C"}, {"", "1", ""}, {"", "", ""}, {"", "", ""}, {"", "", ""}}));
    grid->LoadCellsFromFile(folder.Path() + "absent.bin");
    EXPECT_EQ(grid->Cell(0, 0), "A");
    EXPECT_TRUE(messages.empty());
}
