#include "cli/ListingCommand.h"

#include "export/uNativeXLSExport.h"
#include "export/uSGExports.h"
#include "listing/DisplayTable.h"
#include "listing/FolderScan.h"
#include "listing/GridColumns.h"
#include "platform/LocaleServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder as the window's tree would hold it: absolute, no "." or "..".
QString FullFolderPath(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

// The scan turns an unreadable folder into an empty listing; a script asking
// for that folder by name must hear why it got nothing.
void CheckFolder(const QString &folder, const QString &shown)
{
    const QByteArray encoded = QFile::encodeName(folder);
    struct stat st
    { };
    if (::stat(encoded.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw EUsageError(shown + QStringLiteral(": The specified path was not found"));
        throw EError(shown + QStringLiteral(": ") + SysErrorMessage(errno));
    }
    if (!S_ISDIR(st.st_mode))
        throw EUsageError(shown + QStringLiteral(": ") + SysErrorMessage(ENOTDIR));
    DIR *dir = ::opendir(encoded.constData());
    if (!dir)
        throw EError(shown + QStringLiteral(": ") + SysErrorMessage(errno));
    ::closedir(dir);
}

// A progress line on a terminal's standard error, rewritten in place and
// wiped before anything else is written; nothing when standard error is not a terminal.
class TProgressLine
{
public:
    TProgressLine()
        : FShown(isatty(STDERR_FILENO) == 1)
    { }
    ~TProgressLine() { Clear(); }
    TProgressLine(const TProgressLine &) = delete;
    TProgressLine &operator=(const TProgressLine &) = delete;

    TScanProgressReport Report()
    {
        if (!FShown)
            return {};
        return [this](int done, int total) {
            const QByteArray line = "\r" + ScanProgressText(done, total).toLocal8Bit() + "\x1b[K";
            std::fputs(line.constData(), stderr);
            std::fflush(stderr);
            FWritten = true;
        };
    }
    void Clear()
    {
        if (FWritten)
            std::fputs("\r\x1b[K", stderr);
        FWritten = false;
    }

private:
    bool FShown;
    bool FWritten = false;
};

void WriteListing(const TCliOptions &o, const TGridTable &sgFiles, const QString &folder, QIODevice &out)
{
    const bool toFile = !o.OutputFile.isEmpty();
    switch (o.Format) {
    case TCliFormat::cfText:
    case TCliFormat::cfTSV:
    case TCliFormat::cfCSV: {
        const QChar delimiter = o.Format == TCliFormat::cfCSV ? QLatin1Char(',') : QLatin1Char('\t');
        if (toFile)
            GridToDelimited(o.OutputFile, delimiter, o.Headers, sgFiles);
        else
            GridToDelimited(out, delimiter, o.Headers, sgFiles);
        break;
    }
    case TCliFormat::cfHTML:
        // The heading is the folder's full path; on standard output the page
        // takes its title from the folder's name, as a file would from its own.
        if (toFile)
            GridToHTML(o.OutputFile, sgFiles, folder, o.Headers);
        else
            GridToHTML(out, folder, sgFiles, folder, o.Headers);
        break;
    case TCliFormat::cfXLS:
        GridToXLS(o.OutputFile, o.Headers, o.GridLines, sgFiles);
        break;
    case TCliFormat::cfClipboard:
        GridToClipboard(sgFiles);
        break;
    }
}

} // namespace

void RunListing(const TCliOptions &o, QIODevice &out)
{
    const QString folder = FullFolderPath(o.Folder);
    CheckFolder(folder, o.Folder);

    TGridTable sgFiles(FilesColumns());
    TGridTable sgDir(DirColumns());
    TGridTable sgFileList(FileListColumns());
    sgFiles.SetColumnVisible(fcPathHolder, false);
    sgFiles.SetShowHeader(o.Headers);
    sgFiles.SetShowVertLines(o.GridLines);
    sgFiles.SetShowHorzLines(o.GridLines);

    QString mask = o.Mask;
    CorrectMask(mask);
    TScanOptions scan;
    scan.ShowFiles = o.ShowFiles;
    scan.ShowFolders = o.ShowFolders;
    scan.ShowExtensions = o.ShowExtensions;
    scan.Mask = mask;
    scan.DecimalSeparator = DecimalSeparator();
    {
        TProgressLine progress;
        scan.OnProgress = progress.Report();
        ScanFolder(folder, scan, sgDir, sgFileList, sgFiles);
    }
    if (sgDir.RowCount() > 0 || sgFileList.RowCount() > 0)
        SortAndMerge(int(SortChoices(sgFiles).indexOf(o.SortHeader)), sgDir, sgFileList, sgFiles);

    WriteListing(o, sgFiles, folder, out);
    if (o.Count) {
        const QByteArray count = CountLabelText(sgDir.RowCount(), sgFileList.RowCount()).toLocal8Bit() + '\n';
        std::fputs(count.constData(), stderr);
    }
}
