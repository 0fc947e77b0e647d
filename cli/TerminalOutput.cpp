#include "cli/TerminalOutput.h"

TTerminalOutput::TTerminalOutput(QIODevice &target, bool utf8)
    : FTarget(target)
    , FUtf8(utf8)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

TTerminalOutput::~TTerminalOutput()
{
    TTerminalOutput::close();
}

void TTerminalOutput::close()
{
    if (!isOpen())
        return;
    QByteArray shown;
    Flush(shown);
    FTarget.write(shown);
    QIODevice::close();
}

void TTerminalOutput::Flush(QByteArray &shown)
{
    if (FPendingC2)
        shown += '\xC2';
    if (FPendingCR)
        shown += '?';
    FPendingCR = FPendingC2 = false;
}

qint64 TTerminalOutput::writeData(const char *data, qint64 size)
{
    QByteArray shown;
    shown.reserve(size + 2);
    for (qint64 i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        // A CR or a C2 lead byte waits for the next byte to say what it is,
        // also across writes.
        if (FPendingCR) {
            FPendingCR = false;
            if (b == '\n') {
                shown += "\r\n";
                continue;
            }
            shown += '?';
        }
        if (FPendingC2) {
            FPendingC2 = false;
            if (b >= 0x80 && b <= 0x9F) {
                shown += '?';
                continue;
            }
            shown += '\xC2';
        }
        if (b == '\r')
            FPendingCR = true;
        else if (FUtf8 && b == 0xC2)
            FPendingC2 = true;
        else if ((b < 0x20 && b != '\t' && b != '\n') || b == 0x7F)
            shown += '?';
        else
            shown += char(b);
    }
    if (FTarget.write(shown) != shown.size())
        return -1;
    return size;
}
