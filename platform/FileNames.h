// File names as bytes kept whole in text, and the way back.
#pragma once

#include <QByteArray>
#include <QString>

// A file name is bytes, and not every name is UTF-8. To keep such a name's
// bytes in its text, each byte that is not part of valid UTF-8 becomes a lone
// low surrogate, U+DC80 to U+DCFF, which valid UTF-8 never gives: the text
// then encodes back to exactly the bytes the file system gave. Valid UTF-8
// reads as usual, a leading byte-order mark included. Texts meant for the eye
// (and for exports) go through ShownFileName first.
QString DecodeFileName(const char *bytes, qsizetype size);
QString DecodeFileName(const char *nulTerminated);
QByteArray EncodeFileName(const QString &text);

// The text with each kept byte shown as U+FFFD, as a UTF-8 reader shows it.
QString ShownFileName(const QString &text);
