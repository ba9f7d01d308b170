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

// Bitmaps are read in one go: nothing to follow.
bool LoadWhole(const SourceFilePtr& file, LoadedImage& out, const ReadWatch*) {
    return LoadBmpFile(file, out);
}

std::unique_ptr<TileSource> MakeTiles(const CurrentImage& image, const TileSettings&,
                                      std::string& error) {
    return MakeBmpTileSource(image, error);
}

}  // namespace

// The BMP readers have no messages of their own: every failure is an invalid file.
extern const ImageFormat kBmpFormat = {
    .kind = ImageFileKind::Bmp,
    .name = "BMP",
    .extensions = kExtensions,
    .mimeTypes = kMimeTypes,
    .sniff = &Sniff,
    .load = &LoadWhole,
    .makeSource = &MakeTiles,
    .loadFailed = msg::kInvalidFile,
    .messages = kMessages,
    .openBands = &OpenBmpBands,
};

}  // namespace tessarin
