// The walk over a folder and the folders below it, on several threads.
#pragma once

#include "listing/FolderScan.h"
#include "listing/OpenFolders.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

struct TTreeOptions
{
    TScanOptions Scan; // files, folders, extensions and mask, as for one folder
    int MaxDepth = 0; // 0: no limit; 1: the top folder alone
    bool OneFileSystem = false; // do not enter folders on another file system
    int Threads = 0; // 0: chosen from the cores
    // Each folder row's size is the total of the regular files below it, at
    // any depth, hidden ones too; the walk enters what it does not list for that.
    bool FolderSizes = false;
};

struct TTreeFolder
{
    QString Path; // as the Path column shows it, with a trailing "/"
    QByteArray Bytes; // as the file system spells it, with a trailing "/"
    int Depth = 1; // the top folder is 1
    uint32_t Parent = UINT32_MAX; // index of the folder it was found in; none for a top folder
    dev_t Device = 0; // as the parent's listing showed it
    ino_t Inode = 0;
    uint32_t Top = 0; // index of the top folder it lies below, or its own
    bool Listed = true; // false: walked for the totals only
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
    bool SizeIsTotal = false; // a folder's Size is the total below it
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
    // Several top folders walked as one tree, each the top of its own part.
    void Run(const QStringList &folders, const TErrorHandler &onError);

    // Given each folder's rows as soon as they are read, on the thread that
    // called Run, in the order the walkers finished them; the rows (and the
    // names they point to) last for the call only and are not kept. moreWaiting:
    // another folder's rows are already waiting. Returning false ends the walk.
    using TRowsHandler =
        std::function<bool(const TTreeFolder &folder, std::span<const TTreeRow> rows, bool moreWaiting)>;
    void Run(const QStringList &folders, const TErrorHandler &onError, const TRowsHandler &onRows);

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
    void Deliver(TQueue &queue, const TRowsHandler &onRows);
    std::vector<int64_t> Totals() const;
    std::unique_ptr<TBatch> ScanOne(uint32_t folder, TQueue &queue);
    int OpenFolder(uint32_t folder);
    void Gather();

    TTreeOptions FOptions;
    int FOffset = 0;
    std::vector<dev_t> FTopDevices; // by top folder
    uint32_t FTopCount = 0;
    std::mutex FLock; // guards FFolders' growth and FBatches
    std::deque<TTreeFolder> FFolders;
    std::vector<std::unique_ptr<TBatch>> FBatches;
    std::vector<std::string> FNames; // the name bytes the rows point into
    std::vector<TTreeRow> FRows;
    std::atomic<int64_t> FFoldersRead{0};
    std::atomic<int64_t> FRowsFound{0};
    std::exception_ptr FTopError;
    // Folders read and not yet handed to the rows handler, while it is there.
    bool FStreaming = false;
    std::mutex FStreamLock;
    std::condition_variable FStreamReady;
    std::deque<std::unique_ptr<TBatch>> FStreamed;
    int FWalking = 0;
    std::unique_ptr<TOpenFolders> FOpen;
};
