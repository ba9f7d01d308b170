// TIFF files cut band by band. Rows come out of libtiff top to bottom: those
// of a striped file one scanline at a time (a strip is decoded once, as far
// as its rows are needed, and a strip that spans two bands goes on where the
// last band stopped), those of a tiled file a tile row at a time into a
// buffer that keeps the tile row a band ends in for the next. Separate
// planes are read by a handle each, so that every plane streams. Only the
// first image of the file is read.

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/checked_size.h"
#include "imaging/failure_text.h"
#include "imaging/messages.h"
#include "imaging/tiff/tiff_format.h"
#include "imaging/tiff/tiff_private.h"

namespace tessarin {
namespace {

using tiff::TiffLayout;
using tiff::TiffReader;

// The message of data that ends or breaks before the picture does.
constexpr const char* kDamaged = msg::kReadFailed;

// How the window's raster holds a row of the file's samples.
enum class RasterKind {
    kBilevel,  // 1-bit grey: the file's bits, with a two-colour table
    kGrey,     // 8 bits with a grey ramp
    kPalette,  // 8 bits of indices with the file's colour map
    kRgb,      // 24 bits
    kRgba,     // 32 bits, the fourth byte alpha
};

RasterKind RasterKindOf(const TiffLayout& layout) {
    switch (layout.photometric) {
        case PHOTOMETRIC_PALETTE:
            return RasterKind::kPalette;
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE:
            if (layout.alpha) return RasterKind::kRgba;
            return layout.bitsPerSample == 1 && layout.samplesPerPixel == 1 ? RasterKind::kBilevel
                                                                            : RasterKind::kGrey;
        default:
            return layout.alpha ? RasterKind::kRgba : RasterKind::kRgb;
    }
}

int RasterDepth(RasterKind kind) {
    switch (kind) {
        case RasterKind::kBilevel:
            return 1;
        case RasterKind::kGrey:
        case RasterKind::kPalette:
            return 8;
        case RasterKind::kRgb:
            return 24;
        case RasterKind::kRgba:
            return 32;
    }
    return 32;
}

// Sample `index` of a row of `bits`-bit samples, unscaled.
inline unsigned RawSample(const uint8_t* row, int bits, uint64_t index) {
    switch (bits) {
        case 8:
            return row[index];
        case 16: {
            uint16_t value;
            std::memcpy(&value, row + 2 * index, 2);
            return value;
        }
        default: {
            const uint64_t bit = index * static_cast<unsigned>(bits);
            const unsigned shift = 8 - static_cast<unsigned>(bits) - bit % 8;
            return (row[bit / 8] >> shift) & ((1u << bits) - 1);
        }
    }
}

// The same sample as 8 bits: 16-bit samples by their high byte, smaller
// ones stretched over the range.
inline uint8_t Sample8(const uint8_t* row, int bits, uint64_t index) {
    const unsigned value = RawSample(row, bits, index);
    if (bits == 8) return static_cast<uint8_t>(value);
    if (bits == 16) return static_cast<uint8_t>(value >> 8);
    return static_cast<uint8_t>(value * 255 / ((1u << bits) - 1));
}

inline uint8_t Unpremultiply(unsigned colour, unsigned alpha) {
    if (alpha == 0) return 0;
    return static_cast<uint8_t>(std::min(255u, (colour * 255 + alpha / 2) / alpha));
}

// Turns rows of the file's samples into rows of the window's raster.
class RasterRows {
  public:
    explicit RasterRows(const TiffLayout& layout) : layout_(layout), kind_(RasterKindOf(layout)) {}
    RasterKind Kind() const { return kind_; }

    std::vector<RgbQuad> Colours() const {
        std::vector<RgbQuad> colours;
        const bool white = layout_.photometric == PHOTOMETRIC_MINISWHITE;
        if (kind_ == RasterKind::kBilevel) {
            colours = {{0, 0, 0, 0}, {255, 255, 255, 0}};
            if (white) std::swap(colours[0], colours[1]);
        } else if (kind_ == RasterKind::kGrey) {
            for (int i = 0; i < 256; ++i) {
                const auto v = static_cast<uint8_t>(i);
                colours.push_back({v, v, v, 0});
            }
        } else if (kind_ == RasterKind::kPalette) {
            // Old writers stored 8-bit entries in the 16-bit map.
            bool eightBit = true;
            for (size_t i = 0; i < layout_.red.size(); ++i)
                if (layout_.red[i] > 255 || layout_.green[i] > 255 || layout_.blue[i] > 255)
                    eightBit = false;
            const unsigned shift = eightBit ? 0 : 8;
            for (size_t i = 0; i < layout_.red.size(); ++i)
                colours.push_back({static_cast<uint8_t>(layout_.blue[i] >> shift),
                                   static_cast<uint8_t>(layout_.green[i] >> shift),
                                   static_cast<uint8_t>(layout_.red[i] >> shift), 0});
        }
        return colours;
    }

    // One row: `planes` hold the file's row of each plane.
    void Convert(const uint8_t* const* planes, uint8_t* out) const {
        const int bits = layout_.bitsPerSample;
        const int spp = layout_.samplesPerPixel;
        const bool separate = layout_.planes > 1;
        const uint32_t width = layout_.width;
        // Sample s of pixel x, as 8 bits.
        auto at = [&](uint32_t x, int s) {
            return separate ? Sample8(planes[s], bits, x)
                            : Sample8(planes[0], bits,
                                      uint64_t{x} * static_cast<unsigned>(spp) +
                                          static_cast<unsigned>(s));
        };
        const bool white = layout_.photometric == PHOTOMETRIC_MINISWHITE;
        switch (kind_) {
            case RasterKind::kBilevel:
                std::memcpy(out, planes[0], layout_.rowBytes);
                return;
            case RasterKind::kPalette:
                for (uint32_t x = 0; x < width; ++x)
                    out[x] = static_cast<uint8_t>(RawSample(planes[0], bits, x));
                return;
            case RasterKind::kGrey:
                for (uint32_t x = 0; x < width; ++x)
                    out[x] = white ? static_cast<uint8_t>(255 - at(x, 0)) : at(x, 0);
                return;
            default:
                break;
        }
        const int step = kind_ == RasterKind::kRgba ? 4 : 3;
        if (!separate && bits == 8 && layout_.photometric == PHOTOMETRIC_RGB &&
            !layout_.associatedAlpha) {
            // The common case, without a call a sample.
            const uint8_t* in = planes[0];
            for (uint32_t x = 0; x < width; ++x, in += spp, out += step) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                if (step == 4) out[3] = in[3];
            }
            return;
        }
        for (uint32_t x = 0; x < width; ++x, out += step) {
            unsigned r, g, b;
            int alphaAt = 3;
            if (layout_.photometric == PHOTOMETRIC_RGB) {
                r = at(x, 0), g = at(x, 1), b = at(x, 2);
            } else if (layout_.photometric == PHOTOMETRIC_SEPARATED) {
                // As libtiff's RGBA interface makes colours of inks.
                const unsigned k = 255u - at(x, 3);
                r = k * (255u - at(x, 0)) / 255;
                g = k * (255u - at(x, 1)) / 255;
                b = k * (255u - at(x, 2)) / 255;
                alphaAt = 4;
            } else {
                r = g = b = white ? 255u - at(x, 0) : at(x, 0);
                alphaAt = 1;
            }
            if (step == 4) {
                const unsigned a = at(x, alphaAt);
                if (layout_.associatedAlpha) {
                    r = Unpremultiply(r, a), g = Unpremultiply(g, a), b = Unpremultiply(b, a);
                }
                out[3] = static_cast<uint8_t>(a);
            }
            out[0] = static_cast<uint8_t>(b);
            out[1] = static_cast<uint8_t>(g);
            out[2] = static_cast<uint8_t>(r);
        }
    }

  private:
    const TiffLayout& layout_;
    RasterKind kind_;
};

class TiffBand final : public RowBand {
  public:
    const TileSource* Tiles() const override { return tiles_.get(); }
    std::shared_ptr<const DibImage> Raster() const override { return raster_; }
    std::unique_ptr<uint8_t[]> samples_;  // the format's own tiles
    std::unique_ptr<TileSource> tiles_;
    std::shared_ptr<const DibImage> raster_;  // raster rows
};

class TiffBands final : public RowBands {
  public:
    TiffBands(std::shared_ptr<const TiffLayout> layout,
              std::vector<std::unique_ptr<TiffReader>> readers, bool rasterRows, bool view)
        : layout_(std::move(layout)),
          readers_(std::move(readers)),
          rasterRows_(rasterRows),
          view_(view),
          convert_(*layout_) {}

    uint64_t HeldBytes() const override {
        // A tiled file's tile row and one tile; the rows raster rows are
        // made from.
        uint64_t held = 0;
        if (layout_->tiled) held = TileRowBytes().value_or(UINT64_MAX / 4) + TileBytes();
        if (rasterRows_) held += layout_->rowBytes * static_cast<uint64_t>(layout_->planes);
        return held;
    }
    uint64_t BandBytes(int rows) const override {
        if (rows <= 0) return 0;
        if (rasterRows_) {
            const int depth = RasterDepth(convert_.Kind());
            if (!DibSizeAcceptable(layout_->width, rows, depth)) return 0;
            return CheckedSize(DibStride(layout_->width, depth), static_cast<uint64_t>(rows))
                .value_or(0);
        }
        return CheckedSize(layout_->rowBytes, static_cast<uint64_t>(layout_->planes),
                           static_cast<uint64_t>(rows))
            .value_or(0);
    }
    std::unique_ptr<RowBand> NewBand(int rows) override {
        auto band = std::make_unique<TiffBand>();
        if (!rasterRows_) {
            const uint64_t bytes = BandBytes(rows);
            if (bytes == 0) return nullptr;
            band->samples_.reset(new (std::nothrow) uint8_t[bytes]);
            if (!band->samples_) return nullptr;
        }
        return band;
    }
    const char* ReadRows(RowBand& band, int rows) override {
        auto& tiffBand = static_cast<TiffBand&>(band);
        tiffBand.tiles_.reset();
        tiffBand.raster_.reset();
        if (failure_) return failure_;
        if (rows <= 0 || rows > static_cast<int>(layout_->height) - top_) return msg::kReadFailed;
        try {
            failure_ = rasterRows_ ? ReadRaster(tiffBand, rows) : ReadSamples(tiffBand, rows);
        } catch (...) {
            failure_ = msg::kMemoryFailed;
        }
        if (!failure_ && damage_ && !view_) failure_ = damage_;
        if (failure_) {
            tiffBand.tiles_.reset();
            tiffBand.raster_.reset();
            return failure_;
        }
        top_ += rows;
        if (top_ == static_cast<int>(layout_->height)) {
            tileRow_.reset();
            tile_.reset();
        }
        return nullptr;
    }
    const char* Damage() const override { return damage_; }
    const char* MemoryMessage() const override { return msg::kMemoryFailed; }

  private:
    std::optional<uint64_t> TileRowBytes() const {
        return CheckedSize(layout_->rowBytes, layout_->tileLength,
                           static_cast<uint64_t>(layout_->planes));
    }
    uint64_t TileBytes() const {
        return layout_->tiled ? static_cast<uint64_t>(TIFFTileSize64(readers_[0]->Get())) : 0;
    }

    const char* ReadSamples(TiffBand& band, int rows) {
        const uint64_t planeBytes = layout_->rowBytes * static_cast<uint64_t>(rows);
        for (int p = 0; p < layout_->planes; ++p)
            for (int i = 0; i < rows; ++i)
                if (const char* failure =
                        ReadRow(p, top_ + i,
                                band.samples_.get() + planeBytes * static_cast<uint64_t>(p) +
                                    layout_->rowBytes * static_cast<uint64_t>(i)))
                    return failure;
        band.tiles_ = tiff::MakeTiffSampleTiles(layout_, band.samples_.get(), rows);
        return nullptr;
    }

    const char* ReadRaster(TiffBand& band, int rows) {
        if (!scratch_) {
            scratch_.reset(new (std::nothrow)
                               uint8_t[layout_->rowBytes * static_cast<uint64_t>(layout_->planes)]);
            if (!scratch_) return msg::kMemoryFailed;
        }
        BitmapInfoHeader header;
        header.biWidth = static_cast<int32_t>(layout_->width);
        header.biHeight = rows;
        header.biBitCount = static_cast<uint16_t>(RasterDepth(convert_.Kind()));
        if (layout_->hasResolution && layout_->resolutionUnit != RESUNIT_NONE) {
            const double perMetre = layout_->resolutionUnit == RESUNIT_CENTIMETER ? 100 : 39.3701;
            const double x = layout_->xResolution * perMetre, y = layout_->yResolution * perMetre;
            if (x > 0 && x < INT32_MAX && y > 0 && y < INT32_MAX) {
                header.biXPelsPerMeter = static_cast<int32_t>(x + 0.5);
                header.biYPelsPerMeter = static_cast<int32_t>(y + 0.5);
            }
        }
        const std::vector<RgbQuad> colours = convert_.Colours();
        std::unique_ptr<DibImage> raster =
            DibImage::Create(header, colours.data(), static_cast<int>(colours.size()));
        if (!raster) return msg::kMemoryFailed;
        const uint8_t* planes[8] = {};
        for (int p = 0; p < layout_->planes && p < 8; ++p)
            planes[p] = scratch_.get() + layout_->rowBytes * static_cast<uint64_t>(p);
        for (int i = 0; i < rows; ++i) {
            for (int p = 0; p < layout_->planes; ++p)
                if (const char* failure = ReadRow(p, top_ + i, const_cast<uint8_t*>(planes[p])))
                    return failure;
            convert_.Convert(planes, raster->Row(i));
        }
        band.raster_ = std::move(raster);
        return nullptr;
    }

    // Row y of plane p into `out`; once the data has broken, rows of zeros.
    const char* ReadRow(int p, int y, uint8_t* out) {
        if (damage_) {
            std::memset(out, 0, layout_->rowBytes);
            return view_ ? nullptr : damage_;
        }
        if (layout_->tiled) {
            const int first = y - y % static_cast<int>(layout_->tileLength);
            if (first != tileRowTop_)
                if (const char* failure = ReadTileRow(first)) return failure;
            if (!damage_) {
                std::memcpy(out,
                            tileRow_.get() + layout_->rowBytes *
                                                 (static_cast<uint64_t>(p) * layout_->tileLength +
                                                  static_cast<uint64_t>(y - first)),
                            layout_->rowBytes);
                return nullptr;
            }
        } else if (TIFFReadScanline(readers_[static_cast<size_t>(p)]->Get(), out,
                                    static_cast<uint32_t>(y), static_cast<uint16_t>(p)) == 1) {
            return nullptr;
        }
        damage_ = kDamaged;
        std::memset(out, 0, layout_->rowBytes);
        return view_ ? nullptr : damage_;
    }

    // Decodes the tiles of the tile row that starts at picture row `top`.
    const char* ReadTileRow(int top) {
        TIFF* tif = readers_[0]->Get();
        const uint64_t tileBytes = TileBytes();
        if (!tileRow_) {
            const std::optional<uint64_t> bytes = TileRowBytes();
            if (!bytes) return msg::kMemoryFailed;
            tileRow_.reset(new (std::nothrow) uint8_t[*bytes]);
            tile_.reset(new (std::nothrow) uint8_t[tileBytes]);
            if (!tileRow_ || !tile_) return msg::kMemoryFailed;
        }
        tileRowTop_ = top;
        const uint32_t tileWidth = layout_->tileWidth, tileLength = layout_->tileLength;
        const uint64_t tileRowBytes = (uint64_t{tileWidth} * layout_->bitsPerPlanePixel + 7) / 8;
        const uint32_t rows =
            std::min<uint32_t>(tileLength, layout_->height - static_cast<uint32_t>(top));
        for (int p = 0; p < layout_->planes; ++p)
            for (uint32_t x = 0; x < layout_->width; x += tileWidth) {
                const uint32_t tile = TIFFComputeTile(tif, x, static_cast<uint32_t>(top), 0,
                                                      static_cast<uint16_t>(p));
                if (TIFFReadEncodedTile(tif, tile, tile_.get(), static_cast<tmsize_t>(tileBytes)) <
                    0) {
                    damage_ = kDamaged;
                    return view_ ? nullptr : damage_;
                }
                const uint64_t at = uint64_t{x} * layout_->bitsPerPlanePixel / 8;
                const uint64_t bytes = std::min(tileRowBytes, layout_->rowBytes - at);
                for (uint32_t r = 0; r < rows; ++r)
                    std::memcpy(tileRow_.get() +
                                    layout_->rowBytes *
                                        (uint64_t{tileLength} * static_cast<uint64_t>(p) + r) +
                                    at,
                                tile_.get() + tileRowBytes * r, bytes);
            }
        return nullptr;
    }

    std::shared_ptr<const TiffLayout> layout_;
    std::vector<std::unique_ptr<TiffReader>> readers_;  // one a plane for strips, else one
    bool rasterRows_;
    bool view_;
    RasterRows convert_;
    std::unique_ptr<uint8_t[]> scratch_;  // a row of every plane, for raster rows
    std::unique_ptr<uint8_t[]> tileRow_;
    std::unique_ptr<uint8_t[]> tile_;
    int tileRowTop_ = -1;
    int top_ = 0;
    const char* failure_ = nullptr;
    const char* damage_ = nullptr;
};

bool Open(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
          std::unique_ptr<RowBands>& bands) {
    if (!file) {
        out.error = msg::kOpenFailed;
        return false;
    }
    auto first = std::make_unique<TiffReader>(file);
    if (!first->Open()) {
        out.error = msg::kOpenFailed;
        return false;
    }
    auto layout = std::make_shared<TiffLayout>();
    if (const char* failure = tiff::ReadTiffLayout(first->Get(), *layout)) {
        out.error = failure;
        return false;
    }
    if (layout->planes > 8) {
        out.error = tiff::kUnsupportedLayout;
        return false;
    }
    std::vector<std::unique_ptr<TiffReader>> readers;
    readers.push_back(std::move(first));
    // Separate planes in strips: a handle each, so that each streams.
    for (int p = 1; p < layout->planes && !layout->tiled; ++p) {
        auto reader = std::make_unique<TiffReader>(file);
        TiffLayout same;
        if (!reader->Open() || tiff::ReadTiffLayout(reader->Get(), same)) {
            out.error = msg::kOpenFailed;
            return false;
        }
        readers.push_back(std::move(reader));
    }
    const bool rasterRows = settings.RasterTiles();
    const bool view = settings.GetInt("VIEW", "SHOW_DAMAGE", 0) != 0;
    const RasterKind kind = RasterKindOf(*layout);
    out.width = static_cast<int>(layout->width);
    out.height = static_cast<int>(layout->height);
    out.displayDepth = layout->samplesPerPixel * layout->bitsPerSample;
    out.colorKind = kind == RasterKind::kPalette ? ColorKind::Indexed
                    : layout->photometric == PHOTOMETRIC_MINISBLACK ||
                            layout->photometric == PHOTOMETRIC_MINISWHITE
                        ? ColorKind::Grey
                        : ColorKind::None;
    out.alpha = kind == RasterKind::kRgba;
    out.iccProfile = layout->iccProfile;
    out.source = file;
    bands = std::make_unique<TiffBands>(std::move(layout), std::move(readers), rasterRows, view);
    return true;
}

}  // namespace

bool OpenTiffBands(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
                   std::unique_ptr<RowBands>& bands) {
    try {
        return Open(file, settings, out, bands);
    } catch (...) {
        bands.reset();
        SetFailureText(out.error, msg::kMemoryFailed);
        return false;
    }
}

}  // namespace tessarin
