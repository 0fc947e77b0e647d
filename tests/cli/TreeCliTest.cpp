#include "CliRunner.h"
#include "cli/CommandLine.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kNobody = QStringLiteral("65534");

// Runs cartola-list as an ordinary user when the tests run as root, for whom
// a folder of mode 000 would still open.
TCliRun RunCliUnprivileged(const QStringList &arguments)
{
    if (::geteuid() != 0)
        return RunCli(arguments);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("setpriv"),
        QStringList{QStringLiteral("--reuid=") + kNobody,
            QStringLiteral("--regid=") + kNobody,
            QStringLiteral("--clear-groups"),
            QStringLiteral(CARTOLA_LIST_EXE)}
            + arguments);
    TCliRun run;
    if (!p.waitForFinished(120000))
        return run;
    run.Out = p.readAllStandardOutput();
    run.Err = p.readAllStandardError();
    run.Status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return run;
}

// Lines without their CR LF ends.
QList<QByteArray> Lines(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

class TreeCliTest : public TUtcFolderTest
{
protected:
    void SetUp() override
    {
        TUtcFolderTest::SetUp();
        Tree = Root + QStringLiteral("/tree");
        ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("tree/a/b/c")));
        // Depth 1 to 4, sizes all different, so a size order is one order.
        File(QByteArray("top.txt"), 40, "2021-05-14T14:13:00");
        File(QByteArray("a/one.log"), 300, "2021-02-11T11:01:30");
        File(QByteArray("a/b/two.dat"), 7, "2020-05-05T00:00:00");
        File(QByteArray("a/b/c/three"), 5000, "2019-01-02T03:04:05");
        // Loops through links: to the top and to the link's own folder.
        ASSERT_EQ(::symlink("..", QFile::encodeName(Tree + QStringLiteral("/a/up")).constData()), 0);
        ASSERT_EQ(::symlink(".", QFile::encodeName(Tree + QStringLiteral("/a/b/self")).constData()), 0);
    }

    // As root, the unprivileged run of cartola-list must reach the tree;
    // false when it cannot be made.
    bool TreeOpenToAnUnprivilegedRun() const
    {
        if (::geteuid() != 0)
            return true;
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            return false;
        for (const QString &folder : {Root,
                 Tree,
                 Tree + QStringLiteral("/a"),
                 Tree + QStringLiteral("/a/b"),
                 Tree + QStringLiteral("/a/b/c")})
            if (::chmod(QFile::encodeName(folder).constData(), 0755) != 0)
                return false;
        return true;
    }

    void TearDown() override
    {
        // Mode 000 folders must open again for the fixture to remove them.
        for (const QString &locked : FLocked)
            ::chmod(QFile::encodeName(locked).constData(), 0755);
        // Names that are not UTF-8 have no QString to be removed by.
        for (const QByteArray &raw : FRawNames)
            ::unlink(raw.constData());
        TUtcFolderTest::TearDown();
    }

    // relative in the file system's bytes, which need not be UTF-8.
    void File(const QByteArray &relative, int size, const char *utc)
    {
        const QByteArray path = QFile::encodeName(Tree) + '/' + relative;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << path.constData();
        const QByteArray bytes(size, 'x');
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(size)), ssize_t(size));
        ::close(fd);
        QDateTime when = QDateTime::fromString(QString::fromLatin1(utc), Qt::ISODate);
        when.setTimeZone(QTimeZone::utc());
        const qint64 secs = when.toSecsSinceEpoch();
        const struct timespec times[2] = {{secs, 0}, {secs, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    }

    // "name<TAB>path" of each row of a headerless tsv listing with extensions.
    static QList<QByteArray> NamesAndPaths(const QByteArray &tsv)
    {
        QList<QByteArray> rows;
        for (const QByteArray &line : Lines(tsv)) {
            const QList<QByteArray> cells = line.split('\t');
            rows << cells.value(0) + '\t' + cells.value(1);
        }
        return rows;
    }

    QStringList Tsv(QStringList arguments) const
    {
        return QStringList{QStringLiteral("--format"),
                   QStringLiteral("tsv"),
                   QStringLiteral("--no-headers"),
                   QStringLiteral("--extensions")}
        + arguments;
    }

    QByteArray R(const char *relative) const { return (Tree + QString::fromUtf8(relative)).toUtf8(); }

    QString Tree;
    QStringList FLocked;
    QList<QByteArray> FRawNames;
};

TEST_F(TreeCliTest, DepthLimitsAndLinksThatLoop)
{
    // Sorted by name; --folders lists the links as folders, never entered.
    const struct
    {
        QStringList Depth;
        QList<QByteArray> Rows;
    } cases[] = {
        {{QStringLiteral("--max-depth"), QStringLiteral("1")}, {"a\t" + R("/"), "top.txt\t" + R("/")}},
        {{QStringLiteral("--max-depth"), QStringLiteral("2")},
            {"a\t" + R("/"),
                "b\t" + R("/a/"),
                "up\t" + R("/a/"),
                "one.log\t" + R("/a/"),
                "top.txt\t" + R("/")}},
        {{QStringLiteral("--max-depth"), QStringLiteral("3")},
            {"a\t" + R("/"),
                "b\t" + R("/a/"),
                "c\t" + R("/a/b/"),
                "self\t" + R("/a/b/"),
                "up\t" + R("/a/"),
                "one.log\t" + R("/a/"),
                "top.txt\t" + R("/"),
                "two.dat\t" + R("/a/b/")}},
        {{QStringLiteral("-r")},
            {"a\t" + R("/"),
                "b\t" + R("/a/"),
                "c\t" + R("/a/b/"),
                "self\t" + R("/a/b/"),
                "up\t" + R("/a/"),
                "one.log\t" + R("/a/"),
                "three\t" + R("/a/b/c/"),
                "top.txt\t" + R("/"),
                "two.dat\t" + R("/a/b/")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Depth.join(QLatin1Char(' ')).toStdString());
        const TCliRun run = RunCli(Tsv(c.Depth + QStringList{QStringLiteral("--folders"), Tree}));
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        EXPECT_EQ(NamesAndPaths(run.Out), c.Rows);
    }
}

TEST_F(TreeCliTest, UnreadableAndRefusedFoldersAreLeftOutAndReported)
{
    if (!TreeOpenToAnUnprivilegedRun())
        GTEST_SKIP() << "running as root without setpriv";
    ASSERT_TRUE(QDir(Tree).mkpath(QStringLiteral("a/locked/deeper")));
    File(QByteArray("a/locked/hidden.txt"), 1, "2021-01-01T00:00:00");
    File(QByteArray("a/locked/deeper/below.txt"), 1, "2021-01-01T00:00:00");
    ASSERT_TRUE(QDir(Tree).mkpath(QStringLiteral("a/b/bad|name")));
    File(QByteArray("a/b/bad|name/first.txt"), 2, "2021-01-01T00:00:00");
    const QString locked = Tree + QStringLiteral("/a/locked");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    FLocked << locked;

    const TCliRun run = RunCliUnprivileged(Tsv({QStringLiteral("-r"), Tree}));
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains("cartola-list: " + R("/a/locked") + ": Permission denied.\n"))
        << run.Err.constData();
    EXPECT_TRUE(run.Err.contains("cartola-list: " + R("/a/b/bad|name") + ": Invalid characters in path.\n"))
        << run.Err.constData();
    EXPECT_EQ(Lines(run.Err).size(), 2);
    EXPECT_EQ(NamesAndPaths(run.Out),
        (QList<QByteArray>{"one.log\t" + R("/a/"),
            "three\t" + R("/a/b/c/"),
            "top.txt\t" + R("/"),
            "two.dat\t" + R("/a/b/")}));

    // The top folder keeps the one-folder rule: its path check failing ends the listing.
    const TCliRun top = RunCli(Tsv({QStringLiteral("-r"), Tree + QStringLiteral("/a/b/bad|name")}));
    EXPECT_EQ(top.Status, 1);
    EXPECT_EQ(top.Err, QByteArray("cartola-list: Invalid characters in path.\n"));
    EXPECT_TRUE(top.Out.isEmpty());
}

// The length limit counts characters, not the bytes of their UTF-8.
TEST_F(TreeCliTest, PathLengthCountsCharacters)
{
    QByteArray name;
    for (int i = 0; i < 100; ++i)
        name += "\xc3\xa9";
    const qsizetype folderLength = 247 - 100 - Tree.size() - 2; // two "/"
    const QByteArray fits(folderLength, 'f');
    const QByteArray over(folderLength + 1, 'o');
    for (const QByteArray &folder : {fits, over}) {
        ASSERT_TRUE(QDir(Tree).mkpath(QString::fromLatin1(folder)));
        File(folder + '/' + name, 1, "2021-01-01T00:00:00");
    }
    const TCliRun run = RunCli(Tsv({QStringLiteral("--max-depth"), QStringLiteral("2"), Tree}));
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "cartola-list: " + R("/") + over + ": The specified path is too long.\n");
    EXPECT_TRUE(run.Out.contains(R("/") + fits + "/\t")) << run.Out.constData();
    EXPECT_FALSE(run.Out.contains(R("/") + over + "/\t"));
}

TEST_F(TreeCliTest, TheLargestFilesAnywhere)
{
    const TCliRun run = RunCli(Tsv({QStringLiteral("-r"),
        QStringLiteral("--sort"),
        QStringLiteral("size"),
        QStringLiteral("--reverse"),
        QStringLiteral("--limit"),
        QStringLiteral("3"),
        Tree}));
    ASSERT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(Lines(run.Out),
        (QList<QByteArray>{"three\t" + R("/a/b/c/") + "\t4.88 KB\t\t1/2/2019 3:04:05 AM\t",
            "one.log\t" + R("/a/") + "\t300 bytes\t.log\t2/11/2021 11:01:30 AM\t",
            "top.txt\t" + R("/") + "\t40 bytes\t.txt\t5/14/2021 2:13:00 PM\t"}));
}

TEST_F(TreeCliTest, PathSortsByFolderThenName)
{
    const TCliRun run = RunCli(Tsv({QStringLiteral("-r"),
        QStringLiteral("--folders"),
        QStringLiteral("--sort"),
        QStringLiteral("path"),
        Tree}));
    ASSERT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_EQ(NamesAndPaths(run.Out),
        (QList<QByteArray>{"a\t" + R("/"),
            "b\t" + R("/a/"),
            "up\t" + R("/a/"),
            "c\t" + R("/a/b/"),
            "self\t" + R("/a/b/"),
            "top.txt\t" + R("/"),
            "one.log\t" + R("/a/"),
            "two.dat\t" + R("/a/b/"),
            "three\t" + R("/a/b/c/")}));
}

// A small file system of its own mounted on a folder, unmounted at the end
// whatever happens in between.
class TMountedTmpfs
{
public:
    explicit TMountedTmpfs(const QString &folder)
        : FFolder(QFile::encodeName(folder))
    {
        if (::mount("tmpfs", FFolder.constData(), "tmpfs", 0, "size=1m") != 0)
            Error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~TMountedTmpfs()
    {
        if (Error.isEmpty())
            ::umount2(FFolder.constData(), MNT_DETACH);
    }
    TMountedTmpfs(const TMountedTmpfs &) = delete;
    TMountedTmpfs &operator=(const TMountedTmpfs &) = delete;

    QString Error; // why it could not be mounted; empty when mounted

private:
    QByteArray FFolder;
};

TEST_F(TreeCliTest, OneFileSystemListsAMountButDoesNotEnterIt)
{
    ASSERT_TRUE(QDir(Tree).mkpath(QStringLiteral("a/mnt")));
    const TMountedTmpfs mount(Tree + QStringLiteral("/a/mnt"));
    if (!mount.Error.isEmpty())
        GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.Error.toStdString();
    ASSERT_TRUE(QDir(Tree).mkpath(QStringLiteral("a/mnt/deep")));
    File(QByteArray("a/mnt/deep/inner.txt"), 9, "2021-01-01T00:00:00");
    const QList<QByteArray> same{"a\t" + R("/"),
        "b\t" + R("/a/"),
        "c\t" + R("/a/b/"),
        "mnt\t" + R("/a/"),
        "self\t" + R("/a/b/"),
        "up\t" + R("/a/"),
        "one.log\t" + R("/a/"),
        "three\t" + R("/a/b/c/"),
        "top.txt\t" + R("/"),
        "two.dat\t" + R("/a/b/")};
    QList<QByteArray> crossing = same;
    crossing.insert(3, "deep\t" + R("/a/mnt/"));
    crossing.insert(7, "inner.txt\t" + R("/a/mnt/deep/"));
    const struct
    {
        QStringList Arguments;
        QList<QByteArray> Rows;
    } cases[] = {
        {{QStringLiteral("-r"), Tree}, crossing},
        {{QStringLiteral("-r"), QStringLiteral("-x"), Tree}, same},
        {{QStringLiteral("-r"), QStringLiteral("--one-file-system"), Tree}, same},
        // The file system that counts is FOLDER's own.
        {{QStringLiteral("-r"), QStringLiteral("-x"), Tree + QStringLiteral("/a/mnt")},
            {"deep\t" + R("/a/mnt/"), "inner.txt\t" + R("/a/mnt/deep/")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const TCliRun run = RunCli(Tsv(QStringList{QStringLiteral("--folders")} + c.Arguments));
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        EXPECT_EQ(NamesAndPaths(run.Out), c.Rows);
    }
}

// On a terminal a line of how far the walk has come, wiped before each
// message and at the end; in a pipe only the messages. The listing is the same.
TEST_F(TreeCliTest, TheProgressLineShowsOnlyOnATerminalAndIsWiped)
{
    ASSERT_TRUE(QDir(Tree).mkpath(QStringLiteral("a/b/bad|name")));
    File(QByteArray("a/b/bad|name/first.txt"), 2, "2021-01-01T00:00:00");
    const QByteArray message = "cartola-list: " + R("/a/b/bad|name") + ": Invalid characters in path.\n";
    const struct
    {
        QString Folder;
        int Status;
        QByteArray Err;
    } cases[] = {{Tree + QStringLiteral("/a/b/c"), 0, {}}, {Tree, 1, message}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Folder.toStdString());
        const QStringList arguments = Tsv({QStringLiteral("-r"), c.Folder});
        const TCliRun piped = RunCli(arguments, QString(), ShowProgressAtOnce());
        EXPECT_EQ(piped.Status, c.Status);
        EXPECT_EQ(piped.Err, c.Err);
        EXPECT_FALSE(piped.Out.isEmpty());
        const TCliRun shown = RunCliOnTerminal(arguments, ShowProgressAtOnce());
        EXPECT_EQ(shown.Status, c.Status);
        EXPECT_TRUE(shown.Out == piped.Out);
        EXPECT_TRUE(shown.Err.contains("\r\x1b[K" + c.Err)) << shown.Err.constData();
        // The message comes last unless the line was painted again after it.
        const QByteArray after = AfterProgressWiped(shown.Err, "folders read, ");
        EXPECT_TRUE(after.isEmpty() || after == c.Err) << after.constData();
    }
}

// What Python's json module reads back: one line of fields per row.
const char kReadBack[] = R"(
import base64, json, sys
text = open(sys.argv[1], encoding='utf-8').read()
rows = json.loads(text) if sys.argv[2] == 'json' else [json.loads(l) for l in text.splitlines()]
for r in rows:
    name = base64.b64decode(r['nameBytes']).hex() if 'nameBytes' in r else r['name']
    print('|'.join(str(r[k]) for k in ('path', 'extension', 'type', 'size', 'modified', 'sizeText', 'modifiedText')), name, sep='|')
)";

TEST_F(TreeCliTest, JsonReadsBackAsTheSameRows)
{
    File(QByteArray("a/caf\xe9.txt"), 12, "2022-03-04T05:06:07"); // Latin-1 bytes, not UTF-8
    FRawNames << QFile::encodeName(Tree) + "/a/caf\xe9.txt";
    File(QByteArray("a/b/\xc3\xa9t\xc3\xa9, q.txt"), 13, "2022-03-04T05:06:08");
    const QString script = Root + QStringLiteral("/readback.py");
    WriteFile(script, kReadBack);
    for (const char *format : {"json", "jsonl"}) {
        SCOPED_TRACE(format);
        const QString out = Root + QStringLiteral("/rows.") + QLatin1String(format);
        const TCliRun run = RunCli({QStringLiteral("-r"),
            QStringLiteral("--sort"),
            QStringLiteral("size"),
            QStringLiteral("--format"),
            QLatin1String(format),
            QStringLiteral("-o"),
            out,
            Tree});
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        QProcess python;
        python.start(QStringLiteral("python3"), {script, out, QLatin1String(format)});
        ASSERT_TRUE(python.waitForFinished(60000));
        ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
        EXPECT_EQ(Lines(python.readAllStandardOutput()),
            (QList<QByteArray>{
                R("/a/b/") + "|.dat|file|7|2020-05-05T00:00:00+00:00|7 bytes|5/5/2020|two.dat",
                R("/a/")
                    + "|.txt|file|12|2022-03-04T05:06:07+00:00|12 bytes|3/4/2022 5:06:07 AM|636166e92e747874",
                R("/a/b/")
                    + "|.txt|file|13|2022-03-04T05:06:08+00:00|13 bytes|3/4/2022 5:06:08 "
                      "AM|\xc3\xa9t\xc3\xa9, q.txt",
                R("/") + "|.txt|file|40|2021-05-14T14:13:00+00:00|40 bytes|5/14/2021 2:13:00 PM|top.txt",
                R("/a/") + "|.log|file|300|2021-02-11T11:01:30+00:00|300 bytes|2/11/2021 11:01:30 AM|one.log",
                R("/a/b/c/") + "||file|5000|2019-01-02T03:04:05+00:00|4.88 KB|1/2/2019 3:04:05 AM|three",
            }))
            << ReadAll(out).constData();
    }
}

// A tree of one folder is today's listing, byte for byte, in every writer and order.
TEST_F(TreeCliTest, ATreeOfOneFolderGivesTodaysBytes)
{
    const QString flat = Root + QStringLiteral("/flat");
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("flat")));
    // Cells that need quoting or an apostrophe, and names that are not UTF-8.
    const char *names[] = {"b.TXT",
        "a.txt",
        "A.txt",
        "same",
        "Same",
        "x,y.csv",
        "z.gz",
        "archive.tar.gz",
        "e\xc3\xa9",
        "=sum.txt",
        "-1,5.txt",
        "bad\xff.t\xfet",
        "\xef\xbb\xbfmarked.txt"};
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("t1")));
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("t2")));
    int size = 0;
    for (const char *name : names) {
        WriteFile(flat + QLatin1Char('/') + QString::fromUtf8(name), QByteArray(size % 3 * 1000, 'x'));
        ++size;
    }
    for (const char *format : {"tsv", "csv", "html", "text", "xls"}) {
        for (const char *sort : {"name", "path", "size", "extension", "modified"}) {
            SCOPED_TRACE(std::string(format) + " " + sort);
            const QStringList common{QStringLiteral("--format"),
                QLatin1String(format),
                QStringLiteral("--sort"),
                QLatin1String(sort),
                QStringLiteral("-o")};
            // The same file name: the HTML page takes its title from it.
            const QString today = Root + QStringLiteral("/t1/list");
            const QString tree = Root + QStringLiteral("/t2/list");
            ASSERT_EQ(RunCli(common + QStringList{today, flat}).Status, 0);
            ASSERT_EQ(RunCli(common + QStringList{tree, QStringLiteral("-r"), flat}).Status, 0);
            EXPECT_EQ(ReadAll(tree), ReadAll(today));
        }
    }
    // An empty folder gives the one empty row of an empty listing.
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("void")));
    EXPECT_EQ(RunCli({QStringLiteral("--format"),
                         QStringLiteral("csv"),
                         QStringLiteral("-r"),
                         Root + QStringLiteral("/void")})
                  .Out,
        RunCli({QStringLiteral("--format"), QStringLiteral("csv"), Root + QStringLiteral("/void")}).Out);
}

// The delimited writers take a big tree a part at a time; the parts join seamlessly.
TEST_F(TreeCliTest, ABigListingWrittenInPartsIsOneListing)
{
    const QString flat = Root + QStringLiteral("/many");
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("many")));
    for (int i = 0; i < 16500; ++i) {
        const QByteArray path = QFile::encodeName(flat + QStringLiteral("/f%1.txt").arg(i));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    const QStringList csv{QStringLiteral("--format"), QStringLiteral("csv"), flat};
    const TCliRun today = RunCli(csv);
    const TCliRun tree = RunCli(QStringList{QStringLiteral("-r")} + csv);
    ASSERT_EQ(tree.Status, 0);
    EXPECT_EQ(Lines(tree.Out).size(), 16501);
    EXPECT_TRUE(tree.Out == today.Out);
}

// Names beginning with "." are listed and entered with -a only, in the
// one-folder listing and the tree alike.
TEST_F(TreeCliTest, HiddenNamesOnlyWithAll)
{
    ASSERT_TRUE(QDir(Tree).mkpath(QStringLiteral(".git/objects")));
    File(QByteArray(".git/objects/pack"), 9, "2021-01-01T00:00:00");
    File(QByteArray(".env"), 3, "2021-01-01T00:00:00");
    File(QByteArray("a/.note.txt"), 2, "2021-01-01T00:00:00");
    const auto names = [](const QByteArray &tsv) {
        QList<QByteArray> rows = NamesAndPaths(tsv);
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    const struct
    {
        QStringList Arguments;
        QList<QByteArray> Rows; // sorted bytewise
    } cases[] = {
        {{QStringLiteral("--folders")}, {"a\t" + R("/"), "top.txt\t" + R("/")}},
        {{QStringLiteral("-a"), QStringLiteral("--folders")},
            {".env\t" + R("/"), ".git\t" + R("/"), "a\t" + R("/"), "top.txt\t" + R("/")}},
        {{QStringLiteral("-r"), QStringLiteral("--mask"), QStringLiteral("*.txt")}, {"top.txt\t" + R("/")}},
        {{QStringLiteral("-ra"), QStringLiteral("--mask"), QStringLiteral("*.txt")},
            {".note.txt\t" + R("/a/"), "top.txt\t" + R("/")}},
        {{QStringLiteral("--all"),
             QStringLiteral("--max-depth"),
             QStringLiteral("2"),
             QStringLiteral("--no-files"),
             QStringLiteral("--folders")},
            {".git\t" + R("/"),
                "a\t" + R("/"),
                "b\t" + R("/a/"),
                "objects\t" + R("/.git/"),
                "up\t" + R("/a/")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const TCliRun run = RunCli(Tsv(c.Arguments + QStringList{Tree}));
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        EXPECT_EQ(names(run.Out), c.Rows);
    }
}

// Folder totals against sums worked out by hand: a file with three names
// counts once in each folder, links are not followed, a folder whose rows
// are left out still counts, one that cannot be read has no total, and a
// depth limit cuts the rows, not the totals.
TEST_F(TreeCliTest, FolderTotals)
{
    if (!TreeOpenToAnUnprivilegedRun())
        GTEST_SKIP() << "running as root without setpriv";
    for (const char *folder : {"a/.h", "a/locked", "a/b/bad|name", "d"})
        ASSERT_TRUE(QDir(Tree).mkpath(QString::fromLatin1(folder)));
    File(QByteArray("a/.h/x"), 11, "2021-01-01T00:00:00");
    File(QByteArray("a/locked/in.txt"), 1, "2021-01-01T00:00:00");
    File(QByteArray("a/b/bad|name/first.txt"), 2, "2021-01-01T00:00:00");
    const QByteArray three = QFile::encodeName(Tree + QStringLiteral("/a/b/c/three"));
    for (const char *name : {"/a/b/c/again", "/d/elsewhere"})
        ASSERT_EQ(::link(three.constData(), QFile::encodeName(Tree + QLatin1String(name)).constData()), 0);
    ASSERT_EQ(::symlink("b/c", QFile::encodeName(Tree + QStringLiteral("/a/toc")).constData()), 0);
    const QString locked = Tree + QStringLiteral("/a/locked");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    FLocked << locked;

    // "name path" -> size, -1 for null; a total also says so.
    const auto folders = [&](const QStringList &arguments) {
        const TCliRun run = RunCliUnprivileged(QStringList{QStringLiteral("--format"),
                                                   QStringLiteral("jsonl"),
                                                   QStringLiteral("--folders"),
                                                   QStringLiteral("--no-files"),
                                                   QStringLiteral("--folder-sizes"),
                                                   Tree}
            + arguments);
        EXPECT_EQ(run.Status, 1) << run.Err.constData();
        std::map<std::string, qint64> sizes;
        for (const QByteArray &line : Lines(run.Out)) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            const QString key =
                o[QStringLiteral("path")].toString().mid(Tree.size()) + o[QStringLiteral("name")].toString();
            const bool total = o[QStringLiteral("sizeIsTotal")].toBool();
            EXPECT_EQ(total, !o[QStringLiteral("size")].isNull()) << key.toStdString();
            sizes[key.toStdString()] = total ? qint64(o[QStringLiteral("size")].toDouble()) : -1;
        }
        return sizes;
    };
    const std::map<std::string, qint64> all = folders({QStringLiteral("-r")});
    EXPECT_EQ(all,
        (std::map<std::string, qint64>{{"/a", 300 + 7 + 5000 + 2 + 11},
            {"/d", 5000},
            {"/a/b", 7 + 5000 + 2},
            {"/a/up", -1},
            {"/a/toc", -1},
            {"/a/locked", -1},
            {"/a/b/c", 5000},
            {"/a/b/self", -1},
            {"/a/b/bad|name", 2}}));
    const std::map<std::string, qint64> two = folders({QStringLiteral("--max-depth"), QStringLiteral("2")});
    EXPECT_EQ(two,
        (std::map<std::string, qint64>{
            {"/a", 5320}, {"/d", 5000}, {"/a/b", 5009}, {"/a/up", -1}, {"/a/toc", -1}, {"/a/locked", -1}}));
}

// Unsorted rows are the sorted rows in another order: one header first, the
// same lines after it, a JSON array still whole, --limit still a count.
TEST_F(TreeCliTest, UnsortedIsTheSameRows)
{
    const auto sortedBody = [](QList<QByteArray> lines, bool header) {
        if (header && !lines.isEmpty())
            lines.removeFirst();
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    for (const char *format : {"tsv", "csv", "text", "jsonl", "html"}) {
        SCOPED_TRACE(format);
        const QStringList common{QStringLiteral("-r"),
            QStringLiteral("--folders"),
            QStringLiteral("--format"),
            QLatin1String(format),
            Tree};
        const TCliRun sorted = RunCli(common);
        const TCliRun unsorted =
            RunCli(common + QStringList{QStringLiteral("--sort"), QStringLiteral("none")});
        ASSERT_EQ(sorted.Status, 0) << sorted.Err.constData();
        ASSERT_EQ(unsorted.Status, 0) << unsorted.Err.constData();
        const bool header = std::strcmp(format, "jsonl") != 0;
        if (header) {
            EXPECT_EQ(Lines(sorted.Out).first(), Lines(unsorted.Out).first());
        }
        EXPECT_EQ(sortedBody(Lines(sorted.Out), header), sortedBody(Lines(unsorted.Out), header));
    }
    const TCliRun json = RunCli({QStringLiteral("-r"),
        QStringLiteral("--format"),
        QStringLiteral("json"),
        QStringLiteral("--sort"),
        QStringLiteral("none"),
        Tree});
    ASSERT_EQ(json.Status, 0) << json.Err.constData();
    EXPECT_EQ(QJsonDocument::fromJson(json.Out).array().size(), 4) << json.Out.constData();
    const TCliRun two = RunCli(Tsv({QStringLiteral("-r"),
        QStringLiteral("--sort"),
        QStringLiteral("none"),
        QStringLiteral("--limit"),
        QStringLiteral("2"),
        Tree}));
    ASSERT_EQ(two.Status, 0) << two.Err.constData();
    EXPECT_EQ(Lines(two.Out).size(), 2);
    // An empty tree writes what an empty sorted listing writes.
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("void")));
    for (const char *format : {"tsv", "json"}) {
        const QStringList common{
            QStringLiteral("--format"), QLatin1String(format), Root + QStringLiteral("/void")};
        EXPECT_EQ(RunCli(common).Out,
            RunCli(common + QStringList{QStringLiteral("--sort"), QStringLiteral("none")}).Out)
            << format;
    }
}

// Streamed to a terminal, the rows arrive whole and no progress line is
// painted over them; a reader that leaves after one line ends the run.
TEST_F(TreeCliTest, UnsortedOnATerminalAndIntoAClosedPipe)
{
    ASSERT_TRUE(QDir(Tree).mkpath(QStringLiteral("many")));
    for (int i = 0; i < 3000; ++i)
        File("many/a-rather-long-file-name-so-the-pipe-fills-up-" + QByteArray::number(i) + ".txt",
            1,
            "2021-01-01T00:00:00");
    const QStringList arguments{QStringLiteral("-r"),
        QStringLiteral("--sort"),
        QStringLiteral("none"),
        QStringLiteral("--format"),
        QStringLiteral("jsonl"),
        Tree};

    int master = -1;
    int slave = -1;
    struct termios raw
    { };
    ::cfmakeraw(&raw);
    ASSERT_EQ(::openpty(&master, &slave, nullptr, &raw, nullptr), 0);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    {
        QProcess p;
        p.setProcessEnvironment(CliEnvironment(ShowProgressAtOnce()));
        p.setChildProcessModifier([slave] {
            ::dup2(slave, STDOUT_FILENO);
            ::dup2(slave, STDERR_FILENO);
        });
        p.start(QStringLiteral(CARTOLA_LIST_EXE), arguments);
        ASSERT_TRUE(p.waitForStarted());
        ::close(slave);
        QByteArray terminal;
        std::thread reader([master, &terminal] {
            char buffer[4096];
            for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
                if (n > 0)
                    terminal.append(buffer, n);
        });
        TCliRun run;
        FinishCli(p, run);
        reader.join();
        ::close(master);
        EXPECT_EQ(run.Status, 0);
        EXPECT_FALSE(terminal.contains("\x1b[K")) << "a progress line was painted";
        EXPECT_EQ(Lines(terminal).size(), 3004);
        for (const QByteArray &line : Lines(terminal))
            ASSERT_TRUE(QJsonDocument::fromJson(line).isObject()) << line.constData();
    }

    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    QProcess p;
    p.setProcessEnvironment(CliEnvironment({}));
    p.setChildProcessModifier([out = pipe[1]] {
        ::dup2(out, STDOUT_FILENO);
    });
    p.start(QStringLiteral(CARTOLA_LIST_EXE), arguments);
    ASSERT_TRUE(p.waitForStarted());
    ::close(pipe[1]);
    QByteArray first;
    char c = 0;
    while (::read(pipe[0], &c, 1) == 1 && c != '\n')
        first += c;
    ::close(pipe[0]);
    EXPECT_TRUE(QJsonDocument::fromJson(first).isObject()) << first.constData();
    TCliRun run;
    FinishCli(p, run);
    // Ended by the closed pipe: killed by it, or a failed write reported.
    if (p.exitStatus() == QProcess::CrashExit) {
        EXPECT_EQ(p.exitCode(), SIGPIPE);
    } else {
        EXPECT_EQ(run.Status, 1) << run.Err.constData();
    }
}

// Several folders are one table: one header, one sort, each row's Path
// telling which folder it came from.
TEST_F(TreeCliTest, SeveralFoldersAreOneTable)
{
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("other")));
    WriteFile(Root + QStringLiteral("/other/x.txt"), QByteArray(2, 'y'));
    const QString other = Root + QStringLiteral("/other");
    const QString b = Tree + QStringLiteral("/a/b");
    const QByteArray otherPath = (other + QStringLiteral("/")).toUtf8();
    const struct
    {
        QStringList Arguments;
        QList<QByteArray> Rows;
    } cases[] = {
        {{other, b}, {"two.dat\t" + R("/a/b/"), "x.txt\t" + otherPath}},
        {{QStringLiteral("-r"), b, other},
            {"three\t" + R("/a/b/c/"), "two.dat\t" + R("/a/b/"), "x.txt\t" + otherPath}},
        {{QStringLiteral("--folders"), QStringLiteral("--sort"), QStringLiteral("path"), other, b},
            {"c\t" + R("/a/b/"), "self\t" + R("/a/b/"), "x.txt\t" + otherPath, "two.dat\t" + R("/a/b/")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const TCliRun run = RunCli(Tsv(c.Arguments));
        ASSERT_EQ(run.Status, 0) << run.Err.constData();
        EXPECT_EQ(NamesAndPaths(run.Out), c.Rows);
    }
    const TCliRun headed = RunCli({QStringLiteral("--format"), QStringLiteral("csv"), b, other});
    ASSERT_EQ(headed.Status, 0) << headed.Err.constData();
    EXPECT_EQ(Lines(headed.Out).size(), 3);
    EXPECT_TRUE(headed.Out.startsWith("Name,")) << headed.Out.constData();
    const TCliRun json = RunCli({QStringLiteral("--format"), QStringLiteral("jsonl"), b, other});
    ASSERT_EQ(json.Status, 0) << json.Err.constData();
    EXPECT_EQ(Lines(json.Out).size(), 2);
    EXPECT_TRUE(json.Out.contains("\"path\":\"" + otherPath + "\"")) << json.Out.constData();
}

// Joined short options read as getopt reads them; an option's value is never split.
TEST(TreeCommandLine, JoinedShortOptions)
{
    const struct
    {
        QStringList Arguments;
        bool Recursive;
        bool OneFileSystem;
        bool All;
        const char *Output;
        const char *Mask;
    } cases[] = {
        {{QStringLiteral("-rx")}, true, true, false, "", "*.*"},
        {{QStringLiteral("-ra")}, true, false, true, "", "*.*"},
        {{QStringLiteral("-xao"), QStringLiteral("out.txt")}, false, true, true, "out.txt", "*.*"},
        {{QStringLiteral("-rolist.txt")}, true, false, false, "list.txt", "*.*"},
        {{QStringLiteral("--mask"), QStringLiteral("-rx")}, false, false, false, "", "-rx"},
        {{QStringLiteral("-o"), QStringLiteral("-ra")}, false, false, false, "-ra", "*.*"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const TCliOptions o = ParseCommandLine(c.Arguments + QStringList{QStringLiteral("folder")});
        EXPECT_EQ(o.Recursive, c.Recursive);
        EXPECT_EQ(o.OneFileSystem, c.OneFileSystem);
        EXPECT_EQ(o.ShowHidden, c.All);
        EXPECT_EQ(o.OutputFile, QLatin1String(c.Output));
        EXPECT_EQ(o.Mask, QLatin1String(c.Mask));
        EXPECT_EQ(o.Folder, QStringLiteral("folder"));
    }
    // A joined word with a letter no option has stays one unknown option.
    EXPECT_THROW(ParseCommandLine({QStringLiteral("-rq"), QStringLiteral("folder")}), EUsageError);
    // After "--" a word is a folder, whatever it looks like.
    EXPECT_EQ(ParseCommandLine({QStringLiteral("--"), QStringLiteral("-ra")}).Folder, QStringLiteral("-ra"));
}

TEST(TreeCommandLine, TheTreeOptionsAskForWhatTheyName)
{
    const struct
    {
        QStringList Arguments;
        bool Recursive;
        int MaxDepth;
        bool OneFileSystem;
        qint64 Limit;
        bool Reverse;
    } cases[] = {
        {{}, false, 0, false, -1, false},
        {{QStringLiteral("-r")}, true, 0, false, -1, false},
        {{QStringLiteral("--recursive"), QStringLiteral("-x")}, true, 0, true, -1, false},
        {{QStringLiteral("--max-depth"), QStringLiteral("2")}, true, 2, false, -1, false},
        {{QStringLiteral("--limit"), QStringLiteral("50"), QStringLiteral("--reverse")},
            false,
            0,
            false,
            50,
            true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const TCliOptions o = ParseCommandLine(c.Arguments + QStringList{QStringLiteral("folder")});
        EXPECT_EQ(o.Recursive, c.Recursive);
        EXPECT_EQ(o.MaxDepth, c.MaxDepth);
        EXPECT_EQ(o.OneFileSystem, c.OneFileSystem);
        EXPECT_EQ(o.Limit, c.Limit);
        EXPECT_EQ(o.Reverse, c.Reverse);
    }
    for (const char *bad : {"0", "-1", "x", " 3", "3 "}) {
        for (const char *option : {"--limit", "--max-depth"}) {
            SCOPED_TRACE(std::string(option) + " '" + bad + "'");
            EXPECT_THROW(
                ParseCommandLine({QLatin1String(option), QLatin1String(bad), QStringLiteral("folder")}),
                EUsageError);
        }
    }
}

} // namespace
