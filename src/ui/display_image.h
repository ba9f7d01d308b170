#pragma once
// The current image as the viewer draws it: 32-bit RGB, made once per load on
// the loading thread so that painting never converts pixels.

#include <QImage>

namespace tessarin {

class DibImage;

struct DisplayImage {
    QImage pixels;      // null when the raster could not be converted
    int reduction = 1;  // every reduction-th pixel of each row and column
};

// Pixels of a display image at most; larger rasters are shown by sampling.
inline constexpr qint64 kMaxDisplayPixels = qint64{1} << 27;

DisplayImage MakeDisplayImage(const DibImage& raster);

}  // namespace tessarin
