#include "platform/LocaleServices.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kDe(QLocale::German, QLocale::Germany);

TEST(LocaleServices, SeparatorsAndPatterns)
{
    EXPECT_EQ(DecimalSeparator(kUs), QLatin1Char('.'));
    EXPECT_EQ(DecimalSeparator(kDe), QLatin1Char(','));
    EXPECT_EQ(ShortDateFormat(kUs), QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(ShortDateFormat(kDe), QStringLiteral("dd.MM.yyyy"));
    EXPECT_FALSE(LongTimeFormat(kUs).contains(QLatin1Char('t')));
    EXPECT_TRUE(LongTimeFormat(kUs).contains(QStringLiteral("ss")));
}

TEST(LocaleServices, CaseInsensitiveLinguisticComparison)
{
    const TTextComparer cmp(kUs);
    EXPECT_EQ(cmp.Compare(QStringLiteral("a"), QStringLiteral("A")), 0);
    EXPECT_LT(cmp.Compare(QStringLiteral("a"), QStringLiteral("B")), 0);
    EXPECT_GT(cmp.Compare(QStringLiteral("b"), QStringLiteral("A")), 0);
}

TEST(LocaleServices, DateTimeText)
{
    // 2012-09-27 14:05:09.123
    const double dt = 41179.0 + (14 * 3600 + 5 * 60 + 9.123) / 86400.0;
    EXPECT_EQ(DateTimeToDisplayText(dt, kUs), QStringLiteral("9/27/2012 2:05:09 PM"));
    EXPECT_EQ(DateTimeToDisplayText(41179.0 + 0.5 / 86400.0, kUs), QStringLiteral("9/27/2012"));
    EXPECT_EQ(DateTimeToDisplayText(41179.0, kDe), QStringLiteral("27.09.2012"));

    // One maker for many values: each keeps its own day and time.
    TDateTimeTexts texts(kUs);
    EXPECT_EQ(texts.Text(dt), QStringLiteral("9/27/2012 2:05:09 PM"));
    EXPECT_EQ(texts.Text(41179.0), QStringLiteral("9/27/2012"));
    EXPECT_EQ(texts.Text(41180.25), QStringLiteral("9/28/2012 6:00:00 AM"));
    EXPECT_EQ(texts.Text(-1.5), QStringLiteral("12/29/1899 12:00:00 PM"));
    // The same second of the day again, on another day and with other milliseconds.
    EXPECT_EQ(
        texts.Text(41181.0 + (14 * 3600 + 5 * 60 + 9.876) / 86400.0), QStringLiteral("9/29/2012 2:05:09 PM"));
    EXPECT_EQ(
        texts.Text(41179.0 + (14 * 3600 + 5 * 60 + 10) / 86400.0), QStringLiteral("9/27/2012 2:05:10 PM"));
    // Milliseconds that round up to the next second, or to the next day, are shown as such.
    EXPECT_EQ(texts.Text(41179.0 + (14 * 3600 + 5 * 60 + 9.9996) / 86400.0),
        QStringLiteral("9/27/2012 2:05:10 PM"));
    EXPECT_EQ(texts.Text(41179.0 + (86400 - 0.0004) / 86400.0), QStringLiteral("9/28/2012"));
}

// Every second of the day, on two days and at both ends of the second, as the
// one-value text gives it: the time texts kept for reuse never answer for another second.
TEST(LocaleServices, ManyTimeTextsMatchOneAtATime)
{
    for (const QLocale &locale : {kUs, kDe}) {
        TDateTimeTexts texts(locale);
        for (int second = 0; second < 86400; ++second) {
            for (const double day : {41179.0, 45000.0}) {
                for (const int ms : {0, 999}) {
                    const double dt = day + (second * 1000.0 + ms) / 86400000.0;
                    ASSERT_EQ(texts.Text(dt), DateTimeToDisplayText(dt, locale)) << second << " " << ms;
                }
            }
        }
    }
}

TEST(LocaleServices, UtcToDateTimeWithTheOffsetGiven)
{
    // 2012-09-27 12:05:09 UTC seen two hours east.
    const int64_t ms = int64_t(1348747509) * 1000;
    EXPECT_DOUBLE_EQ(UnixMillisecondsToDateTime(ms, 7200), 41179.0 + (14 * 3600 + 5 * 60 + 9) / 86400.0);
    const QDateTime local = UtcToLocal(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC), 7200);
    EXPECT_EQ(local.time().hour(), 14);
}

// 1601 to 9999 are the years a date holds; no time outside may overflow on its way there.
TEST(LocaleServices, TimesOutsideTheYearsADateHoldsFailToConvert)
{
    constexpr int64_t kFirst = -11644473600000; // 1601-01-01 00:00:00.000 UTC
    constexpr int64_t kLast = 253402300799999; // 9999-12-31 23:59:59.999 UTC
    EXPECT_EQ(UnixMilliseconds(1, 999999999), 1999);
    EXPECT_EQ(UnixMilliseconds(-1, 0), -1000);
    EXPECT_EQ(UnixMilliseconds(int64_t(1) << 40, 0), (int64_t(1) << 40) * 1000);
    EXPECT_EQ(UnixMilliseconds(INT64_MAX, 999999999), INT64_MAX);
    EXPECT_EQ(UnixMilliseconds(INT64_MIN, 0), INT64_MIN);
    EXPECT_EQ(UnixMilliseconds(INT64_MAX / 1000, 999999999), INT64_MAX);

    const struct
    {
        int64_t Ms;
        int Offset;
        bool Holds;
    } cases[] = {
        {kFirst, 0, true},
        {kFirst - 1, 0, false},
        {kFirst, -1, false},
        {kLast, 0, true},
        {kLast + 1, 0, false},
        {kLast - 3600000, 3600, true},
        {kLast, 1, false},
        {INT64_MAX, 50400, false},
        {INT64_MIN, -50400, false},
        {INT64_MAX, -50400, false},
        {int64_t(1) << 50, 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.Ms) + " " + std::to_string(c.Offset));
        EXPECT_EQ(LocalMillisecondsInDateRange(c.Ms, c.Offset).has_value(), c.Holds);
        EXPECT_EQ(UnixMillisecondsToDateTime(c.Ms, c.Offset) != 0, c.Holds);
    }
    EXPECT_DOUBLE_EQ(UnixMillisecondsToDateTime(kFirst, 0), -109205.0);
    EXPECT_LT(UnixMillisecondsToDateTime(kLast, 0), 2958466.0);
}

} // namespace
