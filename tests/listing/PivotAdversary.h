// An input that drives a quicksort to its worst case, for the sort tests.
#pragma once

#include <vector>

// McIlroy's adversary for a quicksort: values are fixed only when a
// comparison needs them, and the entry that looks like the pivot is made the
// smallest value left, so every partition splits off almost nothing. The
// values it leaves are an input on which the same sort asks the same questions.
class TPivotAdversary
{
public:
    explicit TPivotAdversary(int count)
        : FValues(size_t(count), count)
        , FGas(count)
    { }

    int Compare(int a, int b)
    {
        ++FComparisons;
        if (IsGas(a) && IsGas(b))
            Freeze(a == FCandidate ? a : b);
        if (IsGas(a))
            FCandidate = a;
        else if (IsGas(b))
            FCandidate = b;
        const int va = FValues[size_t(a)], vb = FValues[size_t(b)];
        return va < vb ? -1 : (va > vb ? 1 : 0);
    }

    // Entry i's value; entries never fixed share the largest.
    const std::vector<int> &Values() const { return FValues; }
    long long Comparisons() const { return FComparisons; }

private:
    bool IsGas(int i) const { return FValues[size_t(i)] == FGas; }
    void Freeze(int i) { FValues[size_t(i)] = FSolid++; }

    std::vector<int> FValues;
    int FGas;
    int FSolid = 0;
    int FCandidate = 0;
    long long FComparisons = 0;
};
