// TEnhancedStrGrid: the editable table control of the main window. A string grid with row
// operations (add, insert, remove, move up and down), numeric and text sorting by a column, a
// notification when the in-place editing of a cell ends, the table file (SaveToFile and
// LoadFromFile), a sort marker and a highlight colour in its cell drawing, cell texts as hints and
// three mouse gestures (Shift+click on row 0 sorts, Ctrl+click duplicates the current row,
// Alt+click switches the header row).
//
// Its window class is "TEnhancedStrGrid". Screen readers read its cells through its accessible
// table (see StringGrid.h and GridAccessible.h). In high contrast the sort marker takes the header's
// text colour and highlighted cells the scheme's hot-track colour instead of the fixed colours
// below.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "components/StringGrid.h"

using TEndEditEvent = std::function<void(TObject* sender, int col, int row)>;

// The sort marker's fill and the highlight colour, as TColor (0x00BBGGRR).
constexpr TColor kSortMarkerColor = 0x9A9090;  // red 144, green 144, blue 154
constexpr TColor kHighlightColor = 0xC0A0A0;   // red 160, green 160, blue 192

class TEnhancedStrGrid : public TStringGrid {
  public:
    // 6 columns, 20 rows, the first one fixed, columns 80 and rows 15 pixels, editing on,
    // anchored to all four sides of its parent, hints shown.
    explicit TEnhancedStrGrid(TComponent* owner);

    // ---- Published properties ----
    // Written after every cell of the table file and searched for when reading it.
    const std::string& Separator() const { return separator_; }
    void SetSeparator(const std::string& value) { separator_ = value; }
    bool ForceKeepHeaders() const { return Model().ForceKeepHeaders(); }
    void SetForceKeepHeaders(bool value) { Model().SetForceKeepHeaders(value); }
    bool AlowContentHints() const { return alowContentHints_; }
    void SetAlowContentHints(bool value);  // switching off also empties the hint
    bool AlowMouseSort() const { return alowMouseSort_; }
    void SetAlowMouseSort(bool value) { alowMouseSort_ = value; }
    bool AlowMouseInsert() const { return alowMouseInsert_; }
    void SetAlowMouseInsert(bool value) { alowMouseInsert_ = value; }
    bool AlowMouseSwitchHead() const { return alowMouseSwitchHead_; }
    void SetAlowMouseSwitchHead(bool value) { alowMouseSwitchHead_ = value; }
    // Cells below row 0 whose text equals it exactly are drawn in the highlight colour.
    const std::string& HighlightString() const { return highlightString_; }
    void SetHighlightString(const std::string& value);
    // The column of the last sort (-1 before the first); its header carries the sort marker.
    int SortColumn() const { return Model().SortColumn(); }
    // Raised once after the in-place editing of a cell has ended (confirmed, cancelled or left),
    // with the cell that was edited, after the cell holds its final text.
    TEndEditEvent OnEndEdit;

    // A hidden text per row that moves with the row and goes with it (see GridModel::RowTag);
    // not part of the table file.
    const std::string& RowTag(int row) const { return Model().RowTag(row); }
    void SetRowTag(int row, const std::string& tag) { Model().SetRowTag(row, tag); }

    // ---- Row operations (see GridModel for the rules) ----
    void AddRow();
    void InsertRowBelow(int row);
    virtual void RemoveRow(int row);
    virtual void RemoveColumn(int col);
    virtual void RemoveCurrentRow();
    [[nodiscard]] bool MoveRowUp();
    [[nodiscard]] bool MoveRowDown();
    void ExchangeRows(int a, int b);
    void ReverseRows();
    void ClearRows(bool keepHeader);
    void ToggleHeaderRow();

    // ---- Sorting: the hourglass shows and painting waits until the rows are in order ----
    void SortNumeric(int col, bool ascending);
    void SortText(int col, bool ascending);

    // Replaces every CR LF pair of the cell by one blank, then raises OnEndEdit with the cell
    // recorded as the one being edited.
    void EndEdit(int col, int row);
    // Closes an open editor keeping its text, and reports the ended edit at once (OnEndEdit runs
    // before this returns), so that the caller reads the table with the edit in it.
    void FinishEditing();

    // ---- The table file ----
    // The most cells a table file read by LoadFromFile may describe (rows times columns); a file
    // with more raises ERangeError before its shape is applied. 0: no limit but the format's.
    int64_t MaxCells() const { return maxCells_; }
    void SetMaxCells(int64_t value) { maxCells_ = value; }
    // Empties the grid (ClearRows(true)), then reads the file. False, after the message of
    // FileExistsMsg, when it does not exist. Errors in the content are raised.
    [[nodiscard]] virtual bool LoadFromFile(const std::string& fileName);
    // Writes the table file. The old file is replaced only once the new one is completely
    // written and flushed, so it is never left truncated; a failure to write is silent and leaves
    // the old file as it was, and the result (false) is the caller's only sign of it. A grid the
    // format cannot hold raises ERangeError before writing.
    virtual bool SaveToFile(const std::string& fileName);
    // Reads the cell section of a table file into the current rows and columns; nothing when
    // the file does not exist.
    virtual void LoadCellsFromFile(const std::string& fileName);
    // Writes the cell lines alone; errors are raised (EInOutError).
    virtual void SaveCellsToFile(const std::string& fileName);
    // Cuts the first cell (up to the separator) off a cell line.
    void ExtractCell(std::string& line, std::string& cell) const;

  protected:
    void FillCreateParams(CreateParams& params) override;
    // Watches EditorMode around every message to tell when an edit has ended.
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void DrawCell(TCanvas& canvas, int col, int row, const RECT& rect, TGridDrawState state) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

  private:
    void Sort(int col, bool ascending, bool numeric);
    void WatchEditor();

    std::string separator_ = " | ";
    bool alowContentHints_ = false;
    bool alowMouseSort_ = false;
    bool alowMouseInsert_ = false;
    bool alowMouseSwitchHead_ = false;
    std::string highlightString_;

    int64_t maxCells_ = 0;
    bool wasEditing_ = false;
    int editCol_ = 0, editRow_ = 0;
};
