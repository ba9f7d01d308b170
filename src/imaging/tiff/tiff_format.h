#pragma once
// TIFF files: the first image read by bands of rows, strip by strip or tile
// row by tile row, and tiles written as TIFF files in the source's own
// layout, or in a layout of their own from another file's raster.

#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "imaging/loaded_image.h"
#include "imaging/row_bands.h"
#include "imaging/tile_settings.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin {

// Opens a file to be cut band by band (see ImageFormat::openBands); its
// whole load is made of these bands.
[[nodiscard]] bool OpenTiffBands(const SourceFilePtr& file, const TileSettings& settings,
                                 LoadedImage& out, std::unique_ptr<RowBands>& bands);

// The file's tiles in its own layout, from its samples read again.
std::unique_ptr<TileSource> MakeTiffTileSource(const CurrentImage& image, std::string& error);

// Lossless TIFF tiles of another file's raster (see
// ImageFormat::makeRasterSource).
std::unique_ptr<TileSource> MakeTiffRasterTiles(const CurrentImage& rows, std::string& error);

}  // namespace tessarin
