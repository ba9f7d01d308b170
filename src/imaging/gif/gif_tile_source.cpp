// The GIF tile source: the file's first image is decoded once per file (by
// the window's load, whose raster then holds the indices, or by the bands for
// the tiles alone), and every worker writes its tiles from those indices.

#include <unordered_map>
#include <vector>

#include "imaging/failure_text.h"
#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_private.h"
#include "imaging/messages.h"

namespace tessarin {
namespace gif {
namespace {

class GifTileSource final : public TileSource {
  public:
    // `raster` holds the indices when `data` has no pixels of its own; the
    // rectangles count their y from row `top` of the picture.
    GifTileSource(std::shared_ptr<const GifSplitData> data, std::shared_ptr<const DibImage> raster,
                  int top = 0)
        : data_(std::move(data)), raster_(std::move(raster)), top_(top) {}
    const char* WriteTile(const TileRect& rect, const TileFile& file, TileContext&) const override {
        const DibImage* rows = data_->indices ? data_->indices.get() : raster_.get();
        return WriteGifTile(*data_, rows, rect.x, top_ + rect.y, rect.width, rect.height, file.fd);
    }
    const char* SaveFailedMessage() const override { return msg::kSaveFailed; }

  private:
    std::shared_ptr<const GifSplitData> data_;
    std::shared_ptr<const DibImage> raster_;
    int top_;
};

// GIF tiles of a raster of colours (more than 8 bits): each tile with a
// table of its own colours, when it has 256 at most (alpha is left out).
class GifColourTiles final : public TileSource {
  public:
    explicit GifColourTiles(std::shared_ptr<const DibImage> raster) : raster_(std::move(raster)) {}
    const char* WriteTile(const TileRect& rect, const TileFile& file, TileContext&) const override {
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height, raster_->Width(),
                          raster_->AbsHeight()))
            return msg::kClipFailed;
        BitmapInfoHeader header;
        header.biWidth = rect.width;
        header.biHeight = -rect.height;
        header.biBitCount = 8;
        const std::unique_ptr<DibImage> indices = DibImage::Create(header);
        if (!indices) return msg::kMemoryFailed;
        GifSplitData data;
        std::unordered_map<uint32_t, uint8_t> lookup;
        std::vector<uint8_t> colours(static_cast<size_t>(rect.width) * 3);
        for (int y = 0; y < rect.height; ++y) {
            RowAsColours(*raster_, false, rect.x, rect.y + y, rect.width, ColourOrder::kRgb,
                         colours.data());
            uint8_t* row = indices->Row(y);
            for (int x = 0; x < rect.width; ++x) {
                const uint8_t* c = colours.data() + static_cast<size_t>(x) * 3;
                const uint32_t key = (uint32_t{c[0]} << 16) | (uint32_t{c[1]} << 8) | c[2];
                auto [at, added] = lookup.try_emplace(key, static_cast<uint8_t>(lookup.size()));
                if (added) {
                    if (lookup.size() > 256) return kTooManyColours;
                    data.info.colors.push_back({c[0], c[1], c[2]});
                }
                row[x] = at->second;
            }
        }
        GifImageInfo& info = data.info;
        info.width = rect.width;
        info.height = rect.height;
        info.colorResolution = 8;
        while ((size_t{1} << info.colorBits) < info.colors.size()) ++info.colorBits;
        info.colors.resize(size_t{1} << info.colorBits);
        return WriteGifTile(data, indices.get(), 0, 0, rect.width, rect.height, file.fd);
    }
    const char* SaveFailedMessage() const override { return msg::kSaveFailed; }

  private:
    std::shared_ptr<const DibImage> raster_;
};

// Whether what the loader kept can be cut as it stands.
bool Usable(const GifSplitData& data, const CurrentImage& image) {
    if (data.info.width != image.width || data.info.height != image.height) return false;
    if (!data.pixels.empty()) return true;
    const DibImage* rows = data.indices ? data.indices.get() : image.raster.get();
    return rows && rows->Width() == image.width && rows->AbsHeight() == image.height;
}

}  // namespace

std::unique_ptr<TileSource> MakeGifPixelTiles(std::shared_ptr<const GifSplitData> data, int top) {
    return std::make_unique<GifTileSource>(std::move(data), nullptr, top);
}

}  // namespace gif

std::unique_ptr<TileSource> MakeGifTileSource(const CurrentImage& image, std::string& error) {
    try {
        if (auto kept = std::dynamic_pointer_cast<const gif::GifSplitData>(image.tileData);
            kept && gif::Usable(*kept, image))
            return std::make_unique<gif::GifTileSource>(kept, image.raster);
        std::shared_ptr<const gif::GifSplitData> data;
        const uint64_t held = image.raster ? image.raster->ImageSize() : 0;
        if (const char* failure = gif::ReadGifForSplit(SourceFileOf(image), held, data)) {
            error = failure;
            return nullptr;
        }
        // The file changed since it was loaded: the grid no longer fits it.
        if (data->info.width != image.width || data->info.height != image.height) {
            error = msg::kInvalidFile;
            return nullptr;
        }
        return std::make_unique<gif::GifTileSource>(std::move(data), nullptr);
    } catch (...) {
        SetFailureText(error, msg::kReadFailed);
        return nullptr;
    }
}

std::unique_ptr<TileSource> MakeGifRasterTiles(const CurrentImage& rows, std::string& error) {
    try {
        const DibImage* raster = rows.raster.get();
        if (!raster) {
            error = msg::kClipFailed;
            return nullptr;
        }
        const int bits = raster->BitCount();
        if (bits != 1 && bits != 4 && bits != 8)
            return std::make_unique<gif::GifColourTiles>(rows.raster);
        auto data = std::make_shared<gif::GifSplitData>();
        gif::GifImageInfo& info = data->info;
        info.width = raster->Width();
        info.height = raster->AbsHeight();
        info.colorBits = bits;
        info.colorResolution = 8;
        info.colors.resize(size_t{1} << bits);
        for (size_t i = 0; i < info.colors.size(); ++i) {
            const RgbQuad c = raster->ColorAt(static_cast<int>(i));
            info.colors[i] = {c.red, c.green, c.blue};
        }
        return std::make_unique<gif::GifTileSource>(std::move(data), rows.raster);
    } catch (...) {
        SetFailureText(error, msg::kMemoryFailed);
        return nullptr;
    }
}

}  // namespace tessarin
