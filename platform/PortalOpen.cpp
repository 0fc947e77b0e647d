#include "platform/PortalOpen.h"

#include "platform/FileNames.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

constexpr char kPortalName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";

std::function<void(bool)> gWaitObserver;

struct TAnswer
{
    bool Answered = false;
    guint32 Code = 2;
};

void OnResponse(GDBusConnection *,
    const gchar *,
    const gchar *,
    const gchar *,
    const gchar *,
    GVariant *parameters,
    gpointer data)
{
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})")))
        return;
    auto *answer = static_cast<TAnswer *>(data);
    g_variant_get(parameters, "(u@a{sv})", &answer->Code, nullptr);
    answer->Answered = true;
}

gboolean OnDeadline(gpointer data)
{
    *static_cast<bool *>(data) = true;
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
    const int fd = open(EncodeFileName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
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

// The request object the portal will answer on: it is named by our unique
// name and a token of ours, so the answer is listened for before the call and
// signals for anything else are not even delivered.
std::string RequestPath(GDBusConnection *bus, const std::string &token)
{
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    for (char &c : sender)
        if (c == '.')
            c = '_';
    return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

guint Subscribe(GDBusConnection *bus, const std::string &request, TAnswer &answer)
{
    return g_dbus_connection_signal_subscribe(bus,
        kPortalName,
        kRequestInterface,
        "Response",
        request.c_str(),
        nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        OnResponse,
        &answer,
        nullptr);
}

// The whole exchange, on a thread of its own with a context of its own; one
// deadline covers the call and the answer together.
TPortalOutcome Exchange(GDBusConnection *bus, int fd, std::chrono::milliseconds timeout)
{
    const gint64 deadline = g_get_monotonic_time() + gint64(timeout.count()) * 1000;
    const auto msLeft = [deadline] {
        return int(std::max<gint64>(0, (deadline - g_get_monotonic_time()) / 1000));
    };
    GMainContext *context = g_main_context_new();
    g_main_context_push_thread_default(context);

    static std::atomic<unsigned> serial{0};
    const std::string token = "cartola" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    std::string request = RequestPath(bus, token);
    TAnswer answer;
    guint subscription = Subscribe(bus, request, answer);

    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    GUnixFDList *fds = g_unix_fd_list_new_from_array(&fd, 1); // takes the descriptor
    GError *error = nullptr;
    GVariant *reply = g_dbus_connection_call_with_unix_fd_list_sync(bus,
        kPortalName,
        kPortalPath,
        "org.freedesktop.portal.OpenURI",
        "OpenFile",
        g_variant_new("(sha{sv})", "", 0, &options),
        G_VARIANT_TYPE("(o)"),
        G_DBUS_CALL_FLAGS_NONE,
        std::max(1, msLeft()),
        fds,
        nullptr,
        nullptr,
        &error);
    g_object_unref(fds);
    TPortalOutcome outcome = TPortalOutcome::Failed;
    if (!reply) {
        outcome = MeansNoPortal(error) ? TPortalOutcome::NoPortal : TPortalOutcome::Failed;
        g_error_free(error);
    } else {
        const gchar *handle = nullptr;
        g_variant_get(reply, "(&o)", &handle);
        // A portal too old for handle_token names a request of its own.
        if (request != handle) {
            request = handle;
            g_dbus_connection_signal_unsubscribe(bus, subscription);
            subscription = Subscribe(bus, request, answer);
        }
        g_variant_unref(reply);

        bool late = false;
        GSource *timer = g_timeout_source_new(guint(msLeft()));
        g_source_set_callback(timer, OnDeadline, &late, nullptr);
        g_source_attach(timer, context);
        while (!answer.Answered && !late)
            g_main_context_iteration(context, TRUE);
        g_source_destroy(timer);
        g_source_unref(timer);
        if (answer.Answered)
            outcome = answer.Code == 0 ? TPortalOutcome::Opened : TPortalOutcome::Failed;
    }
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    while (g_main_context_iteration(context, FALSE)) { }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return outcome;
}

} // namespace

void SetPortalWaitObserver(std::function<void(bool)> observer)
{
    gWaitObserver = std::move(observer);
}

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

    // The portal may take its time (it can ask the user to choose an
    // application): the program's own event loop keeps running meanwhile, so
    // a window keeps painting; the observer takes its input away.
    const QCoreApplication *app = QCoreApplication::instance();
    const bool loop = app && QThread::currentThread() == app->thread();
    std::optional<QEventLoop> waiting;
    if (loop)
        waiting.emplace();
    TPortalOutcome outcome = TPortalOutcome::Failed;
    std::thread exchange([&] {
        outcome = Exchange(bus, fd, timeout);
        if (waiting)
            QMetaObject::invokeMethod(&*waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (waiting) {
        if (gWaitObserver)
            gWaitObserver(true);
        waiting->exec();
        if (gWaitObserver)
            gWaitObserver(false);
    }
    // The loop also ends when the program quits; the exchange ends by its deadline.
    exchange.join();
    g_object_unref(bus);
    return outcome;
}
