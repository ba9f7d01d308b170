#include "imaging/reduced_picture.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace tessarin {

namespace {

uint32_t Rgb(unsigned r, unsigned g, unsigned b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

int64_t Reduced(int64_t size, int factor) { return (size + factor - 1) / factor; }

}  // namespace

uint64_t ReducedPicture::Bytes(int64_t pictureWidth, int64_t pictureHeight, int factor) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || factor <= 0) return 0;
    return static_cast<uint64_t>(Reduced(pictureWidth, factor)) *
           static_cast<uint64_t>(Reduced(pictureHeight, factor)) * 3;
}

std::shared_ptr<ReducedPicture> ReducedPicture::Make(int pictureWidth, int pictureHeight,
                                                     int factor) {
    const uint64_t bytes = Bytes(pictureWidth, pictureHeight, factor);
    if (bytes == 0 || bytes > SIZE_MAX) return nullptr;
    std::shared_ptr<ReducedPicture> picture(new (std::nothrow) ReducedPicture);
    if (!picture) return nullptr;
    picture->factor_ = factor;
    picture->width_ = static_cast<int>(Reduced(pictureWidth, factor));
    picture->height_ = static_cast<int>(Reduced(pictureHeight, factor));
    picture->bgr_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
    if (!picture->bgr_) return nullptr;
    return picture;
}

void RasterPalette(const DibImage& raster, uint32_t palette[256]) {
    std::fill(palette, palette + 256, Rgb(0, 0, 0));
    if (raster.BitCount() > 8) return;
    for (int i = 0; i < (1 << raster.BitCount()) && i < 256; ++i) {
        const RgbQuad c = raster.ColorAt(i);
        palette[i] = Rgb(c.red, c.green, c.blue);
    }
}

void RasterRowColours(const DibImage& raster, const uint32_t palette[256], int y, int x, int count,
                      uint32_t* out) {
    const uint8_t* row = raster.Row(y);
    const int depth = raster.BitCount();
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
                const unsigned v = static_cast<unsigned>(p[0] | (p[1] << 8));
                *out++ = Rgb(ExpandFiveBits((v >> 10) & 31), ExpandFiveBits((v >> 5) & 31),
                             ExpandFiveBits(v & 31));
            }
            return;
        case 8:
            for (const uint8_t* p = row + x; count-- > 0; ++p) *out++ = palette[*p];
            return;
        case 1:
        case 2:
        case 4: {
            const unsigned bits = static_cast<unsigned>(depth);
            const unsigned mask = (1u << bits) - 1;
            for (size_t bit = static_cast<size_t>(x) * bits; count-- > 0; bit += bits) {
                const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
                *out++ = palette[(unsigned{row[bit / 8]} >> shift) & mask];
            }
            return;
        }
        default:
            std::fill(out, out + count, Rgb(0, 0, 0));
    }
}

RowReducer::RowReducer(int width, int factor)
    : width_(width), factor_(factor), outWidth_(static_cast<int>(Reduced(width, factor))) {
    sums_.reset(new (std::nothrow) uint32_t[size_t{3} * static_cast<size_t>(outWidth_)]());
    colours_.reset(new (std::nothrow) uint32_t[static_cast<size_t>(width_)]);
}

namespace {

// Halving, the first pyramid level of most rasters, without the inner loop.
template <int kStep>
void AddPairs(const uint8_t* p, int width, uint32_t* t) {
    for (int x = 0; x + 1 < width; x += 2, p += 2 * kStep, t += 3) {
        t[0] += static_cast<uint32_t>(p[0] + p[kStep]);
        t[1] += static_cast<uint32_t>(p[1] + p[kStep + 1]);
        t[2] += static_cast<uint32_t>(p[2] + p[kStep + 2]);
    }
    if (width % 2) {
        t[0] += p[0];
        t[1] += p[1];
        t[2] += p[2];
    }
}

}  // namespace

void RowReducer::Add(const uint8_t* p, int step) {
    uint32_t* t = sums_.get();
    if (factor_ == 2 && (step == 3 || step == 4)) {
        if (step == 3)
            AddPairs<3>(p, width_, t);
        else
            AddPairs<4>(p, width_, t);
        ++rows_;
        return;
    }
    for (int x = 0, lx = 0; lx < outWidth_; ++lx, t += 3) {
        uint32_t b = 0, g = 0, r = 0;
        for (const int end = std::min(width_, x + factor_); x < end; ++x, p += step) {
            b += p[0];
            g += p[1];
            r += p[2];
        }
        t[0] += b;
        t[1] += g;
        t[2] += r;
    }
    ++rows_;
}

void RowReducer::Add(const DibImage& raster, const uint32_t palette[256], int y) {
    const int depth = raster.BitCount();
    if (depth == 24 || depth == 32) {
        // The common photo case reads the raster's bytes directly.
        Add(raster.Row(y), depth / 8);
        return;
    }
    RasterRowColours(raster, palette, y, 0, width_, colours_.get());
    static_assert(std::endian::native == std::endian::little);  // B, G, R, A in memory order
    Add(reinterpret_cast<const uint8_t*>(colours_.get()), 4);
}

void RowReducer::Emit(uint8_t* out) {
    if (rows_ == 0) return;
    uint32_t* t = sums_.get();
    // Whole groups of a power-of-two count (all but the last row and
    // column, mostly) are averaged by a shift.
    const auto whole = static_cast<uint32_t>(factor_ * rows_);
    int lx = 0;
    if (std::has_single_bit(whole)) {
        const int shift = std::countr_zero(whole);
        for (const int fullColumns = width_ / factor_; lx < fullColumns; ++lx, t += 3, out += 3)
            for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((t[c] + whole / 2) >> shift);
    }
    for (; lx < outWidth_; ++lx, t += 3, out += 3) {
        const int x0 = lx * factor_;
        const auto n = static_cast<uint32_t>((std::min(width_, x0 + factor_) - x0) * rows_);
        for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((t[c] + n / 2) / n);
    }
    std::memset(sums_.get(), 0, sizeof(uint32_t) * 3 * static_cast<size_t>(outWidth_));
    rows_ = 0;
}

}  // namespace tessarin
