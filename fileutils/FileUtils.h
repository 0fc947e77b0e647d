// Small file utilities: size texts, temporary folders, profile folder, DOS dates.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The short size text of the listing: "999 bytes", "0.97 KB", "1023 MB", ...
QString FormatFileSize(int64_t bytes);
// The same with the decimal separator given, for many sizes at a time.
QString FormatFileSize(int64_t bytes, QChar separator);

// The per-run temporary folder: the user's temporary folder, then the
// executable's name with its extension replaced by tick-count digits.
// No trailing delimiter; the folder is not created.
QString GetBaseTempDir();
// The same from given parts, for callers that know them.
QString BaseTempDirFrom(const QString &tempDir, const QString &executablePath, uint64_t tickCountMs);
// The name to try when the per-run folder's name is taken: the number after it.
QString NextBaseTempDir(const QString &dir);

// The user's profile folder (HOME), or empty text when unset.
QString GetUserProfileDir();

// true when the desktop launched an application for the file.
bool ShellOpenFile(const QString &path);

// The extensions whose files the preview shows as text, in their order.
const QStringList &TextPreviewExtensions();

// Decodes a packed DOS date-time (time in the low half, date in the high
// half); false for an impossible date or time.
bool DosDateTimeToDateTime(uint32_t dosDateTime, double &dateTime);
