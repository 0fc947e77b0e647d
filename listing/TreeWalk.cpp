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

int WalkerCount(int asked)
{
    if (asked > 0)
        return asked;
    // Reading folders waits on the disk as much as on the cores.
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(cores * 2, 2, 16);
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
    FOffset = LocalOffsetSecondsNow();
    TTreeFolder top;
    top.Path = FolderWithDelimiter(folder);
    top.Bytes = QFile::encodeName(top.Path);
    struct stat st
    { };
    if (::stat(top.Bytes.constData(), &st) == 0)
        FTopDevice = st.st_dev;
    FFolders.push_back(top);
    // Enough for the folders a deep-first walk has begun, and far below any
    // descriptor limit however deep the tree.
    FOpen = std::make_unique<TOpenFolders>(64);

    TQueue queue;
    queue.Push({0});
    std::vector<std::thread> walkers;
    const int count = WalkerCount(FOptions.Threads);
    for (int i = 0; i < count; ++i)
        walkers.emplace_back([this, &queue, &onError] {
            Worker(queue, onError);
        });
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
                FRowsFound.fetch_add(int64_t(batch->Rows.size()), std::memory_order_relaxed);
                const std::lock_guard lock(FLock);
                FBatches.push_back(std::move(batch));
            }
        } catch (const EError &e) {
            if (folder == 0) {
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

std::unique_ptr<TTreeWalk::TBatch> TTreeWalk::ScanOne(uint32_t index, TQueue &queue)
{
    TTreeFolder folder;
    {
        const std::lock_guard lock(FLock);
        folder = FFolders[index];
    }
    const bool top = index == 0;
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
        FOpen->Keep(0, std::make_shared<TFolderFd>(kept), 0);
    } else {
        fd = OpenFolder(index);
        // As long as a path could be, and no longer: its text is held whole.
        if (folder.Bytes.size() >= PATH_MAX) {
            ::close(fd);
            throw EError(SysErrorMessage(ENAMETOOLONG));
        }
        if (FOptions.OneFileSystem && folder.Device != FTopDevice) {
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
    TFolderEntries entries(dir.get());
    const TScanOptions &o = FOptions.Scan;
    const bool wholeMask = o.Mask == QLatin1String("*.*");
    const bool descend = FOptions.MaxDepth <= 0 || folder.Depth < FOptions.MaxDepth;
    const TPathFacts folderFacts(folder.Path);

    auto batch = std::make_unique<TBatch>();
    batch->Folder = index;
    std::vector<std::pair<const char *, QString>> below;
    std::vector<std::pair<dev_t, ino_t>> identities;
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
        bool listed = false;
        if (!st.IsFolder && o.ShowFiles) {
            if (!wholeMask && !MaskAccepts(o.Mask, ExtractExtension(decoded())))
                continue;
            // Only a path that may fail is put together and checked in full.
            const TPathFacts nameFacts(raw);
            const qsizetype length = nameFacts.Ascii ? nameFacts.Length : decoded().size();
            if (folderFacts.Suspect || nameFacts.Suspect || folderFacts.Length + length >= 248)
                CheckPathText(folder.Path + decoded());
            if (!st.Exists)
                throw EError(QStringLiteral("The specified file was not found"));
            listed = true;
        } else if (st.IsFolder && o.ShowFolders) {
            listed = true;
        }
        if (listed) {
            batch->Offsets.push_back(uint32_t(batch->Names.size()));
            batch->Names.append(raw);
            batch->Names.push_back('\0');
            batch->Rows.push_back(TTreeRow{nullptr, st.Size, st.ModifiedMs, index, st.IsFolder, st.Exists});
        }
        if (st.IsFolder && st.Exists && descend && IsRealFolder(dirfd(dir.get()), raw, entries.Type(e))) {
            below.emplace_back(raw, decoded());
            identities.emplace_back(st.Device, st.Inode);
        }
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
        for (size_t b = 0; b < below.size(); ++b) {
            const auto &[raw, name] = below[b];
            TTreeFolder sub;
            sub.Path = folder.Path + name + QLatin1Char('/');
            sub.Bytes = folder.Bytes + raw + '/';
            sub.Depth = folder.Depth + 1;
            sub.Parent = index;
            sub.Device = identities[b].first;
            sub.Inode = identities[b].second;
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
            if (f.Parent == 0)
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
    FRows.reserve(total);
    // Reserved first: a moved short string would leave its characters behind.
    FNames.reserve(FBatches.size());
    for (auto &b : FBatches) {
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
