// GIF in the format registry.

#include <cstring>

#include "imaging/format_registry.h"
#include "imaging/gif/gif_format.h"

namespace tessarin {

namespace {

constexpr const char* kExtensions[] = {".gif", nullptr};
constexpr const char* kMimeTypes[] = {"image/gif", nullptr};
constexpr const char* kMessages[] = {nullptr};

bool Sniff(const uint8_t* head, size_t size) {
    return size >= 6 &&
           (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
}

// A GIF image is indexed whatever its table holds, loaded either way.
template <bool (*Load)(const SourceFilePtr&, LoadedImage&)>
bool LoadIndexed(const SourceFilePtr& file, LoadedImage& out) {
    if (!Load(file, out)) return false;
    out.colorKind = ColorKind::Indexed;
    return true;
}

bool LoadWhole(const SourceFilePtr& file, LoadedImage& out, const ReadWatch*) {
    return LoadIndexed<&LoadGifFile>(file, out);
}

std::unique_ptr<TileSource> MakeTiles(const CurrentImage& image, const TileSettings&,
                                      std::string& error) {
    return MakeGifTileSource(image, error);
}

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
    .load = &LoadWhole,
    .loadForTiles = &LoadIndexed<&LoadGifIndices>,
    .makeSource = &MakeTiles,
    .messages = kMessages,
    .openBands = &OpenGifBands,
};

}  // namespace tessarin
