#include "cli/TreeCommand.h"

#include "cli/ListingCommand.h"
#include "cli/TreeProgress.h"
#include "export/JsonListing.h"
#include "export/OutputSink.h"
#include "export/TextFileOutput.h"
#include "export/uSGExports.h"
#include "listing/FolderScan.h"
#include "listing/Listing.h"
#include "listing/TreeListing.h"
#include "platform/LocaleServices.h"

#include <QFile>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// Rows made into cells at a time for the delimited writers, which stream.
constexpr size_t kChunkRows = 16384;

bool IsJson(TCliFormat format)
{
    return format == TCliFormat::cfJSON || format == TCliFormat::cfJSONL;
}

bool IsDelimited(TCliFormat format)
{
    return format == TCliFormat::cfText || format == TCliFormat::cfTSV || format == TCliFormat::cfCSV;
}

// The output file as the writers open it, as a device to write in parts.
std::unique_ptr<QFile> OpenOutput(const QString &fileName)
{
    const int fd = OpenTextFile(fileName);
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw EInOutError(5, fileName);
    }
    return file;
}

void WriteJson(const TCliOptions &o, TTreeListing &listing, QIODevice &out)
{
    std::unique_ptr<TOutputSink> sink;
    if (o.OutputFile.isEmpty())
        sink = std::make_unique<TOutputSink>(out);
    else
        sink = std::make_unique<TOutputSink>(OpenTextFile(o.OutputFile), o.OutputFile);
    TJsonListingWriter writer(*sink, o.Format == TCliFormat::cfJSONL);
    TJsonRow json;
    json.OffsetSeconds = listing.OffsetSeconds();
    for (size_t i = 0; i < listing.Count(); ++i) {
        const TTreeRow &row = listing.Row(i);
        const TTreeFolder &folder = listing.FolderOf(row);
        json.NameBytes = QByteArray::fromRawData(row.Name, qsizetype(std::strlen(row.Name)));
        json.Name = listing.Name(row);
        json.PathBytes = folder.Bytes;
        json.Path = folder.Path;
        json.Extension = row.IsFolder ? QString() : ExtractExtension(json.Name);
        json.IsFolder = row.IsFolder;
        json.Size = row.Size;
        json.HasModified = row.Exists;
        json.ModifiedMs = row.ModifiedMs;
        json.SizeText = listing.SizeText(row);
        json.ModifiedText = listing.ModifiedText(row);
        writer.Write(json);
    }
    writer.Finish();
    sink->Close();
}

void WriteDelimitedParts(const TCliOptions &o, TTreeListing &listing, TGridTable &grid, QIODevice &out)
{
    std::unique_ptr<QFile> file;
    QIODevice *device = &out;
    if (!o.OutputFile.isEmpty()) {
        file = OpenOutput(o.OutputFile);
        device = file.get();
    }
    const QChar delimiter = o.Format == TCliFormat::cfCSV ? QLatin1Char(',') : QLatin1Char('\t');
    size_t first = 0;
    do {
        listing.FillDisplayTable(first, kChunkRows, grid);
        GridToDelimited(*device, delimiter, o.Headers && first == 0, grid);
        first += kChunkRows;
    } while (first < listing.Count());
}

} // namespace

bool UsesTreeListing(const TCliOptions &o)
{
    return o.Recursive || IsJson(o.Format) || o.Limit >= 0 || o.Reverse;
}

int RunTreeListing(const TCliOptions &o, const QString &folder, QIODevice &out)
{
    TTreeOptions options;
    QString mask = o.Mask;
    CorrectMask(mask);
    options.Scan.ShowFiles = o.ShowFiles;
    options.Scan.ShowFolders = o.ShowFolders;
    options.Scan.ShowExtensions = o.ShowExtensions;
    options.Scan.Mask = mask;
    options.Scan.DecimalSeparator = DecimalSeparator();
    options.MaxDepth = o.Recursive ? o.MaxDepth : 1;
    options.OneFileSystem = o.OneFileSystem;

    TTreeWalk walk(options);
    TTreeProgress progress(walk, isatty(STDERR_FILENO) == 1);
    walk.Run(folder, [&progress](const QString &path, const QString &message) {
        progress.Error(path, message);
    });
    progress.Stop();

    // The display table's columns, for the sort choices and the writers.
    TListing columns;
    columns.sgFiles.SetShowHeader(o.Headers);
    columns.sgFiles.SetShowVertLines(o.GridLines);
    columns.sgFiles.SetShowHorzLines(o.GridLines);
    TTreeListing listing(walk);
    if (!walk.Rows().empty())
        listing.Sort(columns.SortChoice(o.SortHeader));
    if (o.Reverse)
        listing.Reverse();
    if (o.Limit >= 0)
        listing.Limit(o.Limit);

    if (IsJson(o.Format)) {
        WriteJson(o, listing, out);
    } else if (IsDelimited(o.Format)) {
        WriteDelimitedParts(o, listing, columns.sgFiles, out);
    } else {
        listing.FillDisplayTable(0, listing.Count(), columns.sgFiles);
        WriteListing(o, columns.sgFiles, folder, out);
    }
    if (o.Count) {
        int folders = 0;
        for (size_t i = 0; i < listing.Count(); ++i)
            folders += listing.Row(i).IsFolder ? 1 : 0;
        const QByteArray count = CountLabelText(folders, int(listing.Count()) - folders).toLocal8Bit() + '\n';
        std::fputs(count.constData(), stderr);
    }
    return progress.Failed() ? 1 : 0;
}
