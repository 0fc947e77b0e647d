#include "export/TextFileOutput.h"

#include "export/ExportErrors.h"
#include "platform/Errors.h"
#include "platform/PlatformErrors.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

int OpenTextFile(const QString &fileName)
{
    if (fileName.size() > MaxPathLength)
        throw EInOutError(kIoPathNotFound, fileName);
    const QByteArray path = QFile::encodeName(fileName);
    // Not truncated on open: the lock comes first, so a file held by another
    // writer is left as it was.
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        throw EInOutError(EInOutError::CodeFromErrno(errno), fileName);
    if (const int err = LockAndEmpty(fd)) {
        ::close(fd);
        throw EInOutError(
            err == EWOULDBLOCK ? kIoSharingViolation : EInOutError::CodeFromErrno(err), fileName);
    }
    return fd;
}

TTextFileOutput::TTextFileOutput(const QString &fileName, const TTextEncoding &encoding)
    : FSink(OpenTextFile(fileName), fileName)
    , FEncoding(encoding)
{
    Start();
}

TTextFileOutput::TTextFileOutput(QIODevice &device, const TTextEncoding &encoding)
    : FSink(device)
    , FEncoding(encoding)
{
    Start();
}

void TTextFileOutput::Start()
{
    if (FEncoding.ByteOrderMark())
        FSink.Write("\xEF\xBB\xBF", 3);
}

void TTextFileOutput::WriteLine(QStringView line)
{
    // ASCII, by far the common case, maps to itself; anything else takes the
    // full conversion with its look-alikes.
    bool ascii = FEncoding.AsciiCompatible();
    for (const QChar c : line) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        for (const QChar c : line)
            FSink.WriteByte(char(c.unicode()));
    } else {
        FBytes.truncate(0);
        FEncoding.Append(line, FBytes);
        FSink.Write(FBytes.constData(), FBytes.size());
    }
    FSink.Write("\r\n", 2);
}

void TTextFileOutput::WriteLine(QLatin1String line)
{
    for (const char c : line) {
        if (static_cast<unsigned char>(c) >= 0x80 || !FEncoding.AsciiCompatible()) {
            WriteLine(QString(line));
            return;
        }
    }
    FSink.Write(line.data(), line.size());
    FSink.Write("\r\n", 2);
}
