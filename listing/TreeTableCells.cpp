#include "listing/TreeTableCells.h"

#include "fileutils/PathNames.h"
#include "listing/GridColumns.h"

TTreeTableCells::TTreeTableCells(const TTreeListing &listing, const ITableCells &columns, bool fullPaths)
    : FListing(listing)
    , FColumns(columns)
    , FFullPaths(fullPaths)
{ }

void TTreeTableCells::Fill(size_t first, size_t count, TTreeListing::TTextCache &cache)
{
    Clear(FListing.Count() == 0);
    if (FListing.Count() == 0)
        return;
    count = std::min(count, FListing.Count() - std::min(first, FListing.Count()));
    FTexts.reserve(count * fcCount);
    for (size_t i = 0; i < count; ++i) {
        const TTreeRow &row = FListing.Row(first + i);
        Add(row, FListing.FolderOf(row), cache);
    }
}

void TTreeTableCells::Add(const TTreeRow &row, const TTreeFolder &folder, TTreeListing::TTextCache &cache)
{
    // The texts the display table's cells would hold, in column order.
    const QString name = FListing.Name(row);
    FTexts.push_back(FFullPaths ? folder.Path + name : QString());
    FTexts.push_back(FListing.NameCell(row, name));
    FTexts.push_back(folder.Path);
    FTexts.push_back(FListing.SizeText(row, cache));
    FTexts.push_back(row.IsFolder ? QString() : ExtractExtension(name));
    FTexts.push_back(FListing.ModifiedText(row, cache));
    ++FRows;
    FEmptyRow = false;
}

void TTreeTableCells::Clear(bool emptyRow)
{
    FTexts.clear();
    FRows = 0;
    FEmptyRow = emptyRow;
}

QString TTreeTableCells::Cells(int col, int row) const
{
    if (col < 0 || col >= fcCount || row < 0 || size_t(row) >= FRows)
        return QString();
    return FTexts[size_t(row) * fcCount + size_t(col)];
}
