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
// under: what a format may read for its tiles.
class SplitTileSettings final : public TileSettings {
  public:
    explicit SplitTileSettings(const SplitSettings& settings, const ReadWatch* watch = nullptr)
        : settings_(settings), watch_(watch) {}
    int GetInt(std::string_view section, std::string_view key, int fallback) const override;
    const ReadWatch* Watch() const override { return watch_; }

  private:
    const SplitSettings& settings_;
    const ReadWatch* watch_;
};

// The kind by the extension of the path's file name, in any ASCII case. No
// extension: Unsupported; an extension (with its dot) over 256 characters:
// BadPath. A name that starts with its only dot, such as ".png", is all
// extension: it classifies as Png.
ImageFileKind ClassifyImageFile(const std::string& path);

// The extension the tiles of `image` get: a BMP source's own extension; for
// the other formats ".bmp" when allBmp is set, else the source's own.
std::string TileExtension(ImageFileKind kind, const std::string& sourceExtension,
                          const SplitSettings& settings);

// The tile source of one file: BMP tiles when allBmp is set, else the
// format's own with its options from `settings`. Null with the message in
// `error` when it cannot be prepared. `watch` (may be null) follows what is
// read for the tiles before the first is cut, and may end it.
std::unique_ptr<TileSource> MakeTileSource(const ImageFormat& format, const CurrentImage& image,
                                           const SplitSettings& settings, std::string& error,
                                           const ReadWatch* watch = nullptr);

// Whether tiles of this kind with these settings are cut losslessly from
// the file's compressed data rather than from the raster.
bool CutsLosslessly(ImageFileKind kind, const SplitSettings& settings);

}  // namespace tessarin
