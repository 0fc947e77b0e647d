#include "export/ExportFormat.h"

#include "export/OutputSink.h"
#include "export/TextFileOutput.h"
#include "export/XlsxExport.h"
#include "export/uNativeXLSExport.h"
#include "export/uSGExports.h"
#include "platform/Errors.h"

#include <cstdlib>
#include <iterator>
#include <memory>

namespace {

void WriteDelimited(
    const TExportTarget &target, QChar delimiter, const TExportOptions &options, const ITableCells &grid)
{
    if (target.Device)
        GridToDelimited(*target.Device, delimiter, options.Headers, grid, options.Encoding);
    else
        GridToDelimited(target.FileName, delimiter, options.Headers, grid, options.Encoding);
}

void WriteTabs(const TExportTarget &target, const TExportOptions &options, const ITableCells &grid)
{
    WriteDelimited(target, QLatin1Char('\t'), options, grid);
}

void WriteCommas(const TExportTarget &target, const TExportOptions &options, const ITableCells &grid)
{
    WriteDelimited(target, QLatin1Char(','), options, grid);
}

void WriteHTML(const TExportTarget &target, const TExportOptions &options, const ITableCells &grid)
{
    if (target.Device)
        GridToHTML(*target.Device, target.FileName, grid, options.Heading, options.Headers, options.Encoding);
    else
        GridToHTML(target.FileName, grid, options.Heading, options.Headers, options.Encoding);
}

void WriteXLS(const TExportTarget &target, const TExportOptions &options, const ITableCells &grid)
{
    if (target.Device)
        GridToXLS(*target.Device, options.Headers, options.GridLines, grid, options.Encoding);
    else
        GridToXLS(target.FileName, options.Headers, options.GridLines, grid, options.Encoding);
}

void WriteClipboard(const TExportTarget &, const TExportOptions &, const ITableCells &grid)
{
    GridToClipboard(grid);
}

void WriteJson(const TExportTarget &target, IListingRows &rows, bool lines)
{
    std::unique_ptr<TOutputSink> sink;
    if (target.Device)
        sink = std::make_unique<TOutputSink>(*target.Device);
    else
        sink = std::make_unique<TOutputSink>(OpenTextFile(target.FileName), target.FileName);
    TJsonListingWriter writer(*sink, lines);
    TJsonRow row;
    for (size_t i = 0; i < rows.Count(); ++i) {
        rows.Row(i, row);
        writer.Write(row);
    }
    writer.Finish();
    sink->Close();
}

void WriteJsonArray(const TExportTarget &target, const TExportOptions &, IListingRows &rows)
{
    WriteJson(target, rows, false);
}

void WriteJsonLines(const TExportTarget &target, const TExportOptions &, IListingRows &rows)
{
    WriteJson(target, rows, true);
}

// Tests lower the workbook's row bound through the environment, so that its
// cut is seen without a million rows.
size_t XlsxRowBound()
{
    const char *bound = std::getenv("CARTOLA_XLSX_MAX_ROWS");
    const unsigned long long value = bound ? std::strtoull(bound, nullptr, 10) : 0;
    return value > 0 && value < kXlsxMaxRows ? size_t(value) : kXlsxMaxRows;
}

void WriteXlsx(const TExportTarget &target, const TExportOptions &options, IListingRows &rows)
{
    // A zip is finished at its end; it cannot stream to a pipe.
    if (target.Device)
        throw EError(QStringLiteral("The xlsx format needs -o FILE"));
    ListingToXlsx(target.FileName, options, rows, XlsxRowBound());
}

// The texts are shown to users and read by the save dialog exactly as they
// stand, "Seperated" and the bare patterns "txt" and "xls" included.
constexpr TExportFormat kFormats[] = {
    {"text", "Text File", "Text File|*.txt|All Files|*", "txt", "BrambleTemp.txt", WriteTabs, nullptr, true},
    {"html", "HTML", "HTML File|*.html|All Files|*", "html", "BrambleTemp.htm", WriteHTML},
    {"csv",
        "Comma-Separated File",
        "Comma-Seperated Text File|*.csv|All Files|*",
        "csv",
        "BrambleTemp.csv",
        WriteCommas,
        nullptr,
        true},
    {"tsv",
        "Tab-Separated File",
        "Tab-Seperated Text File|txt|All Files|*",
        "txt",
        "BrambleTemp.txt",
        WriteTabs,
        nullptr,
        true},
    {"clipboard", "Clipboard", nullptr, nullptr, nullptr, WriteClipboard},
    {"xls", "Excel Spreadsheet", "Excel Spreadsheet|xls|All Files|*", "xls", "BrambleTemp.xls", WriteXLS},
    {"json", nullptr, nullptr, nullptr, nullptr, nullptr, WriteJsonArray},
    {"jsonl", nullptr, nullptr, nullptr, nullptr, nullptr, WriteJsonLines},
    {"xlsx", nullptr, nullptr, nullptr, nullptr, nullptr, WriteXlsx},
};

// The window lists these first ones.
constexpr int kWindowFormats = 6;

} // namespace

std::span<const TExportFormat> ExportFormats()
{
    return std::span<const TExportFormat>(kFormats, kWindowFormats);
}

const TExportFormat *ExportFormatAt(int index)
{
    return index >= 0 && index < kWindowFormats ? &kFormats[index] : nullptr;
}

const TExportFormat *FindExportFormat(const QString &name)
{
    for (const TExportFormat &format : kFormats)
        if (name == QLatin1String(format.Name))
            return &format;
    return nullptr;
}

void ExportGrid(const TExportFormat &format,
    const TExportTarget &target,
    const TExportOptions &options,
    const ITableCells &grid)
{
    if (!format.Writer)
        throw EError(QStringLiteral("The %1 format writes a listing's rows, not a table")
                         .arg(QLatin1String(format.Name)));
    format.Writer(target, options, grid);
}

void ExportRows(const TExportFormat &format,
    const TExportTarget &target,
    const TExportOptions &options,
    IListingRows &rows)
{
    if (!format.RowsWriter)
        throw EError(
            QStringLiteral("The %1 format writes a table, not rows").arg(QLatin1String(format.Name)));
    format.RowsWriter(target, options, rows);
}
