#include "CountingObserver.h"
#include "listing/GridColumns.h"
#include "listing/StringGridSort.h"

#include <gtest/gtest.h>

namespace {

using Mode = TSortCompareMode;

// A one-column grid holding keys, each row tagged in a second column with its old row number.
TGridTable KeyGrid(const QStringList &keys)
{
    TGridTable grid({TGridColumn{QStringLiteral("key"), QStringLiteral("Key")},
        TGridColumn{QStringLiteral("row"), QStringLiteral("Row")}});
    grid.SetRowCount(int(keys.size()));
    for (int r = 0; r < grid.RowCount(); ++r) {
        grid.SetCells(0, r, keys[r]);
        grid.SetCells(1, r, QString::number(r));
    }
    return grid;
}

std::vector<int> OldRows(const TGridTable &grid)
{
    std::vector<int> rows;
    for (int r = 0; r < grid.RowCount(); ++r)
        rows.push_back(grid.Cells(1, r).toInt());
    return rows;
}

class StringGridSortTest : public ::testing::TestWithParam<Mode>
{
protected:
    TTextComparer comparer{QLocale(QLocale::English, QLocale::UnitedStates)};
    std::vector<int> Sorted(const QStringList &keys)
    {
        TGridTable grid = KeyGrid(keys);
        StringGridSort(grid, 0, comparer, GetParam());
        return OldRows(grid);
    }
};

TEST_P(StringGridSortTest, EqualKeysLandInTheQuicksortsOrder)
{
    const struct
    {
        int count;
        std::vector<int> rows;
    } cases[] = {{2, {1, 0}}, {3, {2, 1, 0}}, {5, {3, 4, 2, 0, 1}}};
    for (const auto &c : cases) {
        QStringList keys;
        for (int i = 0; i < c.count; ++i)
            keys << QStringLiteral("/home/user/");
        EXPECT_EQ(Sorted(keys), c.rows) << c.count << " equal keys";
    }
}

TEST_P(StringGridSortTest, CaseIsIgnoredAndEqualKeysKeepTheQuicksortsOrder)
{
    const QStringList keys = {QStringLiteral("b"),
        QStringLiteral("A"),
        QStringLiteral("a"),
        QStringLiteral("B"),
        QStringLiteral("c")};
    EXPECT_EQ(Sorted(keys), (std::vector<int>{2, 1, 3, 0, 4}));
}

TEST_P(StringGridSortTest, FollowsTheLocalesCollationNotCodePoints)
{
    const QStringList keys = {QStringLiteral("zebra"),
        QStringLiteral("\u00e9t\u00e9"),
        QStringLiteral("Apple"),
        QStringLiteral("eta"),
        QStringLiteral("f")};
    // Code-point order would put Apple first and the accented word last.
    EXPECT_EQ(Sorted(keys), (std::vector<int>{2, 3, 1, 4, 0}));
}

TEST_P(StringGridSortTest, EmptyKeysComeFirst)
{
    const QStringList keys = {QStringLiteral("b"), QString(), QStringLiteral("\u200b"), QStringLiteral("a")};
    const std::vector<int> rows = Sorted(keys);
    EXPECT_EQ(rows.front(), 1);
    EXPECT_EQ(rows.back(), 0);
}

TEST_P(StringGridSortTest, SmallGridsStayAsTheyAre)
{
    EXPECT_EQ(Sorted({QStringLiteral("z")}), std::vector<int>{0});
    EXPECT_EQ(Sorted({}), std::vector<int>{});
}

TEST_P(StringGridSortTest, EveryColumnMovesWithItsRowHiddenOnesToo)
{
    TGridTable grid(FileListColumns());
    grid.SetColumnVisible(scFullPath, false);
    const QStringList names = {
        QStringLiteral("delta"), QStringLiteral("alpha"), QStringLiteral("Charlie"), QStringLiteral("bravo")};
    grid.SetRowCount(int(names.size()));
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColumnCount(); ++c)
            grid.SetCells(c, r, c == scName ? names[r] : names[r] + QLatin1Char('#') + QString::number(c));
    StringGridSort(grid, scName, comparer, GetParam());
    const QStringList expected = {
        QStringLiteral("alpha"), QStringLiteral("bravo"), QStringLiteral("Charlie"), QStringLiteral("delta")};
    for (int r = 0; r < grid.RowCount(); ++r) {
        ASSERT_EQ(grid.Cells(scName, r), expected[r]);
        for (int c = 0; c < grid.ColumnCount(); ++c) {
            if (c != scName) {
                EXPECT_EQ(grid.Cells(c, r), expected[r] + QLatin1Char('#') + QString::number(c))
                    << c << "," << r;
            }
        }
    }
}

TEST_P(StringGridSortTest, AShownGridResetsOnce)
{
    TGridTable grid = KeyGrid({QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("b")});
    CountingObserver observer;
    grid.SetObserver(&observer);
    StringGridSort(grid, 0, comparer, GetParam());
    EXPECT_EQ(observer.resets, 1);
    EXPECT_EQ(observer.cells, 0);
    EXPECT_FALSE(grid.Updating());
}

INSTANTIATE_TEST_SUITE_P(Modes,
    StringGridSortTest,
    ::testing::Values(Mode::scmDirect, Mode::scmSortKeys),
    [](const ::testing::TestParamInfo<Mode> &param) {
        return std::string(param.param == Mode::scmDirect ? "Direct" : "SortKeys");
    });

// Names as a listing holds them: case variants, accents, dots, digits, blanks, duplicates.
std::vector<QString> MixedNames(int count)
{
    static const char16_t *const parts[] = {u"report",
        u"Report",
        u"r\u00e9sum\u00e9",
        u"RESUME",
        u".cache",
        u"a.b",
        u"a_b",
        u"10",
        u"9",
        u"",
        u"\u200b",
        u"Zoo",
        u"\u00e5ngstr\u00f6m",
        u"\u00c6on",
        u"stra\u00dfe"};
    std::vector<QString> names;
    uint32_t seed = 12345;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        const QString a = QString::fromUtf16(parts[(seed >> 16) % std::size(parts)]);
        const QString b = QString::fromUtf16(parts[(seed >> 8) % std::size(parts)]);
        names.push_back((seed & 1) ? a : a + b);
    }
    return names;
}

TEST(StringSortOrder, SortKeysGiveTheSameOrderAsDirectComparison)
{
    for (const QLocale &locale : {QLocale(QLocale::English, QLocale::UnitedStates),
             QLocale(QLocale::German, QLocale::Germany),
             QLocale(QLocale::Swedish, QLocale::Sweden),
             QLocale::c()}) {
        const TTextComparer comparer(locale);
        for (int count : {2, 7, 64, 1000}) {
            const std::vector<QString> names = MixedNames(count);
            const std::vector<int> direct = StringSortOrder(names, comparer, Mode::scmDirect);
            EXPECT_EQ(StringSortOrder(names, comparer, Mode::scmSortKeys), direct)
                << locale.name().toStdString() << " " << count;
            for (size_t i = 1; i < direct.size(); ++i)
                ASSERT_LE(comparer.Compare(names[size_t(direct[i - 1])], names[size_t(direct[i])]), 0)
                    << locale.name().toStdString() << " position " << i;
        }
    }
}

TEST(StringGridSort, UsesTheUserLocaleByDefault)
{
    TGridTable grid = KeyGrid({QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("a")});
    StringGridSort(grid, 0);
    EXPECT_EQ(OldRows(grid), (std::vector<int>{2, 1, 0}));
}

} // namespace
