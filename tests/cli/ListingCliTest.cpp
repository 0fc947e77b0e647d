#include "CliRunner.h"
#include "cli/CommandLine.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// What one command line must ask for.
struct TParsed
{
    const char *Format = "html";
    const char *OutputFile = "";
    const char *Mask = "*.*";
    const char *SortHeader = "Name";
    bool ShowFolders = false;
    bool ShowFiles = true;
    bool ShowExtensions = false;
    bool Headers = true;
    bool GridLines = true;
    bool Count = false;
};

TParsed With(void (*change)(TParsed &))
{
    TParsed p;
    change(p);
    return p;
}

TEST(CommandLine, EachOptionAsksForWhatItNames)
{
    const struct
    {
        QStringList Arguments; // before the folder
        TParsed Want;
    } rows[] = {
        {{}, {}},
        {{QStringLiteral("--format"), QStringLiteral("text")}, With([](TParsed &p) {
             p.Format = "text";
         })},
        {{QStringLiteral("--format"), QStringLiteral("csv")}, With([](TParsed &p) {
             p.Format = "csv";
         })},
        {{QStringLiteral("--format"), QStringLiteral("tsv")}, With([](TParsed &p) {
             p.Format = "tsv";
         })},
        {{QStringLiteral("--format"), QStringLiteral("xls"), QStringLiteral("-o"), QStringLiteral("l.xls")},
            With([](TParsed &p) {
                p.Format = "xls";
                p.OutputFile = "l.xls";
            })},
        {{QStringLiteral("--format=clipboard")}, With([](TParsed &p) {
             p.Format = "clipboard";
         })},
        {{QStringLiteral("--output"), QStringLiteral("x.html")}, With([](TParsed &p) {
             p.OutputFile = "x.html";
         })},
        {{QStringLiteral("--mask"), QStringLiteral("*.txt;*.gz")}, With([](TParsed &p) {
             p.Mask = "*.txt;*.gz";
         })},
        {{QStringLiteral("--mask"), QStringLiteral("ab")}, With([](TParsed &p) {
             p.Mask = "ab";
         })},
        {{QStringLiteral("--sort"), QStringLiteral("path")}, With([](TParsed &p) {
             p.SortHeader = "Path";
         })},
        {{QStringLiteral("--sort"), QStringLiteral("size")}, With([](TParsed &p) {
             p.SortHeader = "Size";
         })},
        {{QStringLiteral("--sort"), QStringLiteral("extension")}, With([](TParsed &p) {
             p.SortHeader = "Extension";
         })},
        {{QStringLiteral("--sort"), QStringLiteral("modified")}, With([](TParsed &p) {
             p.SortHeader = "Last modified";
         })},
        {{QStringLiteral("--folders")}, With([](TParsed &p) {
             p.ShowFolders = true;
         })},
        {{QStringLiteral("--no-files")}, With([](TParsed &p) {
             p.ShowFiles = false;
         })},
        {{QStringLiteral("--extensions")}, With([](TParsed &p) {
             p.ShowExtensions = true;
         })},
        {{QStringLiteral("--no-headers")}, With([](TParsed &p) {
             p.Headers = false;
         })},
        {{QStringLiteral("--no-grid-lines")}, With([](TParsed &p) {
             p.GridLines = false;
         })},
        {{QStringLiteral("--count")}, With([](TParsed &p) {
             p.Count = true;
         })},
        {{QStringLiteral("-no-headers"), QStringLiteral("-folders")}, With([](TParsed &p) {
             p.Headers = false;
             p.ShowFolders = true;
         })},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Arguments.join(QLatin1Char(' ')).toStdString());
        const TCliOptions o = ParseCommandLine(row.Arguments + QStringList{QStringLiteral("some/folder")});
        const TParsed &w = row.Want;
        EXPECT_EQ(o.Command, TCliCommand::ccListing);
        EXPECT_EQ(o.Folder, QStringLiteral("some/folder"));
        ASSERT_NE(o.Format, nullptr);
        EXPECT_STREQ(o.Format->Name, w.Format);
        EXPECT_EQ(o.OutputFile, QString::fromUtf8(w.OutputFile));
        EXPECT_EQ(o.Mask, QString::fromUtf8(w.Mask));
        EXPECT_EQ(o.SortHeader, QString::fromUtf8(w.SortHeader));
        EXPECT_EQ(o.ShowFolders, w.ShowFolders);
        EXPECT_EQ(o.ShowFiles, w.ShowFiles);
        EXPECT_EQ(o.ShowExtensions, w.ShowExtensions);
        EXPECT_EQ(o.Headers, w.Headers);
        EXPECT_EQ(o.GridLines, w.GridLines);
        EXPECT_EQ(o.Count, w.Count);
    }
}

// A folder with fixed sizes and times, listed in UTC so the texts never move.
class ListingCliTest : public TUtcFolderTest
{
protected:
    void SetUp() override
    {
        TUtcFolderTest::SetUp();
        QDir root(Root);
        ASSERT_TRUE(root.mkpath(QStringLiteral("tree/sub")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("tree/my.dir")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("tree/.cache")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("empty")));
        const struct
        {
            const char *Name;
            int Size;
            const char *When; // UTC
        } entries[] = {
            {"a.txt", 3, "2021-05-14T14:13:00"},
            {"B.TXT", 1234, "2021-02-11T11:01:00"},
            {"b,c.log", 10, "2021-06-15T15:05:30"},
            {"archive.tar.gz", 2048, "2020-05-05T00:00:00"},
            {"README", 0, "2021-03-12T12:02:00"},
            {"na\xc3\xafve \xe2\x98\x83.txt", 5, "2021-08-17T17:07:00"},
            {".profile", 1, "2021-01-01T00:00:00"},
            {".cache", -1, "2021-01-01T00:00:00"},
            {"sub", -1, "2019-01-02T03:04:05"},
            {"my.dir", -1, "2019-01-03T03:04:05"},
        };
        for (const auto &e : entries) {
            const QString path = Root + QStringLiteral("/tree/") + QString::fromUtf8(e.Name);
            if (e.Size >= 0)
                WriteFile(path, QByteArray(e.Size, 'x'));
            QDateTime when = QDateTime::fromString(QString::fromLatin1(e.When), Qt::ISODate);
            when.setTimeZone(QTimeZone::utc());
            QFile file(path);
            ASSERT_TRUE(e.Size < 0 || file.open(QIODevice::ReadWrite));
            if (e.Size < 0) {
                // Folders take their time through a handle of their own.
                const QByteArray native = QFile::encodeName(path);
                const qint64 secs = when.toSecsSinceEpoch();
                const struct timespec times[2] = {{secs, 0}, {secs, 0}};
                ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
            } else {
                ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
            }
        }
    }

    // The text with %R standing for the test's root folder, lines ended with CR LF.
    QByteArray Expected(const char *text) const
    {
        QByteArray bytes = QByteArray(text).replace("%R", Root.toUtf8());
        return bytes.replace("\n", "\r\n");
    }
};

TEST_F(ListingCliTest, WritesTheseBytes)
{
    const QString out = Root + QStringLiteral("/list.out");
    const struct
    {
        const char *Name;
        QStringList Arguments; // the folder is relative to the root
        bool ToFile;
        const char *Bytes;
    } cases[] = {
        {"csv, folders first, files by size, relative folder with a slash",
            {QStringLiteral("--format"),
                QStringLiteral("csv"),
                QStringLiteral("--folders"),
                QStringLiteral("--extensions"),
                QStringLiteral("--sort"),
                QStringLiteral("size"),
                QStringLiteral("tree/")},
            false,
            "Name,Path,Size,Extension,Last modified,\n"
            "my.dir,%R/tree/,,,1/3/2019 3:04:05 AM,\n"
            "sub,%R/tree/,,,1/2/2019 3:04:05 AM,\n"
            "README,%R/tree/,0 bytes,,3/12/2021 12:02:00 PM,\n"
            "a.txt,%R/tree/,3 bytes,.txt,5/14/2021 2:13:00 PM,\n"
            "na\xEF"
            "ve ?.txt,%R/tree/,5 bytes,.txt,8/17/2021 5:07:00 PM,\n"
            "\"b,c.log\",%R/tree/,10 bytes,.log,6/15/2021 3:05:30 PM,\n"
            "B.TXT,%R/tree/,1.20 KB,.TXT,2/11/2021 11:01:00 AM,\n"
            "archive.tar.gz,%R/tree/,2 KB,.gz,5/5/2020,\n"},
        {"tab-separated to a file, no headers, a mask, names without extensions",
            {QStringLiteral("--format"),
                QStringLiteral("tsv"),
                QStringLiteral("--no-headers"),
                QStringLiteral("--mask"),
                QStringLiteral("*.txt;*.gz"),
                QStringLiteral("-o"),
                out,
                QStringLiteral("tree")},
            true,
            "a\t%R/tree/\t3 bytes\t.txt\t5/14/2021 2:13:00 PM\t\n"
            "archive.tar\t%R/tree/\t2 KB\t.gz\t5/5/2020\t\n"
            "na\xEF"
            "ve ?\t%R/tree/\t5 bytes\t.txt\t8/17/2021 5:07:00 PM\t\n"},
        {"text, folders alone by modified",
            {QStringLiteral("--format"),
                QStringLiteral("text"),
                QStringLiteral("--no-files"),
                QStringLiteral("--folders"),
                QStringLiteral("--sort"),
                QStringLiteral("modified"),
                QStringLiteral("tree")},
            false,
            "Name\tPath\tSize\tExtension\tLast modified\t\n"
            "sub\t%R/tree/\t\t\t1/2/2019 3:04:05 AM\t\n"
            "my.dir\t%R/tree/\t\t\t1/3/2019 3:04:05 AM\t\n"},
        {"html of an empty folder to standard output: the title is the folder's name",
            {QStringLiteral("--folders"), QStringLiteral("empty")},
            false,
            "<!-- Generated by Cartola -->\n"
            "<HTML>\n"
            "<HEAD>\n"
            "<META HTTP - EQUIV = \"Content - Type\" CONTENT = \"TEXT/HTML\">\n"
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\n"
            "<TITLE>empty</TITLE>\n"
            "</HEAD>\n"
            "\n"
            "<BODY BGCOLOR=#FFFFFF LINK=#0000FF ALINK=#FF0000 VLINK=#FFFF00 TEXT=#000000>\n"
            "<FONT COLOR=#000000 FACE=Arial,Helvetica>\n"
            "<H1>%R/empty</H1>\n"
            "<HR>\n"
            "<TABLE WIDTH=100% CELLPADDING=4 CELLSPACING=0 BGCOLOR=#FFFFCF BORDER=1>\n"
            "<FONT COLOR=\"#000000\" FACE=\"Arial,Helvetica\">\n"
            "<TR BGCOLOR=#336699>\n"
            "        <TD><B><FONT COLOR=#FFFFFF><small>Name</small></FONT></B></TD>\n"
            "        <TD><B><FONT COLOR=#FFFFFF><small>Path</small></FONT></B></TD>\n"
            "        <TD><B><FONT COLOR=#FFFFFF><small>Size</small></FONT></B></TD>\n"
            "        <TD><B><FONT COLOR=#FFFFFF><small>Extension</small></FONT></B></TD>\n"
            "        <TD><B><FONT COLOR=#FFFFFF><small>Last modified</small></FONT></B></TD>\n"
            "    </TR>\n"
            "    <TD><small>&nbsp;</small></TD>\n"
            "    <TD><small>&nbsp;</small></TD>\n"
            "    <TD><small>&nbsp;</small></TD>\n"
            "    <TD><small>&nbsp;</small></TD>\n"
            "    <TD><small>&nbsp;</small></TD>\n"
            "    </TR>\n"
            "</FONT>\n"
            "</TABLE>\n"
            "<HR>\n"
            "1 Rows\n"
            "</FONT>\n"
            "</BODY>\n"
            "</HTML>\n"},
        {"html to a file: the title is the file's name",
            {QStringLiteral("--no-headers"), QStringLiteral("-o"), out, QStringLiteral("tree")},
            true,
            "<!-- Generated by Cartola -->\n"
            "<HTML>\n"
            "<HEAD>\n"
            "<META HTTP - EQUIV = \"Content - Type\" CONTENT = \"TEXT/HTML\">\n"
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\n"
            "<TITLE>list.out</TITLE>\n"
            "</HEAD>\n"
            "\n"
            "<BODY BGCOLOR=#FFFFFF LINK=#0000FF ALINK=#FF0000 VLINK=#FFFF00 TEXT=#000000>\n"
            "<FONT COLOR=#000000 FACE=Arial,Helvetica>\n"
            "<H1>%R/tree</H1>\n"
            "<HR>\n"
            "<TABLE WIDTH=100% CELLPADDING=4 CELLSPACING=0 BGCOLOR=#FFFFCF BORDER=1>\n"
            "<FONT COLOR=\"#000000\" FACE=\"Arial,Helvetica\">\n"
            "    <TD><small>a</small></TD>\n"
            "    <TD><small>%R/tree/</small></TD>\n"
            "    <TD><small>3 bytes</small></TD>\n"
            "    <TD><small>.txt</small></TD>\n"
            "    <TD><small>5/14/2021 2:13:00 PM</small></TD>\n"
            "    </TR>\n"
            "<TR BGCOLOR=#FFFFFF>\n"
            "    <TD><small>archive.tar</small></TD>\n"
            "    <TD><small>%R/tree/</small></TD>\n"
            "    <TD><small>2 KB</small></TD>\n"
            "    <TD><small>.gz</small></TD>\n"
            "    <TD><small>5/5/2020</small></TD>\n"
            "    </TR>\n"
            "    <TD><small>B</small></TD>\n"
            "    <TD><small>%R/tree/</small></TD>\n"
            "    <TD><small>1.20 KB</small></TD>\n"
            "    <TD><small>.TXT</small></TD>\n"
            "    <TD><small>2/11/2021 11:01:00 AM</small></TD>\n"
            "    </TR>\n"
            "<TR BGCOLOR=#FFFFFF>\n"
            "    <TD><small>b,c</small></TD>\n"
            "    <TD><small>%R/tree/</small></TD>\n"
            "    <TD><small>10 bytes</small></TD>\n"
            "    <TD><small>.log</small></TD>\n"
            "    <TD><small>6/15/2021 3:05:30 PM</small></TD>\n"
            "    </TR>\n"
            "    <TD><small>na\xEF"
            "ve ?</small></TD>\n"
            "    <TD><small>%R/tree/</small></TD>\n"
            "    <TD><small>5 bytes</small></TD>\n"
            "    <TD><small>.txt</small></TD>\n"
            "    <TD><small>8/17/2021 5:07:00 PM</small></TD>\n"
            "    </TR>\n"
            "<TR BGCOLOR=#FFFFFF>\n"
            "    <TD><small>README</small></TD>\n"
            "    <TD><small>%R/tree/</small></TD>\n"
            "    <TD><small>0 bytes</small></TD>\n"
            "    <TD><small>&nbsp;</small></TD>\n"
            "    <TD><small>3/12/2021 12:02:00 PM</small></TD>\n"
            "    </TR>\n"
            "</FONT>\n"
            "</TABLE>\n"
            "<HR>\n"
            "6 Rows\n"
            "</FONT>\n"
            "</BODY>\n"
            "</HTML>\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(out);
        const TCliRun run = RunCli(c.Arguments, Root);
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        EXPECT_TRUE(run.Err.isEmpty()) << run.Err.constData();
        const QByteArray got = c.ToFile ? ReadAll(out) : run.Out;
        EXPECT_EQ(got, Expected(c.Bytes));
        EXPECT_TRUE(!c.ToFile || run.Out.isEmpty());
    }
}

// The first cell is the shaded header; its borders follow --no-grid-lines.
TEST_F(ListingCliTest, GridLinesReachTheSpreadsheet)
{
    const QString out = Root + QStringLiteral("/list.xls");
    for (const bool lines : {true, false}) {
        SCOPED_TRACE(lines ? "grid lines" : "no grid lines");
        QStringList arguments{QStringLiteral("--format"), QStringLiteral("xls"), QStringLiteral("-o"), out};
        if (!lines)
            arguments << QStringLiteral("--no-grid-lines");
        const TCliRun run = RunCli(arguments << QStringLiteral("tree"), Root);
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        const QByteArray xls = ReadAll(out);
        ASSERT_GT(xls.size(), 39);
        // After BOF, CODEPAGE and DIMENSIONS.
        EXPECT_EQ(xls.mid(28 + 8, 3), lines ? QByteArray("\x00\x00\xF8", 3) : QByteArray("\x00\x00\x80", 3));
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
        {{Root + QStringLiteral("/tree"), Root + QStringLiteral("/gone")},
            "gone: The specified path was not found."},
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

// On a terminal the scan's progress line shows and is wiped before the count
// or the error that follows; in a pipe there is none. The listing is the same.
TEST_F(ListingCliTest, TheProgressLineShowsOnlyOnATerminalAndIsWiped)
{
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("bad")));
    WriteFile(Root + QStringLiteral("/bad/pipe|name.txt"), "x");
    const struct
    {
        QStringList Arguments;
        int Status;
        QByteArray Err;
    } cases[] = {
        {{QStringLiteral("--count"),
             QStringLiteral("--format"),
             QStringLiteral("csv"),
             Root + QStringLiteral("/tree")},
            0,
            "Folders: 0  Files: 6\n"},
        {{QStringLiteral("--format"), QStringLiteral("tsv"), Root + QStringLiteral("/bad")},
            1,
            "cartola-list: Invalid characters in path.\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const TCliRun piped = RunCli(c.Arguments, QString(), ShowProgressAtOnce());
        EXPECT_EQ(piped.Status, c.Status);
        EXPECT_EQ(piped.Err, c.Err);
        const TCliRun shown = RunCliOnTerminal(c.Arguments, ShowProgressAtOnce());
        EXPECT_EQ(shown.Status, c.Status);
        EXPECT_TRUE(shown.Out == piped.Out);
        EXPECT_EQ(AfterProgressWiped(shown.Err, "Reading\xe2\x80\xa6 "), c.Err);
    }
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
             "-a, --all",
             "--folder-sizes",
             "--extensions",
             "--no-headers",
             "--no-grid-lines",
             "--count",
             "--encoding",
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

// Under a file-size limit an export fails as a write does, with a message and
// status 1, instead of the process being killed by SIGXFSZ.
TEST_F(ListingCliTest, AFileSizeLimitIsAnErrorNotASignal)
{
    QDir root(Root);
    ASSERT_TRUE(root.mkpath(QStringLiteral("many")));
    for (int i = 0; i < 200; ++i)
        WriteFile(Root + QStringLiteral("/many/a-rather-long-file-name-%1.txt").arg(i), "x");
    const QString out = Root + QStringLiteral("/out.csv");
    QProcess p;
    p.setChildProcessModifier([] {
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    p.start(QStringLiteral(CARTOLA_LIST_EXE),
        {QStringLiteral("--format"),
            QStringLiteral("csv"),
            QStringLiteral("-o"),
            out,
            Root + QStringLiteral("/many")});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitStatus(), QProcess::NormalExit) << "killed by signal";
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().startsWith("cartola-list: I/O error"));
}

} // namespace
