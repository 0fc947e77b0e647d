#include "cli/ArchiveCommand.h"

#include "listing/GridColumns.h"
#include "zip/ExtractTarget.h"
#include "zip/ZipEntryTexts.h"
#include "zip/ZipFile.h"

#include <QFileInfo>
#include <QIODevice>

namespace {

void WriteAll(QIODevice &out, const QByteArray &bytes)
{
    if (out.write(bytes) != bytes.size())
        throw EInOutError(EInOutError::CodeFromErrno(errno), QStringLiteral("-"));
}

// Opens the archive as the window does, after the same validity test. A
// failure names the archive, since the reader's messages do not.
void OpenArchive(TZipFile &zipFile, const QString &archive)
{
    if (!QFileInfo::exists(archive))
        throw EUsageError(archive + QStringLiteral(": The specified file was not found"));
    if (!TZipFile::IsValid(archive))
        throw EError(archive + QStringLiteral(": (invalid ZIP file)"));
    try {
        zipFile.Open(archive, zmRead);
    } catch (const EError &e) {
        throw EError(archive + QStringLiteral(": ") + e.Message());
    }
}

// Names and comments are the archive's text: a TAB, CR or LF in one must not
// split its row, so they are written as \t, \r, \n and a backslash as \\.
QString Escaped(const QString &cell)
{
    QString out;
    out.reserve(cell.size());
    for (const QChar c : cell) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

void AppendRow(QString &text, std::initializer_list<const QString *> cells)
{
    bool first = true;
    for (const QString *cell : cells) {
        if (!first)
            text += QLatin1Char('\t');
        text += *cell;
        first = false;
    }
    text += QLatin1Char('\n');
}

} // namespace

void RunZipListing(const TCliOptions &o, QIODevice &out)
{
    TZipFile zipFile;
    OpenArchive(zipFile, o.Archive);
    // Gathered whole first, so a failure writes nothing.
    QString text = Escaped(ZipFileCountText(zipFile)) + QLatin1Char('\n');
    if (o.Headers) {
        const std::vector<TGridColumn> columns = ZippedFilesColumns();
        bool first = true;
        for (const TGridColumn &c : columns) {
            if (!first)
                text += QLatin1Char('\t');
            text += c.Header;
            first = false;
        }
        text += QLatin1Char('\n');
    }
    const int count = zipFile.FileCount();
    for (int i = 0; i < count; ++i) {
        TZipEntryTexts e = ZipEntryTexts(zipFile, i);
        e.FilePath = Escaped(e.FilePath);
        e.Comment = Escaped(e.Comment);
        AppendRow(text,
            {&e.FilePath, &e.CompressedSize, &e.UncompressedSize, &e.LastModified, &e.Method, &e.Comment});
    }
    zipFile.Close();
    WriteAll(out, text.toUtf8());
}

void RunExtract(const TCliOptions &o, QIODevice &out)
{
    TZipFile zipFile;
    OpenArchive(zipFile, o.Archive);
    zipFile.Extract(o.ExtractIndex, o.ExtractFolder, true);
    const QString target = JoinExtractPath(o.ExtractFolder, zipFile.FileName(o.ExtractIndex));
    zipFile.Close();
    WriteAll(out, target.toUtf8() + '\n');
}
