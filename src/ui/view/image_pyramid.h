#pragma once
// The raster on view and reduced copies of it, each half the size of the one
// before, so that a reduced view averages a few pixels of the nearest level
// instead of thousands of the raster. Built once per loaded image, off the
// GUI thread; read-only afterwards and shared with the painting.
//
// The levels together take about a third of a 24-bit raster's memory. Levels
// that would take more than that for rasters of fewer bits per pixel start
// further down, and a level that cannot be allocated is left out: the viewer
// then averages more pixels of a larger one.

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/dib_image.h"

namespace tessarin {

class ImagePyramid {
  public:
    struct Level {
        int factor = 1;  // a level pixel covers factor x factor raster pixels
        int width = 0;
        int height = 0;
        std::unique_ptr<uint8_t[]> bgr;  // rows of width x 3 bytes, top row first
    };

    // Never fails for a raster of at least 1 x 1; null for a null raster.
    static std::shared_ptr<const ImagePyramid> Build(std::shared_ptr<const DibImage> raster);

    const DibImage& Raster() const { return *raster_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The reductions, factor ascending (2, 4, 8, ... possibly from further down).
    const std::vector<Level>& Levels() const { return levels_; }
    // Bytes held by the levels.
    uint64_t LevelBytes() const;

    // Pixels [x, x + count) of row y (from the top) of `level`, or of the
    // raster when level is null, as 0xFFRRGGBB. The range must lie inside.
    void FetchRow(const Level* level, int y, int x, int count, uint32_t* out) const;

  private:
    ImagePyramid() = default;
    void BuildFirstLevel(int factor);
    // Level rows [from, to) of the first level from the raster.
    bool ReduceRows(Level& level, int from, int to) const;
    void BuildNextLevel();

    std::shared_ptr<const DibImage> raster_;
    int width_ = 0;
    int height_ = 0;
    uint32_t palette_[256] = {};
    std::vector<Level> levels_;
};

}  // namespace tessarin
