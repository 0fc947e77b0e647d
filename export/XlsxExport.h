// The xlsx writer: a listing's rows as one worksheet of numbers, dates and texts.
#pragma once

#include "export/ExportFormat.h"

#include <QString>

#include <cstddef>

// The rows a worksheet holds, the header row included.
inline constexpr size_t kXlsxMaxRows = 1048576;

// The sheet's name for a listed folder: its last component, forbidden
// characters replaced, cut to the 31 characters a sheet name may hold.
QString XlsxSheetName(const QString &folder);

// Writes the rows as one worksheet named after options.Heading: Name, Path,
// Size (bytes, a number), Extension and Last modified (a date-time in the
// listing's local time), under a bold, frozen header row with an autofilter.
// The workbook is made beside fileName and put in its place when whole.
// When there are more rows than maxRows (header included) the first ones
// are written and an EError then says how many; failures raise EInOutError.
void ListingToXlsx(const QString &fileName,
    const TExportOptions &options,
    IListingRows &rows,
    size_t maxRows = kXlsxMaxRows);
