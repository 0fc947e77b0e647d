#include "platform/AnsiCodePage.h"
#include "platform/CodePages.h"

#include <gtest/gtest.h>

namespace {

TEST(ToAnsi, OneBytePerCharacterWithLookAlikesThenQuestionMark)
{
    EXPECT_EQ(ToAnsi(QStringLiteral("a.txt")), QByteArray("a.txt"));
    EXPECT_EQ(ToAnsi(QString(QChar(0x20AC))), QByteArray("\x80"));
    EXPECT_EQ(ToAnsi(QString(QChar(0x00E9))), QByteArray("\xE9"));
    // Not in 1252: the base letter of its decomposition.
    EXPECT_EQ(ToAnsi(QString(QChar(0x0107))), QByteArray("c"));
    EXPECT_EQ(ToAnsi(QString(QChar(0xFF21))), QByteArray("A"));
    // Cyrillic has no place and no look-alike.
    EXPECT_EQ(ToAnsi(QString(QChar(0x0414))), QByteArray("?"));
    // A character outside the BMP is one "?", not two.
    EXPECT_EQ(ToAnsi(QString::fromUtf8("\xF0\x9F\x98\x80")), QByteArray("?"));
}

TEST(FromCodePages, DecodeTheUpperHalves)
{
    EXPECT_EQ(FromCp437(QByteArray("\x81")), QString(QChar(0x00FC)));
    EXPECT_EQ(FromAnsi(QByteArray("\x80\xE9")), QString(QChar(0x20AC)) + QChar(0x00E9));
    EXPECT_EQ(FromUtf8(QByteArray("\xC3\xBC")), QString(QChar(0x00FC)));
    // Every byte survives a round trip through 1252, undefined ones included.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    EXPECT_EQ(ToAnsi(FromAnsi(all)), all);
}

// The ANSI code page is the locale's: a Russian system keeps Cyrillic, and
// reads its bytes back.
TEST(ToAnsi, FollowsTheChosenCodePage)
{
    SetAnsiCodePage(1251);
    EXPECT_EQ(ToAnsi(QString(QChar(0x0414))), QByteArray("\xC4"));
    EXPECT_EQ(FromAnsi(QByteArray("\xC4")), QString(QChar(0x0414)));
    SetAnsiCodePage(932);
    EXPECT_EQ(ToAnsi(QString(QChar(0x5E74))), QByteArray("\x94\x4E"));
    SetAnsiCodePage(1252);
    EXPECT_EQ(ToAnsi(QString(QChar(0x0414))), QByteArray("?"));
}

} // namespace
