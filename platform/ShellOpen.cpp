#include "platform/ShellOpen.h"

#include "platform/FileNames.h"

#include <QUrl>

#include <gio/gio.h>

namespace {

class TGioOpener : public IShellOpener
{
public:
    bool Open(const QString &item) override
    {
        if (item.isEmpty())
            return false;
        QByteArray uri;
        const QUrl url(item);
        if (!item.startsWith(QLatin1Char('/')) && url.isValid() && url.scheme().size() > 1) {
            uri = item.toUtf8();
        } else {
            GFile *file = g_file_new_for_path(EncodeFileName(item).constData());
            char *fileUri = g_file_get_uri(file);
            uri = fileUri;
            g_free(fileUri);
            g_object_unref(file);
        }
        GError *error = nullptr;
        const gboolean ok = g_app_info_launch_default_for_uri(uri.constData(), nullptr, &error);
        if (error)
            g_error_free(error);
        return ok;
    }
};

TGioOpener gGio;
IShellOpener *gOpener = &gGio;

} // namespace

bool ShellOpen(const QString &item)
{
    return gOpener->Open(item);
}

void SetShellOpener(IShellOpener *opener)
{
    gOpener = opener ? opener : &gGio;
}
