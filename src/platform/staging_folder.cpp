#include "platform/staging_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "platform/atomic_file.h"

namespace tessarin {

namespace {

constexpr int kAttempts = 16;

int OpenFolder(const std::string& folder, bool noFollow) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0);
    int fd;
    do {
        fd = ::open(folder.empty() ? "." : folder.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool CanReplace(int folderFd, const std::string& name) {
    struct stat st {};
    if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    // A folder, device, pipe or socket under a tile's name is never replaced.
    return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
}

// Whether the file system lacks the swapping and exclusive renames.
bool Unsupported(int error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP; }

}  // namespace

void RemoveFilesIn(int folderFd, const char* except) {
    const int listFd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0) ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_type != DT_DIR && (!except || std::string_view(entry->d_name) != except))
            ::unlinkat(folderFd, entry->d_name, 0);
    ::closedir(dir);
}

StagingFolder::~StagingFolder() { Discard(); }

bool StagingFolder::Open(const std::string& folder, bool noFollow) {
    Discard();
    folderFd_ = OpenFolder(folder, noFollow);
    if (folderFd_ < 0) return false;
    for (int attempt = 0; attempt < kAttempts && stagingFd_ < 0; ++attempt) {
        const std::string name = NewTemporaryName();
        if (::mkdirat(folderFd_, name.c_str(), 0700) != 0) {
            if (errno == EEXIST) continue;
            break;
        }
        stagingFd_ =
            ::openat(folderFd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (stagingFd_ < 0) {
            ::unlinkat(folderFd_, name.c_str(), AT_REMOVEDIR);
            break;
        }
        stagingName_ = name;
    }
    if (stagingFd_ < 0) {
        Discard();
        return false;
    }
    stagingPath_ =
        (folder.empty() ? "." : folder) + (folder.ends_with('/') ? "" : "/") + stagingName_ + "/";
    // Where the file system takes no locks the folder is only kept by its age.
    lockFd_ = ::openat(stagingFd_, kStagingLockName,
                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd_ < 0 || (!LockWholeFile(lockFd_, F_WRLCK) && (errno == EAGAIN || errno == EACCES))) {
        Discard();
        return false;
    }
    return true;
}

int StagingFolder::CreateFile(std::string& path) {
    if (stagingFd_ < 0) return -1;
    std::string name;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        name = std::to_string(next_++);
    }
    int fd;
    do {
        fd = ::openat(stagingFd_, name.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) path = stagingPath_ + name;
    return fd;
}

void StagingFolder::Keep(const std::string& path, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    kept_.push_back({path.substr(path.rfind('/') + 1), name});
}

std::vector<std::string> StagingFolder::KeptNames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> names;
    names.reserve(kept_.size());
    for (const Kept& k : kept_) names.push_back(k.name);
    return names;
}

bool StagingFolder::Commit() {
    if (stagingFd_ < 0) return kept_.empty();
    bool ok = true;
    for (const Kept& k : kept_)
        if (!CanReplace(folderFd_, k.name)) ok = false;
    // How each done rename is undone: the name was free (move the tile
    // back), the names were swapped (the older file now waits in the staging
    // folder: swap again), or the older file was replaced by a plain rename
    // on a file system that swaps nothing (it cannot come back).
    enum class Done : char { Fresh, Swapped, Replaced };
    std::vector<Done> done;
    if (ok) done.reserve(kept_.size());
    for (size_t i = 0; ok && i < kept_.size(); ++i) {
        const char* staged = kept_[i].staged.c_str();
        const char* name = kept_[i].name.c_str();
        if (::renameat2(stagingFd_, staged, folderFd_, name, RENAME_NOREPLACE) == 0) {
            done.push_back(Done::Fresh);
        } else if (errno == EEXIST &&
                   ::renameat2(stagingFd_, staged, folderFd_, name, RENAME_EXCHANGE) == 0) {
            done.push_back(Done::Swapped);
        } else if (Unsupported(errno) && ::renameat(stagingFd_, staged, folderFd_, name) == 0) {
            done.push_back(Done::Replaced);
        } else {
            ok = false;
        }
    }
    if (!ok)
        for (size_t i = done.size(); i-- > 0;) {
            const char* staged = kept_[i].staged.c_str();
            const char* name = kept_[i].name.c_str();
            if (done[i] == Done::Swapped)
                ::renameat2(stagingFd_, staged, folderFd_, name, RENAME_EXCHANGE);
            else if (done[i] == Done::Fresh)
                ::renameat(folderFd_, name, stagingFd_, staged);
        }
    Discard();
    return ok;
}

void StagingFolder::Discard() {
    if (stagingFd_ >= 0) {
        // The lock file goes last, so no clean-up finds the folder unlocked
        // while it still holds tiles.
        RemoveFilesIn(stagingFd_, kStagingLockName);
        ::unlinkat(stagingFd_, kStagingLockName, 0);
        ::unlinkat(folderFd_, stagingName_.c_str(), AT_REMOVEDIR);
        ::close(stagingFd_);
    }
    if (lockFd_ >= 0) ::close(lockFd_);
    if (folderFd_ >= 0) ::close(folderFd_);
    stagingFd_ = lockFd_ = folderFd_ = -1;
    stagingName_.clear();
    stagingPath_.clear();
    kept_.clear();
    next_ = 0;
}

}  // namespace tessarin
