// The clipboard listing outlives cartola-list. Runs against a real X server
// without a clipboard manager (tests/support/with-xvfb); skipped elsewhere.

#include "CliRunner.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace {

// Children of this process that nobody waits for: the detached server,
// handed to us when its starter exits, since the test is a subreaper. Other
// libraries leave theirs too (a D-Bus session started for the display), so
// only those running cartola-list count as servers.
std::vector<pid_t> OrphanedChildren(bool onlyServers = false)
{
    std::vector<pid_t> out;
    const pid_t self = ::getpid();
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        bool isPid = false;
        const pid_t pid = pid_t(it.next().section(QLatin1Char('/'), -1).toInt(&isPid));
        if (!isPid)
            continue;
        // Field 4 of stat is the parent; the name in field 2 may hold spaces.
        const QByteArray stat = ReadAll(QStringLiteral("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[1].toInt() != self)
            continue;
        const QString program = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
        if (!onlyServers || program == QFileInfo(QStringLiteral(CARTOLA_LIST_EXE)).canonicalFilePath())
            out.push_back(pid);
    }
    return out;
}

QByteArray Xclip(const QStringList &arguments, const QByteArray &input = QByteArray())
{
    QProcess p;
    p.start(QStringLiteral("xclip"), arguments);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
    }
    return p.readAllStandardOutput();
}

class ClipboardCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qgetenv("QT_QPA_PLATFORM") != "xcb" || qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs tests/support/with-xvfb";
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        FSubreaper = true;
        ASSERT_TRUE(FRoot.isValid());
    }

    // Whatever was left behind ends here, by its own process id.
    void TearDown() override
    {
        if (!FSubreaper)
            return;
        for (const pid_t pid : OrphanedChildren()) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // Waits for the server to leave on its own; false when it is still there.
    static bool ServerEnds(pid_t pid)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            if (::waitpid(pid, nullptr, WNOHANG) == pid)
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    QTemporaryDir FRoot;
    bool FSubreaper = false;
};

TEST_F(ClipboardCliTest, TheListingStaysOnTheClipboardUntilAnotherProgramTakesIt)
{
    const QString folder = FRoot.path();
    WriteFile(folder + QStringLiteral("/a.txt"), "first");
    WriteFile(folder + QStringLiteral("/b.txt"), "second");

    const TCliRun run = RunCli({QStringLiteral("--format"), QStringLiteral("clipboard"), folder});
    ASSERT_EQ(run.Status, 0) << run.Err.constData();
    const std::vector<pid_t> servers = OrphanedChildren(true);
    ASSERT_EQ(servers.size(), 1u);

    // Rows end in CR alone and begin with the hidden full path.
    const QList<QByteArray> rows =
        Xclip({QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")}).split('\r');
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].startsWith(QFile::encodeName(folder) + "/a.txt\ta\t")) << rows[0].constData();
    EXPECT_TRUE(rows[1].startsWith(QFile::encodeName(folder) + "/b.txt\tb\t")) << rows[1].constData();

    // Another program takes the clipboard (and serves one paste): the server leaves.
    Xclip({QStringLiteral("-i"),
              QStringLiteral("-selection"),
              QStringLiteral("clipboard"),
              QStringLiteral("-loops"),
              QStringLiteral("1")},
        "taken");
    EXPECT_TRUE(ServerEnds(servers[0]));
    EXPECT_EQ(Xclip({QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")}),
        QByteArray("taken"));
}

// Started from a folder by a script holding a lock on descriptor 9, as flock
// scripts do: the server keeps neither, so the folder can be unmounted and
// the script's next run gets its lock.
TEST_F(ClipboardCliTest, TheServerHoldsNeitherTheCallersFolderNorItsDescriptors)
{
    const QString folder = FRoot.path() + QStringLiteral("/mounted");
    ASSERT_TRUE(QDir().mkpath(folder));
    WriteFile(folder + QStringLiteral("/a.txt"), "first");
    const QByteArray lock = QFile::encodeName(FRoot.path() + QStringLiteral("/run.lock"));
    const int held = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    QProcess p;
    p.setProcessEnvironment(CliEnvironment({}));
    p.setWorkingDirectory(folder);
    p.setChildProcessModifier([held] {
        ::dup2(held, 9); // without close-on-exec, as a shell's 9>file
    });
    p.start(
        QStringLiteral(CARTOLA_LIST_EXE), {QStringLiteral("--format"), QStringLiteral("clipboard"), folder});
    TCliRun run;
    FinishCli(p, run);
    ::close(held);
    ASSERT_EQ(run.Status, 0) << run.Err.constData();
    const std::vector<pid_t> servers = OrphanedChildren();
    ASSERT_EQ(servers.size(), 1u);

    const QString proc = QStringLiteral("/proc/%1").arg(servers[0]);
    EXPECT_EQ(QFile::symLinkTarget(proc + QStringLiteral("/cwd")), QStringLiteral("/"));
    const QStringList fds = QDir(proc + QStringLiteral("/fd")).entryList(QDir::Files | QDir::System);
    ASSERT_FALSE(fds.isEmpty());
    for (const QString &fd : fds) {
        const QString target = QFile::symLinkTarget(proc + QStringLiteral("/fd/") + fd);
        EXPECT_FALSE(target.startsWith(FRoot.path())) << fd.toStdString() << " -> " << target.toStdString();
    }
    const int again = ::open(lock.constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(again, 0);
    EXPECT_EQ(::flock(again, LOCK_EX | LOCK_NB), 0) << "the server still holds the script's lock";
    ::close(again);
    EXPECT_TRUE(Xclip({QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")})
                    .startsWith(QFile::encodeName(folder) + "/a.txt\ta\t"));
}

} // namespace
