#include "platform/PrivateTemp.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kMaxNameTries = 100;

using TIdentity = std::pair<dev_t, ino_t>;

TIdentity IdentityOf(const struct stat &st)
{
    return {st.st_dev, st.st_ino};
}

// The folder mkdtemp made when the shared name was not ours to use.
struct TFallback
{
    QString Path; // without a trailing "/"
    TIdentity Identity{};
};
TFallback gFallback;

QString TempBase()
{
    const QByteArray env = qgetenv("TMPDIR");
    struct stat st
    { };
    if (!env.isEmpty() && ::stat(env.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return QDir::cleanPath(QFile::decodeName(env));
    return QStringLiteral("/tmp");
}

bool IsPrivate(const struct stat &st)
{
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 07777) == 0700;
}

bool IsPrivateFolder(const QString &path, struct stat &st)
{
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && IsPrivate(st);
}

void SplitPath(const QString &path, QString &parent, QString &name)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    parent = slash > 0 ? path.left(slash) : QStringLiteral("/");
    name = path.mid(slash + 1);
}

// Opens the first subfolder of fd not yet known to be stuck; unlinks every
// other entry on the way. -1 when none is left.
int NextSubfolder(int fd, const std::set<TIdentity> &stuck, bool &complete, QByteArray &childName)
{
    const int scanFd = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = scanFd >= 0 ? ::fdopendir(scanFd) : nullptr;
    if (!dir) {
        if (scanFd >= 0)
            ::close(scanFd);
        complete = false;
        return -1;
    }
    int child = -1;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (qstrcmp(name, ".") == 0 || qstrcmp(name, "..") == 0)
            continue;
        struct stat st
        { };
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            complete = false;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            if (::unlinkat(fd, name, 0) != 0)
                complete = false;
            continue;
        }
        if (stuck.contains(IdentityOf(st)))
            continue;
        child = ::openat(fd, name, kDirFlags);
        if (child >= 0) {
            childName = name;
            break;
        }
        complete = false;
    }
    ::closedir(dir);
    return child;
}

// Walks down one folder at a time holding a single descriptor, so neither
// the depth of the tree nor the descriptor limit bounds it; the way back up
// is "..", checked against the folder we came from.
bool RemoveTree(int dirFd, const QByteArray &name, const TIdentity *expected)
{
    struct stat st
    { };
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return !expected && ::unlinkat(dirFd, name.constData(), 0) == 0;
    int fd = ::openat(dirFd, name.constData(), kDirFlags);
    if (fd < 0)
        return false;
    if (::fstat(fd, &st) != 0 || (expected && IdentityOf(st) != *expected)) {
        ::close(fd);
        return false;
    }

    struct TLevel
    {
        QByteArray Name;
        TIdentity Parent;
    };
    std::vector<TLevel> path;
    std::set<TIdentity> stuck;
    bool complete = true;
    for (;;) {
        QByteArray childName;
        const int child = NextSubfolder(fd, stuck, complete, childName);
        if (child >= 0) {
            ::fstat(fd, &st);
            path.push_back({childName, IdentityOf(st)});
            ::close(fd);
            fd = child;
            continue;
        }
        if (path.empty()) {
            ::close(fd);
            return ::unlinkat(dirFd, name.constData(), AT_REMOVEDIR) == 0 && complete;
        }
        struct stat self
        { };
        ::fstat(fd, &self);
        const int up = ::openat(fd, "..", kDirFlags);
        ::close(fd);
        if (up < 0 || ::fstat(up, &st) != 0 || IdentityOf(st) != path.back().Parent) {
            // Moved away while we were below it: stop rather than guess.
            if (up >= 0)
                ::close(up);
            return false;
        }
        if (::unlinkat(up, path.back().Name.constData(), AT_REMOVEDIR) != 0) {
            stuck.insert(IdentityOf(self));
            complete = false;
        }
        path.pop_back();
        fd = up;
    }
}

bool RemoveTreeOf(const QString &path, const TIdentity &identity)
{
    QString parent, name;
    SplitPath(path, parent, name);
    const int parentFd = ::open(QFile::encodeName(parent).constData(), kDirFlags);
    if (parentFd < 0)
        return false;
    const bool removed = RemoveTree(parentFd, QFile::encodeName(name), &identity);
    ::close(parentFd);
    return removed;
}

} // namespace

QString UserTempPath()
{
    QString base = TempBase();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base + QStringLiteral("cartola-") + QString::number(getuid()) + QLatin1Char('/');
}

QString UserTempDir()
{
    const QString shared = UserTempPath();
    const QString folder = shared.chopped(1);
    struct stat st
    { };
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || errno == EEXIST) {
        if (IsPrivateFolder(folder, st))
            return shared;
    }
    if (!gFallback.Path.isEmpty() && IsPrivateFolder(gFallback.Path, st)
        && IdentityOf(st) == gFallback.Identity)
        return gFallback.Path + QLatin1Char('/');

    QByteArray pattern = QFile::encodeName(folder) + "-XXXXXX";
    if (!::mkdtemp(pattern.data()) || ::lstat(pattern.constData(), &st) != 0)
        throw EInOutError(EInOutError::CodeFromErrno(errno), QFile::decodeName(pattern));
    gFallback = {QFile::decodeName(pattern), IdentityOf(st)};
    return gFallback.Path + QLatin1Char('/');
}

void ReleaseUserTempDir()
{
    if (gFallback.Path.isEmpty())
        return;
    RemoveTreeOf(gFallback.Path, gFallback.Identity);
    gFallback = {};
}

int CreatePrivateFile(const QString &name, QString &path)
{
    const QString folder = UserTempDir().chopped(1);
    path = folder + QLatin1Char('/') + name;
    const int dirFd = ::open(QFile::encodeName(folder).constData(), kDirFlags);
    struct stat st
    { };
    if (dirFd < 0 || ::fstat(dirFd, &st) != 0 || !IsPrivate(st)) {
        const int err = dirFd < 0 ? errno : EACCES;
        if (dirFd >= 0)
            ::close(dirFd);
        throw EInOutError(EInOutError::CodeFromErrno(err), path);
    }
    const QByteArray encoded = QFile::encodeName(name);
    // A new inode each time: whatever had the name is dropped, never written through.
    int fd = -1;
    if (::unlinkat(dirFd, encoded.constData(), 0) == 0 || errno == ENOENT)
        fd = ::openat(dirFd,
            encoded.constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
            0600);
    const int err = errno;
    ::close(dirFd);
    if (fd < 0)
        throw EInOutError(EInOutError::CodeFromErrno(err), path);
    return fd;
}

bool RemoveTreeAt(int dirFd, const QByteArray &name)
{
    return RemoveTree(dirFd, name, nullptr);
}

void TOwnedFolder::Make(const QString &path, const std::function<QString(const QString &)> &next)
{
    QString candidate = path;
    for (int i = 0; i < kMaxNameTries; ++i) {
        const QByteArray encoded = QFile::encodeName(candidate);
        if (::mkdir(encoded.constData(), 0700) == 0) {
            struct stat st
            { };
            if (::lstat(encoded.constData(), &st) != 0)
                throw EInOutError(EInOutError::CodeFromErrno(errno), candidate);
            FPath = candidate;
            FDevice = st.st_dev;
            FInode = st.st_ino;
            FMade = true;
            return;
        }
        if (errno != EEXIST)
            throw EInOutError(EInOutError::CodeFromErrno(errno), candidate);
        candidate = next(candidate);
    }
    throw EInOutError(EInOutError::CodeFromErrno(EEXIST), candidate);
}

bool TOwnedFolder::Remove()
{
    if (!FMade)
        return true;
    FMade = false;
    return RemoveTreeOf(FPath, {FDevice, FInode});
}
