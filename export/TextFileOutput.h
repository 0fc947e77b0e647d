// Text file output: lines in the chosen encoding, ended with CR LF.
#pragma once

#include "export/OutputSink.h"
#include "platform/AnsiCodePage.h"

#include <QString>

class QIODevice;

// How the program writes text files: created anew, each line in the ANSI code
// page (look-alike, else "?") or the encoding asked for, followed by CR LF; a
// byte-order mark only when the encoding asks for one. While open,
// the file holds an exclusive advisory lock, so other programs may read it and
// cooperating writers are kept out. Failures raise EInOutError.
class TTextFileOutput
{
public:
    // Opens (creating or emptying) the file; refuses a path over 259 characters
    // before anything is touched.
    explicit TTextFileOutput(const QString &fileName, const TTextEncoding &encoding = AnsiEncoding());
    // Writes to a device the caller opened and keeps open.
    explicit TTextFileOutput(QIODevice &device, const TTextEncoding &encoding = AnsiEncoding());

    void WriteLine(QStringView line);
    void WriteLine(QLatin1String line);
    void Close() { FSink.Close(); }
    const TTextEncoding &Encoding() const { return FEncoding; }

private:
    void Start();

    TOutputSink FSink;
    TTextEncoding FEncoding;
    QByteArray FBytes;
};

constexpr qsizetype MaxPathLength = 259;

// Opens a file as the text writers do (the length check, the lock, emptied)
// and returns its descriptor; raises EInOutError.
int OpenTextFile(const QString &fileName);
