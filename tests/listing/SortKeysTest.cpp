#include "listing/SortKeys.h"
#include "platform/LocaleServices.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace {

TEST(SortKeysTest, ManyKeysAreEachTheirOwnTextsKey)
{
    // Long enough to be shared among threads; every key must land at its text's place.
    const QString stems[] = {QStringLiteral("r\u00e9sum\u00e9"),
        QStringLiteral("Resume"),
        QStringLiteral("stra\u00dfe"),
        QStringLiteral("Zoo"),
        QString(),
        QStringLiteral("\u00c5ngstr\u00f6m")};
    std::vector<QString> texts;
    for (int i = 0; i < 40000; ++i)
        texts.push_back(stems[i % 6] + QString::number(i * 7919 % 40000));
    const TTextComparer comparer(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::vector<QCollatorSortKey> keys = MakeSortKeys(texts, comparer.Collator());
    ASSERT_EQ(keys.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        ASSERT_EQ(keys[i].compare(comparer.Collator().sortKey(texts[i])), 0) << i;
}

TEST(SortKeysTest, RanksOrderManyTextsAsTheCollatorDoes)
{
    // Repeats, case pairs, empty texts and an ignorable-only text, over the
    // threshold at which the ranks are sorted in parts and merged.
    const QString stems[] = {QStringLiteral("Zoo"),
        QStringLiteral("zoo"),
        QString(),
        QStringLiteral("\u200b"),
        QStringLiteral("stra\u00dfe"),
        QStringLiteral("r\u00e9sum\u00e9")};
    std::vector<QString> texts;
    for (int i = 0; i < 50000; ++i)
        texts.push_back(i % 6 == 2 ? QString() : stems[i % 6] + QString::number(i * 7919 % 3000));
    texts[3] = stems[3];
    const TTextComparer comparer(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::vector<uint32_t> ranks = SortKeyRanks(texts, comparer.Collator());
    ASSERT_EQ(ranks.size(), texts.size());
    std::vector<size_t> byRank(texts.size());
    std::iota(byRank.begin(), byRank.end(), size_t(0));
    std::stable_sort(byRank.begin(), byRank.end(), [&](size_t a, size_t b) {
        return ranks[a] < ranks[b];
    });
    for (size_t k = 1; k < byRank.size(); ++k) {
        const size_t a = byRank[k - 1];
        const size_t b = byRank[k];
        const int verdict = comparer.Compare(texts[a], texts[b]);
        ASSERT_EQ(ranks[a] == ranks[b], verdict == 0) << k;
        ASSERT_LE(verdict, 0) << k;
    }
    EXPECT_EQ(ranks[2], 0u);
    EXPECT_GT(ranks[3], 0u); // ignorable, yet above the empty text
}

} // namespace
