// The encodings text files are written in: the Windows code pages, UTF-8 and the locale's charset.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <memory>

struct TCharsetTable;

// A character the encoding lacks is written, in this order of preference, as
// the code page's letter plus its combining marks (Vietnamese), an ASCII digit
// for a decimal digit of any script, the base letter of its compatibility
// decomposition, a plain dash or prime, else "?". Never a converter's own
// substitute bytes. A character's bytes are never split.
class TTextEncoding
{
public:
    // The code pages of the ANSI rule: 874, 932, 936, 949, 950, 1250 to 1258.
    // Any other number is taken as 1252.
    static TTextEncoding CodePage(int codePage);
    static TTextEncoding Utf8(bool byteOrderMark = false);
    // A charset by its ICU or IANA name, as a locale names it; UTF-8 when unknown.
    static TTextEncoding Charset(const QByteArray &name);
    // The code page of a --encoding name (windows-1251, cp1251); 0 when the name is none.
    static int CodePageOfName(const QString &name);

    // The Windows code page number; 0 for UTF-8 and the locale charsets.
    int CodePageNumber() const;
    bool IsUtf8() const { return !FTable; }
    // Every ASCII character is its own single byte (all code pages here are).
    bool AsciiCompatible() const;
    bool ByteOrderMark() const { return FByteOrderMark; }
    TTextEncoding WithoutByteOrderMark() const;
    // The IANA name an HTML page declares.
    QByteArray CharsetName() const;

    void Append(QStringView text, QByteArray &out) const;
    QByteArray Encode(QStringView text) const;
    // Whole characters only, no more than maxBytes of them.
    QByteArray Encode(QStringView text, qsizetype maxBytes) const;
    QString Decode(QByteArrayView bytes) const;

    bool operator==(const TTextEncoding &other) const
    {
        return FTable == other.FTable && FByteOrderMark == other.FByteOrderMark;
    }

private:
    std::shared_ptr<const TCharsetTable> FTable; // null: UTF-8
    bool FByteOrderMark = false;
};
