// The data of a string grid and its rules, free of any window: cells, counts, fixed rows and
// columns, column widths, the cursor and the enhanced grid's row operations and sorts. The
// control (TEnhancedStrGrid) is a view over one GridModel: it asks the model to change and
// repaints when the model reports a change through its listener.
//
// Storage is sparse (only non-empty cells are kept), so a count read from a hostile table file
// costs no memory until cells are filled.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

// What a grid's view hears from its model. All methods have empty defaults.
class GridModelListener {
  public:
    virtual ~GridModelListener() = default;
    // Asked before the cursor moves to (col, row) at anyone's request (the program's or the
    // user's); false keeps the cursor where it is. The control raises OnSelectCell here.
    virtual bool CanSelectCell(int /*col*/, int /*row*/) { return true; }
    // The cursor or the selection anchor moved (oldCol, oldRow: the cursor before).
    virtual void CursorMoved(int /*oldCol*/, int /*oldRow*/) {}
    virtual void CellChanged(int /*col*/, int /*row*/) {}
    // The texts of rows firstRow..lastRow changed (rows moved, exchanged, cleared).
    virtual void RowsChanged(int /*firstRow*/, int /*lastRow*/) {}
    // Counts, fixed counts, sizes or the columns' contents changed: everything may look different.
    virtual void LayoutChanged() {}
};

// A rectangle of cells, both corners included.
struct GridRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Contains(int col, int row) const {
        return col >= left && col <= right && row >= top && row <= bottom;
    }
    bool operator==(const GridRect&) const = default;
};

class GridModel {
  public:
    // The base string grid's own defaults; the enhanced grid's constructor replaces most of them.
    static constexpr int kBaseColCount = 5, kBaseRowCount = 5, kBaseFixedCols = 1, kBaseFixedRows = 1;
    static constexpr int kBaseDefaultColWidth = 64, kBaseDefaultRowHeight = 24;

    GridModel() = default;
    GridModel(const GridModel&) = delete;
    GridModel& operator=(const GridModel&) = delete;

    // The listener is not owned; null detaches it.
    void SetListener(GridModelListener* listener) { listener_ = listener; }

    // Notifications are held back between BeginUpdate and the matching EndUpdate, which reports
    // one LayoutChanged (and one CursorMoved) for everything that happened. The selection hook
    // is asked as usual.
    void BeginUpdate() { ++updateDepth_; }
    void EndUpdate();

    // ---- Cells ----
    // Reading outside the grid gives the empty text; writing outside it fails with
    // "Grid index out of range".
    const std::string& Cell(int col, int row) const;
    void SetCell(int col, int row, const std::string& text);
    void ClearRow(int row);
    void ClearColumn(int col);
    // Empties cells (firstCol .. ColCount-1, row).
    void ClearRowFrom(int row, int firstCol);
    // The row's last non-empty column + 1 (0 for an empty row): cells beyond it are empty.
    int RowExtent(int row) const;
    // A hidden text of the row's own: it travels with the row through every move, exchange and
    // sort, goes when the row is cleared or deleted, and is no cell (the table file does not hold
    // it, and it takes no part in extents or visits). The owner of the grid keeps what it knows
    // about a row there. Reading outside the grid gives the empty text; writing fails with "Grid
    // index out of range".
    const std::string& RowTag(int row) const;
    void SetRowTag(int row, const std::string& tag);
    // Calls visit(col, row, text) for every non-empty cell, row by row, left to right.
    void VisitCells(const std::function<void(int col, int row, const std::string& text)>& visit) const;

    // ---- Shape ----
    int RowCount() const { return rowCount_; }
    int ColCount() const { return colCount_; }
    // Below 1 means 1. A fixed count that would reach the new count is lowered to count - 1; a
    // cursor beyond the new count moves to the last row or column.
    void SetRowCount(int value);
    void SetColCount(int value);
    int FixedRows() const { return fixedRows_; }
    int FixedCols() const { return fixedCols_; }
    // Fails with "Fixed row count must be less than row count" (or the column counterpart). A
    // cursor left in a fixed row or column moves to the first non-fixed one.
    void SetFixedRows(int value);
    void SetFixedCols(int value);

    int DefaultColWidth() const { return defaultColWidth_; }
    // Every column takes the new default width, as the base grid does.
    void SetDefaultColWidth(int value);
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int value);
    // The stored width (any integer, as a table file may hold); outside the grid the default.
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);

    // ---- Cursor and selection ----
    int Col() const { return col_; }
    int Row() const { return row_; }
    // Assigning the current value does nothing; otherwise as FocusCell.
    void SetCol(int value);
    void SetRow(int value);
    // Moves the cursor through the selection hook. Fails with "Grid index out of range" for a
    // cell outside the grid. Returns false when the hook refused (nothing changed). moveAnchor
    // false keeps the selection's other corner (range selection).
    bool FocusCell(int col, int row, bool moveAnchor = true);
    int AnchorCol() const { return anchorCol_; }
    int AnchorRow() const { return anchorRow_; }
    GridRect Selection() const;
    // Puts cursor and anchor on the first non-fixed cell without asking the hook (a grid being
    // set up has no cell the user chose yet).
    void ResetCursor();

    // ---- Base-grid moves ----
    // Moving From to To carries the row's cells along and shifts the rows in between by one;
    // the cursor follows its row. Deleting is moving to the last place and shrinking the count.
    void MoveRow(int fromIndex, int toIndex);
    void MoveColumn(int fromIndex, int toIndex);
    void DeleteRow(int row);
    void DeleteColumn(int col);

    // ---- Enhanced operations ----
    bool ForceKeepHeaders() const { return forceKeepHeaders_; }
    void SetForceKeepHeaders(bool value) { forceKeepHeaders_ = value; }
    int SortColumn() const { return sortColumn_; }

    void AddRow();
    void InsertRowBelow(int row);
    void RemoveRow(int row);
    void RemoveCurrentRow();
    void RemoveColumn(int col);
    [[nodiscard]] bool MoveRowUp();
    [[nodiscard]] bool MoveRowDown();
    void ExchangeRows(int a, int b);
    void ReverseRows();
    void ClearRows(bool keepHeader);
    void ToggleHeaderRow();
    // Rows FixedRows..RowCount-1 by the integer value (StrToInt, converted afresh at every
    // comparison: a cell that is no integer raises EConvertError) or by the text compared with
    // only a-z folded; descending is the ascending order reversed.
    void SortNumeric(int col, bool ascending);
    void SortText(int col, bool ascending);
    // Replaces every CR LF pair of the cell by one blank (the in-place editor lets the user type
    // line breaks the table file cannot hold).
    void CollapseLineBreaks(int col, int row);

  private:
    // A row's non-empty cells by column; the row's tag is kept under kTagKey, before every column.
    using RowCells = std::map<int, std::string>;
    static constexpr int kTagKey = -1;
    enum class SortKind { Numeric, Text };

    void Sort(int col, bool ascending, SortKind kind);
    void QuickSort(int lo, int hi, int col, SortKind kind);
    void CheckCell(int col, int row) const;
    void PlaceCursor(int col, int row, int anchorCol, int anchorRow);  // no hook: the data moved
    void KeepCursorOutOfFixed();
    void NotifyCursor(int oldCol, int oldRow, int oldAnchorCol, int oldAnchorRow);
    void NotifyCell(int col, int row);
    void NotifyRows(int first, int last);
    void NotifyLayout();

    std::map<int, RowCells> rows_;  // row -> column -> non-empty text
    std::map<int, int> colWidths_;  // columns whose width was set since the last default change
    int rowCount_ = kBaseRowCount;
    int colCount_ = kBaseColCount;
    int fixedRows_ = kBaseFixedRows;
    int fixedCols_ = kBaseFixedCols;
    int defaultColWidth_ = kBaseDefaultColWidth;
    int defaultRowHeight_ = kBaseDefaultRowHeight;
    int col_ = kBaseFixedCols, row_ = kBaseFixedRows;
    int anchorCol_ = kBaseFixedCols, anchorRow_ = kBaseFixedRows;
    bool forceKeepHeaders_ = false;
    int sortColumn_ = -1;

    GridModelListener* listener_ = nullptr;
    int updateDepth_ = 0;
    bool pendingLayout_ = false;
    bool pendingCursor_ = false;
    int pendingOldCol_ = 0, pendingOldRow_ = 0;
};
