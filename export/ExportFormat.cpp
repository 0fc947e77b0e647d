#include "export/ExportFormat.h"

#include "export/uNativeXLSExport.h"
#include "export/uSGExports.h"

#include <iterator>

namespace {

void WriteDelimited(const TExportTarget &target, QChar delimiter, bool headers, const TGridTable &grid)
{
    if (target.Device)
        GridToDelimited(*target.Device, delimiter, headers, grid);
    else
        GridToDelimited(target.FileName, delimiter, headers, grid);
}

void WriteTabs(const TExportTarget &target, const TExportOptions &options, const TGridTable &grid)
{
    WriteDelimited(target, QLatin1Char('\t'), options.Headers, grid);
}

void WriteCommas(const TExportTarget &target, const TExportOptions &options, const TGridTable &grid)
{
    WriteDelimited(target, QLatin1Char(','), options.Headers, grid);
}

void WriteHTML(const TExportTarget &target, const TExportOptions &options, const TGridTable &grid)
{
    if (target.Device)
        GridToHTML(*target.Device, target.FileName, grid, options.Heading, options.Headers);
    else
        GridToHTML(target.FileName, grid, options.Heading, options.Headers);
}

void WriteXLS(const TExportTarget &target, const TExportOptions &options, const TGridTable &grid)
{
    if (target.Device)
        GridToXLS(*target.Device, options.Headers, options.GridLines, grid);
    else
        GridToXLS(target.FileName, options.Headers, options.GridLines, grid);
}

void WriteClipboard(const TExportTarget &, const TExportOptions &, const TGridTable &grid)
{
    GridToClipboard(grid);
}

// The texts are shown to users and read by the save dialog exactly as they
// stand, "Seperated" and the bare patterns "txt" and "xls" included.
constexpr TExportFormat kFormats[] = {
    {"text", "Text File", "Text File|*.txt|All Files|*", "txt", "BrambleTemp.txt", WriteTabs},
    {"html", "HTML", "HTML File|*.html|All Files|*", "html", "BrambleTemp.htm", WriteHTML},
    {"csv",
        "Comma-Separated File",
        "Comma-Seperated Text File|*.csv|All Files|*",
        "csv",
        "BrambleTemp.csv",
        WriteCommas},
    {"tsv",
        "Tab-Separated File",
        "Tab-Seperated Text File|txt|All Files|*",
        "txt",
        "BrambleTemp.txt",
        WriteTabs},
    {"clipboard", "Clipboard", nullptr, nullptr, nullptr, WriteClipboard},
    {"xls", "Excel Spreadsheet", "Excel Spreadsheet|xls|All Files|*", "xls", "BrambleTemp.xls", WriteXLS},
};

} // namespace

std::span<const TExportFormat> ExportFormats()
{
    return kFormats;
}

const TExportFormat *ExportFormatAt(int index)
{
    return index >= 0 && index < int(std::size(kFormats)) ? &kFormats[index] : nullptr;
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
    const TGridTable &grid)
{
    format.Writer(target, options, grid);
}
