// The texts of the archive entry table.
#pragma once

#include <QString>

class TDateTimeTexts;
class TZipFile;

// What the entry table of an archive shows for one entry, in column order.
struct TZipEntryTexts
{
    QString FilePath;
    QString CompressedSize;
    QString UncompressedSize;
    QString LastModified; // "(invalid)" when the DOS date-time is no date
    QString Method;
    QString Comment;
};

// The texts of entry Index of the open archive; raises as TZipFile does. One
// dates cache serves a whole table: entries share their days and seconds.
TZipEntryTexts ZipEntryTexts(const TZipFile &zipFile, int Index, TDateTimeTexts &dates);

// "Files: " and the entry count, followed directly by the archive comment.
QString ZipFileCountText(const TZipFile &zipFile);
