#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

// Without a GUI application (the command-line tool) there is no clipboard to reach.
class TSystemClipboard : public IClipboard
{
public:
    void SetText(const QString &text) override
    {
        if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            app->clipboard()->setText(text);
    }
    QString Text() const override
    {
        if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            return app->clipboard()->text();
        return {};
    }
};

TSystemClipboard gSystem;
IClipboard *gClipboard = &gSystem;

} // namespace

IClipboard &Clipboard()
{
    return *gClipboard;
}

void SetClipboard(IClipboard *clipboard)
{
    gClipboard = clipboard ? clipboard : &gSystem;
}
