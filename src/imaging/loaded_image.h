#pragma once
// What a format reader hands back to the image loader.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dib_image.h"

namespace tessarin {

class SourceFile;

// A colour profile's bytes (an ICC profile).
using IccProfile = std::vector<uint8_t>;

// What the panel says about the colours beyond the bit depth.
enum class ColorKind : int { None = 0, Indexed = 1, Grey = 2 };

// What a reader decoded for the format's own tiles beside the raster (colour
// tables, chunks, indices the raster cannot hold) or instead of it (the
// file's samples, when nothing shows the image). Read-only once loaded; the
// tile source of each split of the image shares it, so the file is not
// decoded again.
class TileData {
  public:
    virtual ~TileData() = default;
};

struct LoadedImage {
    std::shared_ptr<const DibImage> raster;  // null on failure, and in a load without raster
    // The picture's size when no raster was made.
    int width = 0;
    int height = 0;
    std::shared_ptr<const TileData> tileData;  // may be null
    int displayDepth = 0;                      // bits per pixel as the file stores them
    ColorKind colorKind = ColorKind::None;
    bool interlaced = false;
    // Whether the fourth byte of a 32-bit raster's pixels is their alpha
    // (a PNG or TIFF with alpha); otherwise it means nothing.
    bool alpha = false;
    // The file's colour profile (ICC), as it holds it; null when none. Every
    // tile format that can carry one carries it.
    std::shared_ptr<const IccProfile> iccProfile;
    // The grid a lossless cut of the file starts on (a JPEG's blocks, 8 or 16
    // pixels by its sampling); 0 x 0 for formats that have none.
    int blockWidth = 0;
    int blockHeight = 0;
    // The rows of bands opened for the view come reduced by this factor (a
    // JPEG file decoded at 1/2 to 1/8 of its size); `width` and `height`
    // stay the picture's own.
    int bandReduction = 1;
    std::string error;  // the failure message when raster is null
    // Set when the file's data ended or broke before its picture did: the
    // load still has what was decoded (the window may show it), but nothing
    // may be cut from it; a split of the file fails with this message.
    std::string damage;
    // What the reader has to tell the user about the file (such as a colour
    // reduction), in order. Readers never show anything: the caller does.
    std::vector<std::string> notices;
    // The file as it was opened for the load, set on success: whatever is
    // read from the file later reads this, not the name again.
    std::shared_ptr<const SourceFile> source;
};

}  // namespace tessarin
