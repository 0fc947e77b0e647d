#include "fileutils/FileUtils.h"

#include "fileutils/PathNames.h"
#include "platform/FloatFormat.h"
#include "platform/LocaleServices.h"
#include "platform/PrivateTemp.h"
#include "platform/ShellOpen.h"
#include "platform/SpecialFolders.h"

#include <QDate>

#include <cstdlib>

QString FormatFileSize(int64_t bytes)
{
    return FormatFileSize(bytes, DecimalSeparator());
}

QString FormatFileSize(int64_t bytes, QChar sep)
{
    // The magnitude of INT64_MIN does not fit; it is one byte past the largest.
    const uint64_t count = bytes < 0 ? uint64_t(0) - uint64_t(bytes) : uint64_t(bytes);
    if (count < 1000) {
        // The commonest size text, made in one piece.
        QString text = QString::number(count);
        text.reserve(text.size() + 6);
        text += QLatin1String(" bytes");
        return text;
    }

    double divisor = 1073741824.0;
    QString suffix = QStringLiteral(" GB");
    if (count < 1048576) {
        divisor = 1024.0;
        suffix = QStringLiteral(" KB");
    } else if (count < 1073741824) {
        divisor = 1048576.0;
        suffix = QStringLiteral(" MB");
    }
    QString text = FloatToStrGeneral(double(count) / divisor, sep);
    // Cut, never round; the cut follows the separator the text was written with.
    const qsizetype dot = text.indexOf(sep);
    if (dot >= 0) {
        if (dot >= 3)
            text.truncate(dot);
        else if (dot == 2)
            text.truncate(dot + 2);
        else
            text.truncate(dot + 3);
    }
    return text + suffix;
}

QString BaseTempDirFrom(const QString &tempDir, const QString &executablePath, uint64_t tickCountMs)
{
    const QString dir = FolderWithDelimiter(tempDir);
    const QString name = NameWithoutExtension(executablePath);
    const uint32_t number = uint32_t(tickCountMs * 10000u);
    return dir + name + QString::number(number);
}

QString GetBaseTempDir()
{
    return BaseTempDirFrom(UserTempPath(), ExecutablePath(), TickCountMs());
}

QString NextBaseTempDir(const QString &dir)
{
    // The digits are at most ten; those of the executable's name may stand before them.
    qsizetype start = dir.size();
    while (start > 0 && dir.size() - start < 10 && dir.at(start - 1) >= QLatin1Char('0')
        && dir.at(start - 1) <= QLatin1Char('9'))
        --start;
    const uint64_t number = dir.mid(start).toULongLong();
    return dir.left(start) + QString::number(uint32_t(number + 1));
}

QString GetUserProfileDir()
{
    return EnvironmentVariable("HOME");
}

bool ShellOpenFile(const QString &path)
{
    return ShellOpen(path);
}

const QStringList &TextPreviewExtensions()
{
    static const QStringList list = {QStringLiteral(".txt"),
        QStringLiteral(".rtf"),
        QStringLiteral(".ini"),
        QStringLiteral(".ans"),
        QStringLiteral(".text"),
        QStringLiteral(".1st"),
        QStringLiteral(".log"),
        QStringLiteral(".csv"),
        QStringLiteral(".pas"),
        QStringLiteral(".plist"),
        QStringLiteral(".bat")};
    return list;
}

bool DosDateTimeToDateTime(uint32_t dosDateTime, double &dateTime)
{
    const int year = 1980 + int(dosDateTime >> 25);
    const int month = int((dosDateTime >> 21) & 0x0F);
    const int day = int((dosDateTime >> 16) & 0x1F);
    const int hour = int((dosDateTime >> 11) & 0x1F);
    const int minute = int((dosDateTime >> 5) & 0x3F);
    const int second = int(dosDateTime & 0x1F) * 2;
    if (month < 1 || month > 12 || hour >= 24 || minute >= 60 || second >= 60)
        return false;
    if (day < 1 || day > QDate(year, month, 1).daysInMonth())
        return false;
    const qint64 days = QDate(1899, 12, 30).daysTo(QDate(year, month, day));
    dateTime = double(days) + double(hour * 3600 + minute * 60 + second) / 86400.0;
    return true;
}
