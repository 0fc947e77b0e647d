#include "fileutils/PathNames.h"

#include <algorithm>

namespace {

// Where the last component starts.
qsizetype NameStart(const QString &path, TNameStart start)
{
    qsizetype sep = path.lastIndexOf(QLatin1Char('/'));
    if (start == TNameStart::nsSlashOrColon)
        sep = std::max(sep, path.lastIndexOf(QLatin1Char(':')));
    return sep + 1;
}

// The position of the extension's dot, -1 when there is none.
qsizetype ExtensionDot(const QString &path, TNameStart start)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= NameStart(path, start) ? dot : -1;
}

} // namespace

QString FileNameOf(const QString &path, TNameStart start)
{
    return path.mid(NameStart(path, start));
}

QString ExtractExtension(const QString &name, TNameStart start)
{
    const qsizetype dot = ExtensionDot(name, start);
    return dot < 0 ? QString() : name.mid(dot);
}

QString NameWithoutExtension(const QString &name, TNameStart start)
{
    const qsizetype from = NameStart(name, start);
    const qsizetype dot = ExtensionDot(name, start);
    return dot < 0 ? name.mid(from) : name.mid(from, dot - from);
}

QString FolderWithDelimiter(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}
