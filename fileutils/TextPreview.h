// The text preview: which files count as text and how their bytes are read.
#pragma once

#include <QByteArray>
#include <QString>

// The preview reads no more than this from a file, so a huge log shows its
// beginning at once instead of filling memory: the text box takes far longer
// than reading to show a few megabytes, long enough to freeze the window.
inline constexpr qint64 kTextPreviewLimit = 256 * 1024;

// Bytes to text: a UTF-8, UTF-16 LE or UTF-16 BE byte-order mark decides
// (and is dropped); without one, valid UTF-8 is UTF-8 and anything else is
// in the ANSI code page.
QString DecodeTextPreview(const QByteArray &bytes);

// Reads the beginning of a file for the preview and decodes it. Only regular
// files are opened: a FIFO or a device would block or never end.
QString ReadTextPreview(const QString &path);
