#include "export/ExportErrors.h"
#include "export/XlsxExport.h"
#include "support/TestSupport.h"
#include "support/XlsxReadBack.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QTimeZone>

#include <memory>
#include <optional>
#include <vector>
#include <xlsxwriter.h>

namespace {

class TVectorRows : public IListingRows
{
public:
    // Shared: the rows may be read from several threads at once.
    explicit TVectorRows(std::vector<TJsonRow> rows, bool shared = false)
        : FRows(std::make_shared<const std::vector<TJsonRow>>(std::move(rows)))
        , FShared(shared)
    { }
    size_t Count() const override { return FRows->size(); }
    void Row(size_t index, TJsonRow &row) override { row = (*FRows)[index]; }
    std::unique_ptr<IListingRows> Reader() const override
    {
        return FShared ? std::make_unique<TVectorRows>(*this) : nullptr;
    }

private:
    std::shared_ptr<const std::vector<TJsonRow>> FRows;
    bool FShared;
};

int64_t UtcMs(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toMSecsSinceEpoch();
}

TJsonRow File(const QString &name, const QString &extension, int64_t size, int64_t modifiedMs = 0)
{
    TJsonRow row;
    row.Name = name;
    row.Path = QStringLiteral("/home/user/Проект/");
    row.Extension = extension;
    row.Size = size;
    row.ModifiedMs = modifiedMs;
    row.OffsetSeconds = 7200;
    return row;
}

TJsonRow Folder(const QString &name)
{
    TJsonRow row = File(name, QString(), 0);
    row.IsFolder = true;
    return row;
}

class XlsxExportTest : public TTempFolderTest
{
protected:
    QJsonObject Write(std::vector<TJsonRow> rows, bool headers = true, bool extensions = false)
    {
        TVectorRows source(std::move(rows));
        TExportOptions options;
        options.Headers = headers;
        options.ShowExtensions = extensions;
        options.Heading = QStringLiteral("/home/user/Проект");
        ListingToXlsx(Out, options, source);
        return ReadXlsx(Out);
    }

    const QString Out = PathOf(QStringLiteral("list.xlsx"));
};

QJsonObject Cell(const QJsonObject &book, int row, int column)
{
    return book[QLatin1String("rows")].toArray()[row].toArray()[column].toObject();
}

QString Text(const QJsonObject &book, int row, int column)
{
    return Cell(book, row, column)[QLatin1String("v")].toString();
}

TEST_F(XlsxExportTest, NumbersDatesAndTextsUnderAFrozenFilteredHeader)
{
    const QJsonObject book = Write({Folder(QStringLiteral("sub")),
        File(QStringLiteral("report.final.txt"), QStringLiteral(".txt"), 1234567, UtcMs(2024, 5, 6, 7, 8, 9)),
        File(QStringLiteral("empty"), QString(), 0, UtcMs(1999, 12, 31, 23, 30, 0))});
    EXPECT_EQ(book[QLatin1String("sheets")].toArray(), QJsonArray{QStringLiteral("Проект")});
    EXPECT_EQ(book[QLatin1String("freeze")].toString(), QStringLiteral("A2"));
    EXPECT_EQ(book[QLatin1String("filter")].toString(), QStringLiteral("A1:E4"));
    EXPECT_EQ(book[QLatin1String("bold")].toArray(), (QJsonArray{true, true, true, true, true}));
    const QStringList headers{QStringLiteral("Name"),
        QStringLiteral("Path"),
        QStringLiteral("Size"),
        QStringLiteral("Extension"),
        QStringLiteral("Last modified")};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(Text(book, 0, c), headers[c]);

    const struct
    {
        int Row;
        int Column;
        QJsonValue Value;
        const char *Type;
        const char *Format;
    } cells[] = {
        {1, 0, QStringLiteral("sub"), "s", "General"},
        {1, 1, QStringLiteral("/home/user/Проект/"), "s", "General"},
        {1, 2, QJsonValue::Null, "n", "General"}, // a folder has no size
        {1, 3, QJsonValue::Null, "n", "General"},
        {2, 0, QStringLiteral("report.final"), "s", "General"},
        {2, 2, 1234567, "n", "#,##0"},
        {2, 3, QStringLiteral(".txt"), "s", "General"},
        // The local time of the listing, two hours east.
        {2, 4, QStringLiteral("2024-05-06T09:08:09"), "d", "yyyy-mm-dd hh:mm:ss"},
        {3, 0, QStringLiteral("empty"), "s", "General"},
        {3, 2, 0, "n", "#,##0"},
        {3, 4, QStringLiteral("2000-01-01T01:30:00"), "d", "yyyy-mm-dd hh:mm:ss"},
    };
    for (const auto &c : cells) {
        SCOPED_TRACE(testing::Message() << c.Row << "," << c.Column);
        const QJsonObject cell = Cell(book, c.Row, c.Column);
        EXPECT_EQ(cell[QLatin1String("v")], c.Value);
        EXPECT_EQ(cell[QLatin1String("t")].toString(), QLatin1String(c.Type));
        EXPECT_EQ(cell[QLatin1String("f")].toString(), QLatin1String(c.Format));
    }
}

// Names are written as they are, whatever script or character they hold, and
// one that looks like a formula or a number stays that text.
TEST_F(XlsxExportTest, EveryNameComesBackAsTheSameText)
{
    const QStringList names{QStringLiteral("Документ"),
        QStringLiteral("Ελληνικά"),
        QStringLiteral("שלום"),
        QStringLiteral("مرحبا"),
        QStringLiteral("สวัสดี"),
        QStringLiteral("中文文件"),
        QStringLiteral("日本語のファイル"),
        QStringLiteral("한국어"),
        QStringLiteral("😀 emoji"),
        QStringLiteral("=1+1"),
        QStringLiteral("+SUM(A1)"),
        QStringLiteral("-rf"),
        QStringLiteral("@cmd"),
        QStringLiteral("007"),
        QStringLiteral("1e5"),
        QStringLiteral("a & <b> \"c\""),
        QStringLiteral("a_x0041_b"),
        QStringLiteral("bell\u0007tab\tend"),
        // Characters XML cannot carry at all: the workbook must still open.
        QStringLiteral("non\uffffcharacter\ufffe"),
        QStringLiteral("  blanks at both ends ")};
    std::vector<TJsonRow> rows;
    for (const QString &name : names)
        rows.push_back(File(name + QStringLiteral(".txt"), QStringLiteral(".txt"), 1));
    const QJsonObject book = Write(rows, false, true);
    ASSERT_EQ(book[QLatin1String("rows")].toArray().size(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        const QJsonObject cell = Cell(book, i, 0);
        EXPECT_EQ(cell[QLatin1String("v")].toString(), names[i] + QStringLiteral(".txt"));
        EXPECT_EQ(cell[QLatin1String("t")].toString(), QStringLiteral("s")) << names[i].toStdString();
    }
    // Without a header row nothing is frozen or filtered.
    EXPECT_TRUE(book[QLatin1String("freeze")].isNull());
    EXPECT_TRUE(book[QLatin1String("filter")].isNull());
}

TEST_F(XlsxExportTest, ColumnsAreWideEnoughButNotEndless)
{
    const QJsonObject book =
        Write({File(QStringLiteral("中文文件中文文件中文.txt"), QStringLiteral(".txt"), 1),
            File(QString(200, QLatin1Char('x')), QString(), 12345678901)});
    const QJsonObject widths = book[QLatin1String("widths")].toObject();
    // Ten wide characters take twenty columns; a 200-character name stops at the cap.
    EXPECT_GE(widths[QLatin1String("A")].toDouble(), 61);
    EXPECT_LT(widths[QLatin1String("A")].toDouble(), 63);
    EXPECT_GE(widths[QLatin1String("B")].toDouble(), 18); // the path
    EXPECT_GE(widths[QLatin1String("C")].toDouble(), 14); // "12,345,678,901"
    EXPECT_GE(widths[QLatin1String("E")].toDouble(), 19); // a date and time
}

// The rows' markup is made beside the library; what the library writes for
// the same cells through its own calls must come out byte for byte.
struct TLibraryCells
{
    QString Name, Path, Extension; // as handed to the library; empty: no cell
    std::optional<double> Size, Modified;
};

QByteArray SheetData(const QByteArray &sheet)
{
    const qsizetype dimension = sheet.indexOf("<dimension");
    const qsizetype begin = sheet.indexOf("<sheetData");
    const qsizetype end = sheet.indexOf("</sheetData>");
    if (dimension < 0 || begin < 0 || end < 0)
        return sheet;
    return sheet.mid(dimension, sheet.indexOf("/>", dimension) - dimension) + sheet.mid(begin, end - begin);
}

QByteArray LibrarySheetData(const QString &path, const std::vector<TLibraryCells> &rows)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format *bytes = workbook_add_format(book);
    format_set_num_format(bytes, "#,##0");
    lxw_format *dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "yyyy-mm-dd hh:mm:ss");
    const char *headers[] = {"Name", "Path", "Size", "Extension", "Last modified"};
    for (lxw_col_t c = 0; c < 5; ++c)
        worksheet_write_string(sheet, 0, c, headers[c], bold);
    lxw_row_t r = 1;
    for (const TLibraryCells &row : rows) {
        worksheet_write_string(sheet, r, 0, row.Name.toUtf8().constData(), nullptr);
        worksheet_write_string(sheet, r, 1, row.Path.toUtf8().constData(), nullptr);
        if (row.Size)
            worksheet_write_number(sheet, r, 2, *row.Size, bytes);
        worksheet_write_string(sheet, r, 3, row.Extension.toUtf8().constData(), nullptr);
        if (row.Modified)
            worksheet_write_number(sheet, r, 4, *row.Modified, dateTime);
        ++r;
    }
    EXPECT_EQ(workbook_close(book), LXW_NO_ERROR);
    return SheetData(ReadXlsxPart(path, QStringLiteral("xl/worksheets/sheet1.xml")));
}

TEST_F(XlsxExportTest, RowsAreMarkedUpAsTheLibraryMarksThemUp)
{
    const int64_t when = UtcMs(2024, 5, 6, 7, 8, 9) + 123;
    const auto serial = [](int64_t ms) {
        return 25569.0 + double(ms + 7200 * 1000) / 86400000.0;
    };
    const QString longPath = QStringLiteral("/") + QString(40000, QLatin1Char('p'));
    const QString twoBytePath = QString(16384, QChar(0xE9)); // é: 32 768 bytes
    std::vector<TJsonRow> rows;
    std::vector<TLibraryCells> cells;
    const auto add = [&](TJsonRow row, TLibraryCells expected) {
        rows.push_back(row);
        cells.push_back(expected);
    };
    // The first row uses both number styles, so the library numbers them as the writer does.
    add(File(QStringLiteral("  lead.txt"), QStringLiteral(".txt"), 0, when),
        {QStringLiteral("  lead.txt"),
            QStringLiteral("/home/user/Проект/"),
            QStringLiteral(".txt"),
            0.0,
            serial(when)});
    for (const int64_t size : {int64_t(9007199254740991),
             int64_t(9007199254740993),
             int64_t(12345678901234567),
             int64_t(1000000000000000000)}) {
        add(File(QStringLiteral("trail "), QString(), size, 0),
            {QStringLiteral("trail "), QStringLiteral("/home/user/Проект/"), {}, double(size), serial(0)});
    }
    const QStringList names{QStringLiteral("\ttab"),
        QStringLiteral("line\nbreak\r"),
        QStringLiteral("ctl\u0001\u001f\u007f"),
        QStringLiteral("a & <b> \"c\" 'd'"),
        QStringLiteral("中文 😀 é"),
        QStringLiteral("_x00 _x12G4_")};
    for (const QString &name : names)
        add(File(name, QString(), 1, UtcMs(1800, 1, 1, 0, 0, 0)),
            {name, QStringLiteral("/home/user/Проект/"), {}, 1.0, serial(UtcMs(1800, 1, 1, 0, 0, 0))});
    // A name's own escape keeps its "_"; the library is handed it so written.
    add(File(QStringLiteral("a_x0041_b"), QString(), 1, when),
        {QStringLiteral("a_x005F_x0041_b"), QStringLiteral("/home/user/Проект/"), {}, 1.0, serial(when)});
    TJsonRow folder = Folder(QStringLiteral("sub"));
    folder.Path = QStringLiteral("/other/");
    folder.ModifiedMs = when;
    add(folder, {QStringLiteral("sub"), QStringLiteral("/other/"), {}, {}, serial(when)});
    folder.SizeIsTotal = true;
    folder.Size = 42;
    folder.HasModified = false;
    add(folder, {QStringLiteral("sub"), QStringLiteral("/other/"), {}, 42.0, {}});
    // Texts past a cell's 32 767 bytes are cut on a character.
    TJsonRow deep = File(QStringLiteral("deep"), QString(), 5, when);
    deep.Path = longPath;
    add(deep, {QStringLiteral("deep"), longPath.left(32767), {}, 5.0, serial(when)});
    deep.Path = twoBytePath;
    add(deep, {QStringLiteral("deep"), twoBytePath.left(16383), {}, 5.0, serial(when)});

    TVectorRows source(rows);
    TExportOptions options;
    options.ShowExtensions = true;
    ListingToXlsx(Out, options, source);
    const QByteArray ours = SheetData(ReadXlsxPart(Out, QStringLiteral("xl/worksheets/sheet1.xml")));
    const QByteArray library = LibrarySheetData(PathOf(QStringLiteral("library.xlsx")), cells);
    ASSERT_FALSE(library.isEmpty());
    EXPECT_EQ(ours, library);
}

TEST_F(XlsxExportTest, RowsMadeOnSeveralCoresComeInTheirOrder)
{
    // Parts of rows are made at once, each by a reader of its own.
    constexpr int kRows = 40000;
    std::vector<TJsonRow> rows;
    for (int i = 0; i < kRows; ++i)
        rows.push_back(File(QStringLiteral("f%1").arg(i), QString(), i));
    TVectorRows source(std::move(rows), true);
    ListingToXlsx(Out, TExportOptions(), source);
    const QByteArray sheet = ReadXlsxPart(Out, QStringLiteral("xl/worksheets/sheet1.xml"));
    EXPECT_TRUE(sheet.contains("<dimension ref=\"A1:E40001\"/>"));
    EXPECT_EQ(sheet.count("<row "), kRows + 1);
    qsizetype at = 0;
    for (int i = 0; i < kRows; ++i) {
        const QByteArray number = QByteArray::number(i + 2);
        at = sheet.indexOf("<row r=\"" + number + "\"><c r=\"A" + number + "\" t=\"inlineStr\"><is><t>f"
                + QByteArray::number(i) + "</t>",
            at);
        ASSERT_GE(at, 0) << "row " << i;
    }
}

TEST_F(XlsxExportTest, MoreRowsThanTheSheetHoldsWritesTheFirstOnesThenFails)
{
    for (const bool headers : {true, false}) {
        SCOPED_TRACE(headers);
        std::vector<TJsonRow> rows;
        for (int i = 0; i < 10; ++i)
            rows.push_back(File(QStringLiteral("f%1").arg(i), QString(), i));
        TVectorRows source(rows);
        TExportOptions options;
        options.Headers = headers;
        EXPECT_RAISES(ListingToXlsx(Out, options, source, 5),
            headers ? QStringLiteral("The spreadsheet holds the first 4 of 10 rows")
                    : QStringLiteral("The spreadsheet holds the first 5 of 10 rows"));
        const QJsonObject book = ReadXlsx(Out);
        const QJsonArray read = book[QLatin1String("rows")].toArray();
        ASSERT_EQ(read.size(), 5);
        EXPECT_EQ(Text(book, 4, 0), headers ? QStringLiteral("f3") : QStringLiteral("f4"));
    }
    EXPECT_EQ(ESpreadsheetCut(1048575, 1200000).Message(),
        QStringLiteral("The spreadsheet holds the first 1 048 575 of 1 200 000 rows"));
}

// Rows that fail part way, as a listing whose source goes away would.
class TBrokenRows : public IListingRows
{
public:
    size_t Count() const override { return 1000; }
    void Row(size_t index, TJsonRow &row) override
    {
        if (index == 500)
            throw EError(QStringLiteral("gone"));
        row = File(QStringLiteral("f%1").arg(index), QString(), qint64(index));
    }
};

int OpenDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

TEST_F(XlsxExportTest, AFailureLeavesNoFileBehind)
{
    // Given up part way: the error passes, nothing is left open or on disk.
    TBrokenRows broken;
    const int before = OpenDescriptors();
    EXPECT_RAISES(ListingToXlsx(Out, TExportOptions(), broken), QStringLiteral("gone"));
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_TRUE(QDir(FDir.path()).entryList(QDir::Files).isEmpty());

    TVectorRows rows({File(QStringLiteral("a"), QString(), 1)});
    const QString missing = PathOf(QStringLiteral("no/such/folder/list.xlsx"));
    EXPECT_THROW(ListingToXlsx(missing, TExportOptions(), rows), EInOutError);
    EXPECT_FALSE(QFile::exists(missing));

    // A workbook replaces the file whole, with nothing left beside it.
    WriteFile(Out, "old");
    ListingToXlsx(Out, TExportOptions(), rows);
    EXPECT_TRUE(ReadAll(Out).startsWith("PK"));
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList{QStringLiteral("list.xlsx")});
}

TEST(XlsxSheetName, IsTheFolderNameAsASheetMayHoldIt)
{
    const struct
    {
        QString Folder;
        QString Name;
    } cases[] = {
        {QStringLiteral("/home/user/Проект"), QStringLiteral("Проект")},
        {QStringLiteral("/home/user/trailing/"), QStringLiteral("trailing")},
        {QStringLiteral("/"), QStringLiteral("_")},
        {QStringLiteral("/data/a[1]:*?\\b"), QStringLiteral("a_1_____b")},
        {QStringLiteral("/data/'quoted'"), QStringLiteral("_quoted_")},
        {QStringLiteral("/data/a\u0001b\uffff"), QStringLiteral("a_b_")},
        {QStringLiteral("/data/") + QString(40, QLatin1Char('n')), QString(31, QLatin1Char('n'))},
        // 31 units would end in half a pair; the pair goes whole.
        {QStringLiteral("/data/ab")
                + QString(20, QLatin1Char('x')).replace(QLatin1String("x"), QStringLiteral("😀")),
            QStringLiteral("ab")
                + QString(14, QLatin1Char('x')).replace(QLatin1String("x"), QStringLiteral("😀"))},
    };
    for (const auto &c : cases)
        EXPECT_EQ(XlsxSheetName(c.Folder), c.Name) << c.Folder.toStdString();
}

} // namespace
