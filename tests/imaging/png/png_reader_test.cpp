#include <gtest/gtest.h>

#include "imaging/messages.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_test_support.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

using namespace pngtest;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

struct Bgra {
    unsigned blue = 0, green = 0, red = 0, alpha = 255;
    bool operator==(const Bgra&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Bgra& c) {
    return os << "(" << c.blue << "," << c.green << "," << c.red << "," << c.alpha << ")";
}

// The colour a pixel of the file has once 16-bit samples are cut to 8 and
// small grey samples spread over 0..255.
Bgra ExpectedColor(const RawPng& png, size_t x, size_t y) {
    auto eight = [&](int c) {
        unsigned v = png.Sample(y, x, c);
        if (png.bitDepth == 16) return v >> 8;
        if (png.bitDepth < 8 && png.colorType == PNG_COLOR_TYPE_GRAY)
            return v * 255 / ((1u << png.bitDepth) - 1);
        return v;
    };
    switch (png.colorType) {
        case PNG_COLOR_TYPE_GRAY:
            return {eight(0), eight(0), eight(0)};
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return {eight(0), eight(0), eight(0), eight(1)};
        case PNG_COLOR_TYPE_RGB:
            return {eight(2), eight(1), eight(0)};
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return {eight(2), eight(1), eight(0), eight(3)};
        default: {
            unsigned index = png.Sample(y, x, 0);
            if (index >= png.palette.size()) return {0, 0, 0};
            const png_color& p = png.palette[index];
            return {p.blue, p.green, p.red};
        }
    }
}

unsigned RasterIndex(const DibImage& raster, int x, int y) {
    const uint8_t* row = raster.Row(y);
    int depth = raster.BitCount();
    int bit = x * depth;
    return (unsigned{row[bit / 8]} >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

Bgra RasterColor(const DibImage& raster, int x, int y) {
    const uint8_t* row = raster.Row(y);
    switch (raster.BitCount()) {
        case 24:
            return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
        case 32:
            return {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
        default: {
            RgbQuad q = raster.ColorAt(static_cast<int>(RasterIndex(raster, x, y)));
            return {q.blue, q.green, q.red};
        }
    }
}

// Every pixel of every valid suite image shows the colour its samples mean,
// interlaced or not, whatever the colour type and depth (grey with alpha
// included: grey in blue, green and red, alpha kept).
TEST(PngWholeLoad, EverySuiteImageHasTheColoursOfItsSamples) {
    const std::vector<std::string> names = ValidSuiteImages();
    ASSERT_GE(names.size(), 100u) << SuiteDir();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::string path = SuiteDir() + "/" + name;
        RawPng raw;
        ASSERT_TRUE(ReadRawPng(path, raw));
        LoadedImage loaded;
        ASSERT_TRUE(LoadPngWhole(path, loaded)) << loaded.error;
        const DibImage& raster = *loaded.raster;
        ASSERT_EQ(raster.Width(), static_cast<int>(raw.width));
        ASSERT_EQ(raster.Height(), static_cast<int>(raw.height));  // bottom-up
        EXPECT_EQ(loaded.displayDepth, raw.channels * raw.bitDepth);
        EXPECT_EQ(loaded.interlaced, raw.interlace == PNG_INTERLACE_ADAM7);
        int mismatches = 0;
        for (int y = 0; y < raster.AbsHeight(); ++y) {
            for (int x = 0; x < raster.Width(); ++x) {
                Bgra want = ExpectedColor(raw, static_cast<size_t>(x), static_cast<size_t>(y));
                Bgra got = RasterColor(raster, x, y);
                if (raster.BitCount() != 32) got.alpha = want.alpha = 255;
                if (got != want && ++mismatches <= 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << " " << got << " != " << want;
            }
        }
    }
}

TEST(PngWholeLoad, RasterDepthTableAndKindFollowColourTypeAndDepth) {
    struct Case {
        const char* file;
        int depth;
        int displayDepth;
        ColorKind colorKind;
        uint32_t colorsUsed;
    };
    const Case cases[] = {
        {"basn0g01.png", 1, 1, ColorKind::Grey, 2},
        {"basn0g02.png", 4, 2, ColorKind::Grey, 4},
        {"basn0g04.png", 4, 4, ColorKind::Grey, 16},
        {"basn0g16.png", 8, 16, ColorKind::Grey, 256},
        {"basn2c16.png", 24, 48, ColorKind::None, 0},
        {"basn3p01.png", 1, 1, ColorKind::Indexed, 2},
        {"basi3p02.png", 4, 2, ColorKind::Indexed, 4},
        {"basn3p04.png", 4, 4, ColorKind::Indexed, 15},
        {"basn3p08.png", 8, 8, ColorKind::Indexed, 256},
        {"basn4a08.png", 32, 16, ColorKind::None, 0},
        {"basn6a08.png", 32, 32, ColorKind::None, 0},
        {"basn6a16.png", 32, 64, ColorKind::None, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        LoadedImage loaded;
        ASSERT_TRUE(LoadPngWhole(SuiteDir() + "/" + c.file, loaded)) << loaded.error;
        EXPECT_EQ(loaded.raster->BitCount(), c.depth);
        EXPECT_EQ(loaded.displayDepth, c.displayDepth);
        EXPECT_EQ(loaded.colorKind, c.colorKind);
        EXPECT_EQ(loaded.raster->Header().biClrUsed, c.colorsUsed);
        EXPECT_EQ(loaded.raster->Header().biClrImportant, c.colorsUsed);
    }
}

// A 2-bit palette file 10 pixels wide: a 4-bit raster whose table is the
// file's palette and whose indices are the file's.
TEST(PngWholeLoad, TwoBitPaletteOfOddWidthBecomesFourBit) {
    TempDir dir;
    PngLayout layout;
    layout.width = 10;
    layout.height = 3;
    layout.bitDepth = 2;
    layout.colorType = PNG_COLOR_TYPE_PALETTE;
    layout.palette = {{200, 10, 20}, {0, 255, 0}, {1, 2, 3}, {90, 80, 70}};
    layout.rows = RandomRows(10, 3, 2, 7);
    ASSERT_TRUE(WritePng(dir / "p2.png", layout));
    RawPng raw;
    ASSERT_TRUE(ReadRawPng(dir / "p2.png", raw));

    LoadedImage loaded;
    ASSERT_TRUE(LoadPngWhole(dir / "p2.png", loaded)) << loaded.error;
    const DibImage& raster = *loaded.raster;
    EXPECT_EQ(raster.BitCount(), 4);
    EXPECT_EQ(raster.Width(), 10);
    EXPECT_EQ(raster.Header().biClrUsed, 4u);
    for (int i = 0; i < 4; ++i) {
        const png_color& p = layout.palette[static_cast<size_t>(i)];
        EXPECT_EQ(raster.ColorAt(i), (RgbQuad{p.blue, p.green, p.red, 0}));
    }
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(RasterIndex(raster, x, y),
                      raw.Sample(static_cast<size_t>(y), static_cast<size_t>(x), 0));
}

TEST(PngWholeLoad, GreyWithAlphaBecomesBgra) {
    TempDir dir;
    PngLayout layout;
    layout.width = 3;
    layout.height = 1;
    layout.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    layout.rows = {{10, 255, 128, 0, 250, 77}};
    ASSERT_TRUE(WritePng(dir / "ga.png", layout));
    LoadedImage loaded;
    ASSERT_TRUE(LoadPngWhole(dir / "ga.png", loaded)) << loaded.error;
    ASSERT_EQ(loaded.raster->BitCount(), 32);
    const uint8_t* row = loaded.raster->Row(0);
    EXPECT_EQ(std::vector<uint8_t>(row, row + 12),
              (std::vector<uint8_t>{10, 10, 10, 255, 128, 128, 128, 0, 250, 250, 250, 77}));
    EXPECT_EQ(loaded.displayDepth, 16);
}

// ---- failures ----

std::string LoadError(const std::string& path) {
    LoadedImage loaded;
    EXPECT_FALSE(LoadPngWhole(path, loaded));
    EXPECT_EQ(loaded.raster, nullptr);
    return loaded.error;
}

TEST(PngWholeLoad, BrokenSuiteFilesGiveTheirMessages) {
    for (const char* file : kSuiteNotPng)
        EXPECT_EQ(LoadError(SuiteDir() + "/" + file), "PNGファイルではありません") << file;
    for (const char* file : kSuiteRefused)
        EXPECT_EQ(LoadError(SuiteDir() + "/" + file), msg::kOpenFailed) << file;
}

TEST(PngWholeLoad, MissingEmptyNoiseAndDamagedSignatureFail) {
    TempDir dir;
    EXPECT_EQ(LoadError(dir / "absent.png"), msg::kReadFailed);
    WriteBytes(dir / "empty.png", {});
    EXPECT_EQ(LoadError(dir / "empty.png"), msg::kReadFailed);
    WriteBytes(dir / "short.png", {0x89, 'P', 'N'});
    EXPECT_EQ(LoadError(dir / "short.png"), msg::kReadFailed);
    std::vector<uint8_t> noise = RandomRows(5000, 1, 8, 3)[0];
    WriteBytes(dir / "noise.png", noise);
    EXPECT_EQ(LoadError(dir / "noise.png"), "PNGファイルではありません");
    std::vector<uint8_t> signedNoise = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    signedNoise.insert(signedNoise.end(), noise.begin(), noise.end());
    WriteBytes(dir / "signed-noise.png", signedNoise);
    EXPECT_EQ(LoadError(dir / "signed-noise.png"), msg::kOpenFailed);
    // Line ends converted by a text-mode transfer: the first 4 bytes still right.
    std::vector<uint8_t> damaged = ReadBytes(SuiteDir() + "/basn0g08.png");
    ASSERT_GT(damaged.size(), 8u);
    damaged[4] = '\n';
    WriteBytes(dir / "damaged.png", damaged);
    EXPECT_EQ(LoadError(dir / "damaged.png"), msg::kOpenFailed);
}

TEST(PngWholeLoad, TruncatedFilesFailAtEveryCut) {
    TempDir dir;
    for (const char* name : {"basn2c16.png", "basi3p02.png", "ctzn0g04.png", "tbbn3p08.png"}) {
        std::vector<uint8_t> bytes = ReadBytes(SuiteDir() + "/" + name);
        ASSERT_FALSE(bytes.empty()) << name;
        for (size_t cut : CutPoints(bytes.size(), 13)) {
            std::string path = dir / (std::to_string(cut) + name);
            WriteBytes(path, std::vector<uint8_t>(bytes.begin(),
                                                  bytes.begin() + static_cast<ptrdiff_t>(cut)));
            EXPECT_EQ(LoadError(path), cut < 4 ? msg::kReadFailed : msg::kOpenFailed)
                << name << " cut at " << cut;
        }
    }
}

TEST(PngWholeLoad, AbsurdDimensionsAreRefusedBeforeAllocating) {
    TempDir dir;
    // 100000 x 100000 RGBA at 16 bits would need 80 GB (an attempt would fail
    // with the allocation message, or abort under AddressSanitizer); 40000 x
    // 40000 passes libpng's per-side limit and is refused by the raster limit;
    // a side over 2^30 is refused by libpng itself.
    const std::tuple<uint32_t, uint32_t, int, int> cases[] = {
        {100000, 100000, 16, 6}, {40000, 40000, 8, 0}, {(1u << 30) + 1, 1, 8, 2}};
    for (auto [w, h, depth, type] : cases) {
        std::string path = dir / (std::to_string(w) + "x" + std::to_string(h) + ".png");
        WriteBytes(path, HeaderOnlyPng(w, h, depth, type));
        EXPECT_EQ(LoadError(path), msg::kOpenFailed) << path;
    }
}

}  // namespace
}  // namespace tessarin
