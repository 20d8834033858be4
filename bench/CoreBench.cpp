// Native benchmarks of the Windows-free core: the table file written and read back, the numeric
// sort by the delay column, and the planning of an import into a full table. Sizes go well past
// what a start-up table holds, so that the growth of each operation shows, not only its cost at
// tens of rows.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/ImportPlan.h"
#include "common/ZorvaneText.h"
#include "components/GridFile.h"
#include "components/GridModel.h"

namespace {

const std::string kSeparator = " | ";
constexpr int kColumns = 6;
constexpr int kDelayColumn = 4;
const int kColumnWidths[kColumns] = {53, 71, 283, 80, 80, 35};

// The cells an item of a real table holds: a program under Program Files with a switch or two.
void FillItem(GridModel& grid, int row, int delay) {
    const std::string number = std::to_string(row);
    grid.SetCell(0, row, row % 7 == 0 ? "-" : "+");
    grid.SetCell(1, row, "Vendor Tool " + number);
    grid.SetCell(2, row, "C:\\Program Files\\Vendor " + number + "\\Tool Suite\\tool" + number + ".exe");
    if (row % 3 != 0)
        grid.SetCell(3, row, " /minimized --tray=" + number);
    grid.SetCell(kDelayColumn, row, std::to_string(delay));
    grid.SetCell(5, row, "Click");
}

void MakeTable(GridModel& grid, int items) {
    grid.SetColCount(kColumns);
    grid.SetRowCount(items + 1);
    grid.SetFixedCols(0);
    grid.SetFixedRows(1);
    for (int col = 0; col < kColumns; ++col)
        grid.SetColWidth(col, kColumnWidths[col]);
    const char* const headers[kColumns] = {"Enabled",    "Name",  "Full path",
                                           "Parameters", "Delay", "Ask Google"};
    for (int col = 0; col < kColumns; ++col)
        grid.SetCell(col, 0, headers[col]);
    for (int row = 1; row <= items; ++row)
        FillItem(grid, row, row + 4);
}

std::string ScratchFile(const char* name) {
    return (std::filesystem::temp_directory_path() /
            ("sequora-bench-" + std::to_string(getpid()) + "-" + name))
        .string();
}

// What the grid's SaveToFile does with the text: one file, created or truncated, written in
// pieces as the writer hands them over.
void SaveTable(const GridModel& grid, const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot create " + fileName);
    WriteTableText(grid, kSeparator,
                   [file](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), file); });
    std::fclose(file);
}

// What LoadFromFile does: empty the grid, read the whole file, fill the grid from its text.
void LoadTable(GridModel& grid, const std::string& fileName) {
    grid.ClearRows(true);
    std::ifstream in(fileName, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    ReadTableText(grid, text.str(), kSeparator);
}

void BM_TableFileSaveLoad(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    GridModel grid;
    MakeTable(grid, items);
    GridModel loaded;
    loaded.SetColCount(kColumns);
    const std::string fileName = ScratchFile("table.bin");
    for (auto _ : state) {
        SaveTable(grid, fileName);
        LoadTable(loaded, fileName);
    }
    if (loaded.RowCount() != grid.RowCount() || loaded.Cell(2, items) != grid.Cell(2, items))
        state.SkipWithError("the table did not read back as it was written");
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(fileName));
    std::filesystem::remove(fileName);
}
BENCHMARK(BM_TableFileSaveLoad)->Arg(1000)->Arg(65000)->Unit(benchmark::kMillisecond);

// The two halves apart, to tell which one costs.
void BM_TableFileSave(benchmark::State& state) {
    GridModel grid;
    MakeTable(grid, static_cast<int>(state.range(0)));
    const std::string fileName = ScratchFile("save.bin");
    for (auto _ : state)
        SaveTable(grid, fileName);
    std::filesystem::remove(fileName);
}
BENCHMARK(BM_TableFileSave)->Arg(1000)->Arg(65000)->Unit(benchmark::kMillisecond);

void BM_TableFileLoad(benchmark::State& state) {
    GridModel grid;
    MakeTable(grid, static_cast<int>(state.range(0)));
    const std::string fileName = ScratchFile("load.bin");
    SaveTable(grid, fileName);
    GridModel loaded;
    for (auto _ : state)
        LoadTable(loaded, fileName);
    std::filesystem::remove(fileName);
}
BENCHMARK(BM_TableFileLoad)->Arg(1000)->Arg(65000)->Unit(benchmark::kMillisecond);

// Delays as a user would type them: any whole second within a day, in no order, with repeats.
std::vector<std::string> RandomDelays(int count) {
    std::mt19937 random(20240601u + static_cast<unsigned>(count));
    std::uniform_int_distribution<int> delay(0, 86399);
    std::vector<std::string> delays(count);
    for (std::string& text : delays)
        text = std::to_string(delay(random));
    return delays;
}

void BM_SortNumeric(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    GridModel grid;
    MakeTable(grid, items);
    const std::vector<std::string> delays = RandomDelays(items);
    for (auto _ : state) {
        state.PauseTiming();
        for (int row = 1; row <= items; ++row)
            grid.SetCell(kDelayColumn, row, delays[row - 1]);
        state.ResumeTiming();
        grid.SortNumeric(kDelayColumn, true);
    }
    for (int row = 2; row <= items; ++row) {
        if (StrToInt(grid.Cell(kDelayColumn, row - 1)) > StrToInt(grid.Cell(kDelayColumn, row))) {
            state.SkipWithError("the rows are not in ascending order");
            break;
        }
    }
    state.SetComplexityN(items);
}
BENCHMARK(BM_SortNumeric)
    ->RangeMultiplier(2)
    ->Range(1 << 10, 1 << 16)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);

// The grid's quicksort step for step (same pivot, same comparisons, the text converted again at
// every comparison, the same exchanges), but over a dense array of the rows instead of the
// grid's row map. Not used by the program: it tells how much of the sort's cost and growth is the
// algorithm and how much is finding rows in the map.
void QuickSortDense(std::vector<const std::string*>& keys, int left, int right) {
    for (;;) {
        int i = left, j = right;
        const std::string pivotText = *keys[(left + right) / 2];
        const int32_t pivot = StrToInt(pivotText);
        do {
            while (StrToInt(*keys[i]) < pivot)
                ++i;
            while (StrToInt(*keys[j]) > pivot)
                --j;
            if (i <= j) {
                if (i != j)
                    std::swap(keys[i], keys[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j)
            QuickSortDense(keys, left, j);
        left = i;
        if (i >= right)
            return;
    }
}

void BM_SortNumericDenseRows(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    const std::vector<std::string> delays = RandomDelays(items);
    std::vector<const std::string*> keys(items);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < items; ++i)
            keys[i] = &delays[i];
        state.ResumeTiming();
        QuickSortDense(keys, 0, items - 1);
    }
    if (!std::is_sorted(keys.begin(), keys.end(), [](const std::string* a, const std::string* b) {
            return StrToInt(*a) < StrToInt(*b);
        }))
        state.SkipWithError("the rows are not in ascending order");
    state.SetComplexityN(items);
}
BENCHMARK(BM_SortNumericDenseRows)
    ->RangeMultiplier(2)
    ->Range(1 << 10, 1 << 16)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);

// What one comparison of the sort costs: finding the cell in the grid and converting its text.
// The sort does this about 1.4 n log2 n times plus once per exchange of rows.
void BM_SortKeyRead(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    GridModel grid;
    MakeTable(grid, items);
    const std::vector<std::string> delays = RandomDelays(items);
    for (int row = 1; row <= items; ++row)
        grid.SetCell(kDelayColumn, row, delays[row - 1]);
    std::mt19937 random(7u);
    std::uniform_int_distribution<int> pick(1, items);
    std::vector<int> rows(4096);
    for (int& row : rows)
        row = pick(random);
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(StrToInt(grid.Cell(kDelayColumn, rows[next])));
        next = (next + 1) & (rows.size() - 1);
    }
}
BENCHMARK(BM_SortKeyRead)->Arg(1 << 10)->Arg(1 << 16);

// The same, split: the cell lookup alone, and the conversion alone.
void BM_CellLookup(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    GridModel grid;
    MakeTable(grid, items);
    std::mt19937 random(7u);
    std::uniform_int_distribution<int> pick(1, items);
    std::vector<int> rows(4096);
    for (int& row : rows)
        row = pick(random);
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(grid.Cell(kDelayColumn, rows[next]).size());
        next = (next + 1) & (rows.size() - 1);
    }
}
BENCHMARK(BM_CellLookup)->Arg(1 << 10)->Arg(1 << 16);

void BM_StrToInt(benchmark::State& state) {
    const std::vector<std::string> delays = RandomDelays(4096);
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(StrToInt(delays[next]));
        next = (next + 1) & (delays.size() - 1);
    }
}
BENCHMARK(BM_StrToInt);

// The entries Windows would hand over: Run values naming quoted paths with switches. Every other
// one names a program the table already holds (in another letter case), the rest are new.
std::vector<CollectedEntry> ImportEntries(int count, int tableItems) {
    std::vector<CollectedEntry> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        CollectedEntry entry;
        if (i % 2 == 0) {
            // The row's own command: its path (in another letter case) and its parameters.
            const int row = 1 + (i * 7919) % tableItems;
            const std::string number = std::to_string(row);
            entry.text = "Vendor Tool " + number + "=\"C:\\PROGRAM FILES\\Vendor " + number +
                         "\\Tool Suite\\TOOL" + number + ".EXE\"" + (row % 3 != 0 ? " /minimized --tray=" + number : "");
        } else {
            const std::string number = std::to_string(100000 + i);
            entry.text = "New Agent " + number + "=\"C:\\Program Files (x86)\\Agent " + number +
                         "\\agent.exe\" -background";
        }
        entry.sourceName = entry.text.substr(0, entry.text.find('='));
        entries.push_back(std::move(entry));
    }
    return entries;
}

// The import's context: the values are quoted, so no file is looked for.
ImportContext BenchContext() {
    ImportContext context;
    context.ownExe = "C:\\Program Files\\Sequora\\sequora.exe";
    context.separator = kSeparator;
    return context;
}

std::vector<StartupItem> TableItems(const GridModel& grid) {
    std::vector<StartupItem> items;
    items.reserve(grid.RowCount());
    for (int row = 1; row < grid.RowCount(); ++row)
        items.push_back(StartupItem{grid.Cell(0, row), grid.Cell(1, row), grid.Cell(2, row),
                                    grid.Cell(3, row), grid.Cell(4, row), grid.Cell(5, row)});
    return items;
}

void BM_PlanImport(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    GridModel grid;
    MakeTable(grid, count);
    const std::vector<CollectedEntry> entries = ImportEntries(count, count);
    const std::vector<StartupItem> table = TableItems(grid);
    size_t added = 0;
    for (auto _ : state) {
        ImportPlan plan = PlanImport(entries, table, {}, BenchContext());
        added = plan.newItems.size();
        benchmark::DoNotOptimize(plan);
    }
    if (added != entries.size() / 2)
        state.SkipWithError("the duplicate check did not find every other entry held already");
    state.counters["added"] = static_cast<double>(added);
}
BENCHMARK(BM_PlanImport)->Arg(1000)->Unit(benchmark::kMillisecond);

// The whole Windows-free road of an import: the table read from the grid, the plan, and the new
// rows appended to the grid, as the main window does between reading Windows' places and saving.
void BM_ImportIntoGrid(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<CollectedEntry> entries = ImportEntries(count, count);
    for (auto _ : state) {
        state.PauseTiming();
        GridModel grid;
        MakeTable(grid, count);
        state.ResumeTiming();
        ImportPlan plan = PlanImport(entries, TableItems(grid), {}, BenchContext());
        for (const StartupItem& item : plan.newItems) {
            const int row = grid.RowCount();
            grid.SetRowCount(row + 1);
            grid.SetCell(0, row, item.enabled);
            grid.SetCell(1, row, item.name);
            grid.SetCell(2, row, item.path);
            grid.SetCell(3, row, item.params);
            grid.SetCell(4, row, IntToText(StrToInt(item.delay)));
            grid.SetCell(5, row, item.search);
        }
        benchmark::DoNotOptimize(grid.RowCount());
    }
}
BENCHMARK(BM_ImportIntoGrid)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
