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

bool LoadWhole(const SourceFilePtr& file, LoadedImage& out, const ReadWatch* watch) {
    return LoadPngFile(file, out, watch);
}

std::unique_ptr<TileSource> MakeTiles(const CurrentImage& image, const TileSettings&,
                                      std::string& error) {
    return MakePngTileSource(image, error);
}

}  // namespace

extern const ImageFormat kPngFormat = {
    .kind = ImageFileKind::Png,
    .name = "PNG",
    .extensions = kExtensions,
    .mimeTypes = kMimeTypes,
    .sniff = &Sniff,
    .load = &LoadWhole,
    .loadForTiles = &LoadPngSamples,
    .makeSource = &MakeTiles,
    .messages = kMessages,
    .openBands = &OpenPngBands,
};

}  // namespace tessarin
