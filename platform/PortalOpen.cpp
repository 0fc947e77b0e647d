#include "platform/PortalOpen.h"

#include <QFile>

#include <fcntl.h>
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr char kPortalName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";

// Responses seen while the call was under way, matched to our request afterwards:
// the portal may answer before its reply names the request object.
struct TResponses
{
    std::vector<std::pair<std::string, guint32>> Seen;
    bool TimedOut = false;
};

void OnResponse(GDBusConnection *,
    const gchar *,
    const gchar *objectPath,
    const gchar *,
    const gchar *,
    GVariant *parameters,
    gpointer data)
{
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})")))
        return;
    guint32 code = 0;
    g_variant_get(parameters, "(u@a{sv})", &code, nullptr);
    static_cast<TResponses *>(data)->Seen.emplace_back(objectPath, code);
}

gboolean OnTimeout(gpointer data)
{
    static_cast<TResponses *>(data)->TimedOut = true;
    return G_SOURCE_REMOVE;
}

// Errors that mean the portal is absent or too old to open files, not that it refused.
bool MeansNoPortal(const GError *error)
{
    if (error->domain != G_DBUS_ERROR)
        return false;
    switch (error->code) {
    case G_DBUS_ERROR_SERVICE_UNKNOWN:
    case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
    case G_DBUS_ERROR_UNKNOWN_METHOD:
    case G_DBUS_ERROR_UNKNOWN_INTERFACE:
    case G_DBUS_ERROR_UNKNOWN_OBJECT:
    case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
    case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
    case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
    case G_DBUS_ERROR_SPAWN_FILE_INVALID:
    case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
    case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
    case G_DBUS_ERROR_SPAWN_FAILED:
        return true;
    default:
        return false;
    }
}

// A descriptor only for a regular file: opening a FIFO for reading would block.
int OpenRegularReadOnly(const QString &path)
{
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0
        || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

TPortalOutcome Call(GDBusConnection *bus,
    int fd,
    std::chrono::milliseconds timeout,
    TResponses &responses,
    GMainContext *context)
{
    GUnixFDList *fds = g_unix_fd_list_new_from_array(&fd, 1); // takes the descriptor
    GVariant *options = g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0);
    GError *error = nullptr;
    const int timeoutMs = static_cast<int>(timeout.count());
    GVariant *reply = g_dbus_connection_call_with_unix_fd_list_sync(bus,
        kPortalName,
        kPortalPath,
        "org.freedesktop.portal.OpenURI",
        "OpenFile",
        g_variant_new("(sh@a{sv})", "", 0, options),
        G_VARIANT_TYPE("(o)"),
        G_DBUS_CALL_FLAGS_NONE,
        timeoutMs,
        fds,
        nullptr,
        nullptr,
        &error);
    g_object_unref(fds);
    if (!reply) {
        const bool absent = MeansNoPortal(error);
        g_error_free(error);
        return absent ? TPortalOutcome::NoPortal : TPortalOutcome::Failed;
    }
    const gchar *handle = nullptr;
    g_variant_get(reply, "(&o)", &handle);
    const std::string request = handle;
    g_variant_unref(reply);

    GSource *timer = g_timeout_source_new(static_cast<guint>(timeoutMs));
    g_source_set_callback(timer, OnTimeout, &responses, nullptr);
    g_source_attach(timer, context);
    TPortalOutcome outcome = TPortalOutcome::Failed;
    for (bool answered = false; !answered && !responses.TimedOut;) {
        g_main_context_iteration(context, TRUE);
        for (const auto &[path, code] : responses.Seen)
            if (path == request) {
                answered = true;
                outcome = code == 0 ? TPortalOutcome::Opened : TPortalOutcome::Failed;
            }
    }
    g_source_destroy(timer);
    g_source_unref(timer);
    return outcome;
}

} // namespace

TPortalOutcome PortalOpenFile(const QString &path, std::chrono::milliseconds timeout)
{
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return TPortalOutcome::NoPortal;
    // The shared connection would end the whole program when the bus goes away.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    const int fd = OpenRegularReadOnly(path);
    if (fd < 0) {
        g_object_unref(bus);
        return TPortalOutcome::Failed;
    }

    // A context of our own, so waiting for the answer runs none of the window's events.
    GMainContext *context = g_main_context_new();
    g_main_context_push_thread_default(context);
    TResponses responses;
    const guint subscription = g_dbus_connection_signal_subscribe(bus,
        kPortalName,
        "org.freedesktop.portal.Request",
        "Response",
        nullptr,
        nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        OnResponse,
        &responses,
        nullptr);
    const TPortalOutcome outcome = Call(bus, fd, timeout, responses, context);
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    while (g_main_context_iteration(context, FALSE)) { }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    g_object_unref(bus);
    return outcome;
}
