// PNG tiles: each tile written losslessly from the shared decoded source (the
// file's samples, or the viewer's raster where it holds them unchanged), in
// the source's bit depth, colour type, interlace method, palette and chunks.

#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <new>

#include "imaging/dib_image.h"
#include "imaging/failure_text.h"
#include "imaging/memory_budget.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_split_read.h"
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

bool PngWriteTileGuarded(png_structp png, png_infop info, png_infop endInfo,
                         const PngTileJob* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    const PngSplitImage& source = *job->source;
    // Chunks the library doubts (an odd ICC profile, say) are left out of the
    // tile instead of failing it.
    png_set_benign_errors(png, 1);
    png_set_write_fn(png, job->file, WriteToFile, FlushNothing);
#ifndef TESSARIN_PNG_LIBRARY_DEFAULTS
    // Fast compression: level 1, and for 8- and 16-bit samples the Up filter
    // with run-length matching instead of trying every filter per row. On a
    // large photograph this takes about a third of the time of the library's
    // defaults for files about a tenth larger. Palette and low-depth images
    // stay unfiltered, as by default.
    png_set_compression_level(png, 1);
    if (source.colorType != PNG_COLOR_TYPE_PALETTE && source.bitDepth >= 8) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
        png_set_compression_strategy(png, Z_RLE);
    }
#endif
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
    // `raster` is where the rows are when the source has no samples of its own.
    PngTileSource(std::shared_ptr<const PngSplitImage> source,
                  std::shared_ptr<const DibImage> raster)
        : source_(std::move(source)),
          raster_(std::move(raster)),
          samples_(source_->samples.get()),
          height_(source_->height) {}
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
            feed.raster = source.indices ? source.indices.get() : raster_.get();
            feed.layout = source.indices ? PngRasterRows::kIndices : source.rasterRows;
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

// The depth of the raster whose rows hold the samples as `source` says.
int RasterDepthFor(const PngSplitImage& source) {
    switch (source.rasterRows) {
        case PngRasterRows::kIndices:
            return 8;
        case PngRasterRows::kPacked:
            return source.bitDepth == 2 ? 4 : source.bitDepth;
        case PngRasterRows::kBgr:
            return static_cast<int>(source.bytesPerPixel) * 8;
        case PngRasterRows::kGreyAlpha:
            return 32;
        default:
            return 0;
    }
}

// Whether what the loader kept for the tiles can be cut as it stands.
bool Usable(const PngSplitImage& source, const CurrentImage& image) {
    if (source.width != image.width || source.height != image.height) return false;
    if (source.samples) return true;
    const DibImage* rows = source.indices ? source.indices.get() : image.raster.get();
    const int depth = source.indices ? 8 : RasterDepthFor(source);
    return rows && depth != 0 && rows->BitCount() == depth && rows->Width() == image.width &&
           rows->AbsHeight() == image.height;
}

}  // namespace

namespace png {

std::unique_ptr<TileSource> MakePngRowTiles(std::shared_ptr<const PngSplitImage> file,
                                            const uint8_t* samples, int rows) {
    return std::make_unique<PngTileSource>(std::move(file), samples, rows);
}

}  // namespace png

std::unique_ptr<TileSource> MakePngTileSource(const CurrentImage& image, std::string& error) {
    try {
        // Loaded with its samples, or with a raster that holds them: nothing
        // is decoded again.
        if (auto kept = std::dynamic_pointer_cast<const PngSplitImage>(image.tileData);
            kept && Usable(*kept, image))
            return std::make_unique<PngTileSource>(kept, kept->samples ? nullptr : image.raster);
        // Otherwise (16-bit samples, which the raster cuts to 8) the file is
        // decoded for the split, beside the raster the split holds.
        auto source = std::make_shared<PngSplitImage>();
        const uint64_t held = image.raster ? image.raster->ImageSize() : 0;
        if (const char* failure = ReadPngForSplit(SourceFileOf(image).get(), *source, held)) {
            error = failure;
            return nullptr;
        }
        // The tile grid comes from the loaded image; a file changed since then
        // must not be cut with it.
        if (source->width != image.width || source->height != image.height) {
            error = msg::kReadFailed;
            return nullptr;
        }
        return std::make_unique<PngTileSource>(std::move(source), nullptr);
    } catch (...) {
        SetFailureText(error, kPrepareReadFailed);
        return nullptr;
    }
}

}  // namespace tessarin
