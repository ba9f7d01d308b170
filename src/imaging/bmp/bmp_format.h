#pragma once
// BMP and DIB files: reading, writing and BMP tiles cut from a raster.

#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"
#include "imaging/tile_source.h"

namespace tessarin {

class Notifier;

// Our own reader first (16-bit 5-5-5 and 5-6-5 with bit fields, 1-bit with two
// colours), then the general decoder. `owner` receives the 5-6-5 colour
// reduction notice; none is shown without an owner.
bool LoadBmpFile(const std::string& path, Notifier* owner, LoadedImage& out);

// The general decoder alone, over bytes in memory (what the system loader reads).
bool DecodeBmp(const uint8_t* data, size_t size, LoadedImage& out);

// Writes the whole raster as a BMP file, bottom-up. False when the file
// cannot be created or written.
bool SaveBmpFile(const std::string& path, const DibImage& image);
// Writes one rectangle of the raster as a BMP file, as SaveBmpFile would write
// its crop, without making the crop.
bool SaveBmpRegion(const std::string& path, const DibImage& image, int x, int y, int width,
                   int height);

// BMP tiles cut from the current raster, shared read-only by the workers.
std::unique_ptr<TileSource> MakeBmpTileSource(const CurrentImage& image,
                                              const TileOptions& options, std::string& error);

}  // namespace tessarin
