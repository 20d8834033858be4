#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "components/GridFile.h"
#include "components/GridModel.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
const std::string kSep = " | ";

const char kComment[] =
    "{Row 0= This comment, Row 1= RowCount, Row 2= ColCount, Row 4^= Columns width, Row 4+ColCount= "
    "Content. The colums are separated by a \"space vertical space\" marker. This means thea the last "
    "element should also end with a \"space vertical space\" marker.}";

// Lines joined by CR LF, with a CR LF after the last one, as the writer produces them.
std::string Lines(const std::vector<std::string>& lines, const std::string& breakText = "\r\n") {
    std::string text;
    for (const std::string& line : lines)
        text += line + breakText;
    return text;
}

// The main window's grid after "Add new" was pressed once on a first run.
void FillWorkedExample(GridModel& grid) {
    grid.SetFixedCols(0);
    grid.SetColCount(6);
    grid.SetRowCount(2);
    grid.SetFixedRows(1);
    const int widths[] = {53, 71, 283, 80, 80, 35};
    const char* header[] = {"Enabled", "Name", "Full path", "Parameters", "Delay", "Ask Google"};
    const char* item[] = {"+", "Program's name", "c:\\Something.exe", "", "5", ""};
    for (int c = 0; c < 6; ++c) {
        grid.SetColWidth(c, widths[c]);
        grid.SetCell(c, 0, header[c]);
        grid.SetCell(c, 1, item[c]);
    }
}

Rows Contents(const GridModel& grid) {
    Rows rows(grid.RowCount());
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c)
            rows[r].push_back(grid.Cell(c, r));
    return rows;
}

std::vector<int> Widths(const GridModel& grid) {
    std::vector<int> widths;
    for (int c = 0; c < grid.ColCount(); ++c)
        widths.push_back(grid.ColWidth(c));
    return widths;
}

// A grid as LoadFromFile leaves the main window's grid before it reads: emptied but for row 0.
void PrepareForLoad(GridModel& grid, int fixedRows) {
    grid.SetFixedCols(0);
    grid.SetColCount(6);
    grid.SetRowCount(1);
    grid.SetFixedRows(0);
    grid.SetDefaultColWidth(80);
    for (int c = 0; c < 6; ++c)
        grid.SetCell(c, 0, "old" + std::to_string(c));
    grid.ClearRows(true);
    grid.SetFixedRows(fixedRows);
}

}  // namespace

TEST(GridFileWrite, WorkedExampleByteForByte) {
    ASSERT_EQ(std::strlen(kTableFileComment), 252u);
    EXPECT_STREQ(kTableFileComment, kComment);
    GridModel grid;
    FillWorkedExample(grid);
    const std::string expected = std::string(kComment) +
                                 "\r\n2\r\n6\r\n53\r\n71\r\n283\r\n80\r\n80\r\n35\r\n"
                                 "Enabled | Name | Full path | Parameters | Delay | Ask Google | \r\n"
                                 "+ | Program's name | c:\\Something.exe |  | 5 |  | \r\n";
    EXPECT_EQ(TableText(grid, kSep), expected);
}

TEST(GridFileWrite, WorkedExampleReadsBack) {
    GridModel source;
    FillWorkedExample(source);
    GridModel grid;
    PrepareForLoad(grid, 0);
    ReadTableText(grid, TableText(source, kSep), kSep);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.ColCount(), 6);
    EXPECT_EQ(grid.FixedRows(), 1);
    EXPECT_EQ(Widths(grid), (std::vector<int>{53, 71, 283, 80, 80, 35}));
    EXPECT_EQ(Contents(grid), Contents(source));
}

TEST(GridFileWrite, RoundTripOfEveryCountWidthAndCell) {
    struct Case {
        const char* name;
        int rows, cols, fixedRows;
        std::string separator;
    } cases[] = {
        {"default separator, no fixed row", 7, 3, 0, kSep},
        {"single cell", 1, 1, 0, kSep},
        {"tab separator", 4, 5, 2, "\t"},
    };
    for (const Case& c : cases) {
        GridModel source;
        source.SetFixedCols(0);
        source.SetRowCount(c.rows);
        source.SetColCount(c.cols);
        source.SetFixedRows(c.fixedRows);
        for (int col = 0; col < c.cols; ++col)
            source.SetColWidth(col, col % 2 ? -1 : 10 * col + 3);
        for (int r = 0; r < c.rows; ++r)
            for (int col = 0; col < c.cols; ++col)
                if ((r + col) % 3)
                    source.SetCell(
                        col, r,
                        std::string("r").append(std::to_string(r)).append(" c|").append(std::to_string(col)));
        GridModel grid;
        PrepareForLoad(grid, 0);
        ReadTableText(grid, TableText(source, c.separator), c.separator);
        EXPECT_EQ(grid.RowCount(), c.rows) << c.name;
        EXPECT_EQ(Widths(grid), Widths(source)) << c.name;
        EXPECT_EQ(Contents(grid), Contents(source)) << c.name;
        EXPECT_EQ(grid.FixedRows(), c.rows > 1 ? 1 : 0) << c.name;
    }
}

TEST(GridFileWrite, SixteenBitLimitsFailBeforeWriting) {
    struct Case {
        int rows, cols;
        bool fails;
    } cases[] = {{65536, 1, false}, {65537, 1, true}, {1, 65537, true}, {70000, 70000, true}};
    for (const Case& c : cases) {
        GridModel grid;
        grid.SetRowCount(c.rows);
        grid.SetColCount(c.cols);
        int pieces = 0;
        auto write = [&] { WriteTableText(grid, kSep, [&](std::string_view) { ++pieces; }); };
        if (c.fails) {
            EXPECT_THROW(write(), ERangeError) << c.rows << "x" << c.cols;
            EXPECT_EQ(pieces, 0);
            EXPECT_THROW(WriteCellLinesText(grid, kSep, [&](std::string_view) { ++pieces; }), ERangeError);
            EXPECT_EQ(pieces, 0);
        } else {
            EXPECT_NO_THROW(write());
            EXPECT_GT(pieces, 0);
        }
    }
}

TEST(GridFileWrite, CellLinesAlone) {
    GridModel grid;
    grid.SetFixedCols(0);
    grid.SetRowCount(2);
    grid.SetColCount(3);
    grid.SetCell(0, 0, "a");
    grid.SetCell(2, 1, "z");
    EXPECT_EQ(CellLinesText(grid, kSep), "a |  |  | \r\n |  | z | \r\n");
}

TEST(GridFileRead, Cases) {
    enum class Error { None, List, Convert, Range };
    struct Case {
        const char* name;
        std::string text;
        int startFixed;
        int rows, cols, fixedRows;
        std::vector<int> widths;  // the first widths; all of them for small grids
        Rows cells;               // compared when not empty
        Error error;
        const char* message;
    } cases[] = {
        {"header only: one row, no fixed row",
         Lines({"c", "1", "2", "10", "20", "x | y | "}),
         1,
         1,
         2,
         0,
         {10, 20},
         {{"x", "y"}},
         Error::None,
         nullptr},
        {"count of 0 reads as 1",
         Lines({"c", "0", "0", "7", "z | "}),
         0,
         1,
         1,
         0,
         {7},
         {{"z"}},
         Error::None,
         nullptr},
        {"negative count reads as 1",
         Lines({"c", "-3", "-1", "7", "z | "}),
         0,
         1,
         1,
         0,
         {7},
         {{"z"}},
         Error::None,
         nullptr},
        {"line 0 empty, trailing lines ignored",
         Lines({"", "2", "1", "9", "a | ", "b | ", "junk", "3"}),
         0,
         2,
         1,
         1,
         {9},
         {{"a"}, {"b"}},
         Error::None,
         nullptr},
        {"line 0 any text",
         Lines({"2 | 3 | ", "2", "1", "9", "a | ", "b | "}),
         0,
         2,
         1,
         1,
         {9},
         {{"a"}, {"b"}},
         Error::None,
         nullptr},
        {"counts: blanks, $ and 0x",
         Lines({"c", " 2", "$2", "0x10", "-4", "a | b | ", "c | d | "}),
         0,
         2,
         2,
         1,
         {16, -4},
         {{"a", "b"}, {"c", "d"}},
         Error::None,
         nullptr},
        {"fewer separators: the rest is empty",
         Lines({"c", "1", "3", "1", "1", "1", "a | b"}),
         0,
         1,
         3,
         0,
         {},
         {{"a", "", ""}},
         Error::None,
         nullptr},
        {"more separators: the surplus is ignored",
         Lines({"c", "1", "2", "1", "1", "a | b | c | d | "}),
         0,
         1,
         2,
         0,
         {},
         {{"a", "b"}},
         Error::None,
         nullptr},
        {"empty cell line",
         Lines({"c", "2", "2", "1", "1", "h | i | ", ""}),
         0,
         2,
         2,
         1,
         {},
         {{"h", "i"}, {"", ""}},
         Error::None,
         nullptr},
        {"a cell that held the separator shifts the row",
         Lines({"c", "1", "3", "1", "1", "1", "a | x | y | b | "}),
         0,
         1,
         3,
         0,
         {},
         {{"a", "x", "y"}},
         Error::None,
         nullptr},
        {"blanks and bars inside a cell",
         Lines({"c", "1", "2", "1", "1", " a|b  |x | c | "}),
         0,
         1,
         2,
         0,
         {},
         {{" a|b  |x", "c"}},
         Error::None,
         nullptr},
        {"LF breaks",
         Lines({"c", "2", "1", "5", "a | ", "b | "}, "\n"),
         0,
         2,
         1,
         1,
         {5},
         {{"a"}, {"b"}},
         Error::None,
         nullptr},
        {"CR breaks",
         Lines({"c", "2", "1", "5", "a | ", "b | "}, "\r"),
         0,
         2,
         1,
         1,
         {5},
         {{"a"}, {"b"}},
         Error::None,
         nullptr},
        {"LF CR is two breaks",
         "c\n\r2\r\n1\r\n5\r\na | \r\nb | ",
         0,
         2,
         6,
         0,
         {80},
         {},
         Error::Convert,
         "'' is not a valid integer value"},
        {"no break after the last line",
         "c\r\n2\r\n1\r\n5\r\na | \r\nb | ",
         0,
         2,
         1,
         1,
         {5},
         {{"a"}, {"b"}},
         Error::None,
         nullptr},
        {"a break at the end starts no line",
         "c\r\n2\r\n1\r\n5\r\nh | \r\n",
         0,
         2,
         1,
         0,
         {5},
         {{"h"}, {""}},
         Error::List,
         "List index out of bounds (5)"},
        {"an empty line between breaks is a line",
         "c\r\n2\r\n1\r\n5\r\nh | \r\n\r\n",
         0,
         2,
         1,
         1,
         {5},
         {{"h"}, {""}},
         Error::None,
         nullptr},
        {"empty file", "", 0, 2, 6, 0, {80}, {}, Error::List, "List index out of bounds (1)"},
        {"no column count",
         Lines({"c", "3"}),
         0,
         3,
         6,
         0,
         {80},
         {},
         Error::List,
         "List index out of bounds (2)"},
        {"missing cell line: earlier cells kept",
         Lines({"c", "3", "2", "4", "6", "a | b | "}),
         0,
         3,
         2,
         0,
         {4, 6},
         {{"a", "b"}, {"", ""}, {"", ""}},
         Error::List,
         "List index out of bounds (6)"},
        {"count with a trailing blank",
         Lines({"c", "2 ", "1"}),
         0,
         2,
         6,
         0,
         {80},
         {},
         Error::Convert,
         "'2 ' is not a valid integer value"},
        {"width that is no number",
         Lines({"c", "3", "2", "10", "wide"}),
         0,
         3,
         2,
         0,
         {10, 80},
         {},
         Error::Convert,
         "'wide' is not a valid integer value"},
        {"too many rows: counts applied",
         Lines({"c", "65537", "1"}),
         0,
         65537,
         1,
         0,
         {},
         {},
         Error::Range,
         "Range check error"},
        {"too many columns: counts applied",
         Lines({"c", "1", "65533"}),
         0,
         1,
         65533,
         0,
         {},
         {},
         Error::Range,
         "Range check error"},
        {"huge counts",
         Lines({"c", "2147483647", "2147483647"}),
         0,
         2147483647,
         2147483647,
         0,
         {},
         {},
         Error::Range,
         "Range check error"},
        {"65532 columns pass the range check",
         Lines({"c", "1", "65532"}),
         0,
         1,
         65532,
         0,
         {},
         {},
         Error::List,
         "List index out of bounds (3)"},
    };
    for (const Case& c : cases) {
        GridModel grid;
        PrepareForLoad(grid, c.startFixed);
        std::string message = "(no error)";
        Error error = Error::None;
        try {
            ReadTableText(grid, c.text, kSep);
        } catch (const EListError& e) {
            error = Error::List;
            message = e.what();
        } catch (const EConvertError& e) {
            error = Error::Convert;
            message = e.what();
        } catch (const ERangeError& e) {
            error = Error::Range;
            message = e.what();
        }
        EXPECT_EQ(error, c.error) << c.name;
        if (c.message) {
            EXPECT_EQ(message, c.message) << c.name;
        }
        EXPECT_EQ(grid.RowCount(), c.rows) << c.name;
        EXPECT_EQ(grid.ColCount(), c.cols) << c.name;
        EXPECT_EQ(grid.FixedRows(), c.fixedRows) << c.name;
        for (size_t i = 0; i < c.widths.size(); ++i)
            EXPECT_EQ(grid.ColWidth(static_cast<int>(i)), c.widths[i]) << c.name << " width " << i;
        if (!c.cells.empty()) {
            EXPECT_EQ(Contents(grid), c.cells) << c.name;
        }
    }
}

TEST(GridFileRead, CellSectionIntoTheCurrentShape) {
    GridModel source;
    FillWorkedExample(source);
    const std::string text = TableText(source, kSep);

    GridModel grid;
    grid.SetFixedCols(0);
    grid.SetColCount(6);
    grid.SetRowCount(2);
    grid.SetFixedRows(0);
    grid.SetCell(0, 1, "replaced");
    ReadCellLinesText(grid, text, kSep);
    EXPECT_EQ(Contents(grid), Contents(source));
    EXPECT_EQ(grid.FixedRows(), 0);
    EXPECT_EQ(grid.ColWidth(2), grid.DefaultColWidth());

    // More rows than the file has cell lines: the first missing line is reported.
    grid.SetRowCount(3);
    EXPECT_THROW(
        {
            try {
                ReadCellLinesText(grid, text, kSep);
            } catch (const EListError& e) {
                EXPECT_STREQ(e.what(), "List index out of bounds (11)");
                throw;
            }
        },
        EListError);
    grid.SetRowCount(65537);
    EXPECT_THROW(ReadCellLinesText(grid, text, kSep), ERangeError);
}

TEST(GridFileRead, ExtractCell) {
    struct Case {
        std::string line, separator;
        std::string expectCell, expectLine;
    } cases[] = {
        {"a | b | ", " | ", "a", "b | "},
        {" | b", " | ", "", "b"},
        {"a|b | c", " | ", "a|b", "c"},
        {"no separator", " | ", "", "no separator"},
        {"", " | ", "", ""},
        {"A | a", " | ", "A", "a"},
        {"x;;y", ";;", "x", "y"},
        {"anything", "", "", "anything"},
    };
    for (const Case& c : cases) {
        std::string line = c.line, cell = "stale";
        ExtractCell(line, cell, c.separator);
        EXPECT_EQ(cell, c.expectCell) << c.line;
        EXPECT_EQ(line, c.expectLine) << c.line;
    }
}

// A few hundred bytes can describe billions of cells; a reader given a limit refuses such counts
// before the column count is applied, so nothing can later try to write them all back.
TEST(GridFileRead, CountsBeyondTheCellLimitAreRefused) {
    std::string hostile = "c\r\n65536\r\n65532\r\n";
    for (int i = 0; i < 2000; ++i)
        hostile += "80\r\n";
    GridModel grid;
    PrepareForLoad(grid, 0);
    try {
        ReadTableText(grid, hostile, " | ", 65536LL * 16);
        FAIL() << "the counts were taken";
    } catch (const ERangeError& error) {
        EXPECT_NE(std::string(error.what()).find("65536 rows of 65532 columns"), std::string::npos) << error.what();
    }
    EXPECT_EQ(grid.ColCount(), 6);

    // Within the limit, and without one, the same reader reads as before.
    GridModel small;
    PrepareForLoad(small, 0);
    ReadTableText(small, "c\r\n2\r\n2\r\n10\r\n20\r\na | b | \r\nc | d | \r\n", " | ", 4);
    EXPECT_EQ(small.Cell(1, 1), "d");
    GridModel unlimited;
    PrepareForLoad(unlimited, 0);
    EXPECT_THROW(ReadTableText(unlimited, hostile, " | "), EListError);
}
