#include "ExportTestSupport.h"
#include "export/uSGExports.h"
#include "platform/Clipboard.h"

#include <gtest/gtest.h>

namespace {

const QChar kTab = QLatin1Char('\t');
const QChar kComma = QLatin1Char(',');

QByteArray Delimited(const TGridTable &grid, QChar delimiter, bool headers)
{
    return Captured([&](QIODevice &d) {
        GridToDelimited(d, delimiter, headers, grid);
    });
}

struct TCellCase
{
    const char *name;
    QChar delimiter;
    QString cell;
    QByteArray written;
};

TEST(DelimitedExport, CellsAreEnclosedOnlyWhereTheyMustBe)
{
    const TCellCase cases[] = {
        {"plain", kComma, QStringLiteral("a.txt"), "a.txt,"},
        {"comma, comma delimiter", kComma, QStringLiteral("1,5 KB"), "\"1,5 KB\","},
        {"comma, tab delimiter", kTab, QStringLiteral("1,5 KB"), "\"1,5 KB\"\t"},
        {"tab in a tab line is a space", kTab, QStringLiteral("a\tb"), "a b\t"},
        {"tab in a comma line stays", kComma, QStringLiteral("a\tb"), "a\tb,"},
        {"lone quote stays", kTab, QStringLiteral("say \"hi\""), "say \"hi\"\t"},
        {"quote inside an enclosed cell doubles", kComma, QStringLiteral("a,\"b\""), "\"a,\"\"b\"\"\","},
        {"line feed encloses", kComma, QStringLiteral("two\nlines"), "\"two\nlines\","},
        {"line breaks in a tab line are spaces", kTab, QStringLiteral("a\r\nb,c"), "\"a  b,c\"\t"},
        {"carriage return encloses", kComma, QStringLiteral("x\ry"), "\"x\ry\","},
        {"quote with a line break doubles", kComma, QStringLiteral("\"q\"\n"), "\"\"\"q\"\"\n\","},
        {"empty", kComma, QString(), ","},
        {"look-alike or ?", kTab, QStringLiteral("caf\u00E9 \u0436 \u0100"), "caf\xE9 ? A\t"},
    };
    for (const TCellCase &c : cases) {
        const TGridTable grid = MakeGrid({QStringLiteral("A")}, {{c.cell}});
        EXPECT_EQ(Delimited(grid, c.delimiter, false), c.written + "\r\n") << c.name;
    }
}

TEST(DelimitedExport, EveryCellIsFollowedByTheDelimiter)
{
    const TGridTable grid =
        MakeGrid({QStringLiteral("??"), QStringLiteral("Name"), QStringLiteral("Size, text")},
            {{QStringLiteral("/p/a.txt"), QStringLiteral("a.txt"), QStringLiteral("1,5 KB")},
                {QString(), QString(), QString()}},
            {0});
    EXPECT_EQ(Delimited(grid, kComma, true), QByteArray("Name,Size, text,\r\na.txt,\"1,5 KB\",\r\n,,\r\n"));
    EXPECT_EQ(Delimited(grid, kTab, false), QByteArray("a.txt\t\"1,5 KB\"\t\r\n\t\t\r\n"));
}

// A name such as =2+3.txt would be a live formula in a spreadsheet that opens the file.
TEST(DelimitedExport, CellsThatStartLikeAFormulaStayText)
{
    const TCellCase cases[] = {
        {"equals", kComma, QStringLiteral("=2+3.txt"), "'=2+3.txt,"},
        {"plus", kTab, QStringLiteral("+1"), "'+1\t"},
        {"minus", kComma, QStringLiteral("-2"), "'-2,"},
        {"at", kTab, QStringLiteral("@SUM(A1)"), "'@SUM(A1)\t"},
        {"leading tab, comma line", kComma, QStringLiteral("\t=1"), "'\t=1,"},
        {"leading tab, tab line", kTab, QStringLiteral("\t=1"), "' =1\t"},
        {"leading carriage return", kComma, QStringLiteral("\r=1"), "\"'\r=1\","},
        {"inside an enclosed cell",
            kComma,
            QStringLiteral("=HYPERLINK(\"x\",\"y\")"),
            "\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\","},
        {"not at the start", kComma, QStringLiteral("a=b-c"), "a=b-c,"},
        {"apostrophe already", kTab, QStringLiteral("'=1"), "'=1\t"},
        {"leading line feed", kComma, QStringLiteral("\nx"), "\"\nx\","},
    };
    for (const TCellCase &c : cases) {
        const TGridTable grid = MakeGrid({QStringLiteral("A")}, {{c.cell}});
        EXPECT_EQ(Delimited(grid, c.delimiter, false), c.written + "\r\n") << c.name;
    }
    const TGridTable named = MakeGrid({QStringLiteral("=Name"), QStringLiteral("a\tb")}, {});
    EXPECT_EQ(Delimited(named, kComma, true), QByteArray("'=Name,a\tb,\r\n"));
    EXPECT_EQ(Delimited(named, kTab, true), QByteArray("'=Name\ta b\t\r\n"));
}

TEST(DelimitedExport, HeadersAreNeverEnclosed)
{
    const TGridTable grid = MakeGrid({QStringLiteral("a,\"b\""), QStringLiteral("c\nd")}, {});
    EXPECT_EQ(Delimited(grid, kComma, true), QByteArray("a,\"b\",c\nd,\r\n"));
}

TEST(DelimitedExport, NoRows)
{
    const TGridTable grid = MakeGrid({QStringLiteral("A"), QStringLiteral("B")}, {});
    EXPECT_EQ(Delimited(grid, kTab, true), QByteArray("A\tB\t\r\n"));
    EXPECT_EQ(Delimited(grid, kTab, false), QByteArray());
}

TEST(DelimitedExport, AllColumnsHiddenGivesEmptyLines)
{
    const TGridTable grid = MakeGrid({QStringLiteral("A"), QStringLiteral("B")},
        {{QStringLiteral("x"), QStringLiteral("y")}, {QStringLiteral("z")}},
        {0, 1});
    EXPECT_EQ(Delimited(grid, kComma, true), QByteArray("\r\n\r\n\r\n"));
}

class FakeClipboard : public IClipboard
{
public:
    void SetText(const QString &text) override
    {
        FText = text;
        ++FCalls;
    }
    QString Text() const override { return FText; }
    QString FText = QStringLiteral("previous content");
    int FCalls = 0;
};

class ClipboardExport : public ::testing::Test
{
protected:
    void SetUp() override { SetClipboard(&FClipboard); }
    void TearDown() override { SetClipboard(nullptr); }
    FakeClipboard FClipboard;
};

TEST_F(ClipboardExport, EveryColumnTabsBetweenCarriageReturnsBetweenRows)
{
    const QStringList xyz{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z, \"q\"")};
    const struct
    {
        std::vector<QStringList> rows;
        QString text;
    } cases[] = {
        {{}, QString()},
        {{xyz}, QStringLiteral("x\ty\tz, \"q\"")},
        {{xyz, xyz}, QStringLiteral("x\ty\tz, \"q\"\rx\ty\tz, \"q\"")},
    };
    for (const auto &c : cases) {
        // The first column is hidden and still copied.
        GridToClipboard(
            MakeGrid({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, c.rows, {0}));
        EXPECT_EQ(FClipboard.FText, c.text) << c.rows.size() << " rows";
    }
    EXPECT_EQ(FClipboard.FCalls, 3);
}

TEST_F(ClipboardExport, CellsKeepToTheirRowAndColumnAndStayText)
{
    // A folder may be named with a TAB or a CR, and a file like a formula.
    GridToClipboard(MakeGrid({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
        {{QStringLiteral("/p/a\tb"), QStringLiteral("=2+3.txt"), QStringLiteral("x\ry\nz")},
            {QStringLiteral("-1"), QStringLiteral("\tq"), QStringLiteral("@")}},
        {0}));
    EXPECT_EQ(FClipboard.FText, QStringLiteral("/p/a b\t'=2+3.txt\tx y z\r'-1\t' q\t'@"));
}

TEST_F(ClipboardExport, AFullPathKeepingBytesIsPastedAsAReaderShowsIt)
{
    const QString kept = QStringLiteral("/p/b") + QChar(0xDCFF) + QStringLiteral("d.txt");
    GridToClipboard(
        MakeGrid({QStringLiteral("A"), QStringLiteral("B")}, {{kept, QStringLiteral("b\uFFFDd.txt")}}, {0}));
    EXPECT_EQ(FClipboard.FText, QStringLiteral("/p/b\uFFFDd.txt\tb\uFFFDd.txt"));
}

} // namespace
