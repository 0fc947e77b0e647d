#include "listing/SortKeys.h"
#include "platform/LocaleServices.h"

#include <QLocale>

#include <gtest/gtest.h>

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

} // namespace
