#include "zip/ZipEntryTexts.h"

#include "fileutils/FileUtils.h"
#include "platform/LocaleServices.h"
#include "zip/ZipFile.h"

TZipEntryTexts ZipEntryTexts(const TZipFile &zipFile, int Index)
{
    const TZipHeader info = zipFile.FileInfo(Index);
    TZipEntryTexts texts;
    texts.FilePath = zipFile.FileName(Index);
    texts.CompressedSize = FormatFileSize(info.CompressedSize);
    texts.UncompressedSize = FormatFileSize(info.UncompressedSize);
    double modified = 0;
    texts.LastModified = DosDateTimeToDateTime(info.ModifiedDateTime, modified)
        ? DateTimeToDisplayText(modified)
        : QStringLiteral("(invalid)");
    texts.Method = CompressionMethodName(info.CompressionMethod);
    texts.Comment = zipFile.FileComment(Index);
    return texts;
}

QString ZipFileCountText(const TZipFile &zipFile)
{
    return QStringLiteral("Files: ") + QString::number(zipFile.FileCount()) + zipFile.Comment();
}
