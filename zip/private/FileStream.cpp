#include "zip/private/FileStream.h"

#include "platform/Errors.h"
#include "platform/FileNames.h"
#include "zip/private/Crc32.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int64_t kCopyPiece = 256 * 1024;

// The reason shown for a path that exists but is no file to read.
int NotAFileError(mode_t mode)
{
    return S_ISDIR(mode) ? EISDIR : EOPNOTSUPP;
}

} // namespace

QString FullPathName(const QString &fileName)
{
    if (fileName.isEmpty())
        return fileName;
    return QFileInfo(fileName).absoluteFilePath();
}

bool IsRegularFilePath(const QString &fileName)
{
    const QByteArray encoded = EncodeFileName(fileName);
    if (encoded.isEmpty() || encoded.contains('\0'))
        return false;
    struct stat st
    { };
    return ::stat(encoded.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

std::unique_ptr<TFileStream> TFileStream::OpenRead(const QString &fileName)
{
    const QString shown = FullPathName(fileName);
    const QByteArray encoded = EncodeFileName(fileName);
    if (encoded.isEmpty() || encoded.contains('\0'))
        throw EFOpenError(shown, ENOENT);

    struct stat st
    { };
    if (::stat(encoded.constData(), &st) != 0)
        throw EFOpenError(shown, errno);
    if (!S_ISREG(st.st_mode))
        throw EFOpenError(shown, NotAFileError(st.st_mode));

    // O_NONBLOCK: should the path have turned into a FIFO since the stat,
    // the open must not wait for a writer.
    const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        throw EFOpenError(shown, errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISREG(st.st_mode) ? errno : NotAFileError(st.st_mode);
        ::close(fd);
        throw EFOpenError(shown, err);
    }
    return std::unique_ptr<TFileStream>(new TFileStream(fd, int64_t(st.st_size)));
}

TFileStream::TFileStream(int fd, int64_t size)
    : FFd(fd)
    , FSize(size)
{ }

TFileStream::~TFileStream()
{
    ::close(FFd);
}

int64_t TFileStream::CopyToFile(int fd, int64_t count, uint32_t &crc)
{
    // Only a whole piece: a short archive must fail in the caller's copy,
    // before its last bytes are written.
    if (count <= 0 || FPosition > FSize - count)
        return 0;
    // Each piece is summed while it is still in the cache from its read, and
    // written from there; pieces this size keep the system calls few.
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyPiece]);
    int64_t done = 0;
    while (done < count) {
        const int64_t want = std::min<int64_t>(count - done, kCopyPiece);
        const int64_t got = ReadFully(buffer.get(), want);
        int64_t written = 0;
        while (written < got) {
            const ssize_t n = ::write(fd, buffer.get() + written, size_t(got - written));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            written += n;
        }
        crc = UpdateCrc32(crc, buffer.get(), size_t(written));
        done += written;
        // A file that shrank, or an output that refuses: the caller's copy
        // goes on from here and reports it.
        if (written < want) {
            FPosition -= got - written;
            break;
        }
    }
    return done;
}

int64_t TFileStream::Read(void *buffer, int64_t count)
{
    auto *out = static_cast<char *>(buffer);
    int64_t done = 0;
    while (done < count) {
        const size_t chunk = size_t(std::min<int64_t>(count - done, INT_MAX));
        const ssize_t got = ::pread(FFd, out + done, chunk, off_t(FPosition));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
        FPosition += got;
    }
    return done;
}
