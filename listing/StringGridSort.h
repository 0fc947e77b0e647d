// The sort of a Grid table by one column.
#pragma once

#include "listing/GridTable.h"
#include "platform/LocaleServices.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <numeric>
#include <thread>
#include <utility>
#include <vector>

// How the sort asks the collator: the order of comparisons, and so the order
// of the rows, is the same either way; only the speed differs.
enum class TSortCompareMode {
    scmDirect, // the collator compares the two texts each time
    scmSortKeys // each text's collation key is made once; comparisons compare keys
};

// Reorders the rows of StrGrid so that column SortColumn ascends under the
// comparer. Every column moves with its row, hidden ones too. The quicksort is
// not stable and its order of equal keys is part of the listing's behaviour.
void StringGridSort(TGridTable &StrGrid, int SortColumn, const TTextComparer &comparer);
void StringGridSort(
    TGridTable &StrGrid, int SortColumn, const TTextComparer &comparer, TSortCompareMode mode);
// With the user's locale.
void StringGridSort(TGridTable &StrGrid, int SortColumn);

// The order the sort gives: entry r is the old row that lands in row r.
std::vector<int> StringSortOrder(
    const std::vector<QString> &keys, const TTextComparer &comparer, TSortCompareMode mode);

namespace QuickSortDetail {

struct TRange
{
    int L, R, Depth;
};

// One partition of the range around its middle entry: the quicksort's step.
// Gives the two ranges left to sort, either of which may be empty.
template <typename Compare>
std::pair<TRange, TRange> Partition(std::vector<int> &entries, TRange range, Compare &compare)
{
    const int L = range.L;
    const int R = range.R;
    int I = L;
    int J = R;
    int P = (L + R) / 2;
    do {
        // The bounds never stop a consistent collation earlier than the keys do.
        while (I < R && compare(entries[size_t(I)], entries[size_t(P)]) < 0)
            ++I;
        while (J > L && compare(entries[size_t(J)], entries[size_t(P)]) > 0)
            --J;
        if (I <= J) {
            if (I != J)
                std::swap(entries[size_t(I)], entries[size_t(J)]);
            if (P == I)
                P = J;
            else if (P == J)
                P = I;
            ++I;
            --J;
        }
    } while (I <= J);
    return {TRange{L, J, range.Depth + 1}, TRange{I, R, range.Depth + 1}};
}

// Sorts one range and every range it splits into.
template <typename Compare>
void SortRange(std::vector<int> &entries, TRange range, int maxDepth, Compare &compare)
{
    // A short range costs little however badly it splits.
    constexpr int kShortRange = 16;
    std::vector<TRange> pending;
    if (range.L < range.R)
        pending.push_back(range);
    while (!pending.empty()) {
        TRange r = pending.back();
        pending.pop_back();
        while (r.L < r.R) {
            if (r.Depth > maxDepth && r.R - r.L + 1 > kShortRange) {
                const auto first = entries.begin() + r.L;
                const auto last = entries.begin() + r.R + 1;
                const auto less = [&](int a, int b) {
                    return compare(a, b) < 0;
                };
                std::make_heap(first, last, less);
                std::sort_heap(first, last, less);
                break;
            }
            const auto [left, right] = Partition(entries, r, compare);
            if (left.L < left.R)
                pending.push_back(left);
            r = right;
        }
    }
}

} // namespace QuickSortDetail

// The quicksort over the entries 0 to count - 1, each the number of the row
// whose key it stands for; compare(a, b) compares the keys of rows a and b.
// Gives the entries in their sorted order. P follows the pivot entry through exchanges.
// The sub-ranges are disjoint, so handling them from a stack instead of by
// recursion changes no comparison and cannot overflow the call stack.
//
// Anyone can name files so that the middle pivot is always the smallest key
// left (a folder lists in creation order), which takes n*n/4 comparisons. So a
// range that lies three times deeper than a balanced split would is finished
// by heapsort, as introsort does; ordinary listings never get that deep, and
// keep the quicksort's order of equal keys.
//
// threads > 1 sorts disjoint ranges on that many threads at once, with the
// same comparisons and so the same order; compare must then be safe to call
// from several threads.
template <typename Compare> std::vector<int> QuickSortOrder(int count, Compare compare, int threads = 1)
{
    using namespace QuickSortDetail;
    std::vector<int> entries(size_t(count > 0 ? count : 0));
    std::iota(entries.begin(), entries.end(), 0);
    if (count < 2)
        return entries;
    // Random orders of a million names reach 2.4 log2(n); three times keeps
    // their order of equal keys and still bounds a hostile order.
    const int maxDepth = 3 * int(std::bit_width(unsigned(count)));
    constexpr int kParallelRange = 65536;
    if (threads < 2 || count < kParallelRange) {
        SortRange(entries, TRange{0, count - 1, 0}, maxDepth, compare);
        return entries;
    }
    // The first splits are made here, the largest range each time, until
    // there are ranges enough to keep the threads busy; each is then sorted
    // whole by whichever thread is free.
    std::vector<TRange> ranges{TRange{0, count - 1, 0}};
    const size_t wanted = size_t(threads) * 4;
    while (ranges.size() < wanted) {
        const auto largest =
            std::max_element(ranges.begin(), ranges.end(), [](const TRange &a, const TRange &b) {
                return a.R - a.L < b.R - b.L;
            });
        if (largest->R - largest->L + 1 < kParallelRange || largest->Depth > maxDepth)
            break;
        const auto [left, right] = Partition(entries, *largest, compare);
        *largest = left;
        ranges.push_back(right);
    }
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < ranges.size(); i = next++)
            SortRange(entries, ranges[i], maxDepth, compare);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread &t : helpers)
        t.join();
    return entries;
}
