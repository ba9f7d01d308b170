#pragma once
// The in-memory raster every reader produces and every writer consumes: a
// device-independent bitmap with the 40-byte BITMAPINFOHEADER fields, a colour
// table of up to 256 BGRA entries and rows padded to 4 bytes, bottom-up when
// the height is positive and top-down when it is negative.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tessarin {

// Rasters larger than this are refused by every reader before allocating
// (a gigapixel, and 4 GiB of pixel memory). Fuzz builds use a smaller limit
// so that each input runs quickly.
#ifdef TESSARIN_FUZZING
inline constexpr uint64_t kMaxRasterPixels = uint64_t{1} << 24;
inline constexpr uint64_t kMaxRasterBytes = uint64_t{1} << 26;
#else
inline constexpr uint64_t kMaxRasterPixels = uint64_t{1} << 30;
inline constexpr uint64_t kMaxRasterBytes = uint64_t{1} << 32;
#endif

struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
    bool operator==(const RgbQuad&) const = default;
};

struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

// Whether the rectangle is non-empty and lies inside an image of that size.
inline bool RegionInside(int64_t x, int64_t y, int64_t width, int64_t height, int64_t imageWidth,
                         int64_t imageHeight) {
    return x >= 0 && y >= 0 && width > 0 && height > 0 && x + width <= imageWidth &&
           y + height <= imageHeight;
}

// Bytes per row for a width and depth, padded to 4 bytes; 0 when it does not fit.
uint64_t DibStride(int64_t width, int bitCount);
// Whether a raster of this size can be made (depth, limits above).
bool DibSizeAcceptable(int64_t width, int64_t height, int bitCount);

class DibImage {
  public:
    // Makes a raster from a header (width, height with its sign, depth,
    // resolution, colour counts; size, planes, compression and image size are
    // set as for a plain RGB section) and up to 256 colour entries. The pixel
    // memory is left uninitialised unless `zeroed`. Returns null when the size
    // is not acceptable or memory cannot be had.
    static std::unique_ptr<DibImage> Create(const BitmapInfoHeader& header,
                                            const RgbQuad* colors = nullptr, int colorCount = 0,
                                            bool zeroed = false);

    const BitmapInfoHeader& Header() const { return header_; }
    int Width() const { return header_.biWidth; }
    int Height() const { return header_.biHeight; }  // signed: negative means top-down
    int AbsHeight() const { return header_.biHeight < 0 ? -header_.biHeight : header_.biHeight; }
    bool TopDown() const { return header_.biHeight < 0; }
    int BitCount() const { return header_.biBitCount; }
    size_t Stride() const { return stride_; }
    size_t ImageSize() const { return stride_ * static_cast<size_t>(AbsHeight()); }
    uint8_t* Bits() { return bits_.get(); }
    const uint8_t* Bits() const { return bits_.get(); }

    // Row y of the picture, counted from the top whatever the orientation.
    uint8_t* Row(int y) { return bits_.get() + RowOffset(y); }
    const uint8_t* Row(int y) const { return bits_.get() + RowOffset(y); }

    // The colour table as the section holds it (2^depth entries for 1, 4 and 8 bits).
    const std::vector<RgbQuad>& Colors() const { return colors_; }
    std::vector<RgbQuad>& Colors() { return colors_; }
    // How many entries a header block or a BMP file carries: the used-colour
    // count when set (at most 256), else 2, 16 or 256 by depth, else none.
    int ColorEntryCount() const;
    // Entry i of the table, zero beyond the section's table.
    RgbQuad ColorAt(int i) const;

  private:
    DibImage() = default;
    size_t RowOffset(int y) const {
        size_t row = TopDown() ? static_cast<size_t>(y) : static_cast<size_t>(AbsHeight() - 1 - y);
        return row * stride_;
    }

    BitmapInfoHeader header_;
    size_t stride_ = 0;
    std::unique_ptr<uint8_t[]> bits_;
    std::vector<RgbQuad> colors_;
};

// Copies `width` pixels starting at pixel x of source row `y` (from the top)
// into `out`, bit-exact for 1- and 4-bit rows at any x; the rest of the last
// byte is zero. `out` must hold DibStride(width, depth) bytes.
void CopyRowSegment(const DibImage& source, int x, int y, int width, uint8_t* out);

// A new bottom-up raster of width x height pixels cut from (x, y) of `source`
// (image coordinates from the top left), with the source's depth, resolution,
// colour counts and colour table. Null when the rectangle is not inside the
// source or memory cannot be had.
std::unique_ptr<DibImage> CropDibImage(const DibImage& source, int x, int y, int width, int height);

// Copies an 8-bit raster into a new one of lower depth (1 or 4) whose table is
// the first 2^bitCount entries of the source's: every pixel becomes the first
// entry with the same colour as its own, or the nearest colour when none is
// the same. Header fields other than the depth stay.
std::unique_ptr<DibImage> ReduceDibDepth(const DibImage& source, int bitCount);

// Whether every pixel of `reduced` (1 or 4 bits, made by ReduceDibDepth) has
// the index of its pixel in the 8-bit `source`, both masked with `mask`.
bool ReductionKeepsIndices(const DibImage& source, const DibImage& reduced, unsigned mask);

// Whether a 1-, 4- or 8-bit raster's table is the grey ramp of its depth
// (black to white in even steps), so that its indices are grey levels.
bool HasGreyRamp(const DibImage& image);

// The orders RowAsColours writes a pixel's colour in.
enum class ColourOrder { kBgr, kRgb, kBgra, kRgba };

// Pixels x .. x + width - 1 of row y (from the top) of `source`, whatever its
// depth, as colours in `order`: three or four bytes a pixel. Palette and grey
// rasters give their table's colours. The alpha of a 32-bit raster is its
// fourth byte when `sourceAlpha` says it is one, else 255, as for every other
// depth. `out` must hold width x 3 (or 4) bytes.
void RowAsColours(const DibImage& source, bool sourceAlpha, int x, int y, int width,
                  ColourOrder order, uint8_t* out);

// A 5-bit channel of a 16-bit (5-5-5) pixel as 8 bits, as the screen shows it.
inline unsigned ExpandFiveBits(unsigned v) { return (v << 3) | (v >> 2); }

// Pixel x of a 1-, 4- or 8-bit row.
inline uint8_t IndexAt(const uint8_t* row, int bitCount, int x) {
    if (bitCount == 8) return row[x];
    const int perByte = 8 / bitCount;
    const auto shift = static_cast<unsigned>(8 - bitCount * (x % perByte + 1));
    return static_cast<uint8_t>((unsigned{row[x / perByte]} >> shift) & ((1u << bitCount) - 1));
}

}  // namespace tessarin
