#include "export/uNativeXLSExport.h"
#include "export/uSGExports.h"
#include "listing/Listing.h"
#include "platform/LocaleServices.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <malloc.h>

// `memory-check FOLDER` lists the folder as the window does and prints what
// the listing holds per file and how far each export stream lifts the peak
// resident size above what the listing already holds.

namespace {

size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A field of /proc/self/status in bytes.
int64_t StatusBytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// The kernel's peak resident size starts again from the current one.
bool ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: memory-check FOLDER\n");
        return 2;
    }
    SetUserLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    TScanOptions options;
    options.ShowFiles = true;
    options.ShowFolders = true;
    options.ShowExtensions = true;
    TListing listing;
    const TGridTable &sgFiles = listing.sgFiles;
    const TGridTable &sgFileList = listing.sgFileList;
    malloc_trim(0);
    const size_t before = HeapInUse();
    listing.Scan(QString::fromLocal8Bit(argv[1]), options);
    const size_t scanned = HeapInUse();
    listing.Sort(0);
    const size_t after = HeapInUse();
    const double files = std::max(sgFileList.RowCount(), 1);
    std::printf("staging-bytes-per-file %.0f\n", double(scanned - before) / files);
    std::printf("grids-bytes-per-file %.0f\n", double(after - before) / files);

    QTemporaryDir out;
    const std::pair<const char *, std::function<void(const QString &)>> writers[] = {
        {"tsv",
            [&](const QString &p) {
                GridToDelimited(p, QLatin1Char('\t'), true, sgFiles);
            }},
        {"csv",
            [&](const QString &p) {
                GridToDelimited(p, QLatin1Char(','), true, sgFiles);
            }},
        {"html",
            [&](const QString &p) {
                GridToHTML(p, sgFiles, QStringLiteral("/"), true);
            }},
        {"xls",
            [&](const QString &p) {
                GridToXLS(p, true, true, sgFiles);
            }},
    };
    for (const auto &[name, write] : writers) {
        malloc_trim(0);
        const int64_t resident = StatusBytes("VmRSS");
        if (!ResetPeak())
            return 1;
        write(out.filePath(QLatin1String(name)));
        std::printf(
            "export-%s-peak-bytes %lld\n", name, static_cast<long long>(StatusBytes("VmHWM") - resident));
    }
    return 0;
}
