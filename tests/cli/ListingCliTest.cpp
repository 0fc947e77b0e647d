#include "CliRunner.h"
#include "export/uNativeXLSExport.h"
#include "export/uSGExports.h"
#include "listing/Listing.h"
#include "platform/LocaleServices.h"

#include <QBuffer>
#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

enum TWriter { wText, wHTML, wCSV, wXLS };

struct TListingCase
{
    const char *Name;
    QStringList Arguments; // besides the format, the folder and -o
    TWriter Writer;
    const char *Folder; // below the test's root
    TScanOptions Scan;
    QString SortHeader;
    bool Headers;
    bool GridLines;
    bool ToStdout;
};

TScanOptions Scan(bool files, bool folders, bool extensions, const char *mask = "*.*")
{
    TScanOptions o;
    o.ShowFiles = files;
    o.ShowFolders = folders;
    o.ShowExtensions = extensions;
    o.Mask = QString::fromLatin1(mask);
    QString m = o.Mask;
    CorrectMask(m);
    o.Mask = m;
    o.DecimalSeparator = DecimalSeparator();
    return o;
}

class ListingCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FRoot.isValid());
        Root = FRoot.path();
        QDir root(Root);
        ASSERT_TRUE(root.mkpath(QStringLiteral("tree/sub")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("tree/my.dir")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("tree/.cache")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("empty")));
        const struct
        {
            const char *Name;
            int Size;
            int MinutesAgo;
        } files[] = {
            {"a.txt", 3, 10},
            {"B.TXT", 1234, 0},
            {"b,c.log", 10, 600},
            {"archive.tar.gz", 9, 60 * 24 * 3},
            {"README", 0, 5},
            {"na\xc3\xafve \xe2\x98\x83.txt", 2048, 30},
            {".profile", 1, 1},
        };
        // Whole seconds, and one at midnight, so the date texts differ in form too.
        const QDateTime now =
            QDateTime::currentDateTime().addMSecs(-QDateTime::currentDateTime().time().msec());
        for (const auto &f : files) {
            const QString path = Root + QStringLiteral("/tree/") + QString::fromUtf8(f.Name);
            WriteFile(path, QByteArray(f.Size, 'x'));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            QDateTime when = now.addSecs(-60 * f.MinutesAgo);
            if (f.Size == 9)
                when.setTime(QTime(0, 0));
            ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
        }
    }

    // The display table the window would show for the folder with these options.
    static TGridTable WindowListing(
        const QString &folder, const TScanOptions &scan, const QString &sortHeader)
    {
        TListing listing;
        listing.Scan(folder, scan);
        if (listing.HasRows())
            listing.Sort(listing.SortChoice(sortHeader));
        return listing.sgFiles;
    }

    QTemporaryDir FRoot;
    QString Root;
};

TEST_F(ListingCliTest, WritesTheBytesOfTheWindowsSave)
{
    const QString name = QStringLiteral("Name");
    const TListingCase cases[] = {
        {"html, defaults", {}, wHTML, "tree", Scan(true, false, false), name, true, true, false},
        {"html to standard output",
            {QStringLiteral("--folders")},
            wHTML,
            "tree",
            Scan(true, true, false),
            name,
            true,
            true,
            true},
        {"csv, folders and extensions by size",
            {QStringLiteral("--format"),
                QStringLiteral("csv"),
                QStringLiteral("--folders"),
                QStringLiteral("--extensions"),
                QStringLiteral("--sort"),
                QStringLiteral("size")},
            wCSV,
            "tree",
            Scan(true, true, true),
            QStringLiteral("Size"),
            true,
            true,
            false},
        {"csv to standard output by modified",
            {QStringLiteral("--format"),
                QStringLiteral("csv"),
                QStringLiteral("--sort"),
                QStringLiteral("modified"),
                QStringLiteral("--no-headers")},
            wCSV,
            "tree",
            Scan(true, false, false),
            QStringLiteral("Last modified"),
            false,
            true,
            true},
        {"xls without grid lines and headers, by modified",
            {QStringLiteral("--format"),
                QStringLiteral("xls"),
                QStringLiteral("--folders"),
                QStringLiteral("--no-grid-lines"),
                QStringLiteral("--no-headers"),
                QStringLiteral("--sort"),
                QStringLiteral("modified")},
            wXLS,
            "tree",
            Scan(true, true, false),
            QStringLiteral("Last modified"),
            false,
            false,
            false},
        {"xls by extension",
            {QStringLiteral("--format"),
                QStringLiteral("xls"),
                QStringLiteral("--extensions"),
                QStringLiteral("--sort"),
                QStringLiteral("extension")},
            wXLS,
            "tree",
            Scan(true, false, true),
            QStringLiteral("Extension"),
            true,
            true,
            false},
        {"tsv with a mask",
            {QStringLiteral("--format"),
                QStringLiteral("tsv"),
                QStringLiteral("--mask"),
                QStringLiteral("*.txt;*.gz")},
            wText,
            "tree",
            Scan(true, false, false, "*.txt;*.gz"),
            name,
            true,
            true,
            true},
        {"text, folders alone by path",
            {QStringLiteral("--format"),
                QStringLiteral("text"),
                QStringLiteral("--no-files"),
                QStringLiteral("--folders"),
                QStringLiteral("--sort"),
                QStringLiteral("path")},
            wText,
            "tree",
            Scan(false, true, false),
            QStringLiteral("Path"),
            true,
            true,
            false},
        {"a short mask lists everything",
            {QStringLiteral("--format"),
                QStringLiteral("csv"),
                QStringLiteral("--mask"),
                QStringLiteral("ab")},
            wCSV,
            "tree",
            Scan(true, false, false, "ab"),
            name,
            true,
            true,
            false},
        {"an empty folder",
            {QStringLiteral("--folders")},
            wHTML,
            "empty",
            Scan(true, true, false),
            name,
            true,
            true,
            false},
    };
    for (const TListingCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const QString folder = Root + QLatin1Char('/') + QString::fromLatin1(c.Folder);
        QStringList arguments = c.Arguments;
        QDir(Root).mkpath(QStringLiteral("got"));
        QDir(Root).mkpath(QStringLiteral("want"));
        const QString got = Root + QStringLiteral("/got/list.out");
        const QString want = Root + QStringLiteral("/want/list.out");
        QFile::remove(got);
        if (!c.ToStdout)
            arguments << QStringLiteral("-o") << got;
        // A relative folder with a trailing slash: the listing shows full paths all the same.
        arguments << QString::fromLatin1(c.Folder) + QLatin1Char('/');
        const TCliRun run = RunCli(arguments, Root);
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        EXPECT_TRUE(run.Err.isEmpty()) << run.Err.constData();

        const TGridTable grid = WindowListing(folder, c.Scan, c.SortHeader);
        ASSERT_GT(grid.RowCount(), 0);
        QByteArray expected;
        if (c.ToStdout) {
            QBuffer buffer(&expected);
            buffer.open(QIODevice::WriteOnly);
            if (c.Writer == wHTML)
                GridToHTML(buffer, folder, grid, folder, c.Headers);
            else
                GridToDelimited(
                    buffer, c.Writer == wCSV ? QLatin1Char(',') : QLatin1Char('\t'), c.Headers, grid);
            EXPECT_EQ(run.Out, expected);
            EXPECT_TRUE(run.Out.contains(
                            QByteArray("<TITLE>") + QString::fromLatin1(c.Folder).toLatin1() + "</TITLE>")
                || c.Writer != wHTML);
        } else {
            EXPECT_TRUE(run.Out.isEmpty());
            switch (c.Writer) {
            case wHTML:
                GridToHTML(want, grid, folder, c.Headers);
                break;
            case wXLS:
                GridToXLS(want, c.Headers, c.GridLines, grid);
                break;
            default:
                GridToDelimited(
                    want, c.Writer == wCSV ? QLatin1Char(',') : QLatin1Char('\t'), c.Headers, grid);
                break;
            }
            expected = ReadAll(want);
            EXPECT_EQ(ReadAll(got), expected);
        }
        if (c.Writer == wHTML) {
            EXPECT_TRUE(expected.contains(QByteArray("<H1>") + folder.toUtf8() + "</H1>"));
        }
    }
}

TEST_F(ListingCliTest, CountsGoToStandardError)
{
    const TCliRun run = RunCli({QStringLiteral("--count"),
        QStringLiteral("--folders"),
        QStringLiteral("--format"),
        QStringLiteral("csv"),
        Root + QStringLiteral("/tree")});
    ASSERT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, QByteArray("Folders: 2  Files: 6\n"));
}

// Nothing is written, not even an empty output file, when the command line is wrong.
TEST_F(ListingCliTest, UsageErrorsWriteNothingAndGiveStatus2)
{
    const QString out = Root + QStringLiteral("/out.html");
    const struct
    {
        QStringList Arguments;
        const char *Message;
    } cases[] = {
        {{Root + QStringLiteral("/missing")}, "missing: The specified path was not found."},
        {{Root + QStringLiteral("/tree/a.txt")}, "a.txt: Not a directory."},
        {{QStringLiteral("--bogus"), Root + QStringLiteral("/tree")}, "Unknown option 'bogus'."},
        {{QStringLiteral("--format"), QStringLiteral("pdf"), Root + QStringLiteral("/tree")},
            "Unknown format 'pdf'"},
        {{QStringLiteral("--sort"), QStringLiteral("date"), Root + QStringLiteral("/tree")},
            "Unknown sort 'date'"},
        {{}, "No FOLDER given."},
        {{Root, Root + QStringLiteral("/tree")}, "Only one FOLDER"},
        {{QStringLiteral("--extract"), QStringLiteral("0"), Root}, "need --zip"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Message);
        const TCliRun run = RunCli(QStringList{QStringLiteral("-o"), out} + c.Arguments);
        EXPECT_EQ(run.Status, 2);
        EXPECT_TRUE(run.Err.contains(c.Message)) << run.Err.constData();
        EXPECT_TRUE(run.Out.isEmpty());
        EXPECT_FALSE(QFile::exists(out));
    }
    const TCliRun xls =
        RunCli({QStringLiteral("--format"), QStringLiteral("xls"), Root + QStringLiteral("/tree")});
    EXPECT_EQ(xls.Status, 2);
    EXPECT_TRUE(xls.Err.contains("needs -o FILE"));
    EXPECT_TRUE(xls.Out.isEmpty());
}

// A failed path check ends the scan, as in the window; the output file is never started.
TEST_F(ListingCliTest, AScanErrorGivesStatus1AndNoFile)
{
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("bad")));
    WriteFile(Root + QStringLiteral("/bad/pipe|name.txt"), "x");
    const QString out = Root + QStringLiteral("/out.csv");
    const TCliRun toFile = RunCli({QStringLiteral("--format"),
        QStringLiteral("csv"),
        QStringLiteral("-o"),
        out,
        Root + QStringLiteral("/bad")});
    EXPECT_EQ(toFile.Status, 1);
    EXPECT_EQ(toFile.Err, QByteArray("cartola-list: Invalid characters in path.\n"));
    EXPECT_FALSE(QFile::exists(out));
    const TCliRun toStdout = RunCli({Root + QStringLiteral("/bad")});
    EXPECT_EQ(toStdout.Status, 1);
    EXPECT_TRUE(toStdout.Out.isEmpty());
}

TEST_F(ListingCliTest, AnUnwritableOutputIsARuntimeError)
{
    const TCliRun run = RunCli({QStringLiteral("-o"),
        Root + QStringLiteral("/no/such/folder/list.html"),
        Root + QStringLiteral("/tree")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains("Invalid file name - ")) << run.Err.constData();
}

TEST(CliHelpTest, HelpNamesEveryOptionAndVersionTheProjectVersion)
{
    const TCliRun help = RunCli({QStringLiteral("--help")});
    ASSERT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Out.startsWith("Usage: cartola-list [options]"));
    for (const char *option : {"--format",
             "-o, --output",
             "--mask",
             "--sort",
             "--folders",
             "--no-files",
             "--extensions",
             "--no-headers",
             "--no-grid-lines",
             "--count",
             "--zip",
             "--extract",
             "--to",
             "--help",
             "--version",
             "text, html, csv, tsv, xls",
             "name, path, size, extension"})
        EXPECT_TRUE(help.Out.contains(option)) << option;
    const TCliRun version = RunCli({QStringLiteral("--version")});
    ASSERT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out, QByteArray("cartola-list " CARTOLA_VERSION "\n"));
}

} // namespace
