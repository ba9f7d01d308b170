#pragma once
// Test helpers for PNG files: an independent reader that gives the file's own
// samples and chunks, a writer for hand-made sources, and small file tools.

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "imaging/format_registry.h"

namespace tessarin::pngtest {

namespace fs = std::filesystem;

// The PNG whole load, as the registry makes it.
inline bool LoadPngWhole(const std::string& path, LoadedImage& out) {
    return LoadWholeImage(*FindImageFormat(ImageFileKind::Png), SourceFile::Open(path), out,
                          nullptr);
}

inline std::string SuiteDir() { return std::string(TESSARIN_TEST_DATA) + "/pngsuite"; }

// The suite's valid images (every file not starting with 'x').
inline std::vector<std::string> ValidSuiteImages() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(SuiteDir())) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".png" && name[0] != 'x') names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The broken suite images: the ones whose first 4 bytes are not those of a
// PNG file, and the ones libpng itself refuses.
inline constexpr const char* kSuiteNotPng[] = {"xs1n0g01.png", "xs2n0g01.png", "xs4n0g01.png"};
inline constexpr const char* kSuiteRefused[] = {
    "xs7n0g01.png", "xcrn0g04.png", "xlfn0g04.png", "xhdn0g08.png", "xc1n0g08.png", "xc9n2c08.png",
    "xd0n2c08.png", "xd3n2c08.png", "xd9n2c08.png", "xdtn0g01.png", "xcsn0g01.png"};

// Cut points for truncation tests: every byte of the first 64, then every
// `step`th.
inline std::vector<size_t> CutPoints(size_t size, size_t step) {
    std::vector<size_t> cuts;
    for (size_t cut = 0; cut < size; cut += (cut < 64 ? 1 : step)) cuts.push_back(cut);
    return cuts;
}

// A file with the given IHDR (valid CRC), an empty IDAT and IEND.
inline std::vector<uint8_t> HeaderOnlyPng(uint32_t width, uint32_t height, int depth,
                                          int colorType) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    auto put32 = [](std::vector<uint8_t>& v, uint32_t n) {
        for (int s = 24; s >= 0; s -= 8) v.push_back(static_cast<uint8_t>(n >> s));
    };
    auto chunk = [&](const char* type, std::vector<uint8_t> data) {
        put32(out, static_cast<uint32_t>(data.size()));
        data.insert(data.begin(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        put32(out, static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
    };
    std::vector<uint8_t> ihdr;
    put32(ihdr, width);
    put32(ihdr, height);
    ihdr.insert(ihdr.end(),
                {static_cast<uint8_t>(depth), static_cast<uint8_t>(colorType), 0, 0, 0});
    chunk("IHDR", ihdr);
    chunk("IDAT", {0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    chunk("IEND", {});
    return out;
}

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

// The chunks of a PNG file as its bytes hold them.
inline std::vector<Chunk> ListChunks(const std::vector<uint8_t>& bytes) {
    std::vector<Chunk> chunks;
    size_t i = 8;
    while (i + 12 <= bytes.size()) {
        size_t length = (size_t{bytes[i]} << 24) | (size_t{bytes[i + 1]} << 16) |
                        (size_t{bytes[i + 2]} << 8) | bytes[i + 3];
        if (i + 12 + length > bytes.size()) break;
        Chunk c;
        c.type.assign(reinterpret_cast<const char*>(&bytes[i + 4]), 4);
        c.data.assign(bytes.begin() + static_cast<ptrdiff_t>(i + 8),
                      bytes.begin() + static_cast<ptrdiff_t>(i + 8 + length));
        chunks.push_back(std::move(c));
        i += 12 + length;
    }
    return chunks;
}

struct TextEntry {
    int compression = 0;
    std::string key;
    std::string text;
    bool afterImage = false;
    bool operator==(const TextEntry&) const = default;
};

// A PNG as stored: IHDR, rows still packed (only the interlacing undone),
// palette and texts.
struct RawPng {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    int channels = 0;
    std::vector<std::vector<uint8_t>> rows;
    std::vector<png_color> palette;
    std::vector<TextEntry> texts;

    // Sample c of pixel x in row y: big-endian 16-bit values, smaller ones
    // taken from their bits.
    unsigned Sample(size_t y, size_t x, int c) const {
        const auto& row = rows[y];
        size_t index = x * static_cast<size_t>(channels) + static_cast<size_t>(c);
        if (bitDepth == 16) return (unsigned{row[2 * index]} << 8) | row[2 * index + 1];
        if (bitDepth == 8) return row[index];
        size_t bit = index * static_cast<size_t>(bitDepth);
        return (unsigned{row[bit / 8]} >> (8 - bitDepth - static_cast<int>(bit % 8))) &
               ((1u << bitDepth) - 1);
    }
};

namespace detail {
inline void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
inline void SilentWarning(png_structp, png_const_charp) {}

inline bool ReadInfo(png_structp png, png_infop info, std::FILE* file) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    return true;
}

inline bool ReadImage(png_structp png, png_infop endInfo, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, endInfo);
    return true;
}

inline void CollectTexts(png_structp png, png_infop info, bool after, std::vector<TextEntry>& out) {
    png_textp text = nullptr;
    int count = 0;
    png_get_text(png, info, &text, &count);
    for (int i = 0; i < count; ++i)
        out.push_back({text[i].compression, text[i].key, text[i].text ? text[i].text : "", after});
}
}  // namespace detail

// Reads `path` with libpng without transforms. False when libpng fails.
inline bool ReadRawPng(const std::string& path, RawPng& out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, detail::SilentError,
                                             detail::SilentWarning);
    png_infop info = png_create_info_struct(png);
    png_infop endInfo = png_create_info_struct(png);
    bool ok = detail::ReadInfo(png, info, file);
    if (ok) {
        png_get_IHDR(png, info, &out.width, &out.height, &out.bitDepth, &out.colorType,
                     &out.interlace, nullptr, nullptr);
        out.channels = png_get_channels(png, info);
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count)) out.palette.assign(palette, palette + count);
        detail::CollectTexts(png, info, false, out.texts);
        size_t rowBytes = png_get_rowbytes(png, info);
        out.rows.assign(out.height, std::vector<uint8_t>(rowBytes));
        std::vector<png_bytep> pointers;
        for (auto& row : out.rows) pointers.push_back(row.data());
        ok = detail::ReadImage(png, endInfo, pointers.data());
        if (ok) detail::CollectTexts(png, endInfo, true, out.texts);
    }
    png_destroy_read_struct(&png, &info, &endInfo);
    std::fclose(file);
    return ok;
}

// What a hand-made source holds; rows are packed as in the file.
struct PngLayout {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    int interlace = PNG_INTERLACE_NONE;
    std::vector<std::vector<uint8_t>> rows;
    std::vector<png_color> palette;
    std::vector<uint8_t> trnsAlpha;
    std::vector<TextEntry> texts;  // placed by afterImage
    std::optional<png_time> timeAfterImage;
    std::optional<int> srgbIntent;
    std::vector<uint8_t> iccProfile;
    bool calibration = false;  // pCAL, sCAL and oFFs with fixed values
    bool physicalSize = false;
};

namespace detail {
inline bool WriteAll(png_structp png, png_infop info, png_infop endInfo, std::FILE* file,
                     png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, endInfo);
    return true;
}

inline bool SetAll(png_structp png, png_infop info, png_infop endInfo, const PngLayout& layout,
                   const std::vector<png_text>& before, const std::vector<png_text>& after,
                   png_charpp params) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, layout.width, layout.height, layout.bitDepth, layout.colorType,
                 layout.interlace, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
    if (!layout.trnsAlpha.empty())
        png_set_tRNS(png, info, layout.trnsAlpha.data(), static_cast<int>(layout.trnsAlpha.size()),
                     nullptr);
    if (layout.srgbIntent) png_set_sRGB(png, info, *layout.srgbIntent);
    if (!layout.iccProfile.empty())
        png_set_iCCP(png, info, "test profile", 0, layout.iccProfile.data(),
                     static_cast<png_uint_32>(layout.iccProfile.size()));
    if (layout.calibration) {
        png_set_pCAL(png, info, "depth", -100, 900, PNG_EQUATION_LINEAR, 2, "metre", params);
        png_set_sCAL_s(png, info, PNG_SCALE_METER, "0.25", "1.5e-2");
        png_set_oFFs(png, info, -7, 12, PNG_OFFSET_PIXEL);
    }
    if (layout.physicalSize) png_set_pHYs(png, info, 3780, 2835, PNG_RESOLUTION_METER);
    if (!before.empty()) png_set_text(png, info, before.data(), static_cast<int>(before.size()));
    if (!after.empty()) png_set_text(png, endInfo, after.data(), static_cast<int>(after.size()));
    if (layout.timeAfterImage) png_set_tIME(png, endInfo, &*layout.timeAfterImage);
    return true;
}
}  // namespace detail

inline bool WritePng(const std::string& path, const PngLayout& layout) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, detail::SilentError,
                                              detail::SilentWarning);
    png_infop info = png_create_info_struct(png);
    png_infop endInfo = png_create_info_struct(png);
    std::vector<png_text> before, after;
    for (const TextEntry& t : layout.texts) {
        png_text v{};
        v.compression = t.compression;
        v.key = const_cast<char*>(t.key.c_str());
        v.text = const_cast<char*>(t.text.c_str());
        (t.afterImage ? after : before).push_back(v);
    }
    char p0[] = "-1.5", p1[] = "2e3";
    png_charp params[] = {p0, p1};
    std::vector<png_bytep> rows;
    for (const auto& row : layout.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    bool ok = detail::SetAll(png, info, endInfo, layout, before, after, params) &&
              detail::WriteAll(png, info, endInfo, file, rows.data());
    png_destroy_info_struct(png, &endInfo);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

// Rows of random bytes for a layout's size (samples of any depth are valid, so
// are palette indices when the palette has 2^depth entries).
inline std::vector<std::vector<uint8_t>> RandomRows(png_uint_32 width, png_uint_32 height,
                                                    int bitsPerPixel, unsigned seed) {
    std::mt19937 rng(seed);
    size_t rowBytes = (size_t{width} * static_cast<size_t>(bitsPerPixel) + 7) / 8;
    std::vector<std::vector<uint8_t>> rows(height, std::vector<uint8_t>(rowBytes));
    for (auto& row : rows)
        for (auto& b : row) b = static_cast<uint8_t>(rng());
    return rows;
}

}  // namespace tessarin::pngtest
