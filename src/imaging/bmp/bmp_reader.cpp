// LoadBmpFile: our own reader for 16-bit files with 5-5-5 or 5-6-5 masks and
// 1-bit files with exactly two colours; everything else goes to the general
// decoder, as the system loader would take it.

#include <cstdio>

#include "imaging/bmp/bmp_format.h"
#include "imaging/bmp/bmp_private.h"
#include "imaging/checked_size.h"

namespace tessarin {

namespace {

using bmp::I32;
using bmp::U16;
using bmp::U32;

// 5-6-5 to 5-5-5 over the whole pixel memory, row padding included: red keeps
// its 5 bits, green loses its lowest bit, blue stays, bit 15 becomes 0.
void Convert565To555(DibImage& raster) {
    uint8_t* p = raster.Bits();
    const size_t words = raster.ImageSize() / 2;
    for (size_t i = 0; i < words; ++i, p += 2) {
        uint32_t old = U16(p);
        bmp::Put16(p, ((old >> 1) & 0x7FE0) | (old & 0x001F));
    }
}

BitmapInfoHeader RasterHeader(const uint8_t* info, int bitCount) {
    BitmapInfoHeader h;
    h.biWidth = I32(info + 4);
    h.biHeight = I32(info + 8);
    h.biBitCount = static_cast<uint16_t>(bitCount);
    h.biXPelsPerMeter = I32(info + 24);
    h.biYPelsPerMeter = I32(info + 28);
    return h;
}

// The size is acceptable and the file holds all the pixel data it promises.
bool ValidSize(const BitmapInfoHeader& h, const bmp::ByteSource& file, uint64_t dataOffset) {
    if (h.biHeight == INT32_MIN) return false;
    const int64_t absHeight = h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight;
    return DibSizeAcceptable(h.biWidth, absHeight, h.biBitCount) && dataOffset <= file.Size() &&
           CheckedSize(DibStride(h.biWidth, h.biBitCount), static_cast<uint64_t>(absHeight), 1, 0,
                       file.Size() - dataOffset);
}

// Returns the raster, or null when the own reader declines.
std::unique_ptr<DibImage> ReadOwn(const bmp::ByteSource& file, const std::string& path,
                                  LoadedImage& out) {
    uint8_t b[54];
    if (file.Size() < sizeof b || !file.ReadAt(0, b, sizeof b)) return nullptr;
    const uint8_t* info = b + 14;
    const uint32_t headerSize = U32(info);
    if (headerSize < 40) return nullptr;
    const int bitCount = U16(info + 14);
    const uint32_t compression = U32(info + 16);
    const uint32_t clrUsed = U32(info + 32);
    // No offset: the pixels follow the header, the masks a 40-byte header
    // keeps after it, and the colour table, as the general decoder (and the
    // banded read) places them.
    uint64_t dataOffset = U32(b + 10);
    if (dataOffset == 0)
        dataOffset = 14 + uint64_t{headerSize} + (bitCount == 16 && headerSize == 40 ? 12 : 0) +
                     (bitCount == 1 ? 8 : 0);
    out.displayDepth = bitCount;
    if (bitCount <= 8) out.colorKind = ColorKind::Indexed;

    if (bitCount == 16) {
        if (compression != 3) return nullptr;
        uint8_t m[12];
        if (!file.ReadAt(54, m, sizeof m)) return nullptr;
        const uint32_t r = U32(m), g = U32(m + 4), bl = U32(m + 8);
        const bool is555 = r == 0x7C00 && g == 0x03E0 && bl == 0x001F;
        const bool is565 = r == 0xF800 && g == 0x07E0 && bl == 0x001F;
        if (!is555 && !is565) return nullptr;
        BitmapInfoHeader h = RasterHeader(info, 16);
        if (!ValidSize(h, file, dataOffset)) return nullptr;
        auto raster = DibImage::Create(h);
        if (!raster || !file.ReadAt(dataOffset, raster->Bits(), raster->ImageSize()))
            return nullptr;
        if (is565) {
            char text[4096];
            std::snprintf(text, sizeof text, "%s\n\n%s", bmp::kColourReductionNotice, path.c_str());
            try {
                out.notices.emplace_back(text);
            } catch (...) {
                // Short of memory the file still loads, unannounced.
            }
            Convert565To555(*raster);
        }
        return raster;
    }
    if (bitCount == 1) {
        if (clrUsed != 2) {
            out.colorKind = ColorKind::Grey;
            return nullptr;
        }
        uint8_t entries[8];
        if (!file.ReadAt(14 + uint64_t{headerSize}, entries, sizeof entries)) return nullptr;
        RgbQuad colors[2] = {{entries[0], entries[1], entries[2], 0},
                             {entries[4], entries[5], entries[6], 0}};
        BitmapInfoHeader h = RasterHeader(info, 1);
        h.biClrUsed = 2;
        h.biClrImportant = 2;
        if (!ValidSize(h, file, dataOffset)) return nullptr;
        auto raster = DibImage::Create(h, colors, 2);
        if (!raster || !file.ReadAt(dataOffset, raster->Bits(), raster->ImageSize()))
            return nullptr;
        return raster;
    }
    return nullptr;
}

}  // namespace

bool bmp::LoadBmpFrom(const ByteSource& source, const std::string& path, LoadedImage& out) {
    out.raster = ReadOwn(source, path, out);
    return out.raster || DecodeBmpFrom(source, out);
}

bool LoadBmpFile(const SourceFilePtr& file, LoadedImage& out) {
    // The BMP readers have no message of their own: whatever stops them, a
    // lack of memory included, the file is reported as invalid.
    out.source.reset();
    out.damage.clear();
    try {
        if (!file) return false;
        if (!bmp::LoadBmpFrom(bmp::FileSource(*file), file->Path(), out)) return false;
        out.source = file;
        return true;
    } catch (...) {
        out.raster.reset();
        return false;
    }
}

bool LoadBmpFile(const std::string& path, LoadedImage& out) {
    return LoadBmpFile(SourceFile::Open(path), out);
}

}  // namespace tessarin
