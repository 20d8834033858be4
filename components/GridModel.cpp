#include "components/GridModel.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>
#include <vector>

#include "common/Exceptions.h"
#include "common/ZorvaneText.h"

namespace {

const std::string kEmptyText;

[[noreturn]] void IndexOutOfRange() {
    throw EInvalidGridOperation("Grid index out of range");
}

// Where an index ends up when the element at fromIndex moves to toIndex.
int MoveAdjust(int value, int fromIndex, int toIndex) {
    if (value == fromIndex)
        return toIndex;
    if (fromIndex < toIndex && value > fromIndex && value <= toIndex)
        return value - 1;
    if (fromIndex > toIndex && value >= toIndex && value < fromIndex)
        return value + 1;
    return value;
}

// Re-keys the entries of a sparse map as one element moving from fromIndex to toIndex.
template <class Map>
void MoveKey(Map& map, int fromIndex, int toIndex) {
    int low = std::min(fromIndex, toIndex), high = std::max(fromIndex, toIndex);
    std::vector<typename Map::node_type> nodes;
    for (auto it = map.lower_bound(low); it != map.end() && it->first <= high;)
        nodes.push_back(map.extract(it++));
    for (auto& node : nodes) {
        node.key() = MoveAdjust(node.key(), fromIndex, toIndex);
        map.insert(std::move(node));
    }
}

// Ordinal comparison with only the ASCII letters folded to upper case, so that characters
// between 'Z' and 'a' ("_", "[", ...) sort after the letters.
int CompareTextAscii(const std::string& a, const std::string& b) {
    size_t count = std::min(a.size(), b.size());
    for (size_t i = 0; i < count; ++i) {
        auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z')
            ca = static_cast<unsigned char>(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z')
            cb = static_cast<unsigned char>(cb - 'a' + 'A');
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace

// ---- Notifications ------------------------------------------------------------------------------

void GridModel::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0)
        return;
    bool layout = pendingLayout_, cursor = pendingCursor_;
    pendingLayout_ = pendingCursor_ = false;
    if (!listener_)
        return;
    if (layout)
        listener_->LayoutChanged();
    if (cursor)
        listener_->CursorMoved(pendingOldCol_, pendingOldRow_);
}

void GridModel::NotifyCell(int col, int row) {
    if (updateDepth_ > 0)
        pendingLayout_ = true;
    else if (listener_)
        listener_->CellChanged(col, row);
}

void GridModel::NotifyRows(int first, int last) {
    if (updateDepth_ > 0)
        pendingLayout_ = true;
    else if (listener_)
        listener_->RowsChanged(first, last);
}

void GridModel::NotifyLayout() {
    if (updateDepth_ > 0)
        pendingLayout_ = true;
    else if (listener_)
        listener_->LayoutChanged();
}

void GridModel::NotifyCursor(int oldCol, int oldRow, int oldAnchorCol, int oldAnchorRow) {
    if (oldCol == col_ && oldRow == row_ && oldAnchorCol == anchorCol_ && oldAnchorRow == anchorRow_)
        return;
    if (updateDepth_ > 0) {
        if (!pendingCursor_) {
            pendingOldCol_ = oldCol;
            pendingOldRow_ = oldRow;
        }
        pendingCursor_ = true;
    } else if (listener_) {
        listener_->CursorMoved(oldCol, oldRow);
    }
}

// ---- Cells --------------------------------------------------------------------------------------

void GridModel::CheckCell(int col, int row) const {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
        IndexOutOfRange();
}

const std::string& GridModel::Cell(int col, int row) const {
    if (col < 0)
        return kEmptyText;
    auto rowIt = rows_.find(row);
    if (rowIt == rows_.end())
        return kEmptyText;
    auto cellIt = rowIt->second.find(col);
    return cellIt == rowIt->second.end() ? kEmptyText : cellIt->second;
}

void GridModel::SetCell(int col, int row, const std::string& text) {
    CheckCell(col, row);
    if (text.empty()) {
        auto rowIt = rows_.find(row);
        if (rowIt == rows_.end() || rowIt->second.erase(col) == 0)
            return;
        if (rowIt->second.empty())
            rows_.erase(rowIt);
    } else {
        std::string& cell = rows_[row][col];
        if (cell == text)
            return;
        cell = text;
    }
    NotifyCell(col, row);
}

const std::string& GridModel::RowTag(int row) const {
    auto rowIt = rows_.find(row);
    if (rowIt == rows_.end())
        return kEmptyText;
    auto tagIt = rowIt->second.find(kTagKey);
    return tagIt == rowIt->second.end() ? kEmptyText : tagIt->second;
}

void GridModel::SetRowTag(int row, const std::string& tag) {
    CheckCell(0, row);
    if (!tag.empty()) {
        rows_[row][kTagKey] = tag;
        return;
    }
    auto rowIt = rows_.find(row);
    if (rowIt != rows_.end() && rowIt->second.erase(kTagKey) > 0 && rowIt->second.empty())
        rows_.erase(rowIt);
}

void GridModel::ClearRow(int row) {
    if (rows_.erase(row) > 0)
        NotifyRows(row, row);
}

void GridModel::ClearColumn(int col) {
    bool changed = false;
    for (auto it = rows_.begin(); it != rows_.end();) {
        changed |= it->second.erase(col) > 0;
        it = it->second.empty() ? rows_.erase(it) : std::next(it);
    }
    if (changed)
        NotifyLayout();
}

void GridModel::ClearRowFrom(int row, int firstCol) {
    auto rowIt = rows_.find(row);
    if (rowIt == rows_.end())
        return;
    RowCells& cells = rowIt->second;
    auto first = cells.lower_bound(firstCol);
    if (first == cells.end())
        return;
    cells.erase(first, cells.end());
    if (cells.empty())
        rows_.erase(rowIt);
    NotifyRows(row, row);
}

int GridModel::RowExtent(int row) const {
    auto rowIt = rows_.find(row);
    return rowIt == rows_.end() ? 0 : rowIt->second.rbegin()->first + 1;
}

void GridModel::VisitCells(const std::function<void(int, int, const std::string&)>& visit) const {
    for (const auto& [row, cells] : rows_)
        for (auto it = cells.upper_bound(kTagKey); it != cells.end(); ++it)
            visit(it->first, row, it->second);
}

// ---- Shape --------------------------------------------------------------------------------------

void GridModel::SetRowCount(int value) {
    if (value < 1)
        value = 1;
    if (value == rowCount_)
        return;
    if (fixedRows_ >= value)
        fixedRows_ = value - 1;
    rowCount_ = value;
    rows_.erase(rows_.lower_bound(value), rows_.end());
    int oldCol = col_, oldRow = row_, oldAnchorCol = anchorCol_, oldAnchorRow = anchorRow_;
    row_ = std::min(row_, value - 1);
    anchorRow_ = std::min(anchorRow_, value - 1);
    NotifyLayout();
    NotifyCursor(oldCol, oldRow, oldAnchorCol, oldAnchorRow);
}

void GridModel::SetColCount(int value) {
    if (value < 1)
        value = 1;
    if (value == colCount_)
        return;
    if (fixedCols_ >= value)
        fixedCols_ = value - 1;
    colCount_ = value;
    for (auto it = rows_.begin(); it != rows_.end();) {
        it->second.erase(it->second.lower_bound(value), it->second.end());
        it = it->second.empty() ? rows_.erase(it) : std::next(it);
    }
    colWidths_.erase(colWidths_.lower_bound(value), colWidths_.end());
    int oldCol = col_, oldRow = row_, oldAnchorCol = anchorCol_, oldAnchorRow = anchorRow_;
    col_ = std::min(col_, value - 1);
    anchorCol_ = std::min(anchorCol_, value - 1);
    NotifyLayout();
    NotifyCursor(oldCol, oldRow, oldAnchorCol, oldAnchorRow);
}

void GridModel::KeepCursorOutOfFixed() {
    int oldCol = col_, oldRow = row_, oldAnchorCol = anchorCol_, oldAnchorRow = anchorRow_;
    col_ = std::max(col_, fixedCols_);
    row_ = std::max(row_, fixedRows_);
    anchorCol_ = std::max(anchorCol_, fixedCols_);
    anchorRow_ = std::max(anchorRow_, fixedRows_);
    NotifyCursor(oldCol, oldRow, oldAnchorCol, oldAnchorRow);
}

void GridModel::SetFixedRows(int value) {
    if (value < 0)
        IndexOutOfRange();
    if (value >= rowCount_)
        throw EInvalidGridOperation("Fixed row count must be less than row count");
    if (value == fixedRows_)
        return;
    fixedRows_ = value;
    NotifyLayout();
    // The cursor is moved directly, as the data under it did not change: asking the selection
    // hook here would make a handler act on a cell nobody chose (loading a table sets the
    // header row fixed).
    KeepCursorOutOfFixed();
}

void GridModel::SetFixedCols(int value) {
    if (value < 0)
        IndexOutOfRange();
    if (value >= colCount_)
        throw EInvalidGridOperation("Fixed column count must be less than column count");
    if (value == fixedCols_)
        return;
    fixedCols_ = value;
    NotifyLayout();
    KeepCursorOutOfFixed();
}

void GridModel::SetDefaultColWidth(int value) {
    if (value == defaultColWidth_ && colWidths_.empty())
        return;
    defaultColWidth_ = value;
    colWidths_.clear();
    NotifyLayout();
}

void GridModel::SetDefaultRowHeight(int value) {
    if (value == defaultRowHeight_)
        return;
    defaultRowHeight_ = value;
    NotifyLayout();
}

int GridModel::ColWidth(int col) const {
    auto it = colWidths_.find(col);
    return it == colWidths_.end() ? defaultColWidth_ : it->second;
}

void GridModel::SetColWidth(int col, int width) {
    if (col < 0 || col >= colCount_)
        IndexOutOfRange();
    int oldWidth = ColWidth(col);
    colWidths_[col] = width;
    if (oldWidth != width)
        NotifyLayout();
}

// ---- Cursor -------------------------------------------------------------------------------------

void GridModel::SetCol(int value) {
    if (value != col_)
        FocusCell(value, row_);
}

void GridModel::SetRow(int value) {
    if (value != row_)
        FocusCell(col_, value);
}

bool GridModel::FocusCell(int col, int row, bool moveAnchor) {
    CheckCell(col, row);
    int oldCol = col_, oldRow = row_, oldAnchorCol = anchorCol_, oldAnchorRow = anchorRow_;
    if (col != col_ || row != row_) {
        if (listener_ && !listener_->CanSelectCell(col, row))
            return false;
        // The hook may have changed the grid (a handler that edits cells or counts).
        if (col >= colCount_ || row >= rowCount_)
            return false;
        col_ = col;
        row_ = row;
    }
    if (moveAnchor) {
        anchorCol_ = col_;
        anchorRow_ = row_;
    }
    NotifyCursor(oldCol, oldRow, oldAnchorCol, oldAnchorRow);
    return true;
}

GridRect GridModel::Selection() const {
    return {std::min(col_, anchorCol_), std::min(row_, anchorRow_), std::max(col_, anchorCol_),
            std::max(row_, anchorRow_)};
}

void GridModel::ResetCursor() {
    PlaceCursor(fixedCols_, fixedRows_, fixedCols_, fixedRows_);
}

void GridModel::PlaceCursor(int col, int row, int anchorCol, int anchorRow) {
    int oldCol = col_, oldRow = row_, oldAnchorCol = anchorCol_, oldAnchorRow = anchorRow_;
    col_ = col;
    row_ = row;
    anchorCol_ = anchorCol;
    anchorRow_ = anchorRow;
    NotifyCursor(oldCol, oldRow, oldAnchorCol, oldAnchorRow);
}

// ---- Base-grid moves ----------------------------------------------------------------------------

void GridModel::MoveRow(int fromIndex, int toIndex) {
    if (fromIndex < 0 || toIndex < 0 || fromIndex >= rowCount_ || toIndex >= rowCount_)
        IndexOutOfRange();
    if (fromIndex == toIndex)
        return;
    MoveKey(rows_, fromIndex, toIndex);
    NotifyRows(std::min(fromIndex, toIndex), std::max(fromIndex, toIndex));
    PlaceCursor(col_, MoveAdjust(row_, fromIndex, toIndex), anchorCol_,
                MoveAdjust(anchorRow_, fromIndex, toIndex));
}

void GridModel::MoveColumn(int fromIndex, int toIndex) {
    if (fromIndex < 0 || toIndex < 0 || fromIndex >= colCount_ || toIndex >= colCount_)
        IndexOutOfRange();
    if (fromIndex == toIndex)
        return;
    for (auto& [row, cells] : rows_)
        MoveKey(cells, fromIndex, toIndex);
    MoveKey(colWidths_, fromIndex, toIndex);
    NotifyLayout();
    PlaceCursor(MoveAdjust(col_, fromIndex, toIndex), row_, MoveAdjust(anchorCol_, fromIndex, toIndex),
                anchorRow_);
}

void GridModel::DeleteRow(int row) {
    MoveRow(row, rowCount_ - 1);
    SetRowCount(rowCount_ - 1);
}

void GridModel::DeleteColumn(int col) {
    MoveColumn(col, colCount_ - 1);
    SetColCount(colCount_ - 1);
}

// ---- Enhanced operations ------------------------------------------------------------------------

void GridModel::AddRow() {
    if (rowCount_ == INT_MAX)
        IndexOutOfRange();
    SetRowCount(rowCount_ + 1);
    FocusCell(col_, rowCount_ - 1);
}

void GridModel::InsertRowBelow(int row) {
    if (row < 0 || row >= rowCount_ || rowCount_ == INT_MAX)
        IndexOutOfRange();
    // The new row is the empty last one, moved into place: no existing row is emptied, whichever
    // row is given, and the cursor keeps following its own row until it is put on the new one.
    SetRowCount(rowCount_ + 1);
    MoveRow(rowCount_ - 1, row + 1);
    FocusCell(col_, row + 1);
}

void GridModel::RemoveRow(int row) {
    if (row < 0 || row >= rowCount_)
        IndexOutOfRange();
    int rememberedRow = row_;
    ClearRow(row);
    DeleteRow(row);
    if (rememberedRow < rowCount_)
        SetRow(rememberedRow);
}

void GridModel::RemoveCurrentRow() {
    if (row_ >= fixedRows_ && rowCount_ > 2)
        RemoveRow(row_);
    else
        ClearRow(row_);
}

void GridModel::RemoveColumn(int col) {
    if (col < 0 || col >= colCount_)
        IndexOutOfRange();
    int rememberedCol = col_;
    ClearColumn(col);
    if (!(forceKeepHeaders_ && colCount_ <= fixedCols_ + 1))
        DeleteColumn(col);
    if (rememberedCol < colCount_)
        SetCol(rememberedCol);
}

bool GridModel::MoveRowUp() {
    int row = row_;
    if (row - 1 < 0 || row - 1 < fixedRows_)
        return false;
    ExchangeRows(row, row - 1);
    FocusCell(col_, row - 1);
    return true;
}

bool GridModel::MoveRowDown() {
    int row = row_;
    if (row + 1 >= rowCount_)
        return false;
    ExchangeRows(row, row + 1);
    FocusCell(col_, row + 1);
    return true;
}

void GridModel::ExchangeRows(int a, int b) {
    if (a < 0 || b < 0 || a >= rowCount_ || b >= rowCount_)
        IndexOutOfRange();
    if (a == b)
        return;
    auto itA = rows_.find(a), itB = rows_.find(b);
    if (itA == rows_.end() && itB == rows_.end())
        return;
    if (itA != rows_.end() && itB != rows_.end()) {
        std::swap(itA->second, itB->second);
    } else {
        auto node = rows_.extract(itA != rows_.end() ? itA : itB);
        node.key() = node.key() == a ? b : a;
        rows_.insert(std::move(node));
    }
    NotifyRows(a, a);
    NotifyRows(b, b);
}

void GridModel::ReverseRows() {
    int first = fixedRows_, last = rowCount_ - 1;
    if (first >= last)
        return;
    // Swapping the first with the last and so on mirrors every row about the middle; re-keying
    // the stored rows does the same without visiting the empty ones.
    std::vector<std::map<int, RowCells>::node_type> nodes;
    for (auto it = rows_.lower_bound(first); it != rows_.end();)
        nodes.push_back(rows_.extract(it++));
    for (auto& node : nodes) {
        node.key() = static_cast<int>(static_cast<int64_t>(first) + last - node.key());
        rows_.insert(std::move(node));
    }
    NotifyRows(first, last);
}

void GridModel::ClearRows(bool keepHeader) {
    auto first = rows_.lower_bound(keepHeader ? 1 : 0);
    if (first != rows_.end()) {
        rows_.erase(first, rows_.end());
        NotifyLayout();
    }
    SetRowCount(2);
}

void GridModel::ToggleHeaderRow() {
    SetFixedRows(fixedRows_ == 0 ? 1 : 0);
}

void GridModel::SortNumeric(int col, bool ascending) {
    Sort(col, ascending, SortKind::Numeric);
}

void GridModel::SortText(int col, bool ascending) {
    Sort(col, ascending, SortKind::Text);
}

void GridModel::Sort(int col, bool ascending, SortKind kind) {
    sortColumn_ = col;
    NotifyLayout();  // the header that carries the sort marker changed
    QuickSort(fixedRows_, rowCount_ - 1, col, kind);
    if (!ascending)
        ReverseRows();
}

// Hoare's quicksort with the middle row as pivot, recursing into the left part and looping on the
// right one. The order of comparisons and exchanges decides where rows with equal keys end up, so
// it is kept exactly; only the recursion lives on a heap stack, so that adversarial tables of many
// thousand rows cannot overflow the thread's stack. The rows are sorted in a dense array of their
// own, taken out of the sparse store and put back afterwards, so that reading a key or exchanging
// two rows does not cost a search of the store.
void GridModel::QuickSort(int lo, int hi, int col, SortKind kind) {
    using Node = std::map<int, RowCells>::node_type;
    std::vector<Node> sorted(lo <= hi ? static_cast<size_t>(hi - lo) + 1 : 0);
    for (auto it = rows_.lower_bound(lo); it != rows_.end() && it->first <= hi;) {
        const int row = it->first;
        sorted[static_cast<size_t>(row - lo)] = rows_.extract(it++);
    }
    bool exchanged = false;
    // Back into the store with their new row numbers, also when a key raises part-way: the rows
    // exchanged so far stay exchanged.
    struct PutBack {
        GridModel& model;
        std::vector<Node>& sorted;
        int lo, hi;
        bool& exchanged;
        ~PutBack() {
            const auto after = model.rows_.lower_bound(hi + 1);
            for (size_t index = 0; index < sorted.size(); ++index) {
                if (sorted[index].empty())
                    continue;
                sorted[index].key() = lo + static_cast<int>(index);
                model.rows_.insert(after, std::move(sorted[index]));
            }
            if (exchanged)
                model.NotifyRows(lo, hi);
        }
    } putBack{*this, sorted, lo, hi, exchanged};

    // Each sorted row's key text, copied once into one array that moves with the rows: reading a
    // key then touches one place in memory instead of the row's scattered cells.
    std::vector<std::string> keys(sorted.size());
    for (size_t index = 0; index < sorted.size(); ++index) {
        if (sorted[index].empty())
            continue;
        auto cell = sorted[index].mapped().find(col);
        if (cell != sorted[index].mapped().end())
            keys[index] = cell->second;
    }
    auto key = [&](int row) -> const std::string& {
        if (row < lo || row > hi)
            return Cell(col, row);  // outside the sorted rows (an empty range reads its pivot there)
        return keys[static_cast<size_t>(row - lo)];
    };
    // Keys are read from the cells at every comparison; a numeric key that is no integer
    // raises EConvertError from here, leaving the rows exchanged so far.
    auto compare = [&](int row, const std::string& pivotText, int32_t pivotValue) {
        if (kind == SortKind::Numeric) {
            int32_t value = StrToInt(key(row));
            return value < pivotValue ? -1 : value > pivotValue ? 1 : 0;
        }
        return CompareTextAscii(key(row), pivotText);
    };
    struct Resume {
        int left, right;  // the caller's next pass: L := I, and its R
    };
    std::vector<Resume> pending;
    int left = lo, right = hi;
    for (;;) {
        int i = left, j = right;
        int pivotRow = static_cast<int>((static_cast<int64_t>(left) + right) / 2);
        std::string pivotText = key(pivotRow);
        int32_t pivotValue = kind == SortKind::Numeric ? StrToInt(pivotText) : 0;
        do {
            while (compare(i, pivotText, pivotValue) < 0)
                ++i;
            while (compare(j, pivotText, pivotValue) > 0)
                --j;
            if (i <= j) {
                if (i != j) {
                    std::swap(sorted[static_cast<size_t>(i - lo)], sorted[static_cast<size_t>(j - lo)]);
                    std::swap(keys[static_cast<size_t>(i - lo)], keys[static_cast<size_t>(j - lo)]);
                    exchanged = true;
                }
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j) {
            pending.push_back({i, right});
            right = j;
            continue;
        }
        left = i;
        // "until I >= R": this range is done; resume the callers whose range is done too.
        while (left >= right) {
            if (pending.empty())
                return;
            left = pending.back().left;
            right = pending.back().right;
            pending.pop_back();
        }
    }
}

void GridModel::CollapseLineBreaks(int col, int row) {
    const std::string& text = Cell(col, row);
    if (text.find("\r\n") == std::string::npos)
        return;
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            result += ' ';
            ++i;
        } else {
            result += text[i];
        }
    }
    SetCell(col, row, result);
}
