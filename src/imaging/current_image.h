#pragma once
// A loaded image: the raster and what the viewer and the split need to know
// about its file. The raster is immutable once loaded, so the viewer may keep
// painting it while a split job cuts it; copying the record shares it.

#include <memory>
#include <string>

#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"

namespace tessarin {

struct CurrentImage {
    // Shared with running splits and the viewer. Null only for an image
    // loaded for a split without a viewer whose tiles are not cut from it.
    std::shared_ptr<const DibImage> raster;
    std::shared_ptr<const TileData> tileData;  // see TileData; may be null
    std::string path;
    int width = 0;
    int height = 0;  // a positive count whatever the raster's orientation
    int displayDepth = 0;
    int colorKind = kColorKindNone;
    bool interlaced = false;
};

// Makes a reader's result the current image of `path`.
inline void SetCurrentImage(CurrentImage& image, LoadedImage&& loaded, const std::string& path) {
    image.width = loaded.raster ? loaded.raster->Width() : loaded.width;
    image.height = loaded.raster ? loaded.raster->AbsHeight() : loaded.height;
    image.raster = std::move(loaded.raster);
    image.tileData = std::move(loaded.tileData);
    image.path = path;
    image.displayDepth = loaded.displayDepth;
    image.colorKind = loaded.colorKind;
    image.interlaced = loaded.interlaced;
}

}  // namespace tessarin
