#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <set>

#include "platform/staging_folder.h"

namespace tessarin {

namespace {

constexpr std::string_view kPrefix = ".tessarin-";
constexpr std::string_view kSuffix = ".part";
constexpr int kRandomBytes = 8;
// An exclusive creation fails only when the name exists; with 64 random bits
// that happens only to planted names, so a few attempts are plenty.
constexpr int kAttempts = 16;

bool ReadUrandom(unsigned char* out, size_t n) {
    int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < n) {
        ssize_t got = ::read(fd, out + done, n - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    ::close(fd);
    return done == n;
}

void RandomBytes(unsigned char* out, size_t n) {
    ssize_t got = ::getrandom(out, n, GRND_NONBLOCK);
    if (got == static_cast<ssize_t>(n) || ReadUrandom(out, n)) return;
    // No kernel randomness at all: the name becomes guessable, but the
    // exclusive creation still refuses any planted name.
    static std::atomic<uint64_t> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t v = (static_cast<uint64_t>(now.tv_nsec) << 20) ^ static_cast<uint64_t>(now.tv_sec) ^
                 (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(v >> (8 * (i % 8)));
}

}  // namespace

std::string NewTemporaryName() {
    unsigned char bytes[kRandomBytes];
    RandomBytes(bytes, sizeof bytes);
    static const char kHex[] = "0123456789abcdef";
    std::string name(kPrefix);
    name += std::to_string(::getpid());
    name += '-';
    for (unsigned char b : bytes) {
        name += kHex[b >> 4];
        name += kHex[b & 15];
    }
    name += kSuffix;
    return name;
}

namespace {

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

// The lock covers whatever length the file grows to. It conflicts with the
// locks of every other description, in this process too, and goes with the
// description's last descriptor.
bool LockWholeFile(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    int result;
    do {
        result = ::fcntl(fd, F_OFD_SETLK, &lock);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool MayBeLeftover(const struct stat& st, uid_t user, time_t now) {
    return S_ISREG(st.st_mode) && st.st_uid == user &&
           now - st.st_mtim.tv_sec >= kStaleTemporaryFileSeconds;
}

// A file that changes under the checks below, or that a writer holds, stays.
// Its name is looked at again under the lock, so what is unlinked is the file
// that was checked; two clean-ups at once may both unlink it, which is
// harmless.
void RemoveIfLeftover(int dirFd, const char* name, uid_t user, time_t now) {
    struct stat entry {};
    if (::fstatat(dirFd, name, &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
        !MayBeLeftover(entry, user, now))
        return;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat opened {};
    if (::fstat(fd, &opened) == 0 && SameFile(opened, entry) && LockWholeFile(fd, F_RDLCK) &&
        ::fstat(fd, &opened) == 0 && MayBeLeftover(opened, user, now) &&
        ::fstatat(dirFd, name, &entry, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(entry, opened))
        ::unlinkat(dirFd, name, 0);
    ::close(fd);
}

// A staging folder whose writer is gone: this user's, unchanged for the same
// time as a file, and its lock file held by nobody (or never made: the
// writer died right after the folder). Its files go, then the folder.
void RemoveStagingIfLeftover(int dirFd, const char* name, uid_t user, time_t now) {
    struct stat entry {};
    if (::fstatat(dirFd, name, &entry, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(entry.st_mode) ||
        entry.st_uid != user || now - entry.st_mtim.tv_sec < kStaleTemporaryFileSeconds)
        return;
    const int folder = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return;
    struct stat opened {};
    bool gone = ::fstat(folder, &opened) == 0 && SameFile(opened, entry);
    const int lock =
        gone ? ::openat(folder, kStagingLockName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
             : -1;
    if (lock >= 0) gone = LockWholeFile(lock, F_RDLCK);
    if (gone) {
        RemoveFilesIn(folder);
        ::unlinkat(dirFd, name, AT_REMOVEDIR);
    }
    if (lock >= 0) ::close(lock);
    ::close(folder);
}

}  // namespace

int CreateExclusiveFile(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Create(const std::string& folder) {
    Discard();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string path = JoinFolder(folder, NewTemporaryName());
        fd_ = CreateExclusiveFile(path);
        if (fd_ < 0) {
            if (errno != EEXIST) return false;
            continue;
        }
        temporary_ = std::move(path);
        // A file system without locks refuses the lock; the clean-up cannot
        // lock such a file either, so it is never removed. Only a clean-up
        // that took a file this fresh for old (a clock far off) holds it:
        // that file may be going, so another name is taken.
        if (LockWholeFile(fd_, F_WRLCK) || (errno != EAGAIN && errno != EACCES)) return true;
        Discard();
    }
    return false;
}

bool AtomicFile::CreateFor(const std::string& target) { return Create(FolderOf(target)); }

bool AtomicFile::Commit(const std::string& target, bool sync) {
    if (fd_ < 0) return false;
    bool ok = !sync || ::fsync(fd_) == 0;
    // The close reports a write some file systems failed only then; a second
    // descriptor keeps the lock until the file has its final name.
    const int keep = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (::close(fd_) != 0) ok = false;
    fd_ = keep;
    // A device, pipe or socket under the target's name is never replaced by a
    // plain file (a folder makes the rename itself fail; a link is replaced,
    // not followed).
    struct stat st {};
    if (ok && ::lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        ok = false;
    if (ok) ok = ::rename(temporary_.c_str(), target.c_str()) == 0;
    if (!ok) {
        Discard();
        return false;
    }
    temporary_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (sync) SyncFolder(FolderOf(target));
    return true;
}

void AtomicFile::Discard() {
    // Unlinked while still locked, so no clean-up meets it unlocked.
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ParseTemporaryFileName(std::string_view name, pid_t& pid) {
    if (name.size() <= kPrefix.size() + kSuffix.size() ||
        name.substr(0, kPrefix.size()) != kPrefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix)
        return false;
    std::string_view middle =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    const size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 10 || dash + 1 == middle.size() ||
        middle.size() - dash - 1 > 2 * kRandomBytes)
        return false;
    int64_t value = 0;
    for (char c : middle.substr(0, dash)) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    // Earlier versions named their files with a decimal counter here.
    for (char c : middle.substr(dash + 1))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    if (value <= 0 || value > INT32_MAX) return false;
    pid = static_cast<pid_t>(value);
    return true;
}

void RemoveStaleTemporaryFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    const uid_t user = ::geteuid();
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        pid_t pid = 0;
        if (!ParseTemporaryFileName(entry->d_name, pid)) continue;
        // Each looks at the entry's type itself (file systems without
        // entry types give DT_UNKNOWN).
        if (entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN)
            RemoveStagingIfLeftover(dirFd, entry->d_name, user, now);
        if (entry->d_type != DT_DIR) RemoveIfLeftover(dirFd, entry->d_name, user, now);
    }
    ::closedir(dir);
}

void RemoveStaleTemporaryFilesOnce(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!done.insert(folder).second) return;
    }
    RemoveStaleTemporaryFiles(folder);
}

}  // namespace tessarin
