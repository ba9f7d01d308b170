#include <gtest/gtest.h>

#include "imaging/gif/gif_private.h"
#include "imaging/gif/gif_test_files.h"
#include "imaging/messages.h"
#include "support/whole_load.h"

namespace tessarin {
namespace {

using giftest::Frame;
using giftest::Gif;
using giftest::OneFrame;
using testing::LoadGif;

int IndexAt(const DibImage& image, int x, int y) {
    const uint8_t* row = image.Row(y);
    const int depth = image.BitCount();
    if (depth == 8) return row[x];
    const int bit = x * depth;
    return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1);
}

class GifLoad : public ::testing::Test {
  protected:
    LoadedImage Load(const std::vector<uint8_t>& bytes) {
        testing::WriteBytes(dir_ / "source.gif", bytes);
        LoadedImage out;
        const bool loaded = LoadGif(dir_ / "source.gif", out);
        EXPECT_EQ(loaded, out.raster != nullptr);
        return out;
    }
    testing::TempDir dir_;
};

void ExpectPixels(const DibImage& raster, const Frame& frame) {
    ASSERT_EQ(raster.Width(), frame.width);
    ASSERT_EQ(raster.Height(), frame.height);  // bottom-up
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            ASSERT_EQ(IndexAt(raster, x, y), frame.pixels[static_cast<size_t>(y * frame.width + x)])
                << x << "," << y;
}

// The raster keeps the indices with the table they index: the first image's
// local table when it has one, else the global one.
TEST_F(GifLoad, RasterDepthAndDisplayDepthFollowTheColourTable) {
    struct Case {
        int colorBits, rasterDepth;
        bool local;
    };
    for (Case c : {Case{1, 1, false},
                   {2, 4, false},
                   {3, 4, true},
                   {4, 4, false},
                   {5, 8, true},
                   {7, 8, false},
                   {8, 8, false}}) {
        SCOPED_TRACE(c.colorBits);
        const int count = 1 << c.colorBits;
        Gif gif = OneFrame(13, 9, c.local ? 4 : count);
        Frame& frame = gif.frames[0];
        if (c.local) {
            frame.localColors = giftest::Palette(count, 99);
            frame.pixels = giftest::RandomIndices(13, 9, count, 5);
        }
        const auto& table = c.local ? frame.localColors : gif.globalColors;
        LoadedImage out = Load(giftest::Encode(gif));
        ASSERT_TRUE(out.raster);
        EXPECT_EQ(out.raster->BitCount(), c.rasterDepth);
        EXPECT_EQ(out.displayDepth, c.colorBits);
        EXPECT_EQ(out.colorKind, ColorKind::Indexed);
        EXPECT_FALSE(out.interlaced);
        EXPECT_EQ(out.raster->Header().biClrUsed, static_cast<uint32_t>(count));
        EXPECT_EQ(out.raster->Header().biClrImportant, static_cast<uint32_t>(count));
        for (int i = 0; i < count; ++i) {
            const GifColorType& g = table[static_cast<size_t>(i)];
            EXPECT_EQ(out.raster->ColorAt(i), (RgbQuad{g.Blue, g.Green, g.Red, 0})) << i;
        }
        ExpectPixels(*out.raster, frame);
    }
}

TEST_F(GifLoad, InterlacedImageComesOutInPictureRowOrder) {
    for (int height : {1, 2, 5, 8, 9, 21, 33}) {
        SCOPED_TRACE(height);
        Gif gif = OneFrame(7, height, 256, true, static_cast<unsigned>(height));
        LoadedImage out = Load(giftest::Encode(gif));
        ASSERT_TRUE(out.raster);
        EXPECT_TRUE(out.interlaced);
        ExpectPixels(*out.raster, gif.frames[0]);
    }
}

TEST_F(GifLoad, AnyVersionAfterGifIsAccepted) {
    for (const char* version : {"87a", "89a", "88a", "xyz"}) {
        auto bytes = giftest::Encode(OneFrame(4, 4, 2));
        giftest::SetVersion(bytes, version);
        EXPECT_TRUE(Load(bytes).raster) << version;
    }
}

TEST_F(GifLoad, MalformedFilesAreRefusedWithTheirMessage) {
    const auto valid = giftest::Encode(OneFrame(4, 3, 4));
    const auto place = giftest::FindFirstDescriptor(valid);
    auto cut = [&](size_t n) {
        return std::vector<uint8_t>(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(n));
    };
    auto withSize = [&](int w, int h) {
        auto b = valid;
        b[place.start + 5] = static_cast<uint8_t>(w & 255);
        b[place.start + 6] = static_cast<uint8_t>(w >> 8);
        b[place.start + 7] = static_cast<uint8_t>(h & 255);
        b[place.start + 8] = static_cast<uint8_t>(h >> 8);
        return b;
    };
    // Without any colour table: the global one cut out, its flag cleared.
    auto noTable = valid;
    noTable[10] &= 0x7F;
    noTable.erase(noTable.begin() + 13, noTable.begin() + 13 + 3 * 4);
    std::vector<uint8_t> noise(300);
    std::mt19937 rng(3);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> trailerOnly = cut(13 + 12);
    trailerOnly.push_back(';');

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    const Case cases[] = {
        {"empty", {}, msg::kOpenFailed},
        {"noise", noise, msg::kOpenFailed},
        {"png signature", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 0, 0}, msg::kOpenFailed},
        {"signature only", cut(6), msg::kOpenFailed},
        {"screen descriptor cut", cut(10), msg::kOpenFailed},
        {"global table cut", cut(20), msg::kOpenFailed},
        {"header only", cut(13 + 12), msg::kInvalidFile},
        {"no image before the trailer", trailerOnly, msg::kInvalidFile},
        {"no colour table", noTable, msg::kInvalidFile},
        {"zero width", withSize(0, 3), msg::kInvalidFile},
        {"zero height", withSize(4, 0), msg::kInvalidFile},
        {"over the raster limits", withSize(65535, 65535), msg::kReadFailed},
    };
    for (const Case& c : cases) {
        LoadedImage out = Load(c.bytes);
        EXPECT_FALSE(out.raster) << c.name;
        EXPECT_EQ(out.error, c.message) << c.name;
    }
    LoadedImage missing;
    EXPECT_FALSE(LoadGif(dir_ / "missing.gif", missing));
    EXPECT_EQ(missing.error, msg::kOpenFailed);
}

// Cut after every byte: before the image descriptor and its table are whole
// the file is refused; from there on it loads, each row either decoded or
// the background index, and carries the damage when any row is.
TEST_F(GifLoad, FileCutAnywhereLoadsDecodedRowsOrFailsCleanly) {
    Gif gif = OneFrame(11, 19, 8, true, 4);
    gif.background = 7;
    gif.frames[0].localColors = giftest::Palette(8, 3);
    gif.frames[0].pixels = giftest::RandomIndices(11, 19, 7, 4);  // never the background
    gif.frames[0].graphicControls = {{0x05, 10, 0, 2}};
    const auto bytes = giftest::Encode(gif);
    const auto place = giftest::FindFirstDescriptor(bytes);
    const Frame& frame = gif.frames[0];
    for (size_t n = 0; n <= bytes.size(); ++n) {
        SCOPED_TRACE(n);
        LoadedImage out = Load(
            std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)));
        if (n < 13 + 3 * 8) {
            EXPECT_EQ(out.error, msg::kOpenFailed);
        } else if (n < place.end) {
            EXPECT_EQ(out.error, msg::kInvalidFile);
        } else {
            ASSERT_TRUE(out.raster);
            EXPECT_TRUE(out.interlaced);
            int decoded = 0;
            for (int y = 0; y < frame.height; ++y) {
                bool isSource = true, isBackground = true;
                for (int x = 0; x < frame.width; ++x) {
                    int v = IndexAt(*out.raster, x, y);
                    isSource = isSource && v == frame.pixels[static_cast<size_t>(y * 11 + x)];
                    isBackground = isBackground && v == gif.background;
                }
                ASSERT_TRUE(isSource || isBackground) << "row " << y;
                decoded += isSource;
            }
            EXPECT_EQ(out.damage, decoded < frame.height ? msg::kReadFailed : "");
            if (n >= bytes.size() - 1) {
                EXPECT_EQ(decoded, frame.height);
            }
        }
    }
}

// The library decodes whole data sub-blocks only, so the image is large
// enough for several of them.
TEST_F(GifLoad, RowsMissingFromACutImageAreTheBackgroundIndex) {
    constexpr int kWidth = 32, kHeight = 120;
    Gif gif = OneFrame(kWidth, kHeight, 16);
    gif.background = 15;
    gif.frames[0].pixels = giftest::RandomIndices(kWidth, kHeight, 15, 6);
    auto bytes = giftest::Encode(gif);
    const auto place = giftest::FindFirstDescriptor(bytes);
    bytes.resize(place.end + (bytes.size() - place.end) / 2);
    LoadedImage out = Load(bytes);
    ASSERT_TRUE(out.raster);
    EXPECT_EQ(out.damage, msg::kReadFailed);
    int decoded = 0;
    while (decoded < kHeight && IndexAt(*out.raster, 0, decoded) != 15) ++decoded;
    EXPECT_GT(decoded, kHeight / 4);
    EXPECT_LT(decoded, kHeight * 3 / 4);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(IndexAt(*out.raster, x, y),
                      y < decoded ? gif.frames[0].pixels[static_cast<size_t>(y * kWidth + x)] : 15)
                << x << "," << y;
}

TEST_F(GifLoad, NoiseAfterAValidHeaderNeverCrashes) {
    const auto header = giftest::Encode(OneFrame(4, 4, 4));
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes(header.begin(), header.begin() + 13 + 12);
        if (round % 2) {
            // A small image descriptor with random flags, then noise as its data.
            for (int b : {int{','}, 0, 0, 0, 0, 5, 0, 4, 0})
                bytes.push_back(static_cast<uint8_t>(b));
            bytes.push_back(static_cast<uint8_t>(rng()));
        } else {
            bytes.push_back('!');
        }
        const size_t extra = rng() % 400;
        for (size_t i = 0; i < extra; ++i) bytes.push_back(static_cast<uint8_t>(rng()));
        LoadedImage out = Load(bytes);
        if (!out.raster) {
            EXPECT_EQ(out.error, msg::kInvalidFile);
        }
    }
}

// What the tiles keep of the picture: the first control block with the
// transparent colour flag, as stored, and the table's depth.
TEST_F(GifLoad, KeepsTheFirstControlBlockWithTheTransparentFlag) {
    Gif gif = OneFrame(9, 6, 32, true, 2);
    gif.frames[0].graphicControls = {{0x00, 1, 0, 0}, {0x09, 5, 0, 17}, {0x01, 0, 0, 3}};
    LoadedImage out = Load(giftest::Encode(gif));
    ASSERT_TRUE(out.raster);
    ExpectPixels(*out.raster, gif.frames[0]);
    auto kept = std::dynamic_pointer_cast<const gif::GifSplitData>(out.tileData);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->info.colorBits, 5);
    EXPECT_EQ(kept->info.transparency, (std::vector<uint8_t>{0x09, 5, 0, 17}));
}

}  // namespace
}  // namespace tessarin
