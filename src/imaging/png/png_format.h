#pragma once
// PNG files: reading by bands of rows, and lossless PNG tiles in the source's own
// colour type, bit depth, palette and chunks.

#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "imaging/loaded_image.h"
#include "imaging/read_watch.h"
#include "imaging/row_bands.h"
#include "imaging/tile_settings.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin {

// The file's PNG tiles, cut from the image's raster where it holds the
// samples unchanged, else from the samples its bands decode.
// `compression`: the zlib level of the tiles, 0 to 9 (PNG / COMPRESSION).
std::unique_ptr<TileSource> MakePngTileSource(const CurrentImage& image, std::string& error,
                                              int compression = 1);

// PNG tiles of another file's raster (rows.raster, with rows.alpha and
// rows.iccProfile): its pixels exactly.
std::unique_ptr<TileSource> MakePngRasterTiles(const CurrentImage& rows, std::string& error,
                                               int compression = 1);

// Opens a file to be cut band by band (see ImageFormat::openBands); its
// whole load is made of these bands.
[[nodiscard]] bool OpenPngBands(const SourceFilePtr& file, const TileSettings& settings,
                                LoadedImage& out, std::unique_ptr<RowBands>& bands);

}  // namespace tessarin
