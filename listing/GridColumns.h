// The columns of the window's four Grid tables.
#pragma once

#include "listing/GridTable.h"

// The columns of the window's four grids, declared once.

// sgFiles, the display table.
enum TFilesColumn { fcPathHolder = 0, fcName, fcPath, fcSize, fcExtension, fcLastModified, fcCount };
// sgDir and sgFileList, the staging grids; column 6 is the last-access time.
enum TStagingColumn {
    scFullPath = 0,
    scName,
    scPath,
    scSize,
    scExtension,
    scLastModified,
    scLastAccess,
    scCount
};
// stgZippedFiles, the entry table of an archive.
enum TZippedColumn {
    zcFilePath = 0,
    zcCompressedSize,
    zcUncompressedSize,
    zcLastModified,
    zcMethod,
    zcComment,
    zcCount
};

std::vector<TGridColumn> FilesColumns();
std::vector<TGridColumn> DirColumns();
std::vector<TGridColumn> FileListColumns();
std::vector<TGridColumn> ZippedFilesColumns();
