#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <thread>

#include "imaging/png/png_format.h"
#include "imaging/png/png_test_support.h"
#include "split/messages.h"

namespace tessarin {
namespace {

using namespace pngtest;

CurrentImage LoadCurrent(const std::string& path) {
    LoadedImage loaded;
    EXPECT_TRUE(LoadPngFile(path, loaded)) << path << ": " << loaded.error;
    CurrentImage image;
    if (!loaded.raster) return image;
    image.width = loaded.raster->Width();
    image.height = loaded.raster->AbsHeight();
    image.raster = std::move(loaded.raster);
    image.path = path;
    image.displayDepth = loaded.displayDepth;
    image.colorKind = loaded.colorKind;
    image.interlaced = loaded.interlaced;
    return image;
}

std::unique_ptr<TileSource> MakeSource(const CurrentImage& image, std::string* error = nullptr) {
    std::string message;
    auto source = MakePngTileSource(image, SplitSettings{}, message);
    if (error) *error = message;
    return source;
}

TileGrid Grid(int width, int height, int offsetX, int offsetY, int tileWidth, int tileHeight) {
    TileGrid grid;
    grid.imageWidth = width;
    grid.imageHeight = height;
    grid.offsetX = offsetX;
    grid.offsetY = offsetY;
    grid.tileWidth = tileWidth;
    grid.tileHeight = tileHeight;
    return grid;
}

struct WrittenTile {
    TileRect rect;
    std::string path;
    int worker = 0;
    bool firstOfWorker = false;
};

// Writes every tile as the workers would, one after another: tile n goes to
// worker n mod `workers`, each with its own context.
std::vector<WrittenTile> WriteAllTiles(const TileSource& source, const TileGrid& grid, int workers,
                                       const TempDir& dir, const std::string& prefix) {
    std::vector<TileContext> contexts(static_cast<size_t>(workers));
    for (int k = 0; k < workers; ++k) contexts[static_cast<size_t>(k)].workerIndex = k;
    std::vector<WrittenTile> tiles;
    int n = 0;
    ForEachTile(grid, [&](const TileRect& rect) {
        WrittenTile tile;
        tile.rect = rect;
        tile.worker = n % workers;
        tile.path = dir.File(prefix + std::to_string(n) + ".png");
        TileContext& context = contexts[static_cast<size_t>(tile.worker)];
        tile.firstOfWorker = context.tilesWritten == 0;
        const char* failure = source.WriteTile(rect, tile.path, context);
        EXPECT_EQ(failure, nullptr) << "tile " << n << ": " << failure;
        if (!failure) ++context.tilesWritten;
        tiles.push_back(tile);
        ++n;
        return true;
    });
    return tiles;
}

bool IsText(const std::string& type) { return type == "tEXt" || type == "zTXt" || type == "iTXt"; }

// The chunks a tile carries over, sorted: everything but the image data and
// the header, and the texts (compared decoded).
std::vector<std::pair<std::string, std::vector<uint8_t>>> CarriedChunks(const std::string& path) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> out;
    for (Chunk& c : ListChunks(ReadBytes(path))) {
        if (c.type == "IHDR" || c.type == "IDAT" || c.type == "IEND" || IsText(c.type)) continue;
        if (c.type == "eXIf") continue;  // not among the chunks tiles carry
        out.emplace_back(c.type, std::move(c.data));
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool SameColor(const png_color& a, const png_color& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// The tile holds exactly the source's samples for its rectangle, in the
// source's format, with its palette, transparency and other chunks.
void ExpectTileMatches(const RawPng& source, const std::string& sourcePath, const WrittenTile& tile) {
    SCOPED_TRACE("tile at " + std::to_string(tile.rect.x) + "," + std::to_string(tile.rect.y) + " " +
                 std::to_string(tile.rect.width) + "x" + std::to_string(tile.rect.height));
    RawPng got;
    ASSERT_TRUE(ReadRawPng(tile.path, got));
    ASSERT_EQ(got.width, static_cast<png_uint_32>(tile.rect.width));
    ASSERT_EQ(got.height, static_cast<png_uint_32>(tile.rect.height));
    ASSERT_EQ(got.bitDepth, source.bitDepth);
    ASSERT_EQ(got.colorType, source.colorType);
    EXPECT_EQ(got.interlace, source.interlace);
    ASSERT_EQ(got.palette.size(), source.palette.size());
    for (size_t i = 0; i < got.palette.size(); ++i) EXPECT_TRUE(SameColor(got.palette[i], source.palette[i]));
    EXPECT_EQ(got.hasTrns, source.hasTrns);
    EXPECT_EQ(got.trnsAlpha, source.trnsAlpha);
    EXPECT_EQ(got.trnsColor.gray, source.trnsColor.gray);
    EXPECT_EQ(got.trnsColor.red, source.trnsColor.red);
    EXPECT_EQ(got.trnsColor.blue, source.trnsColor.blue);
    int mismatches = 0;
    for (int y = 0; y < tile.rect.height; ++y) {
        for (int x = 0; x < tile.rect.width; ++x) {
            for (int c = 0; c < source.channels; ++c) {
                unsigned want = source.Sample(static_cast<size_t>(tile.rect.y + y),
                                              static_cast<size_t>(tile.rect.x + x), c);
                unsigned have = got.Sample(static_cast<size_t>(y), static_cast<size_t>(x), c);
                if (want != have && ++mismatches <= 3)
                    ADD_FAILURE() << "sample " << x << "," << y << "," << c << ": " << have << " != " << want;
            }
        }
    }
    EXPECT_EQ(CarriedChunks(tile.path), CarriedChunks(sourcePath));
    if (tile.firstOfWorker)
        EXPECT_EQ(got.texts, source.texts);
    else
        EXPECT_TRUE(got.texts.empty());
}

TEST(PngTileSource, EverySuiteImageSplitsIntoTilesOfItsOwnSamples) {
    TempDir dir;
    for (const std::string& name : ValidSuiteImages()) {
        SCOPED_TRACE(name);
        std::string path = SuiteDir() + "/" + name;
        RawPng raw;
        ASSERT_TRUE(ReadRawPng(path, raw));
        CurrentImage image = LoadCurrent(path);
        std::string error;
        auto source = MakeSource(image, &error);
        ASSERT_NE(source, nullptr) << error;
        // A plain grid with clipped edge tiles, and one with offset strips.
        for (const TileGrid& grid : {Grid(image.width, image.height, 0, 0, 7, 5),
                                     Grid(image.width, image.height, 3, 2, 13, 11)}) {
            for (const WrittenTile& tile : WriteAllTiles(*source, grid, 2, dir, name + "-"))
                ExpectTileMatches(raw, path, tile);
            if (HasFatalFailure() || HasFailure()) return;
        }
    }
}

TEST(PngTileSource, WholeImageTileRoundTripsSixteenBitSamples) {
    TempDir dir;
    PngSpec spec;
    spec.width = 37;
    spec.height = 21;
    spec.bitDepth = 16;
    spec.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    spec.interlace = PNG_INTERLACE_ADAM7;
    spec.rows = RandomRows(37, 21, 64, 11);
    ASSERT_TRUE(WritePng(dir.File("src.png"), spec));
    CurrentImage image = LoadCurrent(dir.File("src.png"));
    EXPECT_EQ(image.raster->BitCount(), 32);
    EXPECT_EQ(image.displayDepth, 64);
    auto source = MakeSource(image);
    ASSERT_NE(source, nullptr);
    RawPng raw;
    ASSERT_TRUE(ReadRawPng(dir.File("src.png"), raw));
    for (const WrittenTile& tile : WriteAllTiles(*source, Grid(37, 21, 0, 0, 100, 100), 1, dir, "t"))
        ExpectTileMatches(raw, dir.File("src.png"), tile);
}

// Source with every chunk kind tiles carry, texts on both sides of the image.
PngSpec ChunkRichSpec() {
    PngSpec spec;
    spec.width = 12;
    spec.height = 8;
    spec.bitDepth = 4;
    spec.colorType = PNG_COLOR_TYPE_PALETTE;
    for (int i = 0; i < 16; ++i)
        spec.palette.push_back({static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i), 9});
    spec.trnsAlpha = {0, 128, 255};
    spec.rows = RandomRows(12, 8, 4, 5);
    spec.texts = {{PNG_TEXT_COMPRESSION_NONE, "Title", "tiles", false},
                  {PNG_TEXT_COMPRESSION_zTXt, "Comment", std::string(300, 'z'), true},
                  {PNG_ITXT_COMPRESSION_NONE, "Author", "\xe5\x90\x8d\xe5\x89\x8d", false}};
    spec.timeAfterImage = png_time{2024, 2, 29, 23, 59, 58};
    spec.calibration = true;
    spec.physicalSize = true;
    return spec;
}

TEST(PngTileSource, TextGoesIntoTheFirstTileOfEachWorkerOnly) {
    TempDir dir;
    ASSERT_TRUE(WritePng(dir.File("src.png"), ChunkRichSpec()));
    CurrentImage image = LoadCurrent(dir.File("src.png"));
    auto source = MakeSource(image);
    ASSERT_NE(source, nullptr);
    RawPng raw;
    ASSERT_TRUE(ReadRawPng(dir.File("src.png"), raw));
    ASSERT_EQ(raw.texts.size(), 3u);
    auto tiles = WriteAllTiles(*source, Grid(12, 8, 0, 0, 4, 4), 2, dir, "t");
    ASSERT_EQ(tiles.size(), 6u);
    for (size_t n = 0; n < tiles.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(tiles[n].firstOfWorker, n < 2);
        ExpectTileMatches(raw, dir.File("src.png"), tiles[n]);
        // Texts and time keep their side of the image data.
        auto chunks = ListChunks(ReadBytes(tiles[n].path));
        auto at = [&](const char* type) {
            return std::find_if(chunks.begin(), chunks.end(), [&](const Chunk& c) { return c.type == type; }) -
                   chunks.begin();
        };
        EXPECT_GT(at("tIME"), at("IDAT"));
        if (n < 2) {
            EXPECT_LT(at("tEXt"), at("IDAT"));
            EXPECT_GT(at("zTXt"), at("IDAT"));
        }
    }
}

TEST(PngTileSource, ColourSpaceChunksAreCarriedAsTheFileHasThem) {
    TempDir dir;
    // sRGB alone: libpng implies gAMA and cHRM from it, tiles must not gain them.
    PngSpec srgb;
    srgb.width = 5;
    srgb.height = 5;
    srgb.rows = RandomRows(5, 5, 24, 1);
    srgb.srgbIntent = PNG_sRGB_INTENT_PERCEPTUAL;
    // A small RGB display profile with no tags. libpng ignores iCCP chunks
    // under 92 bytes, so the profile is padded with bytes that do not compress.
    std::vector<uint8_t> icc = RandomRows(300, 1, 8, 4)[0];
    std::fill(icc.begin(), icc.begin() + 132, 0);
    icc[2] = 300 >> 8;
    icc[3] = 300 & 0xff;
    const std::pair<size_t, const char*> fields[] = {{12, "mntr"}, {16, "RGB "}, {20, "XYZ "}, {36, "acsp"}};
    for (auto [at, text] : fields) std::copy(text, text + 4, icc.begin() + static_cast<ptrdiff_t>(at));
    icc[8] = 2;
    icc[9] = 0x10;
    const uint8_t d50[] = {0, 0, 0xf6, 0xd6, 0, 1, 0, 0, 0, 0, 0xd3, 0x2d};
    std::copy(std::begin(d50), std::end(d50), icc.begin() + 68);
    PngSpec profiled = srgb;
    profiled.srgbIntent.reset();
    profiled.iccProfile = icc;
    for (auto [name, spec] : {std::pair{"srgb.png", srgb}, {"icc.png", profiled}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WritePng(dir.File(name), spec));
        auto sourceChunks = CarriedChunks(dir.File(name));
        ASSERT_EQ(sourceChunks.size(), 1u);  // the file holds just the one chunk
        CurrentImage image = LoadCurrent(dir.File(name));
        auto source = MakeSource(image);
        ASSERT_NE(source, nullptr);
        TileContext context;
        ASSERT_EQ(source->WriteTile({0, 0, 1, 1, 3, 4}, dir.File(std::string("t-") + name), context), nullptr);
        EXPECT_EQ(CarriedChunks(dir.File(std::string("t-") + name)), sourceChunks);
    }
}

// Two workers at once on a shared source give the same bytes as one after
// the other.
TEST(PngTileSource, ConcurrentWorkersWriteTheSameTilesAsSequentialOnes) {
    TempDir dir;
    PngSpec spec;
    spec.width = 150;
    spec.height = 90;
    spec.bitDepth = 2;
    spec.colorType = PNG_COLOR_TYPE_PALETTE;
    spec.interlace = PNG_INTERLACE_ADAM7;
    spec.palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    spec.rows = RandomRows(150, 90, 2, 9);
    spec.texts = {{PNG_TEXT_COMPRESSION_NONE, "Title", "x", false}};
    ASSERT_TRUE(WritePng(dir.File("src.png"), spec));
    CurrentImage image = LoadCurrent(dir.File("src.png"));
    auto source = MakeSource(image);
    ASSERT_NE(source, nullptr);
    const TileGrid grid = Grid(150, 90, 10, 0, 32, 32);
    auto sequential = WriteAllTiles(*source, grid, 2, dir, "seq");

    auto work = [&](int k) {
        TileContext context;
        context.workerIndex = k;
        int n = 0;
        ForEachTile(grid, [&](const TileRect& rect) {
            if (n % 2 == k) {
                if (source->WriteTile(rect, dir.File("par" + std::to_string(n) + ".png"), context) == nullptr)
                    ++context.tilesWritten;
            }
            ++n;
            return true;
        });
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    for (size_t n = 0; n < sequential.size(); ++n)
        EXPECT_EQ(ReadBytes(dir.File("par" + std::to_string(n) + ".png")), ReadBytes(sequential[n].path)) << n;
}

// ---- failures ----

std::string SourceError(const std::string& path, int width = 32, int height = 32) {
    CurrentImage image;
    image.path = path;
    image.width = width;
    image.height = height;
    std::string error;
    EXPECT_EQ(MakeSource(image, &error), nullptr);
    return error;
}

TEST(PngTileSource, UnreadableSourcesGiveTheReaderMessages) {
    TempDir dir;
    for (const char* name : {"xs1n0g01.png", "xs2n0g01.png", "xs4n0g01.png"})
        EXPECT_EQ(SourceError(SuiteDir() + "/" + name), "PNGファイルではありません") << name;
    for (const char* name : {"xs7n0g01.png", "xcrn0g04.png", "xlfn0g04.png", "xhdn0g08.png", "xc1n0g08.png",
                             "xc9n2c08.png", "xd0n2c08.png", "xd3n2c08.png", "xd9n2c08.png", "xdtn0g01.png",
                             "xcsn0g01.png"})
        EXPECT_EQ(SourceError(SuiteDir() + "/" + name), msg::kReadFailed) << name;
    EXPECT_EQ(SourceError(dir.File("absent.png")), msg::kReadFailed);
    WriteBytes(dir.File("empty.png"), {});
    EXPECT_EQ(SourceError(dir.File("empty.png")), msg::kReadFailed);
    std::vector<uint8_t> noise(3000);
    std::mt19937 rng(8);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    WriteBytes(dir.File("noise.png"), noise);
    EXPECT_EQ(SourceError(dir.File("noise.png")), "PNGファイルではありません");
    std::vector<uint8_t> damaged = ReadBytes(SuiteDir() + "/basn2c08.png");
    damaged[6] = 0;
    WriteBytes(dir.File("damaged.png"), damaged);
    EXPECT_EQ(SourceError(dir.File("damaged.png")), msg::kReadFailed);
}

TEST(PngTileSource, TruncatedSourcesFailAtEveryCut) {
    TempDir dir;
    for (const char* name : {"basi4a16.png", "ctzn0g04.png", "ch1n3p04.png"}) {
        std::vector<uint8_t> bytes = ReadBytes(SuiteDir() + "/" + name);
        for (size_t cut = 0; cut < bytes.size(); cut += (cut < 64 ? 1 : 11)) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            std::string path = dir.File("cut" + std::to_string(cut) + ".png");
            WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut)));
            EXPECT_EQ(SourceError(path), msg::kReadFailed);
        }
    }
}

TEST(PngTileSource, ASourceThatNoLongerMatchesTheLoadedImageIsRefused) {
    // The grid is computed from the loaded size; a file replaced by one of
    // another size must not be cut with it.
    EXPECT_EQ(SourceError(SuiteDir() + "/basn2c08.png", 33, 32), msg::kReadFailed);
    EXPECT_EQ(SourceError(SuiteDir() + "/basn2c08.png", 32, 31), msg::kReadFailed);
}

TEST(PngTileSource, AbsurdDimensionsAreRefusedBeforeAllocating) {
    TempDir dir;
    // IHDR of 100000 x 100000 RGBA at 16 bits (80 GB of samples), valid CRC.
    std::vector<uint8_t> bytes = ReadBytes(SuiteDir() + "/basn6a16.png");
    auto chunks = ListChunks(bytes);
    ASSERT_EQ(chunks[0].type, "IHDR");
    for (int i : {16, 20}) {
        bytes[static_cast<size_t>(i)] = 0;
        bytes[static_cast<size_t>(i) + 1] = 0x01;
        bytes[static_cast<size_t>(i) + 2] = 0x86;
        bytes[static_cast<size_t>(i) + 3] = 0xa0;
    }
    uint32_t crc = static_cast<uint32_t>(crc32(0, &bytes[12], 17));
    for (int s = 0; s < 4; ++s) bytes[29 + static_cast<size_t>(s)] = static_cast<uint8_t>(crc >> (24 - 8 * s));
    WriteBytes(dir.File("huge.png"), bytes);
    EXPECT_EQ(SourceError(dir.File("huge.png"), 100000, 100000), msg::kReadFailed);
    LoadedImage loaded;
    EXPECT_FALSE(LoadPngFile(dir.File("huge.png"), loaded));
    EXPECT_EQ(loaded.error, msg::kOpenFailed);
}

TEST(PngTileSource, TilesThatCannotBeWrittenGiveTheWriteMessage) {
    TempDir dir;
    CurrentImage image = LoadCurrent(SuiteDir() + "/basn2c16.png");
    auto source = MakeSource(image);
    ASSERT_NE(source, nullptr);
    TileContext context;
    const TileRect small{0, 0, 0, 0, 8, 8}, whole{0, 0, 0, 0, 32, 32};
    EXPECT_STREQ(source->WriteTile(small, dir.File("missing/t.png"), context), "ファイルの書き込みに失敗しました");
    // A full disk: small tiles fail when the file is closed, large ones
    // while libpng writes.
    EXPECT_STREQ(source->WriteTile(small, "/dev/full", context), "ファイルの書き込みに失敗しました");
    EXPECT_STREQ(source->WriteTile(whole, "/dev/full", context), "ファイルの書き込みに失敗しました");
    // A rectangle outside the image is never read.
    EXPECT_STREQ(source->WriteTile({0, 0, 30, 0, 8, 8}, dir.File("out.png"), context),
                 "ファイルの書き込みに失敗しました");
}

}  // namespace
}  // namespace tessarin
