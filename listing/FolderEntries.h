// One folder's entries as the scan sees them.
#pragma once

#include <cstdint>
#include <dirent.h>
#include <functional>
#include <string>
#include <vector>

// What the scan needs to know of one entry, taken with a single stat call
// that follows links, or of the link itself when it dangles or loops.
struct TEntryStat
{
    bool Exists = false;
    bool IsFolder = false;
    int64_t Size = 0;
    int64_t ModifiedMs = 0; // Unix milliseconds
    int64_t AccessMs = 0;
};

// The entries of an open folder in the order the system gives them, without
// the names that begin with ".".
class TFolderEntries
{
public:
    // Reads every name first, then stats them, so the listing knows how many
    // rows it may need before it makes any.
    explicit TFolderEntries(DIR *dir);

    int Count() const { return int(FStarts.size()); }
    const char *Name(int i) const { return FText.data() + FStarts[size_t(i)]; }
    const TEntryStat &Stat(int i) const { return FStats[size_t(i)]; }
    // The entry's own type as the folder tells it (DT_*), links not followed.
    unsigned char Type(int i) const { return FTypes[size_t(i)]; }
    // At most this many entries are folders, or files.
    int MaxFolders() const { return FFolders + FUnsure; }
    int MaxFiles() const { return Count() - FFolders; }

    // Runs after the names are read and before the first one is looked at:
    // tests change the folder here, as another program could at that moment.
    static inline std::function<void()> OnNamesRead;

private:
    void StatAll(int fd);

    std::string FText; // the names end to end, each ended by a NUL
    std::vector<size_t> FStarts;
    std::vector<unsigned char> FTypes;
    std::vector<TEntryStat> FStats;
    int FFolders = 0; // entries the folder says are folders
    int FUnsure = 0; // links and entries of a type the folder does not tell
};
