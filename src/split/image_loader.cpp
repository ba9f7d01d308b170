#include "split/image_loader.h"

#include "split/formats.h"
#include "split/geometry.h"
#include "split/messages.h"

namespace tessarin {

namespace {

bool Load(const std::string& path, Notifier* owner, const SplitSettings* forTiles,
          CurrentImage& out, std::string& error) {
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
    LoadedImage loaded;
    const bool withoutRaster = forTiles && !forTiles->allBmp && format->loadForTiles;
    const bool loadedOk = withoutRaster ? format->loadForTiles(file, loaded)
                                        : format->load(file, owner, loaded) && loaded.raster;
    if (!loadedOk) {
        // The BMP readers have no messages of their own.
        error =
            kind == ImageFileKind::Bmp || loaded.error.empty() ? msg::kInvalidFile : loaded.error;
        return false;
    }
    if (kind == ImageFileKind::Gif) loaded.colorKind = kColorKindIndexed;
    SetCurrentImage(out, std::move(loaded), path);
    return true;
}

}  // namespace

bool LoadImageFile(const std::string& path, Notifier* owner, CurrentImage& out,
                   std::string& error) {
    return Load(path, owner, nullptr, out, error);
}

bool LoadImageForTiles(const std::string& path, const SplitSettings& settings, Notifier* owner,
                       CurrentImage& out, std::string& error) {
    return Load(path, owner, &settings, out, error);
}

void CommitImage(CurrentImage& current, CurrentImage&& loaded, SplitSettings& settings) {
    current = std::move(loaded);
    MatchAspect(current.width, current.height, settings);
}

bool LoadCurrentImage(const std::string& path, CurrentImage& image, SplitSettings& settings,
                      JobState& job, Notifier* owner) {
    CurrentImage loaded;
    std::string error;
    if (!LoadImageFile(path, owner, loaded, error)) {
        job.StoreError(error);
        return false;
    }
    CommitImage(image, std::move(loaded), settings);
    return true;
}

}  // namespace tessarin
