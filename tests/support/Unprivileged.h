// Permission checks that mean the same whoever runs the suite: as root, they run as an ordinary user.
#pragma once

#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QString>

#include <functional>
#include <grp.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// The user that root hands files to and becomes for such checks (nobody).
constexpr uid_t kUnprivilegedId = 65534;

inline bool RunningAsRoot()
{
    return ::geteuid() == 0;
}

// As root, hands the path and everything below it to the unprivileged user,
// so that user meets the permissions the test sets there; otherwise nothing.
inline void GiveToUnprivileged(const QString &path)
{
    if (!RunningAsRoot())
        return;
    const auto give = [](const QString &p) {
        (void)::lchown(QFile::encodeName(p).constData(), kUnprivilegedId, kUnprivilegedId);
    };
    give(path);
    QDirIterator it(path,
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        give(it.next());
}

// Runs the check as the unprivileged user: in a child process that drops to
// that user when this one is root, in place otherwise. The check returns what
// went wrong, empty when nothing did; so does this, for the child's end too.
inline std::string AsUnprivileged(const std::function<std::string()> &check)
{
    if (!RunningAsRoot())
        return check();
    int channel[2];
    if (::pipe(channel) != 0)
        return "no pipe for the child";
    const pid_t child = ::fork();
    if (child < 0)
        return "no child process";
    if (child == 0) {
        ::close(channel[0]);
        std::string outcome;
        if (::setgroups(0, nullptr) != 0
            || ::setresgid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0
            || ::setresuid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0 || ::geteuid() == 0)
            outcome = "could not drop to the unprivileged user";
        else
            outcome = check();
        (void)!::write(channel[1], outcome.data(), outcome.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string outcome;
    char buffer[512];
    ssize_t got;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0)
        outcome.append(buffer, size_t(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        outcome += " (the child ended abnormally)";
    return outcome;
}
