// JPEG files opened for tiles where nothing shows them: rows cut band by band
// hold one set of coefficients at most, and no raster limit applies to a
// picture that is never decoded whole.

#include <algorithm>

#include "imaging/bmp/bmp_format.h"
#include "imaging/jpeg/jpeg_library_check.h"
#include "jpeg_test_util.h"
#include "split/image_loader.h"
#include "split/split_job.h"
#include "split/thread_pool.h"

namespace tessarin {
namespace {

using namespace jpeg_test;

// A progressive 4:2:0 file whose header claims 32769 x 32768 pixels, past the
// 2^30 pixels a raster may have: its coefficients take 3,222,798,336 bytes
// ((4098 x 4096 + 2 x 2049 x 2048) blocks). Only the header is ever read.
TEST(JpegBands, PicturesPastTheRasterLimitAreHeldToTheMemoryBudgetAlone) {
    TempDir dir;
    WriteSource(dir / "small.jpg", {.width = 32, .height = 32, .progressive = true});
    const std::string path = dir / "huge.jpg";
    WriteBytes(path, WithFrameSize(ReadBytes(dir / "small.jpg"), 32769, 32768));
    constexpr uint64_t kCoefficients = 3'222'798'336;

    {
        const ScopedSplitBudget budget(uint64_t{1} << 40);  // the raster's own limit decides
        LoadedImage whole;
        EXPECT_FALSE(LoadJpeg(path, whole));
        EXPECT_EQ(whole.error, "BMPオブジェクトの作成に失敗しました");
    }

    for (const bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact" : "lossless");
        SplitSettings settings;
        settings.formatOptions.Set("OPTION", "CORRECT_CUT", exact);
        settings.widthValue[0] = settings.heightValue[0] = 1024;
        settings.savePath = dir / (exact ? "exact" : "lossless");
        fs::create_directories(settings.savePath);
        SplitJob job;
        std::string error;
        std::vector<std::string> notices;
        ASSERT_TRUE(LoadImageForTiles(path, settings, job.image, error, notices)) << error;
        EXPECT_EQ(job.image.width, 32769);
        EXPECT_EQ(job.image.height, 32768);
        EXPECT_EQ(job.image.raster, nullptr);
        // Lossless tiles come from the coefficients; exact ones from bands of
        // rows beside the one set of coefficients the scans are read into.
        ASSERT_EQ(job.image.bands != nullptr, exact);
        if (exact) {
            EXPECT_EQ(job.image.bands->HeldBytes(), kCoefficients);
            EXPECT_EQ(job.image.bands->BandBytes(1024), uint64_t{98308} * 1024);
        }
        // The coefficients alone (and a band) beyond the budget fail the
        // split before any tile or decode.
        ScopedSplitBudget budget(exact ? kCoefficients : kCoefficients - 1);
        job.settings = settings;
        const SplitResult result = RunSplitJob(job);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, "メモリ領域の確保に失敗しました");
        EXPECT_TRUE(fs::is_empty(settings.savePath));
    }
}

// Where the loaded library is not a version whose private layout the
// two-thread decode was checked against, progressive files decode on one
// thread, into the same rows.
TEST(JpegBands, UncheckedLibraryVersionsDecodeOnOneThread) {
    TempDir dir;
    const std::string path = dir / "p.jpg";
    WriteSource(path, {.width = 90, .height = 70, .progressive = true});
    const Samples library = DecodeLibraryJpeg(path);
    struct Restore {
        ~Restore() { jpeg::ForcePrivateLayoutAnswerForTesting(std::nullopt); }
    } restore;
    for (const bool force : {false, true}) {
        SCOPED_TRACE(force ? "forced unchecked" : "this library");
        if (force) jpeg::ForcePrivateLayoutAnswerForTesting(false);
        const bool checked = jpeg::PrivateLayoutVerified();
        const SourceFilePtr file = SourceFile::Open(path);
        const jpeg::DecoderPointer header = ReadHeader(*file);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(jpeg::StartProgressiveOnTwoThreads(*file, header->codec).decoder != nullptr,
                  checked);
        LoadedImage loaded;
        ASSERT_TRUE(LoadJpeg(path, loaded)) << loaded.error;
        EXPECT_EQ(RasterSamples(*loaded.raster).data, library.data);
    }
}

// A progressive file's second decoder runs on the run's threads when the
// bands are given them (a split's pool), and on one of its own otherwise:
// the same rows either way.
TEST(JpegBands, TheSecondDecoderRunsOnTheRunsThreads) {
    if (!jpeg::PrivateLayoutVerified())
        GTEST_SKIP() << "a libjpeg-turbo version whose decoder layout was not checked: one thread";
    TempDir dir;
    const std::string path = dir / "p.jpg";
    WriteSource(path, {.width = 90, .height = 70, .progressive = true});
    const Samples library = DecodeLibraryJpeg(path);
    for (const bool pooled : {true, false}) {
        SCOPED_TRACE(pooled ? "the run's threads" : "its own");
        ThreadPool pool;
        LoadedImage header;
        std::unique_ptr<RowBands> bands;
        ASSERT_TRUE(OpenJpegBands(SourceFile::Open(path), ViewSettings(1), header, bands));
        ASSERT_NE(bands, nullptr);
        if (pooled) bands->RunOn(&pool);
        const std::unique_ptr<RowBand> band = bands->NewBand(70);
        ASSERT_EQ(bands->ReadRows(*band, 70), nullptr);
        EXPECT_EQ(RasterSamples(*band->Raster()).data, library.data);
        EXPECT_EQ(pool.Threads(), pooled ? 1 : 0);
    }
}

// The rows of a progressive file's bands, as BMP tiles of whole bands of
// `bandRows` rows each: one file per band in `folder`.
void WriteBandTiles(const std::string& path, const std::string& folder, int bandRows) {
    SplitSettings settings;
    settings.formatOptions.Set("OPTION", "CORRECT_CUT", true);
    settings.allBmp = true;
    settings.widthValue[0] = settings.heightValue[0] = 64;
    settings.savePath = folder;
    fs::create_directories(folder);
    SplitJob job;
    std::string error;
    std::vector<std::string> notices;
    ASSERT_TRUE(LoadImageForTiles(path, settings, job.image, error, notices)) << error;
    ASSERT_NE(job.image.bands, nullptr);
    std::unique_ptr<RowBand> band = job.image.bands->NewBand(bandRows);
    for (int top = 0, n = 0; top < job.image.height; top += bandRows, ++n) {
        const int rows = std::min(bandRows, job.image.height - top);
        ASSERT_EQ(job.image.bands->ReadRows(*band, rows), nullptr) << "band at " << top;
        const TileRect whole{0, n, 0, 0, job.image.width, rows};
        TileContext context;
        ASSERT_EQ(testing::WriteTileAt(*MakeBmpRasterTiles(band->Raster()), whole,
                                       folder + "/band" + std::to_string(n) + ".bmp", context),
                  nullptr);
    }
}

// A banded split of a progressive file decodes its scans on two threads: its
// bands hold exactly the rows of a single decoder (the library's own, which
// the one-thread bands are checked against elsewhere), for every sampling,
// coding and band height, the last scan's rows included as they come.
TEST(JpegBands, TwoThreadBandsHoldTheSingleDecodersRows) {
    if (!jpeg::PrivateLayoutVerified())
        GTEST_SKIP() << "a libjpeg-turbo version whose decoder layout was not checked: one thread";
    const std::vector<SourceKind> kinds = {
        {.name = "420",
         .width = 97,
         .height = 203,
         .factors = {{2, 2}, {1, 1}, {1, 1}},
         .progressive = true},
        {.name = "444",
         .width = 81,
         .height = 170,
         .factors = {{1, 1}, {1, 1}, {1, 1}},
         .progressive = true},
        {.name = "odd factors",
         .width = 70,
         .height = 150,
         .factors = {{2, 2}, {2, 1}, {1, 1}},
         .progressive = true},
        {.name = "cmyk", .width = 60, .height = 130, .components = 4, .progressive = true},
        {.name = "arithmetic restarts",
         .width = 75,
         .height = 140,
         .progressive = true,
         .arithmetic = true,
         .restartInterval = 3},
    };
    struct Restore {
        ~Restore() { jpeg::ForcePrivateLayoutAnswerForTesting(std::nullopt); }
    } restore;
    TempDir dir;
    for (const SourceKind& kind : kinds) {
        for (const int bandRows : {1, 29, 64}) {
            SCOPED_TRACE(std::string(kind.name) + ", bands of " + std::to_string(bandRows));
            const std::string path = dir / "p.jpg";
            WriteSource(path, kind);
            const std::string one = dir / "one";
            const std::string two = dir / "two";
            fs::remove_all(one);
            fs::remove_all(two);
            jpeg::ForcePrivateLayoutAnswerForTesting(false);
            WriteBandTiles(path, one, bandRows);
            jpeg::ForcePrivateLayoutAnswerForTesting(std::nullopt);
            WriteBandTiles(path, two, bandRows);
            const int bands = (kind.height + bandRows - 1) / bandRows;
            for (int n = 0; n < bands; ++n) {
                const std::string name = "/band" + std::to_string(n) + ".bmp";
                ASSERT_EQ(ReadBytes(two + name), ReadBytes(one + name)) << name;
            }
        }
    }
}

}  // namespace
}  // namespace tessarin
