#include "cli/TreeCommand.h"

#include "cli/ListingCommand.h"
#include "cli/StreamedListing.h"
#include "cli/TerminalText.h"
#include "cli/TreeProgress.h"
#include "export/ExportFormat.h"
#include "export/OutputSink.h"
#include "export/TextFileOutput.h"
#include "listing/FolderScan.h"
#include "listing/Listing.h"
#include "listing/TreeListing.h"
#include "listing/TreeTableCells.h"
#include "platform/LocaleServices.h"
#include "platform/PartsInOrder.h"

#include <QBuffer>
#include <QFile>

#include <algorithm>
#include <cstdio>
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
        FListing.Prefetch(index, FListing.Count());
        const TTreeRow &row = FListing.Row(index);
        FillJsonRow(FListing, row, FListing.FolderOf(row), json, FCache);
    }
    // The listing is only read; each reader keeps its own texts.
    std::unique_ptr<IListingRows> Reader() const override { return std::make_unique<TTreeRows>(FListing); }

private:
    TTreeListing &FListing;
    TTreeListing::TTextCache FCache;
};

// The display table a part at a time, so a big tree is never all text at
// once. Each part's cells are made and written as text on a core of its own,
// into memory; the parts' texts are then written out in their order.
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
    const TExportOptions options = WriterOptions(o, folder);
    TOutputSink sink(*target.Device);

    const size_t parts = std::max<size_t>(1, (listing.Count() + kChunkRows - 1) / kChunkRows);
    const size_t makers = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    std::vector<TTreeListing::TTextCache> caches(makers);
    struct TPart
    {
        std::unique_ptr<TTreeTableCells> Cells;
        QByteArray Text;
    };
    TPartsInOrder<TPart> made(parts, makers, [&](size_t index, size_t maker, TPart &part) {
        if (!part.Cells)
            part.Cells = std::make_unique<TTreeTableCells>(listing, grid, false);
        part.Cells->Fill(index * kChunkRows, kChunkRows, caches[maker]);
        // The first part begins the text; the others continue it.
        TExportOptions partOptions = options;
        if (index > 0) {
            partOptions.Headers = false;
            partOptions.Encoding = partOptions.Encoding.WithoutByteOrderMark();
        }
        part.Text.clear();
        QBuffer text(&part.Text);
        text.open(QIODevice::WriteOnly);
        ExportGrid(*o.Format, TExportTarget{target.FileName, &text}, partOptions, *part.Cells);
    });
    while (const TPart *part = made.Next())
        sink.Write(part->Text.constData(), part->Text.size());
    sink.Close();
}

} // namespace

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

bool UsesTreeListing(const TCliOptions &o)
{
    return o.Recursive || o.Format->RowsWriter || o.Limit >= 0 || o.Reverse || o.Folders.size() > 1
        || o.FolderSizes || o.Unsorted;
}

int RunTreeListing(const TCliOptions &o, const QStringList &folders, QIODevice &out)
{
    // The heading and the page title name the one folder, or every folder.
    const QString folder = folders.join(QStringLiteral(", "));
    TTreeOptions options;
    QString mask = o.Mask;
    CorrectMask(mask);
    options.Scan.ShowFiles = o.ShowFiles;
    options.Scan.ShowFolders = o.ShowFolders;
    options.Scan.ShowExtensions = o.ShowExtensions;
    options.Scan.ShowHidden = o.ShowHidden;
    options.Scan.Mask = mask;
    options.Scan.DecimalSeparator = DecimalSeparator();
    options.MaxDepth = o.Recursive ? o.MaxDepth : 1;
    options.OneFileSystem = o.OneFileSystem;
    options.FolderSizes = o.FolderSizes;

    TTreeWalk walk(options);
    // Rows written to the terminal as they are found leave no line to rewrite.
    const bool streamed = CanStream(o);
    TTreeProgress progress(walk,
        isatty(STDERR_FILENO) == 1 && !(streamed && o.OutputFile.isEmpty() && isatty(STDOUT_FILENO) == 1));
    if (streamed) {
        const auto [folderRows, fileRows] = RunStreamedListing(o, folders, folder, walk, progress, out);
        progress.Stop();
        if (o.Count) {
            PrintToStderr(CountLabelText(int(folderRows), int(fileRows)) + QLatin1Char('\n'));
        }
        return progress.Failed() ? 1 : 0;
    }
    walk.Run(folders, [&progress](const QString &path, const QString &message) {
        progress.Error(path, message);
    });
    progress.Stop();

    // The display table's columns, for the sort choices and the writers.
    TListing columns;
    columns.sgFiles.SetShowHeader(o.Headers);
    columns.sgFiles.SetShowVertLines(o.GridLines);
    columns.sgFiles.SetShowHorzLines(o.GridLines);
    TTreeListing listing(walk);
    if (!walk.Rows().empty() && !o.Unsorted)
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
        int folderRows = 0;
        for (size_t i = 0; i < listing.Count(); ++i)
            folderRows += listing.Row(i).IsFolder ? 1 : 0;
        PrintToStderr(CountLabelText(folderRows, int(listing.Count()) - folderRows) + QLatin1Char('\n'));
    }
    return progress.Failed() ? 1 : 0;
}
