#pragma once
// The one loaded image shared by the viewer and the split. Written only by the
// image loader, and only while no tile worker runs.

#include <memory>
#include <string>

#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"

namespace tessarin {

struct CurrentImage {
    std::unique_ptr<DibImage> raster;
    std::string path;
    int width = 0;
    int height = 0;  // a positive count whatever the raster's orientation
    int displayDepth = 0;
    int colorKind = kColorKindNone;
    bool interlaced = false;
};

}  // namespace tessarin
