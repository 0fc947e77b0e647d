// The clipboard service, replaceable in tests.
#pragma once

#include <QString>

// The clipboard, Unicode text only. Tests replace it with a stand-in.
class IClipboard
{
public:
    virtual ~IClipboard() = default;
    virtual void SetText(const QString &text) = 0;
    virtual QString Text() const = 0;
};

IClipboard &Clipboard();
// Installs a replacement (nullptr restores the desktop's clipboard); not owned.
void SetClipboard(IClipboard *clipboard);
