// Feeds arbitrary bytes to the ZIP reader as an archive file: the door test,
// the directory listing and the extraction of every entry into a fresh folder.
// Beyond the sanitizers it checks that nothing lands outside that folder and
// that no output is larger than its entry claims.

#include "zip/ZipFile.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Entries whose declared size would take long to write are skipped; the bound
// itself is covered by the tests.
constexpr uint32_t kLargestExtract = 8u << 20;
constexpr int kMostExtracts = 64;

const QString &WorkFolder()
{
    static const QString folder = [] {
        QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/cartola-fuzz-XXXXXX"));
        if (!mkdtemp(pattern.data()))
            abort();
        return QFile::decodeName(pattern);
    }();
    return folder;
}

void Check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

void ExtractAll(TZipFile &zip, const QString &out)
{
    const int count = std::min(zip.FileCount(), kMostExtracts);
    for (int i = 0; i < count; ++i) {
        const TZipHeader h = zip.FileInfo(i);
        (void)zip.FileName(i);
        (void)zip.FileComment(i);
        if (h.CompressedSize > kLargestExtract || h.UncompressedSize > kLargestExtract)
            continue;
        try {
            zip.Extract(i, out, true);
        } catch (const EError &) { }
    }
    // Every file below out: none larger than an entry may declare, none a link.
    QDirIterator it(out,
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        Check(!file.isSymLink(), "a link was created");
        Check(!file.isFile() || file.size() <= int64_t(kLargestExtract), "output larger than declared");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString work = WorkFolder();
    const QString archive = work + QStringLiteral("/in.zip");
    const QString out = work + QStringLiteral("/out");
    {
        QFile f(archive);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    (void)TZipFile::IsValid(archive);
    TZipFile zip;
    try {
        zip.Open(archive, zmRead);
        (void)zip.Comment();
        ExtractAll(zip, out);
    } catch (const EError &) { }
    zip.Close();

    // Only the archive and the output folder may exist beside each other.
    const QStringList left =
        QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &name : left)
        Check(name == QStringLiteral("in.zip") || name == QStringLiteral("out"), "something written outside");
    QDir(out).removeRecursively();
    return 0;
}
