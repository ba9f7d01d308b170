#include "support.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "imaging/memory_budget.h"
#include "split/geometry.h"
#include "split/image_loader.h"
#include "split/split_job.h"
#include "split/view_loader.h"

namespace tessarin::fuzz {

namespace {
constexpr int64_t kMaxTiles = 4096;
}  // namespace

const std::string& InputFile(const uint8_t* data, size_t size, const char* extension) {
    static std::map<std::string, std::string> paths;
    std::string& path = paths[extension];
    if (path.empty()) {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = std::string(dir) + "/tessarin-fuzz-" + std::to_string(getpid()) + extension;
    }
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

void SplitAsCommandMode(const std::string& path, bool allBmp, bool exact) {
    SplitJob job;
    job.settings.widthValue[0] = 13;
    job.settings.heightValue[0] = 11;
    job.settings.offsetXValue[0] = 5;
    job.settings.offsetYValue[0] = 3;
    job.settings.threadCount = 2;
    job.settings.allBmp = allBmp;
    job.settings.formatOptions.Set("OPTION", "CORRECT_CUT", exact);
    job.settings.savePath = path + ".tiles";
    std::string error;
    std::vector<std::string> notices;
    if (!LoadImageForTiles(path, job.settings, job.image, error, notices) ||
        uint64_t(job.image.width) * uint64_t(job.image.height) > kMaxRasterPixels)
        return;
    // Tens of thousands of tiles test the file system, not the readers.
    const TileGrid grid = ComputeGridCounts(job.image.width, job.image.height, job.settings);
    if (int64_t{grid.columns} * grid.rows > kMaxTiles) return;
    std::error_code ignored;
    std::filesystem::create_directories(job.settings.savePath, ignored);
    (void)RunSplitJob(job);
    std::filesystem::remove_all(job.settings.savePath, ignored);
}

void OpenReducedForView(const std::string& path) {
    SetSplitMemoryBudget(uint64_t{1} << 20);
    ViewLoad view;
    std::string error;
    std::vector<std::string> notices;
    (void)LoadImageForView(path, view, error, notices, nullptr);
    SetSplitMemoryBudget(0);
}

}  // namespace tessarin::fuzz
