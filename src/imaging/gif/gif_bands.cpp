// GIF files read band by band: the first image's rows, top to bottom, as its
// indices (GIF tiles) or as the rows of the raster shown (BMP tiles, the
// window). An interlaced image stores its rows out of order, so it is
// decoded whole into an 8-bit picture the bands hold and serve their rows
// from; a band of every row takes that picture instead of copying it. Every
// other way the program reads a GIF file goes through here.

#include <cstring>
#include <new>

#include "imaging/checked_size.h"
#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_private.h"
#include "imaging/messages.h"
#include "imaging/whole_band.h"

namespace tessarin {
namespace gif {
namespace {

// A zeroed 8-bit bottom-up raster `rows` high with the image's width and
// colour table; null when it cannot be had. Zeroed so that the row padding
// of a BMP written from it is defined.
std::unique_ptr<DibImage> CreateGifRaster(const GifImageInfo& info, int rows) {
    BitmapInfoHeader header;
    header.biWidth = info.width;
    header.biHeight = rows;
    header.biBitCount = 8;
    header.biClrUsed = static_cast<uint32_t>(info.colors.size());
    header.biClrImportant = header.biClrUsed;
    RgbQuad table[256];
    for (size_t i = 0; i < info.colors.size(); ++i)
        table[i] = RgbQuad{info.colors[i].Blue, info.colors[i].Green, info.colors[i].Red, 0};
    return DibImage::Create(header, table, static_cast<int>(info.colors.size()), true);
}

class GifBand final : public RowBand {
  public:
    const TileSource* Tiles() const override { return tiles_.get(); }
    std::shared_ptr<const DibImage> Raster() const override { return raster_; }
    std::shared_ptr<GifSplitData> indices_;   // GIF tiles
    std::shared_ptr<const DibImage> raster_;  // raster rows
    std::unique_ptr<TileSource> tiles_;
};

class GifBands final : public RowBands {
  public:
    // `shown` (may be null) is what the window's tiles keep of a picture
    // read whole for it.
    GifBands(std::unique_ptr<GifImageReader> reader, bool rasterRows, bool showDamage,
             std::shared_ptr<GifSplitData> shown)
        : reader_(std::move(reader)),
          rasterRows_(rasterRows),
          showDamage_(showDamage),
          shown_(std::move(shown)) {}

    const GifImageInfo& Info() const { return reader_->Info(); }

    uint64_t HeldBytes() const override {
        const GifImageInfo& info = Info();
        if (!info.interlaced || !DibSizeAcceptable(info.width, info.height, 8)) return 0;
        return DibStride(info.width, 8) * static_cast<uint64_t>(info.height);
    }
    uint64_t BandBytes(int rows) const override {
        const GifImageInfo& info = Info();
        if (rows <= 0) return 0;
        if (info.interlaced && !DibSizeAcceptable(info.width, info.height, 8)) return 0;
        // GIF tiles of an interlaced image are cut from the held picture, and
        // a band of every row of it takes that picture.
        if (!rasterRows_) {
            if (info.interlaced) return 1;
            return CheckedSize(static_cast<uint64_t>(info.width), static_cast<uint64_t>(rows))
                .value_or(0);
        }
        // The 8-bit rows, and those of a small table's reduced raster.
        if (!DibSizeAcceptable(info.width, rows, 8)) return 0;
        uint64_t bytes = info.interlaced && rows >= info.height ? 0 : DibStride(info.width, 8);
        if (info.colorBits <= 4) bytes += DibStride(info.width, ReducedDepth());
        if (bytes == 0) return 1;
        return CheckedSize(bytes, static_cast<uint64_t>(rows)).value_or(0);
    }
    std::unique_ptr<RowBand> NewBand(int rows) override {
        std::unique_ptr<GifBand> band(new (std::nothrow) GifBand);
        const GifImageInfo& info = Info();
        if (!band || rasterRows_ || info.interlaced) return band;
        const uint64_t bytes = BandBytes(rows);
        if (bytes == 0) return nullptr;
        try {
            band->indices_ = std::make_shared<GifSplitData>();
            band->indices_->info = info;
            // Not for a file too short for its picture: its read fails first.
            if (showDamage_ || rows < info.height || !reader_->TooShortForImage())
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
            const GifImageInfo& info = Info();
            const bool whole = next_ == 0 && rows >= info.height;
            // Nothing is allocated for a whole picture its data cannot hold
            // (a header claiming 65535 x 65535 pixels over a few bytes).
            if ((whole || info.interlaced) && next_ == 0 && !held_ && !showDamage_ &&
                reader_->TooShortForImage()) {
                cut_ = true;
                return msg::kReadFailed;
            }
            if (info.interlaced && next_ == 0 && !held_)
                if (const char* failure = DecodeHeld()) return failure;
            if (info.interlaced && !rasterRows_) return ServeHeld(gifBand, rows);
            if (whole && held_) return TakeHeld(gifBand);
            return rasterRows_ ? ReadRaster(gifBand, rows, whole) : ReadIndices(gifBand, rows);
        } catch (...) {
            gifBand.tiles_.reset();
            gifBand.raster_.reset();
            return msg::kReadFailed;
        }
    }
    const char* MemoryMessage() const override { return msg::kReadFailed; }
    const char* Damage() const override { return reader_->Damaged() ? msg::kReadFailed : nullptr; }

  private:
    // Whether the rows read so far stop the bands: damage, unless they are
    // for a view.
    bool Stopped() const { return !showDamage_ && (cut_ || reader_->Damaged()); }

    // What the raster of a table of up to 16 colours is reduced to.
    int ReducedDepth() const { return Info().colorBits == 1 ? 1 : 4; }

    // The next picture row, from the held picture or the file.
    void NextRow(uint8_t* row) {
        if (held_)
            std::memcpy(row, held_->Row(next_), static_cast<size_t>(Info().width));
        else
            reader_->ReadRow(row);
        ++next_;
    }

    // The interlaced image decoded whole, its passes put in picture order.
    const char* DecodeHeld() {
        const GifImageInfo& info = Info();
        std::unique_ptr<DibImage> picture = CreateGifRaster(info, info.height);
        if (!picture) return msg::kReadFailed;
        ForEachGifRow(info.height, true, [&](int y) {
            if (!Stopped()) reader_->ReadRow(picture->Row(y));
        });
        if (Stopped()) return msg::kReadFailed;
        held_ = std::move(picture);
        return nullptr;
    }

    // A band of raster rows for every row gets the held picture itself.
    const char* TakeHeld(GifBand& band) {
        next_ = Info().height;
        band.raster_ = Shown(std::move(held_), true);
        return band.raster_ ? nullptr : msg::kReadFailed;
    }

    // Bands of GIF tiles cut their rows from the held picture in place.
    const char* ServeHeld(GifBand& band, int rows) {
        if (!heldTiles_) {
            heldTiles_ = std::make_shared<GifSplitData>();
            heldTiles_->info = Info();
            heldTiles_->indices = held_;
        }
        band.indices_ = heldTiles_;
        band.tiles_ = MakeGifPixelTiles(heldTiles_, next_);
        next_ += rows;
        return nullptr;
    }

    // The raster shown of 8-bit rows: a small table gets the depth that holds
    // it, 1 bit for 2 colours, 4 bits for up to 16, every pixel keeping its
    // colour. Where repeated colours, or indices beyond the table, show some
    // pixel by another index than the tiles must carry, the window's whole
    // picture keeps the 8-bit rows for its tiles.
    std::shared_ptr<const DibImage> Shown(std::shared_ptr<DibImage> rows, bool whole) {
        const GifImageInfo& info = Info();
        if (info.colorBits > 4) return rows;
        std::shared_ptr<const DibImage> reduced = ReduceDibDepth(*rows, ReducedDepth());
        if (reduced && whole && shown_ &&
            !ReductionKeepsIndices(*rows, *reduced, GifIndexMask(info.colorBits)))
            shown_->indices = std::move(rows);
        return reduced;
    }

    const char* ReadIndices(GifBand& band, int rows) {
        GifSplitData& data = *band.indices_;
        const auto width = static_cast<size_t>(data.info.width);
        data.info.height = rows;
        data.pixels.resize(width * static_cast<size_t>(rows));
        for (int y = 0; y < rows; ++y) {
            NextRow(data.pixels.data() + static_cast<size_t>(y) * width);
            if (Stopped()) return msg::kReadFailed;
        }
        band.tiles_ = MakeGifPixelTiles(band.indices_);
        return nullptr;
    }
    const char* ReadRaster(GifBand& band, int rows, bool whole) {
        std::unique_ptr<DibImage> raster = CreateGifRaster(Info(), rows);
        if (!raster) return msg::kReadFailed;
        for (int y = 0; y < rows; ++y) {
            NextRow(raster->Row(y));
            if (Stopped()) return msg::kReadFailed;
        }
        band.raster_ = Shown(std::move(raster), whole);
        return band.raster_ ? nullptr : msg::kReadFailed;
    }

    std::unique_ptr<GifImageReader> reader_;
    bool rasterRows_;
    bool showDamage_;
    std::shared_ptr<GifSplitData> shown_;
    std::shared_ptr<DibImage> held_;           // an interlaced image, until a band takes it
    std::shared_ptr<GifSplitData> heldTiles_;  // GIF tiles cut from it
    int next_ = 0;                             // the picture row the next band starts at
    bool cut_ = false;                         // refused as too short for its picture
};

// Opens `file` for bands; returns nullptr or the failure message.
const char* Open(const SourceFilePtr& file, bool rasterRows, bool showDamage,
                 std::shared_ptr<GifSplitData> shown, std::unique_ptr<GifBands>& bands) {
    auto reader = std::make_unique<GifImageReader>();
    if (const char* failure = reader->Open(file.get())) return failure;
    if (shown) shown->info = reader->Info();
    bands = std::make_unique<GifBands>(std::move(reader), rasterRows, showDamage, std::move(shown));
    return nullptr;
}

}  // namespace

const char* ReadGifForSplit(const SourceFilePtr& file, uint64_t heldBytes,
                            std::shared_ptr<const GifSplitData>& out) {
    try {
        std::unique_ptr<GifBands> bands;
        if (const char* failure = Open(file, false, false, nullptr, bands)) return failure;
        const char* failure = nullptr;
        const std::unique_ptr<RowBand> band =
            ReadEveryRow(*bands, bands->Info().height, heldBytes, failure);
        if (!band) return failure;
        out = static_cast<GifBand&>(*band).indices_;
        return nullptr;
    } catch (...) {
        return msg::kReadFailed;
    }
}

}  // namespace gif

bool OpenGifBands(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
                  std::unique_ptr<RowBands>& bands) {
    try {
        const bool view = settings.GetInt("VIEW", "SHOW_DAMAGE", 0) != 0;
        // A view's picture read whole serves the GIF tiles of a split of it.
        std::shared_ptr<gif::GifSplitData> shown;
        if (view) shown = std::make_shared<gif::GifSplitData>();
        std::unique_ptr<gif::GifBands> opened;
        if (const char* failure = gif::Open(file, settings.RasterTiles(), view, shown, opened)) {
            out.error = failure;
            return false;
        }
        const gif::GifImageInfo& info = opened->Info();
        out.width = info.width;
        out.height = info.height;
        out.displayDepth = info.colorBits;
        out.colorKind = ColorKind::Indexed;
        out.interlaced = info.interlaced;
        out.tileData = std::move(shown);
        out.source = file;
        bands = std::move(opened);
        return true;
    } catch (...) {
        bands.reset();
        out.error = msg::kReadFailed;
        return false;
    }
}

}  // namespace tessarin
