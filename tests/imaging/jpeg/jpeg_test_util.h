#pragma once
// Test helpers: JPEG files made and read with libjpeg directly (independent of
// the code under test), temporary folders, and a tile run like the job core's.

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// clang-format off
#include <cstddef>
#include <jpeglib.h>
// clang-format on

#include "imaging/current_image.h"
#include "imaging/format_registry.h"
#include "imaging/jpeg/jpeg_decoder.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_lossless.h"
#include "imaging/jpeg/jpeg_progressive.h"
#include "imaging/memory_budget.h"
#include "split/geometry.h"
#include "support/test_files.h"
#include "support/tile_writing.h"

namespace tessarin::jpeg_test {

namespace fs = std::filesystem;

using testing::TempDir;

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Sample arithmetic on the int sizes the tests are written in.
inline size_t Sz(int v) { return static_cast<size_t>(v); }

// Interleaved samples, rows from the top, in the library's component order.
struct Samples {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<uint8_t> data;
    uint8_t At(int x, int y, int c) const {
        return data[(Sz(y) * Sz(width) + Sz(x)) * Sz(components) + Sz(c)];
    }
};

inline Samples MakeSamples(int width, int height, int components,
                           const std::function<uint8_t(int x, int y, int c)>& value) {
    Samples s{width, height, components, {}};
    s.data.resize(Sz(width) * Sz(height) * Sz(components));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                s.data[(Sz(y) * Sz(width) + Sz(x)) * Sz(components) + Sz(c)] = value(x, y, c);
    return s;
}

struct Marker {
    int code;
    std::string data;
};

// A generated source: sampling, coding, markers and truncation as asked.
struct SourceKind {
    const char* name = "";
    int width = 150;
    int height = 100;
    int components = 3;                             // 1 grey, 3 colour, 4 CMYK
    std::vector<std::pair<int, int>> factors = {};  // h, v per component; empty: library default
    bool progressive = false;
    bool arithmetic = false;       // arithmetic coding instead of Huffman
    unsigned restartInterval = 0;  // MCUs
    bool rgbCoded = false;
    bool jfif = true;
    bool libraryHeader = false;  // JFIF header and density as the library chooses them
    std::vector<Marker> markers = {};
    double keep = 1.0;              // fraction of the file kept (truncated sources)
    bool scanPerComponent = false;  // sequential, one scan per component (several scans)
};

// Writes samples with libjpeg (1 = grey, 3 = RGB, 4 = CMYK), coded as `kind`
// says; the size and components are the samples'.
inline void WriteSamples(const std::string& path, const Samples& s, const SourceKind& kind,
                         int quality) {
    jpeg_compress_struct codec;
    jpeg_error_mgr errors;
    codec.err = jpeg_std_error(&errors);
    jpeg_create_compress(&codec);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_stdio_dest(&codec, file);
    codec.image_width = static_cast<JDIMENSION>(s.width);
    codec.image_height = static_cast<JDIMENSION>(s.height);
    codec.input_components = s.components;
    codec.in_color_space = s.components == 1   ? JCS_GRAYSCALE
                           : s.components == 3 ? JCS_RGB
                                               : JCS_CMYK;
    jpeg_set_defaults(&codec);
    jpeg_set_quality(&codec, quality, TRUE);
    if (kind.rgbCoded) jpeg_set_colorspace(&codec, JCS_RGB);
    for (size_t ci = 0; ci < kind.factors.size(); ++ci) {
        codec.comp_info[ci].h_samp_factor = kind.factors[ci].first;
        codec.comp_info[ci].v_samp_factor = kind.factors[ci].second;
    }
    if (kind.progressive) jpeg_simple_progression(&codec);
    std::vector<jpeg_scan_info> scans(kind.scanPerComponent ? Sz(s.components) : 0);
    for (size_t ci = 0; ci < scans.size(); ++ci) {
        scans[ci] = {};
        scans[ci].comps_in_scan = 1;
        scans[ci].component_index[0] = static_cast<int>(ci);
        scans[ci].Se = DCTSIZE2 - 1;
    }
    if (!scans.empty()) {
        codec.scan_info = scans.data();
        codec.num_scans = static_cast<int>(scans.size());
    }
    codec.arith_code = kind.arithmetic ? TRUE : FALSE;
    codec.restart_interval = kind.restartInterval;
    if (!kind.libraryHeader) {
        codec.write_JFIF_header = kind.jfif ? TRUE : FALSE;
        codec.density_unit = 1;
        codec.X_density = 300;
        codec.Y_density = 150;
    }
    jpeg_start_compress(&codec, TRUE);
    for (const Marker& m : kind.markers)
        jpeg_write_marker(&codec, m.code, reinterpret_cast<const JOCTET*>(m.data.data()),
                          static_cast<unsigned>(m.data.size()));
    for (int y = 0; y < s.height; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(&s.data[Sz(y) * Sz(s.width) * Sz(s.components)]);
        jpeg_write_scanlines(&codec, &row, 1);
    }
    jpeg_finish_compress(&codec);
    jpeg_destroy_compress(&codec);
    std::fclose(file);
    if (kind.keep < 1.0) {
        const std::string bytes = ReadBytes(path);
        WriteBytes(path, bytes.substr(0, static_cast<size_t>(static_cast<double>(bytes.size()) *
                                                             kind.keep)));
    }
}

// rgbCoded stores colour as RGB instead of YCbCr (an Adobe marker says so).
inline void WriteLibraryJpeg(const std::string& path, const Samples& s, int quality = 90,
                             bool progressive = false, bool rgbCoded = false) {
    WriteSamples(path, s, {.progressive = progressive, .rgbCoded = rgbCoded, .libraryHeader = true},
                 quality);
}

// A generated picture: smooth shapes with some texture, so every block has AC
// coefficients.
inline void WriteSource(const std::string& path, const SourceKind& kind) {
    const Samples samples =
        MakeSamples(kind.width, kind.height, kind.components, [](int x, int y, int c) {
            return static_cast<uint8_t>(x * 3 + y * 2 + c * 60 + (x * y + c * 7) % 29);
        });
    WriteSamples(path, samples, kind, 85);
}

// How a four-component file stores its inks.
enum class CmykCoding {
    kAdobe,  // CMYK with an Adobe marker: 255 minus the ink, as Photoshop writes it
    kPlain,  // CMYK without an Adobe marker: the ink itself
    kYcck,   // YCCK with an Adobe marker, inverted like kAdobe
};

// Writes inks (cyan, magenta, yellow, black; 255 is full ink) as a
// four-component JPEG file of that coding.
inline void WriteCmykJpeg(const std::string& path, const Samples& inks, CmykCoding coding) {
    Samples stored = inks;
    if (coding != CmykCoding::kPlain)
        for (uint8_t& v : stored.data) v = static_cast<uint8_t>(255 - v);
    jpeg_compress_struct codec;
    jpeg_error_mgr errors;
    codec.err = jpeg_std_error(&errors);
    jpeg_create_compress(&codec);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_stdio_dest(&codec, file);
    codec.image_width = static_cast<JDIMENSION>(stored.width);
    codec.image_height = static_cast<JDIMENSION>(stored.height);
    codec.input_components = 4;
    codec.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&codec);
    jpeg_set_quality(&codec, 95, TRUE);
    if (coding == CmykCoding::kYcck) jpeg_set_colorspace(&codec, JCS_YCCK);
    codec.write_Adobe_marker = coding == CmykCoding::kPlain ? FALSE : TRUE;
    jpeg_start_compress(&codec, TRUE);
    for (int y = 0; y < stored.height; ++y) {
        JSAMPROW row = &stored.data[Sz(y) * Sz(stored.width) * 4];
        jpeg_write_scanlines(&codec, &row, 1);
    }
    jpeg_finish_compress(&codec);
    jpeg_destroy_compress(&codec);
    std::fclose(file);
}

// Inks and the colour they print, for CMYK files made of 16 x 16 blocks.
struct PrintedColour {
    uint8_t ink[4];  // cyan, magenta, yellow, black
    uint8_t rgb[3];
};
inline const std::vector<PrintedColour>& PrintedColours() {
    static const std::vector<PrintedColour> colours = {
        {{0, 0, 0, 0}, {255, 255, 255}},   {{0, 255, 255, 0}, {255, 0, 0}},
        {{255, 0, 255, 0}, {0, 255, 0}},   {{255, 255, 0, 0}, {0, 0, 255}},
        {{0, 0, 0, 255}, {0, 0, 0}},       {{255, 0, 0, 0}, {0, 255, 255}},
        {{0, 0, 0, 128}, {127, 127, 127}}, {{0, 128, 255, 64}, {191, 95, 0}},
    };
    return colours;
}
// One 16 x 16 block per printed colour, left to right.
inline Samples PrintedColourInks() {
    return MakeSamples(16 * static_cast<int>(PrintedColours().size()), 16, 4,
                       [](int x, int, int c) { return PrintedColours()[Sz(x / 16)].ink[Sz(c)]; });
}

namespace detail {
struct Decoder {
    jpeg_decompress_struct codec;
    jpeg_error_mgr errors;
    std::jmp_buf recovery;
};
inline void Jump(j_common_ptr codec) {
    std::longjmp(reinterpret_cast<Decoder*>(codec->client_data)->recovery, 1);
}
inline bool Header(Decoder* d, std::FILE* file) {
    if (setjmp(d->recovery)) return false;
    jpeg_create_decompress(&d->codec);
    d->codec.client_data = d;
    jpeg_stdio_src(&d->codec, file);
    jpeg_read_header(&d->codec, TRUE);
    jpeg_start_decompress(&d->codec);
    return true;
}
inline bool Rows(Decoder* d, uint8_t* out) {
    if (setjmp(d->recovery)) return false;
    const size_t stride = size_t{d->codec.output_width} * Sz(d->codec.output_components);
    while (d->codec.output_scanline < d->codec.output_height) {
        JSAMPROW row = out + stride * d->codec.output_scanline;
        jpeg_read_scanlines(&d->codec, &row, 1);
    }
    jpeg_finish_decompress(&d->codec);
    return true;
}
}  // namespace detail

// Decodes with the library's defaults (RGB for colour, raw CMYK); components 0
// when the file does not decode.
inline Samples DecodeLibraryJpeg(const std::string& path) {
    Samples s;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return s;
    auto* d = new detail::Decoder();
    d->codec.err = jpeg_std_error(&d->errors);
    d->errors.error_exit = detail::Jump;
    d->codec.client_data = d;
    if (detail::Header(d, file)) {
        s.width = static_cast<int>(d->codec.output_width);
        s.height = static_cast<int>(d->codec.output_height);
        s.components = d->codec.output_components;
        s.data.resize(Sz(s.width) * Sz(s.height) * Sz(s.components));
        if (!detail::Rows(d, s.data.data())) s = Samples{};
    }
    jpeg_destroy_decompress(&d->codec);
    delete d;
    std::fclose(file);
    return s;
}

// Sample c of pixel (x, y) of a raster, in the library's order (red first for
// 24-bit rasters, whose bytes are blue, green, red).
inline uint8_t RasterSample(const DibImage& image, int x, int y, int c) {
    const int components = image.BitCount() / 8;
    const int byte = components == 3 ? 2 - c : c;
    return image.Row(y)[x * components + byte];
}

inline Samples RasterSamples(const DibImage& image) {
    const int components = image.BitCount() / 8;
    return MakeSamples(image.Width(), image.AbsHeight(), components,
                       [&](int x, int y, int c) { return RasterSample(image, x, y, c); });
}

// The whole load of the file, as the window makes it.
inline bool LoadJpeg(const std::string& path, LoadedImage& out) {
    return LoadWholeImage(*FindImageFormat(ImageFileKind::Jpeg), SourceFile::Open(path), out,
                          nullptr);
}

// The header alone, as the file is loaded for lossless tiles.
inline bool LoadJpegHeaderOf(const std::string& path, LoadedImage& out) {
    return LoadJpegHeader(SourceFile::Open(path), out);
}

inline CurrentImage LoadCurrent(const std::string& path) {
    LoadedImage loaded;
    EXPECT_TRUE(LoadJpeg(path, loaded)) << loaded.error;
    CurrentImage image;
    if (!loaded.raster) return image;
    SetCurrentImage(image, std::move(loaded), path);
    return image;
}

// The image as the command mode loads it for lossless tiles: the header
// alone.
inline CurrentImage LoadHeaderOnly(const std::string& path) {
    LoadedImage loaded;
    EXPECT_TRUE(LoadJpegHeaderOf(path, loaded)) << loaded.error;
    CurrentImage image;
    SetCurrentImage(image, std::move(loaded), path);
    return image;
}

// Tile rectangles of a plain grid without offsets.
inline std::vector<TileRect> GridRects(int width, int height, int tileWidth, int tileHeight) {
    TileGrid grid;
    grid.imageWidth = width;
    grid.imageHeight = height;
    grid.tileWidth = tileWidth;
    grid.tileHeight = tileHeight;
    grid.columns = (width + tileWidth - 1) / tileWidth;
    grid.rows = (height + tileHeight - 1) / tileHeight;
    std::vector<TileRect> rects;
    ForEachTile(grid, [&](const TileRect& r) {
        rects.push_back(r);
        return true;
    });
    return rects;
}

inline std::string TileName(const TileRect& r) {
    return "tile_" + std::to_string(r.row) + "_" + std::to_string(r.column) + ".jpg";
}

// Writes every rect into `folder` the way the job core does: tile n goes to
// worker n mod threads, all workers on one shared source. Returns the message
// of each tile ("" for success; tiles after a worker's first failure are not
// written and keep "-").
inline std::vector<std::string> RunTiles(const TileSource& source,
                                         const std::vector<TileRect>& rects,
                                         const std::string& folder, int threads) {
    std::vector<std::string> results(rects.size(), "-");
    std::vector<std::thread> workers;
    for (int k = 0; k < threads; ++k) {
        workers.emplace_back([&, k] {
            TileContext context;
            context.workerIndex = k;
            for (size_t n = Sz(k); n < rects.size(); n += Sz(threads)) {
                const char* failure = testing::WriteTileAt(
                    source, rects[n], folder + "/" + TileName(rects[n]), context);
                results[n] = failure ? failure : "";
                if (failure) return;
                ++context.tilesWritten;
            }
        });
    }
    for (auto& w : workers) w.join();
    return results;
}

// A decoder that has read the header of `file` as the reader reads it; null
// when that fails.
inline jpeg::DecoderPointer ReadHeader(const SourceFile& file) {
    jpeg::DecoderPointer decoder = jpeg::NewDecoder();
    FilePtr stream(file.OpenStream());
    if (!decoder || !stream || !jpeg::CreateStage(decoder.get()) ||
        !jpeg::HeaderStage(decoder.get(), stream.get()))
        return nullptr;
    return decoder;
}

// The file's bytes with the frame header claiming width x height.
inline std::string WithFrameSize(std::string bytes, int width, int height) {
    for (size_t i = 2; i + 9 < bytes.size();) {
        const auto marker = static_cast<uint8_t>(bytes[i + 1]);
        if (marker == 0xC0 || marker == 0xC2) {
            const char size[4] = {static_cast<char>(height >> 8), static_cast<char>(height),
                                  static_cast<char>(width >> 8), static_cast<char>(width)};
            return bytes.replace(i + 5, 4, size, 4);
        }
        i += 2 + static_cast<uint8_t>(bytes[i + 2]) * 256u + static_cast<uint8_t>(bytes[i + 3]);
    }
    ADD_FAILURE() << "no frame header";
    return bytes;
}

// The split's memory budget for the life of the object.
class ScopedSplitBudget {
  public:
    explicit ScopedSplitBudget(uint64_t bytes) { SetSplitMemoryBudget(bytes); }
    ~ScopedSplitBudget() { SetSplitMemoryBudget(0); }
    ScopedSplitBudget(const ScopedSplitBudget&) = delete;
    ScopedSplitBudget& operator=(const ScopedSplitBudget&) = delete;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

}  // namespace tessarin::jpeg_test
