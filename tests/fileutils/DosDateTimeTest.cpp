#include "fileutils/FileUtils.h"

#include <QDate>
#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>

namespace {

uint32_t Pack(int year, int month, int day, int hour, int minute, int secondField)
{
    return (uint32_t(year - 1980) << 25) | (uint32_t(month) << 21) | (uint32_t(day) << 16)
        | (uint32_t(hour) << 11) | (uint32_t(minute) << 5) | uint32_t(secondField);
}

// The date-time value back as calendar text, to compare with readable expectations.
QString AsText(double value)
{
    const double days = std::floor(value);
    const qint64 seconds = std::llround((value - days) * 86400.0);
    const QDateTime t(QDate(1899, 12, 30).addDays(qint64(days)), QTime(0, 0).addSecs(int(seconds)));
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

TEST(DosDateTimeTest, DecodesTheExamples)
{
    const std::pair<uint32_t, const char *> rows[] = {
        {0x413B73DD, "2012-09-27 14:30:58"},
        {0x00210000, "1980-01-01 00:00:00"},
        {0xFF9FBF7D, "2107-12-31 23:59:58"},
        {Pack(2000, 2, 29, 12, 0, 0), "2000-02-29 12:00:00"},
        {Pack(2024, 2, 29, 0, 0, 29), "2024-02-29 00:00:58"},
    };
    for (const auto &[packed, text] : rows) {
        double value = -1;
        ASSERT_TRUE(DosDateTimeToDateTime(packed, value)) << std::hex << packed;
        EXPECT_EQ(AsText(value).toStdString(), text);
    }
    double value = 0;
    ASSERT_TRUE(DosDateTimeToDateTime(0x00210000, value));
    EXPECT_EQ(value, 29221.0); // 1980-01-01 as a day serial
}

TEST(DosDateTimeTest, RefusesImpossibleFields)
{
    const uint32_t rows[] = {
        0, // month 0, day 0
        Pack(2100, 2, 29, 0, 0, 0), // not a leap year
        Pack(2000, 2, 30, 0, 0, 0),
        Pack(2012, 4, 31, 0, 0, 0),
        Pack(2012, 13, 1, 0, 0, 0),
        Pack(2012, 1, 0, 0, 0, 0),
        Pack(2012, 1, 1, 24, 0, 0),
        Pack(2012, 1, 1, 0, 60, 0),
        Pack(2012, 1, 1, 0, 0, 30), // 60 seconds
        Pack(2012, 1, 1, 0, 0, 31), // 62 seconds
    };
    for (const uint32_t packed : rows) {
        double value = 0;
        EXPECT_FALSE(DosDateTimeToDateTime(packed, value)) << std::hex << packed;
    }
}

// Every date field against the calendar, every time field against its bounds.
TEST(DosDateTimeTest, AgreesWithTheCalendarEverywhere)
{
    for (uint32_t year = 0; year < 128; ++year)
        for (uint32_t month = 0; month < 16; ++month)
            for (uint32_t day = 0; day < 32; ++day) {
                const uint32_t packed = (year << 25) | (month << 21) | (day << 16);
                double value = 0;
                const bool valid = DosDateTimeToDateTime(packed, value);
                const QDate date(int(1980 + year), int(month), int(day));
                ASSERT_EQ(valid, date.isValid()) << year << " " << month << " " << day;
                if (valid) {
                    ASSERT_EQ(value, double(QDate(1899, 12, 30).daysTo(date)));
                }
            }
    const uint32_t someDay = Pack(2012, 9, 27, 0, 0, 0);
    for (uint32_t t = 0; t < 0x10000; ++t) {
        const uint32_t hour = t >> 11, minute = (t >> 5) & 0x3F, second = (t & 0x1F) * 2;
        double value = 0;
        const bool valid = DosDateTimeToDateTime(someDay | t, value);
        ASSERT_EQ(valid, hour < 24 && minute < 60 && second < 60) << t;
        if (valid) {
            ASSERT_EQ(
                std::llround((value - std::floor(value)) * 86400.0), hour * 3600 + minute * 60 + second);
        }
    }
}

} // namespace
