#include "cli/ArchiveCommand.h"

#include "export/uSGExports.h"
#include "listing/GridColumns.h"
#include "platform/LocaleServices.h"
#include "zip/ExtractTarget.h"
#include "zip/ZipEntryTexts.h"
#include "zip/ZipFile.h"

#include <QFileInfo>
#include <QIODevice>
#include <QStringEncoder>

#include <algorithm>

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
    const auto special = [](QChar c) {
        return c == QLatin1Char('\\') || c == QLatin1Char('\t') || c == QLatin1Char('\r')
            || c == QLatin1Char('\n');
    };
    if (std::none_of(cell.begin(), cell.end(), special))
        return cell;
    QString out;
    out.reserve(cell.size() + 8);
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

// The listing as UTF-8, written a block at a time: once the archive is open
// nothing but the writing itself can fail, so a broken archive still writes
// nothing.
class TBlockOutput
{
public:
    explicit TBlockOutput(QIODevice &out)
        : FOut(out)
    {
        FBlock.reserve(kBlock + 4096);
    }
    void Add(QStringView text)
    {
        const qsizetype used = FBlock.size();
        FBlock.resize(used + FEncoder.requiredSpace(text.size()));
        char *end = FEncoder.appendToBuffer(FBlock.data() + used, text);
        FBlock.resize(end - FBlock.constData());
        if (FBlock.size() >= kBlock)
            Flush();
    }
    void Flush()
    {
        WriteAll(FOut, FBlock);
        FBlock.resize(0);
    }

private:
    static constexpr qsizetype kBlock = 1 << 16;
    QIODevice &FOut;
    QByteArray FBlock;
    QStringEncoder FEncoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

} // namespace

void RunZipListing(const TCliOptions &o, QIODevice &out)
{
    TZipFile zipFile;
    OpenArchive(zipFile, o.Archive);
    TBlockOutput output(out);
    QString row = Escaped(ZipFileCountText(zipFile)) + QLatin1Char('\n');
    if (o.Headers) {
        const std::vector<TGridColumn> columns = ZippedFilesColumns();
        bool first = true;
        for (const TGridColumn &c : columns) {
            if (!first)
                row += QLatin1Char('\t');
            row += c.Header;
            first = false;
        }
        row += QLatin1Char('\n');
    }
    output.Add(row);
    TDateTimeTexts dates;
    const int count = zipFile.FileCount();
    for (int i = 0; i < count; ++i) {
        const TZipEntryTexts e = ZipEntryTexts(zipFile, i, dates);
        row.resize(0); // keeps its room for the next row
        for (const QString *cell : {&e.CompressedSize, &e.UncompressedSize, &e.LastModified, &e.Method}) {
            row += QLatin1Char('\t');
            row += *cell;
        }
        row += QLatin1Char('\t');
        // The rows are pasted into spreadsheets too, so the exports' formula rule holds.
        output.Add(Escaped(KeptAsText(e.FilePath)));
        output.Add(row);
        output.Add(Escaped(KeptAsText(e.Comment)));
        output.Add(u"\n");
    }
    zipFile.Close();
    output.Flush();
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
