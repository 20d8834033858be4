#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "components/GridModel.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A grid holding `rows` (every row as wide as the first), with the given fixed rows and cursor.
void Fill(GridModel& grid, const Rows& rows, int fixedRows = 1, int cursorRow = 1, int cursorCol = 1) {
    grid.SetFixedCols(0);
    grid.SetRowCount(static_cast<int>(rows.size()));
    grid.SetColCount(static_cast<int>(rows.at(0).size()));
    grid.SetFixedRows(fixedRows);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        for (int c = 0; c < static_cast<int>(rows[r].size()); ++c)
            grid.SetCell(c, r, rows[r][c]);
    grid.FocusCell(cursorCol, cursorRow);
}

Rows Contents(const GridModel& grid) {
    Rows rows(grid.RowCount());
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c)
            rows[r].push_back(grid.Cell(c, r));
    return rows;
}

// Records what the model asks and tells; refuses selection while `refuse` is set.
class Recorder : public GridModelListener {
  public:
    bool CanSelectCell(int col, int row) override {
        asked.push_back({col, row});
        return !refuse;
    }
    void LayoutChanged() override { ++layouts; }
    struct Cell {
        int col, row;
        bool operator==(const Cell&) const = default;
    };
    std::vector<Cell> asked;
    bool refuse = false;
    int layouts = 0;
};

template <class E>
std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

TEST(GridModelShape, CountsLowerFixedCountsAndPullTheCursorIn) {
    struct Case {
        const char* name;
        int rowCount, fixedRows, cursorRow;
        int newCount;
        int expectRows, expectFixed, expectCursor;
    } cases[] = {
        {"grow keeps all", 3, 1, 2, 10, 10, 1, 2},
        {"shrink below cursor", 10, 1, 8, 4, 4, 1, 3},
        {"shrink to fixed lowers fixed", 5, 3, 4, 3, 3, 2, 2},
        {"zero reads as one", 5, 1, 3, 0, 1, 0, 0},
        {"negative reads as one", 5, 0, 3, -7, 1, 0, 0},
    };
    for (const Case& c : cases) {
        GridModel grid;
        Fill(grid, Rows(c.rowCount, {"a", "b"}), c.fixedRows, c.cursorRow);
        grid.SetCell(1, c.rowCount - 1, "last");
        grid.SetRowCount(c.newCount);
        EXPECT_EQ(grid.RowCount(), c.expectRows) << c.name;
        EXPECT_EQ(grid.FixedRows(), c.expectFixed) << c.name;
        EXPECT_EQ(grid.Row(), c.expectCursor) << c.name;
        // Rows cut off by a shrink are gone; rows gained are empty.
        grid.SetRowCount(c.rowCount);
        EXPECT_EQ(grid.Cell(1, c.rowCount - 1), c.newCount >= c.rowCount ? "last" : "") << c.name;
    }
}

TEST(GridModelShape, ColumnCountFollowsTheSameRules) {
    GridModel grid;
    Fill(grid, {{"a", "b", "c"}, {"d", "e", "f"}}, 1, 1, 2);
    grid.SetFixedCols(2);
    grid.SetColWidth(2, 99);
    grid.SetColCount(2);
    EXPECT_EQ(grid.FixedCols(), 1);
    EXPECT_EQ(grid.Col(), 1);
    grid.SetColCount(3);
    EXPECT_EQ(grid.Cell(2, 1), "");
    EXPECT_EQ(grid.ColWidth(2), grid.DefaultColWidth());
}

TEST(GridModelShape, ErrorsAreTheBaseGridsOwn) {
    GridModel grid;
    Fill(grid, Rows(3, {"a", "b"}));
    struct Case {
        const char* name;
        std::function<void()> action;
        const char* message;
    } cases[] = {
        {"fixed rows = count", [&] { grid.SetFixedRows(3); }, "Fixed row count must be less than row count"},
        {"fixed cols = count", [&] { grid.SetFixedCols(2); },
         "Fixed column count must be less than column count"},
        {"fixed rows negative", [&] { grid.SetFixedRows(-1); }, "Grid index out of range"},
        {"cursor below", [&] { grid.SetRow(3); }, "Grid index out of range"},
        {"cursor left", [&] { grid.SetCol(-1); }, "Grid index out of range"},
        {"write outside", [&] { grid.SetCell(2, 0, "x"); }, "Grid index out of range"},
        {"move outside", [&] { grid.MoveRow(0, 3); }, "Grid index out of range"},
        {"remove outside", [&] { grid.RemoveRow(3); }, "Grid index out of range"},
        {"insert outside", [&] { grid.InsertRowBelow(-1); }, "Grid index out of range"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageOf<EInvalidGridOperation>(c.action), c.message) << c.name;
    EXPECT_EQ(Contents(grid), Rows(3, {"a", "b"}));
    EXPECT_EQ(grid.Cell(5, 7), "") << "reading outside the grid is harmless";
}

TEST(GridModelShape, RaisingFixedRowsMovesTheCursorWithoutAskingTheHook) {
    GridModel grid;
    Fill(grid, Rows(3, {"a", "b"}), 0, 0, 1);
    Recorder recorder;
    grid.SetListener(&recorder);
    grid.SetFixedRows(2);
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_TRUE(recorder.asked.empty());
}

TEST(GridModelMoves, RowsCarryCellsAndTheCursorFollowsItsRow) {
    struct Case {
        int from, to, cursor;
        const char* order;  // column 0 of rows 0..4 afterwards
        int expectCursor;
    } cases[] = {
        {1, 3, 1, "ACDBE", 3},                         // the cursor on From goes to To
        {1, 3, 2, "ACDBE", 1},                         // between: shifts towards From's old side
        {1, 3, 3, "ACDBE", 2}, {1, 3, 4, "ACDBE", 4},  // outside: stays
        {4, 1, 4, "AEBCD", 1}, {4, 1, 2, "AEBCD", 3}, {4, 1, 0, "AEBCD", 0}, {2, 2, 2, "ABCDE", 2},
    };
    for (const Case& c : cases) {
        GridModel grid;
        Fill(grid, {{"A", "0"}, {"B", "1"}, {"C", "2"}, {"D", "3"}, {"E", "4"}}, 0, c.cursor);
        grid.MoveRow(c.from, c.to);
        std::string order;
        for (int r = 0; r < 5; ++r) {
            order += grid.Cell(0, r);
            EXPECT_EQ(grid.Cell(1, r)[0] - '0', grid.Cell(0, r)[0] - 'A') << "row " << r << " split";
        }
        EXPECT_EQ(order, c.order) << c.from << "->" << c.to;
        EXPECT_EQ(grid.Row(), c.expectCursor) << c.from << "->" << c.to << " cursor " << c.cursor;
    }
}

TEST(GridModelMoves, ColumnsCarryCellsAndWidths) {
    GridModel grid;
    Fill(grid, {{"a", "b", "c"}}, 0, 0, 0);
    grid.SetColWidth(0, 11);
    grid.SetColWidth(2, 33);
    grid.MoveColumn(0, 2);
    EXPECT_EQ(Contents(grid), (Rows{{"b", "c", "a"}}));
    EXPECT_EQ(grid.ColWidth(2), 11);
    EXPECT_EQ(grid.ColWidth(1), 33);
    EXPECT_EQ(grid.Col(), 2);
    grid.DeleteColumn(0);
    EXPECT_EQ(Contents(grid), (Rows{{"c", "a"}}));
    EXPECT_EQ(grid.Col(), 1);
}

TEST(GridModelRowOperations, Table) {
    const Rows kHeaderAndThree = {{"H", "h"}, {"W", "5"}, {"X", "7"}, {"Y", "9"}};
    struct Case {
        const char* name;
        Rows rows;
        int fixedRows, cursorRow;
        std::function<bool(GridModel&)> action;  // returns the operation's result where it has one
        bool expectResult;
        Rows expectRows;
        int expectCursor;
        int expectFixed;
    } cases[] = {
        {"RemoveCurrentRow, one item: emptied, kept",
         {{"H", "h"}, {"W", "5"}},
         1,
         1,
         [](GridModel& g) {
             g.RemoveCurrentRow();
             return true;
         },
         true,
         {{"H", "h"}, {"", ""}},
         1,
         1},
        {"RemoveCurrentRow, last of three",
         kHeaderAndThree,
         1,
         3,
         [](GridModel& g) {
             g.RemoveCurrentRow();
             return true;
         },
         true,
         {{"H", "h"}, {"W", "5"}, {"X", "7"}},
         2,
         1},
        {"RemoveCurrentRow, first of three",
         kHeaderAndThree,
         1,
         1,
         [](GridModel& g) {
             g.RemoveCurrentRow();
             return true;
         },
         true,
         {{"H", "h"}, {"X", "7"}, {"Y", "9"}},
         1,
         1},
        {"RemoveCurrentRow on the fixed row only empties it",
         kHeaderAndThree,
         1,
         0,
         [](GridModel& g) {
             g.RemoveCurrentRow();
             return true;
         },
         true,
         {{"", ""}, {"W", "5"}, {"X", "7"}, {"Y", "9"}},
         0,
         1},
        {"RemoveRow above the cursor puts it back on its index",
         kHeaderAndThree,
         1,
         2,
         [](GridModel& g) {
             g.RemoveRow(1);
             return true;
         },
         true,
         {{"H", "h"}, {"X", "7"}, {"Y", "9"}},
         2,
         1},
        {"RemoveRow of a one-row grid empties it",
         {{"H", "h"}},
         0,
         0,
         [](GridModel& g) {
             g.RemoveRow(0);
             return true;
         },
         true,
         {{"", ""}},
         0,
         0},
        {"MoveRowUp from the first item", kHeaderAndThree, 1, 1, [](GridModel& g) { return g.MoveRowUp(); },
         false, kHeaderAndThree, 1, 1},
        {"MoveRowUp from row 0 without header", kHeaderAndThree, 0, 0,
         [](GridModel& g) { return g.MoveRowUp(); }, false, kHeaderAndThree, 0, 0},
        {"MoveRowUp",
         kHeaderAndThree,
         1,
         3,
         [](GridModel& g) { return g.MoveRowUp(); },
         true,
         {{"H", "h"}, {"W", "5"}, {"Y", "9"}, {"X", "7"}},
         2,
         1},
        {"MoveRowDown from the last row", kHeaderAndThree, 1, 3, [](GridModel& g) { return g.MoveRowDown(); },
         false, kHeaderAndThree, 3, 1},
        {"MoveRowDown",
         kHeaderAndThree,
         1,
         1,
         [](GridModel& g) { return g.MoveRowDown(); },
         true,
         {{"H", "h"}, {"X", "7"}, {"W", "5"}, {"Y", "9"}},
         2,
         1},
        {"MoveRowUp then MoveRowDown restores", kHeaderAndThree, 1, 2,
         [](GridModel& g) { return g.MoveRowUp() && g.MoveRowDown(); }, true, kHeaderAndThree, 2, 1},
        {"AddRow on a one-row grid",
         {{"H", "h"}},
         0,
         0,
         [](GridModel& g) {
             g.AddRow();
             return true;
         },
         true,
         {{"H", "h"}, {"", ""}},
         1,
         0},
        {"InsertRowBelow the cursor row",
         kHeaderAndThree,
         1,
         2,
         [](GridModel& g) {
             g.InsertRowBelow(2);
             return true;
         },
         true,
         {{"H", "h"}, {"W", "5"}, {"X", "7"}, {"", ""}, {"Y", "9"}},
         3,
         1},
        {"InsertRowBelow another row empties no row",
         kHeaderAndThree,
         1,
         3,
         [](GridModel& g) {
             g.InsertRowBelow(0);
             return true;
         },
         true,
         {{"H", "h"}, {"", ""}, {"W", "5"}, {"X", "7"}, {"Y", "9"}},
         1,
         1},
        {"InsertRowBelow the last row",
         kHeaderAndThree,
         1,
         3,
         [](GridModel& g) {
             g.InsertRowBelow(3);
             return true;
         },
         true,
         {{"H", "h"}, {"W", "5"}, {"X", "7"}, {"Y", "9"}, {"", ""}},
         4,
         1},
        {"ExchangeRows",
         kHeaderAndThree,
         1,
         1,
         [](GridModel& g) {
             g.ExchangeRows(0, 3);
             return true;
         },
         true,
         {{"Y", "9"}, {"W", "5"}, {"X", "7"}, {"H", "h"}},
         1,
         1},
        {"ReverseRows keeps fixed rows",
         kHeaderAndThree,
         1,
         1,
         [](GridModel& g) {
             g.ReverseRows();
             return true;
         },
         true,
         {{"H", "h"}, {"Y", "9"}, {"X", "7"}, {"W", "5"}},
         1,
         1},
        {"ClearRows keeping the header",
         {{"H", "h"}, {"W", "5"}, {"X", "7"}, {"Y", "9"}, {"Z", "11"}},
         1,
         4,
         [](GridModel& g) {
             g.ClearRows(true);
             return true;
         },
         true,
         {{"H", "h"}, {"", ""}},
         1,
         1},
        {"ClearRows with the header",
         kHeaderAndThree,
         1,
         1,
         [](GridModel& g) {
             g.ClearRows(false);
             return true;
         },
         true,
         {{"", ""}, {"", ""}},
         1,
         1},
        {"ClearRows grows a one-row grid",
         {{"H", "h"}},
         0,
         0,
         [](GridModel& g) {
             g.ClearRows(true);
             return true;
         },
         true,
         {{"H", "h"}, {"", ""}},
         0,
         0},
        {"ToggleHeaderRow off", kHeaderAndThree, 1, 2,
         [](GridModel& g) {
             g.ToggleHeaderRow();
             return true;
         },
         true, kHeaderAndThree, 2, 0},
        {"ToggleHeaderRow on moves the cursor off row 0", kHeaderAndThree, 0, 0,
         [](GridModel& g) {
             g.ToggleHeaderRow();
             return true;
         },
         true, kHeaderAndThree, 1, 1},
    };
    for (const Case& c : cases) {
        GridModel grid;
        Fill(grid, c.rows, c.fixedRows, c.cursorRow);
        EXPECT_EQ(c.action(grid), c.expectResult) << c.name;
        EXPECT_EQ(Contents(grid), c.expectRows) << c.name;
        EXPECT_EQ(grid.Row(), c.expectCursor) << c.name;
        EXPECT_EQ(grid.Col(), 1) << c.name;
        EXPECT_EQ(grid.FixedRows(), c.expectFixed) << c.name;
    }
}

TEST(GridModelRowOperations, ToggleHeaderRowOnOneRowFails) {
    GridModel grid;
    Fill(grid, {{"H"}}, 0, 0, 0);
    EXPECT_EQ(MessageOf<EInvalidGridOperation>([&] { grid.ToggleHeaderRow(); }),
              "Fixed row count must be less than row count");
    EXPECT_EQ(grid.FixedRows(), 0);
}

TEST(GridModelRowOperations, RemoveColumnAndForceKeepHeaders) {
    struct Case {
        const char* name;
        bool force;
        int fixedCols, cols, remove;
        int expectCols, expectFixedCols;
        Rows expectRows;
    } cases[] = {
        {"kept: only one non-fixed column", true, 1, 2, 1, 2, 1, {{"a", ""}}},
        {"deleted without ForceKeepHeaders", false, 1, 2, 1, 1, 0, {{"a"}}},
        {"deleted when others remain", true, 1, 3, 1, 2, 1, {{"a", "c"}}},
        {"fixed column deleted too", true, 1, 3, 0, 2, 1, {{"b", "c"}}},
    };
    for (const Case& c : cases) {
        GridModel grid;
        Fill(grid, {{"a", "b", "c"}}, 0, 0, 0);
        grid.SetColCount(c.cols);
        grid.SetFixedCols(c.fixedCols);
        grid.FocusCell(c.cols - 1, 0);
        grid.SetForceKeepHeaders(c.force);
        grid.RemoveColumn(c.remove);
        EXPECT_EQ(grid.ColCount(), c.expectCols) << c.name;
        EXPECT_EQ(grid.FixedCols(), c.expectFixedCols) << c.name;
        EXPECT_EQ(Contents(grid), c.expectRows) << c.name;
        EXPECT_LT(grid.Col(), grid.ColCount()) << c.name;
    }
}

TEST(GridModelSelection, EveryDeliberateCursorMoveAsksTheHook) {
    using Cell = Recorder::Cell;
    const Rows kRows = {{"H", "h"}, {"W", "5"}, {"X", "7"}, {"Y", "9"}};
    struct Case {
        const char* name;
        int cursorRow;
        std::function<void(GridModel&)> action;
        std::vector<Cell> expectAsked;
    } cases[] = {
        {"SetRow", 1, [](GridModel& g) { g.SetRow(3); }, {{1, 3}}},
        {"SetRow to the current row", 1, [](GridModel& g) { g.SetRow(1); }, {}},
        {"SetCol", 1, [](GridModel& g) { g.SetCol(0); }, {{0, 1}}},
        {"AddRow", 1, [](GridModel& g) { g.AddRow(); }, {{1, 4}}},
        {"InsertRowBelow", 2, [](GridModel& g) { g.InsertRowBelow(2); }, {{1, 3}}},
        {"RemoveRow puts the cursor back", 1, [](GridModel& g) { g.RemoveRow(1); }, {{1, 1}}},
        {"RemoveRow of the last row: the shrink moves it", 3, [](GridModel& g) { g.RemoveRow(3); }, {}},
        {"MoveRowUp", 2, [](GridModel& g) { (void)g.MoveRowUp(); }, {{1, 1}}},
        {"MoveRowDown", 2, [](GridModel& g) { (void)g.MoveRowDown(); }, {{1, 3}}},
    };
    for (const Case& c : cases) {
        GridModel grid;
        Fill(grid, kRows, 1, c.cursorRow);
        Recorder recorder;
        grid.SetListener(&recorder);
        c.action(grid);
        EXPECT_EQ(recorder.asked, c.expectAsked) << c.name;
    }
}

TEST(GridModelSelection, ARefusedMoveLeavesTheCursorButNotTheRows) {
    GridModel grid;
    Fill(grid, {{"H"}, {"W"}, {"X"}}, 1, 2, 0);
    Recorder recorder;
    recorder.refuse = true;
    grid.SetListener(&recorder);
    EXPECT_TRUE(grid.MoveRowUp());
    EXPECT_EQ(Contents(grid), (Rows{{"H"}, {"X"}, {"W"}}));
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_FALSE(grid.FocusCell(0, 1));
    grid.AddRow();
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.Row(), 2);
}

TEST(GridModelSelection, RangeSelectionKeepsItsAnchor) {
    GridModel grid;
    Fill(grid, Rows(6, {"a", "b", "c"}), 1, 1, 0);
    grid.FocusCell(2, 4, false);
    EXPECT_EQ(grid.Selection(), (GridRect{0, 1, 2, 4}));
    grid.FocusCell(1, 2);
    EXPECT_EQ(grid.Selection(), (GridRect{1, 2, 1, 2}));
}

namespace {

// The sort as a plain recursive transcription over a vector of keys, for comparing the order in
// which the model's version leaves rows with equal keys.
void ReferenceQuickSort(std::vector<std::pair<std::string, int>>& rows, int l, int r) {
    int i, j;
    do {
        i = l;
        j = r;
        std::string p = rows[(l + r) / 2].first;
        do {
            while (rows[i].first < p)
                ++i;
            while (rows[j].first > p)
                --j;
            if (i <= j) {
                if (i != j)
                    std::swap(rows[i], rows[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (l < j)
            ReferenceQuickSort(rows, l, j);
        l = i;
    } while (i < r);
}

}  // namespace

TEST(GridModelSort, NumericAndTextCases) {
    struct Case {
        const char* name;
        std::vector<std::string> keys;  // column 1 of rows 1..n (row 0 is the header "Delay")
        int fixedRows;
        bool numeric, ascending;
        std::vector<std::string> expectTags;  // column 0 afterwards, row 0 included
        const char* error;                    // EConvertError message, or null
    } cases[] = {
        {"ascending", {"10", "5", "7"}, 1, true, true, {"H", "b", "c", "a"}, nullptr},
        {"descending", {"10", "5", "7"}, 1, true, false, {"H", "a", "c", "b"}, nullptr},
        {"equal keys, ascending", {"5", "5", "5"}, 1, true, true, {"H", "c", "b", "a"}, nullptr},
        {"equal keys, descending: the reverse",
         {"5", "5", "5"},
         1,
         true,
         false,
         {"H", "a", "b", "c"},
         nullptr},
        {"leading blanks, sign, hex",
         {" 12", "-3", "$A", "0x2"},
         1,
         true,
         true,
         {"H", "b", "d", "c", "a"},
         nullptr},
        {"trailing blank", {"1", "12 ", "3"}, 1, true, true, {}, "'12 ' is not a valid integer value"},
        {"empty cell", {"1", "", "3"}, 1, true, true, {}, "'' is not a valid integer value"},
        {"header in range without fixed row",
         {"1", "2"},
         0,
         true,
         true,
         {},
         "'Delay' is not a valid integer value"},
        {"single item still converted", {"x"}, 1, true, true, {}, "'x' is not a valid integer value"},
        {"text folds a-z only, to upper case",
         {"b", "_a", "A", "C"},
         1,
         false,
         true,
         {"H", "c", "a", "d", "b"},
         nullptr},
        {"text is ordinal", {"\xE9", "z", "Z1", "y"}, 1, false, true, {"H", "d", "b", "c", "a"}, nullptr},
    };
    for (const Case& c : cases) {
        Rows rows = {{"H", "Delay"}};
        for (size_t i = 0; i < c.keys.size(); ++i)
            rows.push_back({std::string(1, static_cast<char>('a' + i)), c.keys[i]});
        GridModel grid;
        Fill(grid, rows, c.fixedRows, 1);
        auto sort = [&] { c.numeric ? grid.SortNumeric(1, c.ascending) : grid.SortText(1, c.ascending); };
        if (c.error) {
            EXPECT_EQ(MessageOf<EConvertError>(sort), c.error) << c.name;
        } else {
            sort();
            std::vector<std::string> tags;
            for (int r = 0; r < grid.RowCount(); ++r)
                tags.push_back(grid.Cell(0, r));
            EXPECT_EQ(tags, c.expectTags) << c.name;
        }
        EXPECT_EQ(grid.SortColumn(), 1) << c.name;
        // Whatever happened, rows moved whole and none was lost.
        Rows after = Contents(grid);
        std::sort(after.begin(), after.end());
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(after, rows) << c.name;
    }
}

TEST(GridModelSort, OrderOfEqualKeysMatchesTheRecursiveProcedure) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        int count = 1 + static_cast<int>(random() % 40);
        std::vector<std::pair<std::string, int>> reference;
        GridModel grid;
        grid.SetFixedCols(0);
        grid.SetColCount(2);
        grid.SetRowCount(count + 1);
        for (int i = 0; i < count; ++i) {
            std::string key = std::to_string(random() % 6);
            reference.push_back({key, i});
            grid.SetCell(0, i + 1, std::to_string(i));
            grid.SetCell(1, i + 1, key);
        }
        ReferenceQuickSort(reference, 0, count - 1);
        grid.SortText(1, true);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(grid.Cell(0, i + 1), std::to_string(reference[i].second)) << "round " << round;
    }
}

TEST(GridModelEdit, CollapseLineBreaks) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a\r\nb", "a b"}, {"a\rb", "a\rb"}, {"a\nb", "a\nb"},   {"\r\n\r\n", "  "},
        {"\r\r\n", "\r "}, {"\n\r", "\n\r"}, {"plain", "plain"}, {"", ""},
    };
    for (const Case& c : cases) {
        GridModel grid;
        grid.SetCell(1, 1, c.in);
        grid.CollapseLineBreaks(1, 1);
        EXPECT_EQ(grid.Cell(1, 1), c.out);
    }
}

TEST(GridModelSparse, HugeCountsCostNothingUntilFilled) {
    GridModel grid;
    grid.SetRowCount(INT_MAX);
    grid.SetColCount(INT_MAX);
    grid.SetCell(INT_MAX - 1, INT_MAX - 1, "corner");
    grid.SetCell(3, 2, "x");
    grid.MoveRow(2, INT_MAX - 2);
    EXPECT_EQ(grid.Cell(3, INT_MAX - 2), "x");
    grid.DeleteRow(0);
    EXPECT_EQ(grid.RowCount(), INT_MAX - 1);
    EXPECT_EQ(grid.Cell(INT_MAX - 1, INT_MAX - 2), "corner");
    grid.ReverseRows();
    grid.ClearRows(true);
    EXPECT_EQ(grid.RowCount(), 2);
    grid.SetColCount(4);
    EXPECT_EQ(grid.RowExtent(0), 0);
}

TEST(GridModelListener, UpdatesAreReportedOnceAtTheEnd) {
    GridModel grid;
    Recorder recorder;
    grid.SetListener(&recorder);
    grid.BeginUpdate();
    for (int c = 0; c < grid.ColCount(); ++c)
        grid.SetColWidth(c, 10 + c);
    grid.SetRowCount(100);
    EXPECT_EQ(recorder.layouts, 0);
    grid.EndUpdate();
    EXPECT_EQ(recorder.layouts, 1);
}

// A row's tag is the row's own: it follows the row wherever the row goes, goes with it, and is
// never a cell.
TEST(GridModelRowTag, FollowsItsRowAndIsNoCell) {
    GridModel grid;
    Fill(grid, {{"h", "d"}, {"a", "30"}, {"b", "10"}, {"c", "20"}, {"", ""}});
    grid.SetRowTag(1, "tag-a");
    grid.SetRowTag(3, "tag-c");
    grid.SetRowTag(4, "tag-empty");  // a row without cells keeps its tag too
    auto tagOf = [&](const std::string& name) {
        for (int row = 0; row < grid.RowCount(); ++row)
            if (grid.Cell(0, row) == name || grid.Cell(1, row) == name)
                return grid.RowTag(row);
        return std::string("(no row)");
    };

    // A sort that stops at a key that is no number leaves every tag with its row.
    EXPECT_THROW(grid.SortNumeric(1, true), EConvertError);
    EXPECT_EQ(tagOf("a"), "tag-a");
    EXPECT_EQ(tagOf("c"), "tag-c");
    grid.SetCell(1, 4, "0");
    grid.SortNumeric(1, true);
    EXPECT_EQ(Contents(grid), (Rows{{"h", "d"}, {"", "0"}, {"b", "10"}, {"c", "20"}, {"a", "30"}}));
    EXPECT_EQ(grid.RowTag(1), "tag-empty");
    EXPECT_EQ(tagOf("a"), "tag-a");
    EXPECT_EQ(tagOf("b"), "");
    EXPECT_EQ(tagOf("c"), "tag-c");

    grid.SortText(0, false);
    grid.ExchangeRows(1, 2);
    grid.MoveRow(4, 1);
    grid.ReverseRows();
    EXPECT_EQ(tagOf("a"), "tag-a");
    EXPECT_EQ(tagOf("c"), "tag-c");

    // Not a cell: no extent, no visit, no text at column -1, and not in the columns' moves.
    for (int row = 0; row < grid.RowCount(); ++row) {
        EXPECT_EQ(grid.Cell(-1, row), "");
        if (grid.Cell(0, row).empty()) {
            EXPECT_EQ(grid.RowExtent(row), 2);
        }
    }
    int visited = 0;
    grid.VisitCells([&](int col, int, const std::string& text) {
        EXPECT_GE(col, 0);
        EXPECT_EQ(text.rfind("tag-", 0), std::string::npos);
        ++visited;
    });
    EXPECT_EQ(visited, 9);
    grid.MoveColumn(0, 1);
    EXPECT_EQ(tagOf("a"), "tag-a");

    // A cleared row loses its tag; an emptied cell does not clear it.
    int rowA = -1;
    for (int row = 0; row < grid.RowCount(); ++row)
        if (grid.Cell(1, row) == "a")
            rowA = row;
    ASSERT_GE(rowA, 1);
    grid.SetCell(0, rowA, "");
    grid.SetCell(1, rowA, "");
    EXPECT_EQ(grid.RowTag(rowA), "tag-a");
    EXPECT_EQ(grid.RowExtent(rowA), 0);
    grid.ClearRow(rowA);
    EXPECT_EQ(grid.RowTag(rowA), "");
    grid.SetRowTag(rowA, "again");
    grid.SetRowTag(rowA, "");
    EXPECT_EQ(grid.RowTag(rowA), "");
    EXPECT_THROW(grid.SetRowTag(grid.RowCount(), "x"), EInvalidGridOperation);
}
