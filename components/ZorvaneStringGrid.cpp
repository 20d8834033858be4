#include "components/ZorvaneStringGrid.h"

#include <windows.h>

#include <string_view>
#include <utility>

#include "common/Exceptions.h"
#include "common/ReplacingFileWriter.h"
#include "common/Win32Handles.h"
#include "common/ZorvaneTPU.h"
#include "components/GridFile.h"

namespace {

// The cell whose text the content hint shows, shared by every grid of the program.
struct HintCell {
    int col = 0, row = 0;
};
HintCell gHintCell;

}  // namespace

TEnhancedStrGrid::TEnhancedStrGrid(TComponent* owner) : TStringGrid(owner) {
    SetAnchors(akLeft | akTop | akRight | akBottom);
    SetColCount(6);
    SetRowCount(20);
    SetDefaultColWidth(80);
    SetDefaultRowHeight(15);
    SetFixedCols(0);
    // As the base grid does when its fixed counts are set up: the cursor starts on the first
    // non-fixed cell.
    Model().ResetCursor();
    SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect |
               goDrawFocusSelected | goColSizing | goRowMoving | goEditing | goThumbTracking);
    SetShowHint(true);  // also leaves the parent's hint setting
    editCol_ = Col();
    editRow_ = Row();
}

void TEnhancedStrGrid::FillCreateParams(CreateParams& params) {
    TStringGrid::FillCreateParams(params);
    params.className = "TEnhancedStrGrid";
}

// ---- Properties ----------------------------------------------------------------------------------

void TEnhancedStrGrid::SetAlowContentHints(bool value) {
    alowContentHints_ = value;
    if (!value)
        SetHint(std::string());
}

void TEnhancedStrGrid::SetHighlightString(const std::string& value) {
    if (value == highlightString_)
        return;
    highlightString_ = value;
    Invalidate();
}

// ---- Row operations ------------------------------------------------------------------------------

void TEnhancedStrGrid::AddRow() {
    CloseEditorForChange();
    Model().AddRow();
}

void TEnhancedStrGrid::InsertRowBelow(int row) {
    CloseEditorForChange();
    Model().InsertRowBelow(row);
}

void TEnhancedStrGrid::RemoveRow(int row) {
    CloseEditorForChange();
    Model().RemoveRow(row);
}

void TEnhancedStrGrid::RemoveColumn(int col) {
    CloseEditorForChange();
    Model().RemoveColumn(col);
}

void TEnhancedStrGrid::RemoveCurrentRow() {
    CloseEditorForChange();
    Model().RemoveCurrentRow();
}

bool TEnhancedStrGrid::MoveRowUp() {
    CloseEditorForChange();
    return Model().MoveRowUp();
}

bool TEnhancedStrGrid::MoveRowDown() {
    CloseEditorForChange();
    return Model().MoveRowDown();
}

void TEnhancedStrGrid::ExchangeRows(int a, int b) {
    CloseEditorForChange();
    Model().ExchangeRows(a, b);
}

void TEnhancedStrGrid::ReverseRows() {
    CloseEditorForChange();
    Model().ReverseRows();
}

void TEnhancedStrGrid::ClearRows(bool keepHeader) {
    CloseEditorForChange();
    Model().ClearRows(keepHeader);
}

void TEnhancedStrGrid::ToggleHeaderRow() {
    CloseEditorForChange();
    Model().ToggleHeaderRow();
}

// ---- Sorting -------------------------------------------------------------------------------------

void TEnhancedStrGrid::SortNumeric(int col, bool ascending) {
    Sort(col, ascending, true);
}

void TEnhancedStrGrid::SortText(int col, bool ascending) {
    Sort(col, ascending, false);
}

void TEnhancedStrGrid::Sort(int col, bool ascending, bool numeric) {
    CloseEditorForChange();
    // Whatever the sort raises (a cell that is no integer), painting resumes, the grid is
    // repainted once and the hourglass goes.
    class Restore {
      public:
        explicit Restore(TEnhancedStrGrid& grid) : grid_(grid) {
            Screen.SetCursor(crHourGlass);
            grid_.BeginRedrawSuspension();
            grid_.Model().BeginUpdate();
        }
        ~Restore() {
            grid_.Model().EndUpdate();
            grid_.EndRedrawSuspension();
            Screen.SetCursor(crDefault);
        }
        Restore(const Restore&) = delete;
        Restore& operator=(const Restore&) = delete;

      private:
        TEnhancedStrGrid& grid_;
    } restore(*this);
    if (numeric)
        Model().SortNumeric(col, ascending);
    else
        Model().SortText(col, ascending);
}

// ---- Editing ---------------------------------------------------------------------------------------

void TEnhancedStrGrid::FinishEditing() {
    if (!EditorMode())
        return;
    SetEditorMode(false);
    WatchEditor();
}

void TEnhancedStrGrid::EndEdit(int col, int row) {
    Model().CollapseLineBreaks(col, row);
    TEndEditEvent handler = OnEndEdit;  // a copy: the handler may replace the event
    if (handler)
        handler(this, editCol_, editRow_);
}

LRESULT TEnhancedStrGrid::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    try {
        result = TStringGrid::WndProc(msg, wParam, lParam);
    } catch (...) {
        // An edit that ended in a message whose handling failed has ended all the same.
        WatchEditor();
        throw;
    }
    WatchEditor();
    return result;
}

// The editor gives no notice when it closes; this runs after every message the grid handles.
// While the editor is open the recorded cell follows the cursor (which stays on the edited cell
// until the edit ends), and the first message after which it is closed reports the edit. The flag
// is cleared before EndEdit, so messages handled during OnEndEdit (repainting, a sort) do not
// report it again.
void TEnhancedStrGrid::WatchEditor() {
    if (wasEditing_) {
        if (!EditorMode()) {
            wasEditing_ = false;
            EndEdit(editCol_, editRow_);
        }
        editCol_ = Col();
        editRow_ = Row();
    } else if (EditorMode()) {
        // Opened during this message: the editor sits on the cursor cell now. Recording it here
        // also covers an edit that ends with the very next message.
        editCol_ = Col();
        editRow_ = Row();
    }
    wasEditing_ = EditorMode();
}

// ---- Drawing and the mouse -----------------------------------------------------------------------

void TEnhancedStrGrid::DrawCell(TCanvas& canvas, int col, int row, const RECT& rect, TGridDrawState state) {
    const bool highContrast = HighContrast();
    if (row == 0 && col == SortColumn()) {
        canvas.TextRect(rect, rect.left + ScaledPx(10), rect.top + ScaledPx(2), Cell(col, row));
        if (highContrast) {
            // In the cell's own text colour, which the scheme sets against its background.
            const TColor text = GetTextColor(canvas.Handle());
            canvas.SetBrushColor(text);
            canvas.SetPenColor(text);
        } else {
            canvas.SetBrushColor(kSortMarkerColor);
        }
        canvas.Rectangle(rect.left + ScaledPx(1), ScaledPx(2), rect.left + ScaledPx(8),
                         ScaledPx(DefaultRowHeight() - 2));
        return;
    }
    if (row > 0 && !highlightString_.empty() && Cell(col, row) == highlightString_) {
        if (highContrast) {
            // The scheme's hot-track colour stands out from both cells and selection.
            canvas.SetBrushColor(kSystemColorFlag | COLOR_HOTLIGHT);
            SetTextColor(canvas.Handle(), GetSysColor(COLOR_WINDOW));
        } else {
            canvas.SetBrushColor(kHighlightColor);
        }
    }
    DefaultDrawCell(canvas, col, row, rect, state);
}

void TEnhancedStrGrid::MouseMove(TShiftState shift, int x, int y) {
    TStringGrid::MouseMove(shift, x, y);
    if (!alowContentHints_)
        return;
    if (!ShowHint())
        SetShowHint(true);
    int col = -1, row = -1;
    MouseToCell(x, y, col, row);
    if (col < 0 || row < 0 || (col == gHintCell.col && row == gHintCell.row))
        return;
    SetHint(Cell(col, row));
    Application.CancelHint();
    gHintCell = {col, row};
}

void TEnhancedStrGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TStringGrid::MouseUp(button, shift, x, y);
    int col = -1, row = -1;
    MouseToCell(x, y, col, row);
    if (alowMouseSort_ && (shift & ssShift) && row == 0 && col >= 0)
        SortText(col, true);
    if (alowMouseInsert_ && (shift & ssCtrl)) {
        const int source = Row();
        InsertRowBelow(source);
        // The copy comes from the row that was current, which is the row above the new one
        // whether or not the selection handler let the cursor move onto it.
        for (int c = 0; c < ColCount(); ++c)
            SetCell(c, source + 1, Cell(c, source));
    }
    if (alowMouseSwitchHead_ && (shift & ssAlt))
        ToggleHeaderRow();
}

// ---- The table file ------------------------------------------------------------------------------

bool TEnhancedStrGrid::LoadFromFile(const std::string& fileName) {
    ClearRows(true);
    if (!FileExistsMsg(fileName))
        return false;
    const std::string text = ReadFileText(fileName);
    CloseEditorForChange();
    ReadTableText(Model(), text, separator_, maxCells_);
    return true;
}

bool TEnhancedStrGrid::SaveToFile(const std::string& fileName) {
    try {
        ReplacingFileWriter writer(fileName);
        // A grid too large for the format raises before the first piece, so before any file exists.
        WriteTableText(Model(), separator_, [&writer](std::string_view piece) { writer.Write(piece); });
        writer.Commit();
        return true;
    } catch (const ERangeError&) {
        throw;
    } catch (const std::exception&) {
        // Writing the table file reports nothing; the old file is still whole.
        return false;
    }
}

void TEnhancedStrGrid::LoadCellsFromFile(const std::string& fileName) {
    if (!FileExists(fileName))
        return;
    const std::string text = ReadFileText(fileName);
    CloseEditorForChange();
    ReadCellLinesText(Model(), text, separator_);
}

void TEnhancedStrGrid::SaveCellsToFile(const std::string& fileName) {
    ReplacingFileWriter writer(fileName);
    WriteCellLinesText(Model(), separator_, [&writer](std::string_view piece) { writer.Write(piece); });
    writer.Commit();
}

void TEnhancedStrGrid::ExtractCell(std::string& line, std::string& cell) const {
    ::ExtractCell(line, cell, separator_);
}
