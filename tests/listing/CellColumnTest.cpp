#include "listing/CellColumn.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

// Texts near every edge of the compact forms: each must read back as written.
QStringList AwkwardTexts()
{
    QStringList texts = {QString(),
        QStringLiteral("0"),
        QStringLiteral("000000000000000"),
        QStringLiteral("000000000001234"),
        QStringLiteral("0000000000000-5"),
        QStringLiteral("144115188075855871"), // 2^57 - 1
        QStringLiteral("144115188075855872"), // 2^57
        QString(31, QLatin1Char('0')),
        QString(32, QLatin1Char('7')),
        QStringLiteral("41179.5869111458"),
        QStringLiteral("41179,5869111458"),
        QStringLiteral("41179"),
        QStringLiteral("0.5"),
        QStringLiteral("0.000000000000001"),
        QStringLiteral("05.5"),
        QStringLiteral("-5.5"),
        QStringLiteral("1."),
        QStringLiteral(".5"),
        QStringLiteral("1.2.3"),
        QStringLiteral("1:30"),
        QStringLiteral("2/5"),
        QStringLiteral("7\u066b25"), // a fifth separator no longer fits
        QStringLiteral("36028797018963967.5"), // the value needs more than 55 bits
        QStringLiteral("/home/user/photos/"),
        QStringLiteral("/home/user/photos/IMG 0001.jpg"),
        QStringLiteral("/home/user/photos/IMG 0002.jpg"),
        QStringLiteral("/home/user/photos"),
        QStringLiteral("/home/user/ph"),
        QStringLiteral("/other"),
        QStringLiteral("r\u00e9sum\u00e9 \U0001F600.txt"),
        QStringLiteral(".txt"),
        QString(70000, QLatin1Char('x')),
        QString(5000, QLatin1Char('/')) + QStringLiteral("deep")};
    return texts;
}

void ExpectColumn(const TCellColumn &column, const std::vector<QString> &expected)
{
    ASSERT_EQ(column.Size(), expected.size());
    QString scratch;
    for (size_t r = 0; r < expected.size(); ++r) {
        EXPECT_EQ(column.Text(r), expected[r]) << "row " << r;
        EXPECT_EQ(column.View(r, scratch), expected[r]) << "row " << r;
    }
}

TEST(CellColumnTest, EveryTextReadsBackAsWritten)
{
    // Also with the column's first text, the one others share a prefix with, being each of them.
    const QStringList texts = AwkwardTexts();
    for (qsizetype first = 0; first < texts.size(); ++first) {
        TCellColumn column;
        std::vector<QString> expected;
        for (qsizetype i = 0; i < texts.size(); ++i)
            expected.push_back(texts[(first + i) % texts.size()]);
        column.Resize(expected.size());
        for (size_t r = 0; r < expected.size(); ++r)
            column.SetText(r, expected[r]);
        ExpectColumn(column, expected);
        column.Compact();
        ExpectColumn(column, expected);
        // A copy stands on its own.
        TCellColumn copy(column);
        column.SetText(0, QStringLiteral("changed"));
        column = TCellColumn();
        ExpectColumn(copy, expected);
    }
}

TEST(CellColumnTest, RewrittenCellsKeepEveryOtherText)
{
    // Enough rewrites that the arena is rebuilt several times; repeated short
    // texts share their place, and a rewrite must never change a sharer.
    TCellColumn column;
    const size_t rows = 3000;
    std::vector<QString> expected(rows);
    column.Resize(rows);
    for (int round = 0; round < 40; ++round) {
        for (size_t r = round % 3; r < rows; r += 3) {
            expected[r] = round % 4 == 0 ? QStringLiteral("same.txt")
                                         : QStringLiteral("name %1 of round %2").arg(r).arg(round);
            column.SetText(r, expected[r]);
        }
    }
    ExpectColumn(column, expected);
}

TEST(CellColumnTest, RowsMoveShrinkAndGrowWithTheirTexts)
{
    TCellColumn column;
    std::vector<QString> expected;
    for (int r = 0; r < 50; ++r)
        expected.push_back(r % 5 == 0 ? QString() : QStringLiteral("/d/file %1.txt").arg(r));
    column.Resize(expected.size());
    for (size_t r = 0; r < expected.size(); ++r)
        column.SetText(r, expected[r]);

    std::vector<int> order(expected.size());
    std::iota(order.rbegin(), order.rend(), 0);
    column.Permute(order);
    std::reverse(expected.begin(), expected.end());
    ExpectColumn(column, expected);

    column.Resize(10);
    column.Resize(20);
    expected.resize(10);
    expected.resize(20);
    ExpectColumn(column, expected);

    // Emptied cell by cell, then filled again from nothing.
    for (size_t r = 0; r < 20; ++r)
        column.SetText(r, QString());
    column.SetText(3, QStringLiteral("again"));
    EXPECT_EQ(column.Text(3), QStringLiteral("again"));
    EXPECT_EQ(column.Text(4), QString());
}

} // namespace
