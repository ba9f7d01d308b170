#include "split/view_loader.h"

#include <algorithm>
#include <iterator>

#include "imaging/memory_budget.h"
#include "imaging/messages.h"
#include "imaging/reduced_picture.h"
#include "imaging/row_bands.h"
#include "imaging/tile_settings.h"
#include "split/image_loader.h"
#include "split/messages.h"

namespace tessarin {

namespace {

// A reduced picture of an image not held whole takes at most this much,
// and at most a quarter of the memory budget.
constexpr uint64_t kReducedPictureCap = uint64_t{256} << 20;
// Beyond this the sums of a reduced pixel could overflow.
constexpr int kMaxReduction = 4096;
// JPEG files of this many pixels or more show a picture reduced this much
// while their raster is decoded.
constexpr int64_t kPreviewPixels = 4'000'000;
constexpr int kPreviewFactor = 8;
// What one band of rows read for a reduced picture may take.
constexpr uint64_t kReductionBandBytes = uint64_t{16} << 20;

// The observer as the whole load's watch, handed a reader's early picture
// as the image's.
class PreviewWatch final : public ReadWatch {
  public:
    PreviewWatch(ViewLoadObserver& observer, const CurrentImage& image)
        : observer_(observer), image_(image) {}
    bool StopRequested() const override { return observer_.StopRequested(); }
    void ReadProgress(int64_t done, int64_t total) const override {
        observer_.ReadProgress(done, total);
    }
    bool WantsPreview() const override { return true; }
    void OfferPreview(std::shared_ptr<ReducedPicture> picture) const override {
        observer_.Reduced(image_, std::move(picture), true);
    }

  private:
    ViewLoadObserver& observer_;
    const CurrentImage& image_;
};

struct OpenedBands {
    LoadedImage header;
    std::unique_ptr<RowBands> bands;  // null for a file its format reads whole only
};

bool OpenBands(const ImageFormat& format, const SourceFilePtr& file, int scale, OpenedBands& out,
               const ReadWatch* watch) {
    if (!format.openBands) return false;
    return format.openBands(file, ViewSettings(scale, watch), out.header, out.bands);
}

// Whether the raster of `header`'s image, drawn at 32 bits at most, fits
// beside what its bands hold, with the levels the viewer reduces it to.
bool WholeFits(const OpenedBands& opened) {
    const int64_t width = opened.header.width, height = opened.header.height;
    if (!DibSizeAcceptable(width, height, 32)) return false;
    const uint64_t raster = DibStride(width, 32) * static_cast<uint64_t>(height);
    const uint64_t held = opened.bands ? opened.bands->HeldBytes() : 0;
    return FitsSplitMemoryBudget(held, raster + raster / 3);
}

// Fills `picture` from `bands`, whose rows come reduced by `preFactor` already;
// `observer` hears of the rows filled when `shown`.
const char* Reduce(RowBands& bands, int width, int height, int preFactor, ReducedPicture& picture,
                   ViewLoadObserver* observer, bool shown) {
    const int factor = picture.Factor() / preFactor;  // what is left to reduce
    const int bandWidth = static_cast<int>((int64_t{width} + preFactor - 1) / preFactor);
    const int bandHeight = static_cast<int>((int64_t{height} + preFactor - 1) / preFactor);
    // Bands of whole groups of `factor` rows, as many as the budget and
    // kReductionBandBytes allow beside what the file holds and the picture.
    const uint64_t bytesPerGroup = bands.BandBytes(factor);
    const uint64_t held =
        bands.HeldBytes() + ReducedPicture::Bytes(width, height, picture.Factor());
    const uint64_t budget = SplitMemoryBudget();
    if (bytesPerGroup == 0 || held > budget) return bands.MemoryMessage();
    const int groups = static_cast<int>(
        std::clamp<uint64_t>(std::min(kReductionBandBytes, budget - held) / bytesPerGroup, 1,
                             static_cast<uint64_t>(bandHeight / factor + 1)));
    const int bandRows = std::min(bandHeight, groups * factor);
    if (!FitsSplitMemoryBudget(held, bands.BandBytes(bandRows))) return bands.MemoryMessage();
    std::unique_ptr<RowBand> band = bands.NewBand(bandRows);
    RowReducer reducer(bandWidth, factor);
    if (!band || !reducer.Ok() || reducer.OutputWidth() != picture.Width())
        return bands.MemoryMessage();
    uint32_t palette[256];
    int read = 0, out = 0;
    while (read < bandHeight) {
        if (observer && observer->StopRequested()) return "";
        const int rows = std::min(bandRows, bandHeight - read);
        if (const char* failure = bands.ReadRows(*band, rows))
            return observer && observer->StopRequested() ? "" : failure;
        const DibImage* raster = band->Raster().get();
        if (!raster || raster->Width() != bandWidth || raster->AbsHeight() != rows)
            return msg::kInvalidFile;
        RasterPalette(*raster, palette);
        for (int y = 0; y < rows; ++y) {
            reducer.Add(*raster, palette, y);
            if ((read + y + 1) % factor == 0 || read + y + 1 == bandHeight)
                reducer.Emit(picture.Row(out++));
        }
        read += rows;
        picture.SetRowsDone(out);
        if (observer && shown) observer->RowsFilled();
        // Past the damage the rows are the reader's filling, not the file's:
        // the picture ends there (the rows below stay black) rather than
        // costing the time of a picture the file only claims.
        if (bands.Damage()) break;
    }
    return nullptr;
}

// The file's picture reduced by `factor` from bands opened for it; null on
// failure, with the message in `error` (empty when stopped). `damage` gets
// the file's damage, if any (see LoadedImage::damage). `observer` may stop
// the read, and hears of the picture when `header` is given.
std::shared_ptr<ReducedPicture> ReadReduced(const ImageFormat& format, const SourceFilePtr& file,
                                            int factor, const CurrentImage* header,
                                            std::string& error, std::string& damage,
                                            ViewLoadObserver* observer) {
    OpenedBands opened;
    if (!OpenBands(format, file, std::min(factor, 8), opened, observer) || !opened.bands) {
        if (observer && observer->StopRequested()) return nullptr;
        error = opened.header.error.empty() ? msg::kInvalidFile : opened.header.error;
        return nullptr;
    }
    const LoadedImage& h = opened.header;
    std::shared_ptr<ReducedPicture> picture = ReducedPicture::Make(h.width, h.height, factor);
    if (!picture || factor % h.bandReduction != 0) {
        error = opened.bands->MemoryMessage();
        return nullptr;
    }
    if (header && observer) observer->Reduced(*header, picture, false);
    const char* failure = Reduce(*opened.bands, h.width, h.height, h.bandReduction, *picture,
                                 observer, header != nullptr);
    if (failure) {
        error = failure;
        return nullptr;
    }
    if (const char* met = opened.bands->Damage()) damage = met;
    return picture;
}

void TakeNotices(LoadedImage& loaded, std::vector<std::string>& notices) {
    notices.insert(notices.end(), std::make_move_iterator(loaded.notices.begin()),
                   std::make_move_iterator(loaded.notices.end()));
    loaded.notices.clear();
}

}  // namespace

int ViewReductionFor(int64_t width, int64_t height) {
    const uint64_t cap = std::min(kReducedPictureCap, SplitMemoryBudget() / 4);
    for (int factor = 2; factor <= kMaxReduction; factor *= 2)
        if (ReducedPicture::Bytes(width, height, factor) <= cap) return factor;
    return 0;
}

bool LoadImageForView(const std::string& path, ViewLoad& out, std::string& error,
                      std::vector<std::string>& notices, ViewLoadObserver* observer) {
    const ImageFormat* format = FormatOfPath(path, error);
    if (!format) return false;
    const SourceFilePtr file = SourceFile::Open(path);

    OpenedBands opened;
    if (file && OpenBands(*format, file, 1, opened, observer) && !WholeFits(opened) &&
        opened.bands) {
        // Too large to hold: the reduced picture is all there is.
        TakeNotices(opened.header, notices);
        const int factor = ViewReductionFor(opened.header.width, opened.header.height);
        CurrentImage image;
        SetCurrentImage(image, std::move(opened.header), path);
        image.viewReduction = factor;
        opened = OpenedBands{};
        if (factor == 0) {
            error = msg::kMemoryFailed;
            return false;
        }
        std::shared_ptr<ReducedPicture> picture =
            ReadReduced(*format, file, factor, &image, error, image.damage, observer);
        if (!picture) return false;
        out.image = std::move(image);
        out.picture = std::move(picture);
        return true;
    }

    // A large JPEG file shows a picture at 1/8 first: a file of several scans
    // (a progressive one) offers its first scans' picture while it is read;
    // a baseline file is decoded at 1/8 by the library before it is read whole.
    CurrentImage header;
    std::unique_ptr<PreviewWatch> preview;
    if (observer && opened.bands && format->can.earlyPicture &&
        int64_t{opened.header.width} * opened.header.height >= kPreviewPixels) {
        const bool severalScans = opened.bands->HeldBytes() > 0;
        SetCurrentImage(header, std::move(opened.header), path);
        header.viewReduction = kPreviewFactor;
        opened = OpenedBands{};
        if (severalScans) {
            preview = std::make_unique<PreviewWatch>(*observer, header);
        } else {
            // Read at once, shown when complete: the whole load gives any
            // failure its message.
            std::string ignored, damage;
            if (std::shared_ptr<ReducedPicture> picture =
                    ReadReduced(*format, file, kPreviewFactor, nullptr, ignored, damage, observer))
                observer->Reduced(header, std::move(picture), true);
            if (observer->StopRequested()) return false;
        }
    }
    opened = OpenedBands{};
    // A load asked to stop fails, even one whose format read it to its end.
    const ReadWatch* watch = preview ? static_cast<const ReadWatch*>(preview.get()) : observer;
    const bool loaded = LoadImageFrom(file, path, out.image, error, notices, watch);
    if (observer && observer->StopRequested()) {
        out.image = CurrentImage{};
        error.clear();
        return false;
    }
    return loaded;
}

}  // namespace tessarin
