#pragma once
// Files that appear under their final name only when complete. The content is
// written into a fresh temporary file in the destination folder and renamed
// over the target; a failed or abandoned write removes the temporary file, so
// neither a half-written file nor a damaged older one is ever left under the
// final name.
//
// Temporary names are ".tessarin-<pid>-<16 random hex digits>.part". The
// random part makes them unguessable, so nobody can plant a link under a name
// that a write is about to use; the file is created exclusively and no link is
// followed, so even a planted name only makes that one attempt fail. The pid
// only tells a person which run wrote the file.
//
// A temporary file is live while its writer holds it open: the writer keeps
// an open-file-description lock (fcntl F_OFD_SETLK) on it from its creation
// until it has its final name or is removed. Such a lock is seen by every
// process on this machine whatever its PID namespace (containers), by other
// descriptions within this process, and on shared folders whose file system
// passes locks on. Process ids say nothing across namespaces or machines, so
// the clean-up goes by the lock alone, plus a margin of age for file systems
// that keep locks to one machine and for writers of earlier versions, which
// took none.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace tessarin {

// Creates `path` as a new empty file for writing: exclusively, without
// following a symbolic link, close-on-exec, mode 0666 less the umask. -1 when
// anything (a file, a folder, a link, even a dangling one) has that name
// already, or the file cannot be made.
[[nodiscard]] int CreateExclusiveFile(const std::string& path);

class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile();  // an uncommitted temporary file is closed and removed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Makes the temporary file in `folder` and locks it (see above). False
    // when it cannot be made.
    [[nodiscard]] bool Create(const std::string& folder);
    // The same in the folder of `target`, the path Commit will be given.
    [[nodiscard]] bool CreateFor(const std::string& target);
    // The open temporary file; stays owned by this object.
    int Descriptor() const { return fd_; }
    const std::string& TemporaryPath() const { return temporary_; }

    // Closes the file and renames it to `target` (which should lie in the
    // folder given to Create), replacing a file or a link of that name but
    // never a folder, device, pipe or socket. With `sync` the data is flushed
    // to the disk before the rename and the rename itself after it. False,
    // with the temporary file removed and `target` untouched, on any failure.
    [[nodiscard]] bool Commit(const std::string& target, bool sync);
    // Closes and removes the temporary file now.
    void Discard();

  private:
    int fd_ = -1;
    std::string temporary_;
};

// A fresh temporary name, ".tessarin-<pid>-<16 random hex digits>.part".
std::string NewTemporaryName();

// Locks the whole of `fd`'s open file description without waiting (type
// F_WRLCK or F_RDLCK): the lock that marks a temporary file as live.
bool LockWholeFile(int fd, short type);

// Whether `name` is a temporary name of ours; gives the writer's process id.
bool ParseTemporaryFileName(std::string_view name, pid_t& pid);

// A temporary file left unchanged this long (by its modification time) may be
// removed once no writer holds it. Ten minutes is far longer than any tile,
// manifest or settings file stays open without being written to, and short
// enough that a killed run's leftovers go with the next run soon after.
inline constexpr int kStaleTemporaryFileSeconds = 10 * 60;

// Removes the temporary files in `folder` that a killed or crashed run left
// behind: a regular file of this user, named like ours, reached without
// following a link, not locked by any writer and unchanged for
// kStaleTemporaryFileSeconds. A staging folder (see staging_folder.h) of
// this user goes the same way, with everything in it, when its lock file is
// not held. It is removed while this call holds its lock,
// and only if the name still leads to the file that was checked. Where the
// file system takes no locks, nothing is removed.
void RemoveStaleTemporaryFiles(const std::string& folder);
// The same, done only for the first call per folder in this process: a run
// that writes thousands of tiles into one folder scans it once.
void RemoveStaleTemporaryFilesOnce(const std::string& folder);

}  // namespace tessarin
