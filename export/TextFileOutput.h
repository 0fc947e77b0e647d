// Text file output: Windows-1252 lines ended with CR LF.
#pragma once

#include "export/OutputSink.h"

#include <QString>

class QIODevice;

// How the program writes text files: created anew, no byte-order mark, each
// line in Windows-1252 (look-alike, else "?") followed by CR LF. While open,
// the file holds an exclusive advisory lock, so other programs may read it and
// cooperating writers are kept out. Failures raise EInOutError.
class TTextFileOutput
{
public:
    // Opens (creating or emptying) the file; refuses a path over 259 characters
    // before anything is touched.
    explicit TTextFileOutput(const QString &fileName);
    // Writes to a device the caller opened and keeps open.
    explicit TTextFileOutput(QIODevice &device);

    void WriteLine(QStringView line);
    void WriteLine(QLatin1String line);
    void Close() { FSink.Close(); }

private:
    TOutputSink FSink;
};

constexpr qsizetype MaxPathLength = 259;

// Opens a file as the text writers do (the length check, the lock, emptied)
// and returns its descriptor; raises EInOutError.
int OpenTextFile(const QString &fileName);
