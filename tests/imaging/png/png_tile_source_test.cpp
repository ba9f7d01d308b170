#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "imaging/messages.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_test_support.h"
#include "split/geometry.h"
#include "split/image_loader.h"
#include "support/test_files.h"
#include "support/tile_writing.h"

namespace tessarin {
namespace {

using namespace pngtest;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

CurrentImage LoadCurrent(const std::string& path) {
    CurrentImage image;
    SplitSettings settings;
    JobState job;
    EXPECT_TRUE(LoadCurrentImage(path, image, settings, job)) << path << ": " << job.ErrorText();
    return image;
}

std::unique_ptr<TileSource> MakeSource(const CurrentImage& image, std::string* error = nullptr) {
    std::string message;
    auto source = MakePngTileSource(image, message);
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
    bool firstOfWorker = false;
};

// Writes every tile as the workers would, one after another: tile n goes to
// worker n mod `workers`, each with its own context.
std::vector<WrittenTile> WriteAllTiles(const TileSource& source, const TileGrid& grid, int workers,
                                       const TempDir& dir, const std::string& prefix) {
    std::vector<TileContext> contexts(static_cast<size_t>(workers));
    for (int k = 0; k < workers; ++k) contexts[static_cast<size_t>(k)].workerIndex = k;
    std::vector<WrittenTile> tiles;
    ForEachTile(grid, [&](const TileRect& rect) {
        const int n = static_cast<int>(tiles.size());
        TileContext& context = contexts[static_cast<size_t>(n % workers)];
        WrittenTile tile{rect, dir / (prefix + std::to_string(n) + ".png"),
                         context.tilesWritten == 0};
        const char* failure = testing::WriteTileAt(source, rect, tile.path, context);
        EXPECT_EQ(failure, nullptr) << "tile " << n << ": " << failure;
        if (!failure) ++context.tilesWritten;
        tiles.push_back(tile);
        return true;
    });
    return tiles;
}

// The chunks a tile carries over, sorted: all but the header, the image data
// and the texts (compared decoded).
std::vector<std::pair<std::string, std::vector<uint8_t>>> CarriedChunks(const std::string& path) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> out;
    for (Chunk& c : ListChunks(ReadBytes(path))) {
        const std::string& t = c.type;
        if (t == "IHDR" || t == "IDAT" || t == "IEND" || t == "tEXt" || t == "zTXt" || t == "iTXt")
            continue;
        if (t == "eXIf") continue;  // not among the chunks tiles carry
        out.emplace_back(t, std::move(c.data));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The tile holds exactly the source's samples for its rectangle, in the
// source's format, with its palette, transparency and other chunks; texts
// only when it is its worker's first.
void ExpectTileMatches(const RawPng& source, const std::string& sourcePath,
                       const WrittenTile& tile) {
    const TileRect& r = tile.rect;
    SCOPED_TRACE("tile " + std::to_string(r.x) + "," + std::to_string(r.y) + " " +
                 std::to_string(r.width) + "x" + std::to_string(r.height));
    RawPng got;
    ASSERT_TRUE(ReadRawPng(tile.path, got));
    ASSERT_EQ(got.width, static_cast<png_uint_32>(r.width));
    ASSERT_EQ(got.height, static_cast<png_uint_32>(r.height));
    ASSERT_EQ(got.bitDepth, source.bitDepth);
    ASSERT_EQ(got.colorType, source.colorType);
    EXPECT_EQ(got.interlace, source.interlace);
    int mismatches = 0;
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x) {
            for (int c = 0; c < source.channels; ++c) {
                unsigned want =
                    source.Sample(static_cast<size_t>(r.y + y), static_cast<size_t>(r.x + x), c);
                unsigned have = got.Sample(static_cast<size_t>(y), static_cast<size_t>(x), c);
                if (want != have && ++mismatches <= 3)
                    ADD_FAILURE() << "sample " << x << "," << y << "," << c << ": " << have
                                  << " != " << want;
            }
        }
    }
    // PLTE and tRNS byte for byte, with every other chunk.
    EXPECT_EQ(CarriedChunks(tile.path), CarriedChunks(sourcePath));
    if (tile.firstOfWorker)
        EXPECT_EQ(got.texts, source.texts);
    else
        EXPECT_TRUE(got.texts.empty());
}

TEST(PngTileSource, EverySuiteImageSplitsIntoTilesOfItsOwnSamples) {
    TempDir dir;
    const std::vector<std::string> names = ValidSuiteImages();
    ASSERT_GE(names.size(), 100u) << SuiteDir();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::string path = SuiteDir() + "/" + name;
        RawPng raw;
        ASSERT_TRUE(ReadRawPng(path, raw));
        CurrentImage image = LoadCurrent(path);
        std::string error;
        auto source = MakeSource(image, &error);
        ASSERT_NE(source, nullptr) << error;
        // Offset strips, full tiles and tiles clipped at the edges.
        const TileGrid grid = Grid(image.width, image.height, 3, 2, 7, 5);
        for (const WrittenTile& tile : WriteAllTiles(*source, grid, 2, dir, name + "-"))
            ExpectTileMatches(raw, path, tile);
        if (HasFailure()) return;
    }
}

// The tiles of a file are the same bytes whichever way it was loaded: for
// the window (cut from its raster where that holds the samples unchanged,
// else from the samples decoded again), for the command mode (bands, no
// raster), or not at all (the split decodes the file itself).
TEST(PngTileSource, TilesAreTheSameBytesFromTheRasterTheSamplesAndTheFile) {
    TempDir dir;
    std::vector<std::string> paths;
    for (const std::string& name : ValidSuiteImages()) paths.push_back(SuiteDir() + "/" + name);
    // 2-bit palettes with a repeated colour, which their 4-bit raster shows
    // by one index: the tiles keep both.
    for (const bool interlaced : {false, true}) {
        PngLayout layout;
        layout.width = 13;
        layout.height = 9;
        layout.bitDepth = 2;
        layout.colorType = PNG_COLOR_TYPE_PALETTE;
        layout.interlace = interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
        layout.palette = {{9, 9, 9}, {200, 0, 0}, {9, 9, 9}, {0, 0, 200}};
        layout.rows = RandomRows(13, 9, 2, interlaced ? 3 : 4);
        paths.push_back(dir / (interlaced ? "repeated-i.png" : "repeated.png"));
        ASSERT_TRUE(WritePng(paths.back(), layout));
    }
    SplitSettings settings;
    settings.allBmp = 0;
    int written = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const CurrentImage shown = LoadCurrent(path);
        CurrentImage samples;
        std::string error;
        std::vector<std::string> notices;
        ASSERT_TRUE(LoadImageForTiles(path, settings, samples, error, notices)) << error;
        EXPECT_FALSE(samples.raster);
        CurrentImage fileOnly;
        fileOnly.path = path;
        fileOnly.width = shown.width;
        fileOnly.height = shown.height;

        // Offset strips, full tiles and clipped ones; two workers, so that
        // texts go into some tiles only.
        const TileGrid grid = Grid(shown.width, shown.height, 5, 3, 16, 13);
        std::vector<std::vector<std::vector<uint8_t>>> ways;
        const CurrentImage* images[] = {&fileOnly, &shown, &samples};
        for (const CurrentImage* image : images) {
            auto source = MakeSource(*image, &error);
            ASSERT_NE(source, nullptr) << error;
            TileContext contexts[2];
            std::vector<std::vector<uint8_t>>& tiles = ways.emplace_back();
            ForEachTile(grid, [&](const TileRect& rect) {
                TileContext& context = contexts[tiles.size() % 2];
                // A new file each time: replacing one makes the file system
                // write it out at once.
                const std::string tile = dir / ("t" + std::to_string(++written) + ".png");
                EXPECT_EQ(testing::WriteTileInto(*source, rect, tile, context), nullptr);
                ++context.tilesWritten;
                tiles.push_back(ReadBytes(tile));
                return true;
            });
        }
        EXPECT_EQ(ways[1], ways[0]) << "from the raster";
        EXPECT_EQ(ways[2], ways[0]) << "from the samples";
    }
}

// Every chunk kind tiles carry, texts on both sides of the image data.
PngLayout ChunkRichLayout() {
    PngLayout layout;
    layout.width = 12;
    layout.height = 8;
    layout.bitDepth = 4;
    layout.colorType = PNG_COLOR_TYPE_PALETTE;
    for (int i = 0; i < 16; ++i)
        layout.palette.push_back(
            {static_cast<png_byte>(i * 16), static_cast<png_byte>(255 - i), 9});
    layout.trnsAlpha = {0, 128, 255};
    layout.rows = RandomRows(12, 8, 4, 5);
    layout.texts = {{PNG_TEXT_COMPRESSION_NONE, "Title", "tiles", false},
                    {PNG_TEXT_COMPRESSION_zTXt, "Comment", std::string(300, 'z'), true},
                    {PNG_ITXT_COMPRESSION_NONE, "Author", "\xe5\x90\x8d\xe5\x89\x8d", false}};
    layout.timeAfterImage = png_time{2024, 2, 29, 23, 59, 58};
    layout.calibration = true;
    layout.physicalSize = true;
    return layout;
}

// Tiles 0, 2, 4 are worker 0's, 1, 3, 5 worker 1's: only 0 and 1 carry text.
TEST(PngTileSource, TextGoesIntoTheFirstTileOfEachWorkerOnly) {
    TempDir dir;
    ASSERT_TRUE(WritePng(dir / "src.png", ChunkRichLayout()));
    CurrentImage image = LoadCurrent(dir / "src.png");
    auto source = MakeSource(image);
    ASSERT_NE(source, nullptr);
    RawPng raw;
    ASSERT_TRUE(ReadRawPng(dir / "src.png", raw));
    ASSERT_EQ(raw.texts.size(), 3u);
    auto tiles = WriteAllTiles(*source, Grid(12, 8, 0, 0, 4, 4), 2, dir, "t");
    ASSERT_EQ(tiles.size(), 6u);
    for (size_t n = 0; n < tiles.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(tiles[n].firstOfWorker, n < 2);
        ExpectTileMatches(raw, dir / "src.png", tiles[n]);
        // Texts and time keep their side of the image data.
        auto chunks = ListChunks(ReadBytes(tiles[n].path));
        auto at = [&](const char* type) {
            return std::find_if(chunks.begin(), chunks.end(),
                                [&](const Chunk& c) { return c.type == type; }) -
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
    // sRGB alone: libpng derives gAMA and cHRM from it; tiles must not gain them.
    PngLayout srgb;
    srgb.width = 5;
    srgb.height = 5;
    srgb.rows = RandomRows(5, 5, 24, 1);
    srgb.srgbIntent = PNG_sRGB_INTENT_PERCEPTUAL;
    // A small RGB display profile without tags. libpng ignores iCCP chunks
    // under 92 bytes, so the profile is padded with bytes that do not compress.
    std::vector<uint8_t> icc = RandomRows(300, 1, 8, 4)[0];
    std::fill(icc.begin(), icc.begin() + 132, 0);
    icc[2] = 300 >> 8;
    icc[3] = 300 & 0xff;
    const std::pair<size_t, const char*> fields[] = {
        {12, "mntr"}, {16, "RGB "}, {20, "XYZ "}, {36, "acsp"}};
    for (auto [at, text] : fields)
        std::copy(text, text + 4, icc.begin() + static_cast<ptrdiff_t>(at));
    icc[8] = 2;
    icc[9] = 0x10;
    const uint8_t d50[] = {0, 0, 0xf6, 0xd6, 0, 1, 0, 0, 0, 0, 0xd3, 0x2d};
    std::copy(std::begin(d50), std::end(d50), icc.begin() + 68);
    PngLayout profiled = srgb;
    profiled.srgbIntent.reset();
    profiled.iccProfile = icc;
    for (auto [name, layout] : {std::pair{"srgb.png", srgb}, {"icc.png", profiled}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WritePng(dir / name, layout));
        auto sourceChunks = CarriedChunks(dir / name);
        ASSERT_EQ(sourceChunks.size(), 1u);
        CurrentImage image = LoadCurrent(dir / name);
        auto source = MakeSource(image);
        ASSERT_NE(source, nullptr);
        TileContext context;
        ASSERT_EQ(testing::WriteTileAt(*source, {0, 0, 1, 1, 3, 4},
                                       dir / ("t-" + std::string(name)), context),
                  nullptr);
        EXPECT_EQ(CarriedChunks(dir / ("t-" + std::string(name))), sourceChunks);
    }
}

// Two workers at once on one shared source write the same bytes as one after
// the other.
TEST(PngTileSource, ConcurrentWorkersWriteTheSameTilesAsSequentialOnes) {
    TempDir dir;
    PngLayout layout;
    layout.width = 150;
    layout.height = 90;
    layout.bitDepth = 2;
    layout.colorType = PNG_COLOR_TYPE_PALETTE;
    layout.interlace = PNG_INTERLACE_ADAM7;
    layout.palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    layout.rows = RandomRows(150, 90, 2, 9);
    layout.texts = {{PNG_TEXT_COMPRESSION_NONE, "Title", "x", false}};
    ASSERT_TRUE(WritePng(dir / "src.png", layout));
    CurrentImage image = LoadCurrent(dir / "src.png");
    auto source = MakeSource(image);
    ASSERT_NE(source, nullptr);
    const TileGrid grid = Grid(150, 90, 10, 0, 32, 32);
    auto sequential = WriteAllTiles(*source, grid, 2, dir, "seq");

    auto work = [&](int k) {
        TileContext context;
        context.workerIndex = k;
        int n = 0;
        ForEachTile(grid, [&](const TileRect& rect) {
            if (n % 2 == k &&
                testing::WriteTileAt(*source, rect, dir / ("par" + std::to_string(n) + ".png"),
                                     context) == nullptr)
                ++context.tilesWritten;
            ++n;
            return true;
        });
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    for (size_t n = 0; n < sequential.size(); ++n)
        EXPECT_EQ(ReadBytes(dir / ("par" + std::to_string(n) + ".png")),
                  ReadBytes(sequential[n].path))
            << n;
}

// The command mode end to end: PNG tiles of a palette source under their names.
TEST(PngTileSource, CommandModeWritesPaletteTiles) {
    TempDir dir, home;
    std::filesystem::create_directory(dir / "out");
    std::string src = SuiteDir() + "/tbbn3p08.png";
    auto run = testing::RunTessarin(
        {"/cmd", "/outdir", dir / "out", "/notmake", "/x", "20", "/y", "20", "/t", "2", src},
        home.Path().string());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("○：" + src), std::string::npos) << run.output;
    RawPng raw;
    ASSERT_TRUE(ReadRawPng(src, raw));
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 2; ++c) {
            WrittenTile tile{{c, r, c * 20, r * 20, c ? 12 : 20, r ? 12 : 20},
                             dir / ("out/tbbn3p08_" + std::to_string(r + 1) + "_" +
                                    std::to_string(c + 1) + ".png")};
            ExpectTileMatches(raw, src, tile);
        }
    }
}

// ---- metadata limits ----

std::vector<uint8_t> ChunkBytes(const std::string& type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(data.size() >> s));
    std::vector<uint8_t> typed(type.begin(), type.end());
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    const uLong crc = crc32(0, typed.data(), static_cast<uInt>(typed.size()));
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(crc >> s));
    return out;
}

std::vector<uint8_t> Deflated(size_t bytes) {
    const std::vector<uint8_t> text(bytes, 'x');
    uLongf size = compressBound(static_cast<uLong>(bytes));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, text.data(), static_cast<uLong>(bytes), 9), Z_OK);
    out.resize(size);
    return out;
}

// What a zTXt chunk's text decompresses to, in bytes.
size_t InflatedTextSize(const std::vector<uint8_t>& data) {
    const size_t start =
        static_cast<size_t>(std::find(data.begin(), data.end(), 0) - data.begin()) + 2;
    z_stream z{};
    EXPECT_EQ(inflateInit(&z), Z_OK);
    z.next_in = const_cast<Bytef*>(data.data() + start);
    z.avail_in = static_cast<uInt>(data.size() - start);
    std::vector<uint8_t> scratch(1 << 16);
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        result = inflate(&z, Z_NO_FLUSH);
    }
    EXPECT_EQ(result, Z_STREAM_END);
    const size_t total = z.total_out;
    inflateEnd(&z);
    return total;
}

// Text kept for the tiles is bounded: 64 MiB once decompressed and 1000
// text chunks. A file beyond either is refused with the read message; one
// within both keeps every chunk whole, even one larger than libpng keeps by
// default. The viewer does not keep them and loads such files.
TEST(PngTileSource, MetadataBeyondItsLimitsIsRefusedNotDropped) {
    TempDir dir;
    PngLayout layout;
    layout.width = layout.height = 4;
    layout.rows = RandomRows(4, 4, 24, 5);
    ASSERT_TRUE(WritePng(dir / "plain.png", layout));
    const std::vector<uint8_t> plain = ReadBytes(dir / "plain.png");
    const size_t afterHeader = 8 + 25;

    const std::vector<uint8_t> small = Deflated(7'500'000);
    auto compressedText = [&](const std::string& type, const std::vector<uint8_t>& stream) {
        std::vector<uint8_t> data = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0};
        if (type == "iTXt")
            data.insert(data.end(), {1, 0, 0, 0});  // compressed, method, language, key
        else
            data.push_back(0);  // method
        data.insert(data.end(), stream.begin(), stream.end());
        return ChunkBytes(type, data);
    };
    auto repeated = [](const std::vector<uint8_t>& chunk, int times) {
        std::vector<uint8_t> out;
        for (int i = 0; i < times; ++i) out.insert(out.end(), chunk.begin(), chunk.end());
        return out;
    };
    const std::vector<uint8_t> shortText = ChunkBytes("tEXt", {'k', 0, 'v'});
    struct Case {
        const char* name;
        std::vector<uint8_t> chunks;
        bool kept;
        int tileTextChunks;
        size_t firstTextSize;
    };
    const Case cases[] = {
        {"ten zTXt of 7.5 MB", repeated(compressedText("zTXt", small), 10), false, 0, 0},
        {"ten iTXt of 7.5 MB", repeated(compressedText("iTXt", small), 10), false, 0, 0},
        {"one zTXt of 10 MB", compressedText("zTXt", Deflated(10'000'000)), true, 1, 10'000'000},
        {"1001 tEXt", repeated(shortText, 1001), false, 0, 0},
        {"1000 tEXt", repeated(shortText, 1000), true, 1000, 1},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = plain;
        bytes.insert(bytes.begin() + afterHeader, c.chunks.begin(), c.chunks.end());
        WriteBytes(dir / "meta.png", bytes);
        const CurrentImage image = LoadCurrent(dir / "meta.png");
        ASSERT_NE(image.raster, nullptr) << c.name;
        std::string error;
        auto source = MakeSource(image, &error);
        if (!c.kept) {
            EXPECT_EQ(source, nullptr) << c.name;
            EXPECT_EQ(error, msg::kReadFailed) << c.name;
            continue;
        }
        ASSERT_NE(source, nullptr) << c.name << ": " << error;
        TileContext context;
        ASSERT_EQ(
            testing::WriteTileAt(*source, TileRect{0, 0, 0, 0, 4, 4}, dir / "tile.png", context),
            nullptr);
        std::vector<Chunk> texts;
        for (Chunk& chunk : ListChunks(ReadBytes(dir / "tile.png")))
            if (chunk.type == "tEXt" || chunk.type == "zTXt") texts.push_back(std::move(chunk));
        ASSERT_EQ(static_cast<int>(texts.size()), c.tileTextChunks) << c.name;
        const Chunk& first = texts.front();
        const size_t keyLength = static_cast<size_t>(
            std::find(first.data.begin(), first.data.end(), 0) - first.data.begin());
        EXPECT_EQ(
            first.type == "zTXt" ? InflatedTextSize(first.data) : first.data.size() - keyLength - 1,
            c.firstTextSize)
            << c.name;
    }
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
    for (const char* file : kSuiteNotPng)
        EXPECT_EQ(SourceError(SuiteDir() + "/" + file), "PNGファイルではありません") << file;
    for (const char* file : kSuiteRefused)
        EXPECT_EQ(SourceError(SuiteDir() + "/" + file), msg::kReadFailed) << file;
    EXPECT_EQ(SourceError(dir / "absent.png"), msg::kReadFailed);
    WriteBytes(dir / "empty.png", {});
    EXPECT_EQ(SourceError(dir / "empty.png"), msg::kReadFailed);
    WriteBytes(dir / "noise.png", RandomRows(3000, 1, 8, 8)[0]);
    EXPECT_EQ(SourceError(dir / "noise.png"), "PNGファイルではありません");
    std::vector<uint8_t> damaged = ReadBytes(SuiteDir() + "/basn2c08.png");
    ASSERT_GT(damaged.size(), 8u);
    damaged[6] = 0;
    WriteBytes(dir / "damaged.png", damaged);
    EXPECT_EQ(SourceError(dir / "damaged.png"), msg::kReadFailed);
    // 100000 x 100000 at 16-bit RGBA: refused before its 80 GB are asked for.
    WriteBytes(dir / "huge.png", HeaderOnlyPng(100000, 100000, 16, 6));
    EXPECT_EQ(SourceError(dir / "huge.png", 100000, 100000), msg::kReadFailed);
}

TEST(PngTileSource, TruncatedSourcesFailAtEveryCut) {
    TempDir dir;
    for (const char* name : {"basi4a16.png", "ctzn0g04.png", "ch1n3p04.png"}) {
        std::vector<uint8_t> bytes = ReadBytes(SuiteDir() + "/" + name);
        ASSERT_FALSE(bytes.empty()) << name;
        for (size_t cut : CutPoints(bytes.size(), 11)) {
            std::string path = dir / (std::to_string(cut) + name);
            WriteBytes(path, std::vector<uint8_t>(bytes.begin(),
                                                  bytes.begin() + static_cast<ptrdiff_t>(cut)));
            EXPECT_EQ(SourceError(path), msg::kReadFailed) << name << " cut at " << cut;
        }
    }
}

// The grid is computed from the loaded size; a file replaced by one of
// another size must not be cut with it.
TEST(PngTileSource, ASourceThatNoLongerMatchesTheLoadedImageIsRefused) {
    EXPECT_EQ(SourceError(SuiteDir() + "/basn2c08.png", 33, 32), msg::kReadFailed);
    EXPECT_EQ(SourceError(SuiteDir() + "/basn2c08.png", 32, 31), msg::kReadFailed);
}

TEST(PngTileSource, TilesThatCannotBeWrittenGiveTheWriteMessage) {
    TempDir dir;
    CurrentImage image = LoadCurrent(SuiteDir() + "/basn2c16.png");
    auto source = MakeSource(image);
    ASSERT_NE(source, nullptr);
    TileContext context;
    const TileRect small{0, 0, 0, 0, 8, 8}, whole{0, 0, 0, 0, 32, 32};
    EXPECT_STREQ(testing::WriteTileAt(*source, small, dir / "missing/t.png", context),
                 "ファイルの書き込みに失敗しました");
    // A full disk: small tiles fail when the file is closed, large ones while
    // libpng writes.
    EXPECT_STREQ(testing::WriteTileInto(*source, small, "/dev/full", context),
                 "ファイルの書き込みに失敗しました");
    EXPECT_STREQ(testing::WriteTileInto(*source, whole, "/dev/full", context),
                 "ファイルの書き込みに失敗しました");
    // A rectangle outside the image is never read.
    EXPECT_STREQ(testing::WriteTileAt(*source, {0, 0, 30, 0, 8, 8}, dir / "out.png", context),
                 "ファイルの書き込みに失敗しました");
}

}  // namespace
}  // namespace tessarin
