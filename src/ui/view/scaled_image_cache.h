#pragma once
// The displayed image in tiles of 128 x 128 display pixels, rendered once per
// zoom and filter and kept while the image scrolls: a paint draws the tiles
// its exposed rectangle needs and renders only those it has not seen.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "ui/view/resample.h"

class QPainter;

namespace tessarin {

class ImagePyramid;

class ScaledImageCache {
  public:
    static constexpr int kTileSize = 128;

    // Forgets every tile when the image changes.
    void SetSource(std::shared_ptr<const ImagePyramid> source);
    const std::shared_ptr<const ImagePyramid>& Source() const { return source_; }
    // The tiles kept beyond those on view are dropped, oldest first, above this.
    void SetBudget(size_t bytes) { budget_ = bytes; }
    size_t Bytes() const { return bytes_; }

    // Draws the part of the image inside `exposed` (window coordinates), the
    // image's top-left corner at `origin`, displayed `displayed` pixels large.
    void Draw(QPainter& painter, const QRect& exposed, QPoint origin, QSize displayed, double scale,
              ScaleFilter filter);

  private:
    struct Tile {
        QImage image;
        uint64_t used = 0;
    };
    void Clear();
    void Trim();

    std::shared_ptr<const ImagePyramid> source_;
    double scale_ = 0;
    ScaleFilter filter_ = ScaleFilter::Area;
    std::unordered_map<uint64_t, Tile> tiles_;
    uint64_t clock_ = 0;
    size_t bytes_ = 0;
    size_t budget_ = size_t{32} << 20;
};

}  // namespace tessarin
