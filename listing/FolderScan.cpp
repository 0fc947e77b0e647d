#include "listing/FolderScan.h"

#include "listing/GridColumns.h"
#include "platform/Errors.h"
#include "platform/FloatFormat.h"
#include "platform/LocaleServices.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TDirCloser
{
    void operator()(DIR *d) const { closedir(d); }
};

int64_t UnixMs(const timespec &ts)
{
    return int64_t(ts.tv_sec) * 1000 + int64_t(ts.tv_nsec) / 1000000;
}

// Keeps both staging grids in an update bracket for the scan, also on errors.
class TUpdateBracket
{
public:
    TUpdateBracket(TGridTable &first, TGridTable &second)
        : FFirst(first)
        , FSecond(second)
    {
        FFirst.BeginUpdate();
        FSecond.BeginUpdate();
    }
    ~TUpdateBracket()
    {
        FFirst.EndUpdate();
        FSecond.EndUpdate();
    }
    TUpdateBracket(const TUpdateBracket &) = delete;
    TUpdateBracket &operator=(const TUpdateBracket &) = delete;

private:
    TGridTable &FFirst;
    TGridTable &FSecond;
};

void DropEmptyRow(TGridTable &grid)
{
    if (grid.RowCount() > 0 && grid.Cells(scFullPath, grid.RowCount() - 1).isEmpty())
        grid.SetRowCount(grid.RowCount() - 1);
}

} // namespace

bool CorrectMask(QString &mask)
{
    if (mask.size() >= 3)
        return false;
    mask = QStringLiteral("*.*");
    return true;
}

QString PadLeft(int width, QChar fill, int64_t value)
{
    if (width <= 0)
        return {};
    const QString text = QString(width, fill) + QString::number(value);
    return text.right(width);
}

QString DaySerialText(double dateTime, QChar decimalSeparator)
{
    return FloatToStrGeneral(dateTime, decimalSeparator);
}

QString ExtractExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

QString NameWithoutExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

bool MaskAccepts(const QString &mask, const QString &extension)
{
    if (mask == QLatin1String("*.*"))
        return true;
    return !extension.isEmpty() && mask.contains(extension, Qt::CaseSensitive);
}

void CheckPathText(const QString &fullPath)
{
    if (fullPath.size() >= 248)
        throw EError(QStringLiteral("The specified path is too long"));
    // There is no drive colon here, so any colon breaks the path format.
    if (fullPath.contains(QLatin1Char(':')))
        throw EError(QStringLiteral("The path format is not supported"));
    bool invalid = fullPath.trimmed().isEmpty();
    for (const QChar c : fullPath) {
        const char16_t u = c.unicode();
        if (u < 32 || u == '"' || u == '<' || u == '>' || u == '|')
            invalid = true;
    }
    if (invalid)
        throw EError(QStringLiteral("Invalid characters in path"));
}

QString CountLabelText(int folders, int files)
{
    return QStringLiteral("Folders: %1  Files: %2").arg(folders).arg(files);
}

QString FolderWithDelimiter(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

void ScanFolder(const QString &folder,
    const TScanOptions &options,
    TGridTable &sgDir,
    TGridTable &sgFileList,
    TGridTable &sgFiles)
{
    const QString P = FolderWithDelimiter(folder);
    {
        TUpdateBracket bracket(sgFileList, sgDir);
        ClearGrid(sgDir);
        ClearGrid(sgFileList);
        ClearGrid(sgFiles);

        std::unique_ptr<DIR, TDirCloser> dir(opendir(QFile::encodeName(P).constData()));
        if (dir) {
            // The offset in force now, once for the whole scan.
            const int offset = LocalOffsetSecondsNow();
            const QChar sep = options.DecimalSeparator;
            const bool wholeMask = options.Mask == QLatin1String("*.*");
            const int fd = dirfd(dir.get());
            int files = 0;
            int folders = 0;
            while (const dirent *entry = readdir(dir.get())) {
                if (entry->d_name[0] == '.')
                    continue;
                struct stat st
                { };
                bool exists = fstatat(fd, entry->d_name, &st, 0) == 0;
                // A dangling link or a loop lists as the link itself.
                if (!exists)
                    exists = fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
                const bool isFolder = exists ? S_ISDIR(st.st_mode) : entry->d_type == DT_DIR;
                const QString name = QFile::decodeName(entry->d_name);

                if (!isFolder && options.ShowFiles) {
                    const QString ext = ExtractExtension(name);
                    if (!wholeMask && !MaskAccepts(options.Mask, ext))
                        continue;
                    const int r = files++;
                    const QString full = P + name;
                    sgFileList.SetRowCount(r + 1);
                    sgFileList.SetCells(scFullPath, r, full);
                    sgFileList.SetCells(
                        scName, r, options.ShowExtensions ? name : NameWithoutExtension(name));
                    sgFileList.SetCells(scPath, r, P);
                    sgFileList.SetCells(
                        scSize, r, PadLeft(15, QLatin1Char('0'), exists ? int64_t(st.st_size) : 0));
                    sgFileList.SetCells(scExtension, r, ext);
                    const double modified =
                        exists ? UnixMillisecondsToDateTime(UnixMs(st.st_mtim), offset) : 0;
                    sgFileList.SetCells(scLastModified, r, DaySerialText(modified, sep));
                    CheckPathText(full);
                    if (!exists)
                        throw EError(QStringLiteral("The specified file was not found"));
                    sgFileList.SetCells(scLastAccess,
                        r,
                        DaySerialText(UnixMillisecondsToDateTime(UnixMs(st.st_atim), offset), sep));
                } else if (isFolder && options.ShowFolders) {
                    const int r = folders++;
                    sgDir.SetRowCount(r + 1);
                    sgDir.SetCells(scFullPath, r, P + name);
                    sgDir.SetCells(scName, r, name);
                    sgDir.SetCells(scPath, r, P);
                    const double modified =
                        exists ? UnixMillisecondsToDateTime(UnixMs(st.st_mtim), offset) : 0;
                    sgDir.SetCells(scLastModified, r, DaySerialText(modified, sep));
                }
            }
        }
    }
    DropEmptyRow(sgDir);
    DropEmptyRow(sgFileList);
    // Rows were added one by one; a listing of 100 000 files should not keep
    // room for another 100 000.
    sgDir.Compact();
    sgFileList.Compact();
}
