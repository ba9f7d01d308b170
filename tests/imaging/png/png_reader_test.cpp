#include <gtest/gtest.h>
#include <zlib.h>

#include "imaging/png/png_format.h"
#include "imaging/png/png_test_support.h"
#include "split/messages.h"

namespace tessarin {
namespace {

using namespace pngtest;

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
    return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
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
// interlaced or not, whatever the colour type and depth.
TEST(LoadPngFile, EverySuiteImageHasTheColoursOfItsSamples) {
    for (const std::string& name : ValidSuiteImages()) {
        SCOPED_TRACE(name);
        std::string path = SuiteDir() + "/" + name;
        RawPng raw;
        ASSERT_TRUE(ReadRawPng(path, raw));
        LoadedImage loaded;
        ASSERT_TRUE(LoadPngFile(path, loaded)) << loaded.error;
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

struct RasterCase {
    const char* file;
    int depth;
    int displayDepth;
    int colorKind;
    uint32_t colorsUsed;
    bool interlaced;
};

TEST(LoadPngFile, RasterDepthTableAndKindFollowColourTypeAndDepth) {
    const RasterCase cases[] = {
        {"basn0g01.png", 1, 1, kColorKindGrey, 2, false},
        {"basn0g02.png", 4, 2, kColorKindGrey, 4, false},
        {"basn0g04.png", 4, 4, kColorKindGrey, 16, false},
        {"basn0g08.png", 8, 8, kColorKindGrey, 256, false},
        {"basn0g16.png", 8, 16, kColorKindGrey, 256, false},
        {"basn2c08.png", 24, 24, kColorKindNone, 0, false},
        {"basn2c16.png", 24, 48, kColorKindNone, 0, false},
        {"basn3p01.png", 1, 1, kColorKindIndexed, 2, false},
        {"basn3p02.png", 4, 2, kColorKindIndexed, 4, false},
        {"basn3p04.png", 4, 4, kColorKindIndexed, 15, false},
        {"basn3p08.png", 8, 8, kColorKindIndexed, 256, false},
        {"basn4a08.png", 32, 16, kColorKindNone, 0, false},
        {"basn4a16.png", 32, 32, kColorKindNone, 0, false},
        {"basn6a08.png", 32, 32, kColorKindNone, 0, false},
        {"basn6a16.png", 32, 64, kColorKindNone, 0, false},
        {"basi0g02.png", 4, 2, kColorKindGrey, 4, true},
        {"basi3p08.png", 8, 8, kColorKindIndexed, 256, true},
        {"basi6a16.png", 32, 64, kColorKindNone, 0, true},
    };
    for (const RasterCase& c : cases) {
        SCOPED_TRACE(c.file);
        LoadedImage loaded;
        ASSERT_TRUE(LoadPngFile(SuiteDir() + "/" + c.file, loaded)) << loaded.error;
        EXPECT_EQ(loaded.raster->BitCount(), c.depth);
        EXPECT_EQ(loaded.displayDepth, c.displayDepth);
        EXPECT_EQ(loaded.colorKind, c.colorKind);
        EXPECT_EQ(loaded.raster->Header().biClrUsed, c.colorsUsed);
        EXPECT_EQ(loaded.raster->Header().biClrImportant, c.colorsUsed);
        EXPECT_EQ(loaded.interlaced, c.interlaced);
        EXPECT_TRUE(loaded.error.empty());
    }
}

TEST(LoadPngFile, GreyRampsSpreadOverTheFullRange) {
    LoadedImage one, two;
    ASSERT_TRUE(LoadPngFile(SuiteDir() + "/basn0g01.png", one));
    EXPECT_EQ(one.raster->ColorAt(0), (RgbQuad{0, 0, 0, 0}));
    EXPECT_EQ(one.raster->ColorAt(1), (RgbQuad{255, 255, 255, 0}));
    ASSERT_TRUE(LoadPngFile(SuiteDir() + "/basn0g02.png", two));
    const uint8_t ramp[] = {0, 85, 170, 255};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(two.raster->ColorAt(i), (RgbQuad{ramp[i], ramp[i], ramp[i], 0}));
}

// A 2-bit palette file 10 pixels wide: a 4-bit raster whose table is the
// file's palette and whose indices are the file's.
TEST(LoadPngFile, TwoBitPaletteOfOddWidthBecomesFourBit) {
    TempDir dir;
    PngSpec spec;
    spec.width = 10;
    spec.height = 3;
    spec.bitDepth = 2;
    spec.colorType = PNG_COLOR_TYPE_PALETTE;
    spec.palette = {{200, 10, 20}, {0, 255, 0}, {1, 2, 3}, {90, 80, 70}};
    spec.rows = RandomRows(10, 3, 2, 7);
    ASSERT_TRUE(WritePng(dir.File("p2.png"), spec));
    RawPng raw;
    ASSERT_TRUE(ReadRawPng(dir.File("p2.png"), raw));

    LoadedImage loaded;
    ASSERT_TRUE(LoadPngFile(dir.File("p2.png"), loaded)) << loaded.error;
    const DibImage& raster = *loaded.raster;
    EXPECT_EQ(raster.BitCount(), 4);
    EXPECT_EQ(raster.Width(), 10);
    EXPECT_EQ(raster.Header().biClrUsed, 4u);
    EXPECT_EQ(loaded.displayDepth, 2);
    for (int i = 0; i < 4; ++i) {
        const png_color& p = spec.palette[static_cast<size_t>(i)];
        EXPECT_EQ(raster.ColorAt(i), (RgbQuad{p.blue, p.green, p.red, 0}));
    }
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(RasterIndex(raster, x, y),
                      raw.Sample(static_cast<size_t>(y), static_cast<size_t>(x), 0));
}

// The grey of a grey-with-alpha file lands in blue, green and red, the alpha
// in the fourth byte.
TEST(LoadPngFile, GreyWithAlphaBecomesBgra) {
    TempDir dir;
    PngSpec spec;
    spec.width = 3;
    spec.height = 1;
    spec.bitDepth = 8;
    spec.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    spec.rows = {{10, 255, 128, 0, 250, 77}};
    ASSERT_TRUE(WritePng(dir.File("ga.png"), spec));
    LoadedImage loaded;
    ASSERT_TRUE(LoadPngFile(dir.File("ga.png"), loaded)) << loaded.error;
    ASSERT_EQ(loaded.raster->BitCount(), 32);
    const uint8_t* row = loaded.raster->Row(0);
    EXPECT_EQ(std::vector<uint8_t>(row, row + 12),
              (std::vector<uint8_t>{10, 10, 10, 255, 128, 128, 128, 0, 250, 250, 250, 77}));
    EXPECT_EQ(loaded.displayDepth, 16);
    EXPECT_EQ(loaded.colorKind, kColorKindNone);
}

// ---- failures ----

std::string LoadError(const std::string& path) {
    LoadedImage loaded;
    bool ok = LoadPngFile(path, loaded);
    EXPECT_FALSE(ok);
    EXPECT_EQ(loaded.raster, nullptr);
    return loaded.error;
}

TEST(LoadPngFile, BrokenSuiteFilesGiveTheirMessages) {
    const std::pair<const char*, const char*> cases[] = {
        {"xs1n0g01.png", "PNGファイルではありません"},  // signature byte 1 wrong
        {"xs2n0g01.png", "PNGファイルではありません"},
        {"xs4n0g01.png", "PNGファイルではありません"},
        {"xs7n0g01.png", msg::kOpenFailed},  // byte 7 wrong: libpng refuses
        {"xcrn0g04.png", msg::kOpenFailed},
        {"xlfn0g04.png", msg::kOpenFailed},
        {"xhdn0g08.png", msg::kOpenFailed},
        {"xc1n0g08.png", msg::kOpenFailed},
        {"xc9n2c08.png", msg::kOpenFailed},
        {"xd0n2c08.png", msg::kOpenFailed},
        {"xd3n2c08.png", msg::kOpenFailed},
        {"xd9n2c08.png", msg::kOpenFailed},
        {"xdtn0g01.png", msg::kOpenFailed},
        {"xcsn0g01.png", msg::kOpenFailed},
    };
    for (auto [file, message] : cases) {
        SCOPED_TRACE(file);
        EXPECT_EQ(LoadError(SuiteDir() + "/" + file), message);
    }
}

TEST(LoadPngFile, MissingEmptyNoiseAndDamagedSignatureFail) {
    TempDir dir;
    EXPECT_EQ(LoadError(dir.File("absent.png")), msg::kReadFailed);
    WriteBytes(dir.File("empty.png"), {});
    EXPECT_EQ(LoadError(dir.File("empty.png")), msg::kReadFailed);
    WriteBytes(dir.File("short.png"), {0x89, 'P', 'N'});
    EXPECT_EQ(LoadError(dir.File("short.png")), msg::kReadFailed);
    std::mt19937 rng(3);
    std::vector<uint8_t> noise(5000);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    WriteBytes(dir.File("noise.png"), noise);
    EXPECT_EQ(LoadError(dir.File("noise.png")), "PNGファイルではありません");
    // A good signature followed by noise.
    std::vector<uint8_t> signedNoise = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    signedNoise.insert(signedNoise.end(), noise.begin(), noise.end());
    WriteBytes(dir.File("signed-noise.png"), signedNoise);
    EXPECT_EQ(LoadError(dir.File("signed-noise.png")), msg::kOpenFailed);
    // Line ends converted by a text-mode transfer: first 4 bytes still right.
    std::vector<uint8_t> damaged = ReadBytes(SuiteDir() + "/basn0g08.png");
    damaged[4] = '\n';
    WriteBytes(dir.File("damaged.png"), damaged);
    EXPECT_EQ(LoadError(dir.File("damaged.png")), msg::kOpenFailed);
}

TEST(LoadPngFile, TruncatedFilesFailAtEveryCut) {
    TempDir dir;
    for (const char* name : {"basn2c16.png", "basi3p02.png", "ctzn0g04.png", "tbbn3p08.png"}) {
        std::vector<uint8_t> bytes = ReadBytes(SuiteDir() + "/" + name);
        for (size_t cut = 0; cut < bytes.size(); cut += (cut < 64 ? 1 : 13)) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            WriteBytes(
                dir.File("cut.png"),
                std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut)));
            EXPECT_EQ(LoadError(dir.File("cut.png")),
                      cut < 4 ? msg::kReadFailed : msg::kOpenFailed);
        }
    }
}

// IHDR with the given size and a valid CRC, then an empty IDAT and IEND.
std::vector<uint8_t> HeaderOnlyPng(uint32_t width, uint32_t height, int depth, int colorType) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    auto chunk = [&](const char* type, std::vector<uint8_t> data) {
        uint32_t n = static_cast<uint32_t>(data.size());
        for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(n >> s));
        std::vector<uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        out.insert(out.end(), body.begin(), body.end());
        uint32_t crc = static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
        for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(crc >> s));
    };
    std::vector<uint8_t> ihdr;
    for (uint32_t v : {width, height})
        for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(v >> s));
    ihdr.insert(ihdr.end(),
                {static_cast<uint8_t>(depth), static_cast<uint8_t>(colorType), 0, 0, 0});
    chunk("IHDR", ihdr);
    chunk("IDAT", {0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    chunk("IEND", {});
    return out;
}

TEST(LoadPngFile, AbsurdDimensionsAreRefusedBeforeAllocating) {
    TempDir dir;
    // 100000 x 100000 RGBA at 16 bits would need 80 GB; 40000 x 40000 passes
    // libpng's per-side limit and is refused by the raster limit; a side over
    // 2^30 is refused by libpng itself.
    const std::tuple<uint32_t, uint32_t, int, int> cases[] = {
        {100000, 100000, 16, 6}, {40000, 40000, 8, 0}, {(1u << 30) + 1, 1, 8, 2}};
    for (auto [w, h, depth, type] : cases) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        WriteBytes(dir.File("huge.png"), HeaderOnlyPng(w, h, depth, type));
        EXPECT_EQ(LoadError(dir.File("huge.png")), msg::kOpenFailed);
    }
}

}  // namespace
}  // namespace tessarin
