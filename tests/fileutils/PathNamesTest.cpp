#include "fileutils/PathNames.h"

#include <gtest/gtest.h>

namespace {

TEST(PathNames, NameExtensionAndRestOfAPath)
{
    const struct
    {
        const char *Path;
        const char *Name;
        const char *Extension;
        const char *WithoutExtension;
    } rows[] = {
        {"README", "README", "", "README"},
        {"archive.tar.gz", "archive.tar.gz", ".gz", "archive.tar"},
        {"file.", "file.", ".", "file"},
        {".profile", ".profile", ".profile", ""},
        {"/home/u/.config", ".config", ".config", ""},
        {"/home/my.dir/README", "README", "", "README"},
        {"/home/my.dir/notes.txt", "notes.txt", ".txt", "notes"},
        {"/home/my.dir/", "", "", ""},
        {"/", "", "", ""},
        {"", "", "", ""},
        {"/usr/bin/cartola", "cartola", "", "cartola"},
        {"C:report.v2.doc", "C:report.v2.doc", ".doc", "C:report.v2"},
        {"/a/b:c.d/e", "e", "", "e"},
    };
    for (const auto &row : rows) {
        const QString path = QString::fromUtf8(row.Path);
        SCOPED_TRACE(row.Path);
        EXPECT_EQ(FileNameOf(path), QString::fromUtf8(row.Name));
        EXPECT_EQ(ExtractExtension(path), QString::fromUtf8(row.Extension));
        EXPECT_EQ(NameWithoutExtension(path), QString::fromUtf8(row.WithoutExtension));
    }
}

// The preview and the archive opener also end a folder at ":".
TEST(PathNames, AColonEndsAFolderWhereAsked)
{
    const struct
    {
        const char *Path;
        const char *Name;
        const char *Extension;
        const char *WithoutExtension;
    } rows[] = {
        {"C:report.v2.doc", "report.v2.doc", ".doc", "report.v2"},
        {"/a/b.c:README", "README", "", "README"},
        {"/a/b:c.d/e.txt", "e.txt", ".txt", "e"},
        {"/a/b.c/d:", "", "", ""},
        {"name.txt", "name.txt", ".txt", "name"},
    };
    for (const auto &row : rows) {
        const QString path = QString::fromUtf8(row.Path);
        SCOPED_TRACE(row.Path);
        EXPECT_EQ(FileNameOf(path, TNameStart::nsSlashOrColon), QString::fromUtf8(row.Name));
        EXPECT_EQ(ExtractExtension(path, TNameStart::nsSlashOrColon), QString::fromUtf8(row.Extension));
        EXPECT_EQ(
            NameWithoutExtension(path, TNameStart::nsSlashOrColon), QString::fromUtf8(row.WithoutExtension));
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
