#pragma once
// Private glue between the PNG band reader, the tile writer and libpng:
// file access, the library's error handlers, the messages.
//
// Fatal library errors longjmp back into the function that armed the
// structure's jump buffer. Those functions (the Png…Guarded ones) keep only
// plain C data in their frames, so nothing with a destructor is ever skipped.

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"
#include "imaging/read_watch.h"
#include "platform/file_io.h"

namespace tessarin::png {

inline constexpr const char* kNotPng = "PNGファイルではありません";
inline constexpr const char* kPrepareReadFailed = "読み込みの準備に失敗しました";
inline constexpr const char* kBadBitDepth = "非対応のビット深度です";
inline constexpr const char* kBadInterlace = "非対応のインターレース形式です";
inline constexpr const char* kWriteFailed = "ファイルの書き込みに失敗しました";
inline constexpr const char* kPrepareWriteFailed = "書き込みの準備に失敗しました";

// Distinct chunk names seen in the stream, in two groups: before the image
// data and after it. libpng 1.6 reports gAMA and cHRM (and sRGB for a known
// profile) as present when they only follow from another colour-space chunk;
// this record says what the file itself holds.
struct PngChunkTrace {
    static constexpr int kMaxNames = 64;
    char names[kMaxNames][5] = {};
    bool afterImage[kMaxNames] = {};
    int count = 0;
    bool Has(const char* name, bool afterImageData) const;
};

// What the chunks kept for the tiles (texts, ICC profile, suggested palettes,
// calibration) may take once decompressed, and how many text and palette
// chunks there may be. libpng on its own drops a chunk past its limits and
// carries on; counting the bytes as they arrive lets such a file be refused
// instead, before libpng decompresses or copies the chunk that goes over.
inline constexpr uint64_t kAncillaryBudget = uint64_t{64} << 20;
inline constexpr int kMaxKeptChunks = 1000;

class PngAncillaryBudget {
  public:
    PngAncillaryBudget() = default;
    ~PngAncillaryBudget();
    PngAncillaryBudget(const PngAncillaryBudget&) = delete;
    PngAncillaryBudget& operator=(const PngAncillaryBudget&) = delete;

    // A chunk of this 4-byte name begins.
    void BeginChunk(const unsigned char* name);
    // The next bytes of its data (not its CRC).
    void Consume(const uint8_t* data, size_t length);
    bool Exceeded() const { return exceeded_; }

  private:
    void Add(uint64_t bytes);
    void StartInflate();
    void Inflate(const uint8_t* data, size_t length);

    // The current chunk's prefix still to come, one letter per field: 'N' a
    // text ended by a NUL, 'F' the compression flag byte of iTXt, 'B' any
    // other byte. Then the rest: 'R' stored as it is, 'Z' a zlib stream,
    // 0 not kept.
    const char* prefix_ = "";
    char rest_ = 0;
    uint64_t used_ = 0;
    int keptChunks_ = 0;
    bool exceeded_ = false;
    z_stream zlib_{};
    bool zlibReady_ = false;
    bool inflating_ = false;
};

// What the read callback works with: the file and, optionally, the trace and
// the budget. Without a budget, the chunks only a tile would carry are
// skipped unread.
struct PngReadStream {
    std::FILE* file = nullptr;
    // Reads instead of `file` when set: `length` bytes into `data`, false
    // when they are not all there.
    bool (*read)(void* context, uint8_t* data, size_t length) = nullptr;
    void* context = nullptr;
    PngChunkTrace* trace = nullptr;
    PngAncillaryBudget* budget = nullptr;
    // The bytes the stream holds from the file's start, when known (else 0).
    // A chunk said to be longer than what is left of them fails the read as
    // soon as its header is read, before libpng allocates or reads its data.
    uint64_t size = 0;
    // Stream parser: bytes of the current chunk (data and CRC) still to come,
    // or the header being gathered when 0; of these, the data bytes.
    uint64_t chunkRemaining = 0;
    uint64_t dataRemaining = 0;
    unsigned char header[8] = {};
    int headerFill = 0;
    bool seenImageData = false;
    uint64_t position = 0;  // bytes read, the signature's included
    bool overlong = false;  // a chunk longer than the rest of the stream
};

// A stream over `file` (null: not opened) from its start, past the first 4
// signature bytes, which it checks. Null with `error` set on failure.
FilePtr OpenPngFile(const SourceFile* file, const char*& error);

// Read structure with its info records; every pointer may be null.
struct PngReadHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop endInfo = nullptr;
    // Set when libpng warned that the image data is damaged (see
    // PngWarningSilently); the guarded reads below then fail.
    bool damaged = false;
    PngReadHandles() = default;
    PngReadHandles(const PngReadHandles&) = delete;
    PngReadHandles& operator=(const PngReadHandles&) = delete;
    ~PngReadHandles() { png_destroy_read_struct(&png, &info, &endInfo); }
};

// Creates the read structure with silent handlers and one or two info
// records, refusing pictures wider or higher than `sideLimit`. False when any
// of them cannot be made.
[[nodiscard]] bool CreatePngReader(
    PngReadHandles& handles, bool withEndInfo,
    png_uint_32 sideLimit = static_cast<png_uint_32>(kMaxRasterPixels));

// Attaches the stream, skips the 4 signature bytes already checked and reads
// every chunk up to the image data. False on a library error, or when the
// stream's budget is exceeded.
[[nodiscard]] bool PngReadInfoGuarded(png_structp png, png_infop info, PngReadStream* stream);

// Transforms a reader may request before the rows are read.
enum PngTransform : unsigned {
    kPngBgr = 1,        // blue-green-red order
    kPngStrip16 = 2,    // 16-bit samples to their high byte
    kPngPacking = 4,    // samples under 8 bits to one byte each
    kPngGreyToRgb = 8,  // grey copied into red, green and blue
};

// Requests `transforms` (PngTransform bits) and, for an interlaced file, the
// interlace handling, then lets libpng prepare its rows. Gives the number of
// passes and the bytes of one row after the transforms. False on a library
// error.
[[nodiscard]] bool PngStartRowsGuarded(png_structp png, png_infop info, unsigned transforms,
                                       bool interlaced, int* passes, size_t* rowBytes);

// Reads the next `rows` rows of a file that is not interlaced, row i to
// firstRow + i * rowStep. False on a library error, damaged image data, or
// when `watch` (may be null) asks for a stop between two rows.
[[nodiscard]] bool PngReadSomeRowsGuarded(png_structp png, uint8_t* firstRow, ptrdiff_t rowStep,
                                          int rows, const ReadWatch* watch = nullptr);
// Reads what follows the image data, into `endInfo` (may be null). False on
// a library error, or when the end of the image data shows damage.
[[nodiscard]] bool PngReadEndGuarded(png_structp png, png_infop endInfo);

// Reads every pass of the image, row i (from the top) to firstRow + i * rowStep,
// then the chunks after the image data into `endInfo` (may be null). The
// transforms must already be requested. False on a library error, damaged
// image data, or when `watch` (may be null) asks for a stop between two rows.
[[nodiscard]] bool PngReadRowsGuarded(png_structp png, png_infop endInfo, uint8_t* firstRow,
                                      ptrdiff_t rowStep, int height, int passes,
                                      const ReadWatch* watch = nullptr);

inline ColorKind PngColorKind(int colorType) {
    return colorType == PNG_COLOR_TYPE_PALETTE ? ColorKind::Indexed
           : colorType == PNG_COLOR_TYPE_GRAY  ? ColorKind::Grey
                                               : ColorKind::None;
}

// How a file of one colour type and bit depth becomes the viewer's raster.
struct PngRasterPlan {
    int readDepth = 0;   // depth of the raster the rows are read into
    int finalDepth = 0;  // after the 2-bit reduction
    unsigned transforms = kPngBgr;
    int greyLevels = 0;  // entries of the grey ramp, 0 for none
    bool palette = false;
};
PngRasterPlan PlanPngRaster(int colorType, int bitDepth);

// The header (its height left 0) and colour table of the raster that `plan`
// reads a file of this width into; the table comes from the file's palette.
struct PngRasterShape {
    BitmapInfoHeader header;
    RgbQuad table[256] = {};
    int entries = 0;
};
PngRasterShape ShapePngRaster(png_structp png, png_infop info, const PngRasterPlan& plan,
                              png_uint_32 width);
// A zeroed raster of that shape, `rows` high (bottom-up); null when it
// cannot be had.
std::unique_ptr<DibImage> CreatePngRaster(const PngRasterShape& shape, int rows);

// Error and warning handlers: libpng's defaults print to the standard error
// stream; ours stay silent, the caller turns the failure into its message.
// libpng only warns about a broken compressed stream met once the rows are
// all read (a wrong checksum at its end): for a read structure made by
// CreatePngReader that is damage, recorded in its handles.
void PngErrorSilently(png_structp png, png_const_charp message);
void PngWarningSilently(png_structp png, png_const_charp message);

}  // namespace tessarin::png
