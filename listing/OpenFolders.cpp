#include "listing/OpenFolders.h"

#include "platform/Errors.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

TFolderFd::~TFolderFd()
{
    if (FFd >= 0)
        ::close(FFd);
}

void TOpenFolders::Keep(uint32_t folder, std::shared_ptr<TFolderFd> fd, size_t children)
{
    const std::lock_guard lock(FLock);
    if (FKept.size() >= FCapacity) {
        auto oldest = FKept.end();
        for (auto it = FKept.begin(); it != FKept.end(); ++it)
            if (it->second.Left != 0 && (oldest == FKept.end() || it->second.Order < oldest->second.Order))
                oldest = it;
        if (oldest == FKept.end())
            return;
        FKept.erase(oldest);
    }
    FKept[folder] = TKept{std::move(fd), children, FNextOrder++};
}

std::shared_ptr<TFolderFd> TOpenFolders::Find(uint32_t folder, bool served)
{
    const std::lock_guard lock(FLock);
    const auto it = FKept.find(folder);
    if (it == FKept.end())
        return nullptr;
    std::shared_ptr<TFolderFd> fd = it->second.Fd;
    if (served && it->second.Left != 0 && --it->second.Left == 0)
        FKept.erase(it);
    return fd;
}

namespace {

// Below parent with no link anywhere on the way; -1 with errno ENOSYS where the
// kernel cannot do that, and the caller opens the plain way.
int OpenBeneath(int parent, const char *name)
{
#if defined(SYS_openat2) && defined(RESOLVE_BENEATH)
    static std::atomic<bool> missing{false};
    if (!missing.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
        const int fd = int(::syscall(SYS_openat2, parent, name, &how, sizeof how));
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
            return fd;
        // Refused outright (an old kernel, a sandbox's filter): not asked again.
        missing.store(true, std::memory_order_relaxed);
    }
#else
    (void)parent;
    (void)name;
#endif
    errno = ENOSYS;
    return -1;
}

} // namespace

int OpenSubfolder(int parent, const char *name, dev_t device, ino_t inode)
{
    int fd = OpenBeneath(parent, name);
    if (fd < 0 && errno == ENOSYS)
        fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        throw EError(SysErrorMessage(errno));
    struct stat st
    { };
    if (::fstat(fd, &st) != 0 || st.st_dev != device || st.st_ino != inode) {
        ::close(fd);
        // Another folder took the name since the parent was read.
        throw EError(QStringLiteral("The folder was replaced while the tree was read"));
    }
    return fd;
}
