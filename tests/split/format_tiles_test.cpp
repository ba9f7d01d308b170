// Every registered format, cut into every tile format a split can choose:
// each tile's bytes are of the format its extension names, each holds the
// source's pixels at its place, and the cut band by band writes the very
// files the cut of the whole raster does. A format added to the registry is
// held to all of it through its sample.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imaging/format_registry.h"
#include "imaging/jpeg/jpeg_writer.h"
#include "platform/text.h"
#include "split/band_cut.h"
#include "split/formats.h"
#include "split/image_loader.h"
#include "split/naming.h"
#include "split/split_job.h"
#include "support/split_file.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Files = std::map<std::string, Bytes>;

// The colour of pixel (x, y) of a raster of any depth a reader makes.
RgbQuad ColourAt(const DibImage& image, int x, int y) {
    uint8_t c[3];
    RowAsColours(image, false, x, y, 1, ColourOrder::kBgr, c);
    return {c[0], c[1], c[2], 0};
}

// Cuts `path` into 5 x 4 tiles in `folder`, whole or band by band.
SplitResult Cut(const std::string& path, SplitSettings settings, bool banded,
                const std::string& folder) {
    settings.widthValue[0] = 5;
    settings.heightValue[0] = 4;
    settings.threadCount = 3;
    return testing::CutFile(path, settings, banded, folder);
}

// "same", then every format that writes other files' tiles, by its name.
std::vector<std::string> TileFormatChoices() {
    std::vector<std::string> choices = {"same"};
    for (const ImageFormat* format : ImageFormats())
        if (format->makeRasterSource) choices.push_back(AsciiLower(format->name));
    return choices;
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
        for (const std::string& choice : TileFormatChoices()) {
            SplitSettings settings;
            settings.allBmp = choice == "bmp";
            settings.tileFormat = choice == "bmp" || choice == "same" ? "" : choice;
            const ImageFormat& writer = TileFormatFor(*format, settings);
            SCOPED_TRACE(std::string(format->name) + " into " + writer.name);
            const std::string whole = dir_ / (std::string(format->name) + "-whole-" + choice);
            const std::string banded = dir_ / (std::string(format->name) + "-bands-" + choice);
            const SplitResult fromWhole = Cut(source, settings, false, whole);
            const SplitResult fromBands = Cut(source, settings, true, banded);
            EXPECT_EQ(fromBands.message, fromWhole.message);
            // A format may refuse a picture it cannot hold (GIF, more than
            // 256 colours), with a message of its own.
            if (!fromWhole.ok && writer.messages && &writer != format) {
                bool own = false;
                for (const char* const* m = writer.messages; *m; ++m)
                    own = own || fromWhole.message == *m;
                if (own) continue;
            }
            ASSERT_TRUE(fromWhole.ok) << fromWhole.message;
            ASSERT_TRUE(fromBands.ok) << fromBands.message;
            const Files tiles = testing::ReadFolder(whole);
            EXPECT_EQ(testing::ReadFolder(banded), tiles);

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
                    // Re-encoded JPEG tiles keep the picture, not every
                    // sample (chroma is halved): their mean error stays
                    // within a fifth of the range on these sharp samples.
                    int total = 0, worst = 0;
                    for (int y = 0; y < tile.height; ++y)
                        for (int x = 0; x < tile.width; ++x) {
                            const RgbQuad want =
                                ColourAt(*image.raster, column * 5 + x, row * 4 + y);
                            const RgbQuad got = ColourAt(*tile.raster, x, y);
                            for (const int d : {want.red - got.red, want.green - got.green,
                                                want.blue - got.blue}) {
                                total += std::abs(d);
                                worst = std::max(worst, std::abs(d));
                            }
                        }
                    if (writer.can.lossyTiles)
                        EXPECT_LE(total, 48 * 3 * tile.width * tile.height);
                    else
                        EXPECT_EQ(worst, 0);
                }
        }
    }
}

// A colour profile travels from the source into every tile of every format
// that holds one, whatever the two formats are: from a JPEG file and from the
// same picture in each other format that holds a profile, cut exactly,
// losslessly and into each other format.
TEST_F(FormatTiles, EveryTileKeepsTheSourcesColourProfile) {
    BitmapInfoHeader header;
    header.biWidth = 24;
    header.biHeight = 16;
    header.biBitCount = 24;
    auto raster = DibImage::Create(header, nullptr, 0, true);
    ASSERT_TRUE(raster);
    // Larger than one APP2 marker holds, so that it is split and joined: a
    // display profile's header (libpng checks it) and no tags.
    IccProfile profile(70000);
    for (size_t i = 132; i < profile.size(); ++i)
        profile[i] = static_cast<uint8_t>(i * 7 + i / 251);
    const auto put = [&](size_t at, std::string_view bytes) {
        std::copy(bytes.begin(), bytes.end(), profile.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(0, std::string_view("\x00\x01\x11\x70", 4));  // its size
    put(8, std::string_view("\x02\x10\x00\x00", 4));
    put(12, "mntrRGB XYZ ");
    put(36, "acsp");
    put(68, std::string_view("\x00\x00\xF6\xD6\x00\x01\x00\x00\x00\x00\xD3\x2D", 12));
    const std::string source = dir_ / "profiled.jpg";
    {
        testing::WriteBytes(source, {});
        const int fd = ::open(source.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(jpeg::EncodeJpegRegion(fd, *raster, 0, 0, 24, 16, 90, &profile));
        ::close(fd);
    }
    // The same picture as a file of every other format that holds a
    // profile: one tile of the whole picture.
    std::vector<std::string> sources = {source};
    for (const ImageFormat* format : ImageFormats()) {
        if (!format->can.keepsProfile || format->kind == ImageFileKind::Jpeg) continue;
        SplitSettings settings;
        settings.tileFormat = AsciiLower(format->name);
        settings.widthValue[0] = 24;
        settings.heightValue[0] = 16;
        settings.savePath = dir_ / ("whole-" + settings.tileFormat);
        fs::create_directories(settings.savePath);
        SplitJob job;
        std::string error;
        std::vector<std::string> notices;
        ASSERT_TRUE(LoadImageFile(source, job.image, error, notices)) << error;
        job.settings = settings;
        ASSERT_TRUE(RunSplitJob(job).ok) << format->name;
        sources.push_back(settings.savePath + "/profiled_1_1" + format->extensions[0]);
    }
    for (const std::string& from : sources) {
        const ImageFormat* format = FindImageFormat(ClassifyImageFile(from));
        ASSERT_TRUE(format) << from;
        for (const std::string& choice : TileFormatChoices()) {
            for (const int exact : {0, 1}) {
                SplitSettings settings;
                settings.allBmp = choice == "bmp";
                settings.tileFormat = choice == "bmp" || choice == "same" ? "" : choice;
                settings.formatOptions.Set("OPTION", "CORRECT_CUT", exact);
                const ImageFormat& writer = TileFormatFor(*format, settings);
                if (!writer.can.keepsProfile) continue;
                SCOPED_TRACE(std::string(format->name) + " into " + choice +
                             (exact ? " exact" : " lossless"));
                const std::string folder = dir_ / ("profiled-" + std::string(format->name) +
                                                   choice + std::to_string(exact));
                const SplitResult result = Cut(from, settings, true, folder);
                ASSERT_TRUE(result.ok) << result.message;
                const Files tiles = testing::ReadFolder(folder);
                ASSERT_EQ(tiles.size(), 20u);
                for (const auto& [name, bytes] : tiles) {
                    CurrentImage tile;
                    std::string error;
                    std::vector<std::string> notices;
                    ASSERT_TRUE(LoadImageFile(folder + "/" + name, tile, error, notices)) << error;
                    ASSERT_TRUE(tile.iccProfile) << name;
                    EXPECT_TRUE(*tile.iccProfile == profile) << name;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tessarin
