// The general BMP decoder, standing in for the system loader: core and
// 40/52/56/108/124-byte headers, palettes, RLE4 and RLE8, 16- and 32-bit
// plain and with bit-field masks, 24-bit, bottom-up and top-down rows.
// Rasters with masks are converted to plain 24-bit (or 32-bit when the file
// has an alpha mask), which loses nothing that a DIB could hold.

#include <algorithm>
#include <bit>
#include <new>
#include <vector>

#include "imaging/bmp/bmp_format.h"
#include "imaging/bmp/bmp_private.h"
#include "imaging/checked_size.h"
#include "imaging/messages.h"

namespace tessarin::bmp {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

struct Header {
    uint32_t size = 0;
    int64_t width = 0;
    int64_t height = 0;  // signed: negative means top-down
    int bitCount = 0;
    uint32_t compression = 0;
    int32_t xPels = 0;
    int32_t yPels = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    uint64_t maskBytes = 0;            // masks stored after a 40-byte header
    bool core = false;
};

bool ReadHeader(const ByteSource& in, Header& h) {
    uint8_t size[4];
    if (!in.ReadAt(14, size, 4)) return false;
    h.size = U32(size);
    if (h.size != 12 && h.size != 40 && h.size != 52 && h.size != 56 && h.size != 108 &&
        h.size != 124)
        return false;
    uint8_t b[124] = {};
    if (!in.ReadAt(14, b, h.size)) return false;
    if (h.size == 12) {
        h.core = true;
        h.width = U16(b + 4);
        h.height = U16(b + 6);
        h.bitCount = U16(b + 10);
        return true;
    }
    h.width = I32(b + 4);
    h.height = I32(b + 8);
    h.bitCount = U16(b + 14);
    h.compression = U32(b + 16);
    h.xPels = I32(b + 24);
    h.yPels = I32(b + 28);
    h.clrUsed = U32(b + 32);
    h.clrImportant = U32(b + 36);
    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
        if (h.size >= 52) {
            for (int i = 0; i < 3; ++i) h.masks[i] = U32(b + 40 + 4 * i);
            if (h.size >= 56) h.masks[3] = U32(b + 52);
        } else {
            h.maskBytes = h.compression == kAlphaBitFields ? 16 : 12;
            uint8_t m[16];
            if (!in.ReadAt(14 + 40, m, h.maskBytes)) return false;
            for (uint64_t i = 0; i < h.maskBytes / 4; ++i) h.masks[i] = U32(m + 4 * i);
        }
        if (h.compression == kBitFields && h.size < 56) h.masks[3] = 0;
    }
    return true;
}

bool IsRle(uint32_t compression) { return compression == kRle8 || compression == kRle4; }

bool HeaderIsSupported(const Header& h) {
    if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return false;
    switch (h.compression) {
        case kRgb:
            return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
                   h.bitCount == 24 || h.bitCount == 32;
        case kRle8:
            return h.bitCount == 8 && h.height > 0;
        case kRle4:
            return h.bitCount == 4 && h.height > 0;
        case kBitFields:
        case kAlphaBitFields:
            return (h.bitCount == 16 || h.bitCount == 32) &&
                   (h.masks[0] | h.masks[1] | h.masks[2]) != 0;
        default:
            return false;
    }
}

// One channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        shift = std::countr_zero(m);
        max = m >> shift;
        // Keep at most 32 significant bits; wider masks are not contiguous anyway.
    }
    uint8_t Get(uint32_t pixel) const {
        if (!mask) return 0;
        uint64_t v = (pixel & mask) >> shift;
        return static_cast<uint8_t>((v * 255 + max / 2) / max);
    }
};

bool DecodeBitFields(const ByteSource& in, const Header& h, uint64_t dataOffset, DibImage& raster) {
    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.masks[3]);
    const int absHeight = raster.AbsHeight();
    const int width = raster.Width();
    const size_t fileStride = static_cast<size_t>(DibStride(width, h.bitCount));
    const int outBytes = raster.BitCount() / 8;
    std::vector<uint8_t> row;
    try {
        row.resize(fileStride);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int fileRow = 0; fileRow < absHeight; ++fileRow) {
        if (!in.ReadAt(dataOffset + static_cast<uint64_t>(fileRow) * fileStride, row.data(),
                       fileStride))
            return false;
        // File rows are in the raster's own orientation; Row() counts from the top.
        int y = h.height > 0 ? absHeight - 1 - fileRow : fileRow;
        uint8_t* out = raster.Row(y);
        for (int x = 0; x < width; ++x) {
            uint32_t p = h.bitCount == 16 ? U16(row.data() + 2 * x) : U32(row.data() + 4 * x);
            uint8_t* px = out + static_cast<size_t>(x) * static_cast<size_t>(outBytes);
            px[0] = blue.Get(p);
            px[1] = green.Get(p);
            px[2] = red.Get(p);
            if (outBytes == 4) px[3] = alpha.Get(p);
        }
    }
    return true;
}

// x and y are inside the raster; y counts rows from the bottom.
void PutIndex(DibImage& raster, int bitCount, int64_t x, int64_t y, unsigned value) {
    uint8_t* row = raster.Row(raster.AbsHeight() - 1 - static_cast<int>(y));
    if (bitCount == 8) {
        row[x] = static_cast<uint8_t>(value);
    } else {
        uint8_t& b = row[x / 2];
        b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (value & 0x0F))
                    : static_cast<uint8_t>((b & 0x0F) | ((value & 0x0F) << 4));
    }
}

// RLE4 and RLE8: runs, absolute runs padded to 16 bits, end of line, delta and
// end of bitmap. Pixels the stream never reaches stay index 0. A stream that
// runs out before its end-of-bitmap mark and its last row keeps what was
// decoded, and is damaged: false. An early end-of-bitmap mark is the file's
// own word that the rest is index 0.
//
// The column stops at the right edge: whatever the stream puts beyond it, by
// runs or by any number of deltas, is dropped until the next end of line. A
// row above the top ends the bitmap.
bool DecodeRle(const std::vector<uint8_t>& data, int bitCount, DibImage& raster) {
    const int64_t width = raster.Width();
    const int64_t height = raster.AbsHeight();
    int64_t x = 0, y = 0;
    auto put = [&](unsigned value) {
        if (x < width) {
            PutIndex(raster, bitCount, x, y, value);
            ++x;
        }
    };
    size_t i = 0;
    bool ended = false;  // by its end-of-bitmap mark
    while (i + 1 < data.size() && y < height) {
        const unsigned count = data[i], value = data[i + 1];
        i += 2;
        if (count > 0) {
            for (unsigned k = 0; k < count && x < width; ++k)
                put(bitCount == 8 ? value : ((k & 1) ? (value & 0x0F) : (value >> 4)));
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            ended = true;
            break;
        } else if (value == 2) {  // delta
            if (i + 1 >= data.size()) return false;
            x = std::min<int64_t>(x + data[i], width);
            y += data[i + 1];
            i += 2;
        } else {  // absolute run of `value` pixels
            const size_t bytes = bitCount == 8 ? value : (value + 1) / 2;
            for (unsigned k = 0; k < value && x < width; ++k) {
                const size_t at = i + (bitCount == 8 ? k : k / 2);
                if (at >= data.size()) return false;
                put(bitCount == 8 ? data[at] : ((k & 1) ? (data[at] & 0x0F) : (data[at] >> 4)));
            }
            i += (bytes + 1) & ~size_t{1};
        }
    }
    // Past the top row, or the top row's last pixel written, nothing is missing.
    return ended || y >= height || (y == height - 1 && x >= width);
}

}  // namespace

namespace {

// What the decoder makes of a file, read from its headers and colour table.
struct Plan {
    Header h;
    std::vector<RgbQuad> colors;
    uint64_t dataOffset = 0;
    BitmapInfoHeader raster;  // the raster's header
};

bool PlanDecode(const ByteSource& in, Plan& plan) {
    uint8_t fileHeader[14];
    if (!in.ReadAt(0, fileHeader, 14) || fileHeader[0] != 'B' || fileHeader[1] != 'M') return false;
    Header& h = plan.h;
    if (!ReadHeader(in, h) || !HeaderIsSupported(h)) return false;

    const bool masked = h.compression == kBitFields || h.compression == kAlphaBitFields;
    const int rasterDepth = masked ? (h.masks[3] ? 32 : 24) : h.bitCount;
    const int64_t absHeight = h.height < 0 ? -h.height : h.height;
    if (!DibSizeAcceptable(h.width, absHeight, rasterDepth)) return false;

    // Colour table.
    std::vector<RgbQuad>& colors = plan.colors;
    const uint64_t tableOffset = 14 + uint64_t{h.size} + h.maskBytes;
    uint64_t tableBytes = 0;
    if (h.bitCount <= 8) {
        const uint32_t maxEntries = 1u << h.bitCount;
        const uint32_t entries = h.clrUsed ? std::min(h.clrUsed, maxEntries) : maxEntries;
        const uint32_t entrySize = h.core ? 3 : 4;
        tableBytes = CheckedSize(entries, entrySize).value_or(0);
        std::vector<uint8_t> raw(tableBytes);
        if (!in.ReadAt(tableOffset, raw.data(), raw.size())) return false;
        colors.resize(entries);
        for (uint32_t e = 0; e < entries; ++e) {
            const uint8_t* p = raw.data() + uint64_t{e} * entrySize;
            colors[e] = RgbQuad{p[0], p[1], p[2], 0};
        }
    }
    plan.dataOffset = U32(fileHeader + 10);
    if (plan.dataOffset == 0) plan.dataOffset = tableOffset + tableBytes;
    if (plan.dataOffset >= in.Size()) return false;

    // Uncompressed pixel data must all be there: refuse a short file before
    // allocating its raster.
    if (!IsRle(h.compression) &&
        !CheckedSize(DibStride(h.width, h.bitCount), static_cast<uint64_t>(absHeight), 1, 0,
                     in.Size() - plan.dataOffset))
        return false;

    BitmapInfoHeader& info = plan.raster;
    info.biWidth = static_cast<int32_t>(h.width);
    info.biHeight = static_cast<int32_t>(h.height);
    info.biBitCount = static_cast<uint16_t>(rasterDepth);
    info.biXPelsPerMeter = h.xPels;
    info.biYPelsPerMeter = h.yPels;
    if (h.bitCount <= 8) {
        info.biClrUsed = h.clrUsed ? static_cast<uint32_t>(colors.size()) : 0;
        info.biClrImportant = std::min(h.clrImportant, static_cast<uint32_t>(colors.size()));
    }
    return true;
}

// A core header's depth, which the own reader took none from.
void TakeDepth(const Header& h, LoadedImage& out) {
    if (out.displayDepth != 0) return;
    out.displayDepth = h.bitCount;
    if (h.bitCount <= 8 && out.colorKind == ColorKind::None) out.colorKind = ColorKind::Indexed;
}

}  // namespace

bool DecodeBmpFrom(const ByteSource& in, LoadedImage& out) {
    Plan plan;
    if (!PlanDecode(in, plan)) return false;
    const Header& h = plan.h;
    const bool rle = IsRle(h.compression);
    auto raster = DibImage::Create(plan.raster, plan.colors.data(),
                                   static_cast<int>(plan.colors.size()), rle);
    if (!raster) return false;

    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
        if (!DecodeBitFields(in, h, plan.dataOffset, *raster)) return false;
    } else if (rle) {
        std::vector<uint8_t> data;
        try {
            data.resize(static_cast<size_t>(in.Size() - plan.dataOffset));
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (!in.ReadAt(plan.dataOffset, data.data(), data.size())) return false;
        if (!DecodeRle(data, h.bitCount, *raster)) out.damage = msg::kInvalidFile;
    } else if (!in.ReadAt(plan.dataOffset, raster->Bits(), raster->ImageSize())) {
        return false;  // pixel data cut short
    }
    out.raster = std::move(raster);
    TakeDepth(h, out);
    return true;
}

bool PlanDecodeBmp(const ByteSource& in, LoadedImage& out, BitmapInfoHeader& raster,
                   uint64_t& besides) {
    Plan plan;
    if (!PlanDecode(in, plan)) return false;
    raster = plan.raster;
    const Header& h = plan.h;
    besides = IsRle(h.compression) ? in.Size() - plan.dataOffset
              : h.compression == kBitFields || h.compression == kAlphaBitFields
                  ? DibStride(h.width, h.bitCount)
                  : 0;
    TakeDepth(h, out);
    return true;
}

}  // namespace tessarin::bmp
