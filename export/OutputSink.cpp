#include "export/OutputSink.h"

#include "export/ExportErrors.h"
#include "platform/Errors.h"

#include <QIODevice>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TOutputSink::TOutputSink(int fd, QString fileName)
    : FFd(fd)
    , FFileName(std::move(fileName))
    , FBuffer(size_t(BufferSize))
{ }

TOutputSink::TOutputSink(QIODevice &device)
    : FDevice(&device)
    , FBuffer(size_t(BufferSize))
{ }

TOutputSink::~TOutputSink()
{
    if (FClosed)
        return;
    try {
        Flush();
    } catch (const EError &) {
        // The failure that brought us here is the one to report.
    }
    if (FFd >= 0)
        ::close(FFd);
}

void TOutputSink::Write(const char *data, qsizetype size)
{
    if (FUsed + size > BufferSize) {
        Flush();
        if (size >= BufferSize) {
            WriteOut(data, size);
            return;
        }
    }
    std::memcpy(FBuffer.data() + FUsed, data, size_t(size));
    FUsed += size;
}

void TOutputSink::Close()
{
    if (FClosed)
        return;
    Flush();
    FClosed = true;
    if (FFd >= 0) {
        const int fd = FFd;
        FFd = -1;
        if (::close(fd) != 0 && errno != EINTR)
            Fail(errno);
    }
}

void TOutputSink::Flush()
{
    const qsizetype used = FUsed;
    // Emptied first, so a failed flush is not written again on release.
    FUsed = 0;
    if (used > 0)
        WriteOut(FBuffer.data(), used);
}

void TOutputSink::WriteOut(const char *data, qsizetype size)
{
    if (FDevice) {
        while (size > 0) {
            const qint64 n = FDevice->write(data, size);
            if (n <= 0)
                Fail(0);
            data += n;
            size -= qsizetype(n);
        }
        return;
    }
    while (size > 0) {
        const ssize_t n = ::write(FFd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
        }
        if (n == 0)
            Fail(ENOSPC);
        data += n;
        size -= qsizetype(n);
    }
}

void TOutputSink::Fail(int err) const
{
    throw EInOutError(FDevice ? kIoDeviceWriteFault : EInOutError::CodeFromErrno(err), FFileName);
}

int LockAndEmpty(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno;
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return errno;
    // Devices such as a terminal or /dev/null have nothing to empty.
    if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0)
        return errno;
    // Opened without blocking so a FIFO without a reader cannot hang us; writes block as usual.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return errno;
    return 0;
}
