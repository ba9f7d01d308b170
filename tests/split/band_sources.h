#pragma once
// Test files of every format, depth, palette, row order, interlacing and
// damage, for the tests that compare what is read band by band with what
// is read whole.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "imaging/gif/gif_test_files.h"
#include "imaging/jpeg/jpeg_test_util.h"
#include "imaging/png/png_test_support.h"
#include "support/test_files.h"

namespace tessarin {
namespace band_sources {

namespace fs = std::filesystem;

// Bytes of a pattern that differs from row to row and column to column.
inline std::vector<uint8_t> Pattern(size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 37 + i / 7 + seed) % 251);
    return bytes;
}

inline testing::BmpLayout Bmp(int width, int height, int bitCount, uint32_t colours = 0) {
    testing::BmpLayout b;
    b.width = width;
    b.height = height;
    b.bitCount = static_cast<uint16_t>(bitCount);
    b.clrUsed = colours;
    const uint32_t entries = bitCount > 8 ? 0 : colours ? colours : 1u << bitCount;
    for (uint32_t i = 0; i < entries; ++i) b.palette.push_back(i * 0x010203u + 0x102030u);
    const size_t stride =
        (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32 * 4;
    b.pixels = Pattern(stride * static_cast<size_t>(height < 0 ? -height : height),
                       static_cast<unsigned>(bitCount));
    return b;
}

inline testing::BmpLayout Masked(int bitCount, uint32_t compression, std::vector<uint32_t> masks) {
    testing::BmpLayout b = Bmp(53, 41, bitCount);
    b.compression = compression;
    for (uint32_t m : masks) testing::Le32(b.extra, m);
    return b;
}

struct Source {
    const char* name;
    std::function<void(const std::string&)> write;
};

inline std::vector<Source> Sources() {
    const auto bmp = [](testing::BmpLayout layout) {
        return [layout](const std::string& path) {
            testing::WriteBytes(path, testing::BuildBmp(layout));
        };
    };
    testing::BmpLayout core = Bmp(31, 29, 24);
    core.headerSize = 12;
    testing::BmpLayout rle = Bmp(20, 19, 8, 4);
    rle.compression = 1;
    rle.pixels.clear();
    for (int y = 0; y < 19; ++y)
        rle.pixels.insert(rle.pixels.end(), {7, uint8_t(y % 4), 13, 2, 0, 0});
    rle.pixels.insert(rle.pixels.end(), {0, 1});
    testing::BmpLayout truncated = Bmp(40, 30, 24);
    truncated.pixels.resize(truncated.pixels.size() / 2);

    const auto png = [](const char* name) {
        return [name](const std::string& path) {
            fs::copy_file(std::string(TESSARIN_TEST_DATA) + "/pngsuite/" + name, path);
        };
    };
    const auto gif = [](giftest::Gif layout) {
        return [layout](const std::string& path) {
            testing::WriteBytes(path, giftest::Encode(layout));
        };
    };
    // Texts and time on both sides of image data spread over several chunks;
    // cut short within that data.
    pngtest::PngLayout chunked;
    chunked.width = 61;
    chunked.height = 47;
    chunked.rows = pngtest::RandomRows(61, 47, 24, 5);
    chunked.texts = {{PNG_TEXT_COMPRESSION_NONE, "Title", "before", false},
                     {PNG_TEXT_COMPRESSION_zTXt, "Comment", "after the rows", true}};
    chunked.timeAfterImage = png_time{2024, 5, 6, 7, 8, 9};
    const auto pngMade = [chunked](double keep) {
        return [chunked, keep](const std::string& path) {
            ASSERT_TRUE(pngtest::WritePng(path, chunked));
            std::vector<uint8_t> bytes = testing::ReadBytes(path);
            bytes.resize(static_cast<size_t>(static_cast<double>(bytes.size()) * keep));
            testing::WriteBytes(path, bytes);
        };
    };
    // Two frames: the first smaller than the screen, with a local table and
    // transparency, the second never read.
    giftest::Gif frames = giftest::OneFrame(33, 70, 8);
    frames.screenWidth = 50;
    frames.screenHeight = 80;
    frames.frames[0].localColors = giftest::Palette(32, 9);
    frames.frames[0].graphicControls = {{0x01, 0, 0, 3}};
    frames.frames.push_back(giftest::OneFrame(50, 80, 8, false, 2).frames[0]);
    std::vector<uint8_t> cutGif = giftest::Encode(giftest::OneFrame(47, 90, 256));
    cutGif.resize(cutGif.size() / 2);
    giftest::Gif smallFrame = giftest::OneFrame(30, 20, 16);
    smallFrame.screenWidth = 41;
    smallFrame.screenHeight = 37;
    const auto jpeg = [](jpeg_test::SourceKind kind) {
        return [kind](const std::string& path) { jpeg_test::WriteSource(path, kind); };
    };
    return {
        {"bottom-up.bmp", bmp(Bmp(67, 45, 24))},
        {"top-down.bmp", bmp(Bmp(67, -45, 24))},
        {"palette.bmp", bmp(Bmp(37, 33, 8))},
        {"sixteen.bmp", bmp(Bmp(29, 35, 4, 16))},
        {"two-colour.bmp", bmp(Bmp(45, 31, 1, 2))},
        {"mono.bmp", bmp(Bmp(45, 31, 1))},
        {"565.bmp", bmp(Masked(16, 3, {0xF800, 0x07E0, 0x001F}))},
        {"alpha.bmp", bmp(Masked(32, 6, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}))},
        {"plain32.bmp", bmp(Bmp(23, 27, 32))},
        {"core.bmp", bmp(core)},
        {"rle.bmp", bmp(rle)},
        {"truncated.bmp", bmp(truncated)},
        {"grey1.png", png("basn0g01.png")},
        {"grey2.png", png("basn0g02.png")},
        {"grey16.png", png("basn0g16.png")},
        {"rgb8.png", png("basn2c08.png")},
        {"rgb16.png", png("basn2c16.png")},
        {"palette1.png", png("basn3p01.png")},
        {"palette2.png", png("basn3p02.png")},
        {"palette8.png", png("basn3p08.png")},
        {"grey-alpha.png", png("basn4a08.png")},
        {"rgba16.png", png("basn6a16.png")},
        {"interlaced.png", png("basi2c08.png")},
        {"text.png", png("ct1n0g04.png")},
        {"transparent.png", png("tbbn3p08.png")},
        {"odd-size.png", png("s39n3p04.png")},
        {"chunked.png", pngMade(1.0)},
        {"truncated.png", pngMade(0.6)},
        {"frame.gif", gif(giftest::OneFrame(43, 38, 64))},
        {"frames.gif", gif(frames)},
        {"truncated.gif", [cutGif](const std::string& path) { testing::WriteBytes(path, cutGif); }},
        {"interlaced.gif", gif(giftest::OneFrame(31, 29, 4, true))},
        {"small-frame.gif", gif(smallFrame)},
        {"420.jpg", jpeg({.width = 90, .height = 70})},
        {"444.jpg", jpeg({.width = 61, .height = 53, .factors = {{1, 1}, {1, 1}, {1, 1}}})},
        {"grey.jpg", jpeg({.width = 50, .height = 47, .components = 1})},
        {"progressive.jpg", jpeg({.width = 77, .height = 66, .progressive = true})},
        {"restarts.jpg", jpeg({.width = 70, .height = 60, .restartInterval = 3})},
        {"cmyk.jpg", jpeg({.width = 40, .height = 36, .components = 4})},
        {"truncated.jpg", jpeg({.width = 90, .height = 80, .keep = 0.6})},
        {"truncated-progressive.jpg",
         jpeg({.width = 90, .height = 80, .progressive = true, .keep = 0.7})},
    };
}

}  // namespace band_sources
}  // namespace tessarin
