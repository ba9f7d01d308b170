// GIF in the format registry.

#include <cstring>

#include "imaging/format_registry.h"
#include "imaging/gif/gif_format.h"

namespace tessarin {

namespace {

constexpr const char* kExtensions[] = {".gif", nullptr};
constexpr const char* kMimeTypes[] = {"image/gif", nullptr};
constexpr const char* kMessages[] = {gif::kTooManyColours, nullptr};

bool Sniff(const uint8_t* head, size_t size) {
    return size >= 6 &&
           (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
}

std::unique_ptr<TileSource> MakeTiles(const CurrentImage& image, const TileSettings&,
                                      std::string& error) {
    return MakeGifTileSource(image, error);
}

std::unique_ptr<TileSource> MakeRasterTiles(const CurrentImage& rows, const TileSettings&,
                                            std::string& error) {
    return MakeGifRasterTiles(rows, error);
}

// A whole file of the format (13 x 11, 4 colours): every registered format is
// tested and fuzzed from its own.
constexpr char kSample[] =
    "\x47\x49\x46\x38\x39\x61\x0D\x00\x0B\x00\xF1\x00\x00\x39\x3A\x31\xAE\x31\x65\x34\xB4\x5F"
    "\xB4\xAE\x99\x21\xF9\x04\x00\x00\x00\x00\x00\x2C\x00\x00\x00\x00\x0D\x00\x0B\x00\x00\x02"
    "\x28\x84\x0F\xA1\x8B\xB7\x8C\x42\x7A\xB2\xCD\xC1\xC4\x11\x0F\x0F\xA3\x4D\x02\x16\x0C\x83"
    "\xA0\xA1\xC0\x58\x9A\x27\x3A\xC6\xAE\x09\xA3\xEF\xFC\xD6\x38\xAD\xDB\x73\x01\x00\x3B";

}  // namespace

// No filter of its own in the open dialog: GIF files are reached through
// "every file".
extern const ImageFormat kGifFormat = {
    .kind = ImageFileKind::Gif,
    .name = "GIF",
    .extensions = kExtensions,
    .mimeTypes = kMimeTypes,
    .dialogFilter = false,
    .sniff = &Sniff,
    .makeSource = &MakeTiles,
    .makeRasterSource = &MakeRasterTiles,
    .messages = kMessages,
    .openBands = &OpenGifBands,
    .sample = {kSample, sizeof kSample - 1},
};

}  // namespace tessarin
