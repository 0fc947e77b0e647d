#include "platform/FileNames.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(FileNames, EveryNameEncodesBackToItsBytes)
{
    const struct
    {
        const char *what;
        QByteArray bytes;
        QString shown;
    } cases[] = {
        {"ascii", "notes.txt", QStringLiteral("notes.txt")},
        {"utf-8", "caf\xC3\xA9", QStringLiteral("caf\u00E9")},
        {"four-byte utf-8", "\xF0\x9F\x98\x80.png", QString::fromUtf8("\xF0\x9F\x98\x80.png")},
        {"latin-1", "\xE9t\xE9", QStringLiteral("\uFFFDt\uFFFD")},
        {"stray byte",
            "b\xFF"
            "d",
            QStringLiteral("b\uFFFDd")},
        {"byte-order mark kept", "\xEF\xBB\xBFx", QStringLiteral("\uFEFFx")},
        {"encoded surrogate", "\xED\xA0\x80", QStringLiteral("\uFFFD\uFFFD\uFFFD")},
        {"overlong slash", "\xC0\xAF", QStringLiteral("\uFFFD\uFFFD")},
        {"above U+10FFFF", "\xF4\x90\x80\x80", QStringLiteral("\uFFFD\uFFFD\uFFFD\uFFFD")},
        {"cut short", "a\xE2\x82", QStringLiteral("a\uFFFD\uFFFD")},
        {"valid then stray", "\xF0\x9F\x98\x80\x80", QString::fromUtf8("\xF0\x9F\x98\x80") + QChar(0xFFFD)},
    };
    for (const auto &c : cases) {
        const QString text = DecodeFileName(c.bytes.constData(), c.bytes.size());
        EXPECT_EQ(EncodeFileName(text), c.bytes) << c.what;
        EXPECT_EQ(ShownFileName(text), c.shown) << c.what;
    }
}

TEST(FileNames, AllShortByteStringsRoundTripAndValidUtf8ReadsAsUsual)
{
    for (int a = 1; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const char pair[] = {char(a), char(b)};
            const QByteArray bytes(pair, b == 0 ? 1 : 2);
            const QString text = DecodeFileName(bytes.constData(), bytes.size());
            ASSERT_EQ(EncodeFileName(text), bytes) << a << " " << b;
        }
    }
    uint32_t seed = 99;
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes;
        for (int k = 0; k < 6; ++k) {
            seed = seed * 1103515245u + 12345u;
            bytes += char(0x80 + (seed >> 16) % 0x78);
        }
        const QString text = DecodeFileName(bytes.constData(), bytes.size());
        ASSERT_EQ(EncodeFileName(text), bytes) << bytes.toHex().toStdString();
        // Bytes that are UTF-8 read as Qt reads them (which drops a leading byte-order mark).
        if (ShownFileName(text) == text && !bytes.startsWith("\xEF\xBB\xBF")) {
            ASSERT_EQ(text, QString::fromUtf8(bytes)) << bytes.toHex().toStdString();
        }
    }
}

} // namespace
