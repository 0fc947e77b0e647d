// The user's locale: numbers, dates and text comparison.
#pragma once

#include <QCollator>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

// The user's number, date and comparison conventions. The program uses the
// system locale; tests pin one with SetUserLocale.
const QLocale &UserLocale();
void SetUserLocale(const QLocale &locale);

QChar DecimalSeparator(const QLocale &locale = UserLocale());

// The short date pattern with its year widened to four digits.
QString ShortDateFormat(const QLocale &locale = UserLocale());
// The long time pattern (with seconds) without its time-zone field.
QString LongTimeFormat(const QLocale &locale = UserLocale());

// Case-insensitive linguistic comparison; equal for texts that differ in case only.
class TTextComparer
{
public:
    explicit TTextComparer(const QLocale &locale = UserLocale());
    int Compare(const QString &a, const QString &b) const { return FCollator.compare(a, b); }
    const QCollator &Collator() const { return FCollator; }

private:
    QCollator FCollator;
};

int CompareText(const QString &a, const QString &b);

// UTC to local time with the offset in force now, not at the file's date.
// Take the offset once and convert many times with it.
int LocalOffsetSecondsNow();
QDateTime UtcToLocal(const QDateTime &utc, int offsetSeconds = LocalOffsetSecondsNow());

// A file time in Unix milliseconds; one too far out for 64 bits stays at the
// nearest end, which no date holds.
int64_t UnixMilliseconds(int64_t seconds, int64_t nanoseconds);
// unixMs moved by the offset, when that falls in the years 1601 to 9999, the
// times a date holds; nothing for a time outside them.
std::optional<int64_t> LocalMillisecondsInDateRange(int64_t unixMs, int offsetSeconds);

// Date-time values: days since 1899-12-30 00:00, the fraction the time of day.
// 0, the failed conversion, for a time outside the years 1601 to 9999.
double UnixMillisecondsToDateTime(int64_t unixMs, int offsetSeconds);
// The listing's date-time text: short date, then the long time unless it is 00:00:00.
QString DateTimeToDisplayText(double dateTime, const QLocale &locale = UserLocale());

// The same texts for many values: the patterns are read once and each day's
// date text is made once, which a listing of 100 000 files needs.
class TDateTimeTexts
{
public:
    explicit TDateTimeTexts(const QLocale &locale = UserLocale());
    QString Text(double dateTime);
    // The same for the day of a day serial and the milliseconds into it
    // (0 to 86 399 999), the two parts Text(double) rounds a value to.
    QString Text(int64_t day, int msOfDay);

private:
    QLocale FLocale;
    QString FDateFormat;
    QString FTimeFormat;
    bool FTimeShowsMs = false;
    QHash<qint64, QString> FDates;
    QHash<int, QString> FTimes; // by second of the day, when the format shows no milliseconds
};
