#include "platform/SpecialFolders.h"

#include <QCoreApplication>
#include <QFile>
#include <QStorageInfo>

#include <ctime>
#include <unistd.h>

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
