#include "platform/FloatFormat.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

struct FormatCase
{
    double value;
    const char *text;
};

TEST(FloatToStrGeneral, FifteenDigitsAndNoTrailingZeros)
{
    const FormatCase cases[] = {
        {41179.586911145833, "41179.5869111458"},
        {41179.0, "41179"},
        {350.0, "350"},
        {272.5, "272.5"},
        {0.9765625, "0.9765625"},
        {1023.9999990463257, "1023.99999904633"},
        {4.76837158203125, "4.76837158203125"},
        {2.7939677238464355, "2.79396772384644"},
        {-1.5, "-1.5"},
        {0.0, "0"},
        {0.00001, "0.00001"},
        {0.000001, "1E-6"},
        {1e15, "1E15"},
        {123456789012345.0, "123456789012345"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FloatToStrGeneral(c.value, QLatin1Char('.')), QLatin1String(c.text)) << c.text;
}

TEST(FloatToStrGeneral, UsesTheGivenSeparatorWhateverTheProcessLocale)
{
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(FloatToStrGeneral(41179.586911145833, QLatin1Char(',')), QStringLiteral("41179,5869111458"));
    EXPECT_EQ(FloatToStrGeneral(41179.5, QLatin1Char('.')), QStringLiteral("41179.5"));
    std::setlocale(LC_NUMERIC, "C");
}

TEST(TryStrToFloat, AcceptsOnlyNumbersOfTheLocale)
{
    EXPECT_EQ(TryStrToFloat(QStringLiteral(" 272.5 "), QLatin1Char('.')), 272.5);
    EXPECT_EQ(TryStrToFloat(QStringLiteral("-3"), QLatin1Char('.')), -3.0);
    EXPECT_EQ(TryStrToFloat(QStringLiteral("1.5E-6"), QLatin1Char('.')), 1.5e-6);
    EXPECT_EQ(TryStrToFloat(QStringLiteral("272,5"), QLatin1Char(',')), 272.5);
    EXPECT_FALSE(TryStrToFloat(QStringLiteral("272,5"), QLatin1Char('.')));
    EXPECT_FALSE(TryStrToFloat(QString(), QLatin1Char('.')));
    EXPECT_FALSE(TryStrToFloat(QStringLiteral("abc"), QLatin1Char('.')));
    EXPECT_FALSE(TryStrToFloat(QStringLiteral("1e"), QLatin1Char('.')));
    EXPECT_FALSE(TryStrToFloat(QStringLiteral("."), QLatin1Char('.')));
}

} // namespace
