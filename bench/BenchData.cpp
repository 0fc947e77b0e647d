#include "BenchData.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A small linear congruential generator: the same sequence on every machine.
class TRandom
{
public:
    explicit TRandom(uint32_t seed)
        : FState(seed)
    { }
    uint32_t Next(uint32_t bound)
    {
        FState = FState * 1664525u + 1013904223u;
        return (FState >> 8) % bound;
    }

private:
    uint32_t FState;
};

const char16_t *const kStems[] = {u"report",
    u"Report",
    u"REPORT",
    u"r\u00e9sum\u00e9",
    u"Resume",
    u"photo",
    u"Photo_",
    u"IMG",
    u"\u00e9t\u00e9",
    u"Ete",
    u"stra\u00dfe",
    u"Strasse",
    u"\u00c5ngstr\u00f6m",
    u"zebra",
    u"Zoo",
    u"na\u00efve",
    u"data",
    u"Data",
    u"backup",
    u"v1.2",
    u"notes",
    u"\u00e6on",
    u"ca\u00f1on",
    u"x",
    u"readme"};
const char16_t *const kExtensions[] = {
    u".txt", u".TXT", u".jpg", u".tar.gz", u"", u".c", u".pas", u".pdf", u".d.ts"};

} // namespace

std::vector<QString> GeneratedNames(int count, uint32_t seed)
{
    TRandom random(seed);
    std::vector<QString> names;
    names.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        QString name = QString::fromUtf16(kStems[random.Next(std::size(kStems))]);
        const uint32_t joins = random.Next(3);
        for (uint32_t j = 0; j < joins; ++j) {
            name += QLatin1Char(random.Next(2) ? ' ' : '.');
            name += QString::fromUtf16(kStems[random.Next(std::size(kStems))]);
        }
        if (random.Next(4) == 0)
            name += QString::number(random.Next(1000));
        name += QString::fromUtf16(kExtensions[random.Next(std::size(kExtensions))]);
        names.push_back(name);
    }
    return names;
}

QString BenchDataDir()
{
    return QStringLiteral(CARTOLA_BENCH_DATA_DIR);
}

QString GeneratedFolder(int count)
{
    const QString folder = BenchDataDir() + QStringLiteral("/folder-") + QString::number(count);
    // The marker is written last, so a folder cut short by an interrupted run is made again.
    const QString marker = folder + QStringLiteral(".complete");
    if (QFile::exists(marker))
        return folder;
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        std::exit(1);
    }
    const std::vector<QString> names = GeneratedNames(count, 7);
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < count; ++i) {
        // Unique names; the number goes before the extension so extensions stay realistic.
        const QString &base = names[size_t(i)];
        const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
        const QString name = dot > 0 ? base.left(dot) + QLatin1Char('-') + QString::number(i) + base.mid(dot)
                                     : base + QLatin1Char('-') + QString::number(i);
        const QByteArray native = QFile::encodeName(name);
        const int fd = ::openat(dirFd, native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            std::fprintf(stderr, "cannot create %s\n", native.constData());
            std::exit(1);
        }
        // Sparse files: sizes from bytes to gigabytes without the disk space.
        const off_t size = off_t((uint64_t(i) * 2654435761u) % (uint64_t(1) << (10 + i % 24)));
        if (::ftruncate(fd, size) != 0)
            std::perror("ftruncate");
        const timespec times[2] = {{1348754709 + i * 37L, 0}, {1348754709 + i * 53L, 123000000}};
        ::futimens(fd, times);
        ::close(fd);
    }
    ::close(dirFd);
    QFile done(marker);
    if (!done.open(QIODevice::WriteOnly))
        std::exit(1);
    return folder;
}
