#include "cli/StreamedListing.h"

#include "cli/TreeCommand.h"
#include "cli/TreeProgress.h"
#include "export/ExportFormat.h"
#include "export/JsonListing.h"
#include "export/OutputSink.h"
#include "export/TextFileOutput.h"
#include "fileutils/PathNames.h"
#include "listing/Listing.h"
#include "listing/TreeTableCells.h"

#include <QFile>

#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

bool IsJson(const TCliOptions &o)
{
    return std::strcmp(o.Format->Name, "json") == 0 || std::strcmp(o.Format->Name, "jsonl") == 0;
}

// Rows gathered before a table part is written, when the walk is ahead of the writer.
constexpr int kPartRows = 16384;

class TStreamedWriter
{
public:
    TStreamedWriter(const TCliOptions &o, const QString &heading, const TTreeListing &cells, QIODevice &out)
        : FOptions(o)
        , FCells(cells)
        , FLeft(o.Limit)
        , FPart(cells, FColumns.sgFiles, false)
    {
        FColumns.sgFiles.SetShowHeader(o.Headers);
        FColumns.sgFiles.SetShowVertLines(o.GridLines);
        FColumns.sgFiles.SetShowHorzLines(o.GridLines);
        FWriterOptions = WriterOptions(o, heading);
        FTarget = {heading, &out};
        if (!o.OutputFile.isEmpty()) {
            const int fd = OpenTextFile(o.OutputFile);
            if (IsJson(o)) {
                FSink = std::make_unique<TOutputSink>(fd, o.OutputFile);
            } else {
                FFile = std::make_unique<QFile>();
                if (!FFile->open(
                        fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
                    ::close(fd);
                    throw EInOutError(5, o.OutputFile);
                }
                FTarget = {o.OutputFile, FFile.get()};
            }
        } else if (IsJson(o)) {
            FSink = std::make_unique<TOutputSink>(out);
        }
        if (FSink)
            FJson = std::make_unique<TJsonListingWriter>(*FSink, std::strcmp(o.Format->Name, "jsonl") == 0);
    }

    // False once --limit rows are out.
    bool Add(const TTreeFolder &folder, std::span<const TTreeRow> rows, bool moreWaiting)
    {
        if (FLeft >= 0 && int64_t(rows.size()) > FLeft)
            rows = rows.first(size_t(FLeft));
        for (const TTreeRow &row : rows)
            ++(row.IsFolder ? FFolders : FFiles);
        if (FJson) {
            for (const TTreeRow &row : rows) {
                FillJsonRow(FCells, row, folder, FRow, FCache);
                FJson->Write(FRow);
            }
            if (!moreWaiting)
                FJson->Push();
        } else {
            for (const TTreeRow &row : rows)
                FPart.Add(row, folder, FCache);
            // A writer keeping up with the walk writes at once; one behind gathers a part.
            if (FPart.RowCount() >= kPartRows || (!moreWaiting && FPart.RowCount() > 0))
                WritePart();
        }
        if (FLeft >= 0)
            FLeft -= int64_t(rows.size());
        return FLeft != 0;
    }

    void Finish()
    {
        if (FJson) {
            FJson->Finish();
            FSink->Close();
            return;
        }
        // With no row at all the table is the one empty row of an empty listing.
        if (FFolders + FFiles == 0)
            FPart.Clear(true);
        if (FPart.RowCount() > 0)
            WritePart();
    }

    int64_t Folders() const { return FFolders; }
    int64_t Files() const { return FFiles; }

private:
    void WritePart()
    {
        ExportGrid(*FOptions.Format, FTarget, FWriterOptions, FPart);
        // The next parts continue the same text.
        FWriterOptions.Headers = false;
        FWriterOptions.Encoding = FWriterOptions.Encoding.WithoutByteOrderMark();
        FPart.Clear();
    }

    const TCliOptions &FOptions;
    const TTreeListing &FCells;
    int64_t FLeft;
    TListing FColumns; // the display table's columns, headers and visibility
    TTreeTableCells FPart;
    TExportOptions FWriterOptions;
    TExportTarget FTarget;
    std::unique_ptr<QFile> FFile;
    std::unique_ptr<TOutputSink> FSink;
    std::unique_ptr<TJsonListingWriter> FJson;
    TJsonRow FRow;
    TTreeListing::TTextCache FCache;
    int64_t FFolders = 0;
    int64_t FFiles = 0;
};

} // namespace

void FillJsonRow(const TTreeListing &listing,
    const TTreeRow &row,
    const TTreeFolder &folder,
    TJsonRow &json,
    TTreeListing::TTextCache &cache)
{
    json.Name = listing.Name(row);
    if (json.WithoutTexts) {
        // The folder's own text, not shared: readers on several threads would
        // otherwise all count its users on one cache line.
        json.Path = QString::fromRawData(folder.Path.constData(), folder.Path.size());
    } else {
        json.Path = folder.Path;
        json.NameBytes = QByteArray(row.Name);
        json.PathBytes = folder.Bytes;
    }
    json.Extension = row.IsFolder ? QString() : ExtractExtension(json.Name);
    json.IsFolder = row.IsFolder;
    json.Size = row.Size;
    json.SizeIsTotal = row.SizeIsTotal;
    json.HasModified = row.Exists;
    json.ModifiedMs = row.ModifiedMs;
    json.OffsetSeconds = listing.OffsetSeconds();
    if (json.WithoutTexts)
        return;
    json.SizeText = listing.SizeText(row, cache);
    json.ModifiedText = listing.ModifiedText(row, cache);
}

bool CanStream(const TCliOptions &o)
{
    return o.Unsorted && !o.Reverse && !o.FolderSizes && o.Format->WritesFile()
        && (o.Format->WritesInParts || IsJson(o));
}

std::pair<int64_t, int64_t> RunStreamedListing(const TCliOptions &o,
    const QStringList &folders,
    const QString &heading,
    TTreeWalk &walk,
    TTreeProgress &progress,
    QIODevice &out)
{
    const TTreeListing cells(walk);
    TStreamedWriter writer(o, heading, cells, out);
    walk.Run(
        folders,
        [&progress](const QString &path, const QString &message) {
            progress.Error(path, message);
        },
        [&writer](const TTreeFolder &folder, std::span<const TTreeRow> rows, bool moreWaiting) {
            return writer.Add(folder, rows, moreWaiting);
        });
    writer.Finish();
    return {writer.Folders(), writer.Files()};
}
