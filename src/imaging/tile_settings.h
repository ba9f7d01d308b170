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

// The settings a file is opened with for a picture to show: every format's
// bands of raster rows, reduced by `scale` where the format's library can
// (a JPEG file's scaled decode), a damaged file read as far as its data goes.
class ViewSettings final : public TileSettings {
  public:
    explicit ViewSettings(int scale, const ReadWatch* watch = nullptr)
        : scale_(scale), watch_(watch) {}
    int GetInt(std::string_view section, std::string_view key, int fallback) const override {
        if (section == "VIEW" && key == "SCALE") return scale_;
        if (section == "VIEW" && key == "SHOW_DAMAGE") return 1;
        return fallback;
    }
    bool RasterTiles() const override { return true; }
    const ReadWatch* Watch() const override { return watch_; }

  private:
    int scale_;
    const ReadWatch* watch_;
};

}  // namespace tessarin
