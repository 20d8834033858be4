// Reads arbitrary bytes as a table file. Whatever the input, reading may only end in one of the
// reader's own errors, and a grid that was read completely writes back a text that reads into the
// same grid whenever its cells survive a round trip (no cell ends in a prefix of the separator).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/Exceptions.h"
#include "components/GridFile.h"
#include "components/GridModel.h"

namespace {

// The writer's output for a grid this size stays small enough to compare.
constexpr int64_t kMaxCheckedCells = 1 << 16;

bool RoundTrips(const GridModel& grid, const std::string& separator) {
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.RowExtent(r); ++c) {
            std::string written = grid.Cell(c, r) + separator;
            if (written.find(separator) != grid.Cell(c, r).size())
                return false;
        }
    return true;
}

void Prepare(GridModel& grid) {
    grid.SetFixedCols(0);
    grid.SetColCount(6);
    grid.SetRowCount(1);
    grid.SetFixedRows(0);
    grid.SetCell(0, 0, "header");
    grid.ClearRows(true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the separator, so that short and long separators are both exercised.
    static const std::string kSeparators[] = {" | ", "|", "\t", "ab", ""};
    if (size == 0)
        return 0;
    const std::string& separator = kSeparators[data[0] % (sizeof(kSeparators) / sizeof(kSeparators[0]))];
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    GridModel grid;
    Prepare(grid);
    try {
        ReadTableText(grid, text, separator);
    } catch (const EConvertError&) {
        return 0;
    } catch (const EListError&) {
        return 0;
    } catch (const ERangeError&) {
        return 0;
    }
    // The cell section read again into the same shape gives the same cells.
    if (static_cast<int64_t>(grid.RowCount()) * grid.ColCount() > kMaxCheckedCells)
        return 0;
    GridModel again;
    again.SetFixedCols(0);
    again.SetRowCount(grid.RowCount());
    again.SetColCount(grid.ColCount());
    ReadCellLinesText(again, text, separator);
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c)
            if (again.Cell(c, r) != grid.Cell(c, r))
                std::abort();

    if (!RoundTrips(grid, separator) || separator.empty())
        return 0;
    GridModel copy;
    Prepare(copy);
    ReadTableText(copy, TableText(grid, separator), separator);
    if (copy.RowCount() != grid.RowCount() || copy.ColCount() != grid.ColCount())
        std::abort();
    for (int c = 0; c < grid.ColCount(); ++c)
        if (copy.ColWidth(c) != grid.ColWidth(c))
            std::abort();
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c)
            if (copy.Cell(c, r) != grid.Cell(c, r))
                std::abort();
    return 0;
}
