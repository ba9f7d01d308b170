// TIFF sources in every layout the reader takes, written here with libtiff
// itself and cut through the real split. One oracle: libtiff's own reading
// of each tile (its RGBA picture, its raw samples for 16 bits, its tags)
// equals that of the source's rectangle. Cut band by band or from the shown
// picture, the tiles are the same bytes.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imaging/format_registry.h"
#include "imaging/messages.h"
#include "imaging/tiff/tiff_private.h"
#include "split/band_cut.h"
#include "split/formats.h"
#include "split/image_loader.h"
#include "split/naming.h"
#include "split/split_job.h"
#include "support/split_file.h"
#include "support/test_files.h"
#include "support/tile_writing.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kWidth = 67, kHeight = 45;
constexpr int kTileWidth = 23, kTileHeight = 17;  // tiles off the bytes of 1- and 4-bit rows

struct Layout {
    const char* name;
    uint16_t photometric;
    uint16_t samples;
    uint16_t bits;
    uint16_t compression;
    uint16_t predictor = PREDICTOR_NONE;
    uint16_t planar = PLANARCONFIG_CONTIG;
    bool tiled = false;
    bool big = false;
    uint16_t extra = 0;  // the extra sample, if any
};

const Layout kLayouts[] = {
    {"striped", PHOTOMETRIC_RGB, 3, 8, COMPRESSION_NONE},
    {"tiled", PHOTOMETRIC_RGB, 3, 8, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL,
     PLANARCONFIG_CONTIG, true},
    {"bigtiff", PHOTOMETRIC_MINISBLACK, 1, 8, COMPRESSION_NONE, PREDICTOR_NONE, PLANARCONFIG_CONTIG,
     false, true},
    {"lzw", PHOTOMETRIC_RGB, 3, 8, COMPRESSION_LZW, PREDICTOR_HORIZONTAL},
    {"deflate", PHOTOMETRIC_MINISWHITE, 1, 4, COMPRESSION_ADOBE_DEFLATE},
    {"jpeg", PHOTOMETRIC_YCBCR, 3, 8, COMPRESSION_JPEG},
    {"packbits", PHOTOMETRIC_MINISBLACK, 1, 8, COMPRESSION_PACKBITS},
    {"g4", PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_CCITTFAX4},
    {"grey16", PHOTOMETRIC_MINISBLACK, 1, 16, COMPRESSION_LZW, PREDICTOR_HORIZONTAL},
    {"rgb16", PHOTOMETRIC_RGB, 3, 16, COMPRESSION_ZSTD, PREDICTOR_HORIZONTAL},
    {"rgba", PHOTOMETRIC_RGB, 4, 8, COMPRESSION_LZW, PREDICTOR_NONE, PLANARCONFIG_CONTIG, false,
     false, EXTRASAMPLE_UNASSALPHA},
    {"palette", PHOTOMETRIC_PALETTE, 1, 4, COMPRESSION_LZW},
    {"planes", PHOTOMETRIC_RGB, 4, 8, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL,
     PLANARCONFIG_SEPARATE, false, false, EXTRASAMPLE_ASSOCALPHA},
    {"cmyk", PHOTOMETRIC_SEPARATED, 4, 8, COMPRESSION_LZW, PREDICTOR_HORIZONTAL,
     PLANARCONFIG_SEPARATE, true},
};

// Sample s of pixel (x, y): varied, and smooth enough for JPEG.
uint32_t Value(const Layout& layout, uint32_t x, uint32_t y, int s) {
    const uint32_t top = (1u << layout.bits) - 1;
    if (layout.bits == 1) return ((x / 3 + y / 2 + static_cast<uint32_t>(s)) % 3) == 0;
    const uint32_t v = x * 5 + y * 3 + static_cast<uint32_t>(s) * 40 + (x * y) % 7;
    return layout.bits == 16 ? (v * 521 + x) & top : (v * (top + 1) / 256) & top;
}

void PutSample(uint8_t* row, int bits, uint64_t index, uint32_t value) {
    if (bits == 16) {
        const auto v = static_cast<uint16_t>(value);
        std::memcpy(row + 2 * index, &v, 2);
    } else if (bits == 8) {
        row[index] = static_cast<uint8_t>(value);
    } else {
        const uint64_t bit = index * static_cast<unsigned>(bits);
        row[bit / 8] |= static_cast<uint8_t>(value << (8 - static_cast<unsigned>(bits) - bit % 8));
    }
}

const Bytes kProfile = {'n', 'o', 't', ' ', 'a', ' ', 'r', 'e', 'a', 'l', ' ', 'o', 'n', 'e'};

void WriteSource(const std::string& path, const Layout& layout) {
    TIFF* tif = TIFFOpen(path.c_str(), layout.big ? "w8" : "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bits);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, layout.planar);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
    if (layout.predictor != PREDICTOR_NONE) TIFFSetField(tif, TIFFTAG_PREDICTOR, layout.predictor);
    if (layout.extra) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &layout.extra);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 150.0);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(kProfile.size()), kProfile.data());
    std::vector<uint16_t> map(16);
    if (layout.photometric == PHOTOMETRIC_PALETTE) {
        for (size_t i = 0; i < map.size(); ++i) map[i] = static_cast<uint16_t>(i * 4111 + 17);
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 0, map.data());
    }
    if (layout.compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 90);
    }
    const bool separate = layout.planar == PLANARCONFIG_SEPARATE;
    const int planes = separate ? layout.samples : 1;
    const int perPixel = separate ? 1 : layout.samples;
    if (layout.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        std::vector<uint8_t> tile(static_cast<size_t>(TIFFTileSize(tif)));
        for (int p = 0; p < planes; ++p)
            for (uint32_t ty = 0; ty < kHeight; ty += 16)
                for (uint32_t tx = 0; tx < kWidth; tx += 16) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (uint32_t y = 0; y < 16; ++y)
                        for (uint32_t x = 0; x < 16; ++x)
                            for (int s = 0; s < perPixel; ++s)
                                PutSample(
                                    tile.data() + TIFFTileRowSize(tif) * y, layout.bits,
                                    x * static_cast<uint32_t>(perPixel) + static_cast<uint32_t>(s),
                                    Value(layout, tx + x, ty + y, separate ? p : s));
                    ASSERT_GE(TIFFWriteTile(tif, tile.data(), tx, ty, 0, static_cast<uint16_t>(p)),
                              0);
                }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, layout.compression == COMPRESSION_JPEG ? 16 : 7);
        std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
        for (int p = 0; p < planes; ++p)
            for (uint32_t y = 0; y < kHeight; ++y) {
                std::fill(row.begin(), row.end(), 0);
                for (uint32_t x = 0; x < kWidth; ++x)
                    for (int s = 0; s < perPixel; ++s)
                        PutSample(row.data(), layout.bits,
                                  x * static_cast<uint32_t>(perPixel) + static_cast<uint32_t>(s),
                                  Value(layout, x, y, separate ? p : s));
                ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, static_cast<uint16_t>(p)), 1);
            }
    }
    TIFFClose(tif);
}

// What libtiff makes of a file: its picture as RGBA from the top, and its
// rows of samples when they are 16 bits.
struct Read {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> rgba;
    std::vector<Bytes> rows;  // plane by plane
};

Read ReadTiff(const std::string& path) {
    Read read;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return read;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &read.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &read.height);
    uint16_t bits = 0, planar = 0, samples = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (bits == 16)
        for (uint16_t p = 0; p < (planar == PLANARCONFIG_SEPARATE ? samples : 1); ++p)
            for (uint32_t y = 0; y < read.height; ++y) {
                Bytes row(static_cast<size_t>(TIFFScanlineSize(tif)));
                TIFFReadScanline(tif, row.data(), y, p);
                read.rows.push_back(row);
            }
    // After the samples: libtiff reads a single strip's rows no more once
    // its RGBA interface has read them.
    read.rgba.resize(size_t{read.width} * read.height);
    if (!TIFFReadRGBAImageOriented(tif, read.width, read.height, read.rgba.data(),
                                   ORIENTATION_TOPLEFT, 0))
        read.rgba.clear();
    TIFFClose(tif);
    return read;
}

// The tags a tile repeats, as text.
std::string Tags(const std::string& path, bool decodedJpeg) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return "unreadable";
    uint16_t samples = 0, bits = 0, photometric = 0, planar = 0, compression = 0, predictor = 1,
             unit = 0, extraCount = 0, *extras = nullptr, *red = nullptr, *green = nullptr,
             *blue = nullptr;
    float xres = 0, yres = 0;
    uint32_t iccSize = 0;
    uint8_t* icc = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression != COMPRESSION_JPEG && compression != COMPRESSION_PACKBITS &&
        compression != COMPRESSION_NONE && compression != COMPRESSION_CCITTFAX4)
        TIFFGetFieldDefaulted(tif, TIFFTAG_PREDICTOR, &predictor);
    TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extras);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccSize, &icc);
    std::string tags;
    if (decodedJpeg) {
        // A JPEG file's tiles hold its decoded pixels: RGB, with Deflate.
        if (photometric == PHOTOMETRIC_YCBCR) photometric = PHOTOMETRIC_RGB;
        compression = COMPRESSION_ADOBE_DEFLATE;
        predictor = PREDICTOR_HORIZONTAL;
    }
    tags += std::to_string(samples) + "x" + std::to_string(bits) + " photometric " +
            std::to_string(photometric) + " planar " + std::to_string(planar) + " compression " +
            std::to_string(compression) + " predictor " + std::to_string(predictor) + " extra";
    for (uint16_t i = 0; i < extraCount; ++i) tags += " " + std::to_string(extras[i]);
    tags += " resolution " + std::to_string(xres) + "," + std::to_string(yres) + "/" +
            std::to_string(unit) + " profile " +
            std::string(reinterpret_cast<const char*>(icc), iccSize);
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue))
        for (int i = 0; i < (1 << bits); ++i) tags += " " + std::to_string(red[i]);
    TIFFClose(tif);
    return tags;
}

SplitResult Cut(const std::string& path, SplitSettings settings, bool banded,
                const std::string& folder) {
    settings.widthValue[0] = kTileWidth;
    settings.heightValue[0] = kTileHeight;
    settings.threadCount = 3;
    return testing::CutFile(path, settings, banded, folder);
}

class TiffTiles : public ::testing::Test {
  protected:
    void SetUp() override { SetMinBandRows(1); }  // every tile row a band of its own
    void TearDown() override { SetMinBandRows(0); }
    testing::TempDir dir_;
};

TEST_F(TiffTiles, EveryLayoutsTilesHoldTheSourcesRectangleWithItsTags) {
    const int columns = (kWidth + kTileWidth - 1) / kTileWidth;
    const int rows = (kHeight + kTileHeight - 1) / kTileHeight;
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(layout.name);
        const std::string path = dir_ / (std::string(layout.name) + ".tif");
        WriteSource(path, layout);
        const Read source = ReadTiff(path);
        ASSERT_FALSE(source.rgba.empty());
        const bool jpeg = layout.compression == COMPRESSION_JPEG;
        const std::string sourceTags = Tags(path, jpeg);
        // The picture the window shows is libtiff's, but for 16-bit samples
        // cut to their high byte and libtiff's alpha multiplied in.
        CurrentImage shown;
        std::string error;
        std::vector<std::string> notices;
        ASSERT_TRUE(LoadImageFile(path, shown, error, notices)) << error;
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x) {
                uint8_t c[4];
                RowAsColours(*shown.raster, shown.alpha, static_cast<int>(x), static_cast<int>(y),
                             1, ColourOrder::kRgba, c);
                const uint32_t want = source.rgba[y * kWidth + x];
                const uint8_t wanted[4] = {
                    static_cast<uint8_t>(TIFFGetR(want)), static_cast<uint8_t>(TIFFGetG(want)),
                    static_cast<uint8_t>(TIFFGetB(want)), static_cast<uint8_t>(TIFFGetA(want))};
                // Premultiplied colours above their alpha are no colours.
                if (layout.extra == EXTRASAMPLE_ASSOCALPHA &&
                    std::max({wanted[0], wanted[1], wanted[2]}) > wanted[3])
                    continue;
                for (int i = 0; i < 4; ++i) {
                    const int got = i < 3 ? (c[i] * c[3] + 127) / 255 : c[3];
                    ASSERT_LE(std::abs(got - wanted[i]), layout.extra ? 2 : 1) << x << "," << y;
                }
            }
        const std::string whole = dir_ / (std::string(layout.name) + "-whole");
        const std::string banded = dir_ / (std::string(layout.name) + "-bands");
        const SplitResult fromWhole = Cut(path, SplitSettings(), false, whole);
        ASSERT_TRUE(fromWhole.ok) << fromWhole.message;
        const SplitResult fromBands = Cut(path, SplitSettings(), true, banded);
        ASSERT_TRUE(fromBands.ok) << fromBands.message;
        EXPECT_EQ(testing::ReadFolder(banded), testing::ReadFolder(whole));

        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column) {
                const std::string tilePath = BuildTileFileName(whole, layout.name, ".tif", column,
                                                               row, columns, rows, SplitSettings());
                SCOPED_TRACE(tilePath);
                const Read tile = ReadTiff(tilePath);
                EXPECT_EQ(Tags(tilePath, false), sourceTags);
                const uint32_t x0 = static_cast<uint32_t>(column * kTileWidth);
                const uint32_t y0 = static_cast<uint32_t>(row * kTileHeight);
                ASSERT_EQ(tile.width, std::min<uint32_t>(kTileWidth, kWidth - x0));
                ASSERT_EQ(tile.height, std::min<uint32_t>(kTileHeight, kHeight - y0));
                ASSERT_EQ(tile.rgba.size(), size_t{tile.width} * tile.height);
                for (uint32_t y = 0; y < tile.height; ++y)
                    for (uint32_t x = 0; x < tile.width; ++x)
                        ASSERT_EQ(tile.rgba[y * tile.width + x],
                                  source.rgba[(y0 + y) * kWidth + x0 + x])
                            << x << "," << y;
                if (layout.bits != 16) continue;
                const size_t bytesPerPixel = source.rows[0].size() / kWidth;
                for (size_t r = 0; r < tile.rows.size(); ++r) {
                    const size_t plane = r / tile.height, y = r % tile.height;
                    const Bytes& from = source.rows[plane * kHeight + y0 + y];
                    const auto at = static_cast<ptrdiff_t>(x0 * bytesPerPixel);
                    const auto end = static_cast<ptrdiff_t>((x0 + tile.width) * bytesPerPixel);
                    EXPECT_EQ(tile.rows[r], Bytes(from.begin() + at, from.begin() + end));
                }
            }
    }
}

// The program's own LZW codes, over data that fills the string table many
// times, that never repeats and that is one run: libtiff
// decodes every strip back into its bytes.
TEST(TiffLzw, LibtiffDecodesEveryStripBack) {
    testing::TempDir dir;
    std::vector<Bytes> inputs(3);
    uint32_t seed = 5;
    for (size_t i = 0; i < 300000; ++i) {
        seed = seed * 1103515245 + 12345;
        inputs[0].push_back(static_cast<uint8_t>((i / 97) % 5 + ((seed >> 16) & 3)));
        inputs[1].push_back(static_cast<uint8_t>(seed >> 24));
    }
    inputs[2].assign(70000, 0x5A);
    for (size_t n = 0; n < inputs.size(); ++n) {
        SCOPED_TRACE(n);
        const Bytes& input = inputs[n];
        Bytes codes;
        ASSERT_TRUE(tiff::EncodeLzw(input.data(), input.size(), codes));
        const std::string path = dir / (std::to_string(n) + ".tif");
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH,
                     std::max<uint32_t>(1, static_cast<uint32_t>(input.size())));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
        ASSERT_GE(TIFFWriteRawStrip(tif, 0, codes.data(), static_cast<tmsize_t>(codes.size())), 0);
        TIFFClose(tif);
        tif = TIFFOpen(path.c_str(), "r");
        Bytes back(input.size(), 0);
        EXPECT_EQ(TIFFReadEncodedStrip(tif, 0, back.data(), static_cast<tmsize_t>(back.size())),
                  static_cast<tmsize_t>(input.size()));
        TIFFClose(tif);
        EXPECT_TRUE(back == input);
    }
}

// A file whose compressed data breaks (the directory, last, intact) is
// shown as far as it goes, and no cut of it writes a tile.
TEST_F(TiffTiles, BrokenDataFailsEveryCut) {
    for (const Layout& layout : {kLayouts[1], kLayouts[3], kLayouts[12]}) {
        SCOPED_TRACE(layout.name);
        const std::string path = dir_ / (std::string(layout.name) + ".tif");
        WriteSource(path, layout);
        Bytes bytes = testing::ReadBytes(path);
        std::fill(bytes.begin() + static_cast<ptrdiff_t>(bytes.size() / 3),
                  bytes.begin() + static_cast<ptrdiff_t>(bytes.size() / 2), 0xFF);
        testing::WriteBytes(path, bytes);
        for (const bool banded : {false, true}) {
            const std::string folder = path + (banded ? "-bands" : "-whole");
            const SplitResult got = Cut(path, SplitSettings(), banded, folder);
            EXPECT_FALSE(got.ok);
            EXPECT_EQ(got.message, msg::kReadFailed);
            EXPECT_TRUE(fs::is_empty(folder));
        }
    }
}

// A tile that cannot be written whole (a full disk) fails, in the source's
// layout and cut from another file's raster.
TEST_F(TiffTiles, AFullDiskFailsTheTile) {
    const std::string path = dir_ / "full.tif";
    WriteSource(path, kLayouts[3]);
    CurrentImage image;
    std::string error;
    std::vector<std::string> notices;
    ASSERT_TRUE(LoadImageFile(path, image, error, notices)) << error;
    const ImageFormat& tiff = *FindImageFormat(ImageFileKind::Tiff);
    SplitSettings settings;
    const SplitTileSettings tileSettings(settings, false, nullptr);
    for (auto* make : {tiff.makeSource, tiff.makeRasterSource}) {
        const std::unique_ptr<TileSource> source = make(image, tileSettings, error);
        ASSERT_NE(source, nullptr) << error;
        TileContext context;
        EXPECT_STREQ(testing::WriteTileInto(*source, {0, 0, 0, 0, 60, 40}, "/dev/full", context),
                     msg::kSaveFailed);
    }
}

// Every other format's sample cut into TIFF tiles: each tile's RGBA is the
// shown picture's colours there.
TEST_F(TiffTiles, OtherFormatsCutIntoTiffTilesKeepTheirPixels) {
    for (const ImageFormat* format : ImageFormats()) {
        if (format->kind == ImageFileKind::Tiff) continue;
        SCOPED_TRACE(format->name);
        const std::string path = dir_ / (std::string("sample") + format->extensions[0]);
        testing::WriteBytes(path, Bytes(format->sample.begin(), format->sample.end()));
        CurrentImage image;
        std::string error;
        std::vector<std::string> notices;
        ASSERT_TRUE(LoadImageFile(path, image, error, notices)) << error;
        SplitSettings settings;
        settings.tileFormat = "tiff";
        const std::string folder = dir_ / format->name;
        const SplitResult got = Cut(path, settings, false, folder);
        ASSERT_TRUE(got.ok) << got.message;
        const int columns = (image.width + kTileWidth - 1) / kTileWidth;
        const int rows = (image.height + kTileHeight - 1) / kTileHeight;
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column) {
                const Read tile = ReadTiff(BuildTileFileName(folder, "sample", ".tif", column, row,
                                                             columns, rows, settings));
                ASSERT_FALSE(tile.rgba.empty());
                for (uint32_t y = 0; y < tile.height; ++y)
                    for (uint32_t x = 0; x < tile.width; ++x) {
                        uint8_t colour[4];
                        RowAsColours(
                            *image.raster, image.alpha, column * kTileWidth + static_cast<int>(x),
                            row * kTileHeight + static_cast<int>(y), 1, ColourOrder::kRgba, colour);
                        const uint32_t pixel = tile.rgba[y * tile.width + x];
                        ASSERT_EQ(TIFFGetR(pixel), colour[0]) << x << "," << y;
                        ASSERT_EQ(TIFFGetG(pixel), colour[1]);
                        ASSERT_EQ(TIFFGetB(pixel), colour[2]);
                        ASSERT_EQ(TIFFGetA(pixel), colour[3]);
                    }
            }
    }
}

}  // namespace
}  // namespace tessarin
