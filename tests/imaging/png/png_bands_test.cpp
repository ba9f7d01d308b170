#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_test_files.h"
#include "imaging/memory_budget.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_test_support.h"
#include "split/band_cut.h"
#include "split/formats.h"
#include "split/image_loader.h"
#include "split/split_job.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using Tiles = std::map<std::string, std::vector<uint8_t>>;

// The tiles in `folder` by their names without the source's ("_1_2.png").
Tiles ReadTiles(const std::string& folder) {
    Tiles tiles;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        tiles[name.substr(name.find('_'))] = testing::ReadBytes(e.path().string());
    }
    return tiles;
}

void Put32(std::vector<uint8_t>& out, uint32_t n) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(n >> s));
}

class PngBandsTest : public ::testing::Test {
  protected:
    void SetUp() override { SetMinBandRows(1); }
    void TearDown() override { SetMinBandRows(0); }

    SplitResult Split(const std::string& path, bool whole, const std::string& folder) {
        fs::create_directories(folder);
        SplitSettings settings = settings_;
        settings.savePath = folder;
        SplitJob job;
        std::string error;
        std::vector<std::string> notices;
        const bool loaded = whole ? LoadImageFile(path, job.image, error, notices)
                                  : LoadImageForTiles(path, settings, job.image, error, notices);
        EXPECT_EQ(job.image.bands != nullptr, !whole && loaded);
        if (!loaded) return SplitResult{false, error, "", 0, false};
        job.settings = settings;
        return RunSplitJob(job);
    }
    testing::TempDir dir_;
    SplitSettings settings_;
};

// A damaged file, within its image data or after it, fails with the whole
// load's message and leaves no tile: a file's tiles appear all together.
TEST_F(PngBandsTest, DamagedFilesLeaveNoTile) {
    pngtest::PngLayout layout;
    layout.width = 64;
    layout.height = 120;
    layout.rows = pngtest::RandomRows(64, 120, 24, 3);  // stored over several chunks
    const std::string intact = dir_ / "intact.png";
    ASSERT_TRUE(pngtest::WritePng(intact, layout));
    const std::vector<uint8_t> bytes = testing::ReadBytes(intact);
    std::vector<size_t> imageData;  // where each IDAT chunk's data starts
    for (size_t at = 8; at + 8 <= bytes.size();) {
        const uint32_t length = (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
                                (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
        if (std::memcmp(&bytes[at + 4], "IDAT", 4) == 0) imageData.push_back(at + 8);
        at += 12 + size_t{length};
    }
    ASSERT_GE(imageData.size(), 3u);

    std::vector<uint8_t> truncated(bytes.begin(),
                                   bytes.end() - static_cast<ptrdiff_t>(bytes.size() / 2));
    std::vector<uint8_t> badCrc = bytes;
    badCrc[imageData[imageData.size() - 2] + 5] ^= 0xFF;
    std::vector<uint8_t> unknownCritical(bytes.begin(), bytes.end() - 12);
    Put32(unknownCritical, 1);
    const uint8_t chunk[] = {'C', 'R', 'I', 'T', 0};
    unknownCritical.insert(unknownCritical.end(), chunk, chunk + 5);
    Put32(unknownCritical, static_cast<uint32_t>(crc32(0, chunk, 5)));
    unknownCritical.insert(unknownCritical.end(), bytes.end() - 12, bytes.end());
    struct Case {
        const char* name;
        const std::vector<uint8_t>& bytes;
    };
    const Case cases[] = {
        {"truncated.png", truncated},
        {"bad-crc.png", badCrc},
        {"after-data.png", unknownCritical},
    };
    settings_.widthValue[0] = 16;
    settings_.heightValue[0] = 10;
    settings_.threadCount = 2;
    int run = 0;
    for (const int allBmp : {0, 1}) {
        settings_.allBmp = allBmp;
        const std::string intactTiles = dir_ / ("intact" + std::to_string(allBmp));
        ASSERT_TRUE(Split(intact, false, intactTiles).ok);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (allBmp ? " as BMP" : ""));
            const std::string path = dir_ / c.name;
            testing::WriteBytes(path, c.bytes);
            const std::string whole = dir_ / ("w" + std::to_string(run));
            const std::string banded = dir_ / ("b" + std::to_string(run++));
            const SplitResult expected = Split(path, true, whole);
            const SplitResult got = Split(path, false, banded);
            ASSERT_FALSE(expected.ok);
            EXPECT_EQ(got.message, expected.message);
            EXPECT_TRUE(ReadTiles(banded).empty());
            EXPECT_TRUE(ReadTiles(whole).empty());
        }
    }
}

// An interlaced file is decoded whole before its first row, into a picture
// its bands hold within the memory budget like any load, and its whole load
// stops when asked, as a streamed file's does. 32 x 32 RGB: 3072 bytes of
// raster, 512 of library rows.
TEST_F(PngBandsTest, InterlacedPicturesAreHeldWithinTheBudgetAndShared) {
    struct Budget {
        explicit Budget(uint64_t bytes) { SetSplitMemoryBudget(bytes); }
        ~Budget() { SetSplitMemoryBudget(0); }
    };
    struct Stop final : ReadWatch {
        bool StopRequested() const override { return true; }
    } stop;
    const ImageFormat& png = *FindImageFormat(ImageFileKind::Png);
    settings_.widthValue[0] = settings_.heightValue[0] = 8;
    int run = 0;
    for (const bool interlaced : {false, true}) {
        const std::string path = std::string(TESSARIN_TEST_DATA) + "/pngsuite/" +
                                 (interlaced ? "basi2c08.png" : "basn2c08.png");
        SCOPED_TRACE(path);
        LoadedImage stopped;
        EXPECT_FALSE(LoadWholeImage(png, SourceFile::Open(path), stopped, &stop));
        {
            // The raster and the picture held are one: a copy would not fit.
            Budget budget(4096);
            LoadedImage whole;
            EXPECT_TRUE(LoadWholeImage(png, SourceFile::Open(path), whole, nullptr)) << whole.error;
        }
        // Bands of 8 rows fit, the whole picture does not: the whole loads,
        // and the split of the interlaced file, are refused before any tile.
        Budget budget(2048);
        LoadedImage refused;
        EXPECT_FALSE(LoadWholeImage(png, SourceFile::Open(path), refused, nullptr));
        EXPECT_EQ(refused.error, "読み込みの準備に失敗しました");
        const std::string folder = dir_ / ("t" + std::to_string(run++));
        const SplitResult split = Split(path, false, folder);
        EXPECT_EQ(split.ok, !interlaced);
        EXPECT_EQ(split.message, interlaced ? "読み込みの準備に失敗しました" : "");
        EXPECT_EQ(ReadTiles(folder).size(), interlaced ? 0u : 16u);
    }
}

// Only a band has to fit in memory: pictures beyond what a whole raster may
// hold open for bands, up to the formats' own limits, while the whole load
// refuses them.
TEST_F(PngBandsTest, PicturesBeyondTheRasterLimitOpenForBands) {
    giftest::Gif tall = giftest::OneFrame(8, 8, 4);
    std::vector<uint8_t> gifBytes = giftest::Encode(tall);
    const size_t descriptor = giftest::FindFirstDescriptor(gifBytes).start;
    for (const size_t field : {descriptor + 5, descriptor + 6, descriptor + 7, descriptor + 8})
        gifBytes[field] = 0xFF;  // 65,535 x 65,535
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int width;
        int height;
        bool (*openBands)(const SourceFilePtr&, const TileSettings&, LoadedImage&,
                          std::unique_ptr<RowBands>&);
    };
    const Case cases[] = {
        {"wide.png", pngtest::HeaderOnlyPng(65536, 16385, 1, PNG_COLOR_TYPE_GRAY), 65536, 16385,
         &OpenPngBands},
        {"tall.png", pngtest::HeaderOnlyPng(3, 0x7FFFFFFF, 8, PNG_COLOR_TYPE_RGB), 3, 0x7FFFFFFF,
         &OpenPngBands},
        {"square.gif", gifBytes, 65535, 65535, &OpenGifBands},
    };
    const SplitTileSettings tileSettings(settings_, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_ / c.name;
        testing::WriteBytes(path, c.bytes);
        LoadedImage header;
        std::unique_ptr<RowBands> bands;
        ASSERT_TRUE(c.openBands(SourceFile::Open(path), tileSettings, header, bands))
            << header.error;
        ASSERT_TRUE(bands);
        EXPECT_EQ(header.width, c.width);
        EXPECT_EQ(header.height, c.height);
        CurrentImage image;
        std::string error;
        std::vector<std::string> notices;
        EXPECT_FALSE(LoadImageFile(path, image, error, notices));
    }
}

}  // namespace
}  // namespace tessarin
