#pragma once
// GIF files: the first image for the viewer, and GIF tiles with the source's
// colour table, background, transparency and interlacing.

#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "imaging/loaded_image.h"
#include "imaging/row_bands.h"
#include "imaging/tile_settings.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin {

std::unique_ptr<TileSource> MakeGifTileSource(const CurrentImage& image, std::string& error);

namespace gif {
// A tile of more colours than a GIF file's table holds.
inline constexpr const char* kTooManyColours = "GIFのタイルは256色までです";
}  // namespace gif

// GIF tiles of another file's raster (rows.raster): its indices and colour
// table as they are for 1-, 4- and 8-bit rasters; for others, each tile's
// colours in a table of its own, and gif::kTooManyColours for a tile of more
// than 256.
std::unique_ptr<TileSource> MakeGifRasterTiles(const CurrentImage& rows, std::string& error);

// Opens a file to be cut band by band (see ImageFormat::openBands); the
// whole load is made of its bands. An interlaced image is decoded whole by
// the bands, which hold it.
[[nodiscard]] bool OpenGifBands(const SourceFilePtr& file, const TileSettings& settings,
                                LoadedImage& out, std::unique_ptr<RowBands>& bands);

}  // namespace tessarin
