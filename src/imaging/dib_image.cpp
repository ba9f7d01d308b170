#include "imaging/dib_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/checked_size.h"

namespace tessarin {

uint64_t DibStride(int64_t width, int bitCount) {
    if (width <= 0 || bitCount <= 0) return 0;
    const std::optional<uint64_t> bits =
        CheckedSize(static_cast<uint64_t>(width), static_cast<uint64_t>(bitCount), 1, 31);
    return bits ? *bits / 32 * 4 : 0;
}

bool DibSizeAcceptable(int64_t width, int64_t height, int bitCount) {
    switch (bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return false;
    }
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
    const auto w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height);
    return CheckedSize(w, h, 1, 0, kMaxRasterPixels) &&
           CheckedSize(DibStride(width, bitCount), h, 1, 0, kMaxRasterBytes);
}

std::unique_ptr<DibImage> DibImage::Create(const BitmapInfoHeader& header, const RgbQuad* colors,
                                           int colorCount, bool zeroed) {
    int64_t absHeight =
        header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
    if (!DibSizeAcceptable(header.biWidth, absHeight, header.biBitCount)) return nullptr;
    std::unique_ptr<DibImage> image(new (std::nothrow) DibImage());
    if (!image) return nullptr;
    image->header_ = header;
    image->header_.biSize = 40;
    image->header_.biPlanes = 1;
    image->header_.biCompression = 0;
    image->stride_ = static_cast<size_t>(DibStride(header.biWidth, header.biBitCount));
    image->header_.biSizeImage =
        static_cast<uint32_t>(image->stride_ * static_cast<size_t>(absHeight));
    size_t bytes = image->stride_ * static_cast<size_t>(absHeight);
    image->bits_.reset(zeroed ? new (std::nothrow) uint8_t[bytes]()
                              : new (std::nothrow) uint8_t[bytes]);
    if (!image->bits_) return nullptr;
    if (header.biBitCount <= 8) {
        try {
            image->colors_.assign(size_t{1} << header.biBitCount, RgbQuad{});
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        int n = std::clamp(colorCount, 0, static_cast<int>(image->colors_.size()));
        if (colors) std::copy(colors, colors + n, image->colors_.begin());
    }
    return image;
}

int DibImage::ColorEntryCount() const {
    if (header_.biClrUsed != 0) return static_cast<int>(std::min<uint32_t>(header_.biClrUsed, 256));
    switch (header_.biBitCount) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

RgbQuad DibImage::ColorAt(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= colors_.size()) return RgbQuad{};
    return colors_[static_cast<size_t>(i)];
}

void CopyRowSegment(const DibImage& source, int x, int y, int width, uint8_t* out) {
    const uint8_t* row = source.Row(y);
    const int depth = source.BitCount();
    if (depth >= 8) {
        const size_t bpp = static_cast<size_t>(depth / 8);
        std::memcpy(out, row + static_cast<size_t>(x) * bpp, static_cast<size_t>(width) * bpp);
        return;
    }
    // 1- and 4-bit: pixels packed from the high bits of each byte.
    const uint64_t firstBit = static_cast<uint64_t>(x) * static_cast<uint64_t>(depth);
    const uint64_t bitCount = static_cast<uint64_t>(width) * static_cast<uint64_t>(depth);
    const size_t outBytes = static_cast<size_t>((bitCount + 7) / 8);
    const unsigned shift = static_cast<unsigned>(firstBit % 8);
    const uint8_t* in = row + firstBit / 8;
    if (shift == 0) {
        std::memcpy(out, in, outBytes);
    } else {
        // Bytes past the source row are never read: the last output byte needs
        // in[i + 1] only when its bits reach into it.
        const uint64_t lastSourceByte = (firstBit + bitCount - 1) / 8 - firstBit / 8;
        for (size_t i = 0; i < outBytes; ++i) {
            unsigned v = static_cast<unsigned>(in[i]) << shift;
            if (i + 1 <= lastSourceByte) v |= static_cast<unsigned>(in[i + 1]) >> (8 - shift);
            out[i] = static_cast<uint8_t>(v);
        }
    }
    const unsigned tailBits = static_cast<unsigned>(bitCount % 8);
    if (tailBits != 0) out[outBytes - 1] &= static_cast<uint8_t>(0xFF00u >> tailBits);
}

std::unique_ptr<DibImage> CropDibImage(const DibImage& source, int x, int y, int width,
                                       int height) {
    if (!RegionInside(x, y, width, height, source.Width(), source.AbsHeight())) return nullptr;
    BitmapInfoHeader header = source.Header();
    header.biWidth = width;
    header.biHeight = height;
    auto tile =
        DibImage::Create(header, source.Colors().data(), static_cast<int>(source.Colors().size()));
    if (!tile) return nullptr;
    const size_t stride = tile->Stride();
    for (int r = 0; r < height; ++r) {
        uint8_t* out = tile->Row(r);
        CopyRowSegment(source, x, y + r, width, out);
        size_t used = static_cast<size_t>(
            (static_cast<uint64_t>(width) * static_cast<uint64_t>(source.BitCount()) + 7) / 8);
        std::memset(out + used, 0, stride - used);
    }
    return tile;
}

std::unique_ptr<DibImage> ReduceDibDepth(const DibImage& source, int bitCount) {
    if (source.BitCount() != 8 || (bitCount != 1 && bitCount != 4)) return nullptr;
    BitmapInfoHeader header = source.Header();
    header.biBitCount = static_cast<uint16_t>(bitCount);
    const int entries = 1 << bitCount;
    auto result = DibImage::Create(header, source.Colors().data(), entries, true);
    if (!result) return nullptr;
    // Index map: each source entry to the first destination entry of the same
    // colour, else the nearest one.
    uint8_t map[256];
    const auto& dest = result->Colors();
    for (int i = 0; i < 256; ++i) {
        RgbQuad c = source.ColorAt(i);
        int best = 0;
        long bestDistance = -1;
        for (int j = 0; j < entries; ++j) {
            long db = long{c.blue} - dest[static_cast<size_t>(j)].blue;
            long dg = long{c.green} - dest[static_cast<size_t>(j)].green;
            long dr = long{c.red} - dest[static_cast<size_t>(j)].red;
            long d = db * db + dg * dg + dr * dr;
            if (bestDistance < 0 || d < bestDistance) {
                best = j;
                bestDistance = d;
                if (d == 0) break;
            }
        }
        map[i] = static_cast<uint8_t>(best);
    }
    const int width = source.Width();
    const int perByte = 8 / bitCount;
    for (int y = 0; y < source.AbsHeight(); ++y) {
        const uint8_t* in = source.Row(y);
        uint8_t* out = result->Row(y);
        for (int x = 0; x < width; ++x) {
            unsigned shift = static_cast<unsigned>(8 - bitCount * (x % perByte + 1));
            out[x / perByte] |= static_cast<uint8_t>(map[in[x]] << shift);
        }
    }
    return result;
}

bool ReductionKeepsIndices(const DibImage& source, const DibImage& reduced, unsigned mask) {
    const int bits = reduced.BitCount();
    if (source.BitCount() != 8 || (bits != 1 && bits != 4) || source.Width() != reduced.Width() ||
        source.AbsHeight() != reduced.AbsHeight())
        return false;
    for (int y = 0; y < source.AbsHeight(); ++y) {
        const uint8_t* in = source.Row(y);
        const uint8_t* out = reduced.Row(y);
        for (int x = 0; x < source.Width(); ++x)
            if (((IndexAt(out, bits, x) ^ in[x]) & mask) != 0) return false;
    }
    return true;
}

bool HasGreyRamp(const DibImage& image) {
    const int depth = image.BitCount();
    if (depth != 1 && depth != 4 && depth != 8) return false;
    const int last = (1 << depth) - 1;
    for (int i = 0; i <= last; ++i) {
        const RgbQuad c = image.ColorAt(i);
        const int level = i * 255 / last;
        if (c.red != level || c.green != level || c.blue != level) return false;
    }
    return true;
}

void RowAsColours(const DibImage& source, bool sourceAlpha, int x, int y, int width,
                  ColourOrder order, uint8_t* out) {
    const uint8_t* row = source.Row(y);
    const int depth = source.BitCount();
    const bool red = order == ColourOrder::kRgb || order == ColourOrder::kRgba;
    const bool four = order == ColourOrder::kBgra || order == ColourOrder::kRgba;
    const size_t step = four ? 4 : 3;
    for (int i = 0; i < width; ++i, out += step) {
        const int at = x + i;
        uint8_t b = 0, g = 0, r = 0, a = 255;
        if (depth <= 8) {
            const RgbQuad c = source.ColorAt(IndexAt(row, depth, at));
            b = c.blue;
            g = c.green;
            r = c.red;
        } else if (depth == 16) {  // 5-5-5, as a plain 16-bit section holds it
            const unsigned v = row[2 * at] | (unsigned{row[2 * at + 1]} << 8);
            b = static_cast<uint8_t>(ExpandFiveBits(v & 31u));
            g = static_cast<uint8_t>(ExpandFiveBits((v >> 5) & 31u));
            r = static_cast<uint8_t>(ExpandFiveBits((v >> 10) & 31u));
        } else {
            const uint8_t* p = row + static_cast<size_t>(at) * static_cast<size_t>(depth / 8);
            b = p[0];
            g = p[1];
            r = p[2];
            if (depth == 32 && sourceAlpha) a = p[3];
        }
        out[0] = red ? r : b;
        out[1] = g;
        out[2] = red ? b : r;
        if (four) out[3] = a;
    }
}

}  // namespace tessarin
