#pragma once
// PNG files: reading for the viewer and lossless PNG tiles in the source's own
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

// The raster for the viewer; for every depth but 16 it also serves the PNG
// tiles, with the chunks they carry kept beside it (out.tileData). Read from
// the open file's start (null: not opened, the read message). `watch`, when
// given, may end the read between two rows.
[[nodiscard]] bool LoadPngFile(const SourceFilePtr& file, LoadedImage& out,
                               const ReadWatch* watch = nullptr);
// No raster: only the file's samples and chunks, for a split that nobody
// watches.
[[nodiscard]] bool LoadPngSamples(const SourceFilePtr& file, LoadedImage& out);
// The same for the file opened by name.
[[nodiscard]] bool LoadPngFile(const std::string& path, LoadedImage& out);
[[nodiscard]] bool LoadPngSamples(const std::string& path, LoadedImage& out);
std::unique_ptr<TileSource> MakePngTileSource(const CurrentImage& image, std::string& error);

// Opens a file to be cut band by band (see ImageFormat::openBands):
// interlaced files are loaded whole.
[[nodiscard]] bool OpenPngBands(const SourceFilePtr& file, const TileSettings& settings,
                                LoadedImage& out, std::unique_ptr<RowBands>& bands);

}  // namespace tessarin
