// The folder scan into the staging grids, with its small helpers.
#pragma once

#include "fileutils/PathNames.h"
#include "listing/GridTable.h"
#include "listing/ScanProgress.h"

#include <QString>

#include <cstdint>

struct TScanOptions
{
    bool ShowFiles = true;
    bool ShowFolders = false;
    bool ShowExtensions = false;
    bool ShowHidden = false; // names beginning with "." too
    QString Mask = QStringLiteral("*.*");
    QChar DecimalSeparator = QLatin1Char('.');
    // Told how far a scan that has run for half a second has come, a few
    // times a second, on the calling thread.
    TScanProgressReport OnProgress;
    TScanClock Clock; // the steady clock when empty
};

// A mask that is empty or shorter than three characters becomes "*.*".
// Returns whether the mask changed.
bool CorrectMask(QString &mask);

// The last `width` characters of `width` fill characters followed by the value's digits.
QString PadLeft(int width, QChar fill, int64_t value);

// A date-time value in the general format with 15 significant digits, no exponent.
QString DaySerialText(double dateTime, QChar decimalSeparator);

// A file passes when the mask is "*.*", or when its extension is non-empty and
// occurs in the mask text, with case.
bool MaskAccepts(const QString &mask, const QString &extension);

// The checks of a file's full path text, in their order; throws the first that fails.
void CheckPathText(const QString &fullPath);

QString CountLabelText(int folders, int files);
// What the count label shows while a long scan runs: done of total entries,
// total -1 while the names are still being read.
QString ScanProgressText(int done, int total);

// Lists the folder P into the staging grids, emptied first together with the
// display table, and drops a staging grid's unused empty row when the scan
// completes. A folder that cannot be enumerated lists nothing. A failed path
// check ends the scan with its error, leaving the rows written so far.
void ScanFolder(const QString &folder,
    const TScanOptions &options,
    TGridTable &sgDir,
    TGridTable &sgFileList,
    TGridTable &sgFiles);
