// One folder listing: its three Grid tables, scanned and sorted.
#pragma once

#include "listing/FolderScan.h"
#include "listing/GridTable.h"

#include <QString>

// The three tables of one folder listing and the way from a folder to the
// display table: scan into the staging grids, then sort and merge into sgFiles.
// The window, cartola-list, the benchmarks and the tools all list through it,
// so they cannot drift apart.
class TListing
{
public:
    // The window's columns; the path-holder column of sgFiles is hidden.
    TListing();

    // Lists the folder into sgDir and sgFileList, emptying all three tables
    // first (ScanFolder). Errors end the scan with the rows written so far.
    void Scan(const QString &folder, const TScanOptions &options);
    // Sorts both staging grids by the sort choice (an index into SortChoices,
    // -1 for none), descending if asked, and rebuilds sgFiles from them.
    void Sort(int choice, bool descending = false);
    // The choice whose header is sortHeader; -1 when no visible column has it.
    int SortChoice(const QString &sortHeader) const;
    // Whether the last scan found a folder or file row.
    bool HasRows() const { return sgDir.RowCount() > 0 || sgFileList.RowCount() > 0; }
    // "Folders: N  Files: M" of the last scan.
    QString CountText() const;

    TGridTable sgFiles; // the display table
    TGridTable sgDir; // staging: one row per subfolder
    TGridTable sgFileList; // staging: one row per file
};
