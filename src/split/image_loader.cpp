#include "split/image_loader.h"

#include <iterator>

#include "split/formats.h"
#include "split/geometry.h"
#include "split/messages.h"

namespace tessarin {

namespace {

bool Load(const std::string& path, const SplitSettings* forTiles, CurrentImage& out,
          std::string& error, std::vector<std::string>& notices) {
    const ImageFileKind kind = ClassifyImageFile(path);
    if (kind == ImageFileKind::BadPath) {
        error = msg::kBadPath;
        return false;
    }
    const ImageFormat* format = FindImageFormat(kind);
    if (!format) {
        error = msg::kUnsupported;
        return false;
    }
    // Opened once: the reader and every tile source made later read this
    // open file. When it cannot be opened, the reader gives its message.
    const SourceFilePtr file = SourceFile::Open(path);
    if (forTiles && format->openBands) {
        LoadedImage header;
        std::unique_ptr<RowBands> bands;
        const bool opened = format->openBands(file, SplitTileSettings(*forTiles), header, bands);
        if (!opened || bands) {
            notices.insert(notices.end(), std::make_move_iterator(header.notices.begin()),
                           std::make_move_iterator(header.notices.end()));
            if (!opened) {
                error = header.error.empty() ? msg::kInvalidFile : header.error;
                return false;
            }
            SetCurrentImage(out, std::move(header), path);
            out.bands = std::move(bands);
            return true;
        }
        // Not cut by bands: loaded whole below.
    }
    LoadedImage loaded;
    const bool withoutRaster = forTiles && !forTiles->allBmp && format->loadForTiles;
    const bool loadedOk = withoutRaster ? format->loadForTiles(file, loaded)
                                        : format->load(file, loaded) && loaded.raster;
    notices.insert(notices.end(), std::make_move_iterator(loaded.notices.begin()),
                   std::make_move_iterator(loaded.notices.end()));
    if (!loadedOk) {
        error = format->loadFailed     ? format->loadFailed
                : loaded.error.empty() ? msg::kInvalidFile
                                       : loaded.error;
        return false;
    }
    SetCurrentImage(out, std::move(loaded), path);
    return true;
}

}  // namespace

bool LoadImageFile(const std::string& path, CurrentImage& out, std::string& error,
                   std::vector<std::string>& notices) {
    return Load(path, nullptr, out, error, notices);
}

bool LoadImageForTiles(const std::string& path, const SplitSettings& settings, CurrentImage& out,
                       std::string& error, std::vector<std::string>& notices) {
    return Load(path, &settings, out, error, notices);
}

void CommitImage(CurrentImage& current, CurrentImage&& loaded, SplitSettings& settings) {
    current = std::move(loaded);
    MatchAspect(current.width, current.height, settings);
}

bool LoadCurrentImage(const std::string& path, CurrentImage& image, SplitSettings& settings,
                      JobState& job) {
    CurrentImage loaded;
    std::string error;
    std::vector<std::string> notices;
    if (!LoadImageFile(path, loaded, error, notices)) {
        job.StoreError(error);
        return false;
    }
    CommitImage(image, std::move(loaded), settings);
    return true;
}

}  // namespace tessarin
