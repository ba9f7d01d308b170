// PNG in the format registry.

#include <cstring>

#include "imaging/format_registry.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_private.h"

namespace tessarin {

namespace {

constexpr const char* kExtensions[] = {".png", nullptr};
constexpr const char* kMimeTypes[] = {"image/png", nullptr};
constexpr const char* kMessages[] = {png::kNotPng,
                                     png::kPrepareReadFailed,
                                     png::kBadBitDepth,
                                     png::kBadInterlace,
                                     png::kWriteFailed,
                                     png::kPrepareWriteFailed,
                                     nullptr};

bool Sniff(const uint8_t* head, size_t size) {
    return size >= 8 && std::memcmp(head, "\x89PNG\r\n\x1A\n", 8) == 0;
}

std::unique_ptr<TileSource> MakeTiles(const CurrentImage& image, const TileSettings& settings,
                                      std::string& error) {
    return MakePngTileSource(image, error, settings.GetInt("PNG", "COMPRESSION", 1));
}

std::unique_ptr<TileSource> MakeRasterTiles(const CurrentImage& rows, const TileSettings& settings,
                                            std::string& error) {
    return MakePngRasterTiles(rows, error, settings.GetInt("PNG", "COMPRESSION", 1));
}

// The compression of PNG tiles: zlib's level, 1 (the fastest that
// compresses, with the filter chosen for speed) unless the user asks.
constexpr FormatOptionSpelling kCompressionSpellings[] = {
    {.name = "/pc",
     .longName = "png-compression",
     .takesValue = true,
     .help = "  /pc 0以上、9以下の整数\n"
             "    PNGタイルの圧縮レベルの指定（0：無圧縮、1：最速（既定）、9：最小）\n",
     .helpEnglish = "  /pc integer from 0 to 9\n"
                    "    the compression level of PNG tiles: 0 stores them uncompressed, 1 is the\n"
                    "    fastest (the default), 9 the smallest\n"},
};
constexpr FormatOption kOptions[] = {
    {.section = "PNG",
     .key = "COMPRESSION",
     .fallback = 1,
     .minimum = 0,
     .maximum = 9,
     .dialog = {.menuText = "PNG圧縮レベル設定(&P)...",
                .title = "PNG圧縮レベル設定",
                .rangeText = "（無圧縮 0 ～ 9 最小）",
                .editId = 1018},
     .spellings = kCompressionSpellings},
};

// A whole file of the format (32 x 32, 2-bit palette; PngSuite's basn3p02):
// every registered format is tested and fuzzed from its own.
constexpr char kSample[] =
    "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x20\x00\x00"
    "\x00\x20\x02\x03\x00\x00\x00\x0E\x14\x92\x67\x00\x00\x00\x04\x67\x41\x4D\x41\x00\x01\x86"
    "\xA0\x31\xE8\x96\x5F\x00\x00\x00\x03\x73\x42\x49\x54\x01\x01\x01\x7C\x2E\x77\x82\x00\x00"
    "\x00\x0C\x50\x4C\x54\x45\x00\xFF\x00\xFF\x00\x00\xFF\xFF\x00\x00\x00\xFF\x65\x3F\x2B\xBA"
    "\x00\x00\x00\x22\x49\x44\x41\x54\x78\x9C\x63\xF8\x1F\xBA\x8A\x01\x84\x19\xF0\x30\xF0\xC9"
    "\xC1\x18\xAB\xA0\x2C\x7C\x0C\xA8\xD2\xFF\xF8\x18\x83\xCC\x3D\x00\xBD\x49\x7F\x81\xEA\x89"
    "\x8E\x1B\x00\x00\x00\x00\x49\x45\x4E\x44\xAE\x42\x60\x82";

}  // namespace

extern const ImageFormat kPngFormat = {
    .kind = ImageFileKind::Png,
    .name = "PNG",
    .extensions = kExtensions,
    .mimeTypes = kMimeTypes,
    .can = {.keepsProfile = true},
    .sniff = &Sniff,
    .makeSource = &MakeTiles,
    .makeRasterSource = &MakeRasterTiles,
    .messages = kMessages,
    .openBands = &OpenPngBands,
    .options = kOptions,
    .sample = {kSample, sizeof kSample - 1},
};

}  // namespace tessarin
