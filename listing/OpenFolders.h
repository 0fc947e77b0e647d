// The folders of a tree walk kept open, so each child opens relative to its parent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <sys/types.h>
#include <unordered_map>

// One open folder descriptor, closed when the last user lets go.
class TFolderFd
{
public:
    explicit TFolderFd(int fd)
        : FFd(fd)
    { }
    ~TFolderFd();
    TFolderFd(const TFolderFd &) = delete;
    TFolderFd &operator=(const TFolderFd &) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

// Descriptors of folders whose subfolders are still to be opened, at most
// capacity of them whatever the tree's shape: when full, the one kept longest
// goes, and its children are reached again from an ancestor still kept.
class TOpenFolders
{
public:
    explicit TOpenFolders(size_t capacity)
        : FCapacity(capacity)
    { }

    // Keeps fd for folder until children of its subfolders have asked for it;
    // a folder kept with children 0 stays for the whole walk.
    void Keep(uint32_t folder, std::shared_ptr<TFolderFd> fd, size_t children);
    // folder's descriptor when kept, else null. served counts one child as done.
    std::shared_ptr<TFolderFd> Find(uint32_t folder, bool served);

private:
    struct TKept
    {
        std::shared_ptr<TFolderFd> Fd;
        size_t Left = 0; // 0: kept for good
        uint64_t Order = 0;
    };

    std::mutex FLock;
    size_t FCapacity;
    uint64_t FNextOrder = 0;
    std::unordered_map<uint32_t, TKept> FKept;
};

// Opens name below the folder parent without following a link, and checks
// the folder opened is the one whose device and inode the parent's listing
// showed. Returns the descriptor; raises EError with the reason otherwise.
int OpenSubfolder(int parent, const char *name, dev_t device, ino_t inode);
