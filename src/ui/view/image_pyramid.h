#pragma once
// What the viewer draws an image from: the raster, and reduced copies of it,
// each half the size of the one before, so that a reduced view averages a
// few pixels of the nearest level instead of thousands of the raster. Built
// once per loaded image, off the GUI thread; read-only afterwards and shared
// with the painting.
//
// The levels together take about a third of a 24-bit raster's memory. Levels
// that would take more than that for rasters of fewer bits per pixel start
// further down, and a level that cannot be allocated is left out: the viewer
// then averages more pixels of a larger one.
//
// An image that is not held whole (too large, or not decoded yet) is drawn
// from a reduced picture alone: it is the finest level, and views closer than
// it show its pixels magnified. While that picture is still being filled,
// only its first level exists and its rows past RowsDone() draw black.

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/reduced_picture.h"

namespace tessarin {

class ImagePyramid {
  public:
    using Level = ReducedPicture;

    // Never fails for a raster of at least 1 x 1; null for a null raster.
    static std::shared_ptr<const ImagePyramid> Build(std::shared_ptr<const DibImage> raster);
    // Over `picture`, reduced from an image of `width` x `height` pixels.
    // Without `complete` the picture is still being filled and gets no
    // levels below it yet. Null for a null picture.
    static std::shared_ptr<const ImagePyramid> FromReduced(std::shared_ptr<ReducedPicture> picture,
                                                           int width, int height, bool complete);

    bool HasRaster() const { return raster_ != nullptr; }
    const DibImage& Raster() const { return *raster_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The reductions, factor ascending (2, 4, 8, ... possibly from further down).
    const std::vector<std::shared_ptr<Level>>& Levels() const { return levels_; }
    // Bytes held by the levels.
    uint64_t LevelBytes() const;

    // Pixels [x, x + count) of row y (from the top) of `level`, or of the
    // raster when level is null, as 0xFFRRGGBB. The range must lie inside;
    // a level's rows not filled yet are black.
    void FetchRow(const Level* level, int y, int x, int count, uint32_t* out) const;

  private:
    ImagePyramid() = default;
    void BuildFirstLevel(int factor);
    // Level rows [from, to) of the first level from the raster.
    bool ReduceRows(Level& level, int from, int to) const;
    void BuildNextLevels();

    std::shared_ptr<const DibImage> raster_;
    int width_ = 0;
    int height_ = 0;
    uint32_t palette_[256] = {};
    std::vector<std::shared_ptr<Level>> levels_;
};

}  // namespace tessarin
