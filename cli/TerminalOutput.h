// Output for a terminal with the control characters of untrusted names made harmless.
#pragma once

#include "cli/TerminalText.h"

#include <QIODevice>

// What a terminal shows is never obeyed: the writers' bytes pass through
// TControlMask on their way to it. Files and pipes get the writers' bytes
// unchanged, so only a terminal is given this device.
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
    QIODevice &FTarget;
    TControlMask FMask;
};
