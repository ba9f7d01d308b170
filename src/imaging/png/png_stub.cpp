// Placeholder until the png reader and tiles land.
#include "imaging/png/png_format.h"

namespace tessarin {

bool LoadPngFile(const std::string&, LoadedImage& out) {
    out.error = "非対応のファイル形式です";
    return false;
}

std::unique_ptr<TileSource> MakePngTileSource(const CurrentImage&, const SplitSettings&,
                                              std::string& error) {
    error = "非対応のファイル形式です";
    return nullptr;
}

}  // namespace tessarin
