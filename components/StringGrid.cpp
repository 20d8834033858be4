#include "components/StringGrid.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "components/GridAccessible.h"

namespace {

// Hidden columns (negative widths) take no room, so a walk over columns is bounded by steps, not
// by pixels; a grid of millions of hidden columns then shows what the first million allow.
constexpr int kMaxLayoutSteps = 1 << 20;
// Widths and heights beyond this are drawn at this size (GDI coordinates stay small).
constexpr int kMaxCellExtent = 32767;

constexpr TColor kButtonText = kSystemColorFlag | COLOR_BTNTEXT;

// Sets a flag for the length of a scope.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
    bool old_;
};

}  // namespace

TStringGrid::TStringGrid(TComponent* owner) : TCustomControl(owner) {
    model_.SetListener(this);
    SetTabStop(true);
    SetColor(clWindow);
    // The grid handles its own presses (selection, sizing); it has no click.
    clickOnMouseUp_ = false;
}

TStringGrid::~TStringGrid() {
    model_.SetListener(nullptr);
    // Clients may hold the table longer than the grid lives; from here on it answers nothing.
    accessible_.reset();
    if (editor_) {
        // The editor outlives this part of the object until the base destroys the window: cut it
        // loose so its last messages do not reach a destroyed grid.
        SetWindowLongPtrA(editor_, GWLP_USERDATA, 0);
        SetWindowLongPtrA(editor_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editorClassProc_));
        DestroyWindow(editor_);
        editor_ = nullptr;
    }
    if (editorFont_)
        DeleteObject(editorFont_);
}

// ---- Properties -----------------------------------------------------------------------------------

void TStringGrid::SetCell(int col, int row, const std::string& text) {
    model_.SetCell(col, row, text);
}

void TStringGrid::SetRowCount(int value) {
    CloseEditorForChange();
    model_.SetRowCount(value);
}

void TStringGrid::SetColCount(int value) {
    CloseEditorForChange();
    model_.SetColCount(value);
}

void TStringGrid::SetFixedRows(int value) {
    CloseEditorForChange();
    model_.SetFixedRows(value);
}

void TStringGrid::SetFixedCols(int value) {
    CloseEditorForChange();
    model_.SetFixedCols(value);
}

void TStringGrid::SetColWidth(int col, int width) {
    CloseEditorForChange();
    model_.SetColWidth(col, width);
}

void TStringGrid::SetDefaultColWidth(int value) {
    CloseEditorForChange();
    model_.SetDefaultColWidth(value);
}

void TStringGrid::SetDefaultRowHeight(int value) {
    CloseEditorForChange();
    model_.SetDefaultRowHeight(value);
}

void TStringGrid::MoveRow(int fromIndex, int toIndex) {
    CloseEditorForChange();
    model_.MoveRow(fromIndex, toIndex);
}

void TStringGrid::MoveColumn(int fromIndex, int toIndex) {
    CloseEditorForChange();
    model_.MoveColumn(fromIndex, toIndex);
}

void TStringGrid::SetCol(int value) {
    if (value == model_.Col())
        return;
    CloseEditorForChange();
    model_.SetCol(value);
}

void TStringGrid::SetRow(int value) {
    if (value == model_.Row())
        return;
    CloseEditorForChange();
    model_.SetRow(value);
}

bool TStringGrid::MoveCursor(int col, int row, bool extend) {
    if (col < model_.FixedCols() || row < model_.FixedRows() || col >= model_.ColCount() ||
        row >= model_.RowCount())
        return false;
    extend = extend && (options_ & goRangeSelect);
    const bool collapsed = model_.AnchorCol() == model_.Col() && model_.AnchorRow() == model_.Row();
    if (col == model_.Col() && row == model_.Row() && (extend || collapsed))
        return true;
    HideEditor(true);
    return model_.FocusCell(col, row, !extend);
}

void TStringGrid::SetOptions(TGridOptions options) {
    if (options == options_)
        return;
    options_ = options;
    if (!(options_ & goEditing))
        HideEditor(true);
    if (!(options_ & goRangeSelect))
        model_.FocusCell(model_.Col(), model_.Row(), true);
    Invalidate();
}

void TStringGrid::SetEditorMode(bool value) {
    if (value)
        ShowEditor(true);
    else
        HideEditor(true);
}

void TStringGrid::CloseEditorForChange() {
    HideEditor(true);
}

int TStringGrid::ScaledPx(int value) const {
    return MulDiv(value, Dpi(), 96);
}

// ---- Model notifications --------------------------------------------------------------------------

bool TStringGrid::CanSelectCell(int col, int row) {
    return SelectCell(col, row);
}

bool TStringGrid::SelectCell(int col, int row) {
    bool canSelect = true;
    TSelectCellEvent handler = OnSelectCell;  // a copy: the handler may replace the event
    if (handler)
        handler(this, col, row, canSelect);
    return canSelect;
}

void TStringGrid::CursorMoved(int /*oldCol*/, int /*oldRow*/) {
    ScrollInView(model_.Col(), model_.Row());
    Invalidate();
    if (Focused())
        NotifyAccessibleFocus();
}

void TStringGrid::CellChanged(int col, int row) {
    InvalidateCell(col, row);
    // Readers follow the cell they are on; a loading table changes thousands of others.
    if (hwnd_ && col == model_.Col() && row == model_.Row())
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd_, OBJID_CLIENT,
                       GridAccessible::CellChildId(model_.ColCount(), col, row));
}

void TStringGrid::RowsChanged(int /*firstRow*/, int /*lastRow*/) {
    Invalidate();
    if (hwnd_)
        NotifyWinEvent(EVENT_OBJECT_REORDER, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

void TStringGrid::LayoutChanged() {
    UpdateScrollBars();
    Invalidate();
    if (hwnd_)
        NotifyWinEvent(EVENT_OBJECT_REORDER, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

void TStringGrid::NotifyAccessibleFocus() {
    if (hwnd_)
        NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd_, OBJID_CLIENT, GridAccessible::CursorChildId(*this));
}

void TStringGrid::InvalidateCell(int col, int row) {
    if (!hwnd_)
        return;
    RECT rect = CellRect(col, row);
    if (IsRectEmpty(&rect))
        return;
    InflateRect(&rect, 1, 1);
    InvalidateRect(hwnd_, &rect, FALSE);
}

void TStringGrid::BeginRedrawSuspension() {
    if (redrawSuspension_++ == 0 && hwnd_)
        SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
}

void TStringGrid::EndRedrawSuspension() {
    if (redrawSuspension_ == 0 || --redrawSuspension_ > 0)
        return;
    if (hwnd_) {
        SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
        UpdateScrollBars();
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

// ---- Layout ----------------------------------------------------------------------------------------

int TStringGrid::RowPitch() const {
    const int height = std::clamp(model_.DefaultRowHeight(), 0, kMaxCellExtent);
    return std::max(ScaledPx(height), 0) + 1;
}

int TStringGrid::ColPitch(int col) const {
    const int width = model_.ColWidth(col);
    if (width < 0)
        return 0;
    return std::max(ScaledPx(std::min(width, kMaxCellExtent)), 0) + 1;
}

int64_t TStringGrid::FixedHeight() const {
    return static_cast<int64_t>(model_.FixedRows()) * RowPitch();
}

int64_t TStringGrid::FixedWidth() const {
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    int64_t width = 0;
    const int fixed = model_.FixedCols();
    for (int col = 0, steps = 0; col < fixed && steps < kMaxLayoutSteps; ++col, ++steps) {
        width += ColPitch(col);
        if (width > client.right)
            break;  // beyond the window it makes no difference how far
    }
    return width;
}

int TStringGrid::VisibleRowCount() const {
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    const int64_t room = client.bottom - FixedHeight();
    const int64_t rows = room > 0 ? room / RowPitch() : 0;
    return static_cast<int>(std::min<int64_t>(rows, model_.RowCount() - model_.FixedRows()));
}

int TStringGrid::VisibleColCount() const {
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    int64_t x = FixedWidth();
    int count = 0;
    for (int col = leftCol_, steps = 0; col < model_.ColCount() && steps < kMaxLayoutSteps; ++col, ++steps) {
        x += ColPitch(col);
        if (x > client.right)
            break;
        ++count;
    }
    return count;
}

int TStringGrid::MaxTopRow() const {
    const int page = std::max(VisibleRowCount(), 1);
    return std::max(model_.FixedRows(), model_.RowCount() - page);
}

int TStringGrid::MaxLeftCol() const {
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    const int64_t room = client.right - FixedWidth();
    const int fixed = model_.FixedCols();
    int col = model_.ColCount() - 1;
    int64_t used = ColPitch(col);
    for (int steps = 0; col > fixed && steps < kMaxLayoutSteps; ++steps) {
        const int64_t next = used + ColPitch(col - 1);
        if (next > room)
            break;
        used = next;
        --col;
    }
    return std::max(col, fixed);
}

void TStringGrid::ClampScroll() {
    topRow_ = std::clamp(topRow_, model_.FixedRows(), MaxTopRow());
    leftCol_ = std::clamp(leftCol_, model_.FixedCols(), MaxLeftCol());
}

bool TStringGrid::RowSpan(int row, int64_t& top, int& height) const {
    if (row < 0 || row >= model_.RowCount())
        return false;
    if (row < model_.FixedRows())
        top = static_cast<int64_t>(row) * RowPitch();
    else if (row >= topRow_)
        top = FixedHeight() + static_cast<int64_t>(row - topRow_) * RowPitch();
    else
        return false;
    height = RowPitch() - 1;
    return true;
}

bool TStringGrid::ColumnSpan(int col, int64_t& left, int& width) const {
    if (col < 0 || col >= model_.ColCount())
        return false;
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    int first = 0;
    left = 0;
    if (col >= model_.FixedCols()) {
        if (col < leftCol_)
            return false;
        first = leftCol_;
        left = FixedWidth();
    }
    for (int c = first, steps = 0; c < col; ++c, ++steps) {
        if (left > client.right || steps >= kMaxLayoutSteps)
            return false;
        left += ColPitch(c);
    }
    const int pitch = ColPitch(col);
    if (pitch == 0)
        return false;
    width = pitch - 1;
    return true;
}

RECT TStringGrid::CellRect(int col, int row) const {
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    int64_t left = 0, top = 0;
    int width = 0, height = 0;
    if (!ColumnSpan(col, left, width) || !RowSpan(row, top, height) || left >= client.right ||
        top >= client.bottom)
        return RECT{0, 0, 0, 0};
    return RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(left + width),
                static_cast<LONG>(top + height)};
}

RECT TStringGrid::RowRect(int row) const {
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    int64_t top = 0;
    int height = 0;
    if (!RowSpan(row, top, height) || top >= client.bottom)
        return RECT{0, 0, 0, 0};
    // The band ends with the last column in view.
    int64_t right = 0;
    auto walk = [&](int first, int last) {
        for (int c = first, steps = 0; c < last && right < client.right && steps < kMaxLayoutSteps;
             ++c, ++steps)
            right += ColPitch(c);
    };
    walk(0, model_.FixedCols());
    walk(leftCol_, model_.ColCount());
    right = std::min<int64_t>(right - 1, client.right);
    if (right <= 0)
        return RECT{0, 0, 0, 0};
    return RECT{0, static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(top + height)};
}

void TStringGrid::MouseToCell(int x, int y, int& col, int& row) const {
    col = row = -1;
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    if (x < 0 || y < 0 || x >= client.right || y >= client.bottom)
        return;
    // Rows: fixed ones at the top, then the scrolled ones.
    const int64_t fixedHeight = FixedHeight();
    int64_t candidate = y < fixedHeight ? y / RowPitch() : topRow_ + (y - fixedHeight) / RowPitch();
    const int foundRow = candidate < model_.RowCount() ? static_cast<int>(candidate) : -1;
    // Columns: walk the fixed ones, then from the first scrolled one.
    int foundCol = -1;
    int64_t left = 0;
    for (int c = 0, steps = 0; c < model_.FixedCols() && steps < kMaxLayoutSteps; ++c, ++steps) {
        left += ColPitch(c);
        if (x < left) {
            foundCol = c;
            break;
        }
        if (left > client.right)
            break;
    }
    if (foundCol < 0) {
        left = FixedWidth();
        for (int c = leftCol_, steps = 0; c < model_.ColCount() && steps < kMaxLayoutSteps; ++c, ++steps) {
            left += ColPitch(c);
            if (x < left) {
                foundCol = c;
                break;
            }
            if (left > client.right)
                break;
        }
    }
    if (foundCol >= 0 && foundRow >= 0) {
        col = foundCol;
        row = foundRow;
    }
}

void TStringGrid::UpdateScrollBars() {
    if (!hwnd_ || updatingScrollBars_ || redrawSuspension_ > 0)
        return;
    FlagScope updating(updatingScrollBars_);
    // Showing or hiding one bar changes the room for the other: settle in a few passes.
    for (int pass = 0; pass < 3; ++pass) {
        RECT before{};
        GetClientRect(hwnd_, &before);
        ClampScroll();
        SCROLLINFO vert = {sizeof(vert), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
        vert.nMax = model_.RowCount() - model_.FixedRows() - 1;
        vert.nPage = static_cast<UINT>(VisibleRowCount());
        vert.nPos = topRow_ - model_.FixedRows();
        SetScrollInfo(hwnd_, SB_VERT, &vert, TRUE);
        SCROLLINFO horz = {sizeof(horz), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
        horz.nMax = model_.ColCount() - model_.FixedCols() - 1;
        horz.nPage = static_cast<UINT>(VisibleColCount());
        horz.nPos = leftCol_ - model_.FixedCols();
        SetScrollInfo(hwnd_, SB_HORZ, &horz, TRUE);
        RECT after{};
        GetClientRect(hwnd_, &after);
        if (EqualRect(&before, &after))
            break;
    }
}

void TStringGrid::ScrollTo(int topRow, int leftCol) {
    const int oldTop = topRow_, oldLeft = leftCol_;
    topRow_ = topRow;
    leftCol_ = leftCol;
    ClampScroll();
    if (topRow_ == oldTop && leftCol_ == oldLeft)
        return;
    // The editor sits on its cell; rather than chase it, scrolling ends the edit.
    HideEditor(true);
    UpdateScrollBars();
    Invalidate();
}

void TStringGrid::ScrollInView(int col, int row) {
    if (!hwnd_)
        return;
    int top = topRow_, left = leftCol_;
    if (row >= model_.FixedRows()) {
        const int page = std::max(VisibleRowCount(), 1);
        if (row < top)
            top = row;
        else if (row >= static_cast<int64_t>(top) + page)
            top = row - page + 1;
    }
    if (col >= model_.FixedCols()) {
        if (col < left) {
            left = col;
        } else {
            RECT client{};
            GetClientRect(hwnd_, &client);
            const int64_t room = client.right - FixedWidth();
            // The leftmost first column that still shows col whole.
            int64_t used = ColPitch(col);
            int first = col;
            for (int steps = 0; first > left && steps < kMaxLayoutSteps; ++steps) {
                const int64_t next = used + ColPitch(first - 1);
                if (next > room)
                    break;
                used = next;
                --first;
            }
            left = std::max(left, first);
        }
    }
    if (top != topRow_ || left != leftCol_) {
        topRow_ = top;
        leftCol_ = left;
        ClampScroll();
        UpdateScrollBars();
        Invalidate();
    }
}

void TStringGrid::HandleScroll(int bar, int code) {
    const bool vertical = bar == SB_VERT;
    const int position = vertical ? topRow_ - model_.FixedRows() : leftCol_ - model_.FixedCols();
    const int page = std::max(vertical ? VisibleRowCount() : VisibleColCount(), 1);
    int64_t target = position;
    switch (code) {
        case SB_LINEUP:
            target = position - 1;
            break;
        case SB_LINEDOWN:
            target = position + 1;
            break;
        case SB_PAGEUP:
            target = position - page;
            break;
        case SB_PAGEDOWN:
            target = static_cast<int64_t>(position) + page;
            break;
        case SB_TOP:
            target = 0;
            break;
        case SB_BOTTOM:
            target = INT_MAX;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            if (code == SB_THUMBTRACK && !(options_ & goThumbTracking))
                return;
            SCROLLINFO info = {sizeof(info), SIF_TRACKPOS, 0, 0, 0, 0, 0};
            GetScrollInfo(hwnd_, bar, &info);
            target = info.nTrackPos;
            break;
        }
        default:
            return;
    }
    target = std::clamp<int64_t>(target, 0, INT_MAX / 2);
    if (vertical)
        ScrollTo(static_cast<int>(std::min<int64_t>(model_.FixedRows() + target, INT_MAX)), leftCol_);
    else
        ScrollTo(topRow_, static_cast<int>(std::min<int64_t>(model_.FixedCols() + target, INT_MAX)));
}

// A wheel turns by delta (WHEEL_DELTA a notch; precision touchpads and free-spinning wheels send
// fractions of it). Forward, that is away from the user or to the right, is positive. The
// vertical wheel scrolls SPI_GETWHEELSCROLLLINES rows a notch (a page for WHEEL_PAGESCROLL), the
// horizontal one a column a notch: the grid scrolls by whole columns, each far wider than the
// characters SPI_GETWHEELSCROLLCHARS counts. What does not make a whole row or column yet is kept
// for the next turn in the same direction.
void TStringGrid::HandleWheel(int bar, int delta) {
    const bool vertical = bar == SB_VERT;
    int64_t perNotch = 1;
    if (vertical) {
        UINT lines = 3;
        if (!SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
            lines = 3;
        perNotch = lines == WHEEL_PAGESCROLL ? std::max(VisibleRowCount(), 1) : static_cast<int64_t>(lines);
    }
    int64_t& remainder = wheelRemainder_[vertical ? 0 : 1];
    if ((remainder < 0) != (delta < 0))
        remainder = 0;  // turning back starts afresh
    remainder += static_cast<int64_t>(delta) * perNotch;
    const int64_t steps = remainder / WHEEL_DELTA;
    remainder -= steps * WHEEL_DELTA;
    if (steps == 0)
        return;
    if (vertical) {
        const int64_t target = static_cast<int64_t>(topRow_) - steps;
        ScrollTo(static_cast<int>(std::clamp<int64_t>(target, 0, INT_MAX)), leftCol_);
    } else {
        const int64_t target = static_cast<int64_t>(leftCol_) + steps;
        ScrollTo(topRow_, static_cast<int>(std::clamp<int64_t>(target, 0, INT_MAX)));
    }
}

// The column whose right-hand line is under (x, y), when sizing may start there: on the line of a
// non-fixed column, within the fixed rows, give or take 3 pixels.
int TStringGrid::SizingColumnAt(int x, int y) const {
    if (!(options_ & goColSizing) || y < 0 || y >= FixedHeight())
        return -1;
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    int64_t line = FixedWidth();
    if (x <= line)
        return -1;
    line -= 1;
    for (int c = leftCol_, steps = 0; c < model_.ColCount() && steps < kMaxLayoutSteps; ++c, ++steps) {
        const int pitch = ColPitch(c);
        if (pitch == 0)
            continue;
        line += pitch;
        if (line > client.right)
            break;
        if (x >= line - 3 && x <= line + 3)
            return c;
    }
    return -1;
}

// ---- Painting ----------------------------------------------------------------------------------------

void TStringGrid::Paint(TCanvas& canvas) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    // The canvas selects its font on first use and sets the text colour only then; from here on
    // each cell sets its own text colour on the DC.
    canvas.TextExtent(std::string());
    const GridRect selection = model_.Selection();
    const bool focused = Focused() || (editorOpen_ && GetFocus() == editor_);
    const HDC dc = canvas.Handle();
    // The grid's own colours, or in high contrast the system's only: no colour of the program's own
    // (the grid's colour and font colour, the silver lines) may stand between the user and the
    // scheme.
    struct Colors {
        TColor fixedFace, fixedText, fixedLine, cellFace, cellText, cellLine;
    };
    paintsHighContrast_ = ::HighContrast();
    const Colors colors =
        paintsHighContrast_ ? Colors{clBtnFace, kButtonText, kButtonText, clWindow, clWindowText, clWindowText}
                       : Colors{clBtnFace, Font().Color, clBtnShadow, Color(), Font().Color, clSilver};

    int64_t bottomEdge = 0, rightEdge = 0;
    auto paintRow = [&](int row, int64_t y) {
        const int height = RowPitch() - 1;
        int64_t x = 0;
        auto paintCell = [&](int col) {
            const int pitch = ColPitch(col);
            if (pitch == 0)
                return;
            const RECT rect = {static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + pitch - 1),
                               static_cast<LONG>(y + height)};
            const bool fixed = row < model_.FixedRows() || col < model_.FixedCols();
            const bool current = col == model_.Col() && row == model_.Row();
            TGridDrawState state = 0;
            if (fixed)
                state |= gdFixed;
            else if (selection.Contains(col, row) && (!current || (options_ & goDrawFocusSelected)))
                state |= gdSelected;
            if (current && focused)
                state |= gdFocused;
            if (state & gdFixed) {
                canvas.SetBrushColor(colors.fixedFace);
                SetTextColor(dc, ColorToRGB(colors.fixedText));
            } else if (state & gdSelected) {
                canvas.SetBrushColor(clHighlight);
                SetTextColor(dc, ColorToRGB(clHighlightText));
            } else {
                canvas.SetBrushColor(colors.cellFace);
                SetTextColor(dc, ColorToRGB(colors.cellText));
            }
            DrawCell(canvas, col, row, rect, state);
            if ((state & gdFocused) && !fixed && !editorOpen_)
                DrawFocusRect(dc, &rect);
            // Grid lines on the cell's right and bottom edges.
            const bool vertLine = options_ & (fixed ? goFixedVertLine : goVertLine);
            const bool horzLine = options_ & (fixed ? goFixedHorzLine : goHorzLine);
            canvas.SetBrushColor(fixed ? colors.fixedLine : colors.cellLine);
            if (vertLine)
                canvas.FillRect(RECT{rect.right, rect.top, rect.right + 1, rect.bottom + 1});
            if (horzLine)
                canvas.FillRect(RECT{rect.left, rect.bottom, rect.right + 1, rect.bottom + 1});
            x += pitch;
        };
        for (int col = 0, steps = 0; col < model_.FixedCols() && x < client.right && steps < kMaxLayoutSteps;
             ++col, ++steps)
            paintCell(col);
        for (int col = leftCol_, steps = 0;
             col < model_.ColCount() && x < client.right && steps < kMaxLayoutSteps; ++col, ++steps)
            paintCell(col);
        rightEdge = std::max(rightEdge, x);
        bottomEdge = y + height + 1;
    };

    int64_t y = 0;
    for (int row = 0; row < model_.FixedRows() && y < client.bottom; ++row, y += RowPitch())
        paintRow(row, y);
    for (int row = topRow_; row < model_.RowCount() && y < client.bottom; ++row, y += RowPitch())
        paintRow(row, y);

    // The room beyond the last column and row.
    canvas.SetBrushColor(colors.cellFace);
    if (rightEdge < client.right)
        canvas.FillRect(RECT{static_cast<LONG>(rightEdge), 0, client.right, client.bottom});
    if (bottomEdge < client.bottom)
        canvas.FillRect(RECT{0, static_cast<LONG>(bottomEdge), client.right, client.bottom});
}

void TStringGrid::DrawCell(TCanvas& canvas, int col, int row, const RECT& rect, TGridDrawState state) {
    DefaultDrawCell(canvas, col, row, rect, state);
}

void TStringGrid::DefaultDrawCell(TCanvas& canvas, int col, int row, const RECT& rect, TGridDrawState state) {
    canvas.TextRect(rect, rect.left + ScaledPx(2), rect.top + ScaledPx(2), model_.Cell(col, row));
    TDrawCellEvent handler = OnDrawCell;
    if (handler)
        handler(this, col, row, rect, state);
}

// ---- Mouse -----------------------------------------------------------------------------------------

void TStringGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button != mbLeft)
        return;
    const int sizing = SizingColumnAt(x, y);
    if (sizing >= 0) {
        HideEditor(true);
        drag_ = DragState::ColSizing;
        sizingCol_ = sizing;
        sizingStartX_ = x;
        sizingStartWidth_ = std::max(model_.ColWidth(sizing), 0);
        SetCapture(hwnd_);
        return;
    }
    int col = -1, row = -1;
    MouseToCell(x, y, col, row);
    if (col < 0 || row < 0)
        return;
    if (row < model_.FixedRows() || col < model_.FixedCols()) {
        if ((options_ & goRowMoving) && col < model_.FixedCols() && row >= model_.FixedRows()) {
            HideEditor(true);
            drag_ = DragState::RowMoving;
            movingFrom_ = row;
            SetCapture(hwnd_);
        }
        return;
    }
    const bool modified = shift & (ssShift | ssCtrl | ssAlt);
    if (col == model_.Col() && row == model_.Row() && !modified && (options_ & goEditing)) {
        // A press on the current cell (the second press of a double click included) edits it.
        ShowEditor(true);
        return;
    }
    HideEditor(true);
    const bool extend = (shift & ssShift) && (options_ & goRangeSelect);
    if (!model_.FocusCell(col, row, !extend))
        return;
    if (options_ & goRangeSelect) {
        drag_ = DragState::Selecting;
        SetCapture(hwnd_);
    }
}

void TStringGrid::MouseMove(TShiftState /*shift*/, int x, int y) {
    switch (drag_) {
        case DragState::ColSizing: {
            if (sizingCol_ >= model_.ColCount())
                return;
            const int width = std::max(sizingStartWidth_ + Unscale(x - sizingStartX_), 0);
            model_.SetColWidth(sizingCol_, width);
            return;
        }
        case DragState::Selecting: {
            RECT client{};
            GetClientRect(hwnd_, &client);
            // Past an edge the selection runs on into the cells scrolled in from there.
            const int cx = std::clamp(x, 0, std::max<int>(client.right - 1, 0));
            const int cy = std::clamp(y, 0, std::max<int>(client.bottom - 1, 0));
            int col = -1, row = -1;
            MouseToCell(cx, cy, col, row);
            if (y >= client.bottom)
                row = std::min(model_.RowCount() - 1, topRow_ + std::max(VisibleRowCount(), 1));
            if (y < 0 && topRow_ > model_.FixedRows())
                row = topRow_ - 1;
            if (col < 0 || row < 0)
                return;
            col = std::max(col, model_.FixedCols());
            row = std::max(row, model_.FixedRows());
            if (col != model_.Col() || row != model_.Row())
                model_.FocusCell(col, row, false);
            return;
        }
        default:
            return;
    }
}

void TStringGrid::MouseUp(TMouseButton button, TShiftState /*shift*/, int x, int y) {
    if (button != mbLeft || drag_ == DragState::None)
        return;
    const DragState ended = drag_;
    drag_ = DragState::None;
    if (GetCapture() == hwnd_)
        ReleaseCapture();
    if (ended == DragState::RowMoving) {
        int col = -1, row = -1;
        MouseToCell(x, y, col, row);
        if (row >= model_.FixedRows() && row != movingFrom_ && movingFrom_ < model_.RowCount())
            model_.MoveRow(movingFrom_, row);
    }
}

// ---- Keyboard ------------------------------------------------------------------------------------

void TStringGrid::MoveTo(int col, int row, bool extend) {
    col = std::clamp(col, model_.FixedCols(), model_.ColCount() - 1);
    row = std::clamp(row, model_.FixedRows(), model_.RowCount() - 1);
    (void)MoveCursor(col, row, extend);  // a refused move keeps the cursor, as for a click
}

void TStringGrid::MoveBy(int dCol, int dRow, bool extend) {
    const int64_t col = static_cast<int64_t>(model_.Col()) + dCol;
    const int64_t row = static_cast<int64_t>(model_.Row()) + dRow;
    MoveTo(static_cast<int>(std::clamp<int64_t>(col, 0, INT_MAX)),
           static_cast<int>(std::clamp<int64_t>(row, 0, INT_MAX)), extend);
}

void TStringGrid::MoveTab(bool forward) {
    int col = model_.Col(), row = model_.Row();
    if (forward) {
        if (col + 1 < model_.ColCount()) {
            ++col;
        } else if (row + 1 < model_.RowCount()) {
            col = model_.FixedCols();
            ++row;
        }
    } else {
        if (col - 1 >= model_.FixedCols()) {
            --col;
        } else if (row - 1 >= model_.FixedRows()) {
            col = model_.ColCount() - 1;
            --row;
        }
    }
    MoveTo(col, row, false);
}

void TStringGrid::KeyDown(WPARAM key, TShiftState shift) {
    const bool extend = (shift & ssShift) && (options_ & goRangeSelect);
    const bool ctrl = shift & ssCtrl;
    switch (key) {
        case VK_RETURN:
            if (editorOpen_)
                HideEditor(true);
            else if (options_ & goEditing)
                ShowEditor(true);
            return;
        case VK_ESCAPE:
            HideEditor(false);
            return;
        case VK_F2:
            if (options_ & goEditing)
                ShowEditor(false);
            return;
        case VK_UP:
        case VK_DOWN:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
        case VK_TAB:
            // Moving away from an edited cell keeps the edit.
            HideEditor(true);
            break;
        default:
            return;
    }
    switch (key) {
        case VK_UP:
            MoveBy(0, -1, extend);
            break;
        case VK_DOWN:
            MoveBy(0, 1, extend);
            break;
        case VK_LEFT:
            MoveBy(-1, 0, extend);
            break;
        case VK_RIGHT:
            MoveBy(1, 0, extend);
            break;
        case VK_PRIOR:
            MoveBy(0, -std::max(VisibleRowCount(), 1), extend);
            break;
        case VK_NEXT:
            MoveBy(0, std::max(VisibleRowCount(), 1), extend);
            break;
        case VK_HOME:
            MoveTo(model_.FixedCols(), ctrl ? model_.FixedRows() : model_.Row(), extend);
            break;
        case VK_END:
            MoveTo(model_.ColCount() - 1, ctrl ? model_.RowCount() - 1 : model_.Row(), extend);
            break;
        case VK_TAB:
            if (options_ & goTabs)
                MoveTab(!(shift & ssShift));
            break;
        default:
            break;
    }
}

// ---- In-place editor ------------------------------------------------------------------------------

void TStringGrid::ShowEditor(bool selectAll) {
    if (editorOpen_ || !(options_ & goEditing) || !Handle())
        return;
    const int col = model_.Col(), row = model_.Row();
    if (col < model_.FixedCols() || row < model_.FixedRows())
        return;
    ScrollInView(col, row);
    if (!editor_) {
        editor_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_CLIPSIBLINGS | ES_AUTOHSCROLL, 0, 0, 0, 0,
                                  hwnd_, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!editor_)
            return;
        SetWindowLongPtrA(editor_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        editorClassProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(editor_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TStringGrid::EditorProc)));
        FontChanged();
    }
    editorCol_ = col;
    editorRow_ = row;
    editorOriginal_ = model_.Cell(col, row);
    // Open before anything sends messages: the focus change below already reaches the grid.
    editorOpen_ = true;
    SetWindowTextA(editor_, editorOriginal_.c_str());
    PlaceEditor();
    ShowWindow(editor_, SW_SHOW);
    ::SetFocus(editor_);
    const auto length = static_cast<LPARAM>(GetWindowTextLengthA(editor_));
    SendMessageA(editor_, EM_SETSEL, selectAll ? 0 : length, length);
    InvalidateCell(col, row);
}

void TStringGrid::HideEditor(bool keepText) {
    if (!editorOpen_)
        return;
    std::string text = editorOriginal_;
    if (keepText) {
        const int length = GetWindowTextLengthA(editor_);
        std::vector<char> buffer(static_cast<size_t>(std::max(length, 0)) + 1);
        const int copied = GetWindowTextA(editor_, buffer.data(), static_cast<int>(buffer.size()));
        text.assign(buffer.data(), static_cast<size_t>(std::max(copied, 0)));
    }
    // The cell takes its text before the editor goes: hiding it and moving the focus send
    // messages to the grid, and whoever watches the editor closing may read the cell then.
    editorOpen_ = false;
    if (keepText && editorCol_ < model_.ColCount() && editorRow_ < model_.RowCount())
        model_.SetCell(editorCol_, editorRow_, text);
    const bool hadFocus = GetFocus() == editor_;
    if (hadFocus && hwnd_)
        ::SetFocus(hwnd_);
    ShowWindow(editor_, SW_HIDE);
    InvalidateCell(editorCol_, editorRow_);
}

void TStringGrid::PlaceEditor() {
    if (!editor_)
        return;
    RECT rect = CellRect(editorCol_, editorRow_);
    MoveWindow(editor_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void TStringGrid::FontChanged() {
    if (!editor_)
        return;
    LOGFONTA lf = {};
    lf.lfHeight = MulDiv(Font().Height, Dpi(), 96);
    lf.lfWeight = (Font().Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (Font().Style & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (Font().Style & fsUnderline) ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    strncpy(lf.lfFaceName, Font().Name.c_str(), LF_FACESIZE - 1);
    HFONT fresh = CreateFontIndirectA(&lf);
    SendMessageA(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(fresh), TRUE);
    if (editorFont_)
        DeleteObject(editorFont_);
    editorFont_ = fresh;
}

LRESULT CALLBACK TStringGrid::EditorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    auto* grid = reinterpret_cast<TStringGrid*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!grid)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    Guarded([&] { result = grid->EditorMessage(msg, wParam, lParam); });
    return result;
}

LRESULT TStringGrid::EditorMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    const HWND editor = editor_;
    switch (msg) {
        case WM_GETDLGCODE: {
            // Enter and Esc belong to the grid while editing, also under a dialog manager; Tab too
            // when it moves between cells, otherwise it moves the focus on, which ends the edit.
            LRESULT code = CallWindowProcA(editorClassProc_, editor, msg, wParam, lParam) | DLGC_WANTARROWS |
                           DLGC_WANTCHARS | ((options_ & goTabs) ? DLGC_WANTTAB : 0);
            const auto* message = reinterpret_cast<const MSG*>(lParam);
            if (message && message->message == WM_KEYDOWN &&
                (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE))
                code |= DLGC_WANTMESSAGE;
            return code;
        }
        case WM_KEYDOWN:
            switch (wParam) {
                case VK_TAB:
                    if (!(options_ & goTabs))
                        break;
                    [[fallthrough]];
                case VK_RETURN:
                case VK_ESCAPE:
                case VK_UP:
                case VK_DOWN:
                case VK_PRIOR:
                case VK_NEXT:
                    // Through the grid's own message handling, so it sees the editor close.
                    SendMessageA(hwnd_, WM_KEYDOWN, wParam, lParam);
                    return 0;
                default:
                    break;
            }
            break;
        case WM_CHAR:
            if (wParam == '\r' || wParam == '\n' || wParam == 27 || wParam == '\t')
                return 0;  // the single-line editor would only beep
            break;
        default:
            break;
    }
    return CallWindowProcA(editorClassProc_, editor, msg, wParam, lParam);
}

// ---- Window messages ---------------------------------------------------------------------------

void TStringGrid::FillCreateParams(CreateParams& params) {
    TCustomControl::FillCreateParams(params);
    params.style |= WS_VSCROLL | WS_HSCROLL;
    params.exStyle |= WS_EX_CLIENTEDGE;
}

void TStringGrid::AfterCreateWnd() {
    TCustomControl::AfterCreateWnd();
    UpdateScrollBars();
}

LRESULT TStringGrid::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_GETDLGCODE: {
            LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS | ((options_ & goTabs) ? DLGC_WANTTAB : 0);
            // Enter opens the editor: a dialog manager must not take it for its default button.
            const auto* message = reinterpret_cast<const MSG*>(lParam);
            if (message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN &&
                (options_ & goEditing))
                code |= DLGC_WANTMESSAGE;
            return code;
        }
        case WM_KEYDOWN:
            KeyDown(wParam, ShiftStateFromKeys());
            return 0;
        case WM_CHAR:
            if (!editorOpen_ && (options_ & goEditing) && wParam >= 32 && wParam != 127 &&
                !(ShiftStateFromKeys() & ssCtrl)) {
                ShowEditor(true);
                if (editorOpen_)
                    SendMessageA(editor_, WM_CHAR, wParam, lParam);
            }
            return 0;
        case WM_VSCROLL:
        case WM_HSCROLL:
            if (lParam == 0) {
                HandleScroll(msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wParam));
                return 0;
            }
            break;
        case WM_MOUSEWHEEL:
            HandleWheel(SB_VERT, GET_WHEEL_DELTA_WPARAM(wParam));
            return 0;
        case WM_MOUSEHWHEEL:
            HandleWheel(SB_HORZ, GET_WHEEL_DELTA_WPARAM(wParam));
            return 0;
        case WM_SIZE: {
            LRESULT result = TCustomControl::WndProc(msg, wParam, lParam);
            UpdateScrollBars();
            if (editorOpen_)
                PlaceEditor();
            return result;
        }
        case WM_SETFOCUS: {
            InvalidateCell(model_.Col(), model_.Row());
            LRESULT result = TCustomControl::WndProc(msg, wParam, lParam);
            // After the system's focus event for the window: readers go on to the cursor cell.
            NotifyAccessibleFocus();
            return result;
        }
        case WM_KILLFOCUS:
            InvalidateCell(model_.Col(), model_.Row());
            wheelRemainder_[0] = wheelRemainder_[1] = 0;
            break;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            // A high-contrast scheme switched on or off, or the system colours changed.
            Invalidate();
            break;
        case WM_GETOBJECT:
            if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) {
                if (!accessible_)
                    accessible_ = std::make_unique<GridAccessible>(*this);
                return accessible_->ClientObjectResult(wParam);
            }
            break;
        case WM_SETCURSOR:
            if (Screen.Cursor() == crDefault && reinterpret_cast<HWND>(wParam) == hwnd_ &&
                LOWORD(lParam) == HTCLIENT) {
                POINT pt{};
                GetCursorPos(&pt);
                ::ScreenToClient(hwnd_, &pt);
                if (drag_ == DragState::ColSizing || SizingColumnAt(pt.x, pt.y) >= 0) {
                    ::SetCursor(CursorHandle(crSizeWE));
                    return TRUE;
                }
            }
            break;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd_)
                drag_ = DragState::None;
            break;
        case WM_COMMAND:
            if (editor_ && reinterpret_cast<HWND>(lParam) == editor_) {
                // Focus leaving the editor for another window ends the edit, keeping its text.
                if (HIWORD(wParam) == EN_KILLFOCUS)
                    HideEditor(true);
                return 0;
            }
            break;
        case WM_DESTROY:
            // A client still holding the table finds it disconnected.
            accessible_.reset();
            if (editor_) {
                SetWindowLongPtrA(editor_, GWLP_USERDATA, 0);
                SetWindowLongPtrA(editor_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editorClassProc_));
                DestroyWindow(editor_);
                editor_ = nullptr;
                editorOpen_ = false;
            }
            break;
        default:
            break;
    }
    return TCustomControl::WndProc(msg, wParam, lParam);
}
