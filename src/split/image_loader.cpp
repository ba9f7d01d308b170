#include "split/image_loader.h"

#include "split/formats.h"
#include "split/geometry.h"
#include "split/messages.h"

namespace tessarin {

bool LoadCurrentImage(const std::string& path, CurrentImage& image, SplitSettings& settings,
                      JobState& job, Notifier* owner) {
    const ImageFileKind kind = ClassifyImageFile(path);
    if (kind == ImageFileKind::BadPath) {
        job.StoreError(msg::kBadPath);
        return false;
    }
    const ImageFormat* format = FindImageFormat(kind);
    if (!format) {
        job.StoreError(msg::kUnsupported);
        return false;
    }
    LoadedImage loaded;
    if (!format->load(path, owner, loaded) || !loaded.raster) {
        // The BMP readers have no messages of their own.
        job.StoreError(kind == ImageFileKind::Bmp || loaded.error.empty() ? msg::kInvalidFile
                                                                          : loaded.error);
        return false;
    }
    if (kind == ImageFileKind::Gif) loaded.colorKind = kColorKindIndexed;

    SetCurrentImage(image, std::move(loaded), path);
    MatchAspect(image.width, image.height, settings);
    return true;
}

}  // namespace tessarin
