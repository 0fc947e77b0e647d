// Writes one real listing in every export format, with the cells each reader
// should get back, for the interoperability check (make interop).
//   export_interop_tool <folder to create and list> <output folder> [cyrillic|japanese]
// The files are written in the ANSI code page of the locale it runs under.

#include "export/uNativeXLSExport.h"
#include "export/uSGExports.h"
#include "listing/GridColumns.h"
#include "listing/Listing.h"
#include "platform/AnsiCodePage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <iterator>
#include <vector>

namespace {

// Names a folder may really hold and the scan accepts.
const char *const kFileNames[] = {
    "plain.txt",
    "a,b.txt",
    "tom & jerry.txt",
    "caf\xC3\xA9 na\xC3\xAFve.txt",
    "semi;colon.txt",
    "it's.txt",
    "  spaced  .txt",
    "no extension",
};

// Names in the scripts of the locales the check runs under, with the dates
// and sizes those locales write.
const char *const kCyrillicNames[] = {
    "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt", // Привет
    "\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82 \xE2\x84\x96 5.doc", // Документ № 5
    "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0 \xE2\x80\x94 "
    "\xC2\xAB\xD1\x81\xD0\xBF\xD0\xB8\xD1\x81\xD0\xBE\xD0\xBA\xC2\xBB.txt", // Ёлка — «список»
};
const char *const kJapaneseNames[] = {
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", // 日本語
    "\xE5\xB9\xB4\xE5\xA0\xB1 \xEF\xBD\xB1\xEF\xBD\xB2.csv", // 年報 ｱｲ
    "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE5\x90\x8D\xE3\x80\x80\xE8\xA1\xA8."
    "doc", // ファイル名　表
};

// Texts the scan refuses in a path but that a grid may hold all the same.
const char *const kHostileNames[] = {
    "<img src=x onerror=alert(1)>.txt",
    "say \"hi\", then.txt",
    "\"quoted\".txt",
    "two\nlines.txt",
    "</small></TD></TR><script>x()</script>",
    "a\r\nb,\"c\"",
};

void MakeFiles(const QString &folder, const QString &script)
{
    QDir().mkpath(folder);
    std::vector<const char *> names(std::begin(kFileNames), std::end(kFileNames));
    if (script == QLatin1String("cyrillic"))
        names.insert(names.end(), std::begin(kCyrillicNames), std::end(kCyrillicNames));
    else if (script == QLatin1String("japanese"))
        names.insert(names.end(), std::begin(kJapaneseNames), std::end(kJapaneseNames));
    int size = 0;
    for (const char *name : names) {
        QFile f(QDir(folder).filePath(QString::fromUtf8(name)));
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(size += 700, 'x'));
    }
}

// The scan's rows in the display table's columns, then the hostile rows.
TGridTable Listing(const QString &folder)
{
    TScanOptions options;
    options.ShowExtensions = true;
    TListing listing;
    listing.Scan(folder, options);
    const TGridTable &files = listing.sgFileList;
    TGridTable grid = listing.sgFiles;
    const int scanned = files.RowCount();
    grid.SetRowCount(scanned + int(std::size(kHostileNames)) + 1);
    for (int r = 0; r < scanned; ++r)
        for (int c = 0; c < fcCount; ++c)
            grid.SetCells(c, r, files.Cells(c, r));
    int r = scanned;
    for (const char *name : kHostileNames) {
        const QString text = QString::fromUtf8(name);
        grid.SetCells(fcPathHolder, r, folder + QLatin1Char('/') + text);
        grid.SetCells(fcName, r, text);
        grid.SetCells(fcPath, r, folder + QLatin1Char('/'));
        grid.SetCells(fcSize, r, QStringLiteral("1,5 KB"));
        ++r;
    }
    // The last row stays empty.
    return grid;
}

// A cell as a reader gets it back: through the code page, look-alikes and all.
QJsonArray VisibleRow(const TGridTable &grid, int row)
{
    const TTextEncoding ansi = AnsiEncoding();
    QJsonArray cells;
    for (int c = 0; c < grid.ColumnCount(); ++c)
        if (grid.Columns(c).Visible)
            cells.append(ansi.Decode(ansi.Encode(row < 0 ? grid.Columns(c).Header : grid.Cells(c, row))));
    return cells;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s <folder> <output folder> [cyrillic|japanese]\n", argv[0]);
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QDir out(QString::fromLocal8Bit(argv[2]));
    MakeFiles(folder, argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString());
    const QString heading = QStringLiteral("<b>Folder & \"friends\"</b>");
    TGridTable grid(FilesColumns());
    try {
        grid = Listing(folder);
        GridToXLS(out.filePath(QStringLiteral("list.xls")), true, true, grid);
        GridToDelimited(out.filePath(QStringLiteral("list.csv")), QLatin1Char(','), true, grid);
        GridToDelimited(out.filePath(QStringLiteral("list.txt")), QLatin1Char('\t'), true, grid);
        GridToHTML(out.filePath(QStringLiteral("list.html")), grid, heading, true);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    QJsonArray rows;
    for (int r = 0; r < grid.RowCount(); ++r)
        rows.append(VisibleRow(grid, r));
    const QJsonObject expected{{QStringLiteral("headers"), VisibleRow(grid, -1)},
        {QStringLiteral("rows"), rows},
        {QStringLiteral("title"), QStringLiteral("list.html")},
        {QStringLiteral("heading"), heading},
        {QStringLiteral("charset"), QString::fromLatin1(AnsiEncoding().CharsetName())}};
    QFile json(out.filePath(QStringLiteral("expected.json")));
    if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(expected).toJson()) < 0)
        return 1;
    std::printf("%d rows written to %s\n", grid.RowCount(), qPrintable(out.path()));
    return 0;
}
