// The one rule for what reaches a terminal: control characters show as "?".
#pragma once

#include <QByteArray>
#include <QString>

// Names, paths and archive comments come from anyone, and an escape sequence
// in one could retitle the terminal, clear it or write its clipboard. C0 and
// C1 controls and DEL become "?", as ls shows them; TAB, LF and the CR of a
// CR LF are the writers' own and pass. Bytes arrive in pieces, so a CR or a
// UTF-8 lead byte waits for the next piece to say what it is.
class TControlMask
{
public:
    enum TBytes {
        Utf8, // the two-byte C1 controls are caught too
        Windows1252, // the upper half holds no controls
    };
    explicit TControlMask(TBytes bytes)
        : FBytes(bytes)
    { }

    // Appends what the terminal may show of data to shown.
    void Feed(const char *data, qsizetype size, QByteArray &shown);
    // Appends what a last piece left waiting.
    void Finish(QByteArray &shown);

private:
    TBytes FBytes;
    bool FPendingCR = false;
    bool FPendingC2 = false;
};

// text as bytes (Qt's local 8-bit, UTF-8 here), masked when standard error is a terminal.
QByteArray ShownOnStderr(const QString &text);
// Writes text to standard error as ShownOnStderr gives it.
void PrintToStderr(const QString &text);
