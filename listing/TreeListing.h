// The rows of a walked folder tree as one sorted listing.
#pragma once

#include "listing/GridTable.h"
#include "listing/TreeWalk.h"
#include "platform/LocaleServices.h"

#include <QString>

#include <cstdint>
#include <vector>

// The rows of a walked tree as one listing: sorted over the whole tree, folders
// before files, by the same sort choices and with the same cell texts as the
// display table of one folder. Cells are made only for the rows written, so
// a big tree is never held as text.
class TTreeListing
{
public:
    explicit TTreeListing(const TTreeWalk &walk);

    // Sorts by the choice (an index into the sort choices; -1 leaves the order
    // of the walk). Each group takes the quicksort of one folder's listing;
    // keys that compare equal in different folders go by their folders' paths,
    // and "Path" orders by the folder's path, then by name.
    void Sort(int choice);
    void Reverse();
    // Keeps the first count rows.
    void Limit(int64_t count);

    size_t Count() const { return FOrder.size(); }
    const TTreeRow &Row(size_t position) const { return FWalk.Rows()[FOrder[position]]; }
    const TTreeFolder &FolderOf(const TTreeRow &row) const { return FWalk.Folder(row.Folder); }
    // For rows read in order up to end: fetches the rows after position,
    // their names and folders, before they are read.
    void Prefetch(size_t position, size_t end) const;

    // Texts made before that are likely to come again: sizes and dates
    // repeat in a big tree. One per thread that makes cell texts.
    class TTextCache
    {
    public:
        TTextCache();

    private:
        friend class TTreeListing;
        TDateTimeTexts FDates;
        QChar FSizeSeparator;
        // Slots by value: the text of the value last met there.
        struct TText
        {
            int64_t Value = 0;
            QString Text;
        };
        std::vector<TText> FSizes;
        std::vector<TText>
            FModified; // a file's Unix milliseconds; files unpacked or checked out together share them
    };

    // The texts of the display table's cells.
    QString Name(const TTreeRow &row) const; // the whole name
    QString NameCell(const TTreeRow &row) const; // without its extension unless extensions are shown
    QString NameCell(const TTreeRow &row, const QString &name) const;
    QString SizeText(const TTreeRow &row, TTextCache &cache) const;
    QString ModifiedText(const TTreeRow &row, TTextCache &cache) const;
    int OffsetSeconds() const { return FWalk.OffsetSeconds(); }
    bool ShowsExtensions() const { return FWalk.Options().Scan.ShowExtensions; }

    // Makes sgFiles hold the rows from first, count of them, as the display
    // table holds one folder's; with no rows at all, the one empty row it
    // keeps after an empty scan. The hidden full paths only when asked: only
    // the clipboard shows them. Parts may be filled on several threads at
    // once, each with a cache of its own.
    void FillDisplayTable(
        size_t first, size_t count, TGridTable &sgFiles, bool fullPaths, TTextCache &cache) const;
    // One row's cells into row r of sgFiles; the row need not be one of the
    // listing's (a walk hands rows out while it runs).
    void SetRowCells(TGridTable &sgFiles,
        int r,
        const TTreeRow &row,
        const TTreeFolder &folder,
        bool fullPaths,
        TTextCache &cache) const;

private:
    std::vector<uint32_t> SortGroup(
        std::vector<uint32_t> group, int choice, bool folders, const std::vector<uint32_t> &rank) const;
    std::vector<uint32_t> FolderRanks() const;

    const TTreeWalk &FWalk;
    std::vector<uint32_t> FOrder; // indexes into the walk's rows
    QChar FSeparator;
};

// The day serial a row's date shows, read back as the display table reads it.
double ShownDateTime(const TTreeRow &row, int offsetSeconds, QChar separator);
