#include "listing/TreeWalk.h"

#include "listing/FolderEntries.h"
#include "platform/Errors.h"
#include "platform/LocaleServices.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

struct TTreeWalk::TBatch
{
    uint32_t Folder = 0;
    std::string Names;
    std::vector<uint32_t> Offsets; // of each row's name in Names
    std::vector<TTreeRow> Rows;
    // For the folder totals: the bytes of the files with one name, the files
    // with more, and which folder each folder row names.
    int64_t OwnBytes = 0;
    struct TLinked
    {
        uint64_t Device;
        uint64_t Inode;
        int64_t Size;
    };
    std::vector<TLinked> Linked;
    std::vector<std::pair<uint32_t, uint32_t>> Children; // row, folder
    std::exception_ptr Error; // the rows were left out, the totals kept
};

// Folders waiting to be read, taken last in first out so the walk goes deep
// first and the waiting list stays short.
class TTreeWalk::TQueue
{
public:
    void Push(const std::vector<uint32_t> &folders)
    {
        if (folders.empty())
            return;
        {
            const std::lock_guard lock(FMutex);
            FWaiting.insert(FWaiting.end(), folders.rbegin(), folders.rend());
        }
        FReady.notify_all();
    }

    // The next folder to read; false once nothing is waiting and no reader can add more.
    bool Pop(uint32_t &folder)
    {
        std::unique_lock lock(FMutex);
        FReady.wait(lock, [this] {
            return FStopped || !FWaiting.empty() || FBusy == 0;
        });
        if (FStopped || FWaiting.empty())
            return false;
        folder = FWaiting.back();
        FWaiting.pop_back();
        ++FBusy;
        return true;
    }

    void Done()
    {
        const std::lock_guard lock(FMutex);
        if (--FBusy == 0 && FWaiting.empty())
            FReady.notify_all();
    }

    void Stop()
    {
        {
            const std::lock_guard lock(FMutex);
            FStopped = true;
        }
        FReady.notify_all();
    }

private:
    std::mutex FMutex;
    std::condition_variable FReady;
    std::vector<uint32_t> FWaiting;
    int FBusy = 0;
    bool FStopped = false;
};

namespace {

struct TDirCloser
{
    void operator()(DIR *d) const { closedir(d); }
};

int WalkerCount(int asked, bool streaming)
{
    if (asked > 0)
        return asked;
    // Reading folders waits on the disk as much as on the cores. Rows written
    // while the walk runs keep one more thread busy: the walkers leave it a core.
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(streaming ? cores : cores * 2, 2, 16);
}

// A folder to enter: a real folder, not a link to one.
bool IsRealFolder(int dirFd, const char *name, unsigned char type)
{
    if (type == DT_DIR)
        return true;
    if (type != DT_UNKNOWN)
        return false;
    struct stat st
    { };
    return fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// A file the totals count: a regular file itself, not a link to one.
bool IsRegularFile(int dirFd, const char *name, unsigned char type)
{
    if (type != DT_UNKNOWN)
        return type == DT_REG;
    struct stat st
    { };
    return fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

bool IsSuspect(char16_t u)
{
    return u < 32 || u == ':' || u == '"' || u == '<' || u == '>' || u == '|';
}

// What the path checks need to know of a text, so a folder's part is looked at
// once. The characters they refuse are ASCII, which UTF-8 never uses inside a
// longer sequence, so a name's bytes tell as much as its text.
struct TPathFacts
{
    qsizetype Length = 0; // in UTF-16 units; of bytes when not Ascii
    bool Suspect = false; // a colon or a character the checks refuse
    bool Ascii = true;

    explicit TPathFacts(const QString &text)
        : Length(text.size())
    {
        for (const QChar c : text)
            Suspect = Suspect || IsSuspect(c.unicode());
    }
    explicit TPathFacts(const char *bytes)
    {
        for (; *bytes; ++bytes, ++Length) {
            const auto b = static_cast<unsigned char>(*bytes);
            Ascii = Ascii && b < 0x80;
            Suspect = Suspect || IsSuspect(b);
        }
    }
};

QString Shown(const TTreeFolder &folder)
{
    return folder.Path.size() > 1 && folder.Path.endsWith(QLatin1Char('/')) ? folder.Path.chopped(1)
                                                                            : folder.Path;
}

} // namespace

TTreeWalk::TTreeWalk(TTreeOptions options)
    : FOptions(std::move(options))
{ }

TTreeWalk::~TTreeWalk() = default;

void TTreeWalk::Run(const QString &folder, const TErrorHandler &onError)
{
    Run(QStringList{folder}, onError);
}

void TTreeWalk::Run(const QStringList &folders, const TErrorHandler &onError)
{
    Run(folders, onError, {});
}

void TTreeWalk::Run(const QStringList &folders, const TErrorHandler &onError, const TRowsHandler &onRows)
{
    FStreaming = bool(onRows);
    FOffset = LocalOffsetSecondsNow();
    for (const QString &folder : folders) {
        TTreeFolder top;
        top.Path = FolderWithDelimiter(folder);
        top.Bytes = QFile::encodeName(top.Path);
        top.Top = uint32_t(FFolders.size());
        struct stat st
        { };
        FTopDevices.push_back(::stat(top.Bytes.constData(), &st) == 0 ? st.st_dev : 0);
        FFolders.push_back(top);
    }
    FTopCount = uint32_t(FFolders.size());
    // Enough for the folders a deep-first walk has begun, and far below any
    // descriptor limit however deep the tree; the tops are kept throughout.
    FOpen = std::make_unique<TOpenFolders>(64 + FTopCount);

    TQueue queue;
    std::vector<uint32_t> tops(FTopCount);
    for (uint32_t i = 0; i < FTopCount; ++i)
        tops[i] = i;
    queue.Push(tops);
    std::vector<std::thread> walkers;
    const int count = WalkerCount(FOptions.Threads, bool(onRows));
    FWalking = count;
    // The walkers are stopped and waited for whatever ends the walk, the
    // rows handler's errors too.
    struct TJoiner
    {
        TQueue &Queue;
        std::vector<std::thread> &Walkers;
        ~TJoiner()
        {
            if (std::uncaught_exceptions() > 0)
                Queue.Stop();
            for (std::thread &t : Walkers)
                if (t.joinable())
                    t.join();
        }
    } joiner{queue, walkers};
    for (int i = 0; i < count; ++i)
        walkers.emplace_back([this, &queue, &onError] {
            Worker(queue, onError);
            {
                const std::lock_guard lock(FStreamLock);
                --FWalking;
            }
            FStreamReady.notify_all();
        });
    if (onRows)
        Deliver(queue, onRows);
    for (std::thread &t : walkers)
        t.join();
    FOpen.reset();
    if (FTopError)
        std::rethrow_exception(FTopError);
    Gather();
}

void TTreeWalk::Worker(TQueue &queue, const TErrorHandler &onError)
{
    uint32_t folder = 0;
    while (queue.Pop(folder)) {
        try {
            std::unique_ptr<TBatch> batch = ScanOne(folder, queue);
            if (batch) {
                const std::exception_ptr error = batch->Error;
                FRowsFound.fetch_add(int64_t(batch->Rows.size()), std::memory_order_relaxed);
                if (FStreaming) {
                    {
                        const std::lock_guard lock(FStreamLock);
                        FStreamed.push_back(std::move(batch));
                    }
                    FStreamReady.notify_all();
                } else {
                    const std::lock_guard lock(FLock);
                    FBatches.push_back(std::move(batch));
                }
                if (error)
                    std::rethrow_exception(error);
            }
        } catch (const EError &e) {
            if (folder < FTopCount) {
                const std::lock_guard lock(FLock);
                FTopError = std::current_exception();
                queue.Stop();
            } else {
                TTreeFolder shown;
                {
                    const std::lock_guard lock(FLock);
                    shown = FFolders[folder];
                }
                onError(Shown(shown), e.Message());
            }
        } catch (...) {
            // Anything else (memory running out) ends the whole walk, reported by Run.
            const std::lock_guard lock(FLock);
            if (!FTopError)
                FTopError = std::current_exception();
            queue.Stop();
        }
        FFoldersRead.fetch_add(1, std::memory_order_relaxed);
        queue.Done();
    }
}

void TTreeWalk::Deliver(TQueue &queue, const TRowsHandler &onRows)
{
    bool wanted = true;
    std::unique_lock lock(FStreamLock);
    for (;;) {
        FStreamReady.wait(lock, [this] {
            return !FStreamed.empty() || FWalking == 0;
        });
        if (FStreamed.empty())
            return;
        const std::unique_ptr<TBatch> batch = std::move(FStreamed.front());
        FStreamed.pop_front();
        const bool more = !FStreamed.empty();
        lock.unlock();
        if (wanted && !batch->Rows.empty()) {
            TTreeFolder folder;
            {
                const std::lock_guard folders(FLock);
                folder = FFolders[batch->Folder];
            }
            for (size_t i = 0; i < batch->Rows.size(); ++i)
                batch->Rows[i].Name = batch->Names.data() + batch->Offsets[i];
            wanted = onRows(folder, batch->Rows, more);
            if (!wanted)
                queue.Stop();
        }
        lock.lock();
    }
}

std::unique_ptr<TTreeWalk::TBatch> TTreeWalk::ScanOne(uint32_t index, TQueue &queue)
{
    TTreeFolder folder;
    {
        const std::lock_guard lock(FLock);
        folder = FFolders[index];
    }
    const bool top = index < FTopCount;
    int fd = -1;
    if (top) {
        fd = ::open(folder.Bytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) // the one-folder rule: an unreadable folder lists nothing
            return nullptr;
        const int kept = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (kept < 0) {
            ::close(fd);
            throw EError(SysErrorMessage(errno));
        }
        FOpen->Keep(index, std::make_shared<TFolderFd>(kept), 0);
    } else {
        fd = OpenFolder(index);
        // As long as a path could be, and no longer: its text is held whole.
        if (folder.Bytes.size() >= PATH_MAX) {
            ::close(fd);
            throw EError(SysErrorMessage(ENAMETOOLONG));
        }
        if (FOptions.OneFileSystem && folder.Device != FTopDevices[folder.Top]) {
            ::close(fd);
            return nullptr;
        }
    }
    std::unique_ptr<DIR, TDirCloser> dir(fdopendir(fd));
    if (!dir) {
        const int err = errno;
        ::close(fd);
        throw EError(SysErrorMessage(err));
    }
    const TScanOptions &o = FOptions.Scan;
    const bool sizes = FOptions.FolderSizes;
    TFolderEntries entries(dir.get(), nullptr, o.ShowHidden || sizes);
    const bool wholeMask = o.Mask == QLatin1String("*.*");
    const bool withinDepth = FOptions.MaxDepth <= 0 || folder.Depth < FOptions.MaxDepth;
    const bool descend = withinDepth || sizes;
    const TPathFacts folderFacts(folder.Path);
    bool listing = folder.Listed;

    auto batch = std::make_unique<TBatch>();
    batch->Folder = index;
    struct TBelow
    {
        const char *Raw;
        QString Name;
        bool Listed;
        int64_t Row; // the folder's own row, -1 when it has none
        dev_t Device;
        ino_t Inode;
    };
    std::vector<TBelow> below;
    for (int e = 0; e < entries.Count(); ++e) {
        const TEntryStat &st = entries.Stat(e);
        const char *raw = entries.Name(e);
        // Most names are only looked at as bytes: decoded when needed, once.
        QString name;
        const auto decoded = [&name, raw]() -> const QString & {
            if (name.isNull())
                name = QString::fromUtf8(raw);
            return name;
        };
        if (sizes && st.Exists && st.Regular && IsRegularFile(dirfd(dir.get()), raw, entries.Type(e))) {
            if (st.Links > 1)
                batch->Linked.push_back({st.Device, st.Inode, st.Size});
            else
                batch->OwnBytes += st.Size;
        }
        // Only the totals see a hidden name that was not asked for.
        const bool shown = listing && (o.ShowHidden || raw[0] != '.');
        bool listed = false;
        if (shown && !st.IsFolder && o.ShowFiles) {
            if (!wholeMask && !MaskAccepts(o.Mask, ExtractExtension(decoded())))
                continue;
            try {
                // Only a path that may fail is put together and checked in full.
                const TPathFacts nameFacts(raw);
                const qsizetype length = nameFacts.Ascii ? nameFacts.Length : decoded().size();
                if (folderFacts.Suspect || nameFacts.Suspect || folderFacts.Length + length >= 248)
                    CheckPathText(folder.Path + decoded());
                if (!st.Exists)
                    throw EError(QStringLiteral("The specified file was not found"));
            } catch (const EError &) {
                if (!sizes || top)
                    throw;
                // The folder's rows are left out; its files still count below it.
                batch->Error = std::current_exception();
                listing = false;
                batch->Rows.clear();
                batch->Names.clear();
                batch->Offsets.clear();
                continue;
            }
            listed = true;
        } else if (shown && st.IsFolder && o.ShowFolders) {
            listed = true;
        }
        if (listed) {
            batch->Offsets.push_back(uint32_t(batch->Names.size()));
            batch->Names.append(raw);
            batch->Names.push_back('\0');
            batch->Rows.push_back(TTreeRow{nullptr, st.Size, st.ModifiedMs, index, st.IsFolder, st.Exists});
        }
        if (st.IsFolder && st.Exists && descend && IsRealFolder(dirfd(dir.get()), raw, entries.Type(e)))
            below.push_back(TBelow{raw,
                decoded(),
                shown && withinDepth,
                listed ? int64_t(batch->Rows.size()) - 1 : -1,
                st.Device,
                st.Inode});
    }
    if (OnFolderRead)
        OnFolderRead(folder.Path);
    if (!below.empty()) {
        if (!top) {
            const int kept = ::fcntl(dirfd(dir.get()), F_DUPFD_CLOEXEC, 0);
            if (kept >= 0) // else the children open from an ancestor
                FOpen->Keep(index, std::make_shared<TFolderFd>(kept), below.size());
        }
        std::vector<uint32_t> added;
        added.reserve(below.size());
        const std::lock_guard lock(FLock);
        for (const TBelow &b : below) {
            TTreeFolder sub;
            sub.Path = folder.Path + b.Name + QLatin1Char('/');
            sub.Bytes = folder.Bytes + b.Raw + '/';
            sub.Depth = folder.Depth + 1;
            sub.Top = folder.Top;
            sub.Parent = index;
            sub.Device = b.Device;
            sub.Inode = b.Inode;
            sub.Listed = b.Listed && listing;
            if (sizes && b.Row >= 0 && listing)
                batch->Children.emplace_back(uint32_t(b.Row), uint32_t(FFolders.size()));
            added.push_back(uint32_t(FFolders.size()));
            FFolders.push_back(std::move(sub));
        }
        queue.Push(added);
    }
    return batch;
}

// Opens a folder below the top from its parent's descriptor, or when that is
// no longer kept, step by step down from the nearest ancestor that is: every
// step checked, so no link and no renamed folder leads out of the tree.
int TTreeWalk::OpenFolder(uint32_t index)
{
    struct TStep
    {
        QByteArray Name;
        dev_t Device;
        ino_t Inode;
    };
    std::vector<TStep> steps; // the deepest first
    std::shared_ptr<TFolderFd> base;
    {
        const std::lock_guard lock(FLock);
        for (uint32_t at = index;;) {
            const TTreeFolder &f = FFolders[at];
            const QByteArray path = f.Bytes.chopped(1);
            steps.push_back({path.mid(path.lastIndexOf('/') + 1), f.Device, f.Inode});
            // The top is kept for the whole walk, so this ends there at the latest.
            base = FOpen->Find(f.Parent, at == index);
            if (base)
                break;
            if (f.Parent < FTopCount)
                throw EError(SysErrorMessage(EBADF));
            at = f.Parent;
        }
    }
    int fd = -1;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        int next = -1;
        try {
            next =
                OpenSubfolder(fd >= 0 ? fd : base->Get(), step->Name.constData(), step->Device, step->Inode);
        } catch (...) {
            if (fd >= 0)
                ::close(fd);
            throw;
        }
        if (fd >= 0)
            ::close(fd);
        fd = next;
    }
    return fd;
}

void TTreeWalk::Gather()
{
    // The order the walkers finished in is chance; the rows' order must not be.
    std::sort(FBatches.begin(), FBatches.end(), [this](const auto &a, const auto &b) {
        return FFolders[a->Folder].Bytes < FFolders[b->Folder].Bytes;
    });
    size_t total = 0;
    for (const auto &b : FBatches)
        total += b->Rows.size();
    const std::vector<int64_t> totals = FOptions.FolderSizes ? Totals() : std::vector<int64_t>();
    FRows.reserve(total);
    // Reserved first: a moved short string would leave its characters behind.
    FNames.reserve(FBatches.size());
    for (auto &b : FBatches) {
        for (const auto &[row, child] : b->Children) {
            if (totals[child] >= 0) {
                b->Rows[row].Size = totals[child];
                b->Rows[row].SizeIsTotal = true;
            }
        }
        FNames.push_back(std::move(b->Names));
        const char *base = FNames.back().data();
        for (size_t i = 0; i < b->Rows.size(); ++i) {
            TTreeRow row = b->Rows[i];
            row.Name = base + b->Offsets[i];
            FRows.push_back(row);
        }
        b.reset();
    }
    FBatches.clear();
    FBatches.shrink_to_fit();
}

std::vector<int64_t> TTreeWalk::Totals() const
{
    const size_t count = FFolders.size();
    std::vector<int64_t> totals(count, 0);
    std::vector<char> read(count, 0);
    struct TLink
    {
        uint64_t Device;
        uint64_t Inode;
        int64_t Size;
        uint32_t Folder;
    };
    std::vector<TLink> links;
    for (const auto &b : FBatches) {
        totals[b->Folder] += b->OwnBytes;
        read[b->Folder] = 1;
        for (const TBatch::TLinked &l : b->Linked)
            links.push_back({l.Device, l.Inode, l.Size, b->Folder});
    }
    // A folder is always added after its parent: from the end, each folder's
    // total is whole when it is added to its parent's.
    for (size_t f = count; f-- > 0;)
        if (FFolders[f].Parent != UINT32_MAX)
            totals[FFolders[f].Parent] += totals[f];
    // A file with several names counts once in every folder above any of them.
    std::sort(links.begin(), links.end(), [](const TLink &a, const TLink &b) {
        return a.Device != b.Device ? a.Device < b.Device : a.Inode < b.Inode;
    });
    std::vector<size_t> seenBy(count, SIZE_MAX);
    for (size_t first = 0, next = 0; first < links.size(); first = next) {
        next = first;
        while (next < links.size() && links[next].Device == links[first].Device
            && links[next].Inode == links[first].Inode)
            ++next;
        for (size_t k = first; k < next; ++k)
            for (uint32_t f = links[k].Folder; f != UINT32_MAX && seenBy[f] != first;
                 f = FFolders[f].Parent) {
                seenBy[f] = first;
                totals[f] += links[first].Size;
            }
    }
    // A folder that could not be read has no total to show.
    for (size_t f = 0; f < count; ++f)
        if (!read[f])
            totals[f] = -1;
    return totals;
}
