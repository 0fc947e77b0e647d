// The walk over a folder and the folders below it, on several threads.
#pragma once

#include "listing/FolderScan.h"
#include "listing/OpenFolders.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

struct TTreeOptions
{
    TScanOptions Scan; // files, folders, extensions and mask, as for one folder
    int MaxDepth = 0; // 0: no limit; 1: the top folder alone
    bool OneFileSystem = false; // do not enter folders on another file system
    int Threads = 0; // 0: chosen from the cores
};

struct TTreeFolder
{
    QString Path; // as the Path column shows it, with a trailing "/"
    QByteArray Bytes; // as the file system spells it, with a trailing "/"
    int Depth = 1; // the top folder is 1
    uint32_t Parent = 0; // index of the folder it was found in
    dev_t Device = 0; // as the parent's listing showed it
    ino_t Inode = 0;
};

// One listed entry. Small on purpose: a tree of a million files is held
// whole until it is sorted.
struct TTreeRow
{
    const char *Name; // the name's bytes, NUL-ended, owned by the walk
    int64_t Size;
    int64_t ModifiedMs; // Unix milliseconds
    uint32_t Folder; // index of the folder the entry lives in
    bool IsFolder;
    bool Exists; // false: the entry vanished before its stat
};

// Lists a folder and the folders below it on several threads, as the folder
// scan lists one folder: the same options, skipped names and path checks.
// Symbolic links to folders are listed, never entered. Each folder is opened
// from its parent and must be the folder the parent showed, so the walk never
// leaves the tree, whatever is renamed meanwhile. A folder below the top
// that cannot be read, or is not that folder any more, or whose scan stops on a path check, is reported and
// left out whole, with everything below it.
class TTreeWalk
{
public:
    using TErrorHandler = std::function<void(const QString &folder, const QString &message)>;

    explicit TTreeWalk(TTreeOptions options);
    ~TTreeWalk();
    TTreeWalk(const TTreeWalk &) = delete;
    TTreeWalk &operator=(const TTreeWalk &) = delete;

    // Walks the tree below folder (absolute, clean). onError may run on any
    // walker thread. A path check failing in the top folder ends the walk with
    // its error, as the one-folder scan does.
    void Run(const QString &folder, const TErrorHandler &onError);

    // While Run works, from any thread: folders read and rows found so far.
    int64_t FoldersRead() const { return FFoldersRead.load(std::memory_order_relaxed); }
    int64_t RowsFound() const { return FRowsFound.load(std::memory_order_relaxed); }

    // After Run: the rows grouped by folder, folders in the byte order of
    // their paths, each folder's rows in the order the system gave them.
    const std::vector<TTreeRow> &Rows() const { return FRows; }
    const TTreeFolder &Folder(uint32_t index) const { return FFolders[index]; }
    size_t FolderCount() const { return FFolders.size(); }
    const TTreeOptions &Options() const { return FOptions; }
    int OffsetSeconds() const { return FOffset; }

    // Runs after a folder's entries are read and before any of its subfolders
    // is opened: tests change the tree here, as another user could.
    static inline std::function<void(const QString &folder)> OnFolderRead;

private:
    struct TBatch;
    class TQueue;

    void Worker(TQueue &queue, const TErrorHandler &onError);
    std::unique_ptr<TBatch> ScanOne(uint32_t folder, TQueue &queue);
    int OpenFolder(uint32_t folder);
    void Gather();

    TTreeOptions FOptions;
    int FOffset = 0;
    dev_t FTopDevice = 0;
    std::mutex FLock; // guards FFolders' growth and FBatches
    std::deque<TTreeFolder> FFolders;
    std::vector<std::unique_ptr<TBatch>> FBatches;
    std::vector<std::string> FNames; // the name bytes the rows point into
    std::vector<TTreeRow> FRows;
    std::atomic<int64_t> FFoldersRead{0};
    std::atomic<int64_t> FRowsFound{0};
    std::exception_ptr FTopError;
    std::unique_ptr<TOpenFolders> FOpen;
};
