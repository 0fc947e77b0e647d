#include "platform/LocaleServices.h"

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

QString ShortDateFormat(const QLocale &locale)
{
    QString f = locale.dateFormat(QLocale::ShortFormat);
    // Widen a run of one to three y's to yyyy.
    QString out;
    for (qsizetype i = 0; i < f.size();) {
        if (f.at(i) == QLatin1Char('\'')) {
            const qsizetype close = f.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype end = close < 0 ? f.size() : close + 1;
            out += f.mid(i, end - i);
            i = end;
            continue;
        }
        if (f.at(i) == QLatin1Char('y')) {
            qsizetype j = i;
            while (j < f.size() && f.at(j) == QLatin1Char('y'))
                ++j;
            out += (j - i) >= 4 ? f.mid(i, j - i) : QStringLiteral("yyyy");
            i = j;
            continue;
        }
        out += f.at(i++);
    }
    return out;
}

QString LongTimeFormat(const QLocale &locale)
{
    const QString f = locale.timeFormat(QLocale::LongFormat);
    QString out;
    for (qsizetype i = 0; i < f.size();) {
        if (f.at(i) == QLatin1Char('\'')) {
            const qsizetype close = f.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype end = close < 0 ? f.size() : close + 1;
            out += f.mid(i, end - i);
            i = end;
            continue;
        }
        if (f.at(i) == QLatin1Char('t')) {
            while (i < f.size() && f.at(i) == QLatin1Char('t'))
                ++i;
            continue;
        }
        out += f.at(i++);
    }
    return out.trimmed();
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

double UnixMillisecondsToDateTime(int64_t unixMs, int offsetSeconds)
{
    const int64_t localMs = unixMs + int64_t(offsetSeconds) * 1000;
    return kUnixEpochDateTime + double(localMs) / double(kMsPerDay);
}

QString DateTimeToDisplayText(double dateTime, const QLocale &locale)
{
    // The date is the integer part; the time of day the fraction, rounded to milliseconds.
    double days = std::trunc(dateTime);
    int64_t ms = std::llround(std::fabs(dateTime - days) * double(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        days += dateTime < 0 ? -1 : 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(days));
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ms));
    QString text = locale.toString(date, ShortDateFormat(locale));
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0)
        text += QLatin1Char(' ') + locale.toString(time, LongTimeFormat(locale));
    return text;
}
