// The user's private temporary folder and the files made in it.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <sys/types.h>

// The user's private temporary folder as a path, with a trailing "/":
// $TMPDIR when it names an existing folder, else /tmp, then "cartola-<uid>".
// Building it touches nothing.
QString UserTempPath();

// The private folder this run writes in, with a trailing "/", made when
// missing. The shared name is used only when it is a real folder of ours with
// mode 0700; anything else there (another user's folder, a link, a looser
// mode) is left alone and a fresh folder made by mkdtemp serves the run, so
// nobody else can have planted a file or link in the folder we write in.
// Raises EInOutError when no folder can be had.
QString UserTempDir();

// Removes the mkdtemp folder UserTempDir fell back on, if any, with what is in it.
void ReleaseUserTempDir();

// Creates a new regular file in the private folder (whatever had its name is
// removed first, never written through) and returns its descriptor, open for
// writing, with its full path in path. Raises EInOutError.
int CreatePrivateFile(const QString &name, QString &path);

// Removes name in the folder open as dirFd and everything below it through
// directory descriptors: no link is followed, and any depth is reached, also
// beyond PATH_MAX. false when something stayed.
bool RemoveTreeAt(int dirFd, const QByteArray &name);

// A folder this run made for itself. It is made by mkdir, so a name that is
// taken (by anything, a link included) is never adopted: the next name is
// tried. It is removed only while it is still the folder that was made.
class TOwnedFolder
{
public:
    // Makes path, or the first free name of path, next(path), next(next(path)), ...
    // Raises EInOutError.
    void Make(const QString &path, const std::function<QString(const QString &)> &next);
    bool IsMade() const { return FMade; }
    const QString &Path() const { return FPath; }
    // false when the folder was there but could not be removed whole.
    bool Remove();

private:
    QString FPath;
    dev_t FDevice = 0;
    ino_t FInode = 0;
    bool FMade = false;
};
