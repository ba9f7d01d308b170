#include "imaging/jpeg/jpeg_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "imaging/jpeg/jpeg_format.h"
#include "jpeg_test_util.h"

namespace tessarin {
namespace {

using namespace jpeg_test;

std::unique_ptr<DibImage> MakeRaster(int width, int height, int depth) {
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = static_cast<uint16_t>(depth);
    // An 8-bit raster is grey, a 4-bit one a palette of its own colours.
    RgbQuad table[256];
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        table[i] = depth == 8 ? RgbQuad{v, v, v, 0}
                              : RgbQuad{100, static_cast<uint8_t>(255 - i * 16),
                                        static_cast<uint8_t>(i * 16), 0};
    }
    auto image = DibImage::Create(h, table, depth <= 8 ? 1 << depth : 0, true);
    // Smooth ramps: red across, green down, blue constant (grey: across;
    // a palette: its colours across, in turn).
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image->Row(y);
        for (int x = 0; x < width; ++x) {
            if (depth == 8) {
                row[x] = static_cast<uint8_t>(x * 4);
            } else if (depth == 4) {
                row[x / 2] |= static_cast<uint8_t>((x / 4 % 16) << (x % 2 ? 0 : 4));
            } else if (depth == 24 || depth == 32) {
                uint8_t* pixel = row + x * depth / 8;
                pixel[0] = 60;
                pixel[1] = static_cast<uint8_t>(y * 4);
                pixel[2] = static_cast<uint8_t>(x * 4);
            }
        }
    }
    return image;
}

bool IsBaseline(const std::string& bytes) {
    return bytes.find("\xFF\xC0") != std::string::npos &&
           bytes.find("\xFF\xC2") == std::string::npos;
}

TEST(JpegWriter, ColourRoundTripKeepsChannelsAndOrientation) {
    TempDir dir;
    auto raster = MakeRaster(50, 40, 24);
    ASSERT_TRUE(SaveJpegFile(dir / "out.jpg", *raster, 100));
    EXPECT_TRUE(IsBaseline(ReadBytes(dir / "out.jpg")));
    const Samples decoded = DecodeLibraryJpeg(dir / "out.jpg");
    ASSERT_EQ(decoded.components, 3);
    ASSERT_EQ(decoded.width, 50);
    ASSERT_EQ(decoded.height, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(decoded.At(x, y, c), RasterSample(*raster, x, y, c), 4)
                    << x << "," << y << " c" << c;
}

TEST(JpegWriter, GreyRasterWritesOneComponent) {
    TempDir dir;
    auto raster = MakeRaster(33, 17, 8);
    ASSERT_TRUE(SaveJpegFile(dir / "grey.jpg", *raster, 100));
    const Samples decoded = DecodeLibraryJpeg(dir / "grey.jpg");
    ASSERT_EQ(decoded.components, 1);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 33; ++x) ASSERT_NEAR(decoded.At(x, y, 0), x * 4, 3) << x << "," << y;
}

// Tiles of other files' rasters: a palette gives its colours, a 32-bit
// raster its colours without the fourth byte.
TEST(JpegWriter, PaletteAndFourByteRastersGiveTheirColours) {
    TempDir dir;
    for (int depth : {4, 32}) {
        auto raster = MakeRaster(64, 40, depth);
        ASSERT_TRUE(SaveJpegFile(dir / "x.jpg", *raster, 100)) << depth;
        const Samples decoded = DecodeLibraryJpeg(dir / "x.jpg");
        ASSERT_EQ(decoded.components, 3);
        for (int y = 0; y < 40; ++y)
            for (int x = 1; x < 63; x += 4) {
                uint8_t colour[3];
                RowAsColours(*raster, false, x, y, 1, ColourOrder::kRgb, colour);
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(decoded.At(x, y, c), colour[c], 6) << depth << " " << x << "," << y;
            }
    }
}

TEST(JpegWriter, UnwritablePlacesFail) {
    TempDir dir;
    auto raster = MakeRaster(64, 64, 24);
    EXPECT_FALSE(SaveJpegFile(dir / "no/such/folder/x.jpg", *raster, 75));
    // The disk fills up while writing.
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    EXPECT_FALSE(jpeg::EncodeJpegRegion(full, *raster, 0, 0, 64, 64, 75));
    ::close(full);
}

// 0 and 100 reach the library unchanged: it reads 0 as 1.
TEST(JpegWriter, QualityExtremesReachTheLibrary) {
    TempDir dir;
    auto raster = MakeRaster(64, 64, 24);
    for (int q : {0, 1, 100})
        ASSERT_TRUE(SaveJpegFile(dir / (std::to_string(q) + ".jpg"), *raster, q));
    const std::string q0 = ReadBytes(dir / "0.jpg");
    const std::string q100 = ReadBytes(dir / "100.jpg");
    EXPECT_EQ(q0, ReadBytes(dir / "1.jpg"));
    EXPECT_LT(q0.size(), q100.size());
    EXPECT_EQ(DecodeLibraryJpeg(dir / "0.jpg").components, 3);
    EXPECT_EQ(DecodeLibraryJpeg(dir / "100.jpg").components, 3);
}

}  // namespace
}  // namespace tessarin
