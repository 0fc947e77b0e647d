#include "platform/CodePages.h"

#include <QStringView>

#include <array>

namespace {

// Upper halves of the two code pages; the lower halves are ASCII.
constexpr std::array<char16_t, 128> kCp1252High = {
    0x20AC,
    0x0081,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0x008D,
    0x017D,
    0x008F,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0x009D,
    0x017E,
    0x0178,
    0x00A0,
    0x00A1,
    0x00A2,
    0x00A3,
    0x00A4,
    0x00A5,
    0x00A6,
    0x00A7,
    0x00A8,
    0x00A9,
    0x00AA,
    0x00AB,
    0x00AC,
    0x00AD,
    0x00AE,
    0x00AF,
    0x00B0,
    0x00B1,
    0x00B2,
    0x00B3,
    0x00B4,
    0x00B5,
    0x00B6,
    0x00B7,
    0x00B8,
    0x00B9,
    0x00BA,
    0x00BB,
    0x00BC,
    0x00BD,
    0x00BE,
    0x00BF,
    0x00C0,
    0x00C1,
    0x00C2,
    0x00C3,
    0x00C4,
    0x00C5,
    0x00C6,
    0x00C7,
    0x00C8,
    0x00C9,
    0x00CA,
    0x00CB,
    0x00CC,
    0x00CD,
    0x00CE,
    0x00CF,
    0x00D0,
    0x00D1,
    0x00D2,
    0x00D3,
    0x00D4,
    0x00D5,
    0x00D6,
    0x00D7,
    0x00D8,
    0x00D9,
    0x00DA,
    0x00DB,
    0x00DC,
    0x00DD,
    0x00DE,
    0x00DF,
    0x00E0,
    0x00E1,
    0x00E2,
    0x00E3,
    0x00E4,
    0x00E5,
    0x00E6,
    0x00E7,
    0x00E8,
    0x00E9,
    0x00EA,
    0x00EB,
    0x00EC,
    0x00ED,
    0x00EE,
    0x00EF,
    0x00F0,
    0x00F1,
    0x00F2,
    0x00F3,
    0x00F4,
    0x00F5,
    0x00F6,
    0x00F7,
    0x00F8,
    0x00F9,
    0x00FA,
    0x00FB,
    0x00FC,
    0x00FD,
    0x00FE,
    0x00FF,
};

constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7,
    0x00FC,
    0x00E9,
    0x00E2,
    0x00E4,
    0x00E0,
    0x00E5,
    0x00E7,
    0x00EA,
    0x00EB,
    0x00E8,
    0x00EF,
    0x00EE,
    0x00EC,
    0x00C4,
    0x00C5,
    0x00C9,
    0x00E6,
    0x00C6,
    0x00F4,
    0x00F6,
    0x00F2,
    0x00FB,
    0x00F9,
    0x00FF,
    0x00D6,
    0x00DC,
    0x00A2,
    0x00A3,
    0x00A5,
    0x20A7,
    0x0192,
    0x00E1,
    0x00ED,
    0x00F3,
    0x00FA,
    0x00F1,
    0x00D1,
    0x00AA,
    0x00BA,
    0x00BF,
    0x2310,
    0x00AC,
    0x00BD,
    0x00BC,
    0x00A1,
    0x00AB,
    0x00BB,
    0x2591,
    0x2592,
    0x2593,
    0x2502,
    0x2524,
    0x2561,
    0x2562,
    0x2556,
    0x2555,
    0x2563,
    0x2551,
    0x2557,
    0x255D,
    0x255C,
    0x255B,
    0x2510,
    0x2514,
    0x2534,
    0x252C,
    0x251C,
    0x2500,
    0x253C,
    0x255E,
    0x255F,
    0x255A,
    0x2554,
    0x2569,
    0x2566,
    0x2560,
    0x2550,
    0x256C,
    0x2567,
    0x2568,
    0x2564,
    0x2565,
    0x2559,
    0x2558,
    0x2552,
    0x2553,
    0x256B,
    0x256A,
    0x2518,
    0x250C,
    0x2588,
    0x2584,
    0x258C,
    0x2590,
    0x2580,
    0x03B1,
    0x00DF,
    0x0393,
    0x03C0,
    0x03A3,
    0x03C3,
    0x00B5,
    0x03C4,
    0x03A6,
    0x0398,
    0x03A9,
    0x03B4,
    0x221E,
    0x03C6,
    0x03B5,
    0x2229,
    0x2261,
    0x00B1,
    0x2265,
    0x2264,
    0x2320,
    0x2321,
    0x00F7,
    0x2248,
    0x00B0,
    0x2219,
    0x00B7,
    0x221A,
    0x207F,
    0x00B2,
    0x25A0,
    0x00A0,
};

QString DecodeHigh(const QByteArray &bytes, const std::array<char16_t, 128> &high)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = QChar(b < 0x80 ? char16_t(b) : high[b - 0x80]);
    }
    return out;
}

// Reverse map of the 1252 upper half for the code points outside Latin-1.
int Cp1252ByteFor(char16_t u)
{
    if (u < 0x80)
        return u;
    if (u >= 0xA0 && u <= 0xFF)
        return u;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[size_t(i)] == u)
            return 0x80 + i;
    return -1;
}

// Look-alikes for characters without a place: the base letter of a
// compatibility decomposition whose rest are combining marks (é -> e,
// ﬁ -> f is not taken), then a few dashes and primes.
int Cp1252BestFit(char32_t u)
{
    if (u <= 0xFFFF && !QChar::isSurrogate(char16_t(u))) {
        const QString decomposed = QString(QChar(char16_t(u))).normalized(QString::NormalizationForm_KD);
        const int b = decomposed.isEmpty() ? -1 : Cp1252ByteFor(decomposed.at(0).unicode());
        bool marksOnly = true;
        for (qsizetype i = 1; i < decomposed.size(); ++i)
            marksOnly = marksOnly && decomposed.at(i).category() == QChar::Mark_NonSpacing;
        if (b >= 0 && marksOnly && decomposed.size() >= 1 && decomposed.at(0).unicode() != u)
            return b;
    }
    switch (u) {
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2212:
        return '-';
    case 0x2032:
        return '\'';
    case 0x2033:
        return '"';
    default:
        return -1;
    }
}

} // namespace

QByteArray ToAnsi(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        int b = Cp1252ByteFor(u);
        if (b < 0) {
            char32_t cp = u;
            if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
                cp = QChar::surrogateToUcs4(u, text.at(i + 1).unicode());
                ++i;
            }
            b = Cp1252BestFit(cp);
        }
        out.append(b < 0 ? '?' : char(b));
    }
    return out;
}

QString FromAnsi(const QByteArray &bytes)
{
    return DecodeHigh(bytes, kCp1252High);
}

QString FromCp437(const QByteArray &bytes)
{
    return DecodeHigh(bytes, kCp437High);
}

QString FromUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}
