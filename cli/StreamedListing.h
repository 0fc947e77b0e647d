// A tree listing written while the walk runs, in the order folders are read.
#pragma once

#include "cli/CommandLine.h"
#include "listing/TreeListing.h"

#include <QStringList>

class QIODevice;
class TTreeProgress;
struct TJsonRow;

// The facts of one row as the data formats take them.
void FillJsonRow(const TTreeListing &listing,
    const TTreeRow &row,
    const TTreeFolder &folder,
    TJsonRow &json,
    TTreeListing::TTextCache &cache);

// Whether the rows can go out as they are found: unsorted, not reversed, no
// totals to wait for, and a format written in parts or json (html and the
// spreadsheets take the whole table at once).
bool CanStream(const TCliOptions &options);

// Walks the folders and writes each folder's rows as soon as the walk has
// them. Returns the folder rows and file rows written, for --count.
std::pair<int64_t, int64_t> RunStreamedListing(const TCliOptions &options,
    const QStringList &folders,
    const QString &heading,
    TTreeWalk &walk,
    TTreeProgress &progress,
    QIODevice &out);
