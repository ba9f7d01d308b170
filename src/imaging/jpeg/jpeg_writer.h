#pragma once
// The encoder behind JPEG files and exact JPEG tiles.

#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"

namespace tessarin::jpeg {

// Encodes the width x height pixels at (x, y) of a raster of any depth as a
// baseline JPEG at `quality` into the open file `fd` (which stays open), a
// few rows at a time from the raster (no copy of the rectangle), with the
// colour profile `profile` (may be null). Grey rasters stay grey; alpha is
// left out. False for a rectangle that is not inside the raster, or any
// library or write error.
[[nodiscard]] bool EncodeJpegRegion(int fd, const DibImage& image, int x, int y, int width,
                                    int height, int quality, const IccProfile* profile = nullptr);

}  // namespace tessarin::jpeg
