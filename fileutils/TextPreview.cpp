#include "fileutils/TextPreview.h"

#include "platform/CodePages.h"
#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString FromUtf16(const QByteArray &bytes, qsizetype start, bool bigEndian)
{
    const qsizetype units = (bytes.size() - start) / 2;
    QString out(units, Qt::Uninitialized);
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + start);
    for (qsizetype i = 0; i < units; ++i) {
        const unsigned char a = p[2 * i], b = p[2 * i + 1];
        out[i] = QChar(char16_t(bigEndian ? (a << 8 | b) : (b << 8 | a)));
    }
    return out;
}

} // namespace

QString DecodeTextPreview(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE"))
        return FromUtf16(bytes, 2, false);
    if (bytes.startsWith("\xFE\xFF"))
        return FromUtf16(bytes, 2, true);
    return FromAnsi(bytes);
}

QString ReadTextPreview(const QString &path)
{
    if (path.size() >= 248)
        throw EError(QStringLiteral("The specified path is too long"));
    const QByteArray native = QFile::encodeName(path);
    const QString folder = QFileInfo(path).path();
    struct stat st
    { };
    if (::stat(native.constData(), &st) != 0 || S_ISDIR(st.st_mode)) {
        if (!QFileInfo(folder).isDir())
            throw EError(QStringLiteral("The specified path was not found"));
        throw EError(QStringLiteral("The specified file was not found"));
    }
    if (!S_ISREG(st.st_mode))
        throw EError(QStringLiteral("Cannot open file \"%1\". Not a regular file").arg(path));
    // O_NONBLOCK: should the file be swapped for a FIFO after the check, open still returns.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError(path, errno);
    struct stat opened
    { };
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        throw EError(QStringLiteral("Cannot open file \"%1\". Not a regular file").arg(path));
    }
    QByteArray bytes;
    bytes.resize(qsizetype(std::min<qint64>(opened.st_size, kTextPreviewLimit)));
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    bytes.truncate(got);
    return DecodeTextPreview(bytes);
}
