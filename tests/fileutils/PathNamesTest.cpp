#include "fileutils/PathNames.h"

#include <gtest/gtest.h>

namespace {

// A name starts after the last "/"; where asked, also after the last ":"
// (the preview and the archive opener end a folder there too).
TEST(PathNames, NameExtensionAndRestOfAPath)
{
    constexpr TNameStart slash = TNameStart::nsSlash;
    constexpr TNameStart colon = TNameStart::nsSlashOrColon;
    const struct
    {
        TNameStart Start;
        const char *Path;
        const char *Name;
        const char *Extension;
        const char *WithoutExtension;
    } rows[] = {
        {slash, "README", "README", "", "README"},
        {slash, "archive.tar.gz", "archive.tar.gz", ".gz", "archive.tar"},
        {slash, "file.", "file.", ".", "file"},
        {slash, ".profile", ".profile", ".profile", ""},
        {slash, "/home/u/.config", ".config", ".config", ""},
        {slash, "/home/my.dir/README", "README", "", "README"},
        {slash, "/home/my.dir/notes.txt", "notes.txt", ".txt", "notes"},
        {slash, "/home/my.dir/", "", "", ""},
        {slash, "/", "", "", ""},
        {slash, "", "", "", ""},
        {slash, "/usr/bin/cartola", "cartola", "", "cartola"},
        {slash, "C:report.v2.doc", "C:report.v2.doc", ".doc", "C:report.v2"},
        {slash, "/a/b:c.d/e", "e", "", "e"},
        {colon, "C:report.v2.doc", "report.v2.doc", ".doc", "report.v2"},
        {colon, "/a/b.c:README", "README", "", "README"},
        {colon, "/a/b:c.d/e.txt", "e.txt", ".txt", "e"},
        {colon, "/a/b.c/d:", "", "", ""},
        {colon, "name.txt", "name.txt", ".txt", "name"},
    };
    for (const auto &row : rows) {
        const QString path = QString::fromUtf8(row.Path);
        SCOPED_TRACE(row.Path);
        EXPECT_EQ(FileNameOf(path, row.Start), QString::fromUtf8(row.Name));
        EXPECT_EQ(ExtractExtension(path, row.Start), QString::fromUtf8(row.Extension));
        EXPECT_EQ(NameWithoutExtension(path, row.Start), QString::fromUtf8(row.WithoutExtension));
    }
}

TEST(PathNames, FolderWithDelimiterAddsOneSlashOnlyWhenMissing)
{
    EXPECT_EQ(FolderWithDelimiter(QStringLiteral("/home/u")), QStringLiteral("/home/u/"));
    EXPECT_EQ(FolderWithDelimiter(QStringLiteral("/home/u/")), QStringLiteral("/home/u/"));
    EXPECT_EQ(FolderWithDelimiter(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(FolderWithDelimiter(QStringLiteral("my.dir")), QStringLiteral("my.dir/"));
    EXPECT_EQ(FolderWithDelimiter(QString()), QStringLiteral("/"));
}

} // namespace
