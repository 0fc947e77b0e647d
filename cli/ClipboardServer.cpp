#include "cli/ClipboardServer.h"

#include "platform/Errors.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr const char *kServerVariable = "CARTOLA_LIST_CLIPBOARD_SERVER";
constexpr int kReadyFd = 3;
constexpr int kReadyTimeoutMs = 30000;

[[noreturn]] void RaiseNoClipboard()
{
    throw EError(QStringLiteral("The listing could not be put on the clipboard"));
}

bool WriteAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= size_t(done);
    }
    return true;
}

// The server outlives its starter, so it must hold nothing of the caller's:
// not a folder (which could then not be unmounted), not a descriptor such as
// a script's lock. Only standard input, output, error and the ready pipe stay.
void LetGoOfTheCaller()
{
    if (::chdir("/") != 0)
        ::_exit(127);
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, kReadyFd + 1, ~0U, 0) == 0)
        return;
#endif
    // A kernel without close_range: the open descriptors are all read first,
    // so the one reading them is not closed under the reading.
    std::vector<int> open;
    if (DIR *fds = ::opendir("/proc/self/fd")) {
        while (const dirent *e = ::readdir(fds)) {
            const int fd = std::atoi(e->d_name);
            if (fd > kReadyFd && fd != ::dirfd(fds))
                open.push_back(fd);
        }
        ::closedir(fds);
    }
    for (const int fd : open)
        ::close(fd);
}

void Tell(char what)
{
    WriteAll(kReadyFd, &what, 1);
    ::close(kReadyFd);
}

} // namespace

bool IsClipboardServer()
{
    const char *value = std::getenv(kServerVariable);
    return value && std::strcmp(value, "1") == 0;
}

void HandToClipboardServer(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    // Everything the child needs is made before the fork.
    std::vector<std::string> environment;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, kServerVariable, std::strlen(kServerVariable)) != 0)
            environment.emplace_back(*e);
    environment.push_back(std::string(kServerVariable) + "=1");
    std::vector<char *> envp;
    for (std::string &e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char name[] = "cartola-list";
    char *argv[] = {name, nullptr};

    int textPipe[2], readyPipe[2];
    if (::pipe2(textPipe, O_CLOEXEC) != 0)
        RaiseNoClipboard();
    if (::pipe2(readyPipe, O_CLOEXEC) != 0) {
        ::close(textPipe[0]);
        ::close(textPipe[1]);
        RaiseNoClipboard();
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Its own session, and none of our descriptors: whoever reads our
        // output sees its end when we exit, not when the server does.
        ::setsid();
        const int devNull = ::open("/dev/null", O_RDWR);
        if (::dup2(textPipe[0], 0) < 0 || ::dup2(devNull, 1) < 0 || ::dup2(devNull, 2) < 0
            || ::dup2(readyPipe[1], kReadyFd) < 0)
            ::_exit(127);
        ::execve("/proc/self/exe", argv, envp.data());
        ::_exit(127);
    }
    ::close(textPipe[0]);
    ::close(readyPipe[1]);
    if (pid < 0) {
        ::close(textPipe[1]);
        ::close(readyPipe[0]);
        RaiseNoClipboard();
    }
    // A server that died early must not take us with it through SIGPIPE.
    const auto oldHandler = std::signal(SIGPIPE, SIG_IGN);
    const bool sent = WriteAll(textPipe[1], bytes.constData(), size_t(bytes.size()));
    ::close(textPipe[1]);
    std::signal(SIGPIPE, oldHandler);

    char answer = 0;
    pollfd ready{readyPipe[0], POLLIN, 0};
    const bool told =
        sent && ::poll(&ready, 1, kReadyTimeoutMs) == 1 && ::read(readyPipe[0], &answer, 1) == 1;
    ::close(readyPipe[0]);
    if (told && answer == '1')
        return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    RaiseNoClipboard();
}

int RunClipboardServer(int argc, char *argv[])
{
    ::unsetenv(kServerVariable);
    LetGoOfTheCaller();
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(0, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        bytes.append(buffer, got);
    }
    // With an X server at hand its clipboard is taken, which the desktop
    // shares with Wayland programs too.
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    const char *display = std::getenv("DISPLAY");
    if ((!platform || !*platform) && display && *display)
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);

    QGuiApplication app(argc, argv);
    QClipboard *clipboard = QGuiApplication::clipboard();
    // The text is kept once, as the UTF-8 it is served as: the platform
    // offers "text/plain" under the usual text targets and hands these bytes
    // to every paste. As a QString it would take twice the room.
    bytes.squeeze();
    auto *data = new QMimeData;
    data->setData(QStringLiteral("text/plain;charset=utf-8"), bytes);
    data->setData(QStringLiteral("text/plain"), bytes);
    bytes = QByteArray();
    clipboard->setMimeData(data);
    const QString name = QGuiApplication::platformName();
    const bool desktop = name == QLatin1String("xcb") || name.startsWith(QLatin1String("wayland"));
    if (desktop && !clipboard->ownsClipboard()) {
        Tell('0');
        return 1;
    }
    Tell('1');
    // A clipboard that lives only in this process (an offscreen platform)
    // has nobody to serve.
    if (!desktop)
        return 0;
    QObject::connect(clipboard, &QClipboard::changed, &app, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            QCoreApplication::quit();
    });
    return app.exec();
}
