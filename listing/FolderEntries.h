// One folder's entries as the scan sees them.
#pragma once

#include "listing/ScanProgress.h"

#include <atomic>
#include <cstdint>
#include <dirent.h>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <thread>
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
    dev_t Device = 0; // which folder this is, when it is one; with Inode, which file
    ino_t Inode = 0;
    // For counting a file once however many names it has.
    bool Regular = false;
    uint64_t Links = 0;
};

// The entries of an open folder in the order the system gives them, without
// "." and ".."; without every name that begins with "." unless hidden ones are asked for.
class TFolderEntries
{
public:
    // Reads every name first, so the listing knows how many rows it may need
    // before it makes any. Then the stat calls start, in batches, on helper
    // threads when the folder is big; the calling thread reads the results in
    // order, taking any batch no helper has begun itself, so rows can be made
    // while later entries are still being looked at.
    TFolderEntries(DIR *dir, TScanTicker *ticker = nullptr, bool hidden = false);
    ~TFolderEntries();
    TFolderEntries(const TFolderEntries &) = delete;
    TFolderEntries &operator=(const TFolderEntries &) = delete;

    int Count() const { return int(FStarts.size()); }
    const char *Name(int i) const { return FText.data() + FStarts[size_t(i)]; }
    // Waits for the entry's stat result when a helper is still at it.
    const TEntryStat &Stat(int i);
    // The entry's own type as the folder tells it (DT_*), links not followed.
    unsigned char Type(int i) const { return FTypes[size_t(i)]; }
    // At most this many entries are folders, or files.
    int MaxFolders() const { return FFolders + FUnsure; }
    int MaxFiles() const { return Count() - FFolders; }

    // Runs after the names are read and before the first one is looked at:
    // tests change the folder here, as another program could at that moment.
    static inline std::function<void()> OnNamesRead;

private:
    void StartHelpers();
    void Help();
    void StatBatch(size_t batch);

    int FFd = -1;
    TScanTicker *FTicker = nullptr;
    std::string FText; // the names end to end, each ended by a NUL
    std::vector<size_t> FStarts;
    std::vector<unsigned char> FTypes;
    std::vector<TEntryStat> FStats;
    int FFolders = 0; // entries the folder says are folders
    int FUnsure = 0; // links and entries of a type the folder does not tell

    size_t FBatches = 0;
    size_t FReady = 0; // batches the calling thread knows are done
    std::atomic<size_t> FNextBatch{0}; // the first batch nobody has taken
    std::unique_ptr<std::atomic<bool>[]> FDone; // one per batch
    std::atomic<bool> FStop{false};
    std::vector<std::jthread> FHelpers;
};
