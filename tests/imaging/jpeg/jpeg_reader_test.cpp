#include <random>

#include "imaging/jpeg/jpeg_decoder.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_library_check.h"
#include "imaging/jpeg/jpeg_lossless.h"
#include "imaging/jpeg/jpeg_progressive.h"
#include "jpeg_test_util.h"

namespace tessarin {
namespace {

using namespace jpeg_test;

constexpr const char* kHeaderFailed = "ヘッダ情報の読み込みに失敗しました";
constexpr const char* kExpandFailed = "ファイルの展開に失敗しました";
constexpr const char* kRasterFailed = "BMPオブジェクトの作成に失敗しました";
constexpr const char* kImageDataFailed = "イメージデータの取得に失敗しました";

Samples Pattern(int width, int height, int components) {
    return MakeSamples(width, height, components, [](int x, int y, int c) {
        return static_cast<uint8_t>((x * 5 + y * 3 + c * 80) % 256);
    });
}

// Offset just past the first SOS segment: cut before it, the header is incomplete.
size_t EndOfFirstScanHeader(const std::string& bytes) {
    size_t i = 2;
    while (i + 4 <= bytes.size()) {
        const auto marker = static_cast<uint8_t>(bytes[i + 1]);
        const size_t length =
            static_cast<uint8_t>(bytes[i + 2]) * 256u + static_cast<uint8_t>(bytes[i + 3]);
        if (marker == 0xDA) return i + 2 + length;
        i += 2 + length;
    }
    return std::string::npos;
}

struct KindCase {
    int components;
    bool progressive;
    int depth;
    ColorKind colorKind;
    bool rgbCoded = false;
};

class JpegReaderKinds : public ::testing::TestWithParam<KindCase> {};

// The raster holds exactly what the library decodes, in the raster's byte
// order, bottom-up, with the right depth, table and colour kind.
TEST_P(JpegReaderKinds, RasterHoldsTheLibrarySamples) {
    const KindCase k = GetParam();
    TempDir dir;
    const std::string path = dir / "source.jpg";
    WriteLibraryJpeg(path, Pattern(45, 31, k.components), 90, k.progressive, k.rgbCoded);
    const Samples expected = DecodeLibraryJpeg(path);
    ASSERT_EQ(expected.components, k.components);

    LoadedImage loaded;
    ASSERT_TRUE(LoadJpeg(path, loaded)) << loaded.error;
    const DibImage& raster = *loaded.raster;
    EXPECT_EQ(raster.Width(), 45);
    EXPECT_EQ(raster.Height(), 31);  // positive: bottom-up
    EXPECT_EQ(raster.BitCount(), k.depth);
    EXPECT_EQ(loaded.displayDepth, k.depth);
    EXPECT_EQ(loaded.colorKind, k.colorKind);
    EXPECT_EQ(RasterSamples(raster).data, expected.data);
    if (k.components == 1) {
        ASSERT_EQ(raster.Colors().size(), 256u);
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<uint8_t>(i);
            EXPECT_EQ(raster.ColorAt(i), (RgbQuad{v, v, v, 0}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegReaderKinds,
                         ::testing::Values(KindCase{3, false, 24, ColorKind::None},
                                           KindCase{3, true, 24, ColorKind::None},
                                           KindCase{1, false, 8, ColorKind::Grey},
                                           KindCase{1, true, 8, ColorKind::Grey},
                                           KindCase{3, false, 24, ColorKind::None, true}),
                         [](const auto& test) {
                             return std::to_string(test.param.components) + "Components" +
                                    (test.param.progressive ? "Progressive" : "Baseline") +
                                    (test.param.rgbCoded ? "Rgb" : "");
                         });

TEST(JpegReader, PureRedIsStoredBlueGreenRed) {
    TempDir dir;
    const std::string path = dir / "red.jpg";
    WriteLibraryJpeg(path,
                     MakeSamples(16, 16, 3, [](int, int, int c) { return c == 0 ? 255 : 0; }));
    LoadedImage loaded;
    ASSERT_TRUE(LoadJpeg(path, loaded));
    const uint8_t* pixel = loaded.raster->Row(8) + 8 * 3;
    EXPECT_LT(pixel[0], 16);   // blue
    EXPECT_LT(pixel[1], 16);   // green
    EXPECT_GT(pixel[2], 240);  // red
}

TEST(JpegReader, RowsRunTopDownInTheImage) {
    TempDir dir;
    const std::string path = dir / "halves.jpg";
    // White top half, black bottom half.
    WriteLibraryJpeg(path,
                     MakeSamples(16, 32, 1, [](int, int y, int) { return y < 16 ? 255 : 0; }));
    LoadedImage loaded;
    ASSERT_TRUE(LoadJpeg(path, loaded));
    EXPECT_GT(loaded.raster->Row(0)[0], 240);
    EXPECT_LT(loaded.raster->Row(31)[0], 16);
    EXPECT_LT(loaded.raster->Bits()[0], 16);  // memory starts with the bottom row
}

TEST(JpegReader, BadFilesGiveTheirMessages) {
    TempDir dir;
    std::mt19937 rng(7);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    std::string noiseAfterSoi = "\xFF\xD8" + noise;
    const std::pair<std::string, const char*> cases[] = {
        {"", kHeaderFailed},
        {noise, kHeaderFailed},
        {std::string("\x89PNG\r\n\x1a\n", 8) + noise, kHeaderFailed},
        {"just some text that happens to be called .jpg\n", kHeaderFailed},
        {"\xFF\xD8\xFF\xD9", kHeaderFailed},
    };
    for (const auto& [bytes, message] : cases) {
        WriteBytes(dir / "bad.jpg", bytes);
        LoadedImage loaded;
        EXPECT_FALSE(LoadJpeg(dir / "bad.jpg", loaded)) << bytes.size();
        EXPECT_EQ(loaded.error, message) << bytes.size();
        EXPECT_EQ(loaded.raster, nullptr);
    }
    // Noise behind a valid start marker fails somewhere, cleanly.
    WriteBytes(dir / "bad.jpg", noiseAfterSoi);
    LoadedImage loaded;
    EXPECT_FALSE(LoadJpeg(dir / "bad.jpg", loaded));
    EXPECT_FALSE(loaded.error.empty());

    EXPECT_FALSE(LoadJpeg(dir / "missing.jpg", loaded));
    EXPECT_EQ(loaded.error, "ファイルの読み込みに失敗しました");
}

// Every cut of the file: before the first scan header it fails with the
// header message; from the end of that header on it loads at full size, the
// missing data filled in by the library, and carries the damage (a baseline
// file that only lacks its end-of-image marker does not). Cuts inside that
// scan header may go either way, but cleanly.
TEST(JpegReader, TruncatedFilesLoadOrFailCleanly) {
    TempDir dir;
    for (bool progressive : {false, true}) {
        const std::string source = dir / "whole.jpg";
        WriteLibraryJpeg(source, Pattern(40, 24, 3), 90, progressive);
        const std::string bytes = ReadBytes(source);
        const size_t headerEnd = EndOfFirstScanHeader(bytes);
        ASSERT_NE(headerEnd, std::string::npos);
        const size_t scanStart = bytes.rfind("\xFF\xDA", headerEnd);
        for (size_t cut = 0; cut < bytes.size();
             cut += cut + 8 >= scanStart && cut < headerEnd + 16 ? 1 : 5) {
            WriteBytes(dir / "cut.jpg", bytes.substr(0, cut));
            LoadedImage loaded;
            const bool ok = LoadJpeg(dir / "cut.jpg", loaded);
            if (ok) {
                EXPECT_EQ(loaded.raster->Width(), 40);
                EXPECT_EQ(loaded.raster->Height(), 24);
                if (cut >= headerEnd) {
                    EXPECT_EQ(loaded.damage,
                              !progressive && cut + 2 >= bytes.size() ? "" : kImageDataFailed)
                        << cut;
                }
            } else {
                EXPECT_FALSE(loaded.error.empty());
            }
            if (cut <= scanStart) {
                EXPECT_EQ(loaded.error, kHeaderFailed) << cut;
            } else if (cut >= headerEnd) {
                // A progressive file cut inside a later scan's header has
                // nonsense scan parameters: the library refuses it at start.
                if (!ok) {
                    EXPECT_TRUE(progressive) << cut << " " << loaded.error;
                    EXPECT_EQ(loaded.error, kExpandFailed) << cut;
                }
            }
        }
    }
}

std::string WithSize(std::string bytes, int width, int height) {
    return WithFrameSize(std::move(bytes), width, height);
}

// A small file claiming a huge picture is refused before anything is
// allocated for it: as a raster that cannot be made, or, beyond the memory
// budget, with the memory message; a zero size is a header error.
TEST(JpegReader, AbsurdDimensionsAreRefused) {
    TempDir dir;
    for (bool progressive : {false, true}) {
        WriteLibraryJpeg(dir / "small.jpg", Pattern(16, 16, 3), 90, progressive);
        WriteBytes(dir / "big.jpg", WithSize(ReadBytes(dir / "small.jpg"), 3000, 2000));
        const ScopedSplitBudget tight(uint64_t{8} << 20);
        LoadedImage loaded;
        EXPECT_FALSE(LoadJpeg(dir / "big.jpg", loaded));
        EXPECT_EQ(loaded.error, "メモリ領域の確保に失敗しました");
    }
    const ScopedSplitBudget budget(uint64_t{1} << 40);  // the raster's own limit decides
    for (bool progressive : {false, true}) {
        WriteLibraryJpeg(dir / "small.jpg", Pattern(16, 16, 3), 90, progressive);
        const std::string bytes = ReadBytes(dir / "small.jpg");
        const std::tuple<int, int, const char*> cases[] = {
            {60000, 60000, kRasterFailed}, {65000, 65000, kRasterFailed},
            {65500, 20000, kRasterFailed}, {0, 16, kHeaderFailed},
            {16, 0, kHeaderFailed},
        };
        for (const auto& [width, height, message] : cases) {
            WriteBytes(dir / "huge.jpg", WithSize(bytes, width, height));
            LoadedImage loaded;
            EXPECT_FALSE(LoadJpeg(dir / "huge.jpg", loaded)) << width << "x" << height;
            EXPECT_EQ(loaded.error, message) << width << "x" << height;
        }
    }
}

// A second scan after the image of a single-scan file is an error of the
// finishing call: the image-data message, not a crash or a success.
TEST(JpegReader, SecondScanOfASingleScanFileFails) {
    TempDir dir;
    WriteLibraryJpeg(dir / "one.jpg", Pattern(16, 16, 3));
    std::string bytes = ReadBytes(dir / "one.jpg");
    const size_t sos = bytes.rfind("\xFF\xDA", EndOfFirstScanHeader(bytes));
    const std::string scanHeader = bytes.substr(sos, EndOfFirstScanHeader(bytes) - sos);
    bytes.resize(bytes.size() - 2);  // drop EOI
    WriteBytes(dir / "two.jpg", bytes + scanHeader + std::string(64, '\0') + "\xFF\xD9");
    LoadedImage loaded;
    EXPECT_FALSE(LoadJpeg(dir / "two.jpg", loaded));
    EXPECT_EQ(loaded.error, kImageDataFailed);
}

// The rows of a file decoded on two threads, in the library's sample order
// (the decoder makes blue, green, red); components 0 when it declined.
Samples DecodeOnTwoThreads(const std::string& path, int width, int height) {
    const SourceFilePtr file = SourceFile::Open(path);
    const jpeg::DecoderPointer header = file ? ReadHeader(*file) : nullptr;
    if (!header) return {};
    jpeg::ProgressiveStart start = jpeg::StartProgressiveOnTwoThreads(*file, header->codec);
    jpeg::DecoderPointer& decoder = start.decoder;
    if (!decoder) return {};
    const int components = decoder->codec.output_components;
    Samples s{width, height, components, {}};
    s.data.resize(Sz(width) * Sz(height) * Sz(components));
    std::vector<JSAMPROW> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) rows[Sz(y)] = &s.data[Sz(y) * Sz(width) * Sz(components)];
    const jpeg::RowTarget target{rows.data(), nullptr, false, static_cast<JDIMENSION>(width)};
    EXPECT_TRUE(jpeg::ReadRowsStage(decoder.get(), &target, static_cast<JDIMENSION>(height)));
    EXPECT_TRUE(jpeg::FinishStage(decoder.get()));
    if (components == 3)
        for (size_t i = 0; i < s.data.size(); i += 3) std::swap(s.data[i], s.data[i + 2]);
    return s;
}

// Progressive files of two or more components are decoded on two threads,
// each taking its components' scans: the rows are the library's own, for
// every sampling and coding. Files it does not split are left to the usual
// decode.
TEST(JpegReader, ProgressiveFilesDecodeOnTwoThreadsAsTheLibraryDoes) {
    if (!jpeg::PrivateLayoutVerified())
        GTEST_SKIP() << "a libjpeg-turbo version whose decoder layout was not checked: one thread";
    const std::vector<SourceKind> kinds = {
        {.name = "420", .factors = {{2, 2}, {1, 1}, {1, 1}}, .progressive = true},
        {.name = "422", .factors = {{2, 1}, {1, 1}, {1, 1}}, .progressive = true},
        {.name = "444", .factors = {{1, 1}, {1, 1}, {1, 1}}, .progressive = true},
        {.name = "411", .factors = {{4, 1}, {1, 1}, {1, 1}}, .progressive = true},
        {.name = "odd factors", .factors = {{2, 2}, {2, 1}, {1, 1}}, .progressive = true},
        {.name = "cmyk", .components = 4, .progressive = true},
        {.name = "rgb coded", .progressive = true, .rgbCoded = true},
        {.name = "restarts", .progressive = true, .restartInterval = 2},
        {.name = "arithmetic", .progressive = true, .arithmetic = true},
        {.name = "markers", .progressive = true, .markers = {{JPEG_COM, "note"}}},
    };
    TempDir dir;
    for (const SourceKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const std::string path = dir / "p.jpg";
        WriteSource(path, kind);
        const Samples expected = DecodeLibraryJpeg(path);
        ASSERT_GT(expected.components, 1);
        const Samples two = DecodeOnTwoThreads(path, kind.width, kind.height);
        ASSERT_EQ(two.components, expected.components);
        EXPECT_EQ(two.data, expected.data);
    }

    const std::vector<SourceKind> declined = {
        {.name = "baseline"},
        {.name = "grey", .components = 1, .progressive = true},
        {.name = "truncated", .progressive = true, .keep = 0.7},
    };
    for (const SourceKind& kind : declined) {
        SCOPED_TRACE(kind.name);
        const std::string path = dir / "d.jpg";
        WriteSource(path, kind);
        EXPECT_EQ(DecodeOnTwoThreads(path, kind.width, kind.height).components, 0);
        LoadedImage loaded;
        ASSERT_TRUE(LoadJpeg(path, loaded)) << loaded.error;
        EXPECT_EQ(RasterSamples(*loaded.raster).data, DecodeLibraryJpeg(path).data);
    }
}

// CMYK and YCCK files load as the colours they print, whether the inks are
// stored inverted (an Adobe marker) or as they are.
TEST(JpegReader, FourComponentFilesLoadAsTheirPrintedColours) {
    TempDir dir;
    const std::pair<CmykCoding, const char*> codings[] = {
        {CmykCoding::kAdobe, "adobe"}, {CmykCoding::kPlain, "plain"}, {CmykCoding::kYcck, "ycck"}};
    for (const auto& [coding, name] : codings) {
        const std::string path = dir / (std::string(name) + ".jpg");
        WriteCmykJpeg(path, PrintedColourInks(), coding);
        LoadedImage loaded;
        ASSERT_TRUE(LoadJpeg(path, loaded)) << name << " " << loaded.error;
        const DibImage& raster = *loaded.raster;
        EXPECT_EQ(raster.BitCount(), 24) << name;
        EXPECT_EQ(loaded.displayDepth, 32) << name;
        EXPECT_EQ(loaded.colorKind, ColorKind::None) << name;
        for (size_t i = 0; i < PrintedColours().size(); ++i) {
            const int x = static_cast<int>(i) * 16 + 8;
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(RasterSample(raster, x, 8, c), PrintedColours()[i].rgb[c], 12)
                    << name << " colour " << i << " channel " << c;
        }
    }
}

// A progressive file made longer by empty scans: a few hundred load, more
// are refused at once instead of costing a pass over the image each.
TEST(JpegReader, ScanCountIsLimited) {
    TempDir dir;
    WriteLibraryJpeg(dir / "p.jpg", Pattern(16, 16, 1), 90, true);
    std::string bytes = ReadBytes(dir / "p.jpg");
    ASSERT_EQ(bytes.substr(bytes.size() - 2), "\xFF\xD9");
    bytes.resize(bytes.size() - 2);
    // An AC scan of the one component with no data at all.
    const std::string emptyScan("\xFF\xDA\x00\x08\x01\x01\x00\x01\x3F\x00", 10);
    for (const auto& [scans, loads] : {std::pair{400, true}, std::pair{600, false}}) {
        std::string many = bytes;
        for (int i = 0; i < scans; ++i) many += emptyScan;
        WriteBytes(dir / "many.jpg", many + "\xFF\xD9");
        LoadedImage loaded;
        EXPECT_EQ(LoadJpeg(dir / "many.jpg", loaded), loads) << scans;
        EXPECT_EQ(loaded.error, loads ? "" : kExpandFailed) << scans;
    }
}

}  // namespace
}  // namespace tessarin
