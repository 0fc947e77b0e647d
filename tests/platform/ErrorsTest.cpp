#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(Errors, InOutMessagesByCode)
{
    EXPECT_EQ(EInOutError(2, QString()).Message(), QStringLiteral("The specified file was not found"));
    EXPECT_EQ(EInOutError(3, QStringLiteral("/x/y")).Message(), QStringLiteral("Invalid file name - /x/y"));
    EXPECT_EQ(EInOutError(4, QString()).Message(), QStringLiteral("Too many open files"));
    EXPECT_EQ(EInOutError(5, QString()).Message(), QStringLiteral("File access denied"));
    EXPECT_EQ(EInOutError(32, QString()).Message(), QStringLiteral("I/O error 32"));
    EXPECT_EQ(EInOutError::CodeFromErrno(ENOENT), 3);
    EXPECT_EQ(EInOutError::CodeFromErrno(EACCES), 5);
    EXPECT_EQ(EInOutError::CodeFromErrno(EISDIR), 5);
    EXPECT_EQ(EInOutError::CodeFromErrno(EMFILE), 4);
}

TEST(Errors, DisplayAppendsAFullStopAfterLettersOnly)
{
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("Item not found")), QStringLiteral("Item not found."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("I/O error 32")), QStringLiteral("I/O error 32."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("Who?")), QStringLiteral("Who?."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("a -")), QStringLiteral("a -"));
    EXPECT_EQ(ErrorDisplayText(QString()), QString());
}

} // namespace
