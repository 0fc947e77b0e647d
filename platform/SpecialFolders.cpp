#include "platform/SpecialFolders.h"

#include "platform/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <cerrno>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

QString UserTempDir()
{
    const QString dir = QDir::tempPath() + QStringLiteral("/cartola-") + QString::number(getuid());
    const QByteArray native = QFile::encodeName(dir);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        throw EInOutError(EInOutError::CodeFromErrno(errno), dir);
    struct stat st
    { };
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
        throw EInOutError(5, dir);
    if ((st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        throw EInOutError(5, dir);
    return dir + QLatin1Char('/');
}

QString AppDataDir()
{
    const QString xdg = EnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return xdg;
    const QString home = EnvironmentVariable("HOME");
    return home.isEmpty() ? QString() : home + QStringLiteral("/.config");
}

QString ExecutablePath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

uint64_t TickCountMs()
{
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

QString EnvironmentVariable(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

bool EnvironmentVariableIsSet(const char *name)
{
    return qEnvironmentVariableIsSet(name);
}

QStringList LogicalDrives()
{
    QStringList drives;
    bool haveRoot = false;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString path = volume.rootPath();
        if (path == QLatin1String("/")) {
            haveRoot = true;
            continue;
        }
        if (!drives.contains(path))
            drives.append(path);
    }
    if (haveRoot)
        drives.prepend(QStringLiteral("/"));
    return drives;
}
