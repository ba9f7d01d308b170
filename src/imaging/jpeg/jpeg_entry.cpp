// JPEG in the format registry.

#include "imaging/format_registry.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_messages.h"
#include "imaging/messages.h"

namespace tessarin {

namespace {

constexpr const char* kExtensions[] = {".jpg", ".jpeg", ".jpe", ".jfif", ".jfi", ".jif", nullptr};
constexpr const char* kMimeTypes[] = {"image/jpeg", "image/pjpeg", nullptr};
constexpr const char* kMessages[] = {jpeg::kHeaderFailed,   jpeg::kExpandFailed,
                                     jpeg::kRasterFailed,   jpeg::kImageDataFailed,
                                     jpeg::kLosslessFailed, nullptr};

// Every JPEG file starts with a start-of-image marker and the next marker.
bool Sniff(const uint8_t* head, size_t size) {
    return size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

std::unique_ptr<TileSource> MakeTiles(const CurrentImage& image, const TileSettings& settings,
                                      std::string& error) {
    return MakeJpegTileSource(image, JpegTileOptions::From(settings), error, settings.Watch());
}

// JPEG tiles of another file's raster: re-encoded at the quality setting,
// with its colour profile.
std::unique_ptr<TileSource> MakeRasterTiles(const CurrentImage& rows, const TileSettings& settings,
                                            std::string& error) {
    if (!rows.raster) {
        error = msg::kClipFailed;
        return nullptr;
    }
    return jpeg::MakeExactJpegTiles(rows.raster, JpegTileOptions::From(settings).quality,
                                    rows.iccProfile);
}

bool CutsLosslessly(const TileSettings& settings) { return !JpegTileOptions::From(settings).exact; }

// The options of JPEG tiles (JpegTileOptions::From reads them).
constexpr FormatOptionSpelling kExactSpellings[] = {
    {.name = "/jc",
     .longName = "exact",
     .value = 1,
     .help = "  /jc\n    JPEG画像を多少劣化してでも正確な位置で分割する指定\n",
     .helpEnglish = "  /jc\n    cuts JPEG images at the exact position, re-encoding them\n"},
    {.name = "/!jc",
     .longName = "lossless",
     .value = 0,
     .help = "  /!jc\n    JPEG画像を分割の位置がずれてでも無劣化で分割する指定\n",
     .helpEnglish =
         "  /!jc\n    cuts JPEG images without loss, even where a cut moves to the block "
         "grid\n"},
};
constexpr FormatOptionSpelling kQualitySpellings[] = {
    {.name = "/jq",
     .longName = "quality",
     .takesValue = true,
     .help = "  /jq 0以上、100以下の整数\n    JPEG品質（圧縮レベル）の指定\n",
     .helpEnglish = "  /jq integer from 0 to 100\n    the JPEG quality\n"},
};
constexpr const char* kCopyWords[] = {"all", "comments", "none", "icc", nullptr};
constexpr FormatOptionSpelling kCopySpellings[] = {
    {.name = "/copy",
     .longName = "copy",
     .takesValue = true,
     .help =
         "  /copy all | comments | none | icc\n"
         "    無劣化で分割したJPEGタイルに残す分割元のマーカーの指定\n"
         "    （all：コメントとアプリケーションマーカー全て、comments：コメントのみ、none：無し、\n"
         "    icc：カラープロファイルのみ）\n"
         "    (the markers a lossless JPEG tile keeps, as jpegtran -copy: all comment\n"
         "    and application markers (Exif, ICC...), the comments only, none, or the\n"
         "    colour profile only)\n",
     .helpEnglish = "  /copy all | comments | none | icc\n"
                    "    the source markers a lossless JPEG tile keeps, as jpegtran -copy: every\n"
                    "    comment and application marker (Exif, ICC...), the comments only, "
                    "none,\n"
                    "    or the colour profile only\n"},
};
constexpr FormatOption kOptions[] = {
    // Exact (re-encoded) or lossless tiles: the window's F9 check.
    {.section = "OPTION",
     .key = "CORRECT_CUT",
     .fallback = 1,
     .minimum = 0,
     .maximum = 1,
     .clamps = false,
     .savedWithSettings = false,
     .spellings = kExactSpellings},
    {.section = "JPEG",
     .key = "QUALITY",
     .fallback = 75,
     .minimum = 0,
     .maximum = 100,
     .dialog = {.title = "JPEG品質設定", .rangeText = "（悪 0 ～ 100 良）", .editId = 1018},
     .spellings = kQualitySpellings},
    // The markers lossless tiles keep: the window's radio items.
    {.section = "JPEG",
     .key = "COPY",
     .fallback = 0,
     .minimum = 0,
     .maximum = 3,
     .clamps = false,
     .savedWithSettings = false,
     .words = kCopyWords,
     .spellings = kCopySpellings},
};

// A whole file of the format (24 x 16, baseline, 4:2:0): every registered
// format is tested and fuzzed from its own.
constexpr char kSample[] =
    "\xFF\xD8\xFF\xE0\x00\x10\x4A\x46\x49\x46\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xDB"
    "\x00\x43\x00\x03\x02\x02\x03\x02\x02\x03\x03\x03\x03\x04\x03\x03\x04\x05\x08\x05\x05\x04"
    "\x04\x05\x0A\x07\x07\x06\x08\x0C\x0A\x0C\x0C\x0B\x0A\x0B\x0B\x0D\x0E\x12\x10\x0D\x0E\x11"
    "\x0E\x0B\x0B\x10\x16\x10\x11\x13\x14\x15\x15\x15\x0C\x0F\x17\x18\x16\x14\x18\x12\x14\x15"
    "\x14\xFF\xDB\x00\x43\x01\x03\x04\x04\x05\x04\x05\x09\x05\x05\x09\x14\x0D\x0B\x0D\x14\x14"
    "\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14"
    "\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14"
    "\x14\x14\x14\x14\xFF\xC0\x00\x11\x08\x00\x10\x00\x18\x03\x01\x22\x00\x02\x11\x01\x03\x11"
    "\x01\xFF\xC4\x00\x16\x00\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x07\x00\x08\xFF\xC4\x00\x19\x10\x00\x01\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x06\x07\x23\x32\xA1\xFF\xC4\x00\x16\x01\x01\x01\x01\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x06\x04\x08\xFF\xC4\x00\x1E\x11\x00\x01\x03\x04\x03\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x05\x06\x22\x01\x03\x04\x31\x21\x24\x32\xFF\xDA"
    "\x00\x0C\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00\xC4\x89\xD6\xA6\xB0\xE0\x9E\x9D\x6A\x2B"
    "\x0E\x0F\x89\xD6\xA6\xB0\xE0\x9C\x9E\x6A\x6B\x0E\x11\x61\xA9\x6B\x90\x93\x59\xFD\xE6\x60"
    "\x1A\x79\xA8\xAC\x38\x46\xCB\x4F\x35\x35\x87\x08\x61\x69\x4A\x3B\x35\x2A\x63\xFB\xAF\x49"
    "\x9F\xFF\xD9";

}  // namespace

extern const ImageFormat kJpegFormat = {
    .kind = ImageFileKind::Jpeg,
    .name = "JPEG",
    .extensions = kExtensions,
    .mimeTypes = kMimeTypes,
    .can = {.earlyPicture = true, .blockGrid = true, .lossyTiles = true, .keepsProfile = true},
    .sniff = &Sniff,
    .loadForTiles = &LoadJpegHeader,
    .makeSource = &MakeTiles,
    .makeRasterSource = &MakeRasterTiles,
    .cutsLosslessly = &CutsLosslessly,
    .messages = kMessages,
    .openBands = &OpenJpegBands,
    .options = kOptions,
    .sample = {kSample, sizeof kSample - 1},
};

}  // namespace tessarin
