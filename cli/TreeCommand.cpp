#include "cli/TreeCommand.h"

#include "cli/ListingCommand.h"
#include "cli/TerminalText.h"
#include "cli/TreeProgress.h"
#include "export/ExportFormat.h"
#include "export/TextFileOutput.h"
#include "listing/FolderScan.h"
#include "listing/Listing.h"
#include "listing/TreeListing.h"
#include "platform/LocaleServices.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <future>
#include <memory>
#include <thread>
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
        json.SizeText = FListing.SizeText(row, FCache);
        json.ModifiedText = FListing.ModifiedText(row, FCache);
    }

private:
    TTreeListing &FListing;
    TTreeListing::TTextCache FCache;
};

TExportOptions WriterOptions(const TCliOptions &o, const QString &folder)
{
    TExportOptions options;
    options.Headers = o.Headers;
    options.GridLines = o.GridLines;
    options.Heading = folder;
    options.ShowExtensions = o.ShowExtensions;
    options.Encoding = o.Encoding;
    return options;
}

// The display table a part at a time, so a big tree is never all text at
// once. Making a part's cells costs more than writing it: the next parts are
// made on the other cores meanwhile, and written in their order.
void WriteInParts(const TCliOptions &o,
    const QString &folder,
    TTreeListing &listing,
    const TGridTable &grid,
    QIODevice &out)
{
    std::unique_ptr<QFile> file;
    TExportTarget target{folder, &out};
    if (!o.OutputFile.isEmpty()) {
        file = OpenOutput(o.OutputFile);
        target = {o.OutputFile, file.get()};
    }
    TExportOptions options = WriterOptions(o, folder);

    struct TPart
    {
        TGridTable Cells;
        std::future<void> Made;
    };
    const size_t parts = std::max<size_t>(1, (listing.Count() + kChunkRows - 1) / kChunkRows);
    const size_t makers = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    // A part's cache is free again once the part made with it has been written.
    std::vector<TTreeListing::TTextCache> caches(makers);
    std::deque<TPart> ahead;
    size_t started = 0;
    const auto startNext = [&] {
        TPart &part = ahead.emplace_back(TPart{grid, {}});
        TTreeListing::TTextCache &cache = caches[started % makers];
        part.Made = std::async(std::launch::async, [&listing, &part, &cache, first = started * kChunkRows] {
            listing.FillDisplayTable(first, kChunkRows, part.Cells, false, cache);
        });
        ++started;
    };
    // Parts still being made are waited for, also when writing fails.
    struct TWaiter
    {
        std::deque<TPart> &Parts;
        ~TWaiter()
        {
            for (TPart &p : Parts)
                if (p.Made.valid())
                    p.Made.wait();
        }
    } waiter{ahead};
    while (started < parts && ahead.size() < makers)
        startNext();
    while (!ahead.empty()) {
        ahead.front().Made.get();
        ExportGrid(*o.Format, target, options, ahead.front().Cells);
        // The next parts continue the same text.
        options.Headers = false;
        options.Encoding = options.Encoding.WithoutByteOrderMark();
        ahead.pop_front();
        if (started < parts)
            startNext();
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
            WriterOptions(o, folder),
            rows);
    } else if (o.Format->WritesInParts) {
        WriteInParts(o, folder, listing, columns.sgFiles, out);
    } else {
        TTreeListing::TTextCache cache;
        listing.FillDisplayTable(0, listing.Count(), columns.sgFiles, !o.Format->WritesFile(), cache);
        WriteListing(o, columns.sgFiles, folder, out);
    }
    if (o.Count) {
        int folders = 0;
        for (size_t i = 0; i < listing.Count(); ++i)
            folders += listing.Row(i).IsFolder ? 1 : 0;
        PrintToStderr(CountLabelText(folders, int(listing.Count()) - folders) + QLatin1Char('\n'));
    }
    return progress.Failed() ? 1 : 0;
}
