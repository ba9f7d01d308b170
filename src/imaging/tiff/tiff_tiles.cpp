// TIFF tiles. A TIFF file's tiles repeat its layout (samples, depth,
// photometric interpretation, extra samples, colour map, planes,
// compression and predictor, resolution and profile) and hold exactly its
// decoded samples; they are written in strips. Another file's tiles are cut
// from its raster losslessly: a palette stays a palette, grey stays grey,
// alpha stays, compressed with Deflate.

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/checked_size.h"
#include "imaging/failure_text.h"
#include "imaging/messages.h"
#include "imaging/tiff/tiff_format.h"
#include "imaging/tiff/tiff_private.h"
#include "imaging/whole_band.h"

namespace tessarin {
namespace {

using tiff::TiffLayout;
using tiff::TiffWriter;

// Tiles over 2 GiB of samples are written as BigTIFF.
constexpr uint64_t kBigTiffBytes = uint64_t{1} << 31;

// Tiles written in strips of rows of one layout, each strip filled from
// what the tiles are cut from.
class StripTiles : public TileSource {
  public:
    const char* WriteTile(const TileRect& rect, const TileFile& file, TileContext&) const override {
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height, Width(), Height()))
            return msg::kClipFailed;
        return WriteStrips(file.fd, rect);
    }
    const char* SaveFailedMessage() const override { return msg::kSaveFailed; }

  protected:
    virtual const TiffLayout& Layout() const = 0;
    virtual int64_t Width() const = 0;
    virtual int64_t Height() const = 0;
    // Rows [top, top + rows) of plane `plane` of the tile of `rect` into
    // `out`, tileRowBytes apart.
    virtual void FillRows(const TileRect& rect, int plane, uint32_t top, uint32_t rows,
                          uint64_t tileRowBytes, uint8_t* out) const = 0;

  private:
    const char* WriteStrips(int fd, const TileRect& rect) const;
};

// Writes the tile of `rect` into `fd`. nullptr on success, else the message.
const char* StripTiles::WriteStrips(int fd, const TileRect& rect) const {
    const TiffLayout& layout = Layout();
    const auto width = static_cast<uint32_t>(rect.width);
    const auto height = static_cast<uint32_t>(rect.height);
    const std::optional<uint64_t> rowBits = CheckedSize(width, layout.bitsPerPlanePixel, 1, 7);
    if (!rowBits) return msg::kSaveFailed;
    const uint64_t rowBytes = *rowBits / 8;
    const uint32_t stripRows = tiff::StripRows(rowBytes, height);
    const std::optional<uint64_t> total =
        CheckedSize(rowBytes, height, static_cast<uint64_t>(layout.planes));
    if (!total) return msg::kSaveFailed;
    std::unique_ptr<uint8_t[]> strip(new (std::nothrow) uint8_t[rowBytes * stripRows]);
    if (!strip) return msg::kMemoryFailed;
    TiffWriter writer(fd);
    if (!writer.Open(*total >= kBigTiffBytes)) return msg::kSaveFailed;
    TIFF* tif = writer.Get();
    if (!tiff::SetTiffTileTags(tif, layout, width, height, stripRows)) return msg::kSaveFailed;
    const uint32_t strips = (height + stripRows - 1) / stripRows;
    // LZW strips are encoded here, faster than by the library.
    const bool lzw = layout.tileCompression == COMPRESSION_LZW &&
                     (layout.tilePredictor == PREDICTOR_NONE || layout.bitsPerSample >= 8);
    std::vector<uint8_t> encoded;
    for (int p = 0; p < layout.planes; ++p)
        for (uint32_t s = 0; s < strips; ++s) {
            const uint32_t top = s * stripRows;
            const uint32_t rows = std::min(stripRows, height - top);
            FillRows(rect, p, top, rows, rowBytes, strip.get());
            const uint32_t index = static_cast<uint32_t>(p) * strips + s;
            if (lzw) {
                if (layout.tilePredictor == PREDICTOR_HORIZONTAL)
                    tiff::DifferenceRows(strip.get(), rows, rowBytes, layout.bitsPerSample,
                                         layout.planes > 1 ? 1 : layout.samplesPerPixel);
                if (!tiff::EncodeLzw(strip.get(), rowBytes * rows, encoded))
                    return msg::kMemoryFailed;
                if (TIFFWriteRawStrip(tif, index, encoded.data(),
                                      static_cast<tmsize_t>(encoded.size())) < 0)
                    return msg::kSaveFailed;
            } else if (TIFFWriteEncodedStrip(tif, index, strip.get(),
                                             static_cast<tmsize_t>(rowBytes * rows)) < 0) {
                return msg::kSaveFailed;
            }
        }
    return writer.Finish() ? nullptr : msg::kSaveFailed;
}

// Tiles cut from rows of a file's decoded samples.
class SampleTiles final : public StripTiles {
  public:
    SampleTiles(std::shared_ptr<const TiffLayout> layout, const uint8_t* samples, int rows)
        : layout_(std::move(layout)), samples_(samples), rows_(rows) {}

  private:
    const TiffLayout& Layout() const override { return *layout_; }
    int64_t Width() const override { return layout_->width; }
    int64_t Height() const override { return rows_; }
    void FillRows(const TileRect& rect, int plane, uint32_t top, uint32_t rows,
                  uint64_t tileRowBytes, uint8_t* out) const override {
        const TiffLayout& layout = *layout_;
        const uint64_t bits = layout.bitsPerPlanePixel;
        const uint8_t* planeStart = samples_ + layout.rowBytes * static_cast<uint64_t>(rows_) *
                                                   static_cast<uint64_t>(plane);
        for (uint32_t i = 0; i < rows; ++i)
            tiff::CopyBits(planeStart + layout.rowBytes * (static_cast<uint64_t>(rect.y) + top + i),
                           static_cast<uint64_t>(rect.x) * bits,
                           static_cast<uint64_t>(rect.width) * bits, out + tileRowBytes * i);
    }

    std::shared_ptr<const TiffLayout> layout_;
    const uint8_t* samples_;
    int rows_;
};

// The settings a shown file's own bands are opened with: rows of samples.
class SampleSettings final : public TileSettings {
  public:
    int GetInt(std::string_view, std::string_view, int fallback) const override { return fallback; }
};

// Tiles from one band of every row of the file, which it keeps.
class WholeBandTiles final : public TileSource {
  public:
    WholeBandTiles(std::unique_ptr<RowBands> bands, std::unique_ptr<RowBand> band)
        : bands_(std::move(bands)), band_(std::move(band)) {}
    const char* WriteTile(const TileRect& rect, const TileFile& file,
                          TileContext& context) const override {
        return band_->Tiles()->WriteTile(rect, file, context);
    }
    const char* SaveFailedMessage() const override { return msg::kSaveFailed; }

  private:
    std::unique_ptr<RowBands> bands_;
    std::unique_ptr<RowBand> band_;
};

std::unique_ptr<TileSource> MakeFromFile(const CurrentImage& image, std::string& error) {
    auto fail = [&error](const char* message) {
        error = message;
        return nullptr;
    };
    const SourceFilePtr file = SourceFileOf(image);
    LoadedImage header;
    std::unique_ptr<RowBands> bands;
    if (!OpenTiffBands(file, SampleSettings(), header, bands) || !bands)
        return fail(header.error.empty() ? msg::kReadFailed : header.error.c_str());
    // The grid was made for the loaded image: a file changed since is not cut.
    if (header.width != image.width || header.height != image.height) return fail(msg::kReadFailed);
    const char* failure = nullptr;
    std::unique_ptr<RowBand> band =
        ReadEveryRow(*bands, header.height, image.raster ? image.raster->ImageSize() : 0, failure);
    if (!band || !band->Tiles()) return fail(failure ? failure : msg::kReadFailed);
    return std::make_unique<WholeBandTiles>(std::move(bands), std::move(band));
}

// How a raster's rows become a tile's samples.
enum class RasterSamples { kIndices, kRgb, kRgba };

// Tiles of another file's raster.
class RasterTiles final : public StripTiles {
  public:
    RasterTiles(std::shared_ptr<const DibImage> raster, TiffLayout layout, RasterSamples samples)
        : raster_(std::move(raster)), layout_(std::move(layout)), samples_(samples) {}

  private:
    const TiffLayout& Layout() const override { return layout_; }
    int64_t Width() const override { return raster_->Width(); }
    int64_t Height() const override { return raster_->AbsHeight(); }
    void FillRows(const TileRect& rect, int, uint32_t top, uint32_t rows, uint64_t tileRowBytes,
                  uint8_t* out) const override {
        for (uint32_t i = 0; i < rows; ++i) {
            const int y = rect.y + static_cast<int>(top + i);
            uint8_t* row = out + tileRowBytes * i;
            switch (samples_) {
                case RasterSamples::kIndices:
                    CopyRowSegment(*raster_, rect.x, y, rect.width, row);
                    break;
                case RasterSamples::kRgb:
                    RowAsColours(*raster_, false, rect.x, y, rect.width, ColourOrder::kRgb, row);
                    break;
                case RasterSamples::kRgba:
                    RowAsColours(*raster_, true, rect.x, y, rect.width, ColourOrder::kRgba, row);
                    break;
            }
        }
    }

    std::shared_ptr<const DibImage> raster_;
    TiffLayout layout_;
    RasterSamples samples_;
};

std::unique_ptr<TileSource> MakeFromRaster(const CurrentImage& rows, std::string& error) {
    if (!rows.raster) {
        error = msg::kClipFailed;
        return nullptr;
    }
    const DibImage& raster = *rows.raster;
    const int depth = raster.BitCount();
    TiffLayout layout;
    layout.tileCompression = COMPRESSION_ADOBE_DEFLATE;
    RasterSamples samples = RasterSamples::kRgb;
    if (depth == 1 || depth == 4 || depth == 8) {
        samples = RasterSamples::kIndices;
        layout.bitsPerSample = static_cast<uint16_t>(depth);
        if (HasGreyRamp(raster)) {
            layout.photometric = PHOTOMETRIC_MINISBLACK;
        } else {
            layout.photometric = PHOTOMETRIC_PALETTE;
            for (int i = 0; i < (1 << depth); ++i) {
                const RgbQuad c = raster.ColorAt(i);
                layout.red.push_back(static_cast<uint16_t>(c.red * 257));
                layout.green.push_back(static_cast<uint16_t>(c.green * 257));
                layout.blue.push_back(static_cast<uint16_t>(c.blue * 257));
            }
        }
        // Differences of indices compress no better than the indices.
        if (depth == 8 && layout.photometric == PHOTOMETRIC_MINISBLACK)
            layout.tilePredictor = PREDICTOR_HORIZONTAL;
    } else {
        layout.photometric = PHOTOMETRIC_RGB;
        layout.bitsPerSample = 8;
        layout.samplesPerPixel = 3;
        layout.tilePredictor = PREDICTOR_HORIZONTAL;
        if (depth == 32 && rows.alpha) {
            samples = RasterSamples::kRgba;
            layout.samplesPerPixel = 4;
            layout.extraSamples = {EXTRASAMPLE_UNASSALPHA};
        }
    }
    layout.bitsPerPlanePixel = uint32_t{layout.bitsPerSample} * layout.samplesPerPixel;
    const BitmapInfoHeader& header = raster.Header();
    if (header.biXPelsPerMeter > 0 && header.biYPelsPerMeter > 0) {
        layout.hasResolution = true;
        layout.resolutionUnit = RESUNIT_CENTIMETER;
        layout.xResolution = static_cast<float>(header.biXPelsPerMeter / 100.0);
        layout.yResolution = static_cast<float>(header.biYPelsPerMeter / 100.0);
    }
    layout.iccProfile = rows.iccProfile;
    return std::make_unique<RasterTiles>(rows.raster, std::move(layout), samples);
}

}  // namespace

namespace tiff {

std::unique_ptr<TileSource> MakeTiffSampleTiles(std::shared_ptr<const TiffLayout> layout,
                                                const uint8_t* samples, int rows) {
    return std::make_unique<SampleTiles>(std::move(layout), samples, rows);
}

}  // namespace tiff

std::unique_ptr<TileSource> MakeTiffTileSource(const CurrentImage& image, std::string& error) {
    try {
        return MakeFromFile(image, error);
    } catch (...) {
        SetFailureText(error, msg::kMemoryFailed);
        return nullptr;
    }
}

std::unique_ptr<TileSource> MakeTiffRasterTiles(const CurrentImage& rows, std::string& error) {
    try {
        return MakeFromRaster(rows, error);
    } catch (...) {
        SetFailureText(error, msg::kMemoryFailed);
        return nullptr;
    }
}

}  // namespace tessarin
