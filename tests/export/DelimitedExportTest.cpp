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
        {"tab in a tab line stays bare", kTab, QStringLiteral("a\tb"), "a\tb\t"},
        {"lone quote stays", kTab, QStringLiteral("say \"hi\""), "say \"hi\"\t"},
        {"quote inside an enclosed cell doubles", kComma, QStringLiteral("a,\"b\""), "\"a,\"\"b\"\"\","},
        {"line feed encloses", kTab, QStringLiteral("two\nlines"), "\"two\nlines\"\t"},
        {"carriage return encloses", kComma, QStringLiteral("x\ry"), "\"x\ry\","},
        {"quote with a line break doubles", kTab, QStringLiteral("\"q\"\n"), "\"\"\"q\"\"\n\"\t"},
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

} // namespace
