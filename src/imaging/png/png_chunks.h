#pragma once
// The ancillary chunks a PNG tile carries over from its source, captured as
// plain data once per file so that every worker can set them on its own
// write structures (libpng's info records are not safe to share).

#include <png.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "imaging/png/png_private.h"

namespace tessarin::png {

struct PngText {
    int compression = PNG_TEXT_COMPRESSION_NONE;  // tEXt, zTXt or one of the iTXt kinds
    std::string key;
    std::string text;
    std::string language;       // iTXt only
    std::string translatedKey;  // iTXt only
};

struct PngTransparency {
    std::vector<png_byte> alpha;  // palette files: one alpha per entry
    png_color_16 color{};         // grey and RGB files
    int count = 0;
};

struct PngIccProfile {
    std::string name;
    int compression = PNG_COMPRESSION_TYPE_BASE;
    std::vector<png_byte> profile;
};

struct PngPhysicalSize {
    png_uint_32 x = 0;
    png_uint_32 y = 0;
    int unit = 0;
};

struct PngOffset {
    png_int_32 x = 0;
    png_int_32 y = 0;
    int unit = 0;
};

struct PngCalibration {
    std::string purpose;
    png_int_32 x0 = 0;
    png_int_32 x1 = 0;
    int type = 0;
    std::string units;
    std::vector<std::string> params;
};

struct PngPhysicalScale {
    int unit = 0;
    std::string width;
    std::string height;
};

struct PngSuggestedPalette {
    std::string name;
    int depth = 8;
    std::vector<png_sPLT_entry> entries;
};

// The chunks of one side of the image data: before it (everything) or after
// it (text and time are all libpng keeps there).
struct PngChunkSet {
    std::vector<png_color> palette;  // PLTE, empty when absent
    std::optional<PngTransparency> transparency;
    std::optional<png_fixed_point> gamma;
    std::optional<std::array<png_fixed_point, 8>> chromaticities;  // white x, y, red, green, blue
    std::optional<int> srgbIntent;
    std::optional<PngIccProfile> iccProfile;
    std::optional<png_color_8> significantBits;
    std::optional<png_color_16> background;
    std::vector<png_uint_16> histogram;  // hIST, empty when absent
    std::optional<PngPhysicalSize> physicalSize;
    std::optional<PngOffset> offset;
    std::optional<PngCalibration> calibration;
    std::optional<PngPhysicalScale> physicalScale;
    std::vector<PngSuggestedPalette> suggestedPalettes;
    std::optional<png_time> modificationTime;
    std::vector<PngText> texts;  // tEXt, zTXt and iTXt in file order
};

// Copies what libpng read into `info` and the file really holds on that side
// of the image data (per `trace`). May throw std::bad_alloc.
void CapturePngChunks(png_structp png, png_infop info, const PngChunkTrace& trace,
                      bool afterImageData, PngChunkSet& out);

// libpng's own structs for the parts of a set that it takes as arrays,
// pointing into the set's strings. Built for each tile outside the guarded
// writer, since they own memory.
struct PngChunkViews {
    std::vector<png_text> texts;
    std::vector<png_sPLT_t> suggestedPalettes;
    std::vector<png_charp> calibrationParams;
};

// False when memory cannot be had. Texts are left out unless `withText`.
[[nodiscard]] bool BuildPngChunkViews(const PngChunkSet& set, bool withText, PngChunkViews& views);

// Sets every chunk of `set` on a write structure's info record (after its
// IHDR). May longjmp on a library error; creates nothing that needs a
// destructor. libpng copies everything it is given, so `set` stays untouched.
void SetPngChunks(png_structp png, png_infop info, const PngChunkSet& set,
                  const PngChunkViews& views);

}  // namespace tessarin::png
