#pragma once
// JPEG files: reading, exact tiles re-encoded at a quality, and lossless tiles
// cut by the outside tool jpegtran.

#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"
#include "imaging/read_watch.h"
#include "imaging/row_bands.h"
#include "imaging/tile_settings.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin {

// The size and depth from the header alone, no raster: all that lossless
// tiles need, which are cut from the file's coefficients. The pixels are read
// by the bands (OpenJpegBands), the whole load too.
[[nodiscard]] bool LoadJpegHeader(const SourceFilePtr& file, LoadedImage& out);
// Baseline JPEG of an 8-bit grey or 24-bit raster at `quality` (0..100).
[[nodiscard]] bool SaveJpegFile(const std::string& path, const DibImage& image, int quality);

// What JPEG tiles are made with.
struct JpegTileOptions {
    // The source's markers a lossless tile carries, as jpegtran's "-copy all",
    // "-copy comments" and "-copy none" choose them.
    enum class Copy : int { All = 0, Comments = 1, None = 2, Icc = 3 };

    bool exact = true;  // re-encoded from the raster; false cuts them losslessly
    int quality = 75;   // 0..100, for re-encoded tiles
    Copy copy = Copy::All;

    // jpegtran's name of `copy`: "all", "comments" or "none".
    static const char* CopyName(Copy copy);
    // From the split's settings: "OPTION" "CORRECT_CUT", "JPEG" "QUALITY" and
    // "JPEG" "COPY" (0 to 2, anything else all).
    static JpegTileOptions From(const TileSettings& settings);
};

// `watch` (may be null) follows the read of a lossless cut's coefficients
// and may end it: the source is then null.
std::unique_ptr<TileSource> MakeJpegTileSource(const CurrentImage& image,
                                               const JpegTileOptions& options, std::string& error,
                                               const ReadWatch* watch = nullptr);

// Opens a file to be read band by band (see ImageFormat::openBands): the
// whole load, the reduced view, exact tiles and tiles as BMP; lossless tiles
// are cut from the whole file's coefficients.
[[nodiscard]] bool OpenJpegBands(const SourceFilePtr& file, const TileSettings& settings,
                                 LoadedImage& out, std::unique_ptr<RowBands>& bands);

namespace jpeg {
// Exact tiles re-encoded at `quality` from `raster`, the whole picture or a
// band of its rows, each with the colour profile `profile` (may be null).
std::unique_ptr<TileSource> MakeExactJpegTiles(std::shared_ptr<const DibImage> raster, int quality,
                                               std::shared_ptr<const IccProfile> profile);
}  // namespace jpeg

}  // namespace tessarin
