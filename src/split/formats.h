#pragma once
// The split's side of the format registry (imaging/format_registry.h): the
// kind of a path by its file name, and the tiles the split settings ask for.

#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "imaging/format_registry.h"
#include "imaging/tile_source.h"
#include "settings/split_settings.h"

namespace tessarin {

// The split's settings by the section and key the settings file stores them
// under: what a format may read for its tiles. `rasterTiles`: the file's
// tiles are written by another format, from its raster rows.
class SplitTileSettings final : public TileSettings {
  public:
    SplitTileSettings(const SplitSettings& settings, bool rasterTiles,
                      const ReadWatch* watch = nullptr)
        : settings_(settings), rasterTiles_(rasterTiles), watch_(watch) {}
    int GetInt(std::string_view section, std::string_view key, int fallback) const override;
    bool RasterTiles() const override { return rasterTiles_; }
    const ReadWatch* Watch() const override { return watch_; }

  private:
    const SplitSettings& settings_;
    bool rasterTiles_;
    const ReadWatch* watch_;
};

// The kind by the extension of the path's file name, in any ASCII case. No
// extension: Unsupported; an extension (with its dot) over 256 characters:
// BadPath. A name that starts with its only dot, such as ".png", is all
// extension: it classifies as Png.
ImageFileKind ClassifyImageFile(const std::string& path);

// Whether the tiles of `path`'s format start on a grid of blocks (by its
// name, as ClassifyImageFile finds it).
bool CutsOnBlockGrid(const std::string& path);

// Whether tiles of `path`'s format (by its name) are cut losslessly on its
// block grid with these settings; with an empty path, whether those of any
// format that has a block grid are.
bool CutsLosslesslyOnBlockGrid(const std::string& path, const SplitSettings& settings);

// The format the settings choose for every file's tiles (FORMAT, or BMP
// for ALL_BMP); null for each source's own, or a name no format that writes
// other files' tiles has.
const ImageFormat* ChosenTileFormat(const SplitSettings& settings);

// The format the tiles of a file in `source` format are written in: the one
// the settings choose; else the source's own, or BMP when the source's
// format writes no tiles.
const ImageFormat& TileFormatFor(const ImageFormat& source, const SplitSettings& settings);

// The settings a file in `source` format is read with for its tiles.
SplitTileSettings TileSettingsFor(const ImageFormat& source, const SplitSettings& settings,
                                  const ReadWatch* watch = nullptr);

// The extension the tiles of a file in `source` format get: the file's own
// (`sourceExtension`, with its dot) when they are written in its format,
// else the first of the format that writes them.
std::string TileExtension(const ImageFormat& source, const std::string& sourceExtension,
                          const SplitSettings& settings);

// The tile source of one file, in the format TileFormatFor chooses, with its
// options from `settings`. Null with the message in `error` when it cannot
// be prepared. `watch` (may be null) follows what is read for the tiles
// before the first is cut, and may end it.
std::unique_ptr<TileSource> MakeTileSource(const ImageFormat& format, const CurrentImage& image,
                                           const SplitSettings& settings, std::string& error,
                                           const ReadWatch* watch = nullptr);

// Whether tiles of a file in `source` format with these settings are cut
// losslessly from the file's compressed data rather than from the raster.
bool CutsLosslessly(const ImageFormat& source, const SplitSettings& settings);

}  // namespace tessarin
