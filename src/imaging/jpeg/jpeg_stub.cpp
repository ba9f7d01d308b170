// Placeholder until the jpeg reader and tiles land.
#include "imaging/jpeg/jpeg_format.h"

namespace tessarin {

bool LoadJpegFile(const std::string&, LoadedImage& out) {
    out.error = "非対応のファイル形式です";
    return false;
}

std::unique_ptr<TileSource> MakeJpegTileSource(const CurrentImage&, const SplitSettings&,
                                              std::string& error) {
    error = "非対応のファイル形式です";
    return nullptr;
}

}  // namespace tessarin

namespace tessarin {
bool SaveJpegFile(const std::string&, const DibImage&, int) { return false; }
}  // namespace tessarin
