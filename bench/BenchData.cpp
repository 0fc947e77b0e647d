#include "BenchData.h"

#include "tools/ZipBuilder.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
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
    const QByteArray content = WordText(512);
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < count; ++i) {
        // Unique names; the number goes before the extension so extensions stay realistic.
        const QString &base = names[size_t(i)];
        const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
        QString name = dot > 0 ? base.left(dot) + QLatin1Char('-') + QString::number(i) + base.mid(dot)
                               : base + QLatin1Char('-') + QString::number(i);
        if (i % 50 == 49)
            name.prepend(QLatin1Char('.'));
        const QByteArray native = QFile::encodeName(name);
        const int fd = ::openat(dirFd, native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            std::fprintf(stderr, "cannot create %s\n", native.constData());
            std::exit(1);
        }
        const size_t size = (uint64_t(i) * 2654435761u) % 513;
        if (::write(fd, content.constData(), size) != ssize_t(size))
            std::perror("write");
        const timespec times[2] = {{1348754709 + i * 53L, 123000000}, {1348754709 + i * 37L, 0}};
        ::futimens(fd, times);
        ::close(fd);
    }
    ::close(dirFd);
    QFile done(marker);
    if (!done.open(QIODevice::WriteOnly))
        std::exit(1);
    return folder;
}

QString GeneratedTree()
{
    const QString tree = BenchDataDir() + QStringLiteral("/tree-") + QString::number(kTreeFiles);
    const QString marker = tree + QStringLiteral(".complete");
    if (QFile::exists(marker))
        return tree;
    QDir(tree).removeRecursively();
    const int top = 50;
    const int perTop = kTreeFolders / top;
    const int perFolder = kTreeFiles / kTreeFolders;
    const std::vector<QString> names = GeneratedNames(perFolder * 64, 11);
    int made = 0;
    for (int t = 0; t < top; ++t) {
        for (int f = 0; f < perTop; ++f) {
            const QString folder = tree + QStringLiteral("/d%1/s%2").arg(t).arg(f);
            if (!QDir().mkpath(folder)) {
                std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
                std::exit(1);
            }
            const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
            for (int i = 0; i < perFolder; ++i, ++made) {
                const QString &base = names[size_t(made) % names.size()];
                const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
                const QString name = dot > 0
                    ? base.left(dot) + QLatin1Char('-') + QString::number(i) + base.mid(dot)
                    : base + QLatin1Char('-') + QString::number(i);
                const int fd =
                    ::openat(dirFd, QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0) {
                    std::fprintf(stderr, "cannot create %s\n", qPrintable(name));
                    std::exit(1);
                }
                if (::ftruncate(fd, off_t((uint64_t(made) * 2654435761u) % (1u << 20))) != 0)
                    std::perror("ftruncate");
                const timespec times[2] = {{1348754709 + made * 7L, 0}, {1348754709 + made * 7L, 500000000}};
                ::futimens(fd, times);
                ::close(fd);
            }
            ::close(dirFd);
        }
    }
    QFile done(marker);
    if (!done.open(QIODevice::WriteOnly))
        std::exit(1);
    return tree;
}

QByteArray WordText(qsizetype size)
{
    static const char *const kWords[] = {"the",
        "of",
        "and",
        "to",
        "in",
        "is",
        "that",
        "for",
        "it",
        "as",
        "was",
        "with",
        "be",
        "by",
        "on",
        "not",
        "he",
        "this",
        "are",
        "or",
        "his",
        "from",
        "at",
        "which",
        "but",
        "have",
        "an",
        "had",
        "they",
        "you",
        "were",
        "their",
        "one",
        "all",
        "we",
        "can",
        "her",
        "has",
        "there",
        "been",
        "if",
        "more",
        "when",
        "will",
        "would",
        "who",
        "so",
        "no",
        "folder",
        "listing",
        "archive",
        "window",
        "export",
        "column",
        "table",
        "number",
        "between",
        "because",
        "through",
        "whatever",
        "measure",
        "distance",
        "mountain",
        "river",
        "yesterday",
        "question",
        "answer",
        "before",
        "after",
        "under",
        "over",
        "again",
        "never",
        "always",
        "little",
        "great"};
    TRandom random(11);
    QByteArray out;
    out.reserve(size + 16);
    int onLine = 0;
    while (out.size() < size) {
        out += kWords[random.Next(std::size(kWords))];
        if (++onLine == 12) {
            out += '\n';
            onLine = 0;
        } else {
            out += ' ';
        }
    }
    out.truncate(size);
    return out;
}

QString GeneratedNamesFile(int count)
{
    const QString path =
        BenchDataDir() + QStringLiteral("/names-") + QString::number(count) + QStringLiteral(".txt");
    if (QFile::exists(path))
        return path;
    QDir().mkpath(BenchDataDir());
    QByteArray text;
    for (const QString &name : GeneratedNames(count))
        text += name.toUtf8() + '\n';
    QFile file(path + QStringLiteral(".part"));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.rename(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    return path;
}

namespace {

// Made once in the data folder; a marker written last guards against a cut-short run.
QString Archive(const QString &name, const std::function<ZipBuilder::TArchive()> &make)
{
    const QString path = BenchDataDir() + QLatin1Char('/') + name;
    const QString marker = path + QStringLiteral(".complete");
    if (QFile::exists(marker))
        return path;
    QDir().mkpath(BenchDataDir());
    if (!ZipBuilder::WriteBytes(path, make().Build()) || !ZipBuilder::WriteBytes(marker, {})) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    return path;
}

} // namespace

QString GeneratedManyEntriesArchive()
{
    return Archive(QStringLiteral("zip-65535.zip"), [] {
        ZipBuilder::TArchive a;
        const std::vector<QString> names = GeneratedNames(kManyEntries, 3);
        const QByteArray text = WordText(4096);
        for (int i = 0; i < kManyEntries; ++i) {
            const QByteArray data = text.mid(i % 3000, 20 + i % 1000);
            a.Add("folder/" + QByteArray::number(i) + "-" + names[size_t(i)].toUtf8(), data, 8).Flag = 1u
                << 11;
        }
        return a;
    });
}

QString GeneratedBigArchive()
{
    return Archive(QStringLiteral("zip-big.zip"), [] {
        ZipBuilder::TArchive a;
        const QByteArray data = WordText(kBigEntrySize);
        a.Add("deflated.txt", data, 8);
        a.Add("stored.txt", data, 0);
        return a;
    });
}
