#include "cli/TerminalOutput.h"

TTerminalOutput::TTerminalOutput(QIODevice &target, bool utf8)
    : FTarget(target)
    , FMask(utf8 ? TControlMask::Utf8 : TControlMask::Windows1252)
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
    FMask.Finish(shown);
    FTarget.write(shown);
    QIODevice::close();
}

qint64 TTerminalOutput::writeData(const char *data, qint64 size)
{
    QByteArray shown;
    FMask.Feed(data, size, shown);
    if (FTarget.write(shown) != shown.size())
        return -1;
    return size;
}
