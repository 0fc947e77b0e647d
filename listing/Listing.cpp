#include "listing/Listing.h"

#include "listing/DisplayTable.h"
#include "listing/GridColumns.h"

TListing::TListing()
    : sgFiles(FilesColumns())
    , sgDir(DirColumns())
    , sgFileList(FileListColumns())
{
    sgFiles.SetColumnVisible(fcPathHolder, false);
}

void TListing::Scan(const QString &folder, const TScanOptions &options)
{
    ScanFolder(folder, options, sgDir, sgFileList, sgFiles);
}

void TListing::Sort(int choice, bool descending)
{
    SortAndMerge(choice, sgDir, sgFileList, sgFiles, descending);
}

int TListing::SortChoice(const QString &sortHeader) const
{
    return int(SortChoices(sgFiles).indexOf(sortHeader));
}

QString TListing::CountText() const
{
    return CountLabelText(sgDir.RowCount(), sgFileList.RowCount());
}
