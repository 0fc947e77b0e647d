// Conversions between text and the 8-bit code pages.
#pragma once

#include <QByteArray>
#include <QString>

// The system's ANSI code page is the one the user's locale chooses
// (platform/AnsiCodePage.h); code page 437 is fixed.

// UTF-16 to the ANSI code page: a character without a place becomes its
// look-alike where there is one, else "?".
QByteArray ToAnsi(const QString &text);
QString FromAnsi(const QByteArray &bytes);
QString FromCp437(const QByteArray &bytes);
QString FromUtf8(const QByteArray &bytes);
