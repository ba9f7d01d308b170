// JPEG tiles: exact ones re-encoded from the decoded raster, or lossless ones
// cut from the source file's coefficients.

#include <unistd.h>

#include <algorithm>
#include <new>
#include <semaphore>
#include <vector>

#include "imaging/failure_text.h"
#include "imaging/format_registry.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_lossless.h"
#include "imaging/jpeg/jpeg_writer.h"
#include "imaging/memory_budget.h"
#include "imaging/messages.h"
#include "platform/process.h"

namespace tessarin {

namespace {

using jpeg::kLosslessFailed;

// No split runs more workers than this.
constexpr uint64_t kMaxJpegtranRuns = 256;

// Every worker encodes its tiles from the one shared raster, which it only
// reads; each call has its own compressor and a few rows of buffer, and no
// tile raster is made.
class ExactJpegTileSource final : public TileSource {
  public:
    ExactJpegTileSource(std::shared_ptr<const DibImage> raster, int quality,
                        std::shared_ptr<const IccProfile> profile)
        : raster_(std::move(raster)), quality_(quality), profile_(std::move(profile)) {}

    const char* WriteTile(const TileRect& rect, const TileFile& file, TileContext&) const override {
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height, raster_->Width(),
                          raster_->AbsHeight()))
            return msg::kClipFailed;
        if (!jpeg::EncodeJpegRegion(file.fd, *raster_, rect.x, rect.y, rect.width, rect.height,
                                    quality_, profile_.get()))
            return msg::kSaveFailed;
        return nullptr;
    }
    const char* SaveFailedMessage() const override { return msg::kSaveFailed; }

  private:
    std::shared_ptr<const DibImage> raster_;
    int quality_;
    std::shared_ptr<const IccProfile> profile_;
};

// The raster of an image loaded without one (null, with the message in
// `error`, when it cannot be had): the file it was loaded from read whole, as
// the window reads it, and the same picture still.
std::shared_ptr<const DibImage> RasterOf(const CurrentImage& image, std::string& error,
                                         const ReadWatch* watch) {
    LoadedImage loaded;
    if (!LoadWholeImage(*FindImageFormat(ImageFileKind::Jpeg), SourceFileOf(image), loaded,
                        watch)) {
        SetFailureText(error, loaded.error.empty() ? jpeg::kImageDataFailed : loaded.error.c_str());
        return nullptr;
    }
    // Tiles are never cut from rows the decoder made up.
    if (!loaded.damage.empty()) {
        error = loaded.damage;
        return nullptr;
    }
    if (loaded.width != image.width || loaded.height != image.height ||
        (image.displayDepth != 0 && loaded.displayDepth != image.displayDepth)) {
        error = msg::kClipFailed;
        return nullptr;
    }
    return loaded.raster;
}

// Runs "jpegtran -copy <copy> -crop WxH+X+Y -outfile <tile>" per tile, for a
// file whose coefficients are too large to hold in-process. The tool reads
// the source as its standard input, from a description of the open file of
// its own: the file the image was loaded from, whatever its name now holds.
// jpegtran moves the corner to the source's block boundaries and widens the
// region to match, so tiles off the block grid come out larger than asked.
// Each run holds the whole file's coefficients: no more runs at once than the
// split's memory budget holds.
class JpegtranTileSource final : public TileSource {
  public:
    JpegtranTileSource(SourceFilePtr source, jpeg::JpegCropGrid grid, JpegTileOptions::Copy copy,
                       ptrdiff_t runs)
        : source_(std::move(source)), grid_(grid), copy_(copy), runs_(runs) {}

    TileRect CutRect(const TileRect& rect) const override { return grid_.Cut(rect); }

    // jpegtran opens the output by name: it is given the temporary file that
    // the loop has just created, exclusively and under an unguessable name,
    // and truncates that fresh file of ours.
    const char* WriteTile(const TileRect& rect, const TileFile& file, TileContext&) const override {
        try {
            const std::string geometry = std::to_string(rect.width) + "x" +
                                         std::to_string(rect.height) + "+" +
                                         std::to_string(rect.x) + "+" + std::to_string(rect.y);
            const std::vector<std::string> args = {
                "jpegtran", "-copy",  JpegTileOptions::CopyName(copy_), "-crop", geometry,
                "-outfile", file.path};
            const RunSlot slot(runs_);
            const Input input(source_->OpenDescription());
            if (input.fd < 0) return kLosslessFailed;
            return RunExternalCommand(args, input.fd) ? nullptr : kLosslessFailed;
        } catch (const std::bad_alloc&) {
            return kLosslessFailed;
        }
    }
    const char* SaveFailedMessage() const override { return kLosslessFailed; }

  private:
    // Holds one of the runs the budget allows while it lives.
    struct RunSlot {
        explicit RunSlot(std::counting_semaphore<>& slots) : runs(slots) { runs.acquire(); }
        ~RunSlot() { runs.release(); }
        RunSlot(const RunSlot&) = delete;
        RunSlot& operator=(const RunSlot&) = delete;
        std::counting_semaphore<>& runs;
    };
    // The tool's standard input, closed here once it has ended.
    struct Input {
        explicit Input(int descriptor) : fd(descriptor) {}
        ~Input() {
            if (fd >= 0) ::close(fd);
        }
        Input(const Input&) = delete;
        Input& operator=(const Input&) = delete;
        int fd;
    };

    SourceFilePtr source_;
    jpeg::JpegCropGrid grid_;
    JpegTileOptions::Copy copy_;
    mutable std::counting_semaphore<> runs_;
};

// The jpegtran source of a file, or null with the message when even one run
// would not fit the split's memory budget beside what it holds.
std::unique_ptr<TileSource> MakeJpegtranSource(SourceFilePtr file, const jpeg::LosslessFrame& frame,
                                               JpegTileOptions::Copy copy, uint64_t heldBytes,
                                               std::string& error) {
    const uint64_t run = jpeg::JpegtranRunBytes(frame.coefficientBytes);
    const uint64_t budget = SplitMemoryBudget();
    if (heldBytes > budget || run > budget - heldBytes) {
        error = kLosslessFailed;
        return nullptr;
    }
    const uint64_t runs = std::min<uint64_t>((budget - heldBytes) / run, kMaxJpegtranRuns);
    return std::make_unique<JpegtranTileSource>(std::move(file), frame.grid, copy,
                                                static_cast<ptrdiff_t>(runs));
}

}  // namespace

std::unique_ptr<TileSource> jpeg::MakeExactJpegTiles(std::shared_ptr<const DibImage> raster,
                                                     int quality,
                                                     std::shared_ptr<const IccProfile> profile) {
    return std::make_unique<ExactJpegTileSource>(std::move(raster), quality, std::move(profile));
}

const char* JpegTileOptions::CopyName(Copy copy) {
    switch (copy) {
        case Copy::Comments:
            return "comments";
        case Copy::None:
            return "none";
        case Copy::Icc:
            return "icc";
        case Copy::All:
            break;
    }
    return "all";
}

JpegTileOptions JpegTileOptions::From(const TileSettings& settings) {
    JpegTileOptions options;
    options.exact = settings.GetInt("OPTION", "CORRECT_CUT", 1) != 0;
    options.quality = settings.GetInt("JPEG", "QUALITY", options.quality);
    const int copy = settings.GetInt("JPEG", "COPY", 0);
    options.copy = copy >= 0 && copy <= 3 ? static_cast<Copy>(copy) : Copy::All;
    return options;
}

std::unique_ptr<TileSource> MakeJpegTileSource(const CurrentImage& image,
                                               const JpegTileOptions& options, std::string& error,
                                               const ReadWatch* watch) {
    try {
        if (options.exact) {
            if (image.raster) {
                if (image.raster->Width() != image.width ||
                    image.raster->AbsHeight() != image.height) {
                    error = msg::kClipFailed;
                    return nullptr;
                }
                return jpeg::MakeExactJpegTiles(image.raster, options.quality, image.iccProfile);
            }
            // Loaded without a raster: the file is read whole now.
            std::shared_ptr<const DibImage> raster = RasterOf(image, error, watch);
            if (!raster) return nullptr;
            return jpeg::MakeExactJpegTiles(std::move(raster), options.quality, image.iccProfile);
        }
        // Only a regular file is opened: a FIFO would block the read (and
        // jpegtran) for ever.
        SourceFilePtr file = SourceFileOf(image);
        if (!file) {
            error = kLosslessFailed;
            return nullptr;
        }
        std::unique_ptr<TileSource> source;
        jpeg::LosslessFrame frame;
        const uint64_t held = image.raster ? image.raster->ImageSize() : 0;
        switch (jpeg::MakeInProcessLosslessSource(*file, image.width, image.height, held,
                                                  options.copy, source, frame, watch)) {
            case jpeg::LosslessPrepare::kReady:
                return source;
            case jpeg::LosslessPrepare::kOverBudget:
                error = msg::kMemoryFailed;
                return nullptr;
            case jpeg::LosslessPrepare::kDamaged:
                error = jpeg::kImageDataFailed;
                return nullptr;
            case jpeg::LosslessPrepare::kRefused:
                if (!jpeg::SingleScanIntact(*file)) {
                    error = jpeg::kImageDataFailed;
                    return nullptr;
                }
                return MakeJpegtranSource(std::move(file), frame, options.copy, held, error);
            case jpeg::LosslessPrepare::kFailed:
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
