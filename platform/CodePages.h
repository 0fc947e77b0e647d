// Conversions between text and the 8-bit code pages.
#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit code pages the program reads and writes. Windows-1252 stands in
// for the system's ANSI code page, so the bytes never depend on the process
// locale.

// UTF-16 to Windows-1252, one byte per character: a character without a
// place becomes its look-alike where there is one, else "?".
QByteArray ToAnsi(const QString &text);
QString FromAnsi(const QByteArray &bytes);
QString FromCp437(const QByteArray &bytes);
QString FromUtf8(const QByteArray &bytes);
