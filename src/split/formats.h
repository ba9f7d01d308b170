#pragma once
// The formats the program reads and cuts, by file kind: the reader that makes
// the current image, and the tile source the workers cut from.

#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "imaging/loaded_image.h"
#include "settings/split_settings.h"
#include "split/naming.h"
#include "split/tile_source.h"

namespace tessarin {

class Notifier;

struct ImageFormat {
    ImageFileKind kind;
    // Reads the file; on failure out.error holds the message.
    bool (*load)(const std::string& path, Notifier* owner, LoadedImage& out);
    // Prepares one file's tiles; on failure returns null with the message in error.
    std::unique_ptr<TileSource> (*makeSource)(const CurrentImage& image,
                                              const SplitSettings& settings, std::string& error);
};

// Null for Unsupported and BadPath.
const ImageFormat* FindImageFormat(ImageFileKind kind);

// The extension the tiles of `image` get: a BMP source's own extension; for
// the other formats ".bmp" when allBmp is set, else the source's own.
std::string TileExtension(ImageFileKind kind, const std::string& sourceExtension,
                          const SplitSettings& settings);

}  // namespace tessarin
