#include "cli/ListingCommand.h"

#include "cli/TerminalText.h"
#include "cli/TreeCommand.h"
#include "cli/TreeProgress.h"
#include "export/ExportFormat.h"
#include "listing/Listing.h"
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
    // The scan's clock: the steady one, or one that makes every tick a repaint.
    TScanClock Clock() const
    {
        if (!FShown || !ProgressAtOnce())
            return {};
        return [now = int64_t(0)]() mutable {
            return now += TScanTicker::kFirstAfterMs;
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

} // namespace

void WriteListing(const TCliOptions &o, const TGridTable &sgFiles, const QString &folder, QIODevice &out)
{
    // The heading is the folder's full path; on standard output the page
    // takes its title from the folder's name, as a file would from its own.
    TExportTarget target{folder, &out};
    if (!o.OutputFile.isEmpty())
        target = {o.OutputFile, nullptr};
    TExportOptions options;
    options.Headers = o.Headers;
    options.GridLines = o.GridLines;
    options.Heading = folder;
    options.Encoding = o.Encoding;
    ExportGrid(*o.Format, target, options, sgFiles);
}

int RunListing(const TCliOptions &o, QIODevice &out)
{
    // Every folder is checked before anything is written.
    QStringList folders;
    for (const QString &given : o.Folders.isEmpty() ? QStringList{o.Folder} : o.Folders) {
        folders << FullFolderPath(given);
        CheckFolder(folders.last(), given);
    }
    if (UsesTreeListing(o))
        return RunTreeListing(o, folders, out);
    const QString &folder = folders.first();

    TListing listing;
    listing.sgFiles.SetShowHeader(o.Headers);
    listing.sgFiles.SetShowVertLines(o.GridLines);
    listing.sgFiles.SetShowHorzLines(o.GridLines);

    QString mask = o.Mask;
    CorrectMask(mask);
    TScanOptions scan;
    scan.ShowFiles = o.ShowFiles;
    scan.ShowFolders = o.ShowFolders;
    scan.ShowExtensions = o.ShowExtensions;
    scan.ShowHidden = o.ShowHidden;
    scan.Mask = mask;
    scan.DecimalSeparator = DecimalSeparator();
    {
        TProgressLine progress;
        scan.OnProgress = progress.Report();
        scan.Clock = progress.Clock();
        listing.Scan(folder, scan);
    }
    if (listing.HasRows())
        listing.Sort(listing.SortChoice(o.SortHeader));

    WriteListing(o, listing.sgFiles, folder, out);
    if (o.Count)
        PrintToStderr(listing.CountText() + QLatin1Char('\n'));
    return 0;
}
