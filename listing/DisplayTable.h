// The sort choices and the display table built from the staging grids.
#pragma once

#include "listing/GridTable.h"
#include "platform/LocaleServices.h"

#include <QStringList>

// The sort choices and the display table built from the two staging grids.

// The staging column each sort choice sorts by; -1 when the choice sorts nothing.
int FileListSortColumn(int choice);
int DirSortColumn(int choice);

// Sorts both staging grids in place by the choice's columns. Descending
// reverses the ascending order of each grid the choice sorts.
void SortStagingGrids(int choice, TGridTable &sgDir, TGridTable &sgFileList, bool descending = false);

// Empties sgFiles and refills it: folder rows first, then file rows, sizes and
// dates as display text, every other cell as it is. A "Last modified" cell that
// is not a number ends the fill with its error; the cells written before stay.
void MergeIntoDisplayTable(const TGridTable &sgDir, const TGridTable &sgFileList, TGridTable &sgFiles);

// A change of sort choice: sort both staging grids, then rebuild sgFiles.
void SortAndMerge(
    int choice, TGridTable &sgDir, TGridTable &sgFileList, TGridTable &sgFiles, bool descending = false);

// The headers of sgFiles' visible columns, in column order; the first is the
// current choice after a rebuild. Empty when sgFiles has no columns, in which
// case the list shown is left as it is.
QStringList SortChoices(const TGridTable &sgFiles);

// The listing's text for a staging size ("000000000001234" gives "1.20 KB");
// empty when the text is not a whole number.
QString SizeDisplayText(const QString &stagingSize);
// The listing's text for a staging day serial; throws the floating point
// value error when the text is not a number.
QString LastModifiedDisplayText(const QString &daySerial);
// The same with the separator and the date texts of a whole listing.
QString LastModifiedDisplayText(const QString &daySerial, QChar separator, TDateTimeTexts &texts);
// The listing's text for a time in Unix milliseconds, shown at a local offset:
// the text of its 15-digit day serial, LastModifiedDisplayText(DaySerialText(
// UnixMillisecondsToDateTime(unixMs, offsetSeconds))), made without the digits
// where they are known to give back the same millisecond.
QString LastModifiedDisplayText(int64_t unixMs, int offsetSeconds, QChar separator, TDateTimeTexts &texts);
