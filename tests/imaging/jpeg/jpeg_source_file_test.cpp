// A JPEG file is opened once per load: whatever is read from it later (the
// rows decoded beside the tile workers, the coefficients, jpegtran) comes
// from that open file, and a second parse of its header must give the first.

#include <sys/stat.h>

#include "jpeg_test_util.h"

namespace tessarin {
namespace {

using namespace jpeg_test;

constexpr const char* kJpegtranFailed = "jpegtranを使った分割処理に失敗しました";

Samples Picture(int components, int seed) {
    return MakeSamples(64, 48, components, [seed](int x, int y, int c) {
        return static_cast<uint8_t>(x * (3 + seed) + y * 2 + c * 50 + (x * y + seed) % 23);
    });
}

// The same size in colour and in CMYK: read by name after the swap, rows
// would be sized for the wrong number of components.
TEST(JpegSourceFile, TilesOfAFileReplacedAfterLoadingComeFromTheFileLoaded) {
    for (const bool colourFirst : {true, false}) {
        for (const bool exact : {true, false}) {
            SCOPED_TRACE(std::string(colourFirst ? "colour" : "cmyk") + (exact ? " exact" : ""));
            TempDir dir;
            const Samples colour = Picture(3, 0), inks = Picture(4, 5);
            WriteSamples(dir / "src.jpg", colourFirst ? colour : inks, {.progressive = true}, 90);
            WriteSamples(dir / "new.jpg", colourFirst ? inks : colour, {.progressive = true}, 90);
            fs::copy_file(dir / "src.jpg", dir / "kept.jpg");
            const CurrentImage image = LoadHeaderOnly(dir / "src.jpg");
            fs::rename(dir / "new.jpg", dir / "src.jpg");

            JpegTileOptions options;
            options.exact = exact;
            const auto rects = GridRects(64, 48, 24, 20);
            for (const char* folder : {"got", "want"}) {
                fs::create_directory(dir / folder);
                std::string error;
                const auto source = MakeJpegTileSource(
                    folder[0] == 'g' ? image : LoadHeaderOnly(dir / "kept.jpg"), options, error);
                ASSERT_NE(source, nullptr) << error;
                for (const std::string& r : RunTiles(*source, rects, dir / folder, 2))
                    EXPECT_EQ(r, "");
            }
            for (const TileRect& rect : rects)
                EXPECT_EQ(ReadBytes(dir / ("got/" + TileName(rect))),
                          ReadBytes(dir / ("want/" + TileName(rect))))
                    << TileName(rect);
        }
    }
}

// A progressive file of a few hundred bytes claiming 32768 x 32768 pixels,
// every component sampled 1x1: 3 x 4096 x 4096 blocks of 128 bytes, 6 GiB of
// coefficients, more than the in-process cut takes, so jpegtran cuts it (the
// data of a file of one scan is checked first, and this would fail).
constexpr uint64_t kHugeCoefficients = uint64_t{6} << 30;
std::string WriteHugeJpeg(const std::string& path, int seed) {
    WriteSamples(path,
                 MakeSamples(16, 16, 3,
                             [seed](int x, int y, int c) {
                                 return static_cast<uint8_t>(x * 9 + y * 5 + c * 70 + seed);
                             }),
                 {.factors = {{1, 1}, {1, 1}, {1, 1}}, .progressive = true}, 75);
    const std::string bytes = WithFrameSize(ReadBytes(path), 32768, 32768);
    WriteBytes(path, bytes);
    return bytes;
}

// jpegtran reads the file as it was loaded, whatever its name holds now, and
// every run holds the whole file's coefficients: no more runs at once than
// the split's memory budget holds, and a file whose one run does not fit is
// refused before any tile. The stand-in copies its standard input into its
// -outfile (the last argument) and notes a run beside another.
TEST(JpegSourceFile, JpegtranReadsTheFileLoadedWithinTheMemoryBudget) {
    TempDir dir;
    fs::create_directory(dir / "bin");
    WriteBytes(dir / "bin/jpegtran",
               "#!/bin/sh\nPATH=/usr/bin:/bin\nfor a; do out=$a; done\n"
               "mkdir \"$TESSARIN_LOCK\" 2>/dev/null || echo overlap >> \"$TESSARIN_LOG\"\n"
               "sleep 0.2\ncat > \"$out\"\nrmdir \"$TESSARIN_LOCK\" 2>/dev/null\n");
    chmod((dir / "bin/jpegtran").c_str(), 0755);
    const ScopedEnv path("PATH", dir / "bin"), lock("TESSARIN_LOCK", dir / "lock"),
        log("TESSARIN_LOG", dir / "log");
    const std::string loaded = WriteHugeJpeg(dir / "src.jpg", 0);
    const CurrentImage image = LoadHeaderOnly(dir / "src.jpg");
    WriteHugeJpeg(dir / "new.jpg", 99);
    fs::rename(dir / "new.jpg", dir / "src.jpg");

    JpegTileOptions lossless;
    lossless.exact = false;
    const uint64_t run = jpeg::JpegtranRunBytes(kHugeCoefficients);
    std::string error;
    {
        const ScopedSplitBudget budget(run - 1);
        EXPECT_EQ(MakeJpegTileSource(image, lossless, error), nullptr);
        EXPECT_EQ(error, kJpegtranFailed);
    }
    const ScopedSplitBudget budget(run + run / 2);
    const auto source = MakeJpegTileSource(image, lossless, error);
    ASSERT_NE(source, nullptr) << error;
    const auto rects = GridRects(32768, 32768, 16384, 10923);
    for (const std::string& r : RunTiles(*source, rects, dir.Path().string(), 3)) EXPECT_EQ(r, "");
    for (const TileRect& rect : rects) EXPECT_EQ(ReadBytes(dir / TileName(rect)), loaded);
    EXPECT_FALSE(fs::exists(dir / "log")) << ReadBytes(dir / "log");
}

// The two-thread decode parses the header again from the file's bytes. Bytes
// whose header is not the one the raster was sized from (a file rewritten in
// place meanwhile) are refused, never decoded into it.
TEST(JpegSourceFile, TwoThreadDecodeRefusesBytesOfAnotherHeader) {
    TempDir dir;
    const std::vector<SourceKind> kinds = {
        {.name = "420", .factors = {{2, 2}, {1, 1}, {1, 1}}, .progressive = true},
        {.name = "444", .factors = {{1, 1}, {1, 1}, {1, 1}}, .progressive = true},
        {.name = "cmyk", .components = 4, .progressive = true},
        {.name = "tall", .height = 101, .progressive = true},
    };
    for (const SourceKind& kind : kinds) WriteSource(dir / (kind.name + std::string(".jpg")), kind);
    for (const SourceKind& read : kinds) {
        const SourceFilePtr first = SourceFile::Open(dir / (read.name + std::string(".jpg")));
        ASSERT_NE(first, nullptr);
        const jpeg::DecoderPointer header = ReadHeader(*first);
        ASSERT_NE(header, nullptr);
        for (const SourceKind& now : kinds) {
            const SourceFilePtr bytes = SourceFile::Open(dir / (now.name + std::string(".jpg")));
            const jpeg::ProgressiveStart start =
                jpeg::StartProgressiveOnTwoThreads(*bytes, header->codec);
            const bool same = &read == &now;
            EXPECT_EQ(start.changed, !same) << read.name << " then " << now.name;
            EXPECT_EQ(start.decoder != nullptr, same) << read.name << " then " << now.name;
        }
    }
}

}  // namespace
}  // namespace tessarin
