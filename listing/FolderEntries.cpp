#include "listing/FolderEntries.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

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

    FStats.resize(FStarts.size());
    if (OnNamesRead)
        OnNamesRead();
    StatAll(dirfd(dir));
}

void TFolderEntries::StatAll(int fd)
{
    for (size_t i = 0; i < FStarts.size(); ++i) {
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
