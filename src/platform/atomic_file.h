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
// lets a later run remove what a killed run left behind.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace tessarin {

// Creates `path` as a new empty file for writing: exclusively, without
// following a symbolic link, close-on-exec, mode 0666 less the umask. -1 when
// anything (a file, a folder, a link, even a dangling one) has that name
// already, or the file cannot be made.
int CreateExclusiveFile(const std::string& path);

class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile();  // an uncommitted temporary file is closed and removed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Makes the temporary file in `folder`. False when it cannot be made.
    bool Create(const std::string& folder);
    // The same in the folder of `target`, the path Commit will be given.
    bool CreateFor(const std::string& target);
    // The open temporary file; stays owned by this object.
    int Descriptor() const { return fd_; }
    const std::string& TemporaryPath() const { return temporary_; }

    // Closes the file and renames it to `target` (which should lie in the
    // folder given to Create), replacing a file or a link of that name but
    // never a folder, device, pipe or socket. With `sync` the data is flushed
    // to the disk before the rename and the rename itself after it. False,
    // with the temporary file removed and `target` untouched, on any failure.
    bool Commit(const std::string& target, bool sync);
    // Closes and removes the temporary file now.
    void Discard();

  private:
    int fd_ = -1;
    std::string temporary_;
};

// Whether `name` is a temporary name of ours; gives the writer's process id.
bool ParseTemporaryFileName(std::string_view name, pid_t& pid);

// Removes the temporary files in `folder` whose writing process no longer
// exists (a run killed before it could clean up). Files of live processes,
// of other users, and anything not named like ours are left alone.
void RemoveStaleTemporaryFiles(const std::string& folder);
// The same, done only for the first call per folder in this process: a run
// that writes thousands of tiles into one folder scans it once.
void RemoveStaleTemporaryFilesOnce(const std::string& folder);

}  // namespace tessarin
