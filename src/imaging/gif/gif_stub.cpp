// Placeholder until the gif reader and tiles land.
#include "imaging/gif/gif_format.h"

namespace tessarin {

bool LoadGifFile(const std::string&, LoadedImage& out) {
    out.error = "非対応のファイル形式です";
    return false;
}

std::unique_ptr<TileSource> MakeGifTileSource(const CurrentImage&, const SplitSettings&,
                                              std::string& error) {
    error = "非対応のファイル形式です";
    return nullptr;
}

}  // namespace tessarin
