#include "fileutils/TextPreview.h"

#include "fileutils/FileUtilsErrors.h"
#include "platform/CodePages.h"
#include "platform/Errors.h"
#include "platform/FileNames.h"
#include "platform/PlatformErrors.h"

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

// Strict UTF-8; a last character cut short passes, since the preview may
// read only the beginning of a file.
bool IsUtf8Text(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        unsigned char low = 0x80, high = 0xBF; // the second byte's range
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            low = b == 0xE0 ? 0xA0 : 0x80; // no overlong form
            high = b == 0xED ? 0x9F : 0xBF; // no surrogate
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
        } else {
            return false;
        }
        for (int k = 1; k <= more; ++k) {
            if (i + k >= n)
                return true;
            const unsigned char c = p[i + k];
            if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF))
                return false;
        }
        i += more + 1;
    }
    return true;
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
    if (IsUtf8Text(bytes))
        return QString::fromUtf8(bytes);
    return FromAnsi(bytes);
}

QString ReadTextPreview(const QString &path)
{
    if (path.size() >= 248)
        throw EError(kErrPathTooLong);
    const QByteArray native = EncodeFileName(path);
    struct stat st
    { };
    if (::stat(native.constData(), &st) != 0 || S_ISDIR(st.st_mode)) {
        const qsizetype slash = native.lastIndexOf('/');
        const QByteArray folder = slash < 0 ? QByteArray(".") : native.left(std::max<qsizetype>(slash, 1));
        struct stat folderSt
        { };
        if (::stat(folder.constData(), &folderSt) != 0 || !S_ISDIR(folderSt.st_mode))
            throw EError(kErrPathNotFound);
        throw EError(kErrFileNotFound);
    }
    if (!S_ISREG(st.st_mode))
        throw EError(QString(kErrNotRegularFile).arg(path));
    // O_NONBLOCK: should the file be swapped for a FIFO after the check, open still returns.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError(path, errno);
    struct stat opened
    { };
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        throw EError(QString(kErrNotRegularFile).arg(path));
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
