// BMP and DIB in the format registry.

#include <cstring>

#include "imaging/bmp/bmp_format.h"
#include "imaging/bmp/bmp_private.h"
#include "imaging/format_registry.h"
#include "imaging/messages.h"

namespace tessarin {

namespace {

constexpr const char* kExtensions[] = {".bmp", ".dib", nullptr};
constexpr const char* kMimeTypes[] = {"image/bmp", "image/x-bmp", "image/x-ms-bmp", nullptr};
constexpr const char* kMessages[] = {bmp::kColourReductionNotice, nullptr};

bool Sniff(const uint8_t* head, size_t size) {
    return size >= 2 && std::memcmp(head, "BM", 2) == 0;
}

std::unique_ptr<TileSource> MakeTiles(const CurrentImage& image, const TileSettings&,
                                      std::string& error) {
    return MakeBmpTileSource(image, error);
}

// A whole file of the format (13 x 11, 4 bits, 16 colours): every registered
// format is tested and fuzzed from its own.
constexpr char kSample[] =
    "\x42\x4D\xCE\x00\x00\x00\x00\x00\x00\x00\x76\x00\x00\x00\x28\x00\x00\x00\x0D\x00\x00\x00"
    "\x0B\x00\x00\x00\x01\x00\x04\x00\x00\x00\x00\x00\x58\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x10\x00\x00\x00\x10\x00\x00\x00\x17\x17\x1D\x00\x34\x14\x5D\x00\x2F\x5A\x1A\x00"
    "\x53\x5F\x61\x00\x45\x4D\x52\x00\x58\x19\xA4\x00\x6E\x5A\x9F\x00\x6C\x1A\xCF\x00\x52\xA6"
    "\x24\x00\x6C\xA1\x5F\x00\x60\xCA\x23\x00\x7B\x92\x8B\x00\x8D\x64\xD7\x00\x8A\xDE\x6C\x00"
    "\x91\xA6\xA9\x00\xAA\xC7\xC1\x00\xAA\xAA\xDD\xDD\xFF\xFF\xF0\x00\xAA\xAA\xDA\xDD\xDF\xFF"
    "\xF0\x00\xA8\xA8\xA9\xDE\xEE\xFF\xF0\x00\x88\x89\x89\x9B\xEF\xFF\xF0\x00\x82\x28\x99\x9B"
    "\x6E\xCC\xC0\x00\x22\x84\x39\x36\x6C\xCC\xF0\x00\x22\x22\x34\x36\x66\x6C\xC0\x00\x02\x20"
    "\x41\x43\x67\x6C\xC0\x00\x00\x20\x14\x55\x55\x67\x70\x00\x00\x01\x11\x11\x55\x77\x70\x00"
    "\x00\x00\x11\x15\x55\x57\x70\x00";

}  // namespace

// The BMP readers have no messages of their own: every failure is an invalid file.
extern const ImageFormat kBmpFormat = {
    .kind = ImageFileKind::Bmp,
    .name = "BMP",
    .extensions = kExtensions,
    .mimeTypes = kMimeTypes,
    .sniff = &Sniff,
    .makeSource = &MakeTiles,
    .makeRasterSource = &MakeTiles,
    .loadFailed = msg::kInvalidFile,
    .messages = kMessages,
    .openBands = &OpenBmpBands,
    .sample = {kSample, sizeof kSample - 1},
};

}  // namespace tessarin
