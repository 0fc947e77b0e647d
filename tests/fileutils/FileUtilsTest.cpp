#include "fileutils/FileUtils.h"
#include "platform/LocaleServices.h"
#include "platform/PrivateTemp.h"
#include "platform/SpecialFolders.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

namespace {

TEST(FormatFileSize, TheTableOfResults)
{
    const struct
    {
        int64_t bytes;
        const char *text;
    } rows[] = {
        {0, "0 bytes"},
        {999, "999 bytes"},
        {1000, "0.97 KB"},
        {1023, "0.99 KB"},
        {1024, "1 KB"},
        {1025, "1.00 KB"},
        {1535, "1.49 KB"},
        {1536, "1.5 KB"},
        {2047, "1.99 KB"},
        {10240, "10 KB"},
        {12345, "12.0 KB"},
        {102400, "100 KB"},
        {123456, "120 KB"},
        {1024000, "1000 KB"},
        {1048575, "1023 KB"},
        {1048576, "1 MB"},
        {5000000, "4.76 MB"},
        {1073741823, "1023 MB"},
        {1073741824, "1 GB"},
        {3000000000, "2.79 GB"},
        {3221225472, "3 GB"},
        {1099511627776, "1024 GB"},
        {-1536, "1.5 KB"},
        {-999, "999 bytes"},
        {-1, "1 bytes"},
        {std::numeric_limits<int64_t>::max(), "8589934592 GB"},
        // Its magnitude has no signed 64-bit value; it is still a size, not a crash.
        {std::numeric_limits<int64_t>::min(), "8589934592 GB"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(FormatFileSize(row.bytes), QString::fromLatin1(row.text)) << row.bytes;
}

TEST(FormatFileSize, TheCutFollowsTheLocalesSeparator)
{
    SetUserLocale(QLocale(QLocale::German, QLocale::Germany));
    const QString texts[] = {
        FormatFileSize(1536), FormatFileSize(12345), FormatFileSize(1048575), FormatFileSize(1024)};
    SetUserLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(texts[0], QStringLiteral("1,5 KB"));
    EXPECT_EQ(texts[1], QStringLiteral("12,0 KB"));
    EXPECT_EQ(texts[2], QStringLiteral("1023 KB"));
    EXPECT_EQ(texts[3], QStringLiteral("1 KB"));
}

TEST(BaseTempDir, TheExecutablesExtensionBecomesTheDigits)
{
    const struct
    {
        const char *tempDir, *executable;
        uint64_t tick;
        const char *result;
    } rows[] = {
        {"/tmp/u/", "/usr/bin/my.tool", 1, "/tmp/u/my10000"},
        {"/tmp/u/", "/usr/bin/my.tool.exe", 1, "/tmp/u/my.tool10000"},
        {"/tmp/u/", "/usr/bin/tool", 2, "/tmp/u/tool20000"},
        {"/tmp/u", "/usr/bin/tool", 0, "/tmp/u/tool0"},
        // A dot in a folder name is not the executable's extension.
        {"/tmp/u/", "/opt/app.d/tool", 3, "/tmp/u/tool30000"},
        // tick * 10000 keeps its low 32 bits: 4294970000 - 2^32.
        {"/tmp/u/", "/usr/bin/tool", 429497, "/tmp/u/tool2704"},
        {"/tmp/u/", "/usr/bin/tool", 429496, "/tmp/u/tool4294960000"},
        // A tick count past 32 bits wraps the same way.
        {"/tmp/u/", "/usr/bin/tool", (uint64_t(1) << 32) + 1, "/tmp/u/tool10000"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(
            BaseTempDirFrom(QString::fromLatin1(row.tempDir), QString::fromLatin1(row.executable), row.tick),
            QString::fromLatin1(row.result))
            << row.executable << " " << row.tick;
}

TEST(BaseTempDir, LiesInTheUsersTemporaryFolderWithoutATrailingDelimiterAndTouchesNothing)
{
    QTemporaryDir tmp;
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const QString dir = GetBaseTempDir();
    const QString temp = UserTempPath();
    EXPECT_TRUE(QDir(tmp.path()).isEmpty());
    qputenv("TMPDIR", saved);
    ASSERT_TRUE(dir.startsWith(temp)) << dir.toStdString();
    const QString name = dir.mid(temp.size());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^fileutils_tests[0-9]{1,10}$")).match(name).hasMatch())
        << name.toStdString();
    EXPECT_FALSE(dir.endsWith(QLatin1Char('/')));
}

TEST(BaseTempDir, TheNextNameCountsOnFromTheDigits)
{
    const struct
    {
        const char *dir;
        const char *next;
    } rows[] = {
        {"/t/cartola705032704", "/t/cartola705032705"},
        {"/t/tool4294967295", "/t/tool0"},
        {"/t/x12", "/t/x13"},
        {"/t/name", "/t/name1"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(NextBaseTempDir(QString::fromLatin1(row.dir)), QString::fromLatin1(row.next)) << row.dir;
}

class UserProfileDir : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const char *home = std::getenv("HOME"))
            saved = home;
    }
    void TearDown() override
    {
        if (saved)
            setenv("HOME", saved->c_str(), 1);
        else
            unsetenv("HOME");
    }
    std::optional<std::string> saved;
};

TEST_F(UserProfileDir, IsEmptyWhenHomeIsUnset)
{
    unsetenv("HOME");
    EXPECT_EQ(GetUserProfileDir(), QString());
}

TEST_F(UserProfileDir, IsHomeInFull)
{
    const std::string longHome = "/home/" + std::string(400, 'x') + "/\xc3\xa9t\xc3\xa9";
    setenv("HOME", longHome.c_str(), 1);
    EXPECT_EQ(GetUserProfileDir(), QString::fromUtf8(longHome.c_str()));
}

using ShellOpenFileTest = TTempFolderTest;

TEST_F(ShellOpenFileTest, AMissingFileOpensNothing)
{
    EXPECT_FALSE(ShellOpenFile(PathOf(QStringLiteral("missing.txt"))));
}

} // namespace
