// The sort of a Grid table by one column.
#pragma once

#include "listing/GridTable.h"
#include "platform/LocaleServices.h"

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
template <typename Compare> std::vector<int> QuickSortOrder(int count, Compare compare)
{
    std::vector<int> entries(size_t(count > 0 ? count : 0));
    std::iota(entries.begin(), entries.end(), 0);
    if (count < 2)
        return entries;
    std::vector<std::pair<int, int>> pending;
    pending.emplace_back(0, count - 1);
    while (!pending.empty()) {
        auto [L, R] = pending.back();
        pending.pop_back();
        int I = 0;
        do {
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
                pending.emplace_back(L, J);
            L = I;
        } while (I < R);
    }
    return entries;
}
