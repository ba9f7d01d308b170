#pragma once
// WebP files: still pictures, lossy or lossless, with or without alpha, read
// by bands of rows through libwebp's incremental decoder; WebP tiles of them
// (lossless for lossless files, at the JPEG quality for lossy ones) and of
// any other file's raster (always lossless), each carrying the colour profile.

#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"
#include "imaging/row_bands.h"
#include "imaging/tile_settings.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin {

namespace webp {

inline constexpr const char* kAnimated = "アニメーションWebPには対応していません";
inline constexpr const char* kTileTooLarge = "WebPのタイルは幅・高さとも16383ピクセルまでです";

// How WebP tiles are encoded.
struct WebpTileKind {
    bool lossless = true;
    int quality = 75;  // lossy tiles only, 0 to 100
    // Whether the raster's fourth byte is alpha that the tiles carry.
    bool alpha = false;
};

// The tiles of `raster`; every tile carries `profile` (may be null).
std::unique_ptr<TileSource> MakeWebpRasterTiles(std::shared_ptr<const DibImage> raster,
                                                WebpTileKind kind,
                                                std::shared_ptr<const IccProfile> profile);

// Whether the WebP file holds a lossy picture; false when it cannot be told.
bool WebpFileIsLossy(const SourceFile& file);

}  // namespace webp

// The file's own WebP tiles, cut from the image's raster.
std::unique_ptr<TileSource> MakeWebpTileSource(const CurrentImage& image,
                                               const TileSettings& settings, std::string& error);

// Lossless WebP tiles of another format's raster rows.
std::unique_ptr<TileSource> MakeWebpRasterSource(const CurrentImage& rows,
                                                 const TileSettings& settings, std::string& error);

// Opens a file to be cut band by band (see ImageFormat::openBands); its
// whole load is made of these bands.
[[nodiscard]] bool OpenWebpBands(const SourceFilePtr& file, const TileSettings& settings,
                                 LoadedImage& out, std::unique_ptr<RowBands>& bands);

}  // namespace tessarin
