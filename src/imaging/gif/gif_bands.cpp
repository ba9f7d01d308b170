// GIF files cut band by band: the first image's rows come out of giflib top
// to bottom, a band at a time, as its indices (GIF tiles) or as the rows of
// the viewer's raster (BMP tiles). Pixel data that ends or breaks fails the
// band where it does. Interlaced images store their rows out of order and
// are loaded whole.

#include <new>

#include "imaging/checked_size.h"
#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_private.h"
#include "imaging/messages.h"

namespace tessarin {
namespace {

using gif::GifImageInfo;

class GifBand final : public RowBand {
  public:
    const TileSource* Tiles() const override { return tiles_.get(); }
    std::shared_ptr<const DibImage> Raster() const override { return raster_; }
    std::shared_ptr<gif::GifSplitData> indices_;  // GIF tiles
    std::shared_ptr<const DibImage> raster_;      // raster rows
    std::unique_ptr<TileSource> tiles_;
};

class GifBands final : public RowBands {
  public:
    GifBands(std::unique_ptr<gif::GifImageReader> reader, bool rasterRows, bool showDamage)
        : reader_(std::move(reader)), rasterRows_(rasterRows), showDamage_(showDamage) {}

    uint64_t BandBytes(int rows) const override {
        const GifImageInfo& info = reader_->Info();
        if (!rasterRows_)
            return CheckedSize(static_cast<uint64_t>(info.width), static_cast<uint64_t>(rows))
                .value_or(0);
        // The 8-bit rows as read, and those of a small table's reduced raster.
        if (!DibSizeAcceptable(info.width, rows, 8)) return 0;
        uint64_t bytes = DibStride(info.width, 8);
        if (info.colorBits <= 4) bytes += DibStride(info.width, ReducedDepth());
        return CheckedSize(bytes, static_cast<uint64_t>(rows)).value_or(0);
    }
    std::unique_ptr<RowBand> NewBand(int rows) override {
        std::unique_ptr<GifBand> band(new (std::nothrow) GifBand);
        if (!band || rasterRows_) return band;
        const uint64_t bytes = BandBytes(rows);
        if (bytes == 0) return nullptr;
        try {
            band->indices_ = std::make_shared<gif::GifSplitData>();
            band->indices_->info = reader_->Info();
            band->indices_->pixels.reserve(bytes);
        } catch (...) {
            return nullptr;
        }
        return band;
    }
    const char* ReadRows(RowBand& band, int rows) override {
        auto& gifBand = static_cast<GifBand&>(band);
        gifBand.tiles_.reset();
        gifBand.raster_.reset();
        try {
            return rasterRows_ ? ReadRaster(gifBand, rows) : ReadIndices(gifBand, rows);
        } catch (...) {
            gifBand.tiles_.reset();
            return msg::kReadFailed;
        }
    }
    const char* MemoryMessage() const override { return msg::kReadFailed; }
    const char* Damage() const override { return reader_->Damaged() ? msg::kReadFailed : nullptr; }

  private:
    // Whether the rows read so far stop the bands: damage, unless they are
    // for a view.
    bool Stopped() const { return !showDamage_ && reader_->Damaged(); }

    // What the viewer's reader reduces a table of up to 16 colours to.
    int ReducedDepth() const { return reader_->Info().colorBits == 1 ? 1 : 4; }

    const char* ReadIndices(GifBand& band, int rows) {
        gif::GifSplitData& data = *band.indices_;
        const auto width = static_cast<size_t>(data.info.width);
        data.info.height = rows;
        data.pixels.resize(width * static_cast<size_t>(rows));  // within what was reserved
        for (int y = 0; y < rows; ++y) {
            reader_->ReadRow(data.pixels.data() + static_cast<size_t>(y) * width);
            if (Stopped()) return msg::kReadFailed;
        }
        band.tiles_ = gif::MakeGifPixelTiles(band.indices_);
        return nullptr;
    }
    const char* ReadRaster(GifBand& band, int rows) {
        const GifImageInfo& info = reader_->Info();
        std::unique_ptr<DibImage> raster = gif::CreateGifRaster(info, rows);
        if (!raster) return msg::kReadFailed;
        for (int y = 0; y < rows; ++y) {
            reader_->ReadRow(raster->Row(y));
            if (Stopped()) return msg::kReadFailed;
        }
        if (info.colorBits <= 4) {
            raster = ReduceDibDepth(*raster, ReducedDepth());
            if (!raster) return msg::kReadFailed;
        }
        band.raster_ = std::move(raster);
        return nullptr;
    }

    std::unique_ptr<gif::GifImageReader> reader_;
    bool rasterRows_;
    bool showDamage_;
};

}  // namespace

bool OpenGifBands(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
                  std::unique_ptr<RowBands>& bands) {
    try {
        auto reader = std::make_unique<gif::GifImageReader>();
        if (const char* failure = reader->Open(file.get())) {
            out.error = failure;
            return false;
        }
        const GifImageInfo& info = reader->Info();
        if (info.interlaced) return true;  // loaded whole
        out.width = info.width;
        out.height = info.height;
        out.displayDepth = info.colorBits;
        out.colorKind = ColorKind::Indexed;
        out.interlaced = false;
        out.source = file;
        bands = std::make_unique<GifBands>(std::move(reader), settings.RasterTiles(),
                                           settings.GetInt("VIEW", "SHOW_DAMAGE", 0) != 0);
        return true;
    } catch (...) {
        bands.reset();
        out.error = msg::kReadFailed;
        return false;
    }
}

}  // namespace tessarin
