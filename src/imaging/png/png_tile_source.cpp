// PNG tiles: each tile written losslessly from the shared decoded source (the
// file's samples, or the viewer's raster where it holds them unchanged), in
// the source's bit depth, colour type, interlace method, palette and chunks.

#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "imaging/checked_size.h"
#include "imaging/dib_image.h"
#include "imaging/failure_text.h"
#include "imaging/memory_budget.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_private.h"
#include "imaging/png/png_split_read.h"
#include "imaging/tile_settings.h"
#include "imaging/whole_band.h"
#include "platform/file_io.h"

namespace tessarin {
namespace {

using namespace png;

struct PngWriteHandles {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop endInfo = nullptr;
    PngWriteHandles() = default;
    PngWriteHandles(const PngWriteHandles&) = delete;
    PngWriteHandles& operator=(const PngWriteHandles&) = delete;
    ~PngWriteHandles() {
        if (endInfo) png_destroy_info_struct(png, &endInfo);
        png_destroy_write_struct(&png, &info);
    }
};

// Where a tile's rows come from, as plain data: row i of the tile in the
// file's sample layout (one byte per sample up to 8 bits), read in place or
// converted into `scratch`.
struct PngRowFeed {
    const uint8_t* samples = nullptr;  // the decoded samples, or null for the raster
    size_t rowBytes = 0;
    size_t bytesPerPixel = 0;
    const DibImage* raster = nullptr;
    PngRasterRows layout = PngRasterRows::kNone;
    int x = 0;
    int y = 0;
    int width = 0;
    uint8_t* scratch = nullptr;  // width x bytesPerPixel bytes
};

const uint8_t* FeedRow(const PngRowFeed& feed, int i) {
    if (!feed.raster)
        return feed.samples + static_cast<size_t>(feed.y + i) * feed.rowBytes +
               static_cast<size_t>(feed.x) * feed.bytesPerPixel;
    const uint8_t* row = feed.raster->Row(feed.y + i);
    switch (feed.layout) {
        case PngRasterRows::kPacked: {
            const int bits = feed.raster->BitCount();
            for (int j = 0; j < feed.width; ++j) feed.scratch[j] = IndexAt(row, bits, feed.x + j);
            return feed.scratch;
        }
        case PngRasterRows::kGreyAlpha: {
            const uint8_t* pixel = row + static_cast<size_t>(feed.x) * 4;
            for (int j = 0; j < feed.width; ++j, pixel += 4) {
                feed.scratch[2 * j] = pixel[0];
                feed.scratch[2 * j + 1] = pixel[3];
            }
            return feed.scratch;
        }
        default:  // indices, or colours the writer takes in blue-green-red order
            return row + static_cast<size_t>(feed.x) * feed.bytesPerPixel;
    }
}

// Everything one tile's guarded write needs, as plain pointers.
struct PngTileJob {
    std::FILE* file = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    const PngSplitImage* source = nullptr;
    const PngChunkViews* beforeViews = nullptr;
    const PngChunkViews* afterViews = nullptr;
    const PngRowFeed* rows = nullptr;
};

void WriteToFile(png_structp png, png_bytep data, size_t length) {
    auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
    // A full disk must not pass for a written tile.
    if (std::fwrite(data, 1, length, file) != length) png_error(png, "write failed");
}

void FlushNothing(png_structp) {}

void SetTileCompression(png_structp png, int compression, int colorType, int bitDepth) {
    bool fast = compression == kDefaultPngCompression;
#ifdef TESSARIN_PNG_LIBRARY_DEFAULTS
    fast = false;
#endif
    if (fast) {
        // Fast compression, the default: level 1, and for 8- and 16-bit
        // samples the Up filter with run-length matching instead of trying
        // every filter per row. On a large photograph this takes about a
        // third of the time of the library's defaults for files about a
        // tenth larger. Palette and low-depth images stay unfiltered, as by
        // default.
        png_set_compression_level(png, 1);
        if (colorType != PNG_COLOR_TYPE_PALETTE && bitDepth >= 8) {
            png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
            png_set_compression_strategy(png, Z_RLE);
        }
    } else {
        png_set_compression_level(png, std::clamp(compression, 0, 9));  // its own filters
    }
}

bool PngWriteTileGuarded(png_structp png, png_infop info, png_infop endInfo,
                         const PngTileJob* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    const PngSplitImage& source = *job->source;
    // Chunks the library doubts (an odd ICC profile, say) are left out of the
    // tile instead of failing it.
    png_set_benign_errors(png, 1);
    png_set_write_fn(png, job->file, WriteToFile, FlushNothing);
    SetTileCompression(png, source.compression, source.colorType, source.bitDepth);
    png_set_IHDR(png, info, job->width, job->height, source.bitDepth, source.colorType,
                 source.interlaceMethod, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    SetPngChunks(png, info, source.beforeImageData, *job->beforeViews);
    SetPngChunks(png, endInfo, source.afterImageData, *job->afterViews);
    png_write_info(png, info);
    if (source.bitDepth < 8) png_set_packing(png);
    const PngRowFeed& feed = *job->rows;
    if (feed.raster && feed.layout == PngRasterRows::kBgr) png_set_bgr(png);
    // As png_write_image does it, one row at a time. The library copies each
    // row before it packs, swaps, filters or interlaces it.
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 i = 0; i < job->height; ++i)
            png_write_row(png, FeedRow(feed, static_cast<int>(i)));
    png_write_end(png, endInfo);
    return true;
}

class PngTileSource final : public TileSource {
  public:
    // The rows of `raster`, which holds the samples as `source` says.
    PngTileSource(std::shared_ptr<const PngSplitImage> source,
                  std::shared_ptr<const DibImage> raster)
        : source_(std::move(source)), raster_(std::move(raster)), height_(source_->height) {}
    // Rows of samples the source does not hold itself.
    PngTileSource(std::shared_ptr<const PngSplitImage> source, const uint8_t* samples, int rows)
        : source_(std::move(source)), samples_(samples), height_(rows) {}

    const char* WriteTile(const TileRect& rect, const TileFile& tileFile,
                          TileContext& context) const override {
        const PngSplitImage& source = *source_;
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height, source.width, height_))
            return kWriteFailed;

        // Text chunks go into the first tile of each worker only.
        const bool withText = context.tilesWritten == 0;
        PngChunkViews beforeViews, afterViews;
        if (!BuildPngChunkViews(source.beforeImageData, withText, beforeViews) ||
            !BuildPngChunkViews(source.afterImageData, withText, afterViews))
            return kPrepareWriteFailed;
        PngRowFeed feed;
        feed.samples = samples_;
        feed.rowBytes = source.rowBytes;
        feed.bytesPerPixel = source.bytesPerPixel;
        feed.x = rect.x;
        feed.y = rect.y;
        feed.width = rect.width;
        std::unique_ptr<uint8_t[]> scratch;
        if (!samples_) {
            feed.raster = raster_.get();
            feed.layout = source.rasterRows;
            scratch.reset(new (std::nothrow)
                              uint8_t[static_cast<size_t>(rect.width) * source.bytesPerPixel]);
            if (!scratch) return kPrepareWriteFailed;
            feed.scratch = scratch.get();
        }

        FilePtr file(OpenWriteStream(tileFile.fd));
        if (!file) return kWriteFailed;
        PngWriteHandles handles;
        handles.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorSilently,
                                              PngWarningSilently);
        if (!handles.png) return kPrepareWriteFailed;
        handles.info = png_create_info_struct(handles.png);
        handles.endInfo = png_create_info_struct(handles.png);
        if (!handles.info || !handles.endInfo) return kPrepareWriteFailed;

        PngTileJob job;
        job.file = file.get();
        job.width = static_cast<png_uint_32>(rect.width);
        job.height = static_cast<png_uint_32>(rect.height);
        job.source = &source;
        job.beforeViews = &beforeViews;
        job.afterViews = &afterViews;
        job.rows = &feed;
        if (!PngWriteTileGuarded(handles.png, handles.info, handles.endInfo, &job))
            return kWriteFailed;
        if (std::fclose(file.release()) != 0) return kWriteFailed;
        return nullptr;
    }

    const char* SaveFailedMessage() const override { return kWriteFailed; }

  private:
    std::shared_ptr<const PngSplitImage> source_;
    std::shared_ptr<const DibImage> raster_;
    const uint8_t* samples_ = nullptr;  // null when the raster holds the rows
    int height_ = 0;
};

// How `raster` holds the samples of a file of `source`'s kind, or kNone when
// it does not hold them unchanged: 16-bit samples are cut to 8, and a 2-bit
// palette with a repeated colour among its first four entries is shown by
// fewer indices.
PngRasterRows RasterRowsFor(const PngSplitImage& source, const DibImage& raster) {
    if (source.bitDepth == 16 || raster.Width() != source.width ||
        raster.AbsHeight() != source.height)
        return PngRasterRows::kNone;
    const int depth = raster.BitCount();
    switch (source.colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            if (depth == 8 && source.bitDepth == 8) return PngRasterRows::kIndices;
            if (source.bitDepth == 2) {
                if (depth != 4) return PngRasterRows::kNone;
                for (int i = 0; i < 4; ++i)
                    for (int j = 0; j < i; ++j)
                        if (std::memcmp(&raster.Colors()[static_cast<size_t>(i)],
                                        &raster.Colors()[static_cast<size_t>(j)],
                                        sizeof(RgbQuad)) == 0)
                            return PngRasterRows::kNone;
                return PngRasterRows::kPacked;
            }
            return depth == source.bitDepth ? PngRasterRows::kPacked : PngRasterRows::kNone;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return depth == 32 ? PngRasterRows::kGreyAlpha : PngRasterRows::kNone;
        default:
            return depth == static_cast<int>(source.bytesPerPixel) * 8 ? PngRasterRows::kBgr
                                                                       : PngRasterRows::kNone;
    }
}

// The settings the file's own bands are opened with: rows of samples, for
// tiles at the split's compression.
class SampleSettings final : public TileSettings {
  public:
    explicit SampleSettings(int compression) : compression_(compression) {}
    int GetInt(std::string_view section, std::string_view key, int fallback) const override {
        return section == "PNG" && key == "COMPRESSION" ? compression_ : fallback;
    }

  private:
    int compression_;
};

// Tiles from one band of every row of the file, which it keeps.
class WholeBandTiles final : public TileSource {
  public:
    WholeBandTiles(std::unique_ptr<RowBands> bands, std::unique_ptr<RowBand> band)
        : bands_(std::move(bands)), band_(std::move(band)) {}
    const char* WriteTile(const TileRect& rect, const TileFile& tileFile,
                          TileContext& context) const override {
        return band_->Tiles()->WriteTile(rect, tileFile, context);
    }
    const char* SaveFailedMessage() const override { return kWriteFailed; }

  private:
    std::unique_ptr<RowBands> bands_;
    std::unique_ptr<RowBand> band_;
};

// The tile source's message for a reader's: a file that no longer reads is
// the split's read failure.
const char* SplitMessage(const char* failure) {
    return std::strcmp(failure, msg::kOpenFailed) == 0 ? msg::kReadFailed : failure;
}

std::unique_ptr<TileSource> Make(const CurrentImage& image, int compression, std::string& error) {
    const SourceFilePtr file = SourceFileOf(image);
    auto fail = [&error](const char* message) {
        error = message;
        return nullptr;
    };
    // The tile grid comes from the loaded image; a file changed since then
    // must not be cut with it.
    if (image.raster) {
        // The raster holds the samples of most files: only the chunks are read.
        const char* openError = nullptr;
        if (!OpenPngFile(file.get(), openError)) return fail(openError);
        auto source = std::make_shared<PngSplitImage>();
        if (const char* failure = ReadPngChunks(*file, *source)) return fail(SplitMessage(failure));
        if (source->width != image.width || source->height != image.height)
            return fail(msg::kReadFailed);
        source->rasterRows = RasterRowsFor(*source, *image.raster);
        source->compression = compression;
        if (source->rasterRows != PngRasterRows::kNone)
            return std::make_unique<PngTileSource>(std::move(source), image.raster);
    }
    // Otherwise the file's samples are decoded by its bands, one band of
    // every row, beside the raster the split holds. Nothing larger than a
    // raster could hold is decoded (the file was shown before it is split,
    // so this only trips when it changed meanwhile).
    if (image.width <= 0 || image.height <= 0 ||
        !CheckedSize(static_cast<uint64_t>(image.width), static_cast<uint64_t>(image.height), 1, 0,
                     kMaxRasterPixels))
        return fail(msg::kReadFailed);
    LoadedImage header;
    std::unique_ptr<RowBands> bands;
    if (!OpenPngBands(file, SampleSettings(compression), header, bands) || !bands)
        return fail(SplitMessage(header.error.empty() ? msg::kReadFailed : header.error.c_str()));
    if (header.width != image.width || header.height != image.height) return fail(msg::kReadFailed);
    const char* failure = nullptr;
    std::unique_ptr<RowBand> band =
        ReadEveryRow(*bands, header.height, image.raster ? image.raster->ImageSize() : 0, failure);
    if (!band) return fail(SplitMessage(failure));
    if (!band->Tiles()) return fail(msg::kReadFailed);
    return std::make_unique<WholeBandTiles>(std::move(bands), std::move(band));
}

// How a raster of another file's is written as PNG.
struct RasterLayout {
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool packed = false;      // 1-, 4- or 8-bit indices or grey levels, copied as they are
    bool direct = false;      // 24- or 32-bit rows handed over in blue-green-red order
    bool filler = false;      // a 32-bit row whose fourth byte is not alpha, stripped
    size_t scratchBytes = 0;  // per pixel, for rows converted first
};

RasterLayout LayoutOf(const DibImage& raster, bool alpha) {
    RasterLayout layout;
    const int depth = raster.BitCount();
    if (depth <= 8) {
        layout.colorType = HasGreyRamp(raster) ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
        layout.bitDepth = depth;
        layout.packed = true;
    } else if (depth == 24 || depth == 32) {
        layout.colorType = depth == 32 && alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
        layout.direct = true;
        layout.filler = depth == 32 && !alpha;
    } else {
        layout.scratchBytes = 3;  // 16-bit colours, widened
    }
    return layout;
}

struct RasterTileJob {
    std::FILE* file = nullptr;
    const DibImage* raster = nullptr;
    const IccProfile* profile = nullptr;
    RasterLayout layout;
    int compression = kDefaultPngCompression;
    TileRect rect;
    uint8_t* scratch = nullptr;
};

bool WriteRasterTileGuarded(png_structp png, png_infop info, const RasterTileJob* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    const DibImage& raster = *job->raster;
    const RasterLayout& layout = job->layout;
    const TileRect& rect = job->rect;
    png_set_benign_errors(png, 1);  // a profile the library doubts is left out
    png_set_write_fn(png, job->file, WriteToFile, FlushNothing);
    SetTileCompression(png, job->compression, layout.colorType, layout.bitDepth);
    png_set_IHDR(png, info, static_cast<png_uint_32>(rect.width),
                 static_cast<png_uint_32>(rect.height), layout.bitDepth, layout.colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (layout.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[256];
        const int count = 1 << layout.bitDepth;
        for (int i = 0; i < count; ++i) {
            const RgbQuad c = raster.ColorAt(i);
            palette[i] = {c.red, c.green, c.blue};
        }
        png_set_PLTE(png, info, palette, count);
    }
    const BitmapInfoHeader& header = raster.Header();
    if (header.biXPelsPerMeter > 0 && header.biYPelsPerMeter > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(header.biXPelsPerMeter),
                     static_cast<png_uint_32>(header.biYPelsPerMeter), PNG_RESOLUTION_METER);
    if (job->profile && !job->profile->empty())
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, job->profile->data(),
                     static_cast<png_uint_32>(job->profile->size()));
    png_write_info(png, info);
    if (layout.direct) png_set_bgr(png);
    if (layout.filler) png_set_filler(png, 0, PNG_FILLER_AFTER);
    const size_t pixelBytes = static_cast<size_t>(raster.BitCount() / 8);
    for (int i = 0; i < rect.height; ++i) {
        const int y = rect.y + i;
        if (layout.direct) {
            png_write_row(png, raster.Row(y) + static_cast<size_t>(rect.x) * pixelBytes);
        } else {
            if (layout.packed)
                CopyRowSegment(raster, rect.x, y, rect.width, job->scratch);
            else
                RowAsColours(raster, false, rect.x, y, rect.width, ColourOrder::kRgb, job->scratch);
            png_write_row(png, job->scratch);
        }
    }
    png_write_end(png, info);
    return true;
}

// PNG tiles of another file's raster: its pixels exactly, its alpha, its
// resolution and colour profile.
class RasterTiles final : public TileSource {
  public:
    RasterTiles(const CurrentImage& rows, int compression)
        : raster_(rows.raster),
          profile_(rows.iccProfile),
          layout_(LayoutOf(*raster_, rows.alpha)),
          compression_(compression) {}

    const char* WriteTile(const TileRect& rect, const TileFile& tileFile,
                          TileContext&) const override {
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height, raster_->Width(),
                          raster_->AbsHeight()))
            return kWriteFailed;
        RasterTileJob job;
        job.raster = raster_.get();
        job.profile = profile_.get();
        job.layout = layout_;
        job.compression = compression_;
        job.rect = rect;
        std::unique_ptr<uint8_t[]> scratch;
        if (!layout_.direct) {
            const size_t bytes = layout_.packed ? DibStride(rect.width, raster_->BitCount())
                                                : static_cast<size_t>(rect.width) * 3;
            scratch.reset(new (std::nothrow) uint8_t[bytes]);
            if (!scratch) return kPrepareWriteFailed;
            job.scratch = scratch.get();
        }
        FilePtr file(OpenWriteStream(tileFile.fd));
        if (!file) return kWriteFailed;
        job.file = file.get();
        PngWriteHandles handles;
        handles.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorSilently,
                                              PngWarningSilently);
        if (!handles.png) return kPrepareWriteFailed;
        handles.info = png_create_info_struct(handles.png);
        if (!handles.info) return kPrepareWriteFailed;
        if (!WriteRasterTileGuarded(handles.png, handles.info, &job)) return kWriteFailed;
        if (std::fclose(file.release()) != 0) return kWriteFailed;
        return nullptr;
    }

    const char* SaveFailedMessage() const override { return kWriteFailed; }

  private:
    std::shared_ptr<const DibImage> raster_;
    std::shared_ptr<const IccProfile> profile_;
    RasterLayout layout_;
    int compression_;
};

}  // namespace

std::unique_ptr<TileSource> MakePngRasterTiles(const CurrentImage& rows, std::string& error,
                                               int compression) {
    try {
        if (!rows.raster) {
            error = msg::kClipFailed;
            return nullptr;
        }
        return std::make_unique<RasterTiles>(rows, compression);
    } catch (...) {
        SetFailureText(error, kPrepareReadFailed);
        return nullptr;
    }
}

namespace png {

std::unique_ptr<TileSource> MakePngRowTiles(std::shared_ptr<const PngSplitImage> file,
                                            const uint8_t* samples, int rows) {
    return std::make_unique<PngTileSource>(std::move(file), samples, rows);
}

}  // namespace png

std::unique_ptr<TileSource> MakePngTileSource(const CurrentImage& image, std::string& error,
                                              int compression) {
    try {
        return Make(image, compression, error);
    } catch (...) {
        SetFailureText(error, kPrepareReadFailed);
        return nullptr;
    }
}

}  // namespace tessarin
