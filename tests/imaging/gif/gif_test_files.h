#pragma once
// GIF files for the tests, written with giflib itself, and a reader that
// gives back everything a tile file holds.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace tessarin::giftest {

struct Frame {
    int width = 0;
    int height = 0;
    bool interlaced = false;
    std::vector<GifColorType> localColors;              // none when empty
    std::vector<uint8_t> pixels;                        // picture order, row after row
    std::vector<std::vector<uint8_t>> graphicControls;  // GCE data blocks before the frame
};

struct Gif {
    int screenWidth = 0;  // 0: the first frame's size
    int screenHeight = 0;
    int colorResolution = 8;
    int background = 0;
    std::vector<GifColorType> globalColors;
    std::vector<Frame> frames;
};

// A table of `count` distinct colours, different for each `seed`.
inline std::vector<GifColorType> Palette(int count, int seed = 0) {
    std::vector<GifColorType> colors(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        colors[static_cast<size_t>(i)] =
            GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                         static_cast<GifByteType>((i * 7 + seed) & 255)};
    return colors;
}

inline std::vector<uint8_t> RandomIndices(int width, int height, int colorCount, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (auto& p : pixels) p = static_cast<uint8_t>(rng() % static_cast<unsigned>(colorCount));
    return pixels;
}

// One frame of `colorCount` random indices with a global table of that size.
inline Gif OneFrame(int width, int height, int colorCount, bool interlaced = false,
                    unsigned seed = 1) {
    Gif gif;
    gif.globalColors = Palette(colorCount);
    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.interlaced = interlaced;
    frame.pixels = RandomIndices(width, height, colorCount, seed);
    gif.frames.push_back(frame);
    return gif;
}

// Picture rows in the order an interlaced file stores them.
inline std::vector<int> InterlacedRows(int height) {
    std::vector<int> rows;
    for (int y = 0; y < height; y += 8) rows.push_back(y);
    for (int y = 4; y < height; y += 8) rows.push_back(y);
    for (int y = 2; y < height; y += 4) rows.push_back(y);
    for (int y = 1; y < height; y += 2) rows.push_back(y);
    return rows;
}

inline int AppendBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

inline std::vector<uint8_t> Encode(const Gif& layout) {
    std::vector<uint8_t> bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendBytes, &error);
    ColorMapObject* global = layout.globalColors.empty()
                                 ? nullptr
                                 : GifMakeMapObject(static_cast<int>(layout.globalColors.size()),
                                                    layout.globalColors.data());
    const Frame& first = layout.frames.at(0);
    EXPECT_EQ(EGifPutScreenDesc(gif, layout.screenWidth ? layout.screenWidth : first.width,
                                layout.screenHeight ? layout.screenHeight : first.height,
                                layout.colorResolution, layout.background, global),
              GIF_OK);
    for (const Frame& frame : layout.frames) {
        for (const auto& block : frame.graphicControls)
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(block.size()),
                             block.data());
        ColorMapObject* local = frame.localColors.empty()
                                    ? nullptr
                                    : GifMakeMapObject(static_cast<int>(frame.localColors.size()),
                                                       frame.localColors.data());
        EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, frame.width, frame.height, frame.interlaced, local),
                  GIF_OK);
        std::vector<int> rows;
        if (frame.interlaced) {
            rows = InterlacedRows(frame.height);
        } else {
            for (int y = 0; y < frame.height; ++y) rows.push_back(y);
        }
        std::vector<GifPixelType> line(static_cast<size_t>(frame.width));
        for (int y : rows) {
            std::copy_n(frame.pixels.begin() + static_cast<ptrdiff_t>(y) * frame.width, frame.width,
                        line.begin());
            EXPECT_EQ(EGifPutLine(gif, line.data(), frame.width), GIF_OK);
        }
        if (local) GifFreeMapObject(local);
        // The library keeps a copy of each frame's local table and frees only
        // the last one.
        if (gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
    }
    EGifCloseFile(gif, &error);
    if (global) GifFreeMapObject(global);
    return bytes;
}

// Offset of the first image descriptor's ',' and the end of its colour table.
struct DescriptorPlace {
    size_t start = 0;
    size_t end = 0;
};

inline DescriptorPlace FindFirstDescriptor(const std::vector<uint8_t>& bytes) {
    size_t pos = 13;
    if (bytes[10] & 0x80) pos += 3u << ((bytes[10] & 7) + 1);
    while (bytes.at(pos) == '!') {
        pos += 2;
        while (bytes.at(pos) != 0) pos += bytes[pos] + 1u;
        ++pos;
    }
    DescriptorPlace place;
    place.start = pos;
    const uint8_t flags = bytes.at(pos + 9);
    place.end = pos + 10 + ((flags & 0x80) ? 3u << ((flags & 7) + 1) : 0u);
    return place;
}

inline void SetVersion(std::vector<uint8_t>& bytes, const std::string& version) {
    std::copy(version.begin(), version.end(), bytes.begin() + 3);
}

// Everything a tile file holds, as giflib reads it back.
struct Decoded {
    bool ok = false;
    std::vector<uint8_t> bytes;
    int screenWidth = 0;
    int screenHeight = 0;
    int colorResolution = 0;
    int background = 0;
    std::vector<GifColorType> globalColors;
    int imageCount = 0;
    int left = -1;
    int top = -1;
    int width = 0;
    int height = 0;
    bool interlaced = false;
    std::vector<GifColorType> localColors;
    std::vector<std::pair<int, std::vector<uint8_t>>> extensions;  // of the first image
    std::vector<uint8_t> pixels;                                   // picture order
};

inline std::vector<GifColorType> Colors(const ColorMapObject* map) {
    if (!map) return {};
    return std::vector<GifColorType>(map->Colors, map->Colors + map->ColorCount);
}

inline Decoded DecodeWithGiflib(const std::string& path) {
    Decoded d;
    d.bytes = tessarin::testing::ReadBytes(path);
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) return d;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        d.ok = true;
        d.screenWidth = gif->SWidth;
        d.screenHeight = gif->SHeight;
        d.colorResolution = gif->SColorResolution;
        d.background = gif->SBackGroundColor;
        d.globalColors = Colors(gif->SColorMap);
        d.imageCount = gif->ImageCount;
        const SavedImage& image = gif->SavedImages[0];
        d.left = image.ImageDesc.Left;
        d.top = image.ImageDesc.Top;
        d.width = image.ImageDesc.Width;
        d.height = image.ImageDesc.Height;
        d.interlaced = image.ImageDesc.Interlace;
        d.localColors = Colors(image.ImageDesc.ColorMap);
        for (int i = 0; i < image.ExtensionBlockCount; ++i) {
            const ExtensionBlock& block = image.ExtensionBlocks[i];
            d.extensions.emplace_back(
                block.Function, std::vector<uint8_t>(block.Bytes, block.Bytes + block.ByteCount));
        }
        // giflib 5 hands back interlaced images already in picture order.
        d.pixels.assign(image.RasterBits, image.RasterBits + static_cast<size_t>(d.width) *
                                                                 static_cast<size_t>(d.height));
    }
    DGifCloseFile(gif, &error);
    return d;
}

inline bool SameColors(const std::vector<GifColorType>& a, const std::vector<GifColorType>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Red != b[i].Red || a[i].Green != b[i].Green || a[i].Blue != b[i].Blue)
            return false;
    return true;
}

}  // namespace tessarin::giftest
