#include "ui/view/image_pyramid.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>

namespace tessarin {

namespace {

// The first level may take up to 3/8 of the raster's bytes; the levels
// below it add a third of the first.
constexpr uint64_t kFirstLevelShareNum = 3, kFirstLevelShareDen = 8;
// Beyond this the first level would average too many raster pixels per
// pixel; rasters this thin in bits do not need a level that fine anyway.
constexpr int kMaxFirstFactor = 64;

}  // namespace

std::shared_ptr<const ImagePyramid> ImagePyramid::Build(std::shared_ptr<const DibImage> raster) {
    if (!raster || raster->Width() <= 0 || raster->AbsHeight() <= 0) return nullptr;
    std::shared_ptr<ImagePyramid> pyramid(new (std::nothrow) ImagePyramid);
    if (!pyramid) return nullptr;
    pyramid->raster_ = std::move(raster);
    const DibImage& r = *pyramid->raster_;
    pyramid->width_ = r.Width();
    pyramid->height_ = r.AbsHeight();
    RasterPalette(r, pyramid->palette_);

    const uint64_t rasterBytes = r.ImageSize();
    int factor = 2;
    while (factor < kMaxFirstFactor &&
           ReducedPicture::Bytes(pyramid->width_, pyramid->height_, factor) * kFirstLevelShareDen >
               rasterBytes * kFirstLevelShareNum)
        factor *= 2;
    if (pyramid->width_ == 1 && pyramid->height_ == 1) return pyramid;
    pyramid->BuildFirstLevel(factor);
    pyramid->BuildNextLevels();
    return pyramid;
}

std::shared_ptr<const ImagePyramid> ImagePyramid::FromReduced(
    std::shared_ptr<ReducedPicture> picture, int width, int height, bool complete) {
    if (!picture) return nullptr;
    std::shared_ptr<ImagePyramid> pyramid(new (std::nothrow) ImagePyramid);
    if (!pyramid) return nullptr;
    pyramid->width_ = width;
    pyramid->height_ = height;
    pyramid->levels_.push_back(std::move(picture));
    if (complete) pyramid->BuildNextLevels();
    return pyramid;
}

uint64_t ImagePyramid::LevelBytes() const {
    uint64_t total = 0;
    for (const auto& level : levels_)
        total += uint64_t{3} * static_cast<uint64_t>(level->Width()) *
                 static_cast<uint64_t>(level->Height());
    return total;
}

void ImagePyramid::FetchRow(const Level* level, int y, int x, int count, uint32_t* out) const {
    if (!level) {
        RasterRowColours(*raster_, palette_, y, x, count, out);
        return;
    }
    if (y >= level->RowsDone()) {
        std::fill(out, out + count, 0xFF000000u);
        return;
    }
    const uint8_t* p = level->Row(y) + static_cast<size_t>(x) * 3;
    for (int i = 0; i < count; ++i, p += 3)
        out[i] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

void ImagePyramid::BuildFirstLevel(int factor) {
    std::shared_ptr<Level> level = ReducedPicture::Make(width_, height_, factor);
    if (!level) return;
    // The first level reads the whole raster: two threads share its rows.
    const int half = level->Height() / 2;
    bool second = false;
    std::thread helper;
    try {
        helper = std::thread([&] { second = ReduceRows(*level, half, level->Height()); });
    } catch (const std::system_error&) {
        second = ReduceRows(*level, half, level->Height());
    }
    const bool first = ReduceRows(*level, 0, half);
    if (helper.joinable()) helper.join();
    if (!first || !second) return;
    level->SetRowsDone(level->Height());
    levels_.push_back(std::move(level));
}

bool ImagePyramid::ReduceRows(Level& level, int from, int to) const {
    const int factor = level.Factor();
    RowReducer reducer(width_, factor);
    if (!reducer.Ok()) return false;
    for (int ly = from; ly < to; ++ly) {
        const int y1 = std::min(height_, (ly + 1) * factor);
        for (int y = ly * factor; y < y1; ++y) reducer.Add(*raster_, palette_, y);
        reducer.Emit(level.Row(ly));
    }
    return true;
}

// Each level halves the one before, down to a single pixel.
void ImagePyramid::BuildNextLevels() {
    while (!levels_.empty() && (levels_.back()->Width() > 1 || levels_.back()->Height() > 1)) {
        const Level& from = *levels_.back();
        std::shared_ptr<Level> level = ReducedPicture::Make(width_, height_, from.Factor() * 2);
        if (!level) return;
        RowReducer reducer(from.Width(), 2);
        if (!reducer.Ok()) return;
        for (int ly = 0; ly < level->Height(); ++ly) {
            reducer.Add(from.Row(2 * ly), 3);
            if (2 * ly + 1 < from.Height()) reducer.Add(from.Row(2 * ly + 1), 3);
            reducer.Emit(level->Row(ly));
        }
        level->SetRowsDone(level->Height());
        levels_.push_back(std::move(level));
    }
}

}  // namespace tessarin
