#pragma once
// What a format reader hands back to the image loader.

#include <memory>
#include <string>

#include "imaging/dib_image.h"

namespace tessarin {

enum ColorKind : int { kColorKindNone = 0, kColorKindIndexed = 1, kColorKindGrey = 2 };

struct LoadedImage {
    std::unique_ptr<DibImage> raster;  // null on failure
    int displayDepth = 0;              // bits per pixel as the file stores them
    int colorKind = kColorKindNone;
    bool interlaced = false;
    std::string error;  // the failure message when raster is null
};

}  // namespace tessarin
