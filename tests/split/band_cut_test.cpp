#include "split/band_cut.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "imaging/jpeg/jpeg_test_util.h"
#include "imaging/memory_budget.h"
#include "imaging/messages.h"
#include "split/band_sources.h"
#include "split/image_loader.h"
#include "split/split_job.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using band_sources::Bmp;
using band_sources::Source;
using band_sources::Sources;
using Tiles = std::map<std::string, std::vector<uint8_t>>;

Tiles ReadTiles(const std::string& folder) {
    Tiles tiles;
    for (const auto& e : fs::directory_iterator(folder))
        tiles[e.path().filename().string()] = testing::ReadBytes(e.path().string());
    return tiles;
}

// The most memory the process has held so far.
uint64_t PeakBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024;
}

struct Variant {
    const char* name;
    int threads;
    std::function<void(SplitSettings&)> apply;
};

const Variant kVariants[] = {
    {"7x5 pixels from 3,2", 7,
     [](SplitSettings& s) {
         s.widthValue[0] = 7;
         s.heightValue[0] = 5;
         s.offsetXValue[0] = 3;
         s.offsetYValue[0] = 2;
     }},
    {"30% x 20%", 2,
     [](SplitSettings& s) {
         s.widthUnit = s.heightUnit = SizeUnit::Percent;
         s.widthValue[1] = 30;
         s.heightValue[1] = 20;
     }},
    {"3 x 4 tiles from 10%", 1,
     [](SplitSettings& s) {
         s.widthUnit = s.heightUnit = SizeUnit::Count;
         s.widthValue[2] = 3;
         s.heightValue[2] = 4;
         s.offsetYUnit = SizeUnit::Percent;
         s.offsetYValue[1] = 10;
     }},
};

class BandCutTest : public ::testing::Test {
  protected:
    void SetUp() override { SetMinBandRows(1); }  // every tile row a band of its own
    void TearDown() override { SetMinBandRows(0); }

    // Splits `path` into a fresh folder, from the whole raster as the window
    // does or as the command mode does.
    SplitResult Split(const std::string& path, SplitSettings settings, bool whole,
                      const std::string& folder, bool& banded) {
        fs::create_directories(folder);
        settings.savePath = folder;
        SplitJob job;
        std::string error;
        std::vector<std::string> notices;
        const bool loaded = whole ? LoadImageFile(path, job.image, error, notices)
                                  : LoadImageForTiles(path, settings, job.image, error, notices);
        banded = job.image.bands != nullptr;
        if (!loaded) return SplitResult{false, error, "", 0, false};
        // A damaged image is shown, but a split of it fails.
        if (!job.image.damage.empty()) return SplitResult{false, job.image.damage, "", 0, false};
        job.settings = settings;
        return RunSplitJob(job);
    }
    testing::TempDir dir_;
};

// The oracle: whatever a format cuts band by band gives the tiles, the
// outcome and the message of a split of the whole raster, for every format,
// depth, palette, row order, interlacing, damage, unit, offset and thread
// count, in the format's own tiles and as BMP tiles.
TEST_F(BandCutTest, BandedTilesAreTheWholeRastersTiles) {
    int bandedSplits = 0;
    int run = 0;
    for (const Source& source : Sources()) {
        const std::string path = dir_ / source.name;
        source.write(path);
        const bool isBmp = fs::path(path).extension() == ".bmp";
        for (const Variant& variant : kVariants)
            for (const int allBmp : {0, 1}) {
                if (allBmp && (isBmp || variant.threads != 7)) continue;
                SplitSettings settings;
                variant.apply(settings);
                settings.threadCount = variant.threads;
                settings.allBmp = allBmp;
                settings.formatOptions.Set("OPTION", "CORRECT_CUT",
                                           true);  // exact JPEG tiles, from the rows
                SCOPED_TRACE(std::string(source.name) + ", " + variant.name +
                             (allBmp ? ", as BMP" : ""));
                const std::string whole = dir_ / ("w" + std::to_string(run));
                const std::string bands = dir_ / ("b" + std::to_string(run++));
                bool unused = false, banded = false;
                const SplitResult expected = Split(path, settings, true, whole, unused);
                const SplitResult got = Split(path, settings, false, bands, banded);
                bandedSplits += banded ? 1 : 0;
                EXPECT_EQ(got.message, expected.message);
                if (expected.ok && got.ok) {
                    EXPECT_EQ(got.tilesWritten, expected.tilesWritten);
                    EXPECT_TRUE(ReadTiles(bands) == ReadTiles(whole));
                }
            }
    }
    // Uncompressed BMP files at least are cut by bands.
    EXPECT_GE(bandedSplits, 27);
}

// Every cut of a damaged file fails with its format's message where the data
// stops: a split loaded for its tiles (by bands, from the samples, from the
// coefficients) and one of the picture the window shows, which keeps what
// was decoded but carries the damage. Bands stop at the first or second one
// of 64 rows, however many rows the header claims, and no cut takes memory
// for more than the picture the data holds. Files the library only warns
// about without damage load and split as usual.
TEST_F(BandCutTest, DamagedFilesFailEveryCutWhereTheirDataStops) {
    for (const band_sources::DamagedSource& source : band_sources::DamagedSources()) {
        SCOPED_TRACE(source.name);
        const std::string path = dir_ / source.name;
        source.write(path);
        [[maybe_unused]] const uint64_t peak = PeakBytes();
        {
            CurrentImage shown;
            std::string error;
            std::vector<std::string> notices;
            if (LoadImageFile(path, shown, error, notices)) {
                EXPECT_EQ(shown.damage, source.message);
            }
        }
        const bool isJpeg = fs::path(path).extension() == ".jpg";
        for (const int kind : {0, 1, 2}) {  // the format's tiles, BMP tiles, lossless JPEG
            if (kind == 2 && !isJpeg) continue;
            SplitSettings settings;
            settings.widthValue[0] = settings.heightValue[0] = 64;
            settings.allBmp = kind == 1;
            settings.formatOptions.Set("OPTION", "CORRECT_CUT", kind != 2);
            SCOPED_TRACE(kind);
            CurrentImage image;
            std::string error;
            std::vector<std::string> notices;
            if (!LoadImageForTiles(path, settings, image, error, notices)) {
                EXPECT_EQ(error, source.message);
                continue;
            }
            if (image.bands) {
                std::unique_ptr<RowBand> band = image.bands->NewBand(64);
                ASSERT_NE(band, nullptr);
                const char* failure = nullptr;
                int read = 0;
                for (int top = 0; top < image.height && !failure; top += 64, ++read)
                    failure = image.bands->ReadRows(*band, std::min(64, image.height - top));
                EXPECT_STREQ(failure, source.message);
                EXPECT_LE(read, 2);
            }
            bool banded = false;
            const SplitResult got =
                Split(path, settings, false, path + std::to_string(kind), banded);
            EXPECT_FALSE(got.ok);
            EXPECT_EQ(got.message, source.message);
        }
#ifndef __SANITIZE_THREAD__
        // ThreadSanitizer's shadow memory grows with every byte touched, so
        // its peak says nothing about what the readers allocate.
        EXPECT_LT(PeakBytes() - peak, uint64_t{512} << 20);
#endif
    }
    for (const Source& source : band_sources::UndamagedSources()) {
        SCOPED_TRACE(source.name);
        const std::string path = dir_ / source.name;
        source.write(path);
        for (const bool whole : {true, false}) {
            SplitSettings settings;
            bool banded = false;
            const SplitResult got =
                Split(path, settings, whole, path + (whole ? "-whole" : "-tiles"), banded);
            EXPECT_TRUE(got.ok) << got.message;
        }
    }
}

// A band the budget cannot hold fails the file before any tile is written,
// with the format's memory message; two bands that do not fit are cut one
// after the other, with the same tiles.
TEST_F(BandCutTest, BandsThatDoNotFitTheBudget) {
    const std::string path = dir_ / "wide.bmp";
    testing::WriteBytes(path, testing::BuildBmp(Bmp(400, 90, 24)));
    SplitSettings settings;
    settings.widthValue[0] = 100;
    settings.heightValue[0] = 30;  // bands of 30 rows: 36,000 bytes of raster
    settings.threadCount = 2;
    bool banded = false;
    const SplitResult whole = Split(path, settings, true, dir_ / "whole", banded);
    ASSERT_TRUE(whole.ok);
    {
        jpeg_test::ScopedSplitBudget oneBand(40000);
        const SplitResult got = Split(path, settings, false, dir_ / "one", banded);
        EXPECT_TRUE(banded);
        EXPECT_TRUE(got.ok) << got.message;
        EXPECT_TRUE(ReadTiles(dir_ / "one") == ReadTiles(dir_ / "whole"));
    }
    jpeg_test::ScopedSplitBudget none(30000);
    const SplitResult got = Split(path, settings, false, dir_ / "none", banded);
    EXPECT_EQ(got.message, msg::kMemoryFailed);
    EXPECT_TRUE(fs::is_empty(dir_ / "none"));
}

// A file its bands decode whole (an interlaced GIF, an RLE BMP, pixels said
// to start inside the colour table) holds that picture besides its bands: a
// budget that cannot hold it fails the cut before any tile is written, and
// the window's load too; one that can gives the usual tiles.
TEST_F(BandCutTest, PicturesDecodedWholeCountAgainstTheBudget) {
    for (const Source& source : Sources()) {
        const std::string name = source.name;
        if (name != "interlaced.gif" && name != "rle.bmp" && name != "offset-in-table.bmp")
            continue;
        SCOPED_TRACE(name);
        const std::string path = dir_ / name;
        source.write(path);
        SplitSettings settings;
        settings.widthValue[0] = 8;
        settings.heightValue[0] = 8;
        settings.threadCount = 2;
        CurrentImage image;
        std::string error;
        std::vector<std::string> notices;
        ASSERT_TRUE(LoadImageForTiles(path, settings, image, error, notices)) << error;
        ASSERT_TRUE(image.bands);
        const uint64_t held = image.bands->HeldBytes();
        EXPECT_GE(held, uint64_t(image.width) * uint64_t(image.height));  // 8-bit pictures
        const std::string memoryMessage = image.bands->MemoryMessage();
        bool banded = false;
        const SplitResult whole = Split(path, settings, true, dir_ / (name + "-whole"), banded);
        ASSERT_TRUE(whole.ok) << whole.message;
        {
            jpeg_test::ScopedSplitBudget short_(held - 1);
            const SplitResult got = Split(path, settings, false, dir_ / (name + "-none"), banded);
            EXPECT_EQ(got.message, memoryMessage);
            EXPECT_TRUE(fs::is_empty(dir_ / (name + "-none")));
            CurrentImage shown;
            EXPECT_FALSE(LoadImageFile(path, shown, error, notices));
        }
        jpeg_test::ScopedSplitBudget enough(2 * held);
        const SplitResult got = Split(path, settings, false, dir_ / (name + "-held"), banded);
        EXPECT_TRUE(got.ok) << got.message;
        EXPECT_TRUE(ReadTiles(dir_ / (name + "-held")) == ReadTiles(dir_ / (name + "-whole")));
    }
}

// Counts the rows a split reads from its bands.
class CountingBands final : public RowBands {
  public:
    explicit CountingBands(std::shared_ptr<RowBands> inner) : inner_(std::move(inner)) {}
    uint64_t HeldBytes() const override { return inner_->HeldBytes(); }
    uint64_t BandBytes(int rows) const override { return inner_->BandBytes(rows); }
    std::unique_ptr<RowBand> NewBand(int rows) override { return inner_->NewBand(rows); }
    const char* ReadRows(RowBand& band, int rows) override {
        read += rows;
        return inner_->ReadRows(band, rows);
    }
    const char* MemoryMessage() const override { return inner_->MemoryMessage(); }
    std::atomic<int> read{0};

  private:
    std::shared_ptr<RowBands> inner_;
};

// A selection whose last tile lies in the first band reads that band only:
// the file below it is never decoded.
TEST_F(BandCutTest, NothingIsReadBelowTheLastSelectedTile) {
    const std::string path = dir_ / "tall.bmp";
    testing::WriteBytes(path, testing::BuildBmp(Bmp(400, 90, 24)));
    SplitJob job;
    job.settings.widthValue[0] = 100;
    job.settings.heightValue[0] = 30;  // three bands of 30 rows
    job.settings.threadCount = 2;
    job.settings.savePath = dir_ / "tiles";
    fs::create_directories(job.settings.savePath);
    std::string error;
    std::vector<std::string> notices;
    ASSERT_TRUE(LoadImageForTiles(path, job.settings, job.image, error, notices));
    ASSERT_TRUE(job.image.bands);
    auto counting = std::make_shared<CountingBands>(job.image.bands);
    job.image.bands = counting;
    auto selection = std::make_shared<SelectionMap>();
    selection->Enter(4, 3);
    ASSERT_TRUE(selection->ToggleSelectionCell(1, 2));  // row 1, column 2
    job.selection = selection;
    const SplitResult result = RunSplitJob(job);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.tilesWritten, 1);
    EXPECT_EQ(counting->read.load(), 30);
}

}  // namespace
}  // namespace tessarin
