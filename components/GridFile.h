// The table file: the text in which a string grid saves its whole content (counts, column widths,
// every cell) and reads it back. Lines end with CR LF when written; CR LF, a lone CR or a lone
// LF all end a line when read. Every cell is followed by the grid's separator, the last one too.
// Cells are written as they are: a cell holding the separator or a line break does not read back
// into the same cell.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "components/GridModel.h"

// Line 0 of every table file, written verbatim and never read.
extern const char kTableFileComment[];

// The file format counts rows and columns in 16 bits: a grid with more rows or columns than
// these cannot be written, and a reader whose counts in force exceed its limits fails (the first
// cell line must lie within line 65535). Both fail with ERangeError "Range check error".
constexpr int kMaxWrittenRows = 65536;
constexpr int kMaxWrittenCols = 65536;
constexpr int kMaxReadRows = 65536;
constexpr int kMaxReadCols = 65532;

// Receives the file's text piece by piece, so that writing never needs the whole text in memory.
using TextSink = std::function<void(std::string_view)>;

// Cuts the first cell off a cell line: Cell becomes the text before the first occurrence of the
// separator (exact, case-sensitive) and that text and the separator leave the front of Line.
// Without an occurrence Cell is empty and Line stays as it was.
void ExtractCell(std::string& line, std::string& cell, const std::string& separator);

// The whole table file: comment, RowCount, ColCount, the widths, then one cell line per row.
// Raises ERangeError before the first piece reaches the sink when the grid is too large.
void WriteTableText(const GridModel& grid, const std::string& separator, const TextSink& sink);
std::string TableText(const GridModel& grid, const std::string& separator);
// The cell lines alone.
void WriteCellLinesText(const GridModel& grid, const std::string& separator, const TextSink& sink);
std::string CellLinesText(const GridModel& grid, const std::string& separator);

// Reads a table file's text into the grid: RowCount from line 1, ColCount from line 2 (through
// StrToInt), the widths from line 3 on, then the cells; FixedRows becomes 1 when more than one
// row was read. Raises EConvertError for a count or width that is no integer, EListError
// "List index out of bounds (%d)" for a line the counts need but the text lacks, ERangeError for
// counts beyond the limits; the grid then keeps what was applied before the error. The grid is not
// emptied first (the caller does that).
// With maxCells above 0, counts whose product exceeds it raise ERangeError before they are
// applied (a file of a few hundred bytes can otherwise describe billions of cells).
void ReadTableText(GridModel& grid,
                   std::string_view text,
                   const std::string& separator,
                   int64_t maxCells = 0);
// Fills the grid's current rows and columns from the cell section of a table file's text (the
// lines from 3 + ColCount on). Counts, widths and fixed rows are left alone.
void ReadCellLinesText(GridModel& grid, std::string_view text, const std::string& separator);
