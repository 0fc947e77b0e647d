#include "export/XlsxExport.h"

#include "export/ExportErrors.h"
#include "export/XlsxRowMarkup.h"
#include "platform/AtomicFile.h"
#include "platform/Errors.h"
#include "platform/PartsInOrder.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>
#include <xlsxwriter.h>

namespace {

const std::array<const char *, xcCount> kHeaders = {"Name", "Path", "Size", "Extension", "Last modified"};

// Widths in characters: at least the header's with its filter button, at
// most what leaves the other columns on a screen.
constexpr std::array<int, xcCount> kMaxWidths = {60, 80, 18, 16, 20};
constexpr int kFilterButton = 3;

// Rows made into markup at a time, each part on a core of its own.
constexpr size_t kPartRows = 16384;

// A worksheet's rows beyond this many bytes need the larger zip records
// (the rest of its markup is far below the margin); smaller ones keep the
// records every reader takes.
constexpr long kZip32Bytes = 0xFFFFFFFFL - (64L << 20);

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

// The sheet around the rows: the header, the cells' styles, the rows'
// markup and the columns' widths.
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

    // Written out at once: the rows' markup goes to the same file after it.
    void Header()
    {
        for (int c = 0; c < xcCount; ++c)
            worksheet_write_string(FSheet, 0, lxw_col_t(c), kHeaders[size_t(c)], FBold);
        lxw_worksheet_write_single_row(FSheet);
    }

    // Numbered here, the size's first: the rows' cells refer to them by number.
    TXlsxCellStyles Styles() const
    {
        TXlsxCellStyles styles;
        styles.Size = lxw_format_get_xf_index(FBytes);
        styles.Modified = lxw_format_get_xf_index(FDateTime);
        return styles;
    }

    // The library writes its rows to this file and puts it in the sheet whole.
    FILE *RowsFile() const { return FSheet->file == FSheet->optimize_tmpfile ? FSheet->file : nullptr; }

    // The sheet's dimension covers the rows written past the library, as it
    // would have had the library written them.
    void Cover(const TXlsxRowsExtent &extent)
    {
        for (size_t c = 0; c < FWidths.size(); ++c)
            FWidths[c] = std::max(FWidths[c], extent.Widths[c]);
        if (extent.LastColumn < 0)
            return;
        FSheet->dim_rowmin = std::min(FSheet->dim_rowmin, lxw_row_t(extent.FirstRow));
        FSheet->dim_rowmax = std::max(FSheet->dim_rowmax, lxw_row_t(extent.LastRow));
        FSheet->dim_colmin = std::min(FSheet->dim_colmin, lxw_col_t(extent.FirstColumn));
        FSheet->dim_colmax = std::max(FSheet->dim_colmax, lxw_col_t(extent.LastColumn));
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

// Who makes a part of the rows' markup: a reader of the rows of its own,
// and the markup's state.
struct TRowMaker
{
    TRowMaker(bool showExtensions, TXlsxCellStyles styles)
        : Markup(showExtensions, styles)
    {
        Row.WithoutTexts = true;
    }
    std::unique_ptr<IListingRows> Own;
    IListingRows *Rows = nullptr;
    TJsonRow Row;
    TXlsxRowMarkup Markup;
};

struct TRowPart
{
    TXlsxMarkup Markup;
    TXlsxRowsExtent Extent;
};

// One maker per core, each with a reader of its own; rows that one thread
// alone may read get one maker, and are made a part at a time.
std::vector<std::unique_ptr<TRowMaker>> RowMakers(
    IListingRows &rows, bool showExtensions, TXlsxCellStyles styles)
{
    std::vector<std::unique_ptr<TRowMaker>> makers;
    const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    for (size_t i = 0; i < cores; ++i) {
        auto maker = std::make_unique<TRowMaker>(showExtensions, styles);
        maker->Own = i == 0 ? nullptr : rows.Reader();
        maker->Rows = i == 0 ? &rows : maker->Own.get();
        if (!maker->Rows)
            break;
        makers.push_back(std::move(maker));
    }
    return makers;
}

} // namespace

QString XlsxSheetName(const QString &folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty())
        name = path;
    // What XML cannot hold would leave a workbook no reader opens.
    for (QChar &c : name)
        if (QStringView(u"[]:*?/\\").contains(c) || c.unicode() < 0x20 || c.unicode() >= 0xFFFE)
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
    uint32_t firstRow = 0;
    if (options.Headers) {
        writer.Header();
        ++firstRow;
    }
    FILE *data = writer.RowsFile();
    if (!data)
        Fail(fileName, EINVAL);
    {
        const auto makers = RowMakers(rows, options.ShowExtensions, writer.Styles());
        const auto make = [&makers, count, firstRow](size_t index, size_t maker, TRowPart &part) {
            TRowMaker &m = *makers[maker];
            part.Markup.Clear();
            part.Extent = {};
            const size_t last = std::min((index + 1) * kPartRows, count);
            for (size_t i = index * kPartRows; i < last; ++i) {
                m.Rows->Row(i, m.Row);
                m.Markup.Append(m.Row, firstRow + uint32_t(i), part.Markup, part.Extent);
            }
        };
        TPartsInOrder<TRowPart> parts((count + kPartRows - 1) / kPartRows, makers.size(), make);
        while (const TRowPart *part = parts.Next()) {
            const std::string_view bytes = part->Markup.Bytes();
            if (std::fwrite(bytes.data(), 1, bytes.size(), data) != bytes.size())
                Fail(fileName, errno);
            writer.Cover(part->Extent);
        }
    }
    writer.SetWidths();
    if (options.Headers) {
        worksheet_freeze_panes(sheet, 1, 0);
        worksheet_autofilter(sheet, 0, 0, lxw_row_t(std::max<size_t>(firstRow + count, 1) - 1), xcCount - 1);
    }
    // The rows went to a temporary file whose write errors the library does
    // not check; a short one would make a whole-looking but cut workbook.
    if (std::fflush(data) != 0 || std::ferror(data))
        Fail(fileName, errno);
    const bool zip64 = std::ftell(data) > kZip32Bytes;
    errno = 0;
    if (book.Close(zip64) != LXW_NO_ERROR)
        Fail(fileName, errno);
    if (const int err = file.Commit())
        Fail(fileName, err);
    if (total > count)
        throw ESpreadsheetCut(count, total);
}
