#include "components/GridFile.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "common/Exceptions.h"
#include "common/ZorvaneText.h"

const char kTableFileComment[] =
    "{Row 0= This comment, Row 1= RowCount, Row 2= ColCount, Row 4^= Columns width, Row 4+ColCount= Content. "
    "The colums are separated by a \"space vertical space\" marker. This means thea the last element should "
    "also end with a \"space vertical space\" marker.}";

namespace {

const char kLineBreak[] = "\r\n";
constexpr size_t kSinkChunk = 64 * 1024;

// Collects small appends and hands them to the sink in large pieces.
class ChunkedWriter {
  public:
    explicit ChunkedWriter(const TextSink& sink) : sink_(sink) { buffer_.reserve(kSinkChunk); }
    ChunkedWriter(const ChunkedWriter&) = delete;
    ChunkedWriter& operator=(const ChunkedWriter&) = delete;

    void Append(std::string_view text) {
        if (buffer_.size() + text.size() > kSinkChunk)
            Flush();
        if (text.size() >= kSinkChunk)
            sink_(text);
        else
            buffer_.append(text);
    }
    void Flush() {
        if (!buffer_.empty())
            sink_(buffer_);
        buffer_.clear();
    }

  private:
    const TextSink& sink_;
    std::string buffer_;
};

// Hands out the lines of a text in increasing order without splitting the whole text up front
// (a hostile file of line breaks alone would otherwise cost a string per byte).
class LineCursor {
  public:
    explicit LineCursor(std::string_view text) : text_(text) {}

    // Line `index`; indexes must not decrease from call to call.
    std::string_view Line(int64_t index) {
        while (next_ < index) {
            if (!SkipLine())
                Missing(index);
        }
        std::string_view line;
        if (!ReadLine(line))
            Missing(index);
        return line;
    }

  private:
    [[noreturn]] static void Missing(int64_t index) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    bool SkipLine() {
        std::string_view ignored;
        return ReadLine(ignored);
    }
    // A break at the very end starts no further line, so a line exists while text remains.
    bool ReadLine(std::string_view& line) {
        if (pos_ >= text_.size())
            return false;
        size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) {
            line = text_.substr(pos_);
            pos_ = text_.size();
        } else {
            line = text_.substr(pos_, end - pos_);
            pos_ = end + 1;
            if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n')
                ++pos_;
        }
        ++next_;
        return true;
    }

    std::string_view text_;
    size_t pos_ = 0;
    int64_t next_ = 0;
};

// Holds the grid's notifications back while a reader fills it, and lets them go on every exit.
class UpdateScope {
  public:
    explicit UpdateScope(GridModel& grid) : grid_(grid) { grid_.BeginUpdate(); }
    ~UpdateScope() { grid_.EndUpdate(); }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;

  private:
    GridModel& grid_;
};

[[noreturn]] void RangeCheckError() {
    throw ERangeError("Range check error");
}

void CheckReadLimits(const GridModel& grid) {
    if (grid.RowCount() > kMaxReadRows || grid.ColCount() > kMaxReadCols)
        RangeCheckError();
}

void CheckWriteLimits(const GridModel& grid) {
    if (grid.RowCount() > kMaxWrittenRows || grid.ColCount() > kMaxWrittenCols)
        RangeCheckError();
}

int32_t LineToInt(std::string_view line) {
    return StrToInt(std::string(line));
}

void WriteNumberLine(ChunkedWriter& out, int value) {
    out.Append(std::to_string(value));
    out.Append(kLineBreak);
}

void WriteCellLines(const GridModel& grid, const std::string& separator, ChunkedWriter& out) {
    const int colCount = grid.ColCount();
    for (int row = 0; row < grid.RowCount(); ++row) {
        // Cells past the row's last non-empty one contribute their separator only.
        int extent = std::min(grid.RowExtent(row), colCount);
        for (int col = 0; col < extent; ++col) {
            out.Append(grid.Cell(col, row));
            out.Append(separator);
        }
        for (int col = extent; col < colCount; ++col)
            out.Append(separator);
        out.Append(kLineBreak);
    }
}

// Fills row `row` from a cell line, one ExtractCell per column. Once the line holds no further
// separator every remaining cell reads as empty, so those are emptied in one step.
void ReadCellLine(GridModel& grid, int row, std::string_view line, const std::string& separator) {
    for (int col = 0; col < grid.ColCount(); ++col) {
        size_t at = separator.empty() ? std::string_view::npos : line.find(separator);
        if (at == std::string_view::npos) {
            grid.ClearRowFrom(row, col);
            return;
        }
        grid.SetCell(col, row, std::string(line.substr(0, at)));
        line.remove_prefix(at + separator.size());
    }
}

void ReadCellSection(GridModel& grid, LineCursor& lines, const std::string& separator) {
    const int64_t firstLine = 3 + static_cast<int64_t>(grid.ColCount());
    for (int row = 0; row < grid.RowCount(); ++row)
        ReadCellLine(grid, row, lines.Line(firstLine + row), separator);
}

}  // namespace

void ExtractCell(std::string& line, std::string& cell, const std::string& separator) {
    cell.clear();
    size_t at = separator.empty() ? std::string::npos : line.find(separator);
    if (at == std::string::npos)
        return;
    cell = line.substr(0, at);
    line.erase(0, at + separator.size());
}

void WriteTableText(const GridModel& grid, const std::string& separator, const TextSink& sink) {
    CheckWriteLimits(grid);
    ChunkedWriter out(sink);
    out.Append(kTableFileComment);
    out.Append(kLineBreak);
    WriteNumberLine(out, grid.RowCount());
    WriteNumberLine(out, grid.ColCount());
    for (int col = 0; col < grid.ColCount(); ++col)
        WriteNumberLine(out, grid.ColWidth(col));
    WriteCellLines(grid, separator, out);
    out.Flush();
}

std::string TableText(const GridModel& grid, const std::string& separator) {
    std::string text;
    WriteTableText(grid, separator, [&text](std::string_view piece) { text.append(piece); });
    return text;
}

void WriteCellLinesText(const GridModel& grid, const std::string& separator, const TextSink& sink) {
    CheckWriteLimits(grid);
    ChunkedWriter out(sink);
    WriteCellLines(grid, separator, out);
    out.Flush();
}

std::string CellLinesText(const GridModel& grid, const std::string& separator) {
    std::string text;
    WriteCellLinesText(grid, separator, [&text](std::string_view piece) { text.append(piece); });
    return text;
}

void ReadTableText(GridModel& grid, std::string_view text, const std::string& separator, int64_t maxCells) {
    UpdateScope update(grid);
    LineCursor lines(text);
    grid.SetRowCount(LineToInt(lines.Line(1)));
    const int32_t cols = LineToInt(lines.Line(2));
    // The column count as the grid would take it (below 1 means 1), checked before it is applied.
    const int64_t cells = static_cast<int64_t>(grid.RowCount()) * std::max(cols, 1);
    if (maxCells > 0 && cells > maxCells)
        throw ERangeError("The table describes " + std::to_string(grid.RowCount()) + " rows of " +
                          std::to_string(std::max(cols, 1)) + " columns, more than " + std::to_string(maxCells) +
                          " cells");
    grid.SetColCount(cols);
    CheckReadLimits(grid);
    for (int col = 0; col < grid.ColCount(); ++col)
        grid.SetColWidth(col, LineToInt(lines.Line(3 + static_cast<int64_t>(col))));
    ReadCellSection(grid, lines, separator);
    if (grid.RowCount() > 1)
        grid.SetFixedRows(1);
}

void ReadCellLinesText(GridModel& grid, std::string_view text, const std::string& separator) {
    CheckReadLimits(grid);
    UpdateScope update(grid);
    LineCursor lines(text);
    ReadCellSection(grid, lines, separator);
}
