#include "listing/GridTable.h"

#include <algorithm>

TGridTable::TGridTable(std::vector<TGridColumn> columns)
    : FColumns(std::move(columns))
    , FData(FColumns.size())
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
    for (TCellColumn &column : FData)
        column.Resize(size_t(count));
    FRowCount = count;
    Changed();
    if (count > 0 && FSelected >= count)
        RequestSelected(count - 1);
}

QString TGridTable::Cells(int col, int row) const
{
    if (col < 0 || col >= ColumnCount() || row < 0 || row >= FRowCount)
        return QString();
    return FData[size_t(col)].Text(size_t(row));
}

QStringView TGridTable::CellView(int col, int row, QString &scratch) const
{
    if (col < 0 || col >= ColumnCount() || row < 0 || row >= FRowCount)
        return QStringView();
    return FData[size_t(col)].View(size_t(row), scratch);
}

void TGridTable::SetCells(int col, int row, const QString &text)
{
    SetCellText(col, row, QStringView(text));
}

void TGridTable::SetCellText(int col, int row, QStringView text)
{
    if (col < 0 || col >= ColumnCount() || row < 0 || row >= FRowCount)
        return;
    FData[size_t(col)].SetText(size_t(row), text);
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
    for (TCellColumn &column : FData)
        column.Permute(order);
    Changed();
}

void TGridTable::SetColumnCells(int col, TCellColumn cells)
{
    if (col < 0 || col >= ColumnCount() || cells.Size() != size_t(FRowCount))
        return;
    FData[size_t(col)] = std::move(cells);
    Changed();
}

void TGridTable::ReserveRows(int count)
{
    if (count > 0)
        for (TCellColumn &column : FData)
            column.Reserve(size_t(count));
}

void TGridTable::Compact()
{
    for (TCellColumn &column : FData)
        column.Compact();
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
    // The columns are dropped whole: emptied cell by cell, a big column
    // would move its remaining text again and again. One redraw for it all.
    grid.BeginUpdate();
    grid.SetRowCount(0);
    grid.EndUpdate();
    grid.SetRowCount(1);
}
