#pragma once
// BMP and DIB files: reading, writing and BMP tiles cut from a raster.

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

// Writes one rectangle of the raster as a BMP file, bottom-up, as a crop of
// it would be written, without making the crop, into the open file `fd`
// (which stays open). False when the rectangle is not inside the raster or a
// write fails.
[[nodiscard]] bool WriteBmpRegion(int fd, const DibImage& image, int x, int y, int width,
                                  int height);
// The same as the file `path`, which appears only when complete.
bool SaveBmpRegion(const std::string& path, const DibImage& image, int x, int y, int width,
                   int height);
// The whole raster as the file `path`.
bool SaveBmpFile(const std::string& path, const DibImage& image);

// BMP tiles cut from the current raster, shared read-only by the workers.
std::unique_ptr<TileSource> MakeBmpTileSource(const CurrentImage& image, std::string& error);

// BMP tiles cut from `raster`, whatever image it holds the rows of.
std::unique_ptr<TileSource> MakeBmpRasterTiles(std::shared_ptr<const DibImage> raster);

// Opens a file to be cut band by band (see ImageFormat::openBands); the
// whole load is made of its bands. A 5-6-5 file's colour reduction is noted
// in out.notices.
[[nodiscard]] bool OpenBmpBands(const SourceFilePtr& file, const TileSettings& settings,
                                LoadedImage& out, std::unique_ptr<RowBands>& bands);

}  // namespace tessarin
