#include "CliRunner.h"
#include "PivotAdversary.h"
#include "listing/StringGridSort.h"
#include "tools/ZipBuilder.h"

#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dirent.h>
#include <pty.h>
#include <string_view>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

class HostileInputCliTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(FRoot.isValid()); }
    QTemporaryDir FRoot;
};

// Folder names are not path-checked, so they may carry any control character.
TEST_F(HostileInputCliTest, ControlCharactersInNamesShowAsQuestionMarksOnATerminalOnly)
{
    const QString evil = QStringLiteral("a\x1b]0;owned\x07title\rb");
    ASSERT_TRUE(QDir(FRoot.path()).mkdir(evil));
    const QStringList args{
        QStringLiteral("--folders"), QStringLiteral("--format"), QStringLiteral("tsv"), FRoot.path()};

    const TCliRun shown = RunCliOnRawTerminal(args);
    ASSERT_EQ(shown.Status, 0) << shown.Out.toStdString();
    EXPECT_TRUE(shown.Out.contains("a?]0;owned?title b\t")) << shown.Out.toStdString();
    EXPECT_EQ(shown.Out.count('\x1b') + shown.Out.count('\x07'), 0);
    EXPECT_TRUE(shown.Out.endsWith("\t\r\n"));

    // A pipe gets the writer's bytes.
    const TCliRun piped = RunCli(args);
    ASSERT_EQ(piped.Status, 0);
    EXPECT_TRUE(piped.Out.contains("a\x1b]0;owned\x07title b\t")) << piped.Out.toStdString();
}

TEST_F(HostileInputCliTest, AnArchivesNamesAndCommentsCannotSteerTheTerminal)
{
    ZipBuilder::TArchive a;
    a.Add("x\x1b[2Jy.txt", "x").Comment = "note\x1b[31m";
    // Flag bit 11: the name is UTF-8, here with the C1 control U+009B (CSI).
    a.Add("c\xc2\x9b"
          "1m.txt",
         "y")
        .Flag = 0x800;
    a.Comment = "\x1b]2;title\x07";
    const QString zip = FRoot.path() + QStringLiteral("/a.zip");
    ASSERT_TRUE(ZipBuilder::WriteBytes(zip, a.Build()));

    const TCliRun shown = RunCliOnRawTerminal({QStringLiteral("--zip"), zip});
    ASSERT_EQ(shown.Status, 0) << shown.Out.toStdString();
    EXPECT_EQ(shown.Out.count('\x1b') + shown.Out.count('\x07') + shown.Out.count("\xc2\x9b"), 0)
        << shown.Out.toStdString();
    EXPECT_TRUE(shown.Out.startsWith("Files: 2?]2;title?\n")) << shown.Out.toStdString();
    EXPECT_TRUE(shown.Out.contains("c?1m.txt")) << shown.Out.toStdString();

    const TCliRun piped = RunCli({QStringLiteral("--zip"), zip});
    ASSERT_EQ(piped.Status, 0);
    EXPECT_TRUE(piped.Out.contains("\x1b[2J"));
}

// A folder named to retitle the terminal, clear it and write its clipboard has
// its files left out of a recursive listing, with an error line quoting its
// path; a name
// with the C1 controls CSI and OSC lists, in JSON as UTF-8.
TEST_F(HostileInputCliTest, NoControlCharacterReachesATerminal)
{
    const QString root = FRoot.path();
    // The LF would start a forged line of its own.
    const QString evil = QStringLiteral("\x1b]0;owned\x07\x1b[2J\x1b]52;c;b3duZWQ=\x07\nforged line");
    ASSERT_TRUE(QDir(root).mkdir(evil));
    WriteFile(root + QLatin1Char('/') + evil + QStringLiteral("/a.txt"), "x");
    ASSERT_TRUE(QDir(root).mkdir(QStringLiteral("c\u009b2J\u009d0;t")));
    const QByteArray errorLine = "cartola-list: " + QFile::encodeName(root)
        + "/?]0;owned??[2J?]52;c;b3duZWQ=??forged line: Invalid characters in path.";
    const struct
    {
        const char *format;
        bool recursive;
        const char *shownName;
    } cases[] = {
        {"tsv", true, nullptr},
        {"json", true, "c?2J?0;t"},
        {"json", false, "c?2J?0;t"},
        {"jsonl", false, "c?2J?0;t"},
    };
    for (const auto &c : cases) {
        QStringList args{
            QStringLiteral("--folders"), QStringLiteral("--format"), QString::fromLatin1(c.format), root};
        if (c.recursive)
            args.prepend(QStringLiteral("-r"));
        const std::string what = args.join(QLatin1Char(' ')).toStdString();
        TCliRun shown = RunCliOnRawTerminal(args);
        EXPECT_EQ(shown.Status, c.recursive ? 1 : 0) << what;
        // The progress line's own erase is the only escape allowed.
        shown.Out.replace("\x1b[K", "");
        EXPECT_EQ(shown.Out.count('\x1b') + shown.Out.count('\x07') + shown.Out.count("\xc2\x9b")
                + shown.Out.count("\xc2\x9d"),
            0)
            << what << ": " << shown.Out.toStdString();
        EXPECT_EQ(shown.Out.contains(errorLine), c.recursive) << what << ": " << shown.Out.toStdString();
        if (c.shownName) {
            EXPECT_TRUE(shown.Out.contains(c.shownName)) << what << ": " << shown.Out.toStdString();
        }
    }

    // Pipes get the writers' bytes, standard error too.
    const TCliRun piped = RunCli({QStringLiteral("-r"),
        QStringLiteral("--folders"),
        QStringLiteral("--format"),
        QStringLiteral("json"),
        root});
    EXPECT_TRUE(piped.Err.contains(QFile::encodeName(evil))) << piped.Err.toStdString();
    EXPECT_TRUE(piped.Out.contains("c\xc2\x9b"
                                   "2J\xc2\x9d"))
        << piped.Out.toStdString();
}

// Sizes given in the order the folder lists its files, built against the
// sort's middle pivot: the listing still comes out by size.
TEST_F(HostileInputCliTest, SizesOrderedAgainstTheSortStillSort)
{
    const int n = 4000;
    for (int i = 0; i < n; ++i)
        WriteFile(FRoot.filePath(QStringLiteral("f%1").arg(i)), {});
    std::vector<QString> listed; // the order the scan will meet them
    DIR *dir = ::opendir(QFile::encodeName(FRoot.path()).constData());
    ASSERT_NE(dir, nullptr);
    while (const dirent *e = ::readdir(dir))
        if (e->d_name[0] != '.')
            listed.push_back(QString::fromUtf8(e->d_name));
    ::closedir(dir);
    ASSERT_EQ(int(listed.size()), n);

    TPivotAdversary adversary(n);
    QuickSortOrder(n, [&](int a, int b) {
        return adversary.Compare(a, b);
    });
    QHash<QString, int> size;
    for (int i = 0; i < n; ++i) {
        size.insert(listed[size_t(i)], adversary.Values()[size_t(i)]);
        ASSERT_EQ(::truncate(QFile::encodeName(FRoot.filePath(listed[size_t(i)])).constData(),
                      adversary.Values()[size_t(i)]),
            0);
    }

    const TCliRun run = RunCli({QStringLiteral("--format"),
        QStringLiteral("tsv"),
        QStringLiteral("--sort"),
        QStringLiteral("size"),
        QStringLiteral("--extensions"),
        FRoot.path()});
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    const QList<QByteArray> lines = run.Out.split('\n');
    int previous = -1, rows = 0;
    for (qsizetype l = 1; l < lines.size(); ++l) { // after the header
        const QByteArray name = lines[l].left(lines[l].indexOf('\t'));
        if (name.isEmpty())
            continue;
        const int value = size.value(QString::fromLatin1(name), -1);
        ASSERT_GE(value, previous) << name.toStdString();
        previous = value;
        ++rows;
    }
    EXPECT_EQ(rows, n);
}

} // namespace
