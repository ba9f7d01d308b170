// JPEG in the format registry.

#include "imaging/format_registry.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_messages.h"

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

bool LoadWhole(const SourceFilePtr& file, LoadedImage& out, const ReadWatch* watch) {
    return LoadJpegFile(file, out, watch);
}

bool CutsLosslessly(const TileSettings& settings) { return !JpegTileOptions::From(settings).exact; }

}  // namespace

extern const ImageFormat kJpegFormat = {
    .kind = ImageFileKind::Jpeg,
    .name = "JPEG",
    .extensions = kExtensions,
    .mimeTypes = kMimeTypes,
    .can = {.earlyPicture = true, .blockGrid = true},
    .sniff = &Sniff,
    .load = &LoadWhole,
    .loadForTiles = &LoadJpegHeader,
    .makeSource = &MakeTiles,
    .cutsLosslessly = &CutsLosslessly,
    .messages = kMessages,
    .openBands = &OpenJpegBands,
};

}  // namespace tessarin
