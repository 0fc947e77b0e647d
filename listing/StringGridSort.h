// The sort of a Grid table by one column.
#pragma once

#include "listing/GridTable.h"
#include "platform/LocaleServices.h"

#include <algorithm>
#include <bit>
#include <numeric>
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
template <typename Compare> std::vector<int> QuickSortOrder(int count, Compare compare)
{
    std::vector<int> entries(size_t(count > 0 ? count : 0));
    std::iota(entries.begin(), entries.end(), 0);
    if (count < 2)
        return entries;
    // Random orders of a million names reach 2.4 log2(n); three times keeps
    // their order of equal keys and still bounds a hostile order.
    const int maxDepth = 3 * int(std::bit_width(unsigned(count)));
    // A short range costs little however badly it splits.
    constexpr int kShortRange = 16;
    struct TRange
    {
        int L, R, Depth;
    };
    std::vector<TRange> pending;
    pending.push_back({0, count - 1, 0});
    while (!pending.empty()) {
        auto [L, R, depth] = pending.back();
        pending.pop_back();
        int I = 0;
        do {
            if (depth > maxDepth && R - L + 1 > kShortRange) {
                const auto first = entries.begin() + L;
                const auto last = entries.begin() + R + 1;
                const auto less = [&](int a, int b) {
                    return compare(a, b) < 0;
                };
                std::make_heap(first, last, less);
                std::sort_heap(first, last, less);
                break;
            }
            ++depth;
            I = L;
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
            if (L < J)
                pending.push_back({L, J, depth});
            L = I;
        } while (I < R);
    }
    return entries;
}
