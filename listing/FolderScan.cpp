#include "listing/FolderScan.h"

#include "listing/FolderEntries.h"
#include "listing/GridColumns.h"
#include "platform/Errors.h"
#include "platform/FloatFormat.h"
#include "platform/LocaleServices.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <dirent.h>
#include <memory>

namespace {

struct TDirCloser
{
    void operator()(DIR *d) const { closedir(d); }
};

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
    char digits[24];
    const int count = int(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
    // The digits' tail when they are wider than the field, as cutting the padded text would keep.
    const int kept = std::min(count, width);
    QString text(width, fill);
    QChar *out = text.data() + (width - kept);
    for (int i = count - kept; i < count; ++i)
        *out++ = QLatin1Char(digits[i]);
    return text;
}

QString DaySerialText(double dateTime, QChar decimalSeparator)
{
    return FloatToStrGeneral(dateTime, decimalSeparator);
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
    bool invalid = std::all_of(fullPath.begin(), fullPath.end(), [](QChar c) {
        return c.isSpace();
    });
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
            const TFolderEntries entries(dir.get());
            if (options.ShowFiles)
                sgFileList.ReserveRows(std::max(entries.MaxFiles(), 1));
            if (options.ShowFolders)
                sgDir.ReserveRows(std::max(entries.MaxFolders(), 1));
            int files = 0;
            int folders = 0;
            for (int e = 0; e < entries.Count(); ++e) {
                const TEntryStat &st = entries.Stat(e);
                const bool exists = st.Exists;
                const bool isFolder = st.IsFolder;
                const QString name = QFile::decodeName(entries.Name(e));

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
                    sgFileList.SetCells(scSize, r, PadLeft(15, QLatin1Char('0'), st.Size));
                    sgFileList.SetCells(scExtension, r, ext);
                    const double modified = exists ? UnixMillisecondsToDateTime(st.ModifiedMs, offset) : 0;
                    sgFileList.SetCells(scLastModified, r, DaySerialText(modified, sep));
                    CheckPathText(full);
                    if (!exists)
                        throw EError(QStringLiteral("The specified file was not found"));
                    sgFileList.SetCells(
                        scLastAccess, r, DaySerialText(UnixMillisecondsToDateTime(st.AccessMs, offset), sep));
                } else if (isFolder && options.ShowFolders) {
                    const int r = folders++;
                    sgDir.SetRowCount(r + 1);
                    sgDir.SetCells(scFullPath, r, P + name);
                    sgDir.SetCells(scName, r, name);
                    sgDir.SetCells(scPath, r, P);
                    const double modified = exists ? UnixMillisecondsToDateTime(st.ModifiedMs, offset) : 0;
                    sgDir.SetCells(scLastModified, r, DaySerialText(modified, sep));
                }
            }
        }
    }
    DropEmptyRow(sgDir);
    DropEmptyRow(sgFileList);
    // Room was made for every entry; a masked listing keeps only what it shows.
    sgDir.Compact();
    sgFileList.Compact();
}
