#pragma once
// Cutting one file in tests, as the program does.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "split/image_loader.h"
#include "split/split_job.h"
#include "support/test_files.h"

namespace tessarin::testing {

// Cuts `path` with `settings` into `folder` (made here, and the settings'
// save folder), as the window cuts a loaded image (`banded` false) or as the
// command mode does, band by band where the format reads so. A file loaded
// with damage is not cut: its message is the result's.
inline SplitResult CutFile(const std::string& path, SplitSettings settings, bool banded,
                           const std::string& folder) {
    settings.savePath = folder;
    std::filesystem::create_directories(folder);
    SplitJob job;
    std::string error;
    std::vector<std::string> notices;
    const bool loaded = banded ? LoadImageForTiles(path, settings, job.image, error, notices)
                               : LoadImageFile(path, job.image, error, notices);
    SplitResult failed;
    failed.message = loaded ? job.image.damage : error;
    if (!failed.message.empty() || !loaded) return failed;
    job.settings = settings;
    return RunSplitJob(job);
}

// Every file of `folder` by its name, with its bytes.
inline std::map<std::string, std::vector<uint8_t>> ReadFolder(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadBytes(entry.path().string());
    return files;
}

}  // namespace tessarin::testing
