#pragma once
// The formats the program reads and cuts: the one place where a file kind,
// its extensions, its reader and its tile source meet.

#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "imaging/loaded_image.h"
#include "imaging/tile_settings.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"
#include "settings/split_settings.h"

namespace tessarin {

enum class ImageFileKind : int {
    Unsupported = 0,
    Bmp = 1,
    Jpeg = 2,
    Png = 3,
    Gif = 4,
    BadPath = 5
};

struct ImageFormat {
    ImageFileKind kind;
    // File name extensions with their dot, lower case, ended by a null.
    const char* const* extensions;
    // Reads the file opened for the load (null when it could not be: the
    // format's message); on failure out.error holds the message.
    bool (*load)(const SourceFilePtr& file, LoadedImage& out);
    // Reads only what the format's own tiles need before they are cut (with
    // any options), with no raster; null when they are cut from the raster.
    // On failure out.error holds the message.
    bool (*loadForTiles)(const SourceFilePtr& file, LoadedImage& out);
    // Prepares one file's tiles with the format's options read from
    // `settings`; on failure returns null with the message in error.
    std::unique_ptr<TileSource> (*makeSource)(const CurrentImage& image,
                                              const TileSettings& settings, std::string& error);
};

// The kind by the extension of the path's file name, in any ASCII case. No
// extension: Unsupported; an extension (with its dot) over 256 characters:
// BadPath. A name that starts with its only dot, such as ".png", is all
// extension: it classifies as Png.
ImageFileKind ClassifyImageFile(const std::string& path);

// Null for Unsupported and BadPath.
const ImageFormat* FindImageFormat(ImageFileKind kind);

// The extension the tiles of `image` get: a BMP source's own extension; for
// the other formats ".bmp" when allBmp is set, else the source's own.
std::string TileExtension(ImageFileKind kind, const std::string& sourceExtension,
                          const SplitSettings& settings);

// The tile source of one file: BMP tiles when allBmp is set, else the
// format's own. Null with the message in `error` when it cannot be prepared.
std::unique_ptr<TileSource> MakeTileSource(const ImageFormat& format, const CurrentImage& image,
                                           const SplitSettings& settings, std::string& error);

// Whether tiles of this kind with these settings are cut losslessly from
// the file's compressed data rather than from the raster.
bool CutsLosslessly(ImageFileKind kind, const SplitSettings& settings);

}  // namespace tessarin
