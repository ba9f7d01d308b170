#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "imaging/jpeg/jpeg_format.h"
#include "jpeg_test_util.h"
#include "platform/atomic_file.h"
#include "support/tile_writing.h"

namespace tessarin {
namespace {

using namespace jpeg_test;

constexpr const char* kJpegtranFailed = "jpegtranを使った分割処理に失敗しました";

JpegTileOptions Exact(int quality = 75) {
    JpegTileOptions options;
    options.exact = true;
    options.quality = quality;
    return options;
}

JpegTileOptions Lossless() {
    JpegTileOptions options;
    options.exact = false;
    return options;
}

std::unique_ptr<TileSource> MakeSource(const CurrentImage& image, const JpegTileOptions& options) {
    std::string error;
    auto source = MakeJpegTileSource(image, options, error);
    EXPECT_NE(source, nullptr) << error;
    return source;
}

Samples Gradient(int width, int height, int components) {
    return MakeSamples(width, height, components, [](int x, int y, int c) {
        return static_cast<uint8_t>(c == 0 ? x * 255 / 200 : c == 1 ? y * 255 / 200 : 90 + c * 20);
    });
}

void WriteScript(const std::string& path, const std::string& body) {
    WriteBytes(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

bool Exists(const std::string& path) { return fs::exists(path); }

// Exact tiles are what cropping the raster and encoding the crop gives, byte
// for byte, whatever the number of workers.
TEST(JpegExactTiles, EqualCropThenEncodeForAnyThreadCount) {
    TempDir dir;
    WriteLibraryJpeg(dir / "src.jpg", Gradient(150, 90, 3));
    const CurrentImage image = LoadCurrent(dir / "src.jpg");
    auto source = MakeSource(image, Exact(80));
    const auto rects = GridRects(150, 90, 64, 40);
    ASSERT_EQ(rects.size(), 9u);
    for (int threads : {1, 2, 3}) {
        const std::string out = dir / ("t" + std::to_string(threads));
        fs::create_directory(out);
        for (const std::string& r : RunTiles(*source, rects, out, threads)) EXPECT_EQ(r, "");
        for (const TileRect& rect : rects) {
            auto crop = CropDibImage(*image.raster, rect.x, rect.y, rect.width, rect.height);
            ASSERT_TRUE(SaveJpegFile(dir / "expected.jpg", *crop, 80));
            ASSERT_EQ(ReadBytes(out + "/" + TileName(rect)), ReadBytes(dir / "expected.jpg"))
                << threads << " threads, tile " << rect.column << "," << rect.row;
        }
    }
}

// Exact tiles of an image loaded without a raster are cut from the file read
// whole then: the same bytes as tiles cut from the raster the window loads,
// for baseline and progressive files at any number of workers. A file whose
// decode fails, or whose size changed since it was loaded, gives no tiles.
TEST(JpegExactTiles, TilesOfAnImageLoadedWithoutRasterEqualThoseCutFromTheRaster) {
    TempDir dir;
    const std::vector<SourceKind> kinds = {
        {.name = "baseline", .width = 150, .height = 90},
        {.name = "progressive", .width = 150, .height = 90, .progressive = true},
        {.name = "cmyk", .width = 150, .height = 90, .components = 4},
    };
    const auto rects = GridRects(150, 90, 64, 40);
    for (const SourceKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const std::string path = dir / "src.jpg";
        WriteSource(path, kind);
        const std::unique_ptr<TileSource> whole = MakeSource(LoadCurrent(path), Exact(80));
        fs::create_directories(dir / "whole");
        for (const std::string& r : RunTiles(*whole, rects, dir / "whole", 2)) EXPECT_EQ(r, "");
        for (int threads : {1, 3}) {
            const std::unique_ptr<TileSource> fed = MakeSource(LoadHeaderOnly(path), Exact(80));
            const std::string out = dir / ("fed" + std::to_string(threads));
            fs::create_directories(out);
            for (const std::string& r : RunTiles(*fed, rects, out, threads)) EXPECT_EQ(r, "");
            for (const TileRect& rect : rects)
                EXPECT_EQ(ReadBytes(out + "/" + TileName(rect)),
                          ReadBytes(dir / "whole" + "/" + TileName(rect)))
                    << threads << " threads, tile " << rect.column << "," << rect.row;
        }
    }

    // A baseline file with a second scan after its rows: the decode fails at
    // its end.
    WriteSource(dir / "two.jpg", {.width = 64, .height = 64});
    std::string bytes = ReadBytes(dir / "two.jpg");
    const size_t sos = bytes.find("\xFF\xDA");
    const size_t headerLength =
        2 + static_cast<uint8_t>(bytes[sos + 2]) * 256u + static_cast<uint8_t>(bytes[sos + 3]);
    bytes.resize(bytes.size() - 2);
    WriteBytes(dir / "two.jpg",
               bytes + bytes.substr(sos, headerLength) + std::string(64, '\0') + "\xFF\xD9");
    std::string error;
    EXPECT_EQ(MakeJpegTileSource(LoadHeaderOnly(dir / "two.jpg"), Exact(), error), nullptr);
    EXPECT_EQ(error, "イメージデータの取得に失敗しました");

    const CurrentImage image = LoadHeaderOnly(dir / "src.jpg");
    WriteSource(dir / "src.jpg", {.width = 151, .height = 90});
    EXPECT_EQ(MakeJpegTileSource(image, Exact(), error), nullptr);
    EXPECT_EQ(error, "画像のクリッピングに失敗しました");
}

TEST(JpegExactTiles, RedSourceGivesRedTilesOfTheClippedSize) {
    TempDir dir;
    WriteLibraryJpeg(dir / "red.jpg",
                     MakeSamples(100, 70, 3, [](int, int, int c) { return c == 0 ? 255 : 0; }));
    const CurrentImage image = LoadCurrent(dir / "red.jpg");
    auto source = MakeSource(image, Exact());
    const auto rects = GridRects(100, 70, 32, 32);
    for (const std::string& r : RunTiles(*source, rects, dir.Path().string(), 2)) EXPECT_EQ(r, "");
    for (const TileRect& rect : rects) {
        const Samples tile = DecodeLibraryJpeg(dir / TileName(rect));
        ASSERT_EQ(tile.components, 3);
        EXPECT_EQ(tile.width, rect.width);
        EXPECT_EQ(tile.height, rect.height);
        EXPECT_GT(tile.At(tile.width / 2, tile.height / 2, 0), 240);
        EXPECT_LT(tile.At(tile.width / 2, tile.height / 2, 1), 16);
        EXPECT_LT(tile.At(tile.width / 2, tile.height / 2, 2), 16);
    }
}

TEST(JpegExactTiles, GreySourceGivesOneComponentTiles) {
    TempDir dir;
    WriteLibraryJpeg(dir / "grey.jpg", Gradient(70, 50, 1), 100);
    const CurrentImage image = LoadCurrent(dir / "grey.jpg");
    auto source = MakeSource(image, Exact(100));
    const auto rects = GridRects(70, 50, 24, 24);
    for (const std::string& r : RunTiles(*source, rects, dir.Path().string(), 2)) EXPECT_EQ(r, "");
    for (const TileRect& rect : rects) {
        const Samples tile = DecodeLibraryJpeg(dir / TileName(rect));
        ASSERT_EQ(tile.components, 1);
        ASSERT_EQ(tile.width, rect.width);
        for (int x = 0; x < tile.width; ++x)
            EXPECT_NEAR(tile.At(x, 0, 0), RasterSample(*image.raster, rect.x + x, rect.y, 0), 3);
    }
}

TEST(JpegExactTiles, QualityReachesTheEncoder) {
    TempDir dir;
    WriteLibraryJpeg(dir / "src.jpg", Gradient(64, 64, 3));
    const CurrentImage image = LoadCurrent(dir / "src.jpg");
    const TileRect rect{0, 0, 0, 0, 64, 64};
    TileContext context;
    ASSERT_EQ(testing::WriteTileAt(*MakeSource(image, Exact(0)), rect, dir / "q0.jpg", context),
              nullptr);
    ASSERT_EQ(testing::WriteTileAt(*MakeSource(image, Exact(100)), rect, dir / "q100.jpg", context),
              nullptr);
    EXPECT_LT(ReadBytes(dir / "q0.jpg").size(), ReadBytes(dir / "q100.jpg").size());
    EXPECT_EQ(DecodeLibraryJpeg(dir / "q0.jpg").width, 64);
    EXPECT_EQ(DecodeLibraryJpeg(dir / "q100.jpg").width, 64);
    const TileRect outside{0, 0, 40, 0, 64, 64};
    EXPECT_STREQ(testing::WriteTileAt(*MakeSource(image, Exact()), outside, dir / "x.jpg", context),
                 "画像のクリッピングに失敗しました");
}

// CMYK: exact tiles are made from the printed colours; lossless tiles stay
// four-component files cut by jpegtran.
TEST(JpegTiles, CmykCutsExactlyInColourAndLosslessly) {
    TempDir dir;
    WriteCmykJpeg(dir / "cmyk.jpg", PrintedColourInks(), CmykCoding::kAdobe);
    const CurrentImage image = LoadCurrent(dir / "cmyk.jpg");
    ASSERT_NE(image.raster, nullptr);
    ASSERT_EQ(image.raster->BitCount(), 24);
    const auto rects = GridRects(image.width, 16, 16, 16);
    ASSERT_EQ(rects.size(), PrintedColours().size());
    fs::create_directory(dir / "exact");
    for (const std::string& r : RunTiles(*MakeSource(image, Exact(95)), rects, dir / "exact", 2))
        EXPECT_EQ(r, "");
    for (size_t i = 0; i < rects.size(); ++i) {
        const Samples tile = DecodeLibraryJpeg(dir / "exact/" + TileName(rects[i]));
        ASSERT_EQ(tile.components, 3);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(tile.At(8, 8, c), PrintedColours()[i].rgb[c], 12) << i << " " << c;
    }

    fs::create_directory(dir / "lossless");
    for (const std::string& r :
         RunTiles(*MakeSource(image, Lossless()), rects, dir / "lossless", 2))
        EXPECT_EQ(r, "");
    for (const TileRect& rect : rects) {
        const Samples tile = DecodeLibraryJpeg(dir / "lossless/" + TileName(rect));
        EXPECT_EQ(tile.components, 4);
        EXPECT_EQ(tile.width, 16);
        EXPECT_EQ(tile.height, 16);
    }
}

// Lossless tiles are byte for byte what jpegtran gives when run by hand with
// the tile's rectangle, edge tiles with their clipped size.
TEST(JpegLosslessTiles, MatchJpegtranRunByHand) {
    TempDir dir;
    WriteLibraryJpeg(dir / "src.jpg", Gradient(330, 370, 3));
    CurrentImage image = LoadCurrent(dir / "src.jpg");
    auto source = MakeSource(image, Lossless());
    const auto rects = GridRects(330, 370, 100, 50);
    ASSERT_EQ(rects.size(), 32u);
    EXPECT_EQ(rects.back().width, 30);
    EXPECT_EQ(rects.back().height, 20);
    fs::create_directory(dir / "tiles");
    for (const std::string& r : RunTiles(*source, rects, dir / "tiles", 2)) EXPECT_EQ(r, "");
    for (const TileRect& rect : rects) {
        const std::string command = "jpegtran -copy all -crop " + std::to_string(rect.width) + "x" +
                                    std::to_string(rect.height) + "+" + std::to_string(rect.x) +
                                    "+" + std::to_string(rect.y) + " -outfile '" +
                                    dir / "hand.jpg" + "' '" + dir / "src.jpg" + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(ReadBytes(dir / "tiles/" + TileName(rect)), ReadBytes(dir / "hand.jpg"))
            << rect.width << "x" << rect.height << "+" << rect.x << "+" << rect.y;
    }
}

// A small file whose frame header claims 65000 x 65000 pixels: its
// coefficients would take far more memory than the in-process cut allows, so
// its lossless tiles are left to jpegtran. Never loaded; the current image
// only carries its path and size. Progressive: the data of a single scan is
// checked before jpegtran runs, and would be found wanting.
CurrentImage OversizedJpeg(const std::string& path) {
    WriteLibraryJpeg(path, Gradient(64, 64, 3), 90, true);
    std::string bytes = ReadBytes(path);
    const size_t sof = bytes.find("\xFF\xC2");
    EXPECT_NE(sof, std::string::npos);
    const char size[4] = {'\xFD', '\xE8', '\xFD', '\xE8'};  // height, width: 65000
    bytes.replace(sof + 5, 4, size, 4);
    WriteBytes(path, bytes);
    CurrentImage image;
    image.path = path;
    image.width = image.height = 65000;
    return image;
}

// The arguments jpegtran receives, one per line, as a stand-in logs them.
TEST(JpegLosslessTiles, JpegtranGetsTheCropOfEveryTileOfAnOversizedFile) {
    TempDir dir;
    const ScopedSplitBudget budget(uint64_t{1} << 40);
    const CurrentImage image = OversizedJpeg(dir / "my source.jpg");
    fs::create_directory(dir / "bin");
    WriteScript(dir / "bin/jpegtran", "printf '%s\\n' \"$@\" >> \"$TESSARIN_TEST_LOG\"\n");
    ScopedEnv path("PATH", dir / "bin");
    ScopedEnv log("TESSARIN_TEST_LOG", dir / "log.txt");
    const auto rects = GridRects(330, 370, 100, 50);
    for (const std::string& r :
         RunTiles(*MakeSource(image, Lossless()), rects, dir.Path().string(), 1))
        EXPECT_EQ(r, "");
    std::string expected;
    for (const TileRect& rect : rects) {
        expected += "-copy\nall\n-crop\n" + std::to_string(rect.width) + "x" +
                    std::to_string(rect.height) + "+" + std::to_string(rect.x) + "+" +
                    std::to_string(rect.y) + "\n-outfile\nTEMP\n";
    }
    // The tool writes into a fresh temporary file in the folder, which
    // becomes the tile: its name is random, so it is compared by its form.
    std::istringstream logged(ReadBytes(dir / "log.txt"));
    std::string seen;
    for (std::string line; std::getline(logged, line);) {
        pid_t pid = 0;
        const bool temporary = fs::path(line).parent_path() == dir.Path() &&
                               ParseTemporaryFileName(fs::path(line).filename().string(), pid) &&
                               pid == ::getpid();
        seen += (temporary ? "TEMP" : line) + "\n";
    }
    EXPECT_EQ(seen, expected);
    EXPECT_NE(expected.find("-crop\n30x20+300+350\n"), std::string::npos);
    EXPECT_NE(expected.find("-crop\n100x50+200+300\n"), std::string::npos);
}

TEST(JpegLosslessTiles, FailWhenJpegtranIsMissingOrFails) {
    TempDir dir;
    const ScopedSplitBudget budget(uint64_t{1} << 40);
    const CurrentImage image = OversizedJpeg(dir / "src.jpg");
    auto source = MakeSource(image, Lossless());
    const TileRect rect{0, 0, 0, 0, 32, 32};
    TileContext context;
    fs::create_directory(dir / "bin");
    ScopedEnv path("PATH", dir / "bin");
    EXPECT_STREQ(testing::WriteTileAt(*source, rect, dir / "missing.jpg", context),
                 kJpegtranFailed);
    EXPECT_FALSE(Exists(dir / "missing.jpg"));

    // Writes its output and still reports failure: neither the tile nor the
    // file the tool wrote is left.
    WriteScript(dir / "bin/jpegtran",
                "while [ $# -gt 0 ]; do\n"
                "  if [ \"$1\" = -outfile ]; then echo partial > \"$2\"; fi\n"
                "  shift\n"
                "done\n"
                "exit 1\n");
    EXPECT_STREQ(testing::WriteTileAt(*source, rect, dir / "failed.jpg", context), kJpegtranFailed);
    EXPECT_FALSE(Exists(dir / "failed.jpg"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

// A relative source name starting with "-" must not be taken for an option:
// the name is not passed at all, jpegtran reads the file as its standard
// input.
TEST(JpegLosslessTiles, SourceNameStartingWithDash) {
    TempDir dir;
    const ScopedSplitBudget budget(uint64_t{1} << 40);
    CurrentImage image = OversizedJpeg(dir / "-dash.jpg");
    fs::create_directory(dir / "bin");
    WriteScript(dir / "bin/jpegtran",
                "/usr/bin/cmp -s - ./-dash.jpg && echo \"$# same\" > \"$TESSARIN_TEST_LOG\"\n");
    ScopedEnv path("PATH", dir / "bin");
    ScopedEnv log("TESSARIN_TEST_LOG", dir / "log.txt");
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path().string());
    image.path = "-dash.jpg";
    TileContext context;
    const char* failure = testing::WriteTileAt(*MakeSource(image, Lossless()),
                                               TileRect{0, 0, 0, 0, 16, 16}, "tile.jpg", context);
    fs::current_path(before);
    EXPECT_EQ(failure, nullptr);
    EXPECT_EQ(ReadBytes(dir / "log.txt"), "6 same\n");
}

// In-process: a file that no longer has the size it was loaded with, or is
// gone, fails before any tile.
TEST(JpegLosslessTiles, ChangedOrMissingSourceFails) {
    TempDir dir;
    WriteLibraryJpeg(dir / "src.jpg", Gradient(64, 48, 3));
    CurrentImage image = LoadCurrent(dir / "src.jpg");
    WriteLibraryJpeg(dir / "src.jpg", Gradient(64, 40, 3));
    std::string error;
    EXPECT_EQ(MakeJpegTileSource(image, Lossless(), error), nullptr);
    EXPECT_EQ(error, kJpegtranFailed);
    fs::remove(dir / "src.jpg");
    error.clear();
    EXPECT_EQ(MakeJpegTileSource(image, Lossless(), error), nullptr);
    EXPECT_EQ(error, kJpegtranFailed);
}

}  // namespace
}  // namespace tessarin
