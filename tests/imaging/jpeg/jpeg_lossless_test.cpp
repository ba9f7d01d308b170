// Lossless tiles cut in-process are byte for byte what
// `jpegtran -copy all|comments|none -crop WxH+X+Y` writes for the same
// rectangle, over sources of every kind of sampling, coding and marker layout
// and over aligned, unaligned and edge tiles.

#include "imaging/jpeg/jpeg_lossless.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_messages.h"
#include "jpeg_test_util.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

using namespace jpeg_test;

void Put16(std::string& s, bool bigEndian, unsigned v) {
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    s += bigEndian ? std::string{b[1], b[0]} : std::string{b[0], b[1]};
}

void Put32(std::string& s, bool bigEndian, unsigned v) {
    if (bigEndian) {
        Put16(s, true, v >> 16);
        Put16(s, true, v & 0xFFFF);
    } else {
        Put16(s, false, v & 0xFFFF);
        Put16(s, false, v >> 16);
    }
}

void Entry(std::string& s, bool bigEndian, unsigned tag, unsigned type, unsigned count,
           unsigned value) {
    Put16(s, bigEndian, tag);
    Put16(s, bigEndian, type);
    Put32(s, bigEndian, count);
    if (type == 3) {  // SHORT: the value in the first two bytes
        Put16(s, bigEndian, value);
        Put16(s, bigEndian, 0);
    } else {
        Put32(s, bigEndian, value);
    }
}

// An Exif APP1 block: IFD0 (orientation, pointer to the Exif IFD), then the
// Exif IFD with its version, ExifImageWidth as SHORT and ExifImageHeight as
// LONG.
std::string Exif(bool bigEndian, unsigned width, unsigned height) {
    std::string tiff = bigEndian ? "MM" : "II";
    Put16(tiff, bigEndian, 0x2A);
    Put32(tiff, bigEndian, 8);
    Put16(tiff, bigEndian, 2);
    Entry(tiff, bigEndian, 0x0112, 3, 1, 1);
    Entry(tiff, bigEndian, 0x8769, 4, 1, 8 + 2 + 2 * 12 + 4);
    Put32(tiff, bigEndian, 0);
    Put16(tiff, bigEndian, 3);
    tiff += bigEndian ? std::string("\x90\x00\x00\x07\x00\x00\x00\x04", 8)
                      : std::string("\x00\x90\x07\x00\x04\x00\x00\x00", 8);
    tiff += "0230";
    Entry(tiff, bigEndian, 0xA002, 3, 1, width);
    Entry(tiff, bigEndian, 0xA003, 4, 1, height);
    Put32(tiff, bigEndian, 0);
    return std::string("Exif\0\0", 6) + tiff;
}

std::string Jfif(int unit, int density) {
    std::string s("JFIF\0\x01\x02", 7);
    s += static_cast<char>(unit);
    Put16(s, true, static_cast<unsigned>(density));
    Put16(s, true, static_cast<unsigned>(density));
    return s + std::string(2, '\0');
}

std::vector<TileRect> Rects(int width, int height, int offsetX, int offsetY, int tileWidth,
                            int tileHeight) {
    TileGrid grid;
    grid.imageWidth = width;
    grid.imageHeight = height;
    grid.offsetX = offsetX;
    grid.offsetY = offsetY;
    grid.tileWidth = tileWidth;
    grid.tileHeight = tileHeight;
    std::vector<TileRect> rects;
    ForEachTile(grid, [&](const TileRect& r) { rects.push_back(r); });
    return rects;
}

// Runs jpegtran without a shell; its exit status, or -1.
int RunJpegtran(const std::string& copy, const std::string& crop, const std::string& out,
                const std::string& source) {
    const char* argv[] = {"jpegtran", "-copy",     copy.c_str(),   "-crop", crop.c_str(),
                          "-outfile", out.c_str(), source.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "jpegtran", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string Crop(const TileRect& r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) +
           "+" + std::to_string(r.y);
}

TEST(JpegLosslessInProcess, EveryTileEqualsJpegtran) {
    if (std::system("command -v jpegtran >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "jpegtran (libjpeg-turbo-progs) is not installed: nothing to compare with";

    const std::string com = "made for the lossless tile test";
    const std::vector<Marker> several = {
        {JPEG_COM, com},
        {JPEG_APP0 + 2, std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(300, 'p')},
        {JPEG_APP0, std::string("JFXX\0\x13", 6)},
        {JPEG_APP0 + 15, "last application marker"},
        {JPEG_COM, "second comment"}};
    const std::vector<SourceKind> kinds = {
        {.name = "420", .factors = {{2, 2}, {1, 1}, {1, 1}}, .markers = several},
        {.name = "422", .factors = {{2, 1}, {1, 1}, {1, 1}}},
        {.name = "444", .factors = {{1, 1}, {1, 1}, {1, 1}}},
        {.name = "440", .factors = {{1, 2}, {1, 1}, {1, 1}}},
        {.name = "411", .factors = {{4, 1}, {1, 1}, {1, 1}}},
        {.name = "odd factors", .factors = {{2, 2}, {2, 1}, {1, 1}}},
        {.name = "grey", .components = 1, .markers = {{JPEG_COM, com}}},
        {.name = "grey 2x2", .components = 1, .factors = {{2, 2}}},
        {.name = "cmyk", .components = 4, .markers = {{JPEG_COM, com}}},
        {.name = "rgb coded", .rgbCoded = true},
        {.name = "progressive", .progressive = true, .markers = several},
        {.name = "restarts", .restartInterval = 3},
        {.name = "progressive restarts", .progressive = true, .restartInterval = 2},
        {.name = "exif le first",
         .jfif = false,
         .markers = {{JPEG_APP0 + 1, Exif(false, 150, 100)},
                     {JPEG_APP0, Jfif(2, 72)},
                     {JPEG_COM, com}}},
        {.name = "exif be first",
         .components = 1,
         .jfif = false,
         .markers = {{JPEG_APP0 + 1, Exif(true, 150, 100)}}},
        {.name = "exif after jfif", .markers = {{JPEG_APP0 + 1, Exif(false, 150, 100)}}},
        {.name = "truncated", .keep = 0.6},
        {.name = "truncated progressive", .progressive = true, .keep = 0.5},
    };
    struct GridKind {
        const char* name;
        int offsetX, offsetY, tileWidth, tileHeight;
    };
    const std::vector<GridKind> grids = {
        {"aligned", 0, 0, 48, 32},
        {"unaligned", 13, 7, 97, 61},
        {"whole image", 0, 0, 1000, 1000},
    };

    TempDir dir;
    for (const JpegTileOptions::Copy copy :
         {JpegTileOptions::Copy::All, JpegTileOptions::Copy::Comments,
          JpegTileOptions::Copy::None}) {
        const std::string copyName = JpegTileOptions::CopyName(copy);
        SCOPED_TRACE("-copy " + copyName);
        int compared = 0;
        for (const SourceKind& kind : kinds) {
            SCOPED_TRACE(kind.name);
            const std::string source = dir / "source.jpg";
            WriteSource(source, kind);
            CurrentImage image = LoadCurrent(source);
            ASSERT_EQ(image.width, kind.width);
            JpegTileOptions options;
            options.exact = false;
            options.copy = copy;
            std::string error;
            const std::unique_ptr<TileSource> tiles = MakeJpegTileSource(image, options, error);
            if (kind.keep < 1.0) {  // jpegtran warns and makes up the rest; no tile is cut
                EXPECT_EQ(tiles, nullptr);
                EXPECT_EQ(error, jpeg::kImageDataFailed);
                continue;
            }
            ASSERT_NE(tiles, nullptr) << error;
            for (const GridKind& g : grids) {
                const std::string out = dir / (std::string("tiles-") + g.name);
                fs::create_directory(out);
                const auto rects =
                    Rects(kind.width, kind.height, g.offsetX, g.offsetY, g.tileWidth, g.tileHeight);
                for (const std::string& r : RunTiles(*tiles, rects, out, 2)) ASSERT_EQ(r, "");
                for (const TileRect& rect : rects) {
                    const std::string expected = dir / "jpegtran.jpg";
                    const int status = RunJpegtran(copyName, Crop(rect), expected, source);
                    ASSERT_EQ(status, 0) << Crop(rect);
                    ASSERT_EQ(ReadBytes(out + "/" + TileName(rect)), ReadBytes(expected))
                        << g.name << " grid, tile " << Crop(rect);
                    // The rectangle the manifest records is what the tile holds.
                    const TileRect cut = tiles->CutRect(rect);
                    const Samples pixels = DecodeLibraryJpeg(expected);
                    ASSERT_EQ(Crop(TileRect{0, 0, 0, 0, pixels.width, pixels.height}),
                              Crop(TileRect{0, 0, 0, 0, cut.width, cut.height}));
                    ASSERT_EQ(cut.x + cut.width, rect.x + rect.width);
                    ASSERT_EQ(cut.y + cut.height, rect.y + rect.height);
                    ++compared;
                }
            }
        }
        EXPECT_EQ(compared, 16 * (16 + 9 + 1));
    }
}

}  // namespace
}  // namespace tessarin

namespace tessarin {
namespace {

// Follows a coefficient read; asks for a stop once it has heard `stopAfter`
// steps (never when negative).
struct CountingWatch : ReadWatch {
    explicit CountingWatch(int stop) : stopAfter(stop) {}
    bool StopRequested() const override { return stopAfter >= 0 && calls >= stopAfter; }
    void ReadProgress(int64_t done, int64_t total) const override {
        ++calls;
        lastDone = done;
        lastTotal = total;
    }
    int stopAfter;
    mutable int calls = 0;
    mutable int64_t lastDone = 0;
    mutable int64_t lastTotal = 0;
};

// The read of the coefficients tells how far it is, row of blocks by row,
// and a stop ends it at the next row: no source, nothing more read.
TEST(JpegLosslessInProcess, CoefficientReadReportsProgressAndStops) {
    testing::TempDir dir;
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const std::string path = dir / (progressive ? "p.jpg" : "b.jpg");
        jpeg_test::WriteSource(path, {.width = 320, .height = 480, .progressive = progressive});
        const SourceFilePtr file = SourceFile::Open(path);
        ASSERT_TRUE(file);
        std::unique_ptr<TileSource> source;
        jpeg::LosslessFrame frame;
        CountingWatch whole(-1);
        ASSERT_EQ(jpeg::MakeInProcessLosslessSource(*file, 320, 480, 0, JpegTileOptions::Copy::All,
                                                    source, frame, &whole),
                  jpeg::LosslessPrepare::kReady);
        EXPECT_GE(whole.calls, 480 / 16);  // a row of blocks at least once each
        EXPECT_GT(whole.lastDone, 0);
        EXPECT_LE(whole.lastDone, whole.lastTotal);

        CountingWatch stopped(3);
        EXPECT_EQ(jpeg::MakeInProcessLosslessSource(*file, 320, 480, 0, JpegTileOptions::Copy::All,
                                                    source, frame, &stopped),
                  jpeg::LosslessPrepare::kFailed);
        EXPECT_EQ(source, nullptr);
        EXPECT_EQ(stopped.calls, 3);
    }
}

}  // namespace
}  // namespace tessarin
