#include "platform/FileNames.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char16_t kKeptByteBase = 0xDC00;

bool IsKeptByte(char16_t u)
{
    return u >= 0xDC80 && u <= 0xDCFF;
}

bool InRange(unsigned char b, unsigned char low, unsigned char high)
{
    return b >= low && b <= high;
}

// The length of the well-formed UTF-8 sequence at p (the Unicode standard's
// table: no overlong forms, no surrogates, nothing above U+10FFFF), or 0.
int SequenceLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned char b = p[0];
    const qsizetype left = end - p;
    if (b < 0x80)
        return 1;
    if (InRange(b, 0xC2, 0xDF))
        return left >= 2 && InRange(p[1], 0x80, 0xBF) ? 2 : 0;
    if (InRange(b, 0xE0, 0xEF)) {
        const unsigned char low = b == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = b == 0xED ? 0x9F : 0xBF;
        return left >= 3 && InRange(p[1], low, high) && InRange(p[2], 0x80, 0xBF) ? 3 : 0;
    }
    if (InRange(b, 0xF0, 0xF4)) {
        const unsigned char low = b == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = b == 0xF4 ? 0x8F : 0xBF;
        return left >= 4 && InRange(p[1], low, high) && InRange(p[2], 0x80, 0xBF) && InRange(p[3], 0x80, 0xBF)
            ? 4
            : 0;
    }
    return 0;
}

char32_t CodePoint(const unsigned char *p, int length)
{
    switch (length) {
    case 1:
        return p[0];
    case 2:
        return char32_t(p[0] & 0x1F) << 6 | (p[1] & 0x3F);
    case 3:
        return char32_t(p[0] & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
    default:
        return char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 | char32_t(p[2] & 0x3F) << 6
            | (p[3] & 0x3F);
    }
}

} // namespace

QString DecodeFileName(const char *bytes, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    const auto *end = p + size;
    // Most names are ASCII.
    if (std::all_of(p, end, [](unsigned char b) {
            return b < 0x80;
        }))
        return QString::fromLatin1(bytes, size);
    QString text;
    text.reserve(size);
    while (p < end) {
        const int length = SequenceLength(p, end);
        if (length == 0) {
            text += QChar(char16_t(kKeptByteBase + *p));
            ++p;
            continue;
        }
        const char32_t cp = CodePoint(p, length);
        if (cp > 0xFFFF) {
            text += QChar(QChar::highSurrogate(cp));
            text += QChar(QChar::lowSurrogate(cp));
        } else {
            text += QChar(char16_t(cp));
        }
        p += length;
    }
    return text;
}

QString DecodeFileName(const char *nulTerminated)
{
    return DecodeFileName(nulTerminated, qsizetype(std::strlen(nulTerminated)));
}

QByteArray EncodeFileName(const QString &text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.isSurrogate();
        }))
        return text.toUtf8();
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            bytes += QString(text.constData() + i, 2).toUtf8();
            ++i;
        } else if (IsKeptByte(u)) {
            bytes += char(u - kKeptByteBase);
        } else {
            bytes += QString(text.at(i)).toUtf8();
        }
    }
    return bytes;
}

QString ShownFileName(const QString &text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) {
            return IsKeptByte(c.unicode());
        }))
        return text;
    QString shown = text;
    std::replace_if(
        shown.begin(),
        shown.end(),
        [](QChar c) {
            return IsKeptByte(c.unicode());
        },
        QChar::ReplacementCharacter);
    return shown;
}
