#include "CliRunner.h"
#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QProcessEnvironment Locale(const char *name)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(name));
    env.insert(QStringLiteral("LANG"), QString::fromLatin1(name));
    return env;
}

// A Russian folder holding a Russian and a French name.
class EncodingCliTest : public TUtcFolderTest
{
protected:
    void SetUp() override
    {
        TUtcFolderTest::SetUp();
        Folder = Root + QString::fromUtf8("/\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B");
        ASSERT_TRUE(QDir().mkpath(Folder));
        WriteFile(Folder + QString::fromUtf8("/\u041F\u0440\u0438\u0432\u0435\u0442.txt"), "abc");
        WriteFile(Folder + QString::fromUtf8("/caf\u00E9.txt"), "abcd");
    }
    QStringList Csv(const QStringList &more = {}) const
    {
        return QStringList{QStringLiteral("--format"),
                   QStringLiteral("csv"),
                   QStringLiteral("--no-headers"),
                   QStringLiteral("--extensions")}
        + more + QStringList{Folder};
    }
    QString Folder;
};

TEST_F(EncodingCliTest, TheLocaleOrTheOptionChoosesTheBytes)
{
    const QByteArray root = Root.toUtf8();
    const QByteArray privet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2.txt,";
    const QByteArray folder1251 = "/\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2\xFB/,";
    const QByteArray privetUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt,";
    const struct
    {
        const char *Locale;
        QStringList Options;
        QByteArrayList Holds;
    } rows[] = {
        {"ru_RU.UTF-8", {}, {privet1251, "cafe.txt,", folder1251}},
        {"en_US.UTF-8",
            {QStringLiteral("--encoding"), QStringLiteral("windows-1251")},
            {privet1251, "cafe.txt,"}},
        {"en_US.UTF-8", {QStringLiteral("--encoding"), QStringLiteral("cp1251")}, {privet1251}},
        {"ru_RU.UTF-8",
            {QStringLiteral("--encoding"), QStringLiteral("windows-1252")},
            {QByteArray(6, '?') + ".txt,", "caf\xE9.txt,"}},
        {"en_US.UTF-8", {}, {QByteArray(6, '?') + ".txt,", "caf\xE9.txt,", "/" + QByteArray(9, '?') + "/,"}},
        {"ja_JP.UTF-8", {}, {"\x84\x50\x84\x82\x84\x79\x84\x72\x84\x75\x84\x84.txt,", "cafe.txt,"}},
        {"C",
            {QStringLiteral("--encoding"), QStringLiteral("utf-8")},
            {privetUtf8, QByteArray("caf\xC3\xA9.txt,")}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.Locale) + " " + r.Options.join(QLatin1Char(' ')).toStdString());
        const TCliRun run = RunCli(Csv(r.Options), QString(), Locale(r.Locale));
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        for (const QByteArray &held : r.Holds)
            EXPECT_TRUE(run.Out.contains(held)) << run.Out.toHex(' ').constData();
        EXPECT_TRUE(run.Out.contains(root)) << run.Out.constData();
    }
}

// Names, folders and the locale's own date and time texts all keep their
// characters in a double-byte code page.
TEST_F(EncodingCliTest, AJapaneseListingKeepsEveryCharacterIn932)
{
    const TCliRun ansi = RunCli(Csv(), QString(), Locale("ja_JP.UTF-8"));
    const TCliRun utf8 = RunCli(
        Csv({QStringLiteral("--encoding"), QStringLiteral("utf-8")}), QString(), Locale("ja_JP.UTF-8"));
    const TCliRun bom = RunCli(
        Csv({QStringLiteral("--encoding"), QStringLiteral("utf-8-bom")}), QString(), Locale("ja_JP.UTF-8"));
    ASSERT_EQ(ansi.Status, 0);
    ASSERT_EQ(utf8.Status, 0);
    ASSERT_EQ(bom.Status, 0);
    const QString text = QString::fromUtf8(utf8.Out);
    // é has no place in 932: its look-alike, the rest as written.
    EXPECT_EQ(TTextEncoding::CodePage(932).Decode(ansi.Out),
        QString(text).replace(QChar(0x00E9), QLatin1Char('e')));
    EXPECT_EQ(bom.Out, "\xEF\xBB\xBF" + utf8.Out);
    EXPECT_TRUE(text.contains(QString::fromUtf8("\u041F\u0440\u0438\u0432\u0435\u0442.txt")))
        << utf8.Out.constData();
}

TEST_F(EncodingCliTest, TheHtmlPageDeclaresWhatItIsWrittenIn)
{
    const struct
    {
        const char *Locale;
        QStringList Options;
        const char *Charset;
    } rows[] = {
        {"ru_RU.UTF-8", {}, "windows-1251"},
        {"ja_JP.UTF-8", {}, "shift_jis"},
        {"zh_TW.UTF-8", {}, "big5"},
        {"en_US.UTF-8", {}, "windows-1252"},
        {"ru_RU.UTF-8", {QStringLiteral("--encoding"), QStringLiteral("utf-8")}, "utf-8"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.Locale);
        const TCliRun run = RunCli(r.Options + QStringList{Folder}, QString(), Locale(r.Locale));
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        EXPECT_TRUE(run.Out.contains("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset="
            + QByteArray(r.Charset) + "\">\r\n"))
            << run.Out.constData();
    }
}

TEST_F(EncodingCliTest, AWrongEncodingIsAUsageErrorAndWritesNothing)
{
    const QString out = Root + QStringLiteral("/out.xls");
    const struct
    {
        QStringList Arguments;
        const char *Message;
    } rows[] = {
        {{QStringLiteral("--encoding"), QStringLiteral("latin-9")}, "Unknown encoding 'latin-9'"},
        {{QStringLiteral("--encoding"), QStringLiteral("windows-1234")}, "Unknown encoding 'windows-1234'"},
        {{QStringLiteral("--format"),
             QStringLiteral("xls"),
             QStringLiteral("--encoding"),
             QStringLiteral("utf-8")},
            "The xls format takes a Windows code page, not UTF-8"},
        {{QStringLiteral("--format"),
             QStringLiteral("xls"),
             QStringLiteral("--encoding"),
             QStringLiteral("UTF-8-BOM")},
            "The xls format takes a Windows code page"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.Message);
        const TCliRun run = RunCli(r.Arguments + QStringList{QStringLiteral("-o"), out, Folder});
        EXPECT_EQ(run.Status, 2);
        EXPECT_TRUE(run.Err.contains(r.Message)) << run.Err.constData();
        EXPECT_FALSE(QFile::exists(out));
    }
}

// A terminal shows text in its own encoding; a pipe gets the export's bytes.
TEST_F(EncodingCliTest, ATerminalGetsTheLocalesEncoding)
{
    const TCliRun utf8 = RunCliOnRawTerminal(Csv(), "en_US.UTF-8");
    ASSERT_EQ(utf8.Status, 0);
    EXPECT_TRUE(utf8.Out.contains("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt,"))
        << utf8.Out.constData();
    EXPECT_TRUE(utf8.Out.contains("caf\xC3\xA9.txt,")) << utf8.Out.constData();
    EXPECT_TRUE(QString::fromUtf8(utf8.Out).toUtf8() == utf8.Out);
    const TCliRun ascii = RunCliOnRawTerminal(Csv(), "C");
    ASSERT_EQ(ascii.Status, 0);
    EXPECT_TRUE(ascii.Out.contains(QByteArray(6, '?') + ".txt,")) << ascii.Out.constData();
    EXPECT_TRUE(ascii.Out.contains("cafe.txt,")) << ascii.Out.constData();
}

// The format holds 65 535 rows: the file keeps those, and the command fails
// saying how many were left out.
TEST_F(EncodingCliTest, AnXlsCutIsReportedWithStatus1)
{
    const QString big = Root + QStringLiteral("/big");
    ASSERT_TRUE(QDir().mkpath(big));
    const QByteArray native = QFile::encodeName(big);
    for (int i = 0; i < 65536; ++i) {
        const QByteArray name = native + "/f" + QByteArray::number(i);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << i;
        ::close(fd);
    }
    const QString out = Root + QStringLiteral("/big.xls");
    for (const QStringList &more : {QStringList{}, QStringList{QStringLiteral("-r")}}) {
        QFile::remove(out);
        const TCliRun run = RunCli(more
            + QStringList{QStringLiteral("--format"), QStringLiteral("xls"), QStringLiteral("-o"), out, big});
        EXPECT_EQ(run.Status, 1) << more.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(
            run.Err, QByteArray("cartola-list: The spreadsheet holds the first 65 535 of 65 536 rows.\n"));
        const QByteArray file = ReadAll(out);
        EXPECT_TRUE(file.endsWith(QByteArray("\x0A\x00\x00\x00", 4))) << file.size();
        EXPECT_GT(file.size(), 65535 * 12);
    }
}

} // namespace
