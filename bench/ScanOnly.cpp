#include "listing/FolderScan.h"
#include "listing/GridColumns.h"
#include "platform/LocaleServices.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdio>

// The scan stage of a listing as a whole process, so it can be timed beside a
// peer that only enumerates: `cartola-scan FOLDER` scans the folder into the
// staging grids exactly as the listing does, prints the row counts and stops.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cartola-scan FOLDER\n");
        return 2;
    }
    SetUserLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    // The options cartola-list scans with unless told otherwise.
    TScanOptions options;
    options.ShowFiles = true;
    options.ShowFolders = false;
    options.ShowExtensions = false;
    TGridTable sgDir(DirColumns()), sgFileList(FileListColumns()), sgFiles(FilesColumns());
    try {
        ScanFolder(QString::fromLocal8Bit(argv[1]), options, sgDir, sgFileList, sgFiles);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("%d folders, %d files\n", sgDir.RowCount(), sgFileList.RowCount());
    return 0;
}
