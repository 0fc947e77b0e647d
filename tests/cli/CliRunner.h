// Runs the built cartola-list for the tests.
#pragma once

#include "cli/TreeProgress.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

struct TCliRun
{
    int Status = -1; // -1 when the program crashed or hung
    QByteArray Out;
    QByteArray Err;
};

// The locale the tests pin, so cartola-list's texts and order match those
// the test process computes; extra is added on top.
inline QProcessEnvironment CliEnvironment(const QProcessEnvironment &extra)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    env.remove(QStringLiteral("LANGUAGE"));
    env.insert(extra);
    return env;
}

// Waits for the started program; Status stays -1 when it crashed or hung.
inline void FinishCli(QProcess &p, TCliRun &run)
{
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return;
    }
    run.Out = p.readAllStandardOutput();
    run.Err = p.readAllStandardError();
    if (p.exitStatus() == QProcess::NormalExit)
        run.Status = p.exitCode();
}

// Runs the built cartola-list with its output in pipes, or standard output
// into outFile when one is given.
inline TCliRun RunCli(const QStringList &arguments,
    const QString &workingDirectory = QString(),
    const QProcessEnvironment &extra = QProcessEnvironment(),
    const QString &outFile = QString())
{
    QProcess p;
    p.setProcessEnvironment(CliEnvironment(extra));
    if (!workingDirectory.isEmpty())
        p.setWorkingDirectory(workingDirectory);
    if (!outFile.isEmpty())
        p.setStandardOutputFile(outFile);
    p.start(QStringLiteral(CARTOLA_LIST_EXE), arguments);
    TCliRun run;
    FinishCli(p, run);
    return run;
}

// Runs cartola-list with its standard error on a pseudo-terminal that passes
// the bytes as written (no CR before LF); Err is all the terminal received.
inline TCliRun RunCliOnTerminal(const QStringList &arguments, const QProcessEnvironment &extra)
{
    TCliRun run;
    int master = -1;
    int slave = -1;
    struct termios raw
    { };
    ::cfmakeraw(&raw);
    if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        ADD_FAILURE() << "openpty: " << std::strerror(errno);
        return run;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    QProcess p;
    p.setProcessEnvironment(CliEnvironment(extra));
    p.setChildProcessModifier([slave] {
        ::dup2(slave, STDERR_FILENO);
    });
    p.start(QStringLiteral(CARTOLA_LIST_EXE), arguments);
    p.waitForStarted();
    // The program now holds the terminal's only other end: reading stops when it exits.
    ::close(slave);
    QByteArray terminal;
    std::thread reader([master, &terminal] {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                terminal.append(buffer, n);
            else if (n == 0 || errno != EINTR)
                break;
        }
    });
    FinishCli(p, run);
    reader.join();
    ::close(master);
    EXPECT_TRUE(run.Err.isEmpty()) << "standard error reached the pipe, not the terminal";
    run.Err = terminal;
    return run;
}

// Runs cartola-list with a raw terminal as its standard output and error, in
// a locale, so the bytes read back are the bytes it wrote; Out is all the
// terminal received.
inline TCliRun RunCliOnRawTerminal(const QStringList &arguments, const QByteArray &locale = "en_US.UTF-8")
{
    std::vector<QByteArray> args{QByteArray(CARTOLA_LIST_EXE)};
    for (const QString &a : arguments)
        args.push_back(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> env{"LC_ALL=" + locale, "LANG=" + locale};
    for (char **e = environ; *e; ++e)
        if (!QByteArray(*e).startsWith("LC_") && !QByteArray(*e).startsWith("LANG"))
            env.emplace_back(*e);
    std::vector<char *> envp;
    for (QByteArray &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    struct termios raw
    { };
    ::cfmakeraw(&raw);
    int master = -1;
    TCliRun run;
    const pid_t pid = ::forkpty(&master, nullptr, &raw, nullptr);
    if (pid == 0) {
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid < 0)
        return run;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break; // EIO once the program has closed its side
        run.Out.append(buffer, n);
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        run.Status = WEXITSTATUS(status);
    return run;
}

// Makes cartola-list show its progress line from the start, so a small folder shows one.
inline QProcessEnvironment ShowProgressAtOnce()
{
    QProcessEnvironment env;
    env.insert(QLatin1String(kProgressAtOnceVariable), QStringLiteral("1"));
    return env;
}

// What a terminal received after cartola-list last wiped its progress line;
// fails unless a line with the progress text showed and was wiped for good.
inline QByteArray AfterProgressWiped(const QByteArray &terminal, const QByteArray &progress)
{
    // A repaint has its text between the return and the erase; the wipe has none.
    const QByteArray wipe = "\r\x1b[K";
    EXPECT_TRUE(terminal.contains(progress)) << terminal.toStdString();
    const qsizetype last = terminal.lastIndexOf(wipe);
    if (last < 0) {
        ADD_FAILURE() << "the progress line was never wiped: " << terminal.toStdString();
        return {};
    }
    const QByteArray after = terminal.mid(last + wipe.size());
    EXPECT_FALSE(after.contains(progress)) << after.toStdString();
    return after;
}

// A temporary folder listed in UTC, so the time texts never move; TZ comes back after.
class TUtcFolderTest : public TTempFolderTest
{
protected:
    void SetUp() override
    {
        TTempFolderTest::SetUp();
        FOldTZ = qgetenv("TZ");
        qputenv("TZ", "UTC");
        Root = FDir.path();
    }
    void TearDown() override
    {
        if (FOldTZ.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", FOldTZ);
    }

    QString Root;

private:
    QByteArray FOldTZ;
};
