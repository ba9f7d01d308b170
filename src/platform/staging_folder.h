#pragma once
// A file's tiles appear together or not at all. Each is written into a
// private folder inside the output folder (the staging folder, named like a
// temporary file, readable by its owner alone) and, once every tile of the
// file is whole, all of them get their final names in one pass. A failure or
// a stop removes the staging folder with everything in it: no new tile
// appears, and older tiles of the same names stay as they were.
//
// Everything is reached through the descriptors of the two folders, never by
// their names again, so a link planted at either name later changes nothing.
// The staging folder holds a lock file, locked while its writer lives, so
// that the clean-up of killed runs (RemoveStaleTemporaryFiles) passes it by.

#include <mutex>
#include <string>
#include <vector>

namespace tessarin {

// The lock file inside every staging folder.
inline constexpr const char* kStagingLockName = "lock";

// Removes every entry of the folder `folderFd` that is not a folder, except
// the one named `except` (when given).
void RemoveFilesIn(int folderFd, const char* except = nullptr);

class StagingFolder {
  public:
    StagingFolder() = default;
    ~StagingFolder();  // what was not committed is removed
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    // Opens the output folder `folder` (with `noFollow`, refusing a link at
    // its own name) and makes the staging folder in it. False when either
    // cannot be had.
    [[nodiscard]] bool Open(const std::string& folder, bool noFollow);
    // A new empty file in the staging folder, open for writing (the caller
    // closes it); its path in `path` for tools that open it by name. -1 on
    // failure. Safe from several threads at once.
    [[nodiscard]] int CreateFile(std::string& path);
    // Keeps the file at `path` (from CreateFile, whole and closed) for the
    // final name `name` in the output folder. Safe from several threads.
    void Keep(const std::string& path, const std::string& name);
    // The final names kept so far, in the order they were kept.
    std::vector<std::string> KeptNames() const;
    // Gives every kept file its final name, replacing a file or a link of
    // that name (never following it) but nothing else. All or none: when
    // one rename fails, those done are undone where the file system can
    // swap names, and false is returned. The staging folder goes either way.
    // Called once every writer is done. With nothing kept, true even when
    // the folder could not be opened.
    [[nodiscard]] bool Commit();
    // Removes the staging folder and everything in it now.
    void Discard();

  private:
    struct Kept {
        std::string staged;  // name in the staging folder
        std::string name;    // final name in the output folder
    };
    int folderFd_ = -1;   // the output folder
    int stagingFd_ = -1;  // the staging folder
    int lockFd_ = -1;
    std::string stagingName_;
    std::string stagingPath_;
    mutable std::mutex mutex_;
    unsigned long next_ = 0;
    std::vector<Kept> kept_;
};

}  // namespace tessarin
