#include "zip/ExtractTarget.h"

#include "zip/ZipErrors.h"
#include "zip/private/Crc32.h"
#include "zip/private/FileStream.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QLatin1Char kSeparator('/');

[[noreturn]] void RaiseInvalidPath()
{
    throw EZipException(QString(kErrInvalidPath));
}

bool HasForbiddenCharacter(const QString &part)
{
    return part.contains(QChar(0));
}

// Owns one descriptor.
class TFd
{
public:
    explicit TFd(int fd = -1)
        : FFd(fd)
    { }
    ~TFd() { Reset(); }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;

    int Get() const { return FFd; }
    int Release()
    {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }
    void Reset(int fd = -1)
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = fd;
    }

private:
    int FFd;
};

// A new file below folder under a name nobody has, as open as a plain create
// makes it. Returns its descriptor, or -1 with errno.
int CreateTemporary(int folder, QByteArray &name)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const uint64_t tag = (uint64_t(random()) << 32) | random();
        name = ".cartola-" + QByteArray::number(qulonglong(tag), 36) + ".part";
        const int fd = ::openat(
            folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

QString JoinExtractPath(const QString &first, const QString &second)
{
    if (HasForbiddenCharacter(first) || HasForbiddenCharacter(second))
        RaiseInvalidPath();
    if (first.isEmpty())
        return second;
    if (second.isEmpty())
        return first;
    if (first.endsWith(kSeparator))
        return first + second;
    return first + kSeparator + second;
}

TExtractTarget PlanExtractTarget(const QString &root, const QString &entryName, bool createSubdirs)
{
    TExtractTarget target;
    target.Root = root;
    target.CreateRoot = createSubdirs;
    if (!createSubdirs) {
        const QString last = entryName.mid(entryName.lastIndexOf(kSeparator) + 1);
        if (last == QLatin1String("..") || last == QLatin1String("."))
            RaiseInvalidPath();
        target.OutputPath = JoinExtractPath(root, last);
        target.FileName = last;
        return target;
    }

    target.OutputPath = JoinExtractPath(root, entryName);
    if (entryName.startsWith(kSeparator))
        RaiseInvalidPath();
    QStringList parts = entryName.split(kSeparator);
    if (parts.contains(QLatin1String("..")))
        RaiseInvalidPath();
    const bool isFolder = entryName.endsWith(kSeparator);
    const QString last = parts.takeLast();
    if (!isFolder) {
        // A file needs a name of its own, not the folder it would stand in.
        if (last.isEmpty() || last == QLatin1String("."))
            RaiseInvalidPath();
        target.FileName = last;
    }
    for (const QString &part : parts)
        if (!part.isEmpty() && part != QLatin1String("."))
            target.Folders << part;
    return target;
}

TExtractOutput::TExtractOutput(const TExtractTarget &target)
    : FOutputPath(FullPathName(target.OutputPath))
{
    const QString root = target.Root.isEmpty() ? QStringLiteral(".") : target.Root;
    if (target.CreateRoot && !QDir().mkpath(root))
        RaiseCreateError(errno ? errno : EACCES);
    TFd folder(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0)
        RaiseCreateError(errno);

    for (const QString &name : target.Folders) {
        const QByteArray encoded = QFile::encodeName(name);
        if (::mkdirat(folder.Get(), encoded.constData(), 0777) != 0 && errno != EEXIST)
            RaiseCreateError(errno);
        // O_NOFOLLOW: a link planted in the tree must not carry us outside it.
        const int next =
            ::openat(folder.Get(), encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            RaiseCreateError(errno);
        folder.Reset(next);
    }
    if (target.FileName.isEmpty())
        return;

    // A folder in the way fails now, before any data is read.
    const QByteArray encoded = QFile::encodeName(target.FileName);
    struct stat existing
    { };
    if (::fstatat(folder.Get(), encoded.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISDIR(existing.st_mode))
        RaiseCreateError(EISDIR);
    // The data goes to a new file of its own, which takes the entry's name only
    // once it is whole and checked: the file of that name stays as it was until then.
    FFd = CreateTemporary(folder.Get(), FTempName);
    if (FFd < 0)
        RaiseCreateError(errno);
    FFolderFd = folder.Release();
    FFileName = encoded;
}

TExtractOutput::~TExtractOutput()
{
    Discard();
    if (FFolderFd >= 0)
        ::close(FFolderFd);
}

void TExtractOutput::Discard()
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
    if (FFolderFd >= 0 && !FTempName.isEmpty())
        ::unlinkat(FFolderFd, FTempName.constData(), 0);
    FTempName.clear();
}

void TExtractOutput::Commit()
{
    Close();
    if (FTempName.isEmpty())
        return;
    // A link or a hard link of that name is replaced, never written through.
    if (::renameat(FFolderFd, FTempName.constData(), FFolderFd, FFileName.constData()) != 0) {
        const int err = errno;
        Discard();
        RaiseCreateError(err);
    }
    FTempName.clear();
}

void TExtractOutput::RaiseCreateError(int err) const
{
    throw EFCreateError(FOutputPath, err);
}

void TExtractOutput::Write(const void *data, size_t size)
{
    const auto *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t done = ::write(FFd, p, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            throw EStreamError(QString(kErrStreamWrite));
        FCrc = UpdateCrc32(FCrc, p, size_t(done));
        p += done;
        size -= size_t(done);
    }
}

void TExtractOutput::Close()
{
    if (FFd < 0)
        return;
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0)
        throw EStreamError(QString(kErrStreamWrite));
}
