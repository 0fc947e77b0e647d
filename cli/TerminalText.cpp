#include "cli/TerminalText.h"

#include <cstdio>
#include <unistd.h>

void TControlMask::Feed(const char *data, qsizetype size, QByteArray &shown)
{
    shown.reserve(shown.size() + size + 2);
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
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
        else if (FBytes == Utf8 && b == 0xC2)
            FPendingC2 = true;
        else if ((b < 0x20 && b != '\t' && b != '\n') || b == 0x7F)
            shown += '?';
        else
            shown += char(b);
    }
}

void TControlMask::Finish(QByteArray &shown)
{
    if (FPendingC2)
        shown += '\xC2';
    if (FPendingCR)
        shown += '?';
    FPendingCR = FPendingC2 = false;
}

QByteArray ShownOnStderr(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    if (::isatty(STDERR_FILENO) != 1)
        return bytes;
    TControlMask mask(TControlMask::Utf8);
    QByteArray shown;
    mask.Feed(bytes.constData(), bytes.size(), shown);
    mask.Finish(shown);
    return shown;
}

void PrintToStderr(const QString &text)
{
    std::fputs(ShownOnStderr(text).constData(), stderr);
}
