#include "listing/GridColumns.h"

namespace {

TGridColumn Column(const char *name, const char *header, int width, bool readOnly)
{
    return TGridColumn{QString::fromLatin1(name), QString::fromLatin1(header), true, width, readOnly};
}

std::vector<TGridColumn> Staging(const char *const names[scCount])
{
    return {Column(names[0], "??", 25, true),
        Column(names[1], "Name", 152, false),
        Column(names[2], "Path", 232, true),
        Column(names[3], "Size", 63, true),
        Column(names[4], "Extension", 65, false),
        Column(names[5], "Last modified", 144, false),
        Column(names[6], "????", 136, false)};
}

} // namespace

std::vector<TGridColumn> FilesColumns()
{
    return {Column("SCPathHolder", "??", 25, true),
        Column("scName", "Name", 150, false),
        Column("scPath", "Path", 280, true),
        Column("scSize", "Size", 63, true),
        Column("scExtension", "Extension", 65, false),
        Column("StringColumn4", "Last modified", 160, false)};
}

std::vector<TGridColumn> DirColumns()
{
    static const char *const names[scCount] = {"StringColumn1",
        "StringColumn2",
        "StringColumn3",
        "StringColumn6",
        "StringColumn7",
        "StringColumn8",
        "StringColumn9"};
    return Staging(names);
}

std::vector<TGridColumn> FileListColumns()
{
    static const char *const names[scCount] = {"StringColumn10",
        "StringColumn11",
        "StringColumn12",
        "StringColumn13",
        "StringColumn14",
        "StringColumn15",
        "StringColumn16"};
    return Staging(names);
}

std::vector<TGridColumn> ZippedFilesColumns()
{
    return {Column("stcZippedFilePath", "File path", 113, true),
        Column("stcCompressedSize", "Compressed size", 95, true),
        Column("sgcUncompressedSize", "Uncompressed size", 105, true),
        Column("stcLastModified", "Last modified", 116, false),
        Column("stcCompressionMethod", "Method", 60, false),
        Column("stcZippedFileComment", "File comment", 100, true)};
}
