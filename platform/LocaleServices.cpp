#include "platform/LocaleServices.h"

#include <climits>
#include <cmath>
#include <optional>

namespace {

std::optional<QLocale> &LocaleOverride()
{
    static std::optional<QLocale> value;
    return value;
}

constexpr double kUnixEpochDateTime = 25569.0; // 1970-01-01 as a date-time value
constexpr int64_t kMsPerDay = 86400000;

} // namespace

const QLocale &UserLocale()
{
    static const QLocale system = QLocale::system();
    const auto &o = LocaleOverride();
    return o ? *o : system;
}

void SetUserLocale(const QLocale &locale)
{
    LocaleOverride() = locale;
}

QChar DecimalSeparator(const QLocale &locale)
{
    const QString s = locale.decimalPoint();
    return s.isEmpty() ? QLatin1Char('.') : s.at(0);
}

namespace {

// Rewrites the runs of one pattern letter, leaving quoted literals alone.
template <class Rewrite> QString RewriteRuns(const QString &pattern, QChar letter, Rewrite rewrite)
{
    QString out;
    for (qsizetype i = 0; i < pattern.size();) {
        if (pattern.at(i) == QLatin1Char('\'')) {
            const qsizetype close = pattern.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype end = close < 0 ? pattern.size() : close + 1;
            out += pattern.mid(i, end - i);
            i = end;
        } else if (pattern.at(i) == letter) {
            qsizetype j = i;
            while (j < pattern.size() && pattern.at(j) == letter)
                ++j;
            out += rewrite(pattern.mid(i, j - i));
            i = j;
        } else {
            out += pattern.at(i++);
        }
    }
    return out;
}

} // namespace

QString ShortDateFormat(const QLocale &locale)
{
    return RewriteRuns(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('y'), [](const QString &run) {
        return run.size() >= 4 ? run : QStringLiteral("yyyy");
    });
}

QString LongTimeFormat(const QLocale &locale)
{
    const QString withoutZone =
        RewriteRuns(locale.timeFormat(QLocale::LongFormat), QLatin1Char('t'), [](const QString &) {
            return QString();
        });
    return withoutZone.trimmed();
}

TTextComparer::TTextComparer(const QLocale &locale)
    : FCollator(locale)
{
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
    FCollator.setNumericMode(false);
    FCollator.setIgnorePunctuation(false);
}

int CompareText(const QString &a, const QString &b)
{
    return TTextComparer().Compare(a, b);
}

int LocalOffsetSecondsNow()
{
    return QDateTime::currentDateTime().offsetFromUtc();
}

QDateTime UtcToLocal(const QDateTime &utc, int offsetSeconds)
{
    return utc.toOffsetFromUtc(offsetSeconds);
}

int64_t UnixMilliseconds(int64_t seconds, int64_t nanoseconds)
{
    int64_t ms = 0;
    if (__builtin_mul_overflow(seconds, int64_t(1000), &ms))
        return seconds < 0 ? INT64_MIN : INT64_MAX;
    if (__builtin_add_overflow(ms, nanoseconds / 1000000, &ms))
        return nanoseconds < 0 ? INT64_MIN : INT64_MAX;
    return ms;
}

std::optional<int64_t> LocalMillisecondsInDateRange(int64_t unixMs, int offsetSeconds)
{
    // 1601-01-01 00:00:00.000 and 9999-12-31 23:59:59.999, in Unix milliseconds.
    constexpr int64_t kFirst = -11644473600000;
    constexpr int64_t kLast = 253402300799999;
    int64_t localMs = 0;
    if (__builtin_add_overflow(unixMs, int64_t(offsetSeconds) * 1000, &localMs) || localMs < kFirst
        || localMs > kLast)
        return std::nullopt;
    return localMs;
}

double UnixMillisecondsToDateTime(int64_t unixMs, int offsetSeconds)
{
    const std::optional<int64_t> localMs = LocalMillisecondsInDateRange(unixMs, offsetSeconds);
    return localMs ? kUnixEpochDateTime + double(*localMs) / double(kMsPerDay) : 0;
}

QString DateTimeToDisplayText(double dateTime, const QLocale &locale)
{
    return TDateTimeTexts(locale).Text(dateTime);
}

TDateTimeTexts::TDateTimeTexts(const QLocale &locale)
    : FLocale(locale)
    , FDateFormat(ShortDateFormat(locale))
    , FTimeFormat(LongTimeFormat(locale))
    , FTimeShowsMs(FTimeFormat.contains(QLatin1Char('z')))
{ }

QString TDateTimeTexts::Text(double dateTime)
{
    // The date is the integer part; the time of day the fraction, rounded to milliseconds.
    double days = std::trunc(dateTime);
    int64_t ms = std::llround(std::fabs(dateTime - days) * double(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        days += dateTime < 0 ? -1 : 1;
    }
    return Text(static_cast<int64_t>(days), int(ms));
}

QString TDateTimeTexts::Text(int64_t day, int msOfDay)
{
    const int64_t ms = msOfDay;
    auto known = FDates.constFind(day);
    if (known == FDates.constEnd())
        known = FDates.insert(day, FLocale.toString(QDate(1899, 12, 30).addDays(day), FDateFormat));
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ms));
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return known.value();
    if (FTimeShowsMs)
        return known.value() + QLatin1Char(' ') + FLocale.toString(time, FTimeFormat);
    // A big listing meets each second of the day many times; its text is made once.
    const int second = int(ms / 1000);
    auto timeText = FTimes.constFind(second);
    if (timeText == FTimes.constEnd())
        timeText = FTimes.insert(
            second, FLocale.toString(QTime::fromMSecsSinceStartOfDay(second * 1000), FTimeFormat));
    return known.value() + QLatin1Char(' ') + timeText.value();
}
