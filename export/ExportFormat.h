// The table of export formats and the one call that runs a format's writer.
#pragma once

#include "export/JsonListing.h"
#include "listing/GridTable.h"
#include "platform/AnsiCodePage.h"

#include <QString>

#include <memory>
#include <span>

class QIODevice;

// The export formats in one table: how the window and cartola-list name
// them, what the save dialog and the preview use, and which writer runs. The
// window offers the first six; json, jsonl and xlsx are cartola-list's, for
// programs and spreadsheets.

// What a writer is told; each takes the parts it knows.
struct TExportOptions
{
    bool Headers = true;
    bool GridLines = true; // XLS cell borders
    QString Heading; // the HTML page's H1; the listed folder
    bool ShowExtensions = false; // names with their extensions (the rows' names are whole)
    // The text formats' bytes; json, jsonl, xlsx and the clipboard stay Unicode.
    TTextEncoding Encoding = AnsiEncoding();
};

// Where an export goes. FileName names the output (the HTML page's title is
// its last component); the bytes go to Device when there is one, else into
// that file. The clipboard format takes neither.
struct TExportTarget
{
    QString FileName;
    QIODevice *Device = nullptr;
};

using TExportWriter = void (*)(const TExportTarget &, const TExportOptions &, const ITableCells &);

// A listing's rows as data (sizes in bytes, times as times, names' own bytes),
// handed out one at a time so no format needs them all as text at once.
class IListingRows
{
public:
    virtual ~IListingRows() = default;
    virtual size_t Count() const = 0;
    virtual void Row(size_t index, TJsonRow &row) = 0;
    // Another reader of the same rows, for another thread; null when the
    // rows are read from one thread only.
    virtual std::unique_ptr<IListingRows> Reader() const { return nullptr; }
};

using TRowsWriter = void (*)(const TExportTarget &, const TExportOptions &, IListingRows &);

struct TExportFormat
{
    const char *Name; // cartola-list's --format
    const char *Caption; // the window's export type entry
    const char *Filter; // save dialog: description|pattern pairs
    const char *DefaultExt; // save dialog
    const char *PreviewFile; // in the user's temporary folder
    TExportWriter Writer; // null for the formats that take rows as data
    TRowsWriter RowsWriter = nullptr;
    // The writer may be called again on the next rows, without headers, and
    // the bytes are those of one call on all rows.
    bool WritesInParts = false;

    // Every format but the clipboard writes a file (the window's also have the four texts above).
    bool WritesFile() const { return PreviewFile != nullptr || RowsWriter != nullptr; }
};

// The window's, in the order of its list: a format's index is its export type.
std::span<const TExportFormat> ExportFormats();
// The format of an export type, null for an index without one.
const TExportFormat *ExportFormatAt(int index);
// The format of a --format name, null for an unknown name.
const TExportFormat *FindExportFormat(const QString &name);

// Runs a format's writer that takes rows as data; its errors pass unchanged.
void ExportRows(const TExportFormat &format,
    const TExportTarget &target,
    const TExportOptions &options,
    IListingRows &rows);

// Runs the format's writer; its errors pass unchanged.
void ExportGrid(const TExportFormat &format,
    const TExportTarget &target,
    const TExportOptions &options,
    const ITableCells &grid);
