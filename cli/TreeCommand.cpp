#include "cli/TreeCommand.h"

#include "cli/ListingCommand.h"
#include "cli/TreeProgress.h"
#include "export/ExportFormat.h"
#include "export/TextFileOutput.h"
#include "listing/FolderScan.h"
#include "listing/Listing.h"
#include "listing/TreeListing.h"
#include "platform/LocaleServices.h"

#include <QFile>

#include <cstdio>
#include <future>
#include <memory>
#include <unistd.h>

namespace {

// Rows made into cells at a time for the delimited writers, which stream.
constexpr size_t kChunkRows = 16384;

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

// The tree's rows as the data formats take them.
class TTreeRows : public IListingRows
{
public:
    explicit TTreeRows(TTreeListing &listing)
        : FListing(listing)
    { }
    size_t Count() const override { return FListing.Count(); }
    void Row(size_t index, TJsonRow &json) override
    {
        const TTreeRow &row = FListing.Row(index);
        const TTreeFolder &folder = FListing.FolderOf(row);
        json.NameBytes = QByteArray(row.Name);
        json.Name = FListing.Name(row);
        json.PathBytes = folder.Bytes;
        json.Path = folder.Path;
        json.Extension = row.IsFolder ? QString() : ExtractExtension(json.Name);
        json.IsFolder = row.IsFolder;
        json.Size = row.Size;
        json.HasModified = row.Exists;
        json.ModifiedMs = row.ModifiedMs;
        json.OffsetSeconds = FListing.OffsetSeconds();
        json.SizeText = FListing.SizeText(row);
        json.ModifiedText = FListing.ModifiedText(row);
    }

private:
    TTreeListing &FListing;
};

TExportOptions WriterOptions(const TCliOptions &o, const QString &folder)
{
    TExportOptions options;
    options.Headers = o.Headers;
    options.GridLines = o.GridLines;
    options.Heading = folder;
    return options;
}

// The display table a part at a time, so a big tree is never all text at once.
void WriteInParts(
    const TCliOptions &o, const QString &folder, TTreeListing &listing, TGridTable &grid, QIODevice &out)
{
    std::unique_ptr<QFile> file;
    TExportTarget target{folder, &out};
    if (!o.OutputFile.isEmpty()) {
        file = OpenOutput(o.OutputFile);
        target = {o.OutputFile, file.get()};
    }
    TExportOptions options = WriterOptions(o, folder);
    // The next part's cells are made while this part is written.
    TGridTable next = grid;
    TGridTable *filled = &grid;
    TGridTable *filling = &next;
    listing.FillDisplayTable(0, kChunkRows, *filled, false);
    for (size_t first = 0;;) {
        const size_t following = first + kChunkRows;
        std::future<void> fill;
        if (following < listing.Count())
            fill = std::async(std::launch::async, [&listing, following, filling] {
                listing.FillDisplayTable(following, kChunkRows, *filling, false);
            });
        ExportGrid(*o.Format, target, options, *filled);
        options.Headers = false;
        if (!fill.valid())
            break;
        fill.get();
        std::swap(filled, filling);
        first = following;
    }
}

} // namespace

bool UsesTreeListing(const TCliOptions &o)
{
    return o.Recursive || o.Format->RowsWriter || o.Limit >= 0 || o.Reverse;
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

    if (o.Format->RowsWriter) {
        TTreeRows rows(listing);
        ExportRows(*o.Format,
            o.OutputFile.isEmpty() ? TExportTarget{folder, &out} : TExportTarget{o.OutputFile, nullptr},
            rows);
    } else if (o.Format->WritesInParts) {
        WriteInParts(o, folder, listing, columns.sgFiles, out);
    } else {
        listing.FillDisplayTable(0, listing.Count(), columns.sgFiles, !o.Format->WritesFile());
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
