#include "BenchData.h"
#include "listing/DisplayTable.h"
#include "listing/FolderScan.h"
#include "listing/GridColumns.h"
#include "listing/Listing.h"
#include "listing/StringGridSort.h"
#include "tests/listing/PivotAdversary.h"

#include <benchmark/benchmark.h>

// The listing of one big folder: sort, display table, and the whole road from
// the scan to the shown table.

namespace {

constexpr int kRows = 100000;

// A staging grid as the scan fills it, keyed by generated names.
const TGridTable &NamesGrid()
{
    static const TGridTable grid = [] {
        const std::vector<QString> names = GeneratedNames(kRows);
        const QString path = QStringLiteral("/home/user/Documents/");
        TGridTable g(FileListColumns());
        g.SetRowCount(kRows);
        for (int r = 0; r < kRows; ++r) {
            const QString &name = names[size_t(r)];
            g.SetCells(scFullPath, r, path + name);
            g.SetCells(scName, r, name);
            g.SetCells(scPath, r, path);
            g.SetCells(scSize, r, PadLeft(15, QLatin1Char('0'), int64_t(r) * 7919 % 5000000000));
            g.SetCells(scExtension, r, ExtractExtension(name));
            g.SetCells(scLastModified, r, DaySerialText(41179.5869111458 + r * 0.0137, QLatin1Char('.')));
            g.SetCells(scLastAccess, r, DaySerialText(41179.0 + r * 0.0291, QLatin1Char('.')));
        }
        return g;
    }();
    return grid;
}

TSortCompareMode ModeOf(const benchmark::State &state)
{
    return state.range(0) == 0 ? TSortCompareMode::scmDirect : TSortCompareMode::scmSortKeys;
}

// The quicksort alone: how many comparisons, and what each costs.
void BM_SortOrder(benchmark::State &state)
{
    std::vector<QString> keys;
    for (int r = 0; r < kRows; ++r)
        keys.push_back(NamesGrid().Cells(scName, r));
    const TSortCompareMode mode = ModeOf(state);
    for (auto _ : state) {
        const TTextComparer comparer;
        std::vector<int> order = StringSortOrder(keys, comparer, mode);
        benchmark::DoNotOptimize(order.data());
    }
    const TTextComparer comparer;
    int64_t comparisons = 0;
    QuickSortOrder(kRows, [&](int a, int b) {
        ++comparisons;
        return comparer.Compare(keys[size_t(a)], keys[size_t(b)]);
    });
    state.counters["comparisons"] = double(comparisons);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SortOrder)->ArgName("sortkeys")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Sizes in an order built against the middle pivot, as a hostile user's
// folder lists them: the bounded quicksort keeps this near the time of an
// ordinary order instead of n*n/4 comparisons.
void BM_SortOrderAgainstThePivot(benchmark::State &state)
{
    TPivotAdversary adversary(kRows);
    QuickSortOrder(kRows, [&](int a, int b) {
        return adversary.Compare(a, b);
    });
    std::vector<QString> keys;
    for (const int value : adversary.Values())
        keys.push_back(PadLeft(15, QLatin1Char('0'), value));
    for (auto _ : state) {
        const TTextComparer comparer;
        std::vector<int> order = StringSortOrder(keys, comparer, TSortCompareMode::scmSortKeys);
        benchmark::DoNotOptimize(order.data());
    }
    state.counters["comparisons"] = double(adversary.Comparisons());
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SortOrderAgainstThePivot)->Unit(benchmark::kMillisecond);

// The sort of a whole staging grid: keys, order and moving the rows.
void BM_StringGridSort(benchmark::State &state)
{
    const TSortCompareMode mode = ModeOf(state);
    for (auto _ : state) {
        state.PauseTiming();
        TGridTable grid = NamesGrid();
        state.ResumeTiming();
        StringGridSort(grid, scName, TTextComparer(), mode);
        benchmark::DoNotOptimize(grid.Cells(scName, 0).constData());
        state.PauseTiming();
        grid = TGridTable(FileListColumns()); // freeing is not the sort's cost
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_StringGridSort)->ArgName("sortkeys")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The display table from sorted staging grids.
void BM_MergeIntoDisplayTable(benchmark::State &state)
{
    const TGridTable sgDir(DirColumns());
    TGridTable sgFiles(FilesColumns());
    for (auto _ : state) {
        MergeIntoDisplayTable(sgDir, NamesGrid(), sgFiles);
        benchmark::DoNotOptimize(sgFiles.Cells(fcName, 0).constData());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_MergeIntoDisplayTable)->Unit(benchmark::kMillisecond);

TScanOptions ScanOptions()
{
    TScanOptions options;
    options.ShowFiles = true;
    options.ShowFolders = true;
    options.ShowExtensions = true;
    return options;
}

void BM_Scan(benchmark::State &state)
{
    const QString folder = GeneratedFolder(kRows);
    TListing listing;
    for (auto _ : state) {
        listing.Scan(folder, ScanOptions());
        benchmark::DoNotOptimize(listing.sgFileList.RowCount());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond);

// What a user waits for after picking the folder: scan, sort by name, display table.
void BM_ScanSortMerge(benchmark::State &state)
{
    const QString folder = GeneratedFolder(kRows);
    TListing listing;
    for (auto _ : state) {
        listing.Scan(folder, ScanOptions());
        listing.Sort(0);
        benchmark::DoNotOptimize(listing.sgFiles.Cells(fcName, 0).constData());
    }
    state.counters["rows"] = double(listing.sgFiles.RowCount());
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ScanSortMerge)->Unit(benchmark::kMillisecond);

} // namespace
