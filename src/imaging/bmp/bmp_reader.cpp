// Our own reader for 16-bit files with 5-5-5 or 5-6-5 masks and 1-bit files
// with exactly two colours; everything else goes to the general decoder, as
// the system loader would take it.

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

// What the own reader makes of a file, from its headers and colour table.
struct OwnPlan {
    BitmapInfoHeader header;
    RgbQuad colors[2] = {};
    int colorCount = 0;
    uint64_t dataOffset = 0;
    bool is565 = false;
};

// False when the own reader declines the file; out gets the depth and the
// colour kind either way.
bool PlanOwn(const bmp::ByteSource& file, LoadedImage& out, OwnPlan& plan) {
    uint8_t b[54];
    if (file.Size() < sizeof b || !file.ReadAt(0, b, sizeof b)) return false;
    const uint8_t* info = b + 14;
    const uint32_t headerSize = U32(info);
    if (headerSize < 40) return false;
    const int bitCount = U16(info + 14);
    const uint32_t compression = U32(info + 16);
    const uint32_t clrUsed = U32(info + 32);
    // No offset: the pixels follow the header, the masks a 40-byte header
    // keeps after it, and the colour table, as the general decoder (and the
    // banded read) places them.
    plan.dataOffset = U32(b + 10);
    if (plan.dataOffset == 0)
        plan.dataOffset = 14 + uint64_t{headerSize} +
                          (bitCount == 16 && headerSize == 40 ? 12 : 0) + (bitCount == 1 ? 8 : 0);
    out.displayDepth = bitCount;
    if (bitCount <= 8) out.colorKind = ColorKind::Indexed;

    if (bitCount == 16) {
        if (compression != 3) return false;
        uint8_t m[12];
        if (!file.ReadAt(54, m, sizeof m)) return false;
        const uint32_t r = U32(m), g = U32(m + 4), bl = U32(m + 8);
        const bool is555 = r == 0x7C00 && g == 0x03E0 && bl == 0x001F;
        plan.is565 = r == 0xF800 && g == 0x07E0 && bl == 0x001F;
        if (!is555 && !plan.is565) return false;
        plan.header = RasterHeader(info, 16);
        return ValidSize(plan.header, file, plan.dataOffset);
    }
    if (bitCount == 1) {
        if (clrUsed != 2) {
            out.colorKind = ColorKind::Grey;
            return false;
        }
        uint8_t entries[8];
        if (!file.ReadAt(14 + uint64_t{headerSize}, entries, sizeof entries)) return false;
        plan.colors[0] = {entries[0], entries[1], entries[2], 0};
        plan.colors[1] = {entries[4], entries[5], entries[6], 0};
        plan.colorCount = 2;
        plan.header = RasterHeader(info, 1);
        plan.header.biClrUsed = 2;
        plan.header.biClrImportant = 2;
        return ValidSize(plan.header, file, plan.dataOffset);
    }
    return false;
}

// The raster the own reader planned; null when it cannot be had.
std::unique_ptr<DibImage> ReadOwn(const bmp::ByteSource& file, const OwnPlan& plan) {
    auto raster = DibImage::Create(plan.header, plan.colors, plan.colorCount);
    if (!raster || !file.ReadAt(plan.dataOffset, raster->Bits(), raster->ImageSize()))
        return nullptr;
    if (plan.is565) Convert565To555(*raster);
    return raster;
}

void NoteColourReduction(const std::string& path, LoadedImage& out) {
    char text[4096];
    std::snprintf(text, sizeof text, "%s\n\n%s", bmp::kColourReductionNotice, path.c_str());
    try {
        out.notices.emplace_back(text);
    } catch (...) {
        // Short of memory the file still loads, unannounced.
    }
}

}  // namespace

bool bmp::LoadBmpFrom(const ByteSource& source, const std::string& path, LoadedImage& out) {
    OwnPlan plan;
    if (PlanOwn(source, out, plan) && (out.raster = ReadOwn(source, plan))) {
        if (plan.is565) NoteColourReduction(path, out);
        return true;
    }
    return DecodeBmpFrom(source, out);
}

bool bmp::PlanBmpLoad(const ByteSource& source, const std::string& path, LoadedImage& out,
                      BitmapInfoHeader& raster, uint64_t& besides) {
    OwnPlan plan;
    if (!PlanOwn(source, out, plan)) return PlanDecodeBmp(source, out, raster, besides);
    raster = plan.header;
    besides = 0;
    if (plan.is565) NoteColourReduction(path, out);
    return true;
}

}  // namespace tessarin
