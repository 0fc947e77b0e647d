#include "listing/FolderEntries.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace {

// Below this a thread costs more than it saves.
constexpr size_t kEntriesPerThread = 4096;
constexpr unsigned kMaxThreads = 4;

int64_t UnixMs(const timespec &ts)
{
    return int64_t(ts.tv_sec) * 1000 + int64_t(ts.tv_nsec) / 1000000;
}

} // namespace

TFolderEntries::TFolderEntries(DIR *dir)
{
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
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

    const size_t count = FStarts.size();
    FStats.resize(count);
    const int fd = dirfd(dir);
    const unsigned threads = unsigned(std::min<size_t>(
        {std::max(std::thread::hardware_concurrency(), 1u), kMaxThreads, count / kEntriesPerThread + 1}));
    std::vector<std::jthread> workers;
    const size_t share = (count + threads - 1) / threads;
    size_t first = 0;
    for (unsigned t = 1; t < threads; ++t, first += share) {
        try {
            workers.emplace_back([this, fd, first, share] {
                StatRange(fd, first, first + share);
            });
        } catch (const std::system_error &) {
            // No thread to be had: this one does the rest.
            break;
        }
    }
    StatRange(fd, first, count);
}

void TFolderEntries::StatRange(int fd, size_t first, size_t last)
{
    for (size_t i = first; i < last && i < FStarts.size(); ++i) {
        const char *name = FText.data() + FStarts[i];
        struct stat st
        { };
        bool exists = fstatat(fd, name, &st, 0) == 0;
        // A dangling link or a loop lists as the link itself.
        if (!exists)
            exists = fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        TEntryStat &s = FStats[i];
        s.Exists = exists;
        s.IsFolder = exists ? S_ISDIR(st.st_mode) : FTypes[i] == DT_DIR;
        if (exists) {
            s.Size = int64_t(st.st_size);
            s.ModifiedMs = UnixMs(st.st_mtim);
            s.AccessMs = UnixMs(st.st_atim);
        }
    }
}
