#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_private.h"
#include "imaging/gif/gif_test_files.h"
#include "imaging/messages.h"
#include "support/tile_writing.h"
#include "support/whole_load.h"

namespace tessarin {
namespace {

using giftest::Frame;
using giftest::Gif;
using giftest::OneFrame;
using testing::LoadGif;

// The tiles of a W x H image: an offset strip of ox / oy, then tw x th tiles,
// clipped at the right and bottom edges.
std::vector<TileRect> GridRects(int width, int height, int tw, int th, int ox = 0, int oy = 0) {
    std::vector<TileRect> rects;
    for (int y = 0, row = 0; y < height; ++row) {
        int h = std::min((row == 0 && oy) ? oy : th, height - y);
        for (int x = 0, column = 0; x < width; ++column) {
            int w = std::min((column == 0 && ox) ? ox : tw, width - x);
            rects.push_back(TileRect{column, row, x, y, w, h});
            x += w;
        }
        y += h;
    }
    return rects;
}

std::vector<uint8_t> Cut(const Frame& frame, const TileRect& r) {
    std::vector<uint8_t> out;
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x)
            out.push_back(frame.pixels[static_cast<size_t>(y * frame.width + x)]);
    return out;
}

class GifTiles : public ::testing::Test {
  protected:
    // Loads the file as the program does and prepares its tile source.
    std::unique_ptr<TileSource> Prepare(const std::string& path) {
        LoadedImage loaded;
        EXPECT_TRUE(LoadGif(path, loaded)) << loaded.error;
        if (!loaded.raster) return nullptr;
        SetCurrentImage(image_, std::move(loaded), path);
        std::string error;
        auto source = MakeGifTileSource(image_, error);
        EXPECT_TRUE(source) << error;
        return source;
    }
    std::unique_ptr<TileSource> Prepare(const std::vector<uint8_t>& bytes) {
        testing::WriteBytes(dir_ / "source.gif", bytes);
        return Prepare(dir_ / "source.gif");
    }

    giftest::Decoded WriteAndRead(const TileSource& source, const TileRect& rect) {
        const std::string path = dir_ / "tile.gif";
        TileContext context;
        const char* failure = testing::WriteTileAt(source, rect, path, context);
        EXPECT_EQ(failure, nullptr) << failure;
        return giftest::DecodeWithGiflib(path);
    }

    testing::TempDir dir_;
    CurrentImage image_;
};

// Every tile of a grid holds the source's indices, table, background, colour
// resolution, interlacing and transparency, as a single "GIF87a" image.
TEST_F(GifTiles, EveryTileCarriesTheSourceIndicesAndDescriptors) {
    struct Case {
        int colorBits;
        bool interlaced;
        bool local;
        std::vector<uint8_t> control;
        bool copied;
    };
    const Case cases[] = {
        {1, false, false, {}, false},
        {4, true, false, {0x09, 0x34, 0x12, 5}, true},  // transparent index 5, disposal 2
        {5, false, true, {0x01, 0, 0, 31}, true},
        {8, true, true, {0x08, 10, 0, 200}, false},  // no transparent colour flag
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colorBits);
        const int count = 1 << c.colorBits;
        Gif gif = OneFrame(23, 17, c.local ? 4 : count, c.interlaced);
        gif.colorResolution = c.colorBits == 1 ? 3 : 6;
        gif.background = count - 1;
        Frame& frame = gif.frames[0];
        if (c.local) {
            frame.localColors = giftest::Palette(count, 77);
            frame.pixels = giftest::RandomIndices(23, 17, count, 2);
        }
        if (!c.control.empty()) frame.graphicControls = {c.control};
        const auto& table = c.local ? frame.localColors : gif.globalColors;

        auto source = Prepare(giftest::Encode(gif));
        ASSERT_TRUE(source);
        for (const TileRect& rect : GridRects(23, 17, 7, 10, 3, 2)) {
            SCOPED_TRACE(::testing::Message() << rect.column << "," << rect.row);
            giftest::Decoded tile = WriteAndRead(*source, rect);
            ASSERT_TRUE(tile.ok);
            EXPECT_EQ(std::string(tile.bytes.begin(), tile.bytes.begin() + 6), "GIF87a");
            EXPECT_EQ(tile.screenWidth, rect.width);
            EXPECT_EQ(tile.screenHeight, rect.height);
            EXPECT_EQ(tile.colorResolution, gif.colorResolution);
            EXPECT_EQ(tile.background, gif.background);
            EXPECT_EQ(tile.bytes[12], 0);  // pixel aspect
            EXPECT_TRUE(giftest::SameColors(tile.globalColors, table));
            EXPECT_TRUE(giftest::SameColors(tile.localColors, table));
            EXPECT_EQ(tile.imageCount, 1);
            EXPECT_EQ(tile.left, 0);
            EXPECT_EQ(tile.top, 0);
            EXPECT_EQ(tile.width, rect.width);
            EXPECT_EQ(tile.height, rect.height);
            EXPECT_EQ(tile.interlaced, c.interlaced);
            EXPECT_EQ(tile.pixels, Cut(frame, rect));
            using Extensions = decltype(tile.extensions);
            const Extensions expected =
                c.copied ? Extensions{{GRAPHICS_EXT_FUNC_CODE, c.control}} : Extensions{};
            EXPECT_EQ(tile.extensions, expected);
        }
    }
}

// The first frame's own rectangle, whatever the logical screen says.
TEST_F(GifTiles, AnimationGivesSingleImageTilesOfTheFirstFrame) {
    Gif gif = OneFrame(12, 8, 16);
    gif.screenWidth = 65535;
    gif.screenHeight = 65535;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) gif.frames.push_back(OneFrame(20, 20, 16, false, 40u + unsigned(i)).frames[0]);
        gif.frames.back().graphicControls = {{0x05, uint8_t(10 + i), 0, uint8_t(i)}};
    }
    auto source = Prepare(giftest::Encode(gif));
    ASSERT_TRUE(source);
    EXPECT_EQ(image_.width, 12);
    EXPECT_EQ(image_.height, 8);
    for (const TileRect& rect : GridRects(12, 8, 5, 5)) {
        giftest::Decoded tile = WriteAndRead(*source, rect);
        ASSERT_TRUE(tile.ok);
        EXPECT_EQ(tile.imageCount, 1);
        EXPECT_EQ(tile.pixels, Cut(gif.frames[0], rect));
        ASSERT_EQ(tile.extensions.size(), 1u);
        EXPECT_EQ(tile.extensions[0].second, (std::vector<uint8_t>{0x05, 10, 0, 0}));
    }
}

// The rows of an interlaced tile, read in file order with the low-level calls.
TEST_F(GifTiles, InterlacedTileStoresRowsInInterlacedOrder) {
    Gif gif = OneFrame(3, 12, 16, true);
    for (size_t i = 0; i < gif.frames[0].pixels.size(); ++i)
        gif.frames[0].pixels[i] = static_cast<uint8_t>(i / 3);  // each row holds its number
    auto source = Prepare(giftest::Encode(gif));
    ASSERT_TRUE(source);
    TileContext context;
    ASSERT_EQ(
        testing::WriteTileAt(*source, TileRect{0, 0, 1, 1, 2, 10}, dir_ / "tile.gif", context),
        nullptr);

    int error = 0;
    GifFileType* tile = DGifOpenFileName((dir_ / "tile.gif").c_str(), &error);
    ASSERT_TRUE(tile);
    GifRecordType type;
    ASSERT_EQ(DGifGetRecordType(tile, &type), GIF_OK);
    ASSERT_EQ(type, IMAGE_DESC_RECORD_TYPE);
    ASSERT_EQ(DGifGetImageDesc(tile), GIF_OK);
    EXPECT_TRUE(tile->Image.Interlace);
    std::vector<int> fileOrder;
    for (int i = 0; i < 10; ++i) {
        GifPixelType line[2];
        ASSERT_EQ(DGifGetLine(tile, line, 2), GIF_OK);
        fileOrder.push_back(line[0] - 1);  // tile row = source row - 1
    }
    DGifCloseFile(tile, &error);
    EXPECT_EQ(fileOrder, (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
}

// A corrupt source whose code size allows indices beyond its 2-colour table:
// nothing crashes, and the tiles hold the indices as the library codes them
// for the table's depth (code size 2 at least).
TEST_F(GifTiles, IndicesBeyondTheTableDoNotCrash) {
    Gif gif = OneFrame(16, 16, 256);
    for (size_t i = 0; i < 256; ++i) gif.frames[0].pixels[i] = static_cast<uint8_t>(i);
    auto bytes = giftest::Encode(gif);
    bytes[10] &= 0xF8;  // global table of 2 entries; the image keeps code size 8
    bytes.erase(bytes.begin() + 13 + 6, bytes.begin() + 13 + 768);
    auto source = Prepare(bytes);
    ASSERT_TRUE(source);
    EXPECT_EQ(image_.raster->BitCount(), 1);
    for (const TileRect& rect : GridRects(16, 16, 10, 10)) {
        std::vector<uint8_t> expected = Cut(gif.frames[0], rect);
        for (auto& v : expected) v &= 0x03;
        EXPECT_EQ(WriteAndRead(*source, rect).pixels, expected);
    }
}

// A file is decoded once, whichever way it was loaded: for the window (the
// tiles are cut from its 1-, 4- or 8-bit raster, or from the 8-bit indices
// kept beside it where that raster shows some pixel by another index), or
// not at all (the split decodes the file). Both give the same tile bytes.
TEST_F(GifTiles, TilesAreTheSameBytesFromTheRasterTheIndicesAndTheFile) {
    struct Case {
        std::vector<uint8_t> bytes;
        bool keepsIndices;
    };
    std::vector<Case> cases;
    for (const int bits : {1, 2, 4, 5, 8})
        cases.push_back(
            {giftest::Encode(OneFrame(23, 17, 1 << bits, bits == 4, static_cast<unsigned>(bits))),
             false});
    Gif repeated = OneFrame(23, 17, 16, true);
    repeated.globalColors[7] = repeated.globalColors[3];
    cases.push_back({giftest::Encode(repeated), true});
    // Indices past a 2-colour table, which the library codes in 2 bits.
    Gif beyond = OneFrame(16, 16, 256);
    for (size_t i = 0; i < 256; ++i) beyond.frames[0].pixels[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> bytes = giftest::Encode(beyond);
    bytes[10] &= 0xF8;
    bytes.erase(bytes.begin() + 13 + 6, bytes.begin() + 13 + 768);
    cases.push_back({bytes, true});

    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(c);
        const std::string path = dir_ / (std::to_string(c) + ".gif");
        testing::WriteBytes(path, cases[c].bytes);
        LoadedImage loaded;
        ASSERT_TRUE(LoadGif(path, loaded)) << loaded.error;
        CurrentImage shown;
        SetCurrentImage(shown, std::move(loaded), path);
        auto kept = std::dynamic_pointer_cast<const gif::GifSplitData>(shown.tileData);
        ASSERT_TRUE(kept);
        EXPECT_TRUE(kept->pixels.empty());
        EXPECT_EQ(kept->indices != nullptr, cases[c].keepsIndices);
        CurrentImage fileOnly;
        fileOnly.path = path;
        fileOnly.width = shown.width;
        fileOnly.height = shown.height;

        std::vector<std::unique_ptr<TileSource>> sources;
        for (const CurrentImage* image : {&fileOnly, &shown}) {
            std::string error;
            sources.push_back(MakeGifTileSource(*image, error));
            ASSERT_TRUE(sources.back()) << error;
        }
        for (const TileRect& rect : GridRects(shown.width, shown.height, 7, 10, 3, 2)) {
            std::vector<std::vector<uint8_t>> tiles;
            for (const auto& source : sources) {
                TileContext context;
                const std::string tile = dir_ / "tile.gif";
                ASSERT_EQ(testing::WriteTileAt(*source, rect, tile, context), nullptr);
                tiles.push_back(testing::ReadBytes(tile));
            }
            ASSERT_EQ(tiles[1], tiles[0]) << rect.column << "," << rect.row;
        }
    }
}

TEST_F(GifTiles, ConcurrentWorkersWriteTheSameBytes) {
    Gif gif = OneFrame(61, 47, 64, true, 12);
    gif.frames[0].graphicControls = {{0x01, 0, 0, 9}};
    auto source = Prepare(giftest::Encode(gif));
    ASSERT_TRUE(source);
    const auto rects = GridRects(61, 47, 8, 8);
    auto run = [&](const std::string& folder, size_t threads) {
        std::filesystem::create_directories(folder);
        std::vector<std::thread> workers;
        for (size_t k = 0; k < threads; ++k)
            workers.emplace_back([&, k] {
                TileContext context;
                context.workerIndex = static_cast<int>(k);
                for (size_t n = k; n < rects.size(); n += threads, ++context.tilesWritten)
                    EXPECT_EQ(testing::WriteTileAt(*source, rects[n],
                                                   folder + "/" + std::to_string(n), context),
                              nullptr);
            });
        for (auto& w : workers) w.join();
    };
    run(dir_ / "one", 1);
    run(dir_ / "four", 4);
    for (size_t n = 0; n < rects.size(); ++n)
        EXPECT_EQ(testing::ReadBytes(dir_ / ("one/" + std::to_string(n))),
                  testing::ReadBytes(dir_ / ("four/" + std::to_string(n))))
            << n;
}

TEST_F(GifTiles, FailuresGiveTheirMessages) {
    auto source = Prepare(giftest::Encode(OneFrame(4, 4, 2)));
    ASSERT_TRUE(source);
    TileContext context;
    EXPECT_STREQ(testing::WriteTileAt(*source, TileRect{0, 0, 0, 0, 2, 2},
                                      dir_ / "no/such/tile.gif", context),
                 msg::kSaveFailed);
    EXPECT_STREQ(testing::WriteTileAt(*source, TileRect{0, 0, 3, 0, 2, 2}, dir_ / "t.gif", context),
                 msg::kClipFailed);

    std::string error;
    CurrentImage missing;
    missing.path = dir_ / "missing.gif";
    EXPECT_FALSE(MakeGifTileSource(missing, error));
    EXPECT_EQ(error, msg::kOpenFailed);
    // The file was replaced by one of another size since it was loaded.
    CurrentImage stale;
    stale.path = image_.path;
    stale.width = 5;
    stale.height = 4;
    EXPECT_FALSE(MakeGifTileSource(stale, error));
    EXPECT_EQ(error, msg::kInvalidFile);
}

// Tiles of another file's colours: each tile gets a table of its own
// colours, and a tile of more than 256 fails with the message that says so.
TEST_F(GifTiles, ColourRastersGiveEachTileItsOwnTable) {
    BitmapInfoHeader header;
    header.biWidth = 40;
    header.biHeight = 20;
    header.biBitCount = 24;
    std::shared_ptr<DibImage> raster = DibImage::Create(header);
    ASSERT_TRUE(raster);
    // Columns 0-19: 10 x 20 colours by position; columns 20-39: 3 colours.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            uint8_t* p = raster->Row(y) + x * 3;
            p[0] = static_cast<uint8_t>(x < 20 ? x * 12 : 0);
            p[1] = static_cast<uint8_t>(x < 20 ? y * 12 : 200);
            p[2] = static_cast<uint8_t>(x < 20 ? 7 : (x % 3) * 100);
        }
    CurrentImage rows;
    rows.raster = raster;
    rows.width = 40;
    rows.height = 20;
    std::string error;
    auto source = MakeGifRasterTiles(rows, error);
    ASSERT_TRUE(source) << error;
    for (const TileRect& rect : {TileRect{0, 0, 0, 0, 15, 17}, TileRect{1, 0, 20, 3, 20, 17}}) {
        const giftest::Decoded tile = WriteAndRead(*source, rect);
        const std::vector<GifColorType>& table =
            tile.localColors.empty() ? tile.globalColors : tile.localColors;
        ASSERT_EQ(tile.width, rect.width);
        ASSERT_EQ(tile.height, rect.height);
        for (int y = 0; y < rect.height; ++y)
            for (int x = 0; x < rect.width; ++x) {
                const GifColorType c =
                    table.at(tile.pixels[static_cast<size_t>(y * rect.width + x)]);
                const uint8_t* p = raster->Row(rect.y + y) + (rect.x + x) * 3;
                ASSERT_EQ(std::vector<int>({c.Red, c.Green, c.Blue}),
                          std::vector<int>({p[2], p[1], p[0]}))
                    << x << "," << y;
            }
    }
    TileContext context;
    EXPECT_STREQ(
        testing::WriteTileAt(*source, TileRect{0, 0, 0, 0, 20, 20}, dir_ / "many.gif", context),
        gif::kTooManyColours);
}

// The command mode end to end, with Japanese and an emoji in the folder and
// file names: GIF tiles named after the source, each holding its indices.
TEST_F(GifTiles, CommandModeSplitsAGifWithANonAsciiName) {
    const std::string folder = dir_ / "画像 🎨";
    std::filesystem::create_directories(folder + "/out");
    const std::string path = folder + "/日本語😀.gif";
    Gif gif = OneFrame(9, 7, 4, true, 9);
    testing::WriteBytes(path, giftest::Encode(gif));
    testing::TempDir home;
    auto run = testing::RunTessarin(
        {"/cmd", "/outdir", folder + "/out", "/notmake", "/x", "4", "/y", "4", "/t", "2", path},
        home.Path().string());
    EXPECT_NE(run.output.find("○：" + path), std::string::npos) << run.output;
    for (const TileRect& rect : GridRects(9, 7, 4, 4)) {
        const std::string name = folder + "/out/日本語😀_" + std::to_string(rect.row + 1) + "_" +
                                 std::to_string(rect.column + 1) + ".gif";
        giftest::Decoded tile = giftest::DecodeWithGiflib(name);
        ASSERT_TRUE(tile.ok) << name;
        EXPECT_TRUE(tile.interlaced);
        EXPECT_EQ(tile.pixels, Cut(gif.frames[0], rect)) << name;
    }
}

}  // namespace
}  // namespace tessarin
