// Where an extracted entry goes, confined to its target folder.
#pragma once

#include "zip/private/Stream.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// Joins two path parts: an empty part gives the other, a first part ending
// in "/" is followed directly, else "/" goes between. A NUL in either part
// raises "Invalid characters in path".
QString JoinExtractPath(const QString &first, const QString &second);

// Where one entry lands below a target folder.
struct TExtractTarget
{
    QString Root; // the target folder, trusted as given
    QString OutputPath; // Root joined with the entry name
    QStringList Folders; // folders below Root, outermost first
    QString FileName; // empty for a folder entry
    bool CreateRoot = false;
};

// Plans the target of an entry. A name that is absolute or climbs with ".."
// would lead outside Root and is refused with "Invalid characters in path",
// before anything is created.
TExtractTarget PlanExtractTarget(const QString &root, const QString &entryName, bool createSubdirs);

// The folders and the file of one extraction. Folders are entered one at a
// time without following symbolic links, and the data is written to a new
// file that replaces what has the entry's name only once it is committed, so
// nothing outside the root is ever touched and a failed entry leaves nothing.
class TExtractOutput
{
public:
    explicit TExtractOutput(const TExtractTarget &target);
    ~TExtractOutput();
    TExtractOutput(const TExtractOutput &) = delete;
    TExtractOutput &operator=(const TExtractOutput &) = delete;

    bool HasFile() const { return FFd >= 0; }
    // Raises "Stream write error" when not all bytes are taken.
    void Write(const void *data, size_t size);
    // Lets the data write up to count bytes into the file itself; returns how many it did.
    int64_t CopyFrom(TStream &data, int64_t count) { return data.CopyToFile(FFd, count, FCrc); }
    // The CRC-32 of every byte written so far.
    uint32_t Crc() const { return FCrc; }
    // Also a failed close is a failed write.
    void Close();
    // Closes and gives the file the entry's name.
    void Commit();
    // Closes and removes the file, so nothing damaged is left to be opened;
    // also what happens when the output goes without a Commit.
    void Discard();

private:
    [[noreturn]] void RaiseCreateError(int err) const;

    QString FOutputPath;
    int FFd = -1;
    int FFolderFd = -1; // the file's folder, while there is a file
    QByteArray FFileName;
    QByteArray FTempName; // while the data has no name of its own yet
    uint32_t FCrc = 0;
};
