#include "export/XlsxExport.h"

#include "export/ExportErrors.h"
#include "fileutils/PathNames.h"
#include "platform/AtomicFile.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <vector>
#include <xlsxwriter.h>

namespace {

enum TColumn { xcName, xcPath, xcSize, xcExtension, xcModified, xcCount };

const std::array<const char *, xcCount> kHeaders = {"Name", "Path", "Size", "Extension", "Last modified"};

// Widths in characters: at least the header's with its filter button, at
// most what leaves the other columns on a screen.
constexpr std::array<int, xcCount> kMaxWidths = {60, 80, 18, 16, 20};
constexpr int kFilterButton = 3;

// Days from the spreadsheet's day 0 to 1970-01-01.
constexpr double kUnixEpochSerial = 25569.0;
constexpr double kMsPerDay = 86400000.0;

// Rows made at a time, ahead of the library.
constexpr size_t kBatchRows = 4096;

// A cell holds at most this many bytes of text.
constexpr qsizetype kMaxCellBytes = 32767;

// A worksheet's rows beyond this many bytes need the larger zip records
// (the rest of its markup is far below the margin); smaller ones keep the
// records every reader takes.
constexpr long kZip32Bytes = 0xFFFFFFFFL - (64L << 20);

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Readers turn "_xHHHH_" in a cell's text into the character HHHH; a name
// holding such a sequence keeps it when its "_" is written as "_x005F_".
QByteArray EscapedCellText(QByteArray utf8)
{
    if (!utf8.contains("_x"))
        return utf8;
    QByteArray out;
    out.reserve(utf8.size() + 14);
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char *p = utf8.constData() + i;
        if (p[0] == '_' && i + 7 <= utf8.size() && p[1] == 'x' && IsHex(p[2]) && IsHex(p[3]) && IsHex(p[4])
            && IsHex(p[5]) && p[6] == '_')
            out += "_x005F_";
        else
            out += p[0];
    }
    return out;
}

// Cut on a character's first byte.
void CutToCell(QByteArray &utf8)
{
    if (utf8.size() <= kMaxCellBytes)
        return;
    qsizetype end = kMaxCellBytes;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    utf8.truncate(end);
}

// How many columns a text takes: East Asian wide characters take two.
int DisplayWidth(const QString &text)
{
    int width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF)
            || (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F)
            || (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

// "1,234,567": the digits and the separators the size format adds.
int SizeWidth(int64_t size)
{
    int digits = 1;
    for (int64_t v = size < 0 ? -size : size; v >= 10; v /= 10)
        ++digits;
    return digits + (digits - 1) / 3;
}

[[noreturn]] void Fail(const QString &fileName, int err)
{
    throw EInOutError(err ? EInOutError::CodeFromErrno(err) : kIoDeviceWriteFault, fileName);
}

class TWorkbook
{
public:
    explicit TWorkbook(const QByteArray &path)
    {
        FTempDir = QFile::encodeName(QDir::tempPath());
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = FTempDir.data();
        options.use_zip64 = LXW_FALSE;
        FBook = workbook_new_opt(path.constData(), &options);
    }
    ~TWorkbook()
    {
        // A book given up is freed unwritten; the library leaves its rows' file open then.
        if (!FBook)
            return;
        if (FSheet && FSheet->optimize_tmpfile) {
            std::fclose(FSheet->optimize_tmpfile);
            FSheet->optimize_tmpfile = nullptr;
        }
        lxw_workbook_free(FBook);
    }
    TWorkbook(const TWorkbook &) = delete;
    TWorkbook &operator=(const TWorkbook &) = delete;

    lxw_workbook *Get() const { return FBook; }
    // The one sheet, named so when the name is one a sheet may have.
    lxw_worksheet *AddSheet(const QByteArray &name)
    {
        FSheet = workbook_add_worksheet(FBook, name.isEmpty() ? nullptr : name.constData());
        if (!FSheet)
            FSheet = workbook_add_worksheet(FBook, nullptr);
        // The rows' file is written and read back whole: in large blocks, not
        // the stream's few kilobytes, each a system call.
        if (FSheet && FSheet->optimize_tmpfile) {
            FRowsBuffer = std::make_unique<char[]>(kRowsBufferBytes);
            std::setvbuf(FSheet->optimize_tmpfile, FRowsBuffer.get(), _IOFBF, kRowsBufferBytes);
        }
        return FSheet;
    }
    // The zip is made on closing, with the records chosen then.
    lxw_error Close(bool zip64)
    {
        lxw_workbook *book = FBook;
        book->options.use_zip64 = zip64 ? LXW_TRUE : LXW_FALSE;
        FBook = nullptr;
        return workbook_close(book);
    }

private:
    static constexpr size_t kRowsBufferBytes = 1 << 20;
    QByteArray FTempDir;
    std::unique_ptr<char[]> FRowsBuffer; // outlives the stream it buffers
    lxw_workbook *FBook = nullptr;
    lxw_worksheet *FSheet = nullptr;
};

// One row as the sheet takes it: UTF-8 texts ready for the cells, numbers,
// and the widths the texts need.
struct TSheetRow
{
    QByteArray Name, Path, Extension; // empty: no cell
    bool HasSize = false;
    int64_t Size = 0;
    bool HasModified = false;
    double Modified = 0; // a day serial, local time
    std::array<int, xcCount> Widths{};
};

// Makes sheet rows from a listing's rows.
class TRowMaker
{
public:
    explicit TRowMaker(bool showExtensions)
        : FShowExtensions(showExtensions)
    {
        FRow.WithoutTexts = true;
    }

    void Make(IListingRows &rows, size_t index, TSheetRow &out)
    {
        rows.Row(index, FRow);
        const TJsonRow &row = FRow;
        out.Widths = {};
        const QString name = row.IsFolder || FShowExtensions ? row.Name : NameWithoutExtension(row.Name);
        Text(name, xcName, out.Name, out.Widths);
        // The rows of one folder share its path: made once.
        if (!row.Path.isSharedWith(FLastPath)) {
            FLastPath = row.Path;
            FLastPathUtf8 = EscapedCellText(row.Path.toUtf8());
            CutToCell(FLastPathUtf8);
            FLastPathWidth = DisplayWidth(row.Path);
        }
        out.Path = FLastPathUtf8;
        out.Widths[xcPath] = FLastPathWidth;
        out.HasSize = !row.IsFolder || row.SizeIsTotal;
        out.Size = row.Size;
        if (out.HasSize)
            out.Widths[xcSize] = SizeWidth(row.Size);
        Text(row.Extension, xcExtension, out.Extension, out.Widths);
        out.HasModified = row.HasModified;
        if (row.HasModified) {
            const double local = double(row.ModifiedMs + int64_t(row.OffsetSeconds) * 1000);
            out.Modified = kUnixEpochSerial + local / kMsPerDay;
        }
    }

private:
    // Names are texts whatever they look like: a string cell is never read
    // as a formula or a number, so it needs no apostrophe in front.
    static void Text(const QString &text, int column, QByteArray &out, std::array<int, xcCount> &widths)
    {
        out = EscapedCellText(text.toUtf8());
        CutToCell(out);
        widths[size_t(column)] = text.isEmpty() ? 0 : DisplayWidth(text);
    }

    bool FShowExtensions;
    TJsonRow FRow;
    QString FLastPath;
    QByteArray FLastPathUtf8;
    int FLastPathWidth = 0;
};

class TSheetWriter
{
public:
    TSheetWriter(lxw_workbook *book, lxw_worksheet *sheet)
        : FSheet(sheet)
    {
        FBold = workbook_add_format(book);
        format_set_bold(FBold);
        FBytes = workbook_add_format(book);
        format_set_num_format(FBytes, "#,##0");
        FDateTime = workbook_add_format(book);
        format_set_num_format(FDateTime, "yyyy-mm-dd hh:mm:ss");
        for (int c = 0; c < xcCount; ++c)
            FWidths[size_t(c)] = int(std::strlen(kHeaders[size_t(c)])) + kFilterButton;
        FWidths[xcModified] = std::max(FWidths[xcModified], 19);
    }

    void Header()
    {
        for (int c = 0; c < xcCount; ++c)
            worksheet_write_string(FSheet, 0, lxw_col_t(c), kHeaders[size_t(c)], FBold);
    }

    void Row(lxw_row_t r, const TSheetRow &row)
    {
        if (!row.Name.isEmpty())
            worksheet_write_string(FSheet, r, xcName, row.Name.constData(), nullptr);
        if (!row.Path.isEmpty())
            worksheet_write_string(FSheet, r, xcPath, row.Path.constData(), nullptr);
        if (row.HasSize)
            worksheet_write_number(FSheet, r, xcSize, double(row.Size), FBytes);
        if (!row.Extension.isEmpty())
            worksheet_write_string(FSheet, r, xcExtension, row.Extension.constData(), nullptr);
        if (row.HasModified)
            worksheet_write_number(FSheet, r, xcModified, row.Modified, FDateTime);
        for (int c = 0; c < xcCount; ++c)
            FWidths[size_t(c)] = std::max(FWidths[size_t(c)], row.Widths[size_t(c)]);
    }

    void SetWidths()
    {
        for (int c = 0; c < xcCount; ++c)
            worksheet_set_column(FSheet,
                lxw_col_t(c),
                lxw_col_t(c),
                std::min(FWidths[size_t(c)], kMaxWidths[size_t(c)]) + 1,
                nullptr);
    }

private:
    lxw_worksheet *FSheet;
    lxw_format *FBold = nullptr;
    lxw_format *FBytes = nullptr;
    lxw_format *FDateTime = nullptr;
    std::array<int, xcCount> FWidths{};
};

} // namespace

QString XlsxSheetName(const QString &folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty())
        name = path;
    for (QChar &c : name)
        if (QStringView(u"[]:*?/\\").contains(c))
            c = QLatin1Char('_');
    if (name.size() > 31)
        name.truncate(name.at(30).isHighSurrogate() ? 30 : 31);
    // A sheet's name may neither begin nor end with an apostrophe.
    if (name.startsWith(QLatin1Char('\'')))
        name[0] = QLatin1Char('_');
    if (name.endsWith(QLatin1Char('\'')))
        name[name.size() - 1] = QLatin1Char('_');
    return name;
}

void ListingToXlsx(const QString &fileName, const TExportOptions &options, IListingRows &rows, size_t maxRows)
{
    const size_t total = rows.Count();
    const size_t room = std::max<size_t>(maxRows, 1) - (options.Headers ? 1 : 0);
    const size_t count = std::min(total, room);

    TFileReplacement file(fileName);
    if (file.Error())
        Fail(fileName, file.Error());
    errno = 0;
    TWorkbook book(file.TemporaryPath());
    if (!book.Get())
        Fail(fileName, errno);
    lxw_worksheet *sheet = book.AddSheet(XlsxSheetName(options.Heading).toUtf8());
    if (!sheet)
        Fail(fileName, errno);

    TSheetWriter writer(book.Get(), sheet);
    lxw_row_t r = 0;
    if (options.Headers) {
        writer.Header();
        ++r;
    }
    // The rows are made a batch ahead on another core while the library
    // writes the batch before; the listing's rows are read by that core alone.
    TRowMaker maker(options.ShowExtensions);
    const auto make = [&rows, &maker, count](size_t first, std::vector<TSheetRow> &batch) {
        batch.resize(std::min(kBatchRows, count - first));
        for (size_t i = 0; i < batch.size(); ++i)
            maker.Make(rows, first + i, batch[i]);
    };
    std::vector<TSheetRow> ready, next;
    std::future<void> making;
    // The batch being made is waited for whatever ends the writing.
    struct TWaiter
    {
        std::future<void> &Making;
        ~TWaiter()
        {
            if (Making.valid())
                Making.wait();
        }
    } waiter{making};
    if (count > 0)
        make(0, ready);
    for (size_t first = 0; first < count; first += kBatchRows) {
        if (first + kBatchRows < count)
            making = std::async(std::launch::async, make, first + kBatchRows, std::ref(next));
        for (const TSheetRow &row : ready)
            writer.Row(r++, row);
        if (making.valid())
            making.get();
        std::swap(ready, next);
    }
    writer.SetWidths();
    if (options.Headers) {
        worksheet_freeze_panes(sheet, 1, 0);
        worksheet_autofilter(sheet, 0, 0, std::max<lxw_row_t>(r, 1) - 1, xcCount - 1);
    }
    // The rows went to a temporary file whose write errors the library does
    // not check; a short one would make a whole-looking but cut workbook.
    FILE *data = sheet->optimize_tmpfile;
    if (data && (std::fflush(data) != 0 || std::ferror(data)))
        Fail(fileName, errno);
    const bool zip64 = data && std::ftell(data) > kZip32Bytes;
    errno = 0;
    if (book.Close(zip64) != LXW_NO_ERROR)
        Fail(fileName, errno);
    if (const int err = file.Commit())
        Fail(fileName, err);
    if (total > count)
        throw ESpreadsheetCut(count, total);
}
