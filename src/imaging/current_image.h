#pragma once
// A loaded image: the raster and what the viewer and the split need to know
// about its file. The raster is immutable once loaded, so the viewer may keep
// painting it while a split job cuts it; copying the record shares it.

#include <memory>
#include <string>

#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"
#include "imaging/row_bands.h"
#include "platform/file_io.h"

namespace tessarin {

struct CurrentImage {
    // Shared with running splits and the viewer. Null only for an image
    // loaded for a split without a viewer whose tiles are not cut from it.
    std::shared_ptr<const DibImage> raster;
    std::shared_ptr<const TileData> tileData;  // see TileData; may be null
    // Set instead of a raster for a split that cuts the file band by band:
    // its decoder, positioned at the top row. One split reads it, once.
    std::shared_ptr<RowBands> bands;
    // The file the image was loaded from, still open: the split's tile
    // sources read it, never the name again. Null for an image made by hand.
    std::shared_ptr<const SourceFile> source;
    std::string path;  // for names and messages
    int width = 0;
    int height = 0;  // a positive count whatever the raster's orientation
    int displayDepth = 0;
    ColorKind colorKind = ColorKind::None;
    bool interlaced = false;
    bool alpha = false;                            // see LoadedImage
    std::shared_ptr<const IccProfile> iccProfile;  // see LoadedImage
    int blockWidth = 0;                            // see LoadedImage
    int blockHeight = 0;
    // Set for an image the window shows reduced by this factor because its
    // raster would not fit in memory: it has no raster, and a split reads
    // the file again band by band (ReopenForTiles).
    int viewReduction = 0;
    // The message a split of this image fails with, because its file's data
    // ended or broke before the picture did (see LoadedImage::damage).
    std::string damage;
    // Whether the viewer has something to show and the grid something to cut.
    bool Shown() const { return raster != nullptr || viewReduction > 0; }
};

// Makes a reader's result the current image of `path`.
inline void SetCurrentImage(CurrentImage& image, LoadedImage&& loaded, const std::string& path) {
    image.width = loaded.raster ? loaded.raster->Width() : loaded.width;
    image.height = loaded.raster ? loaded.raster->AbsHeight() : loaded.height;
    image.raster = std::move(loaded.raster);
    image.tileData = std::move(loaded.tileData);
    image.bands.reset();
    image.source = std::move(loaded.source);
    image.path = path;
    image.displayDepth = loaded.displayDepth;
    image.colorKind = loaded.colorKind;
    image.interlaced = loaded.interlaced;
    image.alpha = loaded.alpha;
    image.iccProfile = std::move(loaded.iccProfile);
    image.blockWidth = loaded.blockWidth;
    image.blockHeight = loaded.blockHeight;
    image.viewReduction = 0;
    image.damage = std::move(loaded.damage);
}

// The open file of `image`; an image without one has its path opened now
// (null when that is refused).
inline std::shared_ptr<const SourceFile> SourceFileOf(const CurrentImage& image) {
    return image.source ? image.source : SourceFile::Open(image.path);
}

}  // namespace tessarin
