#include "listing/FolderScan.h"

#include "listing/FolderEntries.h"
#include "listing/GridColumns.h"
#include "platform/Errors.h"
#include "platform/FileNames.h"
#include "platform/FloatFormat.h"
#include "platform/LocaleServices.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

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

// Asked only after an entry vanished: did its folder go with it?
bool IsFolder(const QString &path)
{
    struct stat st
    { };
    return ::stat(EncodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// PadLeft(15, "0", value) of a size, which is never negative, without a text of its own.
QStringView PadLeftInto(char16_t (&digits)[15], int64_t value)
{
    uint64_t v = uint64_t(value);
    for (int i = 14; i >= 0; --i) {
        digits[i] = char16_t(u'0' + v % 10);
        v /= 10;
    }
    return QStringView(digits, 15);
}

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

QString ScanProgressText(int done, int total)
{
    const QLocale locale = UserLocale();
    if (total < 0)
        return QStringLiteral("Reading\u2026 %1 files").arg(locale.toString(done));
    return QStringLiteral("Reading\u2026 %1 of %2 files").arg(locale.toString(done), locale.toString(total));
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

        std::unique_ptr<DIR, TDirCloser> dir(opendir(EncodeFileName(P).constData()));
        if (dir) {
            // The offset in force now, once for the whole scan.
            const int offset = LocalOffsetSecondsNow();
            const QChar sep = options.DecimalSeparator;
            const QString shownP = ShownFileName(P);
            const bool wholeMask = options.Mask == QLatin1String("*.*");
            TScanTicker ticker(options.OnProgress, options.Clock);
            TFolderEntries entries(dir.get(), &ticker, options.ShowHidden);
            if (options.ShowFiles)
                sgFileList.ReserveRows(std::max(entries.MaxFiles(), 1));
            if (options.ShowFolders)
                sgDir.ReserveRows(std::max(entries.MaxFolders(), 1));
            int files = 0;
            int folders = 0;
            // The texts of a row are put together in these, so a row makes no text of its own.
            QString full = P;
            char16_t size[15];
            for (int e = 0; e < entries.Count(); ++e) {
                const TEntryStat &st = entries.Stat(e);
                const bool exists = st.Exists;
                const bool isFolder = st.IsFolder;
                // The full path keeps the name's bytes for opening it; the
                // columns people read show what a UTF-8 reader shows.
                const QString name = DecodeFileName(entries.Name(e));
                const QString shown = ShownFileName(name);
                full.truncate(P.size());
                full += name;

                if (!isFolder && options.ShowFiles) {
                    const QString ext = ExtractExtension(shown);
                    if (!wholeMask && !MaskAccepts(options.Mask, ext))
                        continue;
                    const int r = files++;
                    sgFileList.SetRowCount(r + 1);
                    sgFileList.SetCellText(scFullPath, r, full);
                    sgFileList.SetCellText(
                        scName, r, options.ShowExtensions ? shown : NameWithoutExtension(shown));
                    sgFileList.SetCellText(scPath, r, shownP);
                    sgFileList.SetCellText(scSize, r, PadLeftInto(size, st.Size));
                    sgFileList.SetCellText(scExtension, r, ext);
                    const double modified = exists ? UnixMillisecondsToDateTime(st.ModifiedMs, offset) : 0;
                    sgFileList.SetCells(scLastModified, r, DaySerialText(modified, sep));
                    CheckPathText(full);
                    if (!exists)
                        throw EError(IsFolder(P) ? QStringLiteral("The specified file was not found")
                                                 : QStringLiteral("The specified path was not found"));
                    sgFileList.SetCells(
                        scLastAccess, r, DaySerialText(UnixMillisecondsToDateTime(st.AccessMs, offset), sep));
                } else if (isFolder && options.ShowFolders) {
                    const int r = folders++;
                    sgDir.SetRowCount(r + 1);
                    sgDir.SetCellText(scFullPath, r, full);
                    sgDir.SetCellText(scName, r, shown);
                    sgDir.SetCellText(scPath, r, shownP);
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
