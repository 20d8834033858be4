// The grid control under Wine, driven by real window messages: editing, selection events,
// keyboard and mouse, painting, hints and gestures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/GridTestSupport.h"

using namespace gridtest;

TEST_F(GridTest, WindowClassAndAWindowTextOfItsCaptionOnly) {
    char name[64] = {};
    GetClassNameA(grid->Handle(), name, sizeof(name));
    EXPECT_STREQ(name, "TEnhancedStrGrid");
    // Readers take the cells from the accessible table; the window text does not carry them.
    EXPECT_EQ(WindowText(grid->Handle()), "");
    EXPECT_EQ(SendMessageA(grid->Handle(), WM_GETTEXTLENGTH, 0, 0), 0);
    grid->SetCaption("Start-up items");
    EXPECT_EQ(WindowText(grid->Handle()), "Start-up items");
}

TEST_F(GridTest, DoubleClickOpensTheEditorAndEnterCommits) {
    DoubleClick(*grid, 2, 3);
    EXPECT_EQ(selected, (std::vector<Cell>{{2, 3}}));
    ASSERT_TRUE(grid->EditorMode());
    HWND editor = grid->InplaceEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(IsWindowVisible(editor));
    EXPECT_EQ(WindowText(editor), "z");
    EXPECT_EQ(GetFocus(), editor);

    Type(editor, "new");  // replaces the selected text
    EXPECT_EQ(grid->Cell(2, 3), "z") << "the cell changes when the edit ends";
    EXPECT_TRUE(ended.empty());
    Key(editor, VK_RETURN);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(grid->Cell(2, 3), "new");
    EXPECT_EQ(ended, (std::vector<Edit>{{2, 3, "new"}}));
    EXPECT_EQ(GetFocus(), grid->Handle());
    Pump();
    EXPECT_EQ(ended.size(), 1u);
    EXPECT_EQ(selected.size(), 1u);
}

TEST_F(GridTest, EscapeCancelsAndStillReportsTheEdit) {
    grid->SetCol(1);
    selected.clear();
    Key(grid->Handle(), VK_F2);
    ASSERT_TRUE(grid->EditorMode());
    Type(grid->InplaceEditor(), "99");
    EXPECT_EQ(WindowText(grid->InplaceEditor()), "3099") << "F2 keeps the text and puts the caret at its end";
    Key(grid->InplaceEditor(), VK_ESCAPE);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(grid->Cell(1, 1), "30");
    EXPECT_EQ(ended, (std::vector<Edit>{{1, 1, "30"}}));
    EXPECT_TRUE(selected.empty());
}

TEST_F(GridTest, TypingOpensTheEditorAndClickingAnotherCellCommits) {
    Type(grid->Handle(), "q");
    ASSERT_TRUE(grid->EditorMode());
    EXPECT_EQ(WindowText(grid->InplaceEditor()), "q");
    Click(*grid, 2, 4);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(grid->Cell(0, 1), "q");
    EXPECT_EQ(ended, (std::vector<Edit>{{0, 1, "q"}})) << "the edited cell, not the one clicked";
    EXPECT_EQ(selected, (std::vector<Cell>{{2, 4}}));
    EXPECT_EQ(grid->Col(), 2);
    EXPECT_EQ(grid->Row(), 4);
}

TEST_F(GridTest, ClickOnTheCurrentCellEditsWithoutSelecting) {
    Click(*grid, 0, 1);
    EXPECT_TRUE(grid->EditorMode());
    EXPECT_TRUE(selected.empty());
    // Unchanged text still ends an edit when the focus leaves for another window.
    SetFocus(nullptr);
    Pump();
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(ended, (std::vector<Edit>{{0, 1, "alpha"}}));
}

TEST_F(GridTest, AHandlerThatSortsSeesTheEditOnce) {
    // As the main window does: every ended edit sorts the items by their delay.
    onEndEdit = [this] { grid->SortNumeric(1, true); };
    grid->SetCol(1);
    grid->SetRow(4);
    Key(grid->Handle(), VK_F2);
    SetWindowTextA(grid->InplaceEditor(), "5");
    Key(grid->InplaceEditor(), VK_RETURN);
    Pump();
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0], (Edit{1, 4, "5"}));
    std::vector<std::string> order;
    for (int r = 1; r < grid->RowCount(); ++r)
        order.push_back(grid->Cell(0, r));
    EXPECT_EQ(order, (std::vector<std::string>{"delta", "beta", "gamma", "alpha"}));
    EXPECT_TRUE(errors.empty());
}

TEST_F(GridTest, AFailingSortAfterAnEditReachesTheGlobalHandlerOnce) {
    onEndEdit = [this] { grid->SortNumeric(1, true); };
    grid->SetCol(1);
    Key(grid->Handle(), VK_F2);
    SetWindowTextA(grid->InplaceEditor(), "soon");
    Key(grid->InplaceEditor(), VK_RETURN);
    Pump();
    EXPECT_EQ(ended.size(), 1u);
    EXPECT_EQ(errors, (std::vector<std::string>{"'soon' is not a valid integer value"}));
    EXPECT_EQ(Screen.Cursor(), crDefault);
}

TEST_F(GridTest, LineBreaksTypedIntoACellBecomeBlanks) {
    Key(grid->Handle(), VK_F2);
    SetWindowTextA(grid->InplaceEditor(), "a\r\nb\rc\nd");
    Key(grid->InplaceEditor(), VK_RETURN);
    EXPECT_EQ(grid->Cell(0, 1), "a b\rc\nd");
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].text, "a b\rc\nd") << "OnEndEdit sees the stored text";
}

TEST_F(GridTest, KeyboardNavigationSelectsEveryCellItMovesTo) {
    grid->SetOptions(grid->Options() | goTabs);
    struct Step {
        WPARAM key;
        TShiftState shift;
        Cell expect;
        GridRect selection;
    } steps[] = {
        {VK_DOWN, 0, {0, 2}, {0, 2, 0, 2}},
        {VK_RIGHT, 0, {1, 2}, {1, 2, 1, 2}},
        {VK_END, 0, {2, 2}, {2, 2, 2, 2}},
        {VK_TAB, 0, {0, 3}, {0, 3, 0, 3}},
        {VK_HOME, 0, {0, 3}, {0, 3, 0, 3}},
        {VK_UP, 0, {0, 2}, {0, 2, 0, 2}},
        {VK_NEXT, 0, {0, 4}, {0, 4, 0, 4}},
        {VK_PRIOR, 0, {0, 1}, {0, 1, 0, 1}},
        {VK_UP, 0, {0, 1}, {0, 1, 0, 1}},
        {VK_END, ssCtrl, {2, 4}, {2, 4, 2, 4}},
        {VK_HOME, ssCtrl, {0, 1}, {0, 1, 0, 1}},
        // Shift keeps the anchor where the cursor was: a range.
        {VK_RIGHT, ssShift, {1, 1}, {0, 1, 1, 1}},
        {VK_DOWN, ssShift, {1, 2}, {0, 1, 1, 2}},
        {VK_DOWN, 0, {1, 3}, {1, 3, 1, 3}},
    };
    for (const Step& step : steps) {
        KeyWith(grid->Handle(), step.key, step.shift);
        EXPECT_EQ(grid->Col(), step.expect.col) << step.key << " shift " << step.shift;
        EXPECT_EQ(grid->Row(), step.expect.row) << step.key << " shift " << step.shift;
        EXPECT_EQ(grid->Selection(), step.selection) << step.key << " shift " << step.shift;
    }
    // Home on column 0 and Up on the first item move nothing and ask nothing; the header row is
    // never selected.
    EXPECT_EQ(
        selected,
        (std::vector<Cell>{
            {0, 2}, {1, 2}, {2, 2}, {0, 3}, {0, 2}, {0, 4}, {0, 1}, {2, 4}, {0, 1}, {1, 1}, {1, 2}, {1, 3}}));
}

TEST_F(GridTest, EnterOrF2OpensTheEditorAndEscapeLeavesTheCellAlsoUnderADialogManager) {
    // A dialog manager (IsDialogMessage) keeps Enter and Esc for the dialog's buttons unless the
    // focused window asks for them.
    const HWND form = GetAncestor(grid->Handle(), GA_ROOT);
    for (const bool dialogManager : {false, true}) {
        SCOPED_TRACE(dialogManager ? "through IsDialogMessage" : "dispatched");
        auto press = [&](HWND target, WPARAM key) {
            MSG down = {target, WM_KEYDOWN, key, 1, 0, {}};
            MSG up = {target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u), 0, {}};
            for (MSG* msg : {&down, &up})
                if (!dialogManager || !IsDialogMessageA(form, msg))
                    DispatchMessageA(msg);
            Pump();
        };
        ended.clear();
        grid->SetCol(2);
        grid->SetRow(2);
        press(grid->Handle(), VK_RETURN);
        ASSERT_TRUE(grid->EditorMode());
        Type(grid->InplaceEditor(), "zz");
        EXPECT_EQ(WindowText(grid->InplaceEditor()), "zz") << "Enter selects the text, typing replaces it";
        press(grid->InplaceEditor(), VK_ESCAPE);
        EXPECT_FALSE(grid->EditorMode());
        EXPECT_EQ(grid->Cell(2, 2), "y");
        EXPECT_EQ(ended, (std::vector<Edit>{{2, 2, "y"}}));

        press(grid->Handle(), VK_F2);
        ASSERT_TRUE(grid->EditorMode());
        Type(grid->InplaceEditor(), "!");
        press(grid->InplaceEditor(), VK_RETURN);
        EXPECT_FALSE(grid->EditorMode());
        EXPECT_EQ(grid->Cell(2, 2), "y!") << "F2 puts the caret after the text; Enter keeps the edit";
        EXPECT_EQ(ended.size(), 2u);
        grid->SetCell(2, 2, "y");
    }
}

TEST_F(GridTest, ARefusedSelectionKeepsTheCursor) {
    refuseSelection = true;
    Click(*grid, 2, 3);
    Key(grid->Handle(), VK_DOWN);
    EXPECT_EQ(selected, (std::vector<Cell>{{2, 3}, {0, 2}}));
    EXPECT_EQ(grid->Col(), 0);
    EXPECT_EQ(grid->Row(), 1);
}

TEST_F(GridTest, DraggingSelectsARangeAndEachNewCellIsAsked) {
    const LPARAM from = CellPoint(*grid, 0, 2), to = CellPoint(*grid, 2, 4);
    Press(grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, from);
    Press(grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, CellPoint(*grid, 1, 3));
    Press(grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, to);
    Press(grid->Handle(), WM_LBUTTONUP, 0, to);
    EXPECT_EQ(grid->Selection(), (GridRect{0, 2, 2, 4}));
    EXPECT_EQ(selected, (std::vector<Cell>{{0, 2}, {1, 3}, {2, 4}}));
    // A range is drawn selected, the cursor cell included (goDrawFocusSelected).
    Rendering picture(grid->Handle());
    const RECT inner = grid->CellRect(1, 3);
    EXPECT_EQ(picture.At(inner.right - 3, inner.bottom - 3), GetSysColor(COLOR_HIGHLIGHT));
    Click(*grid, 1, 1);
    EXPECT_EQ(grid->Selection(), (GridRect{1, 1, 1, 1}));
}

TEST_F(GridTest, ColumnsAreSizedByDraggingTheirHeaderLine) {
    const RECT header = grid->CellRect(0, 0);
    const int lineX = header.right;  // the grid line right of column 0
    Press(grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(lineX, 5));
    Press(grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(lineX + 30, 5));
    Press(grid->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(lineX + 30, 5));
    EXPECT_EQ(grid->ColWidth(0), 80);
    EXPECT_EQ(grid->ColWidth(1), 50);
    EXPECT_TRUE(selected.empty());
    // Below the header the same line is just a cell edge.
    const RECT item = grid->CellRect(0, 2);
    Press(grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.right, item.top + 3));
    Press(grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(item.right + 30, item.top + 3));
    Press(grid->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(item.right + 30, item.top + 3));
    EXPECT_EQ(grid->ColWidth(0), 80);
}

TEST_F(GridTest, RowsMoveByDraggingAFixedColumnCell) {
    grid->SetFixedCols(1);
    const LPARAM from = CellPoint(*grid, 0, 1), to = CellPoint(*grid, 0, 3);
    Press(grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, from);
    Press(grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, to);
    Press(grid->Handle(), WM_LBUTTONUP, 0, to);
    std::vector<std::string> order;
    for (int r = 1; r < grid->RowCount(); ++r)
        order.push_back(grid->Cell(0, r) + grid->Cell(1, r));
    EXPECT_EQ(order, (std::vector<std::string>{"beta10", "gamma20", "alpha30", "delta40"}));
}

TEST_F(GridTest, ScrollBarsWheelAndKeyboardScrollByRows) {
    grid->SetRowCount(200);
    grid->SetFixedRows(1);
    EXPECT_EQ(grid->TopRow(), 1);
    SendMessageA(grid->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(grid->TopRow(), 2);
    SendMessageA(grid->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
    const int bottom = grid->TopRow();
    EXPECT_GT(bottom, 150);
    SendMessageA(grid->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_LT(grid->TopRow(), bottom);
    SendMessageA(grid->Handle(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(grid->TopRow(), 1);
    // The cursor moved below the window scrolls into view.
    grid->SetRow(150);
    const RECT rect = grid->CellRect(0, 150);
    EXPECT_FALSE(IsRectEmpty(&rect));
    RECT client;
    GetClientRect(grid->Handle(), &client);
    EXPECT_LE(rect.bottom, client.bottom);
    // The header row stays at the top whatever is scrolled.
    const RECT header = grid->CellRect(0, 0);
    EXPECT_EQ(header.top, 0);
}

// SPI_SETWHEELSCROLLLINES for the length of a scope.
class WheelLines {
  public:
    WheelLines() { SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &saved_, 0); }
    ~WheelLines() { Set(saved_); }
    WheelLines(const WheelLines&) = delete;
    WheelLines& operator=(const WheelLines&) = delete;
    static void Set(UINT lines) { SystemParametersInfoA(SPI_SETWHEELSCROLLLINES, lines, nullptr, 0); }

  private:
    UINT saved_ = 3;
};

TEST_F(GridTest, WheelTurnsBelowANotchAddUpAndTheSidewaysWheelScrollsColumns) {
    WheelLines restore;
    grid->SetRowCount(200);
    grid->SetColCount(40);
    for (int r = 0; r < 20; ++r)
        SendMessageA(grid->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    ASSERT_EQ(grid->TopRow(), 21);
    RECT client;
    GetClientRect(grid->Handle(), &client);
    const RECT header = grid->CellRect(0, 0);
    const int rowPitch = header.bottom - header.top + 1;
    const int pageRows = static_cast<int>((client.bottom - rowPitch) / rowPitch);
    // Toward the user (negative) scrolls down. Each step: the lines setting, the turn, the top row
    // after it.
    struct Step {
        UINT lines;
        int delta;
        int topRow;
    } steps[] = {
        {3, -WHEEL_DELTA, 24},  // a notch: three rows
        {3, -40, 25},           // a precision touchpad's third of a notch: one row of the three
        {3, -40, 26},
        {3, -40, 27},
        {1, -40, 27},  // one row a notch: nothing until a whole notch has come in
        {1, -40, 27},
        {1, -40, 28},
        {1, -100, 28},  // turning back drops what the other direction left
        {1, 30, 28},
        {1, -100, 28},
        {1, -20, 29},
        {0, -WHEEL_DELTA, 29},  // wheel scrolling switched off
        {WHEEL_PAGESCROLL, -WHEEL_DELTA, 29 + pageRows},
        {3, WHEEL_DELTA, 26 + pageRows},
    };
    for (const Step& step : steps) {
        WheelLines::Set(step.lines);
        SendMessageA(grid->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(step.delta)), 0);
        EXPECT_EQ(grid->TopRow(), step.topRow) << step.lines << " lines, delta " << step.delta;
    }
    // The sideways wheel: to the right (positive) scrolls right, a column a notch.
    struct Tilt {
        int delta;
        int leftCol;
    } tilts[] = {{WHEEL_DELTA, 1}, {60, 1}, {60, 2}, {-WHEEL_DELTA, 1}, {-WHEEL_DELTA, 0}};
    ASSERT_EQ(grid->LeftCol(), 0);
    for (const Tilt& tilt : tilts) {
        SendMessageA(grid->Handle(), WM_MOUSEHWHEEL, MAKEWPARAM(0, static_cast<WORD>(tilt.delta)), 0);
        EXPECT_EQ(grid->LeftCol(), tilt.leftCol) << "delta " << tilt.delta;
    }
    EXPECT_EQ(grid->TopRow(), 26 + pageRows) << "the sideways wheel leaves the rows";
}

TEST_F(GridTest, TheSortMarkerIsDrawnInTheSortedColumnsHeader) {
    const COLORREF marker = RGB(144, 144, 154);
    {
        Rendering before(grid->Handle());
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(before.Count(grid->CellRect(c, 0), marker), 0)
                << "no marker before a sort, column " << c;
    }
    grid->SortNumeric(1, true);
    EXPECT_EQ(grid->SortColumn(), 1);
    Rendering after(grid->Handle());
    const RECT header = grid->CellRect(1, 0);
    EXPECT_EQ(after.At(header.left + 4, 7), marker);
    EXPECT_GT(after.Count(header, marker), 20);
    EXPECT_EQ(after.Count(grid->CellRect(0, 0), marker), 0);
    EXPECT_EQ(after.Count(grid->CellRect(2, 0), marker), 0);
    EXPECT_EQ(grid->Cell(0, 1), "beta");
}

TEST_F(GridTest, HighlightedCellsAreExactlyTheOnesWithTheTextBelowRowZero) {
    grid->SetCell(2, 0, "+");
    grid->SetCell(2, 2, "+");
    grid->SetCell(2, 3, "+ ");
    grid->SetHighlightString("+");
    grid->SetCol(0);
    Rendering picture(grid->Handle());
    const COLORREF highlight = RGB(160, 160, 192);
    auto inner = [&](int col, int row) {
        RECT r = grid->CellRect(col, row);
        return RECT{r.right - 8, r.top + 1, r.right - 1, r.bottom - 1};
    };
    EXPECT_GT(picture.Count(inner(2, 2), highlight), 0);
    EXPECT_EQ(picture.Count(inner(2, 3), highlight), 0);
    EXPECT_EQ(picture.Count(inner(2, 0), highlight), 0);
}

TEST_F(GridTest, ContentHintsFollowTheMouseFromCellToCell) {
    grid->SetAlowContentHints(true);
    Press(grid->Handle(), WM_MOUSEMOVE, 0, CellPoint(*grid, 1, 2));
    EXPECT_EQ(grid->Hint(), "10");
    grid->SetCell(1, 2, "changed");
    Press(grid->Handle(), WM_MOUSEMOVE, 0, CellPoint(*grid, 1, 2, 3));
    EXPECT_EQ(grid->Hint(), "10") << "within the same cell nothing changes";
    Press(grid->Handle(), WM_MOUSEMOVE, 0, CellPoint(*grid, 2, 4));
    EXPECT_EQ(grid->Hint(), "w");
    grid->SetAlowContentHints(false);
    EXPECT_EQ(grid->Hint(), "");
}

TEST_F(GridTest, MouseGesturesSortInsertAndSwitchTheHeader) {
    grid->SetAlowMouseSort(true);
    grid->SetAlowMouseInsert(true);
    grid->SetAlowMouseSwitchHead(true);

    // Shift+click on a header cell sorts by its column as text.
    Click(*grid, 0, 0, MK_SHIFT);
    EXPECT_EQ(grid->SortColumn(), 0);
    EXPECT_EQ(grid->Cell(0, 1), "alpha");
    EXPECT_EQ(grid->Cell(0, 4), "gamma");

    // Ctrl+click duplicates the clicked row below itself; the cursor lands on the copy.
    Click(*grid, 1, 2, MK_CONTROL);
    ASSERT_EQ(grid->RowCount(), 6);
    EXPECT_EQ(grid->Row(), 3);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(grid->Cell(c, 3), grid->Cell(c, 2));
    EXPECT_EQ(grid->Cell(0, 4), "delta");

    // Alt+click switches the header row off (Alt is read from the keyboard state).
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    Click(*grid, 1, 4);
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(grid->FixedRows(), 0);
}

TEST_F(GridTest, SwitchingTheHeaderOfAOneRowGridFailsThroughTheGlobalHandler) {
    grid->SetAlowMouseSwitchHead(true);
    grid->SetRowCount(1);
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    Click(*grid, 1, 0);
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(errors, (std::vector<std::string>{"Fixed row count must be less than row count"}));
    EXPECT_EQ(grid->FixedRows(), 0);
}
