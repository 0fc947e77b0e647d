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
