// JPEG tiles: exact ones re-encoded from the decoded raster, or lossless ones
// cut from the source file's coefficients.

#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

#include "imaging/failure_text.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_glue.h"
#include "imaging/messages.h"
#include "platform/process.h"

namespace tessarin {

namespace {

using jpeg_glue::kLosslessFailed;

// Every worker encodes its tiles from the one shared raster, which it only
// reads; each call has its own compressor and a few rows of buffer, and no
// tile raster is made. Where nothing shows the image, the raster is decoded
// while the tiles are cut: a tile waits for the rows it needs.
class ExactJpegTileSource final : public TileSource {
  public:
    ExactJpegTileSource(std::shared_ptr<const DibImage> raster, int quality)
        : keep_(std::move(raster)), raster_(*keep_), quality_(quality) {}
    ExactJpegTileSource(std::unique_ptr<jpeg_glue::JpegRowFeed> feed, int quality)
        : feed_(std::move(feed)), raster_(feed_->Raster()), quality_(quality) {}

    const char* WriteTile(const TileRect& rect, const TileFile& file, TileContext&) const override {
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height, raster_.Width(),
                          raster_.AbsHeight()))
            return msg::kClipFailed;
        if (feed_)
            if (const char* failure = feed_->WaitForRows(rect.y + rect.height)) return failure;
        if (!jpeg_glue::EncodeJpegRegion(file.fd, raster_, rect.x, rect.y, rect.width, rect.height,
                                         quality_))
            return msg::kSaveFailed;
        return nullptr;
    }
    const char* SaveFailedMessage() const override { return msg::kSaveFailed; }

  private:
    std::shared_ptr<const DibImage> keep_;
    std::unique_ptr<jpeg_glue::JpegRowFeed> feed_;
    const DibImage& raster_;
    int quality_;
};

// Runs "jpegtran -copy all -crop WxH+X+Y -outfile <tile> <source>" per tile,
// for a file whose coefficients are too large to hold in-process.
// jpegtran moves the corner to the source's block boundaries and widens the
// region to match, so tiles off the block grid come out larger than asked.
class JpegtranTileSource final : public TileSource {
  public:
    JpegtranTileSource(std::string source, jpeg_glue::JpegCropGrid grid)
        : source_(std::move(source)), grid_(grid) {}

    TileRect CutRect(const TileRect& rect) const override { return grid_.Cut(rect); }

    // jpegtran opens the output by name: it is given the temporary file that
    // the loop has just created, exclusively and under an unguessable name,
    // and truncates that fresh file of ours.
    const char* WriteTile(const TileRect& rect, const TileFile& file, TileContext&) const override {
        try {
            const std::string geometry = std::to_string(rect.width) + "x" +
                                         std::to_string(rect.height) + "+" +
                                         std::to_string(rect.x) + "+" + std::to_string(rect.y);
            const std::vector<std::string> args = {"jpegtran", "-copy",         "all",
                                                   "-crop",    geometry,        "-outfile",
                                                   file.path,  SourceArgument()};
            return RunExternalCommand(args) ? nullptr : kLosslessFailed;
        } catch (const std::bad_alloc&) {
            return kLosslessFailed;
        }
    }
    const char* SaveFailedMessage() const override { return kLosslessFailed; }

  private:
    // jpegtran reads any argument starting with "-" as an option.
    std::string SourceArgument() const {
        return !source_.empty() && source_[0] == '-' ? "./" + source_ : source_;
    }

    std::string source_;
    jpeg_glue::JpegCropGrid grid_;
};

}  // namespace

std::unique_ptr<TileSource> MakeJpegTileSource(const CurrentImage& image,
                                               const TileOptions& options, std::string& error) {
    try {
        if (options.exactJpeg) {
            if (image.raster)
                return std::make_unique<ExactJpegTileSource>(image.raster, options.jpegQuality);
            // Loaded without a raster: decoded now, beside the tile workers.
            std::unique_ptr<jpeg_glue::JpegRowFeed> feed =
                jpeg_glue::JpegRowFeed::Start(image.path, image.width, image.height, error);
            if (!feed) return nullptr;
            return std::make_unique<ExactJpegTileSource>(std::move(feed), options.jpegQuality);
        }
        // A FIFO put in the file's place since it was loaded would block the
        // read (and jpegtran) for ever; only a regular file is cut.
        std::error_code failure;
        if (!std::filesystem::is_regular_file(image.path, failure)) {
            error = kLosslessFailed;
            return nullptr;
        }
        std::unique_ptr<TileSource> source;
        jpeg_glue::JpegCropGrid grid;
        const uint64_t held = image.raster ? image.raster->ImageSize() : 0;
        switch (jpeg_glue::MakeInProcessLosslessSource(image.path, image.width, image.height, held,
                                                       source, grid)) {
            case jpeg_glue::LosslessPrepare::kReady:
                return source;
            case jpeg_glue::LosslessPrepare::kOverBudget:
                error = msg::kMemoryFailed;
                return nullptr;
            case jpeg_glue::LosslessPrepare::kRefused:
                return std::make_unique<JpegtranTileSource>(image.path, grid);
            case jpeg_glue::LosslessPrepare::kFailed:
                break;
        }
        error = kLosslessFailed;
        return nullptr;
    } catch (...) {
        SetFailureText(error, msg::kMemoryFailed);
        return nullptr;
    }
}

}  // namespace tessarin
