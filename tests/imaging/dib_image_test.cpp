#include "imaging/dib_image.h"

#include <gtest/gtest.h>

#include <random>

namespace tessarin {
namespace {

std::unique_ptr<DibImage> MakeRaster(int width, int height, int depth, unsigned seed) {
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = static_cast<uint16_t>(depth);
    auto image = DibImage::Create(h, nullptr, 0, true);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < image->ImageSize(); ++i) image->Bits()[i] = static_cast<uint8_t>(rng());
    return image;
}

// Pixel value at (x, y) from the top, for any depth, read bit by bit.
uint32_t PixelAt(const DibImage& image, int x, int y) {
    const uint8_t* row = image.Row(y);
    int depth = image.BitCount();
    if (depth < 8) {
        int bit = x * depth;
        return (unsigned{row[bit / 8]} >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
    }
    uint32_t v = 0;
    for (int b = 0; b < depth / 8; ++b) v |= uint32_t{row[x * depth / 8 + b]} << (8 * b);
    return v;
}

TEST(DibImage, StrideAndSizeLimits) {
    EXPECT_EQ(DibStride(1, 1), 4u);
    EXPECT_EQ(DibStride(33, 1), 8u);
    EXPECT_EQ(DibStride(3, 24), 12u);
    EXPECT_EQ(DibStride(5, 4), 4u);
    EXPECT_TRUE(DibSizeAcceptable(5640, 3172, 24));
    EXPECT_FALSE(DibSizeAcceptable(200000, 200000, 32));
    EXPECT_FALSE(DibSizeAcceptable(10, 10, 3));
    EXPECT_FALSE(DibSizeAcceptable(0, 10, 8));
    BitmapInfoHeader h;
    h.biWidth = 200000;
    h.biHeight = -200000;
    h.biBitCount = 32;
    EXPECT_EQ(DibImage::Create(h), nullptr);
}

TEST(DibImage, ColorEntryCountFollowsUsedCountThenDepth) {
    BitmapInfoHeader h;
    h.biWidth = 4;
    h.biHeight = 4;
    for (auto [depth, used, expected] : {std::tuple{1, 0, 2},
                                         {4, 0, 16},
                                         {8, 0, 256},
                                         {8, 5, 5},
                                         {24, 0, 0},
                                         {16, 0, 0},
                                         {32, 0, 0}}) {
        h.biBitCount = static_cast<uint16_t>(depth);
        h.biClrUsed = static_cast<uint32_t>(used);
        EXPECT_EQ(DibImage::Create(h)->ColorEntryCount(), expected) << depth << " " << used;
    }
}

TEST(DibImage, CropIsBitExactForEveryDepthAndOffset) {
    for (int depth : {1, 4, 8, 16, 24, 32}) {
        for (bool topDown : {false, true}) {
            auto source = MakeRaster(37, topDown ? -11 : 11, depth, static_cast<unsigned>(depth));
            for (int x = 0; x < 12; ++x) {
                for (int w : {1, 3, 7, 8, 9, 25}) {
                    auto tile = CropDibImage(*source, x, 2, w, 5);
                    ASSERT_NE(tile, nullptr);
                    EXPECT_EQ(tile->Height(), 5);  // always bottom-up
                    EXPECT_EQ(tile->BitCount(), depth);
                    for (int ty = 0; ty < 5; ++ty)
                        for (int tx = 0; tx < w; ++tx)
                            ASSERT_EQ(PixelAt(*tile, tx, ty), PixelAt(*source, x + tx, 2 + ty))
                                << "depth " << depth << " x " << x << " w " << w;
                    // Padding bits after the last pixel are zero.
                    if (depth < 8 && (w * depth) % 8 != 0) {
                        int usedBits = w * depth;
                        uint8_t last = tile->Row(0)[usedBits / 8];
                        EXPECT_EQ(last & (0xFF >> (usedBits % 8)), 0);
                    }
                }
            }
        }
    }
}

TEST(DibImage, CropRefusesRectanglesOutsideTheSource) {
    auto source = MakeRaster(10, 10, 24, 1);
    EXPECT_EQ(CropDibImage(*source, 5, 0, 6, 1), nullptr);
    EXPECT_EQ(CropDibImage(*source, 0, 9, 1, 2), nullptr);
    EXPECT_EQ(CropDibImage(*source, -1, 0, 1, 1), nullptr);
    EXPECT_EQ(CropDibImage(*source, 0, 0, 0, 1), nullptr);
}

TEST(DibImage, ReduceDepthMapsToFirstEntryOfTheSameColour) {
    BitmapInfoHeader h;
    h.biWidth = 5;
    h.biHeight = 2;
    h.biBitCount = 8;
    h.biClrUsed = 4;
    RgbQuad table[4] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}, {1, 2, 3, 0}};
    auto source = DibImage::Create(h, table, 4, true);
    uint8_t values[5] = {0, 1, 2, 3, 1};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) source->Row(y)[x] = values[x];
    auto reduced = ReduceDibDepth(*source, 4);
    ASSERT_NE(reduced, nullptr);
    EXPECT_EQ(reduced->BitCount(), 4);
    EXPECT_EQ(reduced->Header().biClrUsed, 4u);
    uint32_t expected[5] = {0, 1, 0, 3, 1};  // index 2 repeats black, so it becomes 0
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(*reduced, x, y), expected[x]);
}

}  // namespace
}  // namespace tessarin
