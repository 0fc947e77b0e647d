// A part of a tree listing as the export writers read a table, without a grid.
#pragma once

#include "listing/TableCells.h"
#include "listing/TreeListing.h"

#include <vector>

// The texts of some rows of a tree listing, made once (on any thread) and
// read by a writer as the display table's cells would be: the same columns,
// headers and visibility as columns, the same texts. An empty part of an
// empty listing reads as the one empty row an empty display table keeps.
class TTreeTableCells final : public ITableCells
{
public:
    TTreeTableCells(const TTreeListing &listing, const ITableCells &columns, bool fullPaths);

    // Makes the texts of the listing's rows from first, count of them.
    void Fill(size_t first, size_t count, TTreeListing::TTextCache &cache);
    // Adds one row that need not be the listing's (a walk hands rows out while it runs).
    void Add(const TTreeRow &row, const TTreeFolder &folder, TTreeListing::TTextCache &cache);
    // Empties the part; with emptyRow, it reads as an empty listing's table.
    void Clear(bool emptyRow = false);

    int RowCount() const override { return FEmptyRow ? 1 : int(FRows); }
    int ColumnCount() const override { return FColumns.ColumnCount(); }
    const TGridColumn &Columns(int i) const override { return FColumns.Columns(i); }
    QString Cells(int col, int row) const override;

private:
    const TTreeListing &FListing;
    const ITableCells &FColumns;
    bool FFullPaths;
    size_t FRows = 0;
    bool FEmptyRow = false;
    std::vector<QString> FTexts; // fcCount per row
};
