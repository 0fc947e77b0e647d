// The Grid table: columns, text cells, selection and display flags.
#pragma once

#include "listing/CellColumn.h"
#include "listing/TableCells.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

// Told of changes so a view can follow; data rules never depend on it.
class IGridObserver
{
public:
    virtual ~IGridObserver() = default;
    virtual void GridReset() = 0; // rows or many cells changed
    virtual void CellChanged(int col, int row) = 0;
    virtual void SelectionMoved(int row) = 0; // before OnSelChanged
    virtual void DisplayChanged() = 0; // header, grid lines, column visibility
};

// The data of one string grid: text cells under a fixed list of columns, a
// row count and a selected row. Cells outside the table read as empty text
// and ignore writes. Each column keeps its cells compactly (TCellColumn), so a
// read makes its text anew.
class TGridTable final : public ITableCells
{
public:
    explicit TGridTable(std::vector<TGridColumn> columns);

    int ColumnCount() const override { return int(FColumns.size()); }
    const TGridColumn &Columns(int i) const override { return FColumns[size_t(i)]; }
    void SetColumnVisible(int i, bool visible);
    int ColumnIndex(const QString &name) const; // -1 when there is none

    int RowCount() const override { return FRowCount; }
    void SetRowCount(int count);

    QString Cells(int col, int row) const override;
    void SetCells(int col, int row, const QString &text);
    // The same reads and writes without a text of their own: the view is valid
    // until the next write to the table or the next use of scratch.
    QStringView CellView(int col, int row, QString &scratch) const;
    void SetCellText(int col, int row, QStringView text);

    int Selected() const { return FSelected; }
    // The selection rule: clamp to the rows, then move and raise OnSelChanged on a real change.
    void RequestSelected(int row);
    std::function<void()> OnSelChanged;

    bool ShowHeader() const { return FShowHeader; }
    bool ShowVertLines() const { return FShowVertLines; }
    bool ShowHorzLines() const { return FShowHorzLines; }
    void SetShowHeader(bool on);
    void SetShowVertLines(bool on);
    void SetShowHorzLines(bool on);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }

    // Room for this many rows, so a table filled row by row is not copied as it grows.
    void ReserveRows(int count);
    // Gives back the room a growing table kept for more rows.
    void Compact();

    // Column col takes these cells whole, one per row; a column of another
    // size changes nothing. Lets a column be made apart, on another thread.
    void SetColumnCells(int col, TCellColumn cells);

    // Reorders whole rows: row r takes the cells of old row order[r]. Cells
    // are moved, not copied. An order that is not a permutation of the rows changes nothing.
    void PermuteRows(const std::vector<int> &order);

    void SetObserver(IGridObserver *observer) { FObserver = observer; }

private:
    void Changed();
    void SetDisplayFlag(bool &flag, bool on);

    std::vector<TGridColumn> FColumns;
    std::vector<TCellColumn> FData; // one per column
    int FRowCount = 0;
    int FSelected = 0;
    bool FShowHeader = true;
    bool FShowVertLines = true;
    bool FShowHorzLines = true;
    int FUpdateCount = 0;
    bool FDirty = false;
    IGridObserver *FObserver = nullptr;
};

// Empties every cell and leaves exactly one empty row.
void ClearGrid(TGridTable &grid);
