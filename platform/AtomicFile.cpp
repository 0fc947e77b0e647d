#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kNameChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kSuffixLength = 6;

class TFd
{
public:
    explicit TFd(int fd = -1)
        : FFd(fd)
    { }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    ~TFd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }

private:
    int FFd;
};

// The file a chain of links ends at; a link that leads nowhere is replaced itself.
QString ResolveLinks(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth) {
        const QString next = info.symLinkTarget();
        if (next.isEmpty())
            break;
        info.setFile(next);
    }
    return info.isSymLink() ? path : info.absoluteFilePath();
}

bool IsTemporaryOf(const char *entry, const QByteArray &name)
{
    const size_t length = std::strlen(entry);
    if (length != size_t(name.size()) + 1 + kSuffixLength
        || std::strncmp(entry, name.constData(), name.size()) != 0 || entry[name.size()] != '.')
        return false;
    for (const char *c = entry + name.size() + 1; *c; ++c)
        if (!std::strchr(kNameChars, *c))
            return false;
    return true;
}

// Whether name in dir is still the file open at fd.
bool StillNamed(int dir, const char *name, int fd)
{
    struct stat byName
    { };
    struct stat open
    { };
    return ::fstatat(dir, name, &byName, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0
        && byName.st_dev == open.st_dev && byName.st_ino == open.st_ino;
}

int SweepIn(int dir, const QByteArray &name)
{
    const int listFd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return 0;
    DIR *listing = ::fdopendir(listFd);
    if (!listing) {
        ::close(listFd);
        return 0;
    }
    int removed = 0;
    while (const dirent *entry = ::readdir(listing)) {
        if (!IsTemporaryOf(entry->d_name, name))
            continue;
        // Never a link, and a FIFO must not block the open.
        const TFd fd(::openat(dir, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st
        { };
        if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        // A live writer holds its file locked until it is renamed into place.
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (StillNamed(dir, entry->d_name, fd.Get()) && ::unlinkat(dir, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(listing);
    return removed;
}

bool WriteAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= qsizetype(n);
    }
    return true;
}

// A new, empty, locked file beside name; -1 when none can be made.
int CreateLockedTemporary(int dir, const QByteArray &name, mode_t mode, QByteArray &tempName)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = name + '.';
        for (int i = 0; i < kSuffixLength; ++i)
            tempName += kNameChars[QRandomGenerator::global()->bounded(int(sizeof kNameChars - 1))];
        const int fd = ::openat(
            dir, tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // Another save's sweep may take the file in the moment before the lock:
        // it then holds the lock, or has already unlinked the name. Start anew.
        // A file system without locks leaves the file unlocked, and every
        // sweep leaves it alone.
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if ((locked || (errno != EWOULDBLOCK && errno != EINTR)) && StillNamed(dir, tempName.constData(), fd))
            return fd;
        ::close(fd);
    }
    return -1;
}

} // namespace

int RemoveStaleTemporaries(const QString &path)
{
    const QFileInfo target(ResolveLinks(path));
    const TFd dir(
        ::open(QFile::encodeName(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.Valid() ? SweepIn(dir.Get(), QFile::encodeName(target.fileName())) : 0;
}

TFileReplacement::TFileReplacement(const QString &path)
{
    const QFileInfo target(ResolveLinks(path));
    FName = QFile::encodeName(target.fileName());
    const QByteArray dirPath = QFile::encodeName(target.absolutePath());
    FDir = ::open(dirPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (FDir < 0 || FName.isEmpty()) {
        FError = FDir < 0 ? errno : EISDIR;
        return;
    }
    SweepIn(FDir, FName);

    // The new file gets the old one's permissions; a first one the umask's.
    struct stat old
    { };
    FReplacing = ::fstatat(FDir, FName.constData(), &old, 0) == 0;
    FMode = old.st_mode & 07777;
    FFd = CreateLockedTemporary(FDir, FName, FReplacing ? 0600 : 0666, FTempName);
    if (FFd < 0) {
        FError = errno ? errno : EEXIST;
        return;
    }
    FTemporaryPath = dirPath + '/' + FTempName;
}

TFileReplacement::~TFileReplacement()
{
    if (FFd >= 0) {
        ::unlinkat(FDir, FTempName.constData(), 0);
        ::close(FFd);
    }
    if (FDir >= 0)
        ::close(FDir);
}

int TFileReplacement::Commit()
{
    if (FFd < 0)
        return FError ? FError : EBADF;
    // Whoever wrote the file by its name, its bytes are the inode's: flushing
    // through this descriptor puts them on disk.
    if ((FReplacing && ::fchmod(FFd, FMode) != 0) || ::fdatasync(FFd) != 0
        || ::renameat(FDir, FTempName.constData(), FDir, FName.constData()) != 0)
        return errno;
    // Closing releases the lock, now on the file in its place.
    ::close(FFd);
    FFd = -1;
    return 0;
}

bool ReplaceFileContents(const QString &path, const QByteArray &bytes)
{
    TFileReplacement replacement(path);
    return replacement.Error() == 0 && WriteAll(replacement.Descriptor(), bytes.constData(), bytes.size())
        && replacement.Commit() == 0;
}
