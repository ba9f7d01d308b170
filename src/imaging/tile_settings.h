#pragma once
// The split's settings as a format's tiles may read them: by the section and
// key the settings file stores each under ("JPEG" "QUALITY"). Every format
// declares its own options and builds them from these; nothing between the
// split and the format knows what they are.

#include <string_view>

namespace tessarin {

class ReadWatch;

class TileSettings {
  public:
    virtual ~TileSettings() = default;
    // The value under `section` and `key`, or `fallback` when there is none.
    virtual int GetInt(std::string_view section, std::string_view key, int fallback) const = 0;
    // Whether the file's tiles are written by another format from its raster
    // rows: bands then hold raster rows and no tiles of the format's own.
    virtual bool RasterTiles() const { return false; }
    // What follows the long reads of the file made for the tiles (a JPEG
    // file's coefficients, its bands) and may end them; null: nobody.
    virtual const ReadWatch* Watch() const { return nullptr; }
};

}  // namespace tessarin
