#include "zip/ZipEntryTexts.h"

#include "fileutils/FileUtils.h"
#include "platform/LocaleServices.h"
#include "zip/ZipFile.h"

TZipEntryTexts ZipEntryTexts(const TZipFile &zipFile, int Index, TDateTimeTexts &dates)
{
    const TZipHeader &info = zipFile.Entry(Index);
    TZipEntryTexts texts;
    texts.FilePath = info.FileName.Text();
    texts.CompressedSize = FormatFileSize(info.CompressedSize);
    texts.UncompressedSize = FormatFileSize(info.UncompressedSize);
    double modified = 0;
    texts.LastModified = DosDateTimeToDateTime(info.ModifiedDateTime, modified) ? dates.Text(modified)
                                                                                : QStringLiteral("(invalid)");
    texts.Method = CompressionMethodName(info.CompressionMethod);
    texts.Comment = info.FileComment.Text();
    return texts;
}

QString ZipFileCountText(const TZipFile &zipFile)
{
    return QStringLiteral("Files: ") + QString::number(zipFile.FileCount()) + zipFile.Comment();
}
