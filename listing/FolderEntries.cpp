#include "listing/FolderEntries.h"

#include "platform/LocaleServices.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace {

int64_t UnixMs(const timespec &ts)
{
    return UnixMilliseconds(int64_t(ts.tv_sec), int64_t(ts.tv_nsec));
}

// Entries a thread takes at a time: big enough that handing them out costs
// nothing, small enough that the threads finish together.
constexpr size_t kBatch = 512;
// Below this a second thread costs more than it saves.
constexpr size_t kParallelFrom = 4096;
constexpr unsigned kMaxThreads = 4;

} // namespace

TFolderEntries::TFolderEntries(DIR *dir, TScanTicker *ticker, bool hidden)
    : FFd(dirfd(dir))
    , FTicker(ticker)
{
    while (const dirent *entry = readdir(dir)) {
        if (ticker && (FStarts.size() & 4095) == 0)
            ticker->Tick(int(FStarts.size()), -1);
        const char *n = entry->d_name;
        if (n[0] == '.' && (!hidden || n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        FStarts.push_back(FText.size());
        FText.append(entry->d_name);
        FText.push_back('\0');
        FTypes.push_back(entry->d_type);
        if (entry->d_type == DT_DIR)
            ++FFolders;
        else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
            ++FUnsure;
    }

    FStats.resize(FStarts.size());
    if (OnNamesRead)
        OnNamesRead();
    FBatches = (FStarts.size() + kBatch - 1) / kBatch;
    FDone = std::make_unique<std::atomic<bool>[]>(FBatches);
    StartHelpers();
}

TFolderEntries::~TFolderEntries()
{
    // A scan ended by an error needs no more results.
    FStop = true;
}

void TFolderEntries::StartHelpers()
{
    if (FStarts.size() < kParallelFrom)
        return;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    // The calling thread is busy making rows from the results, so every core
    // gets a helper of its own.
    const unsigned helpers = std::min(cores, kMaxThreads);
    try {
        for (unsigned t = 0; t < helpers; ++t)
            FHelpers.emplace_back([this] {
                Help();
            });
    } catch (const std::system_error &) {
        // No thread to spare: the calling thread does what is left.
    }
}

void TFolderEntries::Help()
{
    while (!FStop) {
        const size_t batch = FNextBatch.fetch_add(1);
        if (batch >= FBatches)
            return;
        StatBatch(batch);
    }
}

// Each entry's result goes to its own place, so the order of the listing and
// everything made from it stay those of one thread.
const TEntryStat &TFolderEntries::Stat(int i)
{
    const size_t batch = size_t(i) / kBatch;
    while (FReady <= batch) {
        size_t expected = FReady;
        if (FNextBatch.compare_exchange_strong(expected, FReady + 1))
            StatBatch(FReady);
        else
            FDone[FReady].wait(false, std::memory_order_acquire);
        ++FReady;
        if (FTicker)
            FTicker->Tick(int(std::min(FReady * kBatch, FStarts.size())), Count());
    }
    return FStats[size_t(i)];
}

void TFolderEntries::StatBatch(size_t batch)
{
    const size_t first = batch * kBatch;
    const size_t last = std::min(first + kBatch, FStarts.size());
    for (size_t i = first; i < last; ++i) {
        const char *name = FText.data() + FStarts[i];
        struct stat st
        { };
        bool exists = fstatat(FFd, name, &st, 0) == 0;
        // A dangling link or a loop lists as the link itself.
        if (!exists)
            exists = fstatat(FFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        TEntryStat &s = FStats[i];
        s.Exists = exists;
        s.IsFolder = exists ? S_ISDIR(st.st_mode) : FTypes[i] == DT_DIR;
        if (exists) {
            s.Size = int64_t(st.st_size);
            s.ModifiedMs = UnixMs(st.st_mtim);
            s.AccessMs = UnixMs(st.st_atim);
            s.Device = st.st_dev;
            s.Inode = st.st_ino;
            s.Regular = S_ISREG(st.st_mode);
            s.Links = uint64_t(st.st_nlink);
        }
    }
    FDone[batch].store(true, std::memory_order_release);
    FDone[batch].notify_one();
}
