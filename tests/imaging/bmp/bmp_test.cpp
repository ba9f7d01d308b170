#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "imaging/bmp/bmp_format.h"
#include "support/recording_notifier.h"
#include "support/test_files.h"
#include "support/whole_load.h"

namespace tessarin {
namespace {

using testing::BmpLayout;
using testing::BuildBmp;
using testing::GetLe16;
using testing::GetLe32;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

using testing::RecordingNotifier;

LoadedImage LoadBytes(const TempDir& dir, const std::vector<uint8_t>& bytes,
                      Notifier* owner = nullptr, const std::string& name = "in.bmp") {
    WriteBytes(dir / name, bytes);
    LoadedImage out;
    // A failed load leaves no raster, which the callers check.
    (void)testing::LoadBmp(dir / name, out);
    // What the caller of a load does with its notices.
    if (owner)
        for (const std::string& notice : out.notices) owner->ShowNotice(notice);
    return out;
}

std::vector<uint8_t> Words16(std::initializer_list<uint16_t> words) {
    std::vector<uint8_t> out;
    for (uint16_t w : words) testing::Le16(out, w);
    return out;
}

BmpLayout Bitfields16(uint32_t r, uint32_t g, uint32_t b, std::vector<uint8_t> pixels, int width) {
    BmpLayout layout;
    layout.width = width;
    layout.height = 1;
    layout.bitCount = 16;
    layout.compression = 3;
    testing::Le32(layout.extra, r);
    testing::Le32(layout.extra, g);
    testing::Le32(layout.extra, b);
    layout.pixels = std::move(pixels);
    return layout;
}

TEST(BmpReader, Converts565To555AndNotesTheColourReduction) {
    TempDir dir;
    // Four pixels: white, pure green, the lowest green bit alone, pure red; width 4 = 8 bytes.
    auto bytes =
        BuildBmp(Bitfields16(0xF800, 0x07E0, 0x001F, Words16({0xFFFF, 0x07E0, 0x0020, 0xF800}), 4));
    RecordingNotifier owner;
    LoadedImage image = LoadBytes(dir, bytes, &owner);
    ASSERT_NE(image.raster, nullptr);
    EXPECT_EQ(image.raster->BitCount(), 16);
    EXPECT_EQ(image.displayDepth, 16);
    const uint8_t* row = image.raster->Row(0);
    EXPECT_EQ(row[0] | row[1] << 8, 0x7FFF);
    EXPECT_EQ(row[2] | row[3] << 8, 0x03E0);
    EXPECT_EQ(row[4] | row[5] << 8, 0x0000);
    EXPECT_EQ(row[6] | row[7] << 8, 0x7C00);
    ASSERT_EQ(owner.notices.size(), 1u);
    EXPECT_EQ(owner.notices[0],
              "緑の情報量を「6bit」から「5bit」に減らします\n\n" + dir / "in.bmp");
    // Pixels said to start inside the header: the file is decoded whole, and
    // noted all the same.
    std::vector<uint8_t> inside = bytes;
    inside[10] = 40;
    RecordingNotifier held;
    ASSERT_NE(LoadBytes(dir, inside, &held).raster, nullptr);
    EXPECT_EQ(held.notices, owner.notices);

    // 5-5-5 masks: no conversion, no notice.
    RecordingNotifier quiet;
    auto plain = LoadBytes(
        dir, BuildBmp(Bitfields16(0x7C00, 0x03E0, 0x001F, Words16({0x7FFF, 0x0123}), 2)), &quiet);
    ASSERT_NE(plain.raster, nullptr);
    EXPECT_EQ(plain.raster->Row(0)[2] | plain.raster->Row(0)[3] << 8, 0x0123);
    EXPECT_TRUE(quiet.notices.empty());
}

TEST(BmpReader, OneBitTwoColourPaletteIsKeptAndZeroUsedColoursMeansGrey) {
    TempDir dir;
    BmpLayout layout;
    layout.width = 3;
    layout.height = 2;
    layout.bitCount = 1;
    layout.clrUsed = 2;
    layout.palette = {0x112233, 0xA0B0C0};
    layout.pixels = {0xA0, 0, 0, 0, 0x40, 0, 0, 0};
    LoadedImage image = LoadBytes(dir, BuildBmp(layout));
    ASSERT_NE(image.raster, nullptr);
    EXPECT_EQ(image.raster->BitCount(), 1);
    EXPECT_EQ(image.raster->Header().biClrUsed, 2u);
    EXPECT_EQ(image.raster->ColorAt(0), (RgbQuad{0x33, 0x22, 0x11, 0}));
    EXPECT_EQ(image.raster->ColorAt(1), (RgbQuad{0xC0, 0xB0, 0xA0, 0}));
    EXPECT_EQ(image.colorKind, ColorKind::Indexed);
    EXPECT_EQ(image.raster->Row(1)[0], 0xA0);  // file rows are bottom-up

    layout.clrUsed = 0;
    LoadedImage grey = LoadBytes(dir, BuildBmp(layout));
    ASSERT_NE(grey.raster, nullptr);
    EXPECT_EQ(grey.colorKind, ColorKind::Grey);
    EXPECT_EQ(grey.raster->ColorAt(1), (RgbQuad{0xC0, 0xB0, 0xA0, 0}));
}

TEST(BmpReader, TopDownSourceKeepsItsOrientationAndTilesAreBottomUp) {
    TempDir dir;
    BmpLayout layout;
    layout.width = 2;
    layout.height = -3;
    layout.bitCount = 24;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 2; ++x)
            layout.pixels.insert(layout.pixels.end(), {uint8_t(y), uint8_t(x), 7});
        layout.pixels.insert(layout.pixels.end(), {0, 0});
    }
    LoadedImage image = LoadBytes(dir, BuildBmp(layout));
    ASSERT_NE(image.raster, nullptr);
    EXPECT_EQ(image.raster->Height(), -3);
    EXPECT_EQ(image.raster->Row(0)[0], 0);  // first file row is the top row
    EXPECT_EQ(image.raster->Row(2)[0], 2);

    ASSERT_TRUE(SaveBmpRegion(dir / "tile.bmp", *image.raster, 1, 1, 1, 2));
    auto tile = ReadBytes(dir / "tile.bmp");
    EXPECT_EQ(static_cast<int32_t>(GetLe32(tile, 22)), 2);  // positive height
    // Bottom row first: image row 2, then row 1; pixel x = 1.
    EXPECT_EQ(tile[54], 2);
    EXPECT_EQ(tile[55], 1);
    EXPECT_EQ(tile[58], 1);
}

TEST(BmpWriter, TileHeaderFieldsAndFileSize) {
    TempDir dir;
    struct Case {
        uint16_t depth;
        uint32_t clrUsed;
        uint32_t expectedEntries;
    };
    for (Case c : {Case{8, 0, 256}, Case{8, 17, 17}, Case{24, 0, 0}, Case{4, 0, 16}, Case{1, 0, 2},
                   Case{32, 0, 0}}) {
        BitmapInfoHeader h;
        h.biWidth = 13;
        h.biHeight = 9;
        h.biBitCount = c.depth;
        h.biClrUsed = c.clrUsed;
        h.biClrImportant = c.clrUsed;
        h.biXPelsPerMeter = 3780;
        h.biYPelsPerMeter = 2835;
        auto raster = DibImage::Create(h, nullptr, 0, true);
        ASSERT_TRUE(SaveBmpRegion(dir / "t.bmp", *raster, 2, 3, 5, 4));
        auto file = ReadBytes(dir / "t.bmp");
        const uint32_t stride = static_cast<uint32_t>(DibStride(5, c.depth));
        const uint32_t imageSize = stride * 4;
        const uint32_t n = c.expectedEntries;
        SCOPED_TRACE(c.depth);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(GetLe32(file, 2), imageSize + 4 * n + 54);
        EXPECT_EQ(file.size(), imageSize + 4 * n + 54);
        EXPECT_EQ(GetLe32(file, 10), 4 * n + 54);
        EXPECT_EQ(GetLe32(file, 14), 40u);
        EXPECT_EQ(GetLe32(file, 18), 5u);
        EXPECT_EQ(GetLe32(file, 22), 4u);
        EXPECT_EQ(GetLe16(file, 26), 1);
        EXPECT_EQ(GetLe16(file, 28), c.depth);
        EXPECT_EQ(GetLe32(file, 30), 0u);
        EXPECT_EQ(GetLe32(file, 34), imageSize);
        EXPECT_EQ(GetLe32(file, 38), 3780u);
        EXPECT_EQ(GetLe32(file, 42), 2835u);
        EXPECT_EQ(GetLe32(file, 46), c.clrUsed);
        EXPECT_EQ(GetLe32(file, 50), c.clrUsed);
    }
}

TEST(BmpWriter, RoundTripsPixelsOfEveryDepthAtOddOffsets) {
    TempDir dir;
    std::mt19937 rng(7);
    for (uint16_t depth : std::initializer_list<uint16_t>{1, 4, 8, 16, 24, 32}) {
        BitmapInfoHeader h;
        h.biWidth = 29;
        h.biHeight = 7;
        h.biBitCount = depth;
        std::vector<RgbQuad> table(depth <= 8 ? 1u << depth : 0u);
        for (auto& e : table) e = RgbQuad{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
        auto raster = DibImage::Create(h, table.data(), static_cast<int>(table.size()));
        for (size_t i = 0; i < raster->ImageSize(); ++i) raster->Bits()[i] = uint8_t(rng());
        ASSERT_TRUE(SaveBmpRegion(dir / "t.bmp", *raster, 3, 1, 11, 5));
        LoadedImage back;
        ASSERT_TRUE(testing::LoadBmp(dir / "t.bmp", back)) << depth;
        auto expected = CropDibImage(*raster, 3, 1, 11, 5);
        ASSERT_EQ(back.raster->BitCount(), depth);
        for (int y = 0; y < 5; ++y) {
            const size_t used = (11u * depth + 7) / 8;
            ASSERT_EQ(0, std::memcmp(back.raster->Row(y), expected->Row(y), used))
                << depth << " row " << y;
        }
        if (depth <= 8) {
            EXPECT_EQ(back.raster->ColorAt(1), table[1]);
        }
    }
}

TEST(BmpWriter, UnwritableDestinationFails) {
    TempDir dir;
    BitmapInfoHeader h;
    h.biWidth = 4;
    h.biHeight = 4;
    h.biBitCount = 24;
    auto raster = DibImage::Create(h, nullptr, 0, true);
    EXPECT_FALSE(SaveBmpFile(dir / "missing/folder/t.bmp", *raster));
    // The disk fills up while writing.
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    EXPECT_FALSE(WriteBmpRegion(full, *raster, 0, 0, 4, 4));
    ::close(full);
}

TEST(BmpDecoder, CoreHeaderRleAndBitFieldVariants) {
    TempDir dir;
    {  // 12-byte core header, 8-bit, three-byte palette entries.
        BmpLayout layout;
        layout.headerSize = 12;
        layout.width = 2;
        layout.height = 1;
        layout.bitCount = 8;
        layout.palette.assign(256, 0);
        layout.palette[5] = 0x010203;
        layout.pixels = {5, 0, 0, 0};
        LoadedImage image = LoadBytes(dir, BuildBmp(layout));
        ASSERT_NE(image.raster, nullptr);
        EXPECT_EQ(image.raster->ColorAt(5), (RgbQuad{3, 2, 1, 0}));
        EXPECT_EQ(image.displayDepth, 8);
    }
    {  // RLE8: a run, end of line, an absolute run, delta, end of bitmap.
        BmpLayout layout;
        layout.width = 4;
        layout.height = 3;
        layout.bitCount = 8;
        layout.compression = 1;
        layout.palette.assign(256, 0);
        layout.pixels = {3, 9, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 7, 0, 0, 1};
        LoadedImage image = LoadBytes(dir, BuildBmp(layout));
        ASSERT_NE(image.raster, nullptr);
        EXPECT_EQ(image.damage, "");  // its end-of-bitmap mark says the rest is index 0
        const DibImage& r = *image.raster;
        // Bottom row (y = 2 from the top) holds the first line of the stream.
        EXPECT_EQ(std::vector<uint8_t>(r.Row(2), r.Row(2) + 4), (std::vector<uint8_t>{9, 9, 9, 0}));
        EXPECT_EQ(std::vector<uint8_t>(r.Row(1), r.Row(1) + 4), (std::vector<uint8_t>{1, 2, 3, 0}));
        // The delta moved from (3, 1) to (4, 2): past the row's end, nothing more lands on screen.
        EXPECT_EQ(std::vector<uint8_t>(r.Row(0), r.Row(0) + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
    }
    {  // RLE4: a run of alternating nibbles.
        BmpLayout layout;
        layout.width = 5;
        layout.height = 1;
        layout.bitCount = 4;
        layout.compression = 2;
        layout.palette.assign(16, 0);
        layout.pixels = {5, 0x12, 0, 1};
        LoadedImage image = LoadBytes(dir, BuildBmp(layout));
        ASSERT_NE(image.raster, nullptr);
        EXPECT_EQ(image.raster->Row(0)[0], 0x12);
        EXPECT_EQ(image.raster->Row(0)[1], 0x12);
        EXPECT_EQ(image.raster->Row(0)[2], 0x10);
    }
    {  // 32-bit with masks and alpha in a 108-byte header: converted to plain BGRA.
        BmpLayout layout;
        layout.headerSize = 108;
        layout.width = 1;
        layout.height = 1;
        layout.bitCount = 32;
        layout.compression = 3;
        layout.masks[0] = 0x000000FF;  // red in the low byte
        layout.masks[1] = 0x0000FF00;
        layout.masks[2] = 0x00FF0000;
        layout.masks[3] = 0xFF000000;
        layout.pixels = {0x11, 0x22, 0x33, 0x44};
        LoadedImage image = LoadBytes(dir, BuildBmp(layout));
        ASSERT_NE(image.raster, nullptr);
        EXPECT_EQ(image.raster->BitCount(), 32);
        const uint8_t* p = image.raster->Row(0);
        EXPECT_EQ(p[0], 0x33);  // blue
        EXPECT_EQ(p[1], 0x22);
        EXPECT_EQ(p[2], 0x11);  // red
        EXPECT_EQ(p[3], 0x44);
    }
    {  // 16-bit plain RGB goes through the general decoder and stays 5-5-5.
        BmpLayout layout;
        layout.width = 2;
        layout.height = 1;
        layout.bitCount = 16;
        layout.pixels = Words16({0x7FFF, 0x1234});
        LoadedImage image = LoadBytes(dir, BuildBmp(layout));
        ASSERT_NE(image.raster, nullptr);
        EXPECT_EQ(image.raster->BitCount(), 16);
        EXPECT_EQ(image.raster->Row(0)[2] | image.raster->Row(0)[3] << 8, 0x1234);
    }
}

// Deltas can push the column of an RLE stream arbitrarily far right (here
// past 2^31 with 8.4 million of them, a 34 MB stream): what lands beyond the
// right edge is dropped up to the end of the line, and nothing is written
// outside the raster.
TEST(BmpDecoder, RleColumnFarPastTheEdgeEndsTheRow) {
    TempDir dir;
    constexpr size_t kDeltas = (size_t{1} << 31) / 255 + 16;
    for (const uint16_t bitCount : std::initializer_list<uint16_t>{8, 4}) {
        const uint8_t five = bitCount == 8 ? 0x05 : 0x55, nine = bitCount == 8 ? 0x09 : 0x99,
                      seven = bitCount == 8 ? 0x07 : 0x77;
        BmpLayout layout;
        layout.width = 8;
        layout.height = 2;
        layout.bitCount = bitCount;
        layout.compression = bitCount == 8 ? 1 : 2;
        layout.palette.assign(size_t{1} << bitCount, 0);
        std::vector<uint8_t>& stream = layout.pixels;
        stream.reserve(4 * kDeltas + 16);
        stream.insert(stream.end(), {2, five});
        for (size_t i = 0; i < kDeltas; ++i) stream.insert(stream.end(), {0, 2, 255, 0});
        stream.insert(stream.end(), {3, nine, 0, 4, nine, nine});  // a run, an absolute run
        if (bitCount == 8) stream.insert(stream.end(), {nine, nine});
        stream.insert(stream.end(), {0, 0, 4, seven, 0, 1});  // end of line, a run, end of bitmap
        const std::vector<uint8_t> bytes = BuildBmp(layout);
        layout.pixels = {};

        LoadedImage image = LoadBytes(dir, bytes);
        ASSERT_TRUE(image.raster) << bitCount;
        const DibImage& r = *image.raster;
        const size_t rowBytes = bitCount == 8 ? 8 : 4;
        const std::vector<uint8_t> bottom(r.Row(1), r.Row(1) + rowBytes);
        const std::vector<uint8_t> top(r.Row(0), r.Row(0) + rowBytes);
        if (bitCount == 8) {
            EXPECT_EQ(bottom, (std::vector<uint8_t>{5, 5, 0, 0, 0, 0, 0, 0}));
            EXPECT_EQ(top, (std::vector<uint8_t>{7, 7, 7, 7, 0, 0, 0, 0}));
        } else {
            EXPECT_EQ(bottom, (std::vector<uint8_t>{0x55, 0, 0, 0}));
            EXPECT_EQ(top, (std::vector<uint8_t>{0x77, 0x77, 0, 0}));
        }
    }
}

TEST(BmpReader, BadInputIsRefusedWithoutACrash) {
    TempDir dir;
    BmpLayout layout;
    layout.width = 16;
    layout.height = 16;
    layout.bitCount = 8;
    layout.palette.assign(256, 0x808080);
    layout.pixels.assign(256, 3);
    const auto good = BuildBmp(layout);
    ASSERT_NE(LoadBytes(dir, good).raster, nullptr);
    for (size_t cut = 0; cut < good.size(); cut += 7) {
        std::vector<uint8_t> truncated(good.begin(),
                                       good.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(LoadBytes(dir, truncated).raster, nullptr) << cut;
    }
    std::mt19937 rng(3);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> noise(static_cast<size_t>(rng() % 400));
        for (auto& b : noise) b = uint8_t(rng());
        if (round % 2 && noise.size() > 2) noise[0] = 'B', noise[1] = 'M';
        LoadBytes(dir, noise);  // must not crash
        auto mutated = good;
        for (int k = 0; k < 4; ++k) mutated[rng() % 60] = uint8_t(rng());
        LoadBytes(dir, mutated);
    }
    // Dimensions whose raster cannot be had are refused before allocating.
    BmpLayout huge;
    huge.width = 200000;
    huge.height = 200000;
    huge.bitCount = 32;
    huge.pixels.assign(64, 0);
    EXPECT_EQ(LoadBytes(dir, BuildBmp(huge)).raster, nullptr);
    huge.bitCount = 16;
    huge.compression = 3;
    testing::Le32(huge.extra, 0xF800);
    testing::Le32(huge.extra, 0x07E0);
    testing::Le32(huge.extra, 0x001F);
    EXPECT_EQ(LoadBytes(dir, BuildBmp(huge)).raster, nullptr);
    // Not a bitmap at all, and a folder.
    EXPECT_EQ(LoadBytes(dir, {'h', 'e', 'l', 'l', 'o'}).raster, nullptr);
    LoadedImage folder;
    EXPECT_FALSE(testing::LoadBmp(dir.Path().string(), folder));
}

}  // namespace
}  // namespace tessarin
