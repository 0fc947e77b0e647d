#pragma once

#include <QIODevice>

// What a terminal shows is never obeyed: names and archive comments come from
// anyone, and an escape sequence in one could rewrite the screen or the
// title. Control characters reach the terminal as "?", as ls shows them; TAB,
// LF and the CR of a CR LF are the writers' own and pass. Files and pipes get
// the writers' bytes unchanged, so only a terminal is given this device.
class TTerminalOutput : public QIODevice
{
public:
    // utf8: the text is UTF-8, so the two-byte C1 controls are caught too;
    // otherwise it is in a code page, whose upper half holds no controls.
    TTerminalOutput(QIODevice &target, bool utf8);
    ~TTerminalOutput() override;

    void close() override;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    void Flush(QByteArray &shown);

    QIODevice &FTarget;
    bool FUtf8;
    bool FPendingCR = false;
    bool FPendingC2 = false;
};
