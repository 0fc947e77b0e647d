// Replacing a file's contents in one step, never leaving a piece.
#pragma once

#include <QByteArray>
#include <QString>

// Puts bytes in place of the file at path in one step: they go to a new file
// "<name>.XXXXXX" beside it (beside the target of a symbolic link), which is
// flushed to disk and renamed over the old one. The new file is held under an
// exclusive advisory lock (flock) from its creation until it is in place, so
// that another save can tell it from one left by a writer that died. Before
// writing, such leftovers beside the file that nobody holds are removed.
// False on any failure; the old file then stays whole and nothing is left.
bool ReplaceFileContents(const QString &path, const QByteArray &bytes);

// Removes the files "<name>.XXXXXX" (six letters or digits) beside path that
// are ours, regular and locked by no one: what a save cut short left behind.
// A file another writer holds locked is never touched. Returns how many went.
int RemoveStaleTemporaries(const QString &path);

// The same replacement for a writer that streams or that opens the file by
// name itself: the new, locked file is made beside path on construction, the
// writer fills it at TemporaryPath(), and Commit() flushes it to disk and
// renames it over path. Destroyed before a commit, it removes the new file.
class TFileReplacement
{
public:
    explicit TFileReplacement(const QString &path);
    ~TFileReplacement();
    TFileReplacement(const TFileReplacement &) = delete;
    TFileReplacement &operator=(const TFileReplacement &) = delete;

    // The errno of a failure to make the new file; 0 when it is there.
    int Error() const { return FError; }
    // The new file's name as the system takes it.
    const QByteArray &TemporaryPath() const { return FTemporaryPath; }
    // The new file, open for writing; -1 when there is none.
    int Descriptor() const { return FFd; }
    // Returns the errno of a failed flush or rename, else 0.
    int Commit();

private:
    int FError = 0;
    int FDir = -1;
    int FFd = -1;
    bool FReplacing = false;
    unsigned FMode = 0;
    QByteArray FName;
    QByteArray FTempName;
    QByteArray FTemporaryPath;
};
