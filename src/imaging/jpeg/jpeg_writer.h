#pragma once
// The encoder behind JPEG files and exact JPEG tiles.

#include "imaging/dib_image.h"

namespace tessarin::jpeg {

// Encodes the width x height pixels at (x, y) of an 8-bit (grey) or 24-bit
// (blue-green-red) raster as a baseline JPEG at `quality` into the open file
// `fd` (which stays open), a few rows at a time from the raster (no copy of
// the rectangle). False for any other depth, a rectangle that is not inside
// the raster, or any library or write error.
[[nodiscard]] bool EncodeJpegRegion(int fd, const DibImage& image, int x, int y, int width,
                                    int height, int quality);

}  // namespace tessarin::jpeg
