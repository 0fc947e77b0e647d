#include "platform/ShellOpen.h"

#include "platform/PortalOpen.h"

#include <QFile>
#include <QUrl>

#include <cstring>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <sys/stat.h>

namespace {

// Long enough for a portal that asks the user to choose an application.
constexpr std::chrono::seconds kPortalTimeout{25};

// The application GIO would start for the file, when it lives in a sandbox that
// cannot reach the file by its path (a snap has a /tmp of its own).
bool DefaultAppIsSandboxed(GFile *file)
{
    GAppInfo *app = g_file_query_default_handler(file, nullptr, nullptr);
    if (!app)
        return false;
    bool sandboxed = false;
    if (G_IS_DESKTOP_APP_INFO(app)) {
        GDesktopAppInfo *entry = G_DESKTOP_APP_INFO(app);
        const char *fileName = g_desktop_app_info_get_filename(entry);
        static const char kSnapEntries[] = "/var/lib/snapd/desktop/applications/";
        sandboxed = g_desktop_app_info_has_key(entry, "X-SnapInstanceName")
            || g_desktop_app_info_has_key(entry, "X-Flatpak")
            || (fileName && std::strncmp(fileName, kSnapEntries, sizeof kSnapEntries - 1) == 0);
    }
    g_object_unref(app);
    return sandboxed;
}

bool IsRegularFile(GFile *file)
{
    char *path = g_file_get_path(file);
    struct stat st;
    const bool regular = path && stat(path, &st) == 0 && S_ISREG(st.st_mode);
    g_free(path);
    return regular;
}

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
            GFile *file = g_file_new_for_path(QFile::encodeName(item).constData());
            if (IsRegularFile(file) && DefaultAppIsSandboxed(file)) {
                const TPortalOutcome outcome = PortalOpenFile(item, kPortalTimeout);
                if (outcome != TPortalOutcome::NoPortal) {
                    g_object_unref(file);
                    return outcome == TPortalOutcome::Opened;
                }
            }
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
