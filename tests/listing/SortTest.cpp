#include "CountingObserver.h"
#include "PivotAdversary.h"
#include "listing/GridColumns.h"
#include "listing/StringGridSort.h"

#include <gtest/gtest.h>

#include <cmath>

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

int CompareInts(int a, int b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

std::vector<int> IntOrder(const std::vector<int> &keys, int threads = 1)
{
    return QuickSortOrder(
        int(keys.size()),
        [&](int a, int b) {
            return CompareInts(keys[size_t(a)], keys[size_t(b)]);
        },
        threads);
}

TEST(QuickSortOrder, AnOrderBuiltAgainstThePivotStaysNearNLogN)
{
    for (const int n : {1000, 20000, 100000}) {
        TPivotAdversary adversary(n);
        const std::vector<int> order = QuickSortOrder(n, [&](int a, int b) {
            return adversary.Compare(a, b);
        });
        EXPECT_LE(double(adversary.Comparisons()), 6.0 * n * std::log2(n)) << n << " entries";
        // The answers are the input: replayed, it sorts the same way.
        const std::vector<int> &keys = adversary.Values();
        EXPECT_EQ(IntOrder(keys), order);
        // Ranges sorted on several threads at once are the same ranges.
        EXPECT_EQ(IntOrder(keys, 3), order);
        for (size_t i = 1; i < order.size(); ++i)
            ASSERT_LE(keys[size_t(order[i - 1])], keys[size_t(order[i])]) << n << " entries, position " << i;
    }
}

std::vector<int> Ints(const char *text)
{
    std::vector<int> values;
    for (const QString &word : QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        values.push_back(word.toInt());
    return values;
}

TEST(QuickSortOrder, OrdinaryListingsKeepTheirOrderOfEqualKeys)
{
    std::vector<int> repeating, equal, random, pipe;
    for (int i = 0; i < 40; ++i)
        repeating.push_back(i * 7 % 5);
    equal.assign(33, 1);
    uint32_t seed = 2024;
    for (int i = 0; i < 50; ++i) {
        seed = seed * 1103515245u + 12345u;
        random.push_back(int((seed >> 16) % 10));
    }
    for (int i = 0; i < 36; ++i)
        pipe.push_back(i < 18 ? i / 3 : (35 - i) / 3);
    const struct
    {
        const char *what;
        const std::vector<int> &keys;
        const char *order;
    } cases[] = {
        {"five keys repeating",
            repeating,
            "30 5 15 10 35 0 25 20 13 33 23 18 28 3 38 8 26 21 1 6 "
            "16 11 36 31 34 29 39 14 9 4 19 24 37 7 2 27 22 32 17 12"},
        {"all equal",
            equal,
            "22 21 24 23 18 17 20 19 30 29 32 31 26 25 28 27 16 5 4 7 6 1 0 3 2 13 12 15 14 9 8 11 10"},
        {"ten keys at random",
            random,
            "14 21 18 29 25 17 13 7 34 49 46 6 30 10 0 24 33 3 35 28 5 37 2 45 41 "
            "43 4 31 9 12 27 42 38 47 1 19 23 32 22 16 8 39 36 20 48 26 11 40 15 44"},
        {"rising and falling in threes",
            pipe,
            "33 34 35 2 1 0 30 31 32 5 4 3 27 28 7 6 29 8 24 25 26 9 10 11 14 13 12 23 22 21 17 16 15 20 19 "
            "18"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IntOrder(c.keys), Ints(c.order)) << c.what;
}

// A listing's worth of keys; the whole order is pinned by its FNV-1a hash.
TEST(QuickSortOrder, BigOrdinaryListingsKeepTheirOrderOfEqualKeys)
{
    const auto hashOf = [](const std::vector<int> &order) {
        uint64_t h = 1469598103934665603ull;
        for (const int x : order) {
            h ^= uint32_t(x);
            h *= 1099511628211ull;
        }
        return h;
    };
    const int n = 100000;
    std::vector<int> fifty, pairs, spread;
    uint32_t seed = 7;
    for (int i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        fifty.push_back(int((seed >> 8) % 50));
        pairs.push_back(i / 2);
    }
    seed = 11;
    for (int i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        spread.push_back(int((seed >> 4) % 30000));
    }
    // A big tree's sort runs on several threads and keeps the same order.
    for (const int threads : {1, 2, 5}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(hashOf(IntOrder(fifty, threads)), 0x94e4330b128a6e41ull) << "fifty keys at random";
        EXPECT_EQ(hashOf(IntOrder(pairs, threads)), 0xf55314b6c4e31483ull) << "sorted pairs";
        EXPECT_EQ(hashOf(IntOrder(spread, threads)), 0x4b020c100174133ull) << "30000 keys at random";
    }
}

TEST(StringGridSort, AnOrderBuiltAgainstThePivotSortsBySize)
{
    // The size column as the scan writes it, in an order built against the pivot.
    const int n = 3000;
    TPivotAdversary adversary(n);
    QuickSortOrder(n, [&](int a, int b) {
        return adversary.Compare(a, b);
    });
    QStringList sizes;
    for (const int value : adversary.Values())
        sizes << QString::number(value).rightJustified(15, QLatin1Char('0'));
    TGridTable grid = KeyGrid(sizes);
    StringGridSort(grid, 0);
    for (int r = 1; r < n; ++r)
        ASSERT_LE(grid.Cells(0, r - 1), grid.Cells(0, r)) << r;
}

TEST(StringGridSort, UsesTheUserLocaleByDefault)
{
    TGridTable grid = KeyGrid({QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("a")});
    StringGridSort(grid, 0);
    EXPECT_EQ(OldRows(grid), (std::vector<int>{2, 1, 0}));
}

} // namespace
