// Path names: file name, extension, name without extension, folder with delimiter.
#pragma once

#include <QString>

// The parts of a path text, split by one set of rules (texts only: nothing
// here looks at the file system).
//
// - A name is what follows the last "/" of a path; the whole text when it has
//   none, and empty text when the path ends in "/". Where a name is shown or
//   tested as the preview and the archive opener do, ":" ends a folder too
//   (TNameStart::nsSlashOrColon), as the drive colon did.
// - A name's extension runs from its last "." to the end, the dot included:
//   "archive.tar.gz" gives ".gz", "file." a lone ".", ".profile" all of
//   ".profile"; a name without "." has none. Dots in folder names never count.
// - The name without its extension is the rest: "archive.tar", "file", "".
// - A folder with its delimiter ends in "/": one is appended unless it is there.

enum class TNameStart {
    nsSlash, // after the last "/"
    nsSlashOrColon // after the last "/" or ":"
};

// The last component of the path.
QString FileNameOf(const QString &path, TNameStart start = TNameStart::nsSlash);
// The extension of a name (applied to a path: of its last component).
QString ExtractExtension(const QString &name, TNameStart start = TNameStart::nsSlash);
// A name (or a path's last component) without its extension.
QString NameWithoutExtension(const QString &name, TNameStart start = TNameStart::nsSlash);
// The folder with a trailing "/".
QString FolderWithDelimiter(const QString &path);
