#include "listing/StringGridSort.h"

#include "listing/SortKeys.h"

namespace {

// Collation keys reproduce the collator's verdict except where the collator
// answers without collating: an empty text is below every other text, even one
// made only of ignorable characters. Qt's C locale keys are not case-blind.
bool SortKeysMatchCollator(const QCollator &collator)
{
    return collator.locale().language() != QLocale::C;
}

} // namespace

std::vector<int> StringSortOrder(
    const std::vector<QString> &keys, const TTextComparer &comparer, TSortCompareMode mode)
{
    const int count = int(keys.size());
    if (mode == TSortCompareMode::scmSortKeys && SortKeysMatchCollator(comparer.Collator())) {
        const std::vector<uint32_t> ranks = SortKeyRanks(keys, comparer.Collator());
        return QuickSortOrder(count, [&ranks](int a, int b) {
            const uint32_t ra = ranks[size_t(a)];
            const uint32_t rb = ranks[size_t(b)];
            return ra < rb ? -1 : (ra > rb ? 1 : 0);
        });
    }
    return QuickSortOrder(count, [&](int a, int b) {
        return comparer.Compare(keys[size_t(a)], keys[size_t(b)]);
    });
}

void StringGridSort(TGridTable &StrGrid, int SortColumn, const TTextComparer &comparer, TSortCompareMode mode)
{
    const int count = StrGrid.RowCount();
    if (count < 2)
        return;
    std::vector<QString> keys;
    keys.reserve(size_t(count));
    for (int r = 0; r < count; ++r)
        keys.push_back(StrGrid.Cells(SortColumn, r));
    const std::vector<int> order = StringSortOrder(keys, comparer, mode);
    keys.clear();
    // Each row lands where its entry did; the key column moves with the rest.
    StrGrid.BeginUpdate();
    StrGrid.PermuteRows(order);
    StrGrid.EndUpdate();
}

void StringGridSort(TGridTable &StrGrid, int SortColumn, const TTextComparer &comparer)
{
    StringGridSort(StrGrid, SortColumn, comparer, TSortCompareMode::scmSortKeys);
}

void StringGridSort(TGridTable &StrGrid, int SortColumn)
{
    // One collator for the whole sort.
    const TTextComparer comparer(UserLocale());
    StringGridSort(StrGrid, SortColumn, comparer);
}
