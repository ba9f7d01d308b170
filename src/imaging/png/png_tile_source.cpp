// PNG tiles: each tile written losslessly from the shared decoded source, in
// the source's bit depth, colour type, interlace method, palette and chunks.

#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <new>

#include "imaging/dib_image.h"
#include "imaging/failure_text.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_split_read.h"
#include "imaging/messages.h"

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

// Everything one tile's guarded write needs, as plain pointers.
struct PngTileJob {
    std::FILE* file = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    const PngSplitImage* source = nullptr;
    const PngChunkViews* beforeViews = nullptr;
    const PngChunkViews* afterViews = nullptr;
    png_bytepp rows = nullptr;
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
    png_write_image(png, job->rows);
    png_write_end(png, endInfo);
    return true;
}

class PngTileSource final : public TileSource {
  public:
    explicit PngTileSource(std::unique_ptr<PngSplitImage> source) : source_(std::move(source)) {}

    const char* WriteTile(const TileRect& rect, const std::string& path,
                          TileContext& context) const override {
        const PngSplitImage& source = *source_;
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height, source.width, source.height))
            return kWriteFailed;

        // Text chunks go into the first tile of each worker only.
        const bool withText = context.tilesWritten == 0;
        PngChunkViews beforeViews, afterViews;
        if (!BuildPngChunkViews(source.beforeImageData, withText, beforeViews) ||
            !BuildPngChunkViews(source.afterImageData, withText, afterViews))
            return kPrepareWriteFailed;
        // The rows are read straight from the shared samples: libpng copies
        // each row before it packs, filters or interlaces it.
        std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[rect.height]);
        if (!rows) return kPrepareWriteFailed;
        const uint8_t* origin = source.samples.get() +
                                static_cast<size_t>(rect.y) * source.rowBytes +
                                static_cast<size_t>(rect.x) * source.bytesPerPixel;
        for (int i = 0; i < rect.height; ++i)
            rows[i] = const_cast<png_bytep>(origin + static_cast<size_t>(i) * source.rowBytes);

        FilePtr file(std::fopen(path.c_str(), "wbe"));
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
        job.rows = rows.get();
        if (!PngWriteTileGuarded(handles.png, handles.info, handles.endInfo, &job))
            return kWriteFailed;
        if (std::fclose(file.release()) != 0) return kWriteFailed;
        return nullptr;
    }

  private:
    std::unique_ptr<const PngSplitImage> source_;
};

}  // namespace

std::unique_ptr<TileSource> MakePngTileSource(const CurrentImage& image, const TileOptions&,
                                              std::string& error) {
    try {
        auto source = std::make_unique<PngSplitImage>();
        if (const char* failure = ReadPngForSplit(image.path, *source)) {
            error = failure;
            return nullptr;
        }
        // The tile grid comes from the loaded image; a file changed since then
        // must not be cut with it.
        if (source->width != image.width || source->height != image.height) {
            error = msg::kReadFailed;
            return nullptr;
        }
        return std::make_unique<PngTileSource>(std::move(source));
    } catch (...) {
        SetFailureText(error, kPrepareReadFailed);
        return nullptr;
    }
}

}  // namespace tessarin
