#include <gtest/gtest.h>

#include <thread>

#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_test_files.h"
#include "split/messages.h"

namespace tessarin {
namespace {

using giftest::Frame;
using giftest::Gif;
namespace fs = std::filesystem;

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

class GifTiles : public giftest::GifFolderTest {
  protected:
    // Loads the file as the program does and prepares its tile source.
    std::unique_ptr<TileSource> Prepare(const fs::path& path) {
        LoadedImage loaded;
        EXPECT_TRUE(LoadGifFile(path.string(), loaded)) << loaded.error;
        if (!loaded.raster) return nullptr;
        image_.width = loaded.raster->Width();
        image_.height = loaded.raster->AbsHeight();
        image_.raster = std::move(loaded.raster);
        image_.path = path.string();
        image_.displayDepth = loaded.displayDepth;
        image_.colorKind = loaded.colorKind;
        image_.interlaced = loaded.interlaced;
        std::string error;
        auto source = MakeGifTileSource(image_, SplitSettings{}, error);
        EXPECT_TRUE(source) << error;
        return source;
    }

    std::unique_ptr<TileSource> Prepare(const Gif& gif) {
        const auto path = dir_ / "source.gif";
        giftest::WriteFile(path, giftest::Encode(gif));
        return Prepare(path);
    }

    giftest::Decoded WriteAndRead(const TileSource& source, const TileRect& rect) {
        const auto path = dir_ / ("tile_" + std::to_string(rect.column) + "_" +
                                  std::to_string(rect.row) + ".gif");
        TileContext context;
        const char* failure = source.WriteTile(rect, path.string(), context);
        EXPECT_EQ(failure, nullptr) << failure;
        return giftest::DecodeWithGiflib(path);
    }

    CurrentImage image_;
};

std::vector<uint8_t> Cut(const Frame& frame, const TileRect& r) {
    std::vector<uint8_t> out;
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x)
            out.push_back(frame.pixels[static_cast<size_t>(y * frame.width + x)]);
    return out;
}

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
        Gif gif;
        gif.colorResolution = c.colorBits == 1 ? 3 : 6;
        gif.background = count - 1;
        gif.globalColors = giftest::Palette(c.local ? 4 : count);
        Frame frame;
        frame.width = 23;
        frame.height = 17;
        frame.interlaced = c.interlaced;
        if (c.local) frame.localColors = giftest::Palette(count, 77);
        frame.pixels = giftest::RandomIndices(23, 17, count, static_cast<unsigned>(count));
        if (!c.control.empty()) frame.graphicControls = {c.control};
        gif.frames.push_back(frame);
        const auto& table = c.local ? frame.localColors : gif.globalColors;

        auto source = Prepare(gif);
        ASSERT_TRUE(source);
        for (const TileRect& rect : GridRects(23, 17, 7, 10, 3, 2)) {
            SCOPED_TRACE(testing::Message() << rect.column << "," << rect.row);
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
            if (c.copied) {
                ASSERT_EQ(tile.extensions.size(), 1u);
                EXPECT_EQ(tile.extensions[0].first, GRAPHICS_EXT_FUNC_CODE);
                EXPECT_EQ(tile.extensions[0].second, c.control);
            } else {
                EXPECT_TRUE(tile.extensions.empty());
            }
        }
    }
}

TEST_F(GifTiles, AnimationGivesSingleImageTilesOfTheFirstFrame) {
    Gif gif;
    gif.globalColors = giftest::Palette(16);
    for (int i = 0; i < 3; ++i) {
        Frame frame;
        frame.width = 12;
        frame.height = 8;
        frame.pixels = giftest::RandomIndices(12, 8, 16, 40u + static_cast<unsigned>(i));
        frame.graphicControls = {{0x05, static_cast<uint8_t>(10 + i), 0, static_cast<uint8_t>(i)}};
        gif.frames.push_back(frame);
    }
    auto source = Prepare(gif);
    ASSERT_TRUE(source);
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
    Gif gif;
    gif.globalColors = giftest::Palette(16);
    Frame frame;
    frame.width = 3;
    frame.height = 12;
    frame.interlaced = true;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 3; ++x) frame.pixels.push_back(static_cast<uint8_t>(y));
    gif.frames.push_back(frame);
    auto source = Prepare(gif);
    ASSERT_TRUE(source);
    const auto path = dir_ / "tile.gif";
    TileContext context;
    ASSERT_EQ(source->WriteTile(TileRect{0, 0, 1, 1, 2, 10}, path.string(), context), nullptr);

    int error = 0;
    GifFileType* tile = DGifOpenFileName(path.c_str(), &error);
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

TEST_F(GifTiles, NonAsciiPathsLoadAndSplit) {
    const fs::path folder = dir_ / "タイル 🎨";
    fs::create_directories(folder);
    const fs::path path = folder / "日本語の画像😀.gif";
    Gif gif;
    gif.globalColors = giftest::Palette(4);
    Frame frame;
    frame.width = 9;
    frame.height = 7;
    frame.pixels = giftest::RandomIndices(9, 7, 4, 9);
    gif.frames.push_back(frame);
    giftest::WriteFile(path, giftest::Encode(gif));
    auto source = Prepare(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(image_.displayDepth, 2);
    const fs::path tilePath = folder / "日本語の画像😀_1_1.gif";
    TileContext context;
    ASSERT_EQ(source->WriteTile(TileRect{0, 0, 0, 0, 4, 4}, tilePath.string(), context), nullptr);
    giftest::Decoded tile = giftest::DecodeWithGiflib(tilePath);
    ASSERT_TRUE(tile.ok);
    EXPECT_EQ(tile.pixels, Cut(frame, TileRect{0, 0, 0, 0, 4, 4}));
}

// A corrupt source whose code size allows indices beyond its 2-colour table:
// nothing crashes, and the tiles hold the indices as the library codes them
// for the table's depth (code size 2 at least).
TEST_F(GifTiles, IndicesBeyondTheTableDoNotCrash) {
    Gif gif;
    gif.globalColors = giftest::Palette(256);
    Frame frame;
    frame.width = 16;
    frame.height = 16;
    for (int i = 0; i < 256; ++i) frame.pixels.push_back(static_cast<uint8_t>(i));
    gif.frames.push_back(frame);
    auto bytes = giftest::Encode(gif);
    bytes[10] &= 0xF8;  // global table of 2 entries; the image keeps code size 8
    bytes.erase(bytes.begin() + 13 + 6, bytes.begin() + 13 + 768);
    const auto path = dir_ / "corrupt.gif";
    giftest::WriteFile(path, bytes);
    auto source = Prepare(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(image_.raster->BitCount(), 1);
    for (const TileRect& rect : GridRects(16, 16, 10, 10)) {
        giftest::Decoded tile = WriteAndRead(*source, rect);
        ASSERT_TRUE(tile.ok);
        std::vector<uint8_t> expected = Cut(frame, rect);
        for (auto& v : expected) v &= 0x03;
        EXPECT_EQ(tile.pixels, expected);
    }
}

TEST_F(GifTiles, ConcurrentWorkersWriteTheSameBytes) {
    Gif gif;
    gif.globalColors = giftest::Palette(64);
    Frame frame;
    frame.width = 61;
    frame.height = 47;
    frame.interlaced = true;
    frame.pixels = giftest::RandomIndices(61, 47, 64, 12);
    frame.graphicControls = {{0x01, 0, 0, 9}};
    gif.frames.push_back(frame);
    auto source = Prepare(gif);
    ASSERT_TRUE(source);
    const auto rects = GridRects(61, 47, 8, 8);
    auto run = [&](const fs::path& folder, int threads) {
        fs::create_directories(folder);
        std::vector<std::thread> workers;
        std::vector<int> failures(static_cast<size_t>(threads), 0);
        for (int k = 0; k < threads; ++k)
            workers.emplace_back([&, k] {
                TileContext context;
                context.workerIndex = k;
                for (size_t n = static_cast<size_t>(k); n < rects.size();
                     n += static_cast<size_t>(threads)) {
                    const auto path = folder / (std::to_string(n) + ".gif");
                    if (source->WriteTile(rects[n], path.string(), context)) ++failures[size_t(k)];
                    ++context.tilesWritten;
                }
            });
        for (auto& w : workers) w.join();
        for (int f : failures) EXPECT_EQ(f, 0);
    };
    run(dir_ / "one", 1);
    run(dir_ / "four", 4);
    for (size_t n = 0; n < rects.size(); ++n) {
        const std::string name = std::to_string(n) + ".gif";
        EXPECT_EQ(giftest::ReadFile(dir_ / "one" / name), giftest::ReadFile(dir_ / "four" / name))
            << n;
    }
}

TEST_F(GifTiles, FailuresGiveTheirMessages) {
    Gif gif;
    gif.globalColors = giftest::Palette(2);
    Frame frame;
    frame.width = 4;
    frame.height = 4;
    frame.pixels = giftest::RandomIndices(4, 4, 2, 1);
    gif.frames.push_back(frame);
    auto source = Prepare(gif);
    ASSERT_TRUE(source);
    TileContext context;
    EXPECT_STREQ(source->WriteTile(TileRect{0, 0, 0, 0, 2, 2}, (dir_ / "no/such/tile.gif").string(),
                                   context),
                 msg::kSaveFailed);
    EXPECT_STREQ(source->WriteTile(TileRect{0, 0, 3, 0, 2, 2}, (dir_ / "t.gif").string(), context),
                 msg::kClipFailed);

    std::string error;
    CurrentImage missing;
    missing.path = (dir_ / "missing.gif").string();
    EXPECT_FALSE(MakeGifTileSource(missing, SplitSettings{}, error));
    EXPECT_EQ(error, msg::kOpenFailed);
    // The file was replaced by one of another size since it was loaded.
    CurrentImage stale;
    stale.path = image_.path;
    stale.width = 5;
    stale.height = 4;
    EXPECT_FALSE(MakeGifTileSource(stale, SplitSettings{}, error));
    EXPECT_EQ(error, msg::kInvalidFile);
}

}  // namespace
}  // namespace tessarin
