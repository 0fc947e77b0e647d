// Feeds arbitrary bytes to the text preview: decoded in memory, and read back
// from a file in the scratch folder the runner gives (TMPDIR). Beyond the
// sanitizers it checks that the text has the length its byte-order mark
// implies, that the file gives the same text as the bytes, and that the
// extension of a path is a tail of it with no folder in it.

#include "fileutils/PathNames.h"
#include "fileutils/TextPreview.h"
#include "platform/Errors.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

const QString &WorkFile()
{
    static const QString file = [] {
        QByteArray pattern =
            QFile::encodeName(QDir::tempPath() + QStringLiteral("/cartola-text-fuzz-XXXXXX"));
        if (!mkdtemp(pattern.data()))
            abort();
        return QFile::decodeName(pattern) + QStringLiteral("/preview.txt");
    }();
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = DecodeTextPreview(bytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        Check(text.size() <= bytes.size() - 3, "UTF-8 longer than its bytes");
    else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        Check(text.size() == (bytes.size() - 2) / 2, "UTF-16 not one unit per two bytes");
    else
        Check(text == QString::fromUtf8(bytes) || text.size() == bytes.size(),
            "neither UTF-8 nor ANSI with one character per byte");

    {
        QFile f(WorkFile());
        Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size(),
            "scratch file written");
    }
    try {
        Check(ReadTextPreview(WorkFile()) == text, "the file reads as its bytes decode");
    } catch (const EError &) {
        Check(false, "a regular file in a short path is refused");
    }

    const QString path = QString::fromUtf8(bytes);
    const QString ext = ExtractExtension(path, TNameStart::nsSlashOrColon);
    Check(path.endsWith(ext), "the extension is not the path's tail");
    Check(ext.isEmpty() || ext.startsWith(QLatin1Char('.')), "the extension has no dot");
    Check(!ext.contains(QLatin1Char('/')) && !ext.contains(QLatin1Char(':')), "the extension holds a folder");
    return 0;
}
