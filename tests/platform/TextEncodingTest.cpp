#include "platform/AnsiCodePage.h"
#include "platform/TextEncoding.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(AnsiCodePage, FollowsTheLocalesLanguageScriptAndTerritory)
{
    const struct
    {
        const char *Locale;
        int CodePage;
    } rows[] = {
        {"en_US.UTF-8", 1252},
        {"de_DE@euro", 1252},
        {"C", 1252},
        {"POSIX", 1252},
        {"C.UTF-8", 1252},
        {"", 1252},
        {"xx_YY.UTF-8", 1252},
        {"pl_PL.UTF-8", 1250},
        {"sq_AL", 1250},
        {"ru_RU.UTF-8", 1251},
        {"ru", 1251},
        {"uk_UA.KOI8-U", 1251},
        {"sr_RS", 1251},
        {"sr_RS@latin", 1250},
        {"sr_ME.UTF-8", 1250},
        {"kk_KZ", 1251},
        {"el_GR.UTF-8", 1253},
        {"tr_TR.UTF-8", 1254},
        {"az_AZ", 1254},
        {"az_AZ@cyrillic", 1251},
        {"he_IL.UTF-8", 1255},
        {"fa_IR", 1256},
        {"ar_EG.UTF-8", 1256},
        {"et_EE", 1257},
        {"vi_VN", 1258},
        {"th_TH.UTF-8", 874},
        {"ja_JP.UTF-8", 932},
        {"zh_CN.UTF-8", 936},
        {"zh_SG", 936},
        {"zh_TW.UTF-8", 950},
        {"zh_HK.UTF-8", 950},
        {"zh_MO", 950},
        {"ko_KR.eucKR", 949},
    };
    for (const auto &r : rows)
        EXPECT_EQ(AnsiCodePageForLocale(r.Locale), r.CodePage) << r.Locale;
}

TEST(AnsiCodePage, LocaleNameIsLcAllThenLcCtypeThenLang)
{
    const QByteArray saved[] = {qgetenv("LC_ALL"), qgetenv("LC_CTYPE"), qgetenv("LANG")};
    qputenv("LANG", "ja_JP.UTF-8");
    qunsetenv("LC_ALL");
    qunsetenv("LC_CTYPE");
    EXPECT_EQ(LocaleNameFromEnvironment(), QByteArray("ja_JP.UTF-8"));
    qputenv("LC_CTYPE", "ru_RU.UTF-8");
    EXPECT_EQ(LocaleNameFromEnvironment(), QByteArray("ru_RU.UTF-8"));
    qputenv("LC_ALL", "el_GR");
    EXPECT_EQ(LocaleNameFromEnvironment(), QByteArray("el_GR"));
    // An empty variable is no choice.
    qputenv("LC_ALL", "");
    EXPECT_EQ(LocaleNameFromEnvironment(), QByteArray("ru_RU.UTF-8"));
    const char *names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isNull())
            qunsetenv(names[i]);
        else
            qputenv(names[i], saved[i]);
    }
}

// 1252's own characters in 0x80 to 0x9F; 0 marks the bytes it leaves undefined.
constexpr char16_t kCp1252C1Row[32] = {0x20AC,
    0,
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
    0,
    0x017D,
    0,
    0,
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
    0,
    0x017E,
    0x0178};

// Encode side on its own: a fault that writes U+0080 to U+009F as the bytes
// of the same number would pass any decode-then-round-trip test.
TEST(TextEncoding, Cp1252UpperRowAndTheC1RangeFromText)
{
    const TTextEncoding cp1252 = TTextEncoding::CodePage(1252);
    for (int i = 0; i < 32; ++i) {
        const char byte = char(0x80 + i);
        const char16_t c1 = char16_t(0x80 + i);
        if (kCp1252C1Row[i]) {
            EXPECT_EQ(cp1252.Encode(QString(QChar(kCp1252C1Row[i]))), QByteArray(1, byte)) << i;
            EXPECT_EQ(cp1252.Encode(QString(QChar(c1))), QByteArray("?")) << i;
            EXPECT_EQ(cp1252.Decode(QByteArray(1, byte)), QString(QChar(kCp1252C1Row[i]))) << i;
        } else {
            // Undefined bytes and their C1 characters go both ways, as on Windows.
            EXPECT_EQ(cp1252.Encode(QString(QChar(c1))), QByteArray(1, byte)) << i;
        }
    }
    for (int u = 0xA0; u <= 0xFF; ++u)
        EXPECT_EQ(cp1252.Encode(QString(QChar(char16_t(u)))), QByteArray(1, char(u))) << u;
}

TEST(TextEncoding, C1CharactersNeverTurnIntoAnotherCharactersByte)
{
    for (int codePage : {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
        const TTextEncoding e = TTextEncoding::CodePage(codePage);
        for (char16_t u = 0x80; u <= 0x9F; ++u) {
            const QByteArray bytes = e.Encode(QString(QChar(u)));
            if (bytes != "?") {
                EXPECT_EQ(e.Decode(bytes), QString(QChar(u))) << codePage << " U+" << int(u);
            }
        }
    }
}

TEST(TextEncoding, EachCodePageWritesItsLettersThenLookAlikesThenQuestionMark)
{
    const struct
    {
        int CodePage;
        const char *Text; // UTF-8
        QByteArray Bytes;
    } rows[] = {
        {1252, "a.txt", "a.txt"},
        {1252, "\u20AC\u00E9", "\x80\xE9"},
        {1252, "\u0107\uFF21", "cA"}, // look-alikes
        {1252, "\u0414", "?"}, // Cyrillic: no place, no look-alike
        {1252, "\U0001F600", "?"}, // one "?" for a pair
        {1252, "\u2212\u2033", "-\""},
        {1250, "\u0107", "\xE6"},
        {1250, "\u0414", "?"},
        {1251, "\u0414\u20AC", "\xC4\x88"},
        {1251, "\u00E9", "e"},
        {1253, "\u03A9", "\xD9"},
        {1254, "\u011F", "\xF0"},
        {1255, "\u05D0", "\xE0"},
        {1256, "\u0639", "\xDA"},
        {1256, "\u0663\u0660", "30"}, // Arabic-Indic digits: 1256 has none
        {1252, "\u0967", "1"}, // Devanagari one
        {1257, "\u0105", "\xE0"},
        {1258, "\u0111", "\xF0"},
        {1258, "\u1EA5", "\xE2\xEC"}, // a with circumflex and acute: letter plus mark
        {1258, "\u1ED9", "\xF4\xF2"}, // o with circumflex and dot below
        {874, "\u0E01", "\xA1"},
        {932, "\u5E74\uFF71", "\x94\x4E\xB1"},
        {932, "\u00E9", "e"},
        {932, "\u05D0", "?"}, // never the converter's FC FC
        {932, "\\", "\\"},
        {936, "\u4E2D", "\xD6\xD0"},
        {949, "\uD55C", "\xC7\xD1"},
        {950, "\u4E2D", "\xA4\xA4"},
    };
    for (const auto &r : rows) {
        const TTextEncoding e = TTextEncoding::CodePage(r.CodePage);
        EXPECT_EQ(e.Encode(QString::fromUtf8(r.Text)), r.Bytes) << r.CodePage << " " << r.Text;
    }
}

TEST(TextEncoding, DecodesWhatItWrites)
{
    for (int codePage : {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
        const TTextEncoding e = TTextEncoding::CodePage(codePage);
        EXPECT_EQ(e.CodePageNumber(), codePage);
        const QString ascii = QStringLiteral("report 2024.txt");
        EXPECT_EQ(e.Decode(e.Encode(ascii)), ascii) << codePage;
    }
    EXPECT_EQ(TTextEncoding::CodePage(932).Decode("\x94\x4E\x82"), QString::fromUtf8("\u5E74\uFFFD"));
    EXPECT_EQ(TTextEncoding::CodePage(1251).Decode("\xCF\xF0\xE8"), QString::fromUtf8("\u041F\u0440\u0438"));
}

TEST(TextEncoding, ACutKeepsWholeCharacters)
{
    const TTextEncoding cp932 = TTextEncoding::CodePage(932);
    const QString kanji(200, QChar(0x5E74));
    EXPECT_EQ(cp932.Encode(kanji, 255).size(), 254);
    const QByteArray odd = cp932.Encode(QLatin1Char('a') + kanji, 255);
    EXPECT_EQ(odd.size(), 255);
    EXPECT_EQ(odd.right(2), QByteArray("\x94\x4E"));
    EXPECT_EQ(TTextEncoding::CodePage(1252).Encode(QString(300, QLatin1Char('x')), 255).size(), 255);
    EXPECT_EQ(TTextEncoding::Utf8().Encode(QString(200, QChar(0x00E9)), 255).size(), 254);
}

TEST(TextEncoding, NamesAndCharsets)
{
    const struct
    {
        const char *Name;
        int CodePage;
    } names[] = {{"windows-1251", 1251},
        {"WINDOWS-1252", 1252},
        {"cp932", 932},
        {"CP874", 874},
        {"windows-1", 0},
        {"utf-8", 0},
        {"cp437", 0},
        {"", 0}};
    for (const auto &n : names)
        EXPECT_EQ(TTextEncoding::CodePageOfName(QString::fromLatin1(n.Name)), n.CodePage) << n.Name;
    EXPECT_EQ(TTextEncoding::CodePage(1251).CharsetName(), QByteArray("windows-1251"));
    EXPECT_EQ(TTextEncoding::CodePage(932).CharsetName(), QByteArray("shift_jis"));
    EXPECT_EQ(TTextEncoding::CodePage(1234).CodePageNumber(), 1252);
    EXPECT_EQ(TTextEncoding::Utf8().CharsetName(), QByteArray("utf-8"));
}

TEST(TextEncoding, TheLocalesCharsetForATerminal)
{
    EXPECT_TRUE(LocaleEncoding("en_US.UTF-8").IsUtf8());
    EXPECT_TRUE(LocaleEncoding("ru_RU.utf8").IsUtf8());
    EXPECT_EQ(LocaleEncoding("ja_JP.eucJP").Encode(QString(QChar(0x5E74))), QByteArray("\xC7\xAF"));
    EXPECT_EQ(LocaleEncoding("C").Encode(QString::fromUtf8("caf\u00E9 \u0414")), QByteArray("cafe ?"));
    EXPECT_TRUE(LocaleEncoding("C.UTF-8").IsUtf8());
}

} // namespace
