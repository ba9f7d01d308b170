// BMP tiles cut from the current raster. Every worker reads the one shared
// raster; a tile is written row by row without making a crop first.

#include "imaging/bmp/bmp_format.h"
#include "imaging/failure_text.h"
#include "imaging/messages.h"

namespace tessarin {

namespace {

class BmpTileSource : public TileSource {
  public:
    explicit BmpTileSource(std::shared_ptr<const DibImage> raster)
        : keep_(std::move(raster)), raster_(*keep_) {}
    const char* WriteTile(const TileRect& rect, const TileFile& file, TileContext&) const override {
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height, raster_.Width(),
                          raster_.AbsHeight()))
            return msg::kClipFailed;
        return WriteBmpRegion(file.fd, raster_, rect.x, rect.y, rect.width, rect.height)
                   ? nullptr
                   : msg::kSaveFailed;
    }
    const char* SaveFailedMessage() const override { return msg::kSaveFailed; }

  private:
    std::shared_ptr<const DibImage> keep_;
    const DibImage& raster_;
};

}  // namespace

std::unique_ptr<TileSource> MakeBmpRasterTiles(std::shared_ptr<const DibImage> raster) {
    return std::make_unique<BmpTileSource>(std::move(raster));
}

std::unique_ptr<TileSource> MakeBmpTileSource(const CurrentImage& image, std::string& error) {
    try {
        // The tile grid is made for the image's size: a raster of any other
        // is not cut with it.
        if (!image.raster || image.raster->Width() != image.width ||
            image.raster->AbsHeight() != image.height) {
            error = msg::kClipFailed;
            return nullptr;
        }
        return std::make_unique<BmpTileSource>(image.raster);
    } catch (...) {
        SetFailureText(error, msg::kMemoryFailed);
        return nullptr;
    }
}

}  // namespace tessarin
