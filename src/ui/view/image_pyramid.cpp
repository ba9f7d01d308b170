#include "ui/view/image_pyramid.h"

#include <algorithm>
#include <bit>
#include <new>
#include <system_error>
#include <thread>

namespace tessarin {

namespace {

uint32_t Rgb(unsigned r, unsigned g, unsigned b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

unsigned Expand5(unsigned v) { return (v << 3) | (v >> 2); }

// Sizes and indices that are never negative, for address arithmetic.
size_t Size(int v) { return static_cast<size_t>(v); }

uint64_t LevelSize(int width, int height, int factor) {
    const uint64_t f = static_cast<uint64_t>(factor);
    const uint64_t w = (static_cast<uint64_t>(width) + f - 1) / f;
    const uint64_t h = (static_cast<uint64_t>(height) + f - 1) / f;
    return w * h * 3;
}

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
    if (r.BitCount() <= 8)
        for (int i = 0; i < (1 << r.BitCount()) && i < 256; ++i) {
            const RgbQuad c = r.ColorAt(i);
            pyramid->palette_[i] = Rgb(c.red, c.green, c.blue);
        }

    const uint64_t rasterBytes = r.ImageSize();
    int factor = 2;
    while (factor < kMaxFirstFactor &&
           LevelSize(pyramid->width_, pyramid->height_, factor) * kFirstLevelShareDen >
               rasterBytes * kFirstLevelShareNum)
        factor *= 2;
    if (pyramid->width_ == 1 && pyramid->height_ == 1) return pyramid;
    pyramid->BuildFirstLevel(factor);
    while (!pyramid->levels_.empty() &&
           (pyramid->levels_.back().width > 1 || pyramid->levels_.back().height > 1)) {
        const size_t before = pyramid->levels_.size();
        pyramid->BuildNextLevel();
        if (pyramid->levels_.size() == before) break;
    }
    return pyramid;
}

uint64_t ImagePyramid::LevelBytes() const {
    uint64_t total = 0;
    for (const Level& level : levels_)
        total += uint64_t{3} * Size(level.width) * Size(level.height);
    return total;
}

void ImagePyramid::FetchRow(const Level* level, int y, int x, int count, uint32_t* out) const {
    if (level) {
        const uint8_t* p = level->bgr.get() + (Size(y) * Size(level->width) + Size(x)) * 3;
        for (int i = 0; i < count; ++i, p += 3) out[i] = Rgb(p[2], p[1], p[0]);
        return;
    }
    const DibImage& r = *raster_;
    const uint8_t* row = r.Row(y);
    const int depth = r.BitCount();
    switch (depth) {
        case 32:
            for (const uint8_t* p = row + static_cast<size_t>(x) * 4; count-- > 0; p += 4)
                *out++ = Rgb(p[2], p[1], p[0]);
            return;
        case 24:
            for (const uint8_t* p = row + static_cast<size_t>(x) * 3; count-- > 0; p += 3)
                *out++ = Rgb(p[2], p[1], p[0]);
            return;
        case 16:
            for (const uint8_t* p = row + static_cast<size_t>(x) * 2; count-- > 0; p += 2) {
                const unsigned v = p[0] | (p[1] << 8);
                *out++ = Rgb(Expand5((v >> 10) & 31), Expand5((v >> 5) & 31), Expand5(v & 31));
            }
            return;
        case 8:
            for (const uint8_t* p = row + x; count-- > 0; ++p) *out++ = palette_[*p];
            return;
        case 1:
        case 2:
        case 4: {
            const unsigned bits = static_cast<unsigned>(depth);
            const unsigned mask = (1u << bits) - 1;
            for (size_t bit = Size(x) * bits; count-- > 0; bit += bits) {
                const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
                *out++ = palette_[(unsigned{row[bit / 8]} >> shift) & mask];
            }
            return;
        }
        default:
            std::fill(out, out + count, Rgb(0, 0, 0));
    }
}

void ImagePyramid::BuildFirstLevel(int factor) {
    Level level;
    level.factor = factor;
    level.width = static_cast<int>((static_cast<int64_t>(width_) + factor - 1) / factor);
    level.height = static_cast<int>((static_cast<int64_t>(height_) + factor - 1) / factor);
    level.bgr.reset(new (std::nothrow)
                        uint8_t[static_cast<size_t>(LevelSize(width_, height_, factor))]);
    if (!level.bgr) return;
    // The first level reads the whole raster: two threads share its rows.
    const int half = level.height / 2;
    bool second = false;
    std::thread helper;
    try {
        helper = std::thread([&] { second = ReduceRows(level, half, level.height); });
    } catch (const std::system_error&) {
        second = ReduceRows(level, half, level.height);
    }
    const bool first = ReduceRows(level, 0, half);
    if (helper.joinable()) helper.join();
    if (first && second) levels_.push_back(std::move(level));
}

bool ImagePyramid::ReduceRows(Level& level, int from, int to) const {
    const int factor = level.factor;
    std::unique_ptr<uint32_t[]> sums(new (std::nothrow) uint32_t[size_t{3} * Size(level.width)]);
    std::unique_ptr<uint32_t[]> row(new (std::nothrow) uint32_t[static_cast<size_t>(width_)]);
    if (!sums || !row) return false;
    const int depth = raster_->BitCount();
    for (int ly = from; ly < to; ++ly) {
        std::fill(sums.get(), sums.get() + size_t{3} * Size(level.width), 0u);
        const int y0 = ly * factor;
        const int y1 = std::min(height_, y0 + factor);
        for (int y = y0; y < y1; ++y) {
            const uint8_t* p = nullptr;
            int step = 4;
            if (depth == 24 || depth == 32) {
                // The common photo case reads the raster's bytes directly.
                p = raster_->Row(y);
                step = depth / 8;
            } else {
                FetchRow(nullptr, y, 0, width_, row.get());
                p = reinterpret_cast<const uint8_t*>(row.get());  // B, G, R, A in memory order
                static_assert(std::endian::native == std::endian::little);
            }
            uint32_t* t = sums.get();
            for (int x = 0, lx = 0; lx < level.width; ++lx, t += 3) {
                uint32_t b = 0, g = 0, r = 0;
                for (const int end = std::min(width_, x + factor); x < end; ++x, p += step) {
                    b += p[0];
                    g += p[1];
                    r += p[2];
                }
                t[0] += b;
                t[1] += g;
                t[2] += r;
            }
        }
        uint8_t* out = level.bgr.get() + Size(ly) * Size(level.width) * 3;
        for (int lx = 0; lx < level.width; ++lx) {
            const int x0 = lx * factor;
            const uint32_t n =
                static_cast<uint32_t>((std::min(width_, x0 + factor) - x0) * (y1 - y0));
            const size_t at = size_t{3} * Size(lx);
            for (size_t c = 0; c < 3; ++c)
                out[at + c] = static_cast<uint8_t>((sums[at + c] + n / 2) / n);
        }
    }
    return true;
}

void ImagePyramid::BuildNextLevel() {
    const Level& from = levels_.back();
    Level level;
    level.factor = from.factor * 2;
    level.width = (from.width + 1) / 2;
    level.height = (from.height + 1) / 2;
    level.bgr.reset(new (std::nothrow) uint8_t[size_t{3} * Size(level.width) * Size(level.height)]);
    if (!level.bgr) return;
    const size_t fromStride = size_t{3} * Size(from.width);
    for (int ly = 0; ly < level.height; ++ly) {
        const uint8_t* a = from.bgr.get() + fromStride * Size(2 * ly);
        const uint8_t* b = 2 * ly + 1 < from.height ? a + fromStride : a;
        uint8_t* out = level.bgr.get() + size_t{3} * Size(level.width) * Size(ly);
        for (int lx = 0; lx < level.width; ++lx) {
            const int x0 = 2 * lx;
            const int x1 = x0 + 1 < from.width ? x0 + 1 : x0;
            for (int c = 0; c < 3; ++c) {
                const unsigned sum = static_cast<unsigned>(a[x0 * 3 + c] + a[x1 * 3 + c] +
                                                           b[x0 * 3 + c] + b[x1 * 3 + c]);
                out[lx * 3 + c] = static_cast<uint8_t>((sum + 2) / 4);
            }
        }
    }
    levels_.push_back(std::move(level));
}

}  // namespace tessarin
