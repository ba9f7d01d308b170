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

// The raster for the viewer, which also serves the GIF tiles (out.tileData
// keeps the table and whatever else they need). Read from the open file's
// start (null: not opened, the open message).
[[nodiscard]] bool LoadGifFile(const SourceFilePtr& file, LoadedImage& out);
// No raster: only the indices and what the tiles need, for a split that
// nobody watches.
[[nodiscard]] bool LoadGifIndices(const SourceFilePtr& file, LoadedImage& out);
// The same for the file opened by name.
[[nodiscard]] bool LoadGifFile(const std::string& path, LoadedImage& out);
[[nodiscard]] bool LoadGifIndices(const std::string& path, LoadedImage& out);
std::unique_ptr<TileSource> MakeGifTileSource(const CurrentImage& image, std::string& error);

// Opens a file to be cut band by band (see ImageFormat::openBands):
// interlaced images are loaded whole.
[[nodiscard]] bool OpenGifBands(const SourceFilePtr& file, const TileSettings& settings,
                                LoadedImage& out, std::unique_ptr<RowBands>& bands);

}  // namespace tessarin
