#pragma once
// A picture reduced by a power of two, each pixel the average of the
// factor x factor pixels of the picture it covers (fewer at the right and
// bottom edges): what the window shows of an image too large to hold whole,
// and of a large one until its raster is decoded. Rows are filled from the
// top while the file is read; a reader on another thread sees the rows
// counted by RowsDone() complete.

#include <atomic>
#include <cstdint>
#include <memory>

#include "imaging/dib_image.h"

namespace tessarin {

class ReducedPicture {
  public:
    // For a picture of `pictureWidth` x `pictureHeight` pixels; null when
    // the sizes are not positive or memory cannot be had. Rows hold nothing
    // until they are filled: readers look no further than RowsDone().
    static std::shared_ptr<ReducedPicture> Make(int pictureWidth, int pictureHeight, int factor);
    // Bytes the reduction of a picture of that size takes.
    static uint64_t Bytes(int64_t pictureWidth, int64_t pictureHeight, int factor);

    int Factor() const { return factor_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Rows of Width() x 3 bytes (blue, green, red), top row first.
    const uint8_t* Row(int y) const { return bgr_.get() + Offset(y); }
    uint8_t* Row(int y) { return bgr_.get() + Offset(y); }
    int RowsDone() const { return rowsDone_.load(std::memory_order_acquire); }
    // Publishes rows [0, rows) as complete.
    void SetRowsDone(int rows) { rowsDone_.store(rows, std::memory_order_release); }

  private:
    ReducedPicture() = default;
    size_t Offset(int y) const { return static_cast<size_t>(y) * static_cast<size_t>(width_) * 3; }

    int factor_ = 1;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<uint8_t[]> bgr_;
    std::atomic<int> rowsDone_{0};
};

// The colours of a raster whose pixels are colour-table indices (1 to 8
// bits), as 0xFFRRGGBB; unused entries black.
void RasterPalette(const DibImage& raster, uint32_t palette[256]);
// Pixels [x, x + count) of `raster`'s row y (from the top) as 0xFFRRGGBB;
// `palette` from RasterPalette. The range must lie inside.
void RasterRowColours(const DibImage& raster, const uint32_t palette[256], int y, int x, int count,
                      uint32_t* out);

// Sums rows of `width` pixels in groups of `factor` columns and averages
// the rows added since the last Emit into one row of the reduction.
class RowReducer {
  public:
    // False from Ok() when memory cannot be had.
    RowReducer(int width, int factor);
    bool Ok() const { return sums_ != nullptr && colours_ != nullptr; }
    int OutputWidth() const { return outWidth_; }

    // One row of pixels of `step` bytes each, blue, green and red first.
    void Add(const uint8_t* pixels, int step);
    // Row y of `raster`, whatever its depth.
    void Add(const DibImage& raster, const uint32_t palette[256], int y);
    // Writes the average of the rows added into `out` (OutputWidth() x 3
    // bytes, blue, green, red) and starts the next row.
    void Emit(uint8_t* out);

  private:
    int width_;
    int factor_;
    int outWidth_;
    int rows_ = 0;
    std::unique_ptr<uint32_t[]> sums_;
    std::unique_ptr<uint32_t[]> colours_;  // one row of another depth as 0xFFRRGGBB
};

}  // namespace tessarin
