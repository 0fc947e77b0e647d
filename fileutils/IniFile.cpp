#include "fileutils/IniFile.h"

#include "fileutils/PathNames.h"
#include "platform/Errors.h"
#include "platform/FloatFormat.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

// A settings file is a few hundred bytes; anything this large is not ours to
// hold in memory, and we would rather leave it alone than replace it.
constexpr qint64 MaxFileSize = qint64(64) * 1024 * 1024;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

QByteArrayView TrimLeft(QByteArrayView v)
{
    qsizetype i = 0;
    while (i < v.size() && IsBlank(v[i]))
        ++i;
    return v.sliced(i);
}

QByteArrayView Trim(QByteArrayView v)
{
    v = TrimLeft(v);
    qsizetype n = v.size();
    while (n > 0 && IsBlank(v[n - 1]))
        --n;
    return v.first(n);
}

bool IsAscii(QByteArrayView v)
{
    for (const char c : v)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// A name as the caller gave it, ready for quick comparison with raw lines.
struct TName
{
    explicit TName(const QString &name)
        : Text(name.trimmed())
        , Utf8(Text.toUtf8())
        , Ascii(IsAscii(Utf8))
    { }
    QString Text;
    QByteArray Utf8;
    bool Ascii;
};

bool NameMatches(QByteArrayView stored, const TName &wanted)
{
    if (wanted.Ascii && IsAscii(stored))
        return stored.size() == wanted.Utf8.size()
            && qstrnicmp(stored.data(), stored.size(), wanted.Utf8.constData(), wanted.Utf8.size()) == 0;
    return QString::fromUtf8(stored).compare(wanted.Text, Qt::CaseInsensitive) == 0;
}

bool ParseSection(QByteArrayView line, QByteArrayView &name)
{
    const QByteArrayView t = TrimLeft(line);
    if (t.isEmpty() || t[0] != '[')
        return false;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return false;
    name = Trim(t.sliced(1, close - 1));
    return true;
}

bool ParseKey(QByteArrayView line, QByteArrayView &key, QByteArrayView &value)
{
    const QByteArrayView t = TrimLeft(line);
    if (t.isEmpty() || t[0] == ';')
        return false;
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return false;
    key = Trim(t.first(eq));
    value = Trim(t.sliced(eq + 1));
    return !key.isEmpty();
}

bool IsBlankLine(QByteArrayView line)
{
    return TrimLeft(line).isEmpty();
}

// Where a key lives, or where it would go.
struct TSpot
{
    bool SectionFound = false;
    bool KeyFound = false;
    qsizetype LineStart = 0; // the key's line, without its line break
    qsizetype LineEnd = 0;
    QByteArrayView Value;
    qsizetype InsertAt = 0; // after the section's last line that is not blank
    bool InsertNeedsBreak = false; // that line is the file's last, unterminated
};

// The start of the next line at or after pos whose first non-blank byte is
// "[", or -1. Jumping from bracket to bracket keeps a search through a large
// file of other lines cheap.
qsizetype NextBracketLine(const QByteArray &text, qsizetype pos)
{
    for (;;) {
        const qsizetype bracket = text.indexOf('[', pos);
        if (bracket < 0)
            return -1;
        qsizetype start = bracket;
        while (start > pos && IsBlank(text[start - 1]))
            --start;
        if (start == 0 || text[start - 1] == '\n')
            return start;
        pos = bracket + 1;
    }
}

TSpot Locate(const QByteArray &text, const TName &section, const TName &key)
{
    TSpot spot;
    const qsizetype size = text.size();
    qsizetype pos = 0;
    // Only the first section of a name counts.
    while (!spot.SectionFound) {
        pos = NextBracketLine(text, pos);
        if (pos < 0)
            return spot;
        const qsizetype nl = text.indexOf('\n', pos);
        const qsizetype end = nl < 0 ? size : nl;
        QByteArrayView name;
        if (ParseSection(QByteArrayView(text.constData() + pos, end - pos), name)
            && NameMatches(name, section)) {
            spot.SectionFound = true;
            spot.InsertAt = nl < 0 ? size : nl + 1;
            spot.InsertNeedsBreak = nl < 0;
        }
        pos = nl < 0 ? size : nl + 1;
    }
    while (pos < size) {
        const qsizetype nl = text.indexOf('\n', pos);
        const qsizetype end = nl < 0 ? size : nl;
        const qsizetype next = nl < 0 ? size : nl + 1;
        const QByteArrayView line(text.constData() + pos, end - pos);
        QByteArrayView name;
        QByteArrayView value;
        if (ParseSection(line, name))
            break;
        if (ParseKey(line, name, value) && NameMatches(name, key)) {
            spot.KeyFound = true;
            spot.LineStart = pos;
            spot.LineEnd = end;
            spot.Value = value;
            return spot;
        }
        if (!IsBlankLine(line)) {
            spot.InsertAt = next;
            spot.InsertNeedsBreak = nl < 0;
        }
        pos = next;
    }
    return spot;
}

std::optional<int> ParseInteger(QByteArrayView t)
{
    qsizetype i = 0;
    bool negative = false;
    int base = 10;
    if (t.startsWith('$')) {
        base = 16;
        i = 1;
    } else if (t.startsWith("0x") || t.startsWith("0X")) {
        base = 16;
        i = 2;
    } else if (t.startsWith('+') || t.startsWith('-')) {
        negative = t[0] == '-';
        i = 1;
    }
    if (i >= t.size())
        return std::nullopt;
    const int64_t limit = negative ? int64_t(1) << 31 : (int64_t(1) << 31) - 1;
    int64_t value = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return int(negative ? -value : value);
}

QByteArray LineText(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}

// Every line, including the file's last one, ends in CR LF; a line's own
// bytes are kept, apart from the CR of a CR LF it already had.
QByteArray WithCrLf(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 16 + 2);
    const qsizetype size = text.size();
    qsizetype copied = 0;
    qsizetype pos = 0;
    // Runs of CR LF lines are copied whole; only bare LFs need a CR.
    for (;;) {
        const qsizetype nl = text.indexOf('\n', pos);
        if (nl < 0)
            break;
        if (nl == 0 || text[nl - 1] != '\r') {
            out.append(text.constData() + copied, nl - copied);
            out.append("\r\n", 2);
            copied = nl + 1;
        }
        pos = nl + 1;
    }
    out.append(text.constData() + copied, size - copied);
    if (copied < size && !text.endsWith('\n')) {
        if (text.endsWith('\r'))
            out.chop(1);
        out.append("\r\n", 2);
    }
    return out;
}

} // namespace

TIniFile::TIniFile(const QString &fileName)
    : FFileName(fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return;
    // Never open a FIFO or a device: that could block or read forever.
    if (!info.isFile() || info.size() > MaxFileSize) {
        FUnreadable = true;
        return;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        FUnreadable = true;
        return;
    }
    FText = file.readAll();
    if (file.error() != QFileDevice::NoError || FText.size() > MaxFileSize) {
        FText.clear();
        FUnreadable = true;
    }
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const TSpot spot = Locate(FText, TName(section), TName(key));
    return spot.KeyFound ? QString::fromUtf8(spot.Value) : defaultValue;
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const TSpot spot = Locate(FText, TName(section), TName(key));
    if (!spot.KeyFound)
        return defaultValue;
    return ParseInteger(spot.Value).value_or(defaultValue);
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(
    const QString &section, const QString &key, double defaultValue, QChar decimalSeparator) const
{
    const TSpot spot = Locate(FText, TName(section), TName(key));
    if (!spot.KeyFound)
        return defaultValue;
    return TryStrToFloat(QString::fromUtf8(spot.Value), decimalSeparator).value_or(defaultValue);
}

float TIniFile::ReadSingle(
    const QString &section, const QString &key, float defaultValue, QChar decimalSeparator) const
{
    const double value = ReadFloat(section, key, double(defaultValue), decimalSeparator);
    // Narrowing a double beyond the float range is undefined; such a value is no geometry.
    if (!(std::fabs(value) <= double(std::numeric_limits<float>::max())))
        return defaultValue;
    return static_cast<float>(value);
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const TName sectionName(section);
    const TName keyName(key);
    const TSpot spot = Locate(FText, sectionName, keyName);
    const QByteArray line = LineText(keyName.Text) + '=' + LineText(value);
    if (spot.KeyFound) {
        FText.replace(spot.LineStart, spot.LineEnd - spot.LineStart, line);
    } else if (spot.SectionFound) {
        FText.insert(
            spot.InsertAt, (spot.InsertNeedsBreak ? QByteArray("\r\n") : QByteArray()) + line + "\r\n");
    } else {
        if (!FText.isEmpty() && !FText.endsWith('\n'))
            FText.append("\r\n");
        FText.append('[' + LineText(sectionName.Text) + "]\r\n" + line + "\r\n");
    }
    FModified = true;
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::WriteFloat(const QString &section, const QString &key, double value, QChar decimalSeparator)
{
    WriteString(section, key, FloatToStrGeneral(value, decimalSeparator));
}

void TIniFile::WriteSingle(const QString &section, const QString &key, float value, QChar decimalSeparator)
{
    WriteFloat(section, key, double(value), decimalSeparator);
}

void TIniFile::UpdateFile()
{
    if (!FModified)
        return;
    const QFileInfo info(FFileName);
    const auto fail = [&info] {
        throw EError(QStringLiteral("Unable to write to %1").arg(info.absoluteFilePath()));
    };
    // A file we could not read would lose its contents; a read-only one is
    // the user's wish, even though the folder would let us replace it.
    if (FUnreadable || (info.exists() && (!info.isFile() || !info.isWritable())))
        fail();
    const QByteArray bytes = WithCrLf(FText);
    // Written beside the old file, flushed to disk and renamed over it, so
    // that a crash or a full disk leaves the old file whole.
    QSaveFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly))
        fail();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        fail();
    }
    if (!file.commit())
        fail();
    FModified = false;
}

QString SettingsFilePath(const QString &appDataDir, const QString &executablePath)
{
    const QString path = FolderWithDelimiter(appDataDir);
    const QString baseName = NameWithoutExtension(executablePath);
    return path + baseName + QLatin1Char('/') + baseName + QStringLiteral(".ini");
}

bool ForceDirectories(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    return QDir().mkpath(folder);
}
