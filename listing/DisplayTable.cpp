#include "listing/DisplayTable.h"

#include "fileutils/FileUtils.h"
#include "listing/FolderScan.h"
#include "listing/GridColumns.h"
#include "listing/StringGridSort.h"
#include "platform/Errors.h"
#include "platform/FloatFormat.h"
#include "platform/LocaleServices.h"

#include <QHash>

#include <exception>
#include <iterator>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Choice index: 0 Name, 1 Path, 2 Size, 3 Extension, 4 Last modified.
constexpr int kFileListColumns[] = {scName, scName, scSize, scExtension, scLastModified};
constexpr int kDirColumns[] = {scName, scPath, scName, scName, scLastModified};
constexpr int kChoiceCount = int(std::size(kFileListColumns));

// The years 1 to 9999: beyond them a day serial names no date the listing can show.
constexpr double kFirstDay = -693593.0;
constexpr double kDayAfterLast = 2958466.0;

enum class TCellKind { ckCopy, ckSize };

// Below this many rows a thread for the dates costs more than it saves.
constexpr int kParallelFrom = 4096;

TCellKind KindOfColumn(const QString &header)
{
    if (header == QLatin1String("Size"))
        return TCellKind::ckSize;
    return TCellKind::ckCopy;
}

// Keeps a shown view to one reset however the fill ends.
class TUpdateBracket
{
public:
    explicit TUpdateBracket(TGridTable &grid)
        : FGrid(grid)
    {
        FGrid.BeginUpdate();
    }
    ~TUpdateBracket() { FGrid.EndUpdate(); }
    TUpdateBracket(const TUpdateBracket &) = delete;
    TUpdateBracket &operator=(const TUpdateBracket &) = delete;

private:
    TGridTable &FGrid;
};

QString DateDisplayText(const QString &daySerial, QChar separator, TDateTimeTexts &texts)
{
    const std::optional<double> value = TryStrToFloat(daySerial, separator);
    if (!value)
        throw EError(QLatin1Char('\'') + daySerial + QStringLiteral("' is not a valid floating point value"));
    if (!(*value >= kFirstDay && *value < kDayAfterLast))
        return QString();
    return texts.Text(*value);
}

} // namespace

int FileListSortColumn(int choice)
{
    return choice >= 0 && choice < kChoiceCount ? kFileListColumns[choice] : -1;
}

int DirSortColumn(int choice)
{
    return choice >= 0 && choice < kChoiceCount ? kDirColumns[choice] : -1;
}

namespace {

// The quicksort's ascending order read backwards, so both directions show
// equal keys in the same pairs.
void ReverseRows(TGridTable &grid)
{
    std::vector<int> order(size_t(grid.RowCount()));
    for (size_t r = 0; r < order.size(); ++r)
        order[r] = int(order.size() - 1 - r);
    grid.BeginUpdate();
    grid.PermuteRows(order);
    grid.EndUpdate();
}

} // namespace

void SortStagingGrids(int choice, TGridTable &sgDir, TGridTable &sgFileList, bool descending)
{
    const TTextComparer comparer(UserLocale());
    const int fileColumn = FileListSortColumn(choice);
    if (fileColumn >= 0 && sgFileList.RowCount() > 0) {
        StringGridSort(sgFileList, fileColumn, comparer);
        if (descending)
            ReverseRows(sgFileList);
    }
    const int dirColumn = DirSortColumn(choice);
    if (dirColumn >= 0 && sgDir.RowCount() > 0) {
        StringGridSort(sgDir, dirColumn, comparer);
        if (descending)
            ReverseRows(sgDir);
    }
}

QString SizeDisplayText(const QString &stagingSize)
{
    bool ok = false;
    const qlonglong bytes = stagingSize.toLongLong(&ok, 10);
    return ok ? FormatFileSize(bytes) : QString();
}

QString LastModifiedDisplayText(const QString &daySerial)
{
    TDateTimeTexts texts;
    return DateDisplayText(daySerial, DecimalSeparator(), texts);
}

QString LastModifiedDisplayText(const QString &daySerial, QChar separator, TDateTimeTexts &texts)
{
    return DateDisplayText(daySerial, separator, texts);
}

QString LastModifiedDisplayText(int64_t unixMs, int offsetSeconds, QChar separator, TDateTimeTexts &texts)
{
    // From 1970 until 2173 the serial has five digits before the point and ten
    // after it, steps of 0.009 ms: read back, it rounds to the millisecond it
    // was made from, midnight included.
    constexpr int64_t kMsPerDay = 86400000;
    constexpr int64_t kUnixEpochDay = 25569;
    constexpr int64_t kExactUntil = (100000 - kUnixEpochDay) * kMsPerDay;
    const std::optional<int64_t> local = LocalMillisecondsInDateRange(unixMs, offsetSeconds);
    if (local && *local >= 0 && *local < kExactUntil)
        return texts.Text(kUnixEpochDay + *local / kMsPerDay, int(*local % kMsPerDay));
    return DateDisplayText(
        DaySerialText(UnixMillisecondsToDateTime(unixMs, offsetSeconds), separator), separator, texts);
}

namespace {

// The texts of the date column, folders before files, made apart from the
// table. An error stops it there, with the cells before it made, as filling
// the table itself would.
void MakeDateColumn(const TGridTable &sgDir, const TGridTable &sgFileList, TCellColumn &cells)
{
    const int dirs = sgDir.RowCount();
    const int files = sgFileList.RowCount();
    const QChar separator = DecimalSeparator();
    TDateTimeTexts dates;
    cells.Resize(size_t(dirs + files));
    for (int r = 0; r < dirs; ++r)
        cells.SetText(size_t(r), DateDisplayText(sgDir.Cells(scLastModified, r), separator, dates));
    for (int r = 0; r < files; ++r)
        cells.SetText(
            size_t(dirs + r), DateDisplayText(sgFileList.Cells(scLastModified, r), separator, dates));
}

} // namespace

void MergeIntoDisplayTable(const TGridTable &sgDir, const TGridTable &sgFileList, TGridTable &sgFiles)
{
    const TUpdateBracket bracket(sgFiles);
    ClearGrid(sgFiles);
    const int dirs = sgDir.RowCount();
    const int files = sgFileList.RowCount();
    sgFiles.SetRowCount(dirs + files);

    // The date texts, the dearest column, are made on a thread of their own
    // meanwhile; the date column is the last, so an error in it leaves every
    // other cell made, as filling column by column does.
    TCellColumn dateCells;
    std::exception_ptr dateError;
    {
        std::jthread dateMaker;
        const auto makeDates = [&] {
            try {
                MakeDateColumn(sgDir, sgFileList, dateCells);
            } catch (...) {
                dateError = std::current_exception();
            }
        };
        if (dirs + files >= kParallelFrom) {
            try {
                dateMaker = std::jthread(makeDates);
            } catch (const std::system_error &) { }
        }
        static_assert(fcLastModified == fcCount - 1);
        // Files of the same size share one size text: a big listing of small
        // files then makes a few hundred texts, not one per file.
        QHash<qlonglong, QString> sizeTexts;
        QString scratch;
        for (int i = 0; i < fcLastModified; ++i) {
            const TCellKind kind = KindOfColumn(sgFiles.Columns(i).Header);
            for (int r = 0; r < dirs; ++r)
                sgFiles.SetCellText(i, r, sgDir.CellView(i, r, scratch));
            for (int r = 0; r < files; ++r) {
                if (kind != TCellKind::ckSize) {
                    sgFiles.SetCellText(i, dirs + r, sgFileList.CellView(i, r, scratch));
                    continue;
                }
                bool ok = false;
                const qlonglong bytes = sgFileList.CellView(i, r, scratch).toLongLong(&ok, 10);
                if (!ok) {
                    sgFiles.SetCells(i, dirs + r, QString());
                    continue;
                }
                auto known = sizeTexts.constFind(bytes);
                if (known == sizeTexts.constEnd())
                    known = sizeTexts.insert(bytes, FormatFileSize(bytes));
                sgFiles.SetCells(i, dirs + r, known.value());
            }
        }
        if (!dateMaker.joinable())
            makeDates();
    }
    sgFiles.SetColumnCells(fcLastModified, std::move(dateCells));
    if (dateError)
        std::rethrow_exception(dateError);
}

void SortAndMerge(int choice, TGridTable &sgDir, TGridTable &sgFileList, TGridTable &sgFiles, bool descending)
{
    SortStagingGrids(choice, sgDir, sgFileList, descending);
    MergeIntoDisplayTable(sgDir, sgFileList, sgFiles);
}

QStringList SortChoices(const TGridTable &sgFiles)
{
    QStringList choices;
    for (int i = 0; i < sgFiles.ColumnCount(); ++i)
        if (sgFiles.Columns(i).Visible)
            choices << sgFiles.Columns(i).Header;
    return choices;
}
