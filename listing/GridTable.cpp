#include "listing/GridTable.h"

#include <algorithm>

namespace {
const QString kEmpty;
}

TGridTable::TGridTable(std::vector<TGridColumn> columns)
    : FColumns(std::move(columns))
{ }

void TGridTable::SetColumnVisible(int i, bool visible)
{
    if (i < 0 || i >= ColumnCount() || FColumns[size_t(i)].Visible == visible)
        return;
    FColumns[size_t(i)].Visible = visible;
    if (FObserver)
        FObserver->DisplayChanged();
}

int TGridTable::ColumnIndex(const QString &name) const
{
    for (int i = 0; i < ColumnCount(); ++i)
        if (FColumns[size_t(i)].Name == name)
            return i;
    return -1;
}

void TGridTable::SetRowCount(int count)
{
    if (count < 0)
        count = 0;
    if (count == FRowCount)
        return;
    const size_t cols = FColumns.size();
    if (count < FRowCount) {
        FCells.resize(size_t(count) * cols);
        FCells.shrink_to_fit();
    } else {
        FCells.resize(size_t(count) * cols);
    }
    FRowCount = count;
    Changed();
    if (count > 0 && FSelected >= count)
        RequestSelected(count - 1);
}

const QString &TGridTable::Cells(int col, int row) const
{
    if (col < 0 || col >= ColumnCount() || row < 0 || row >= FRowCount)
        return kEmpty;
    return FCells[size_t(row) * FColumns.size() + size_t(col)];
}

void TGridTable::SetCells(int col, int row, const QString &text)
{
    SetCells(col, row, QString(text));
}

void TGridTable::SetCells(int col, int row, QString &&text)
{
    if (col < 0 || col >= ColumnCount() || row < 0 || row >= FRowCount)
        return;
    FCells[size_t(row) * FColumns.size() + size_t(col)] = std::move(text);
    if (FUpdateCount > 0)
        FDirty = true;
    else if (FObserver)
        FObserver->CellChanged(col, row);
}

void TGridTable::RequestSelected(int row)
{
    if (row < 0)
        row = 0;
    if (row >= FRowCount)
        row = FRowCount - 1;
    if (row == FSelected)
        return;
    FSelected = row;
    if (FObserver)
        FObserver->SelectionMoved(row);
    if (OnSelChanged)
        OnSelChanged();
}

void TGridTable::SetDisplayFlag(bool &flag, bool on)
{
    if (flag == on)
        return;
    flag = on;
    if (FObserver)
        FObserver->DisplayChanged();
}

void TGridTable::SetShowHeader(bool on)
{
    SetDisplayFlag(FShowHeader, on);
}

void TGridTable::SetShowVertLines(bool on)
{
    SetDisplayFlag(FShowVertLines, on);
}

void TGridTable::SetShowHorzLines(bool on)
{
    SetDisplayFlag(FShowHorzLines, on);
}

void TGridTable::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0 && FDirty) {
        FDirty = false;
        if (FObserver)
            FObserver->GridReset();
    }
}

void TGridTable::PermuteRows(const std::vector<int> &order)
{
    const size_t rows = size_t(FRowCount);
    if (order.size() != rows)
        return;
    std::vector<bool> placed(rows, false);
    for (const int from : order) {
        if (from < 0 || size_t(from) >= rows || placed[size_t(from)])
            return;
        placed[size_t(from)] = true;
    }
    // In place, one cycle at a time: a copy of a big table would double its memory.
    const size_t cols = FColumns.size();
    const auto row = [&](size_t r) {
        return FCells.begin() + std::ptrdiff_t(r * cols);
    };
    std::vector<QString> held(cols);
    std::fill(placed.begin(), placed.end(), false);
    for (size_t start = 0; start < rows; ++start) {
        if (placed[start] || size_t(order[start]) == start)
            continue;
        std::move(row(start), row(start + 1), held.begin());
        size_t r = start;
        for (size_t from = size_t(order[r]); from != start; from = size_t(order[r])) {
            std::move(row(from), row(from + 1), row(r));
            placed[r] = true;
            r = from;
        }
        std::move(held.begin(), held.end(), row(r));
        placed[r] = true;
    }
    Changed();
}

void TGridTable::ReserveRows(int count)
{
    if (count > 0)
        FCells.reserve(size_t(count) * FColumns.size());
}

void TGridTable::Compact()
{
    // Reallocating copies every cell; a few spare rows are not worth it.
    if (FCells.capacity() - FCells.size() > FCells.size() / 16)
        FCells.shrink_to_fit();
}

void TGridTable::Changed()
{
    if (FUpdateCount > 0)
        FDirty = true;
    else if (FObserver)
        FObserver->GridReset();
}

void ClearGrid(TGridTable &grid)
{
    // One redraw for the emptied cells, not one per cell.
    grid.BeginUpdate();
    for (int c = 0; c < grid.ColumnCount(); ++c)
        for (int r = 0; r < grid.RowCount(); ++r)
            grid.SetCells(c, r, QString());
    grid.EndUpdate();
    grid.SetRowCount(1);
}
