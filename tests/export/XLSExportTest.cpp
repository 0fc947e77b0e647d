#include "ExportTestSupport.h"
#include "export/uNativeXLSExport.h"
#include "platform/Errors.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TRecord
{
    uint16_t Id;
    QByteArray Body;
    uint16_t Word(int offset) const
    {
        return uint16_t(uint8_t(Body[offset]) | uint8_t(Body[offset + 1]) << 8);
    }
    // LABEL accessors.
    uint16_t Row() const { return Word(0); }
    uint16_t Col() const { return Word(2); }
    QByteArray Attributes() const { return Body.mid(4, 3); }
    QByteArray Text() const { return Body.mid(8); }
};

std::vector<TRecord> Records(const QByteArray &file)
{
    std::vector<TRecord> out;
    qsizetype pos = 0;
    while (pos + 4 <= file.size()) {
        const auto word = [&](qsizetype p) {
            return uint16_t(uint8_t(file[p]) | uint8_t(file[p + 1]) << 8);
        };
        const uint16_t id = word(pos);
        const uint16_t length = word(pos + 2);
        out.push_back({id, file.mid(pos + 4, length)});
        pos += 4 + length;
    }
    EXPECT_EQ(pos, file.size()) << "trailing bytes";
    return out;
}

QByteArray Xls(const TGridTable &grid, bool headers, bool gridLines)
{
    return Captured([&](QIODevice &d) {
        GridToXLS(d, headers, gridLines, grid);
    });
}

const char *const kBof = "09 08 06 00 00 00 10 00 00 00";
const char *const kCodePage1252 = "42 00 02 00 E4 04";
const char *const kDimensions = "00 00 08 00 00 00 FF FF 00 00 64 00";
const char *const kEof = "0A 00 00 00";

TGridTable NameGrid()
{
    return MakeGrid({QStringLiteral("??"), QStringLiteral("Name")},
        {{QStringLiteral("/x/a.txt"), QStringLiteral("a.txt")}},
        {0});
}

// The 59 bytes of the description's example, and the CODEPAGE record after BOF.
TEST(XLSExport, TheSixtyFiveByteExample)
{
    const QByteArray expected = Hex(kBof) + Hex(kCodePage1252) + Hex(kDimensions)
        + Hex("04 00 0C 00 00 00 00 00 00 00 F8 04 4E 61 6D 65")
        + Hex("04 00 0D 00 01 00 00 00 00 00 78 05 61 2E 74 78 74") + Hex(kEof);
    ASSERT_EQ(expected.size(), 65);
    EXPECT_EQ(Xls(NameGrid(), true, true).toHex(' '), expected.toHex(' '));
}

TEST(XLSExport, WithoutHeadersTheDataStartsAtRowZero)
{
    const QByteArray expected = Hex(kBof) + Hex(kCodePage1252) + Hex(kDimensions)
        + Hex("04 00 0D 00 00 00 00 00 00 00 78 05 61 2E 74 78 74") + Hex(kEof);
    EXPECT_EQ(Xls(NameGrid(), false, true).toHex(' '), expected.toHex(' '));
}

TEST(XLSExport, AttributesFollowTheGridLinesFlag)
{
    const std::vector<TRecord> records = Records(Xls(NameGrid(), true, false));
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[3].Attributes(), Hex("00 00 80"));
    EXPECT_EQ(records[4].Attributes(), Hex("00 00 00"));
}

TEST(XLSExport, NoRowsLeavesHeadersOnly)
{
    TGridTable grid = NameGrid();
    grid.SetRowCount(0);
    EXPECT_EQ(Xls(grid, true, true),
        Hex(kBof) + Hex(kCodePage1252) + Hex(kDimensions)
            + Hex("04 00 0C 00 00 00 00 00 00 00 F8 04 4E 61 6D 65") + Hex(kEof));
    EXPECT_EQ(Xls(grid, false, true), Hex(kBof) + Hex(kCodePage1252) + Hex(kDimensions) + Hex(kEof));
}

TEST(XLSExport, AnEmptyCellIsStillALabel)
{
    const TGridTable grid = MakeGrid({QStringLiteral("A")}, {{QString()}});
    EXPECT_EQ(Xls(grid, false, false),
        Hex(kBof) + Hex(kCodePage1252) + Hex(kDimensions) + Hex("04 00 08 00 00 00 00 00 00 00 00 00")
            + Hex(kEof));
}

TEST(XLSExport, ColumnByColumnWithHiddenColumnsRenumbered)
{
    // Columns 0 and 2 hidden: grid column 1 becomes 0 and grid column 3 becomes 1.
    const TGridTable grid =
        MakeGrid({QStringLiteral("h0"), QStringLiteral("A"), QStringLiteral("h2"), QStringLiteral("B")},
            {{QStringLiteral("x"), QStringLiteral("a0"), QStringLiteral("y"), QStringLiteral("b0")},
                {QStringLiteral("x"), QStringLiteral("a1"), QStringLiteral("y"), QStringLiteral("b1")},
                {QStringLiteral("x"), QStringLiteral("a2"), QStringLiteral("y"), QStringLiteral("b2")}},
            {0, 2});
    const std::vector<TRecord> records = Records(Xls(grid, true, false));
    struct
    {
        uint16_t row, col;
        const char *text;
    } const expected[] = {{0, 0, "A"},
        {0, 1, "B"},
        {1, 0, "a0"},
        {2, 0, "a1"},
        {3, 0, "a2"},
        {1, 1, "b0"},
        {2, 1, "b1"},
        {3, 1, "b2"}};
    ASSERT_EQ(records.size(), std::size(expected) + 4);
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TRecord &r = records[i + 3];
        EXPECT_EQ(r.Id, 0x0004) << i;
        EXPECT_EQ(r.Row(), expected[i].row) << i;
        EXPECT_EQ(r.Col(), expected[i].col) << i;
        EXPECT_EQ(r.Text(), QByteArray(expected[i].text)) << i;
    }
    EXPECT_EQ(records.back().Id, 0x000A);
}

TEST(XLSExport, NoHiddenColumnsNumbersFromZero)
{
    const TGridTable grid = MakeGrid({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
        {{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}});
    const std::vector<TRecord> records = Records(Xls(grid, false, false));
    ASSERT_EQ(records.size(), 7u);
    for (uint16_t c = 0; c < 3; ++c)
        EXPECT_EQ(records[3 + c].Col(), c);
}

TEST(XLSExport, RowsStopAtTheRowBound)
{
    TGridTable grid = MakeGrid({QStringLiteral("A"), QStringLiteral("B")}, {});
    grid.SetRowCount(70000);
    grid.SetCells(0, 65534, QStringLiteral("last"));
    grid.SetCells(0, 65535, QStringLiteral("beyond"));
    // The file is whole, and the cut is an error, never a silent success.
    QString message;
    const QByteArray file = Captured([&](QIODevice &d) {
        try {
            GridToXLS(d, true, false, grid);
        } catch (const ESpreadsheetCut &e) {
            message = e.Message();
        }
    });
    EXPECT_EQ(message, QStringLiteral("The spreadsheet holds the first 65 535 of 70 000 rows"));
    const std::vector<TRecord> records = Records(file);
    ASSERT_EQ(records.size(), 3u + 2u + 2u * 65535u + 1u);
    const TRecord &lastOfA = records[5 + 65534];
    EXPECT_EQ(lastOfA.Row(), 65535);
    EXPECT_EQ(lastOfA.Col(), 0);
    EXPECT_EQ(lastOfA.Text(), QByteArray("last"));
    EXPECT_EQ(records[5 + 65535].Row(), 1);
    EXPECT_EQ(records[5 + 65535].Col(), 1);
    EXPECT_EQ(records.back().Id, 0x000A);
}

TEST(XLSExport, TheColumnBoundGrowsOnlyPastOneHundred)
{
    for (const auto &[columns, bound] : {std::pair{1, 100}, {100, 100}, {101, 102}, {150, 151}}) {
        QStringList headers;
        for (int c = 0; c < columns; ++c)
            headers << QString::number(c);
        const std::vector<TRecord> records = Records(Xls(MakeGrid(headers, {}), false, false));
        ASSERT_GE(records.size(), 3u);
        EXPECT_EQ(records[2].Word(6), bound) << columns;
        EXPECT_EQ(records[2].Word(2), 65535) << columns;
    }
}

TEST(XLSExport, LongTextIsCutAfter255Bytes)
{
    const QString text = QString(150, QChar(0x00E9)) + QString(150, QLatin1Char('z')); // é is one byte
    const std::vector<TRecord> records =
        Records(Xls(MakeGrid({QStringLiteral("A")}, {{text}}), false, false));
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[3].Body.size(), 263);
    EXPECT_EQ(uint8_t(records[3].Body[7]), 255);
    EXPECT_EQ(records[3].Text(), QByteArray(150, char(0xE9)) + QByteArray(105, 'z'));
}

TEST(XLSExport, TextIsConvertedToTheAnsiCodePage)
{
    const std::vector<TRecord> records =
        Records(Xls(MakeGrid({QStringLiteral("A")}, {{QStringLiteral("\u20ACd\u0436")}}), false, false));
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[3].Text(), Hex("80 64 3F")); // euro, d, a Cyrillic letter without a place
}

// Each file names its code page, and a double-byte text is cut between characters.
TEST(XLSExport, OtherCodePagesAreNamedAndCutOnACharacter)
{
    const struct
    {
        int CodePage;
        QString Text;
        QByteArray CodePageRecord;
        QByteArray Bytes;
    } rows[] = {
        {1251, QStringLiteral("\u0414\u20AC"), Hex("42 00 02 00 E3 04"), Hex("C4 88")},
        {932, QStringLiteral("\u5E74.txt"), Hex("42 00 02 00 A4 03"), Hex("94 4E 2E 74 78 74")},
        {932,
            QLatin1Char('a') + QString(200, QChar(0x5E74)),
            Hex("42 00 02 00 A4 03"),
            "a" + QByteArray("\x94\x4E").repeated(127)},
        {932, QString(200, QChar(0x5E74)), Hex("42 00 02 00 A4 03"), QByteArray("\x94\x4E").repeated(127)},
        {1258, QStringLiteral("\u1EA5"), Hex("42 00 02 00 EA 04"), Hex("E2 EC")},
    };
    for (const auto &r : rows) {
        const QByteArray file = Captured([&](QIODevice &d) {
            GridToXLS(d,
                false,
                false,
                MakeGrid({QStringLiteral("A")}, {{r.Text}}),
                TTextEncoding::CodePage(r.CodePage));
        });
        const std::vector<TRecord> records = Records(file);
        ASSERT_EQ(records.size(), 5u) << r.CodePage;
        EXPECT_EQ(file.mid(10, 6).toHex(' '), r.CodePageRecord.toHex(' ')) << r.CodePage;
        EXPECT_EQ(records[3].Text().toHex(' '), r.Bytes.toHex(' ')) << r.CodePage;
        EXPECT_EQ(uint8_t(records[3].Body[7]), r.Bytes.size()) << r.CodePage;
    }
}

TEST(XLSExport, UTF8IsRefusedBeforeAnythingIsWritten)
{
    const QByteArray file = Captured([](QIODevice &d) {
        EXPECT_RAISES(GridToXLS(d, true, true, NameGrid(), TTextEncoding::Utf8()),
            QStringLiteral("The spreadsheet format takes text in a Windows code page, not UTF-8"));
    });
    EXPECT_TRUE(file.isEmpty());
}

TEST(XLSExport, EncodeAttributes)
{
    struct
    {
        TSetOfAtribut set;
        const char *bytes;
    } const cases[] = {
        {{acHidden, acLocked}, "C0 00 00"},
        {{acShaded, acCenter}, "00 00 82"},
        {{acRight, acFill}, "00 00 03"},
        {{acLeft, acRight}, "00 00 01"},
        {{}, "00 00 00"},
        {{acBottomBorder, acTopBorder, acRightBorder, acLeftBorder}, "00 00 78"},
        {{acFill}, "00 00 04"},
    };
    for (const auto &c : cases) {
        const std::array<uint8_t, 3> bytes = EncodeAttributes(c.set);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(bytes.data()), 3), Hex(c.bytes)) << c.bytes;
    }
    EXPECT_EQ(TSetOfAtribut({acHidden, acFill}).Bits(), 0x0401);
}

TEST(XLSExport, NumberRecordsSwapTheirCoordinatesToo)
{
    const QByteArray bytes = Captured([](QIODevice &d) {
        TXLSWriter writer(d);
        writer.CellWord(1, 2, 0x1234, {acLocked});
        writer.CellDouble(3, 4, 1.5, {});
        writer.Close();
    });
    EXPECT_EQ(bytes.toHex(' '),
        (Hex("02 00 09 00 01 00 02 00 40 00 00 34 12")
            + Hex("03 00 0F 00 03 00 04 00 00 00 00 00 00 00 00 00 00 F8 3F"))
            .toHex(' '));
}

class XLSFile : public TTempFolderTest
{ };

TEST_F(XLSFile, TheFileHoldsTheDeviceBytesAndNothingOfAnOlderLongerFile)
{
    const QString path = PathOf(QStringLiteral("list.xls"));
    WriteFile(path, QByteArray(4096, 'x'));
    GridToXLS(path, true, true, NameGrid());
    EXPECT_EQ(ReadAll(path), Xls(NameGrid(), true, true));
}

TEST_F(XLSFile, AReadOnlyFileIsRefusedAndLeftAlone)
{
    const QString path = PathOf(QStringLiteral("ro.xls"));
    WriteFile(path, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    GiveToUnprivileged(FDir.path());
    EXPECT_EQ(AsUnprivileged([&] {
        return ErrorOf([&] {
            GridToXLS(path, true, true, NameGrid());
        }).toStdString();
    }),
        QStringLiteral("Cannot open file \"%1\". Permission denied").arg(path).toStdString());
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
}

TEST_F(XLSFile, CreateErrorsNameTheFullPathAndTheReason)
{
    QDir(FDir.path()).mkdir(QStringLiteral("folder.xls"));
    const struct
    {
        QString path;
        QString reason;
    } cases[] = {
        {PathOf(QStringLiteral("missing/list.xls")), QStringLiteral("No such file or directory")},
        {PathOf(QStringLiteral("folder.xls")), QStringLiteral("Is a directory")},
    };
    for (const auto &c : cases) {
        try {
            GridToXLS(c.path, true, true, NameGrid());
            ADD_FAILURE() << "no error for " << qPrintable(c.path);
        } catch (const EFCreateError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Cannot create file \"%1\". %2").arg(c.path, c.reason));
        }
    }
    EXPECT_FALSE(QFileInfo::exists(PathOf(QStringLiteral("missing"))));
}

TEST_F(XLSFile, ARelativeNameIsReportedInFull)
{
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FDir.path()));
    try {
        GridToXLS(QStringLiteral("nowhere/list.xls"), false, false, NameGrid());
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError &e) {
        EXPECT_TRUE(e.Message().startsWith(
            QStringLiteral("Cannot create file \"%1/nowhere/list.xls\".").arg(QDir::currentPath())))
            << qPrintable(e.Message());
    }
    QDir::setCurrent(cwd);
}

TEST_F(XLSFile, AFullDiskIsReportedNotHidden)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    try {
        GridToXLS(QStringLiteral("/dev/full"), true, true, NameGrid());
        FAIL() << "no error";
    } catch (const EInOutError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("I/O error 112"));
    }
}

} // namespace
