// A part of a tree listing as the export writers read a table, without a grid.
#pragma once

#include "listing/TableCells.h"
#include "listing/TreeListing.h"

#include <cstdint>
#include <vector>

// The texts of some rows of a tree listing, made once (on any thread) and
// read by a writer as the display table's cells would be: the same columns,
// headers and visibility as columns, the same texts. An empty part of an
// empty listing reads as the one empty row an empty display table keeps.
//
// A million rows go through parts like this one: its texts live in one buffer
// kept from part to part, and a cell is a view into it, so making and reading
// a cell allocates nothing.
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

    int RowCount() const override { return FEmptyRow ? 1 : int(FRows.size()); }
    int ColumnCount() const override { return FColumns.ColumnCount(); }
    const TGridColumn &Columns(int i) const override { return FColumns.Columns(i); }
    // Valid while the part is neither changed nor cleared.
    QString Cells(int col, int row) const override;

private:
    struct TSpan
    {
        uint32_t Offset = 0;
        uint32_t Length = 0;
    };
    struct TRowTexts
    {
        TSpan Path;
        TSpan FullPath;
        TSpan Name;
        uint32_t NameCellLength; // the name cell is the name's start
        uint32_t ExtensionLength; // the extension is the name's end
        TSpan Size;
        TSpan Modified;
    };

    char16_t *Reserve(size_t length); // room for length more, at FUsed
    TSpan Taken(size_t length); // the next length units, written through Reserve
    TSpan Append(QStringView text);
    TSpan AppendName(const char *bytes);
    QString View(TSpan span) const;

    const TTreeListing &FListing;
    const ITableCells &FColumns;
    bool FFullPaths;
    bool FEmptyRow = false;
    std::vector<TRowTexts> FRows;
    std::vector<char16_t> FText;
    size_t FUsed = 0; // of FText, which only grows
};
