// TStringGrid: the editable string grid control the enhanced grid builds on. It is a view over a
// GridModel (cells, counts, cursor and the grid's rules): it paints fixed and normal cells with
// their grid lines, scrolls by whole rows and columns, navigates with the keyboard, selects with
// the mouse (ranges too), sizes columns and moves rows by dragging, and edits a cell in place in
// an EDIT child window. Every cursor move, the program's or the user's, goes through SelectCell,
// which raises OnSelectCell and may refuse it.
//
// Screen readers read the grid through Microsoft Active Accessibility: WM_GETOBJECT answers with
// the table of GridAccessible (rows and cells, see there), and every cursor move while the grid
// has the focus raises EVENT_OBJECT_FOCUS for the new cursor cell. The window text is only the
// window's own caption. With a high-contrast scheme on, cells, lines and markers are drawn in
// system colours only.
//
// Widths and heights are in 96-dpi pixels, as the table file stores them, and are scaled to the
// window's DPI for drawing and hit testing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "components/GridModel.h"
#include "wingui/WinGui.h"

enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0,
    goFixedHorzLine = 1u << 1,
    goVertLine = 1u << 2,
    goHorzLine = 1u << 3,
    goRangeSelect = 1u << 4,
    goDrawFocusSelected = 1u << 5,
    goColSizing = 1u << 6,
    goRowMoving = 1u << 7,
    goEditing = 1u << 8,
    goTabs = 1u << 9,  // Tab and Shift+Tab move between cells instead of leaving the grid
    goThumbTracking = 1u << 10,
};
using TGridOptions = unsigned;
constexpr TGridOptions kBaseGridOptions =
    goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;

enum TGridDrawStateFlag : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;

using TSelectCellEvent = std::function<void(TObject* sender, int col, int row, bool& canSelect)>;
using TDrawCellEvent =
    std::function<void(TObject* sender, int col, int row, const RECT& rect, TGridDrawState state)>;

class GridAccessible;

class TStringGrid : public TCustomControl, private GridModelListener {
  public:
    explicit TStringGrid(TComponent* owner);
    ~TStringGrid() override;

    // ---- Cells and shape (the model's rules; see GridModel) ----
    const std::string& Cell(int col, int row) const { return model_.Cell(col, row); }
    const std::string& Cells(int col, int row) const { return model_.Cell(col, row); }
    void SetCell(int col, int row, const std::string& text);
    int RowCount() const { return model_.RowCount(); }
    void SetRowCount(int value);
    int ColCount() const { return model_.ColCount(); }
    void SetColCount(int value);
    int FixedRows() const { return model_.FixedRows(); }
    void SetFixedRows(int value);
    int FixedCols() const { return model_.FixedCols(); }
    void SetFixedCols(int value);
    int ColWidth(int col) const { return model_.ColWidth(col); }
    void SetColWidth(int col, int width);
    int DefaultColWidth() const { return model_.DefaultColWidth(); }
    void SetDefaultColWidth(int value);
    int DefaultRowHeight() const { return model_.DefaultRowHeight(); }
    void SetDefaultRowHeight(int value);
    void MoveRow(int fromIndex, int toIndex);
    void MoveColumn(int fromIndex, int toIndex);

    // ---- Cursor and selection ----
    int Col() const { return model_.Col(); }
    void SetCol(int value);
    int Row() const { return model_.Row(); }
    void SetRow(int value);
    GridRect Selection() const { return model_.Selection(); }
    // Moves the cursor to a non-fixed cell as a user's click does (the editor closes keeping its
    // text; extend keeps the selection's anchor with goRangeSelect). False when the cell is
    // outside the grid or fixed, or the selection handler refused.
    [[nodiscard]] bool MoveCursor(int col, int row, bool extend);
    int TopRow() const { return topRow_; }
    int LeftCol() const { return leftCol_; }

    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions options);

    // ---- In-place editing ----
    // True while the editor is open. Setting true opens it on the cursor cell (with goEditing);
    // false closes it and keeps its text.
    bool EditorMode() const { return editorOpen_; }
    void SetEditorMode(bool value);
    HWND InplaceEditor() const { return editor_; }  // null until first opened

    // ---- Geometry, in device pixels of the client area ----
    // The cell under a point, or -1 and -1 when the point is on no cell.
    void MouseToCell(int x, int y, int& col, int& row) const;
    // The cell's rectangle without its grid lines; empty when the cell is not in view.
    RECT CellRect(int col, int row) const;
    // The row's band over the columns in view, without its grid line; empty when it is not in
    // view.
    RECT RowRect(int row) const;

    // True while the grid draws in system colours only: a high-contrast scheme was on when the
    // paint began (asked once a paint, not once a cell).
    bool HighContrast() const { return paintsHighContrast_; }

    TSelectCellEvent OnSelectCell;
    TDrawCellEvent OnDrawCell;

  protected:
    void FillCreateParams(CreateParams& params) override;
    void AfterCreateWnd() override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Paint(TCanvas& canvas) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void FontChanged() override;

    // Raises OnSelectCell; the model asks this before every cursor move.
    virtual bool SelectCell(int col, int row);
    // Draws one cell. The brush and font are set for the cell's state (fixed, selected, normal);
    // the default fills the cell with the brush, draws the text 2 pixels right of and below the
    // top-left corner, clipped to the cell, and raises OnDrawCell.
    virtual void DrawCell(TCanvas& canvas, int col, int row, const RECT& rect, TGridDrawState state);
    void DefaultDrawCell(TCanvas& canvas, int col, int row, const RECT& rect, TGridDrawState state);

    GridModel& Model() { return model_; }
    const GridModel& Model() const { return model_; }
    // Closes the editor (keeping its text) before the program changes the grid's structure.
    void CloseEditorForChange();
    // Suspends painting (WM_SETREDRAW) until the matching EndRedrawSuspension repaints once.
    void BeginRedrawSuspension();
    void EndRedrawSuspension();
    int ScaledPx(int value) const;

  private:
    enum class DragState { None, Selecting, ColSizing, RowMoving };

    // GridModelListener
    bool CanSelectCell(int col, int row) override;
    void CursorMoved(int oldCol, int oldRow) override;
    void CellChanged(int col, int row) override;
    void RowsChanged(int firstRow, int lastRow) override;
    void LayoutChanged() override;

    void NotifyAccessibleFocus();

    // Layout, in device pixels.
    int RowPitch() const;         // row height plus its grid line
    int ColPitch(int col) const;  // column width plus its grid line; 0 for a hidden column
    int64_t FixedHeight() const;
    int64_t FixedWidth() const;
    int VisibleRowCount() const;  // non-fixed rows fully shown from TopRow
    int VisibleColCount() const;  // non-fixed columns fully shown from LeftCol
    int MaxTopRow() const;
    int MaxLeftCol() const;
    bool ColumnSpan(int col, int64_t& left, int& width) const;
    bool RowSpan(int row, int64_t& top, int& height) const;
    void ClampScroll();
    void UpdateScrollBars();
    void ScrollTo(int topRow, int leftCol);
    void ScrollInView(int col, int row);
    void HandleScroll(int bar, int code);
    void HandleWheel(int bar, int delta);
    int SizingColumnAt(int x, int y) const;

    // Keyboard.
    void KeyDown(WPARAM key, TShiftState shift);
    void MoveBy(int dCol, int dRow, bool extend);
    void MoveTo(int col, int row, bool extend);
    void MoveTab(bool forward);

    // Editor.
    void ShowEditor(bool selectAll);
    void HideEditor(bool keepText);
    void PlaceEditor();
    static LRESULT CALLBACK EditorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT EditorMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    void InvalidateCell(int col, int row);

    GridModel model_;
    TGridOptions options_ = kBaseGridOptions;
    int topRow_ = GridModel::kBaseFixedRows;
    int leftCol_ = GridModel::kBaseFixedCols;
    bool updatingScrollBars_ = false;
    int redrawSuspension_ = 0;

    DragState drag_ = DragState::None;
    int sizingCol_ = -1;
    int sizingStartX_ = 0, sizingStartWidth_ = 0;
    int movingFrom_ = -1;
    // Wheel turns below one step, kept until they add up (precision touchpads send small deltas),
    // in units of WHEEL_DELTA per row or column.
    int64_t wheelRemainder_[2] = {0, 0};

    std::unique_ptr<GridAccessible> accessible_;  // made on the first WM_GETOBJECT

    HWND editor_ = nullptr;
    WNDPROC editorClassProc_ = nullptr;
    HFONT editorFont_ = nullptr;
    bool editorOpen_ = false;
    int editorCol_ = 0, editorRow_ = 0;
    std::string editorOriginal_;
    bool paintsHighContrast_ = false;
};
