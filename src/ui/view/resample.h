#pragma once
// The displayed image, pixel by pixel: display pixel (X, Y) of an image shown
// at `scale` (X from 0 at the image's left edge) is a function of X, Y and
// the scale alone, so any rectangle of it can be rendered on its own and
// rectangles rendered apart fit together without a seam.
//
// Reductions and 1:1 average the source pixels each display pixel covers
// (from the pyramid level nearest above the scale). Enlargements repeat
// each pixel, or interpolate between neighbours when smoothing is on. Image
// column u starts at display pixel ceil(u * scale), as the cut lines do.

#include <cstddef>
#include <cstdint>

namespace tessarin {

class ImagePyramid;

enum class ScaleFilter { Area, Nearest, Bilinear };

// Area for scale <= 1; above it Bilinear when smoothing, else Nearest.
ScaleFilter ChooseScaleFilter(double scale, bool smoothEnlargement);

// Renders display pixels [x, x + width) x [y, y + height) into `out` as
// 0xFFRRGGBB, `stride` pixels per row. The rectangle must lie inside the
// displayed image.
void RenderScaled(const ImagePyramid& pyramid, double scale, ScaleFilter filter, int x, int y,
                  int width, int height, uint32_t* out, size_t stride);

}  // namespace tessarin
