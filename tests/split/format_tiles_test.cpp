// Every registered format, cut into every tile format a split can choose:
// each tile's bytes are of the format its extension names, each holds the
// source's pixels at its place, and the cut band by band writes the very
// files the cut of the whole raster does. A format added to the registry is
// held to all of it through its sample.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imaging/format_registry.h"
#include "split/band_cut.h"
#include "split/formats.h"
#include "split/image_loader.h"
#include "split/naming.h"
#include "split/split_job.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Files = std::map<std::string, Bytes>;

// The colour of pixel (x, y) of a raster of any depth a reader makes.
RgbQuad ColourAt(const DibImage& image, int x, int y) {
    const uint8_t* row = image.Row(y);
    switch (image.BitCount()) {
        case 1:
        case 4:
        case 8:
            return image.ColorAt(IndexAt(row, image.BitCount(), x));
        case 16: {
            const unsigned v = row[2 * x] | (unsigned{row[2 * x + 1]} << 8);
            const auto five = [](unsigned c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
            return {five(v & 31), five((v >> 5) & 31), five((v >> 10) & 31), 0};
        }
        default: {
            const uint8_t* p = row + x * (image.BitCount() / 8);
            return {p[0], p[1], p[2], 0};
        }
    }
}

Files ReadFolder(const std::string& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = testing::ReadBytes(entry.path().string());
    return files;
}

// Cuts `path` into 5 x 4 tiles in `folder`, as the window cuts a loaded image
// (`banded` false) or as the command mode does, band by band where the
// format reads so.
SplitResult Cut(const std::string& path, bool allBmp, bool banded, const std::string& folder) {
    SplitSettings settings;
    settings.allBmp = allBmp;
    settings.widthValue[0] = 5;
    settings.heightValue[0] = 4;
    settings.threadCount = 3;
    settings.savePath = folder;
    fs::create_directories(folder);
    SplitJob job;
    std::string error;
    std::vector<std::string> notices;
    const bool loaded = banded ? LoadImageForTiles(path, settings, job.image, error, notices)
                               : LoadImageFile(path, job.image, error, notices);
    if (!loaded) {
        SplitResult failed;
        failed.message = error;
        return failed;
    }
    job.settings = settings;
    return RunSplitJob(job);
}

class FormatTiles : public ::testing::Test {
  protected:
    void SetUp() override { SetMinBandRows(1); }  // every tile row a band of its own
    void TearDown() override { SetMinBandRows(0); }
    testing::TempDir dir_;
};

TEST_F(FormatTiles, EveryTileIsOfItsExtensionsFormatAndHoldsTheSourcesPixels) {
    for (const ImageFormat* format : ImageFormats()) {
        const std::string source = dir_ / (std::string("sample") + format->extensions[0]);
        testing::WriteBytes(source, Bytes(format->sample.begin(), format->sample.end()));
        CurrentImage image;
        std::string error;
        std::vector<std::string> notices;
        ASSERT_TRUE(LoadImageFile(source, image, error, notices)) << format->name << ": " << error;
        for (const bool allBmp : {false, true}) {
            SplitSettings settings;
            settings.allBmp = allBmp;
            const ImageFormat& writer = TileFormatFor(*format, settings);
            SCOPED_TRACE(std::string(format->name) + " into " + writer.name);
            const std::string whole = dir_ / (std::string(format->name) + "-whole-" + writer.name);
            const std::string banded = dir_ / (std::string(format->name) + "-bands-" + writer.name);
            const SplitResult fromWhole = Cut(source, allBmp, false, whole);
            ASSERT_TRUE(fromWhole.ok) << fromWhole.message;
            const SplitResult fromBands = Cut(source, allBmp, true, banded);
            ASSERT_TRUE(fromBands.ok) << fromBands.message;
            const Files tiles = ReadFolder(whole);
            EXPECT_EQ(ReadFolder(banded), tiles);

            const int columns = (image.width + 4) / 5, rows = (image.height + 3) / 4;
            ASSERT_EQ(tiles.size(), static_cast<size_t>(columns * rows));
            for (int row = 0; row < rows; ++row)
                for (int column = 0; column < columns; ++column) {
                    const std::string path = BuildTileFileName(
                        whole, "sample", TileExtension(*format, format->extensions[0], settings),
                        column, row, columns, rows, settings);
                    SCOPED_TRACE(path);
                    const Bytes bytes = testing::ReadBytes(path);
                    ASSERT_GE(bytes.size(), kSniffBytes);
                    std::string base, extension;
                    ASSERT_TRUE(SplitFileName(path, base, extension));
                    EXPECT_EQ(SniffImageFormat(bytes.data(), bytes.size()),
                              FindImageFormatByExtension(extension));
                    CurrentImage tile;
                    ASSERT_TRUE(LoadImageFile(path, tile, error, notices)) << error;
                    ASSERT_EQ(tile.width, std::min(5, image.width - column * 5));
                    ASSERT_EQ(tile.height, std::min(4, image.height - row * 4));
                    // Re-encoded JPEG tiles keep the picture, not every sample.
                    const int loss = writer.can.lossyTiles ? 48 : 0;
                    for (int y = 0; y < tile.height; ++y)
                        for (int x = 0; x < tile.width; ++x) {
                            const RgbQuad want =
                                ColourAt(*image.raster, column * 5 + x, row * 4 + y);
                            const RgbQuad got = ColourAt(*tile.raster, x, y);
                            ASSERT_LE(std::abs(want.red - got.red), loss) << x << "," << y;
                            ASSERT_LE(std::abs(want.green - got.green), loss) << x << "," << y;
                            ASSERT_LE(std::abs(want.blue - got.blue), loss) << x << "," << y;
                        }
                }
        }
    }
}

}  // namespace
}  // namespace tessarin
