// PNG files cut band by band. The rows of a file that is not interlaced come
// out of libpng top to bottom, a band at a time. Every tile carries the
// chunks on both sides of the image data, and those after it are only met at
// the end of the file: they are read first, by a pass that sees the file with
// its image data replaced by an empty stream (found by walking the chunk
// headers), so nothing is decompressed twice. Damaged image data fails the
// band that would hold rows from it: a chunk's CRC is checked before libpng
// reads the chunk, the compressed stream and its checksum where libpng meets
// them. The rows of an interlaced file come only once every pass is read: it
// is decoded whole, first, into a picture the bands hold and serve their rows
// from (one band of every row shares it).

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "imaging/checked_size.h"
#include "imaging/failure_text.h"
#include "imaging/memory_budget.h"
#include "imaging/messages.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_private.h"
#include "imaging/png/png_split_read.h"
#include "imaging/read_watch.h"

namespace tessarin::png {
namespace {

// The largest side a PNG file may state.
constexpr png_uint_32 kPngSideLimit = PNG_UINT_31_MAX;

uint32_t Be32(const uint8_t* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

// Where the file's image data chunks are: from `start` (the first IDAT) up
// to `end` (the first chunk after them), when the file gets that far.
struct ImageDataRun {
    uint64_t start = 0;
    uint64_t end = 0;
    bool endKnown = false;
};

// False when the chunk headers lead to no image data.
bool FindImageData(const SourceFile& file, ImageDataRun& run) {
    bool inRun = false;
    for (uint64_t at = 8;;) {
        uint8_t header[8];
        if (!file.ReadAt(at, header, sizeof header)) return inRun;
        const uint32_t length = Be32(header);
        if (length > PNG_UINT_31_MAX) return inRun;
        const bool imageData = std::memcmp(header + 4, "IDAT", 4) == 0;
        if (imageData && !inRun) {
            inRun = true;
            run.start = at;
        } else if (!imageData && inRun) {
            run.end = at;
            run.endKnown = true;
            return true;
        } else if (std::memcmp(header + 4, "IEND", 4) == 0) {
            return false;
        }
        at += 12 + uint64_t{length};
    }
}

// The file as the chunk pass reads it: up to its image data, one image data
// chunk holding an empty zlib stream, then what follows the image data (or
// nothing when the file does not get that far).
class ChunkPassInput {
  public:
    ChunkPassInput(const SourceFile& file, const ImageDataRun& run) : file_(file), run_(run) {
        const uint8_t chunk[] = {0,    0,    0,    8,    'I',  'D',  'A',  'T',
                                 0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
        std::memcpy(imageData_, chunk, sizeof chunk);
        const uLong crc = crc32(0, chunk + 4, sizeof chunk - 4);
        for (int i = 0; i < 4; ++i)
            imageData_[sizeof chunk + static_cast<size_t>(i)] =
                static_cast<uint8_t>(crc >> (24 - 8 * i));
    }

    static bool Read(void* context, uint8_t* data, size_t length) {
        return static_cast<ChunkPassInput*>(context)->Read(data, length);
    }
    // What it reads, the bytes after the image data included.
    uint64_t Size() const {
        const uint64_t after = run_.endKnown ? file_.Size() - run_.end : 0;
        return run_.start + sizeof imageData_ + after;
    }

  private:
    bool Read(uint8_t* data, size_t length) {
        while (length > 0) {
            size_t n = 0;
            if (at_ < run_.start) {
                n = static_cast<size_t>(std::min<uint64_t>(length, run_.start - at_));
                if (!file_.ReadAt(at_, data, n)) return false;
            } else if (at_ < run_.start + sizeof imageData_) {
                const uint64_t offset = at_ - run_.start;
                n = static_cast<size_t>(std::min<uint64_t>(length, sizeof imageData_ - offset));
                std::memcpy(data, imageData_ + offset, n);
            } else {
                n = length;
                if (!run_.endKnown ||
                    !file_.ReadAt(run_.end + (at_ - run_.start - sizeof imageData_), data, n))
                    return false;
            }
            at_ += n;
            data += n;
            length -= n;
        }
        return true;
    }

    const SourceFile& file_;
    ImageDataRun run_;
    uint64_t at_ = 4;  // the signature's first 4 bytes are checked before
    uint8_t imageData_[20] = {};
};

// The file from its fifth byte, as the rows are read from it. libpng checks
// an image data chunk's CRC only after it has inflated the chunk, and rows
// from a damaged chunk would be cut before the damage is seen; each image
// data chunk is checked here before libpng reads any of it, so that every
// row it gives comes from chunks known to be intact.
class CheckedInput {
  public:
    explicit CheckedInput(const SourceFile& file) : file_(file) {}

    static bool Read(void* context, uint8_t* data, size_t length) {
        return static_cast<CheckedInput*>(context)->Read(data, length);
    }

  private:
    bool Read(uint8_t* data, size_t length) {
        while (nextHeader_ < at_ + length) {
            uint8_t header[8];
            if (!file_.ReadAt(nextHeader_, header, sizeof header)) {
                nextHeader_ = UINT64_MAX;  // the read itself fails where it must
                break;
            }
            const uint64_t chunkLength = Be32(header);
            if (std::memcmp(header + 4, "IDAT", 4) == 0 && !Intact(nextHeader_, chunkLength))
                return false;
            nextHeader_ += 12 + chunkLength;
        }
        if (!file_.ReadAt(at_, data, length)) return false;
        at_ += length;
        return true;
    }

    // Whether the chunk at `at` with `length` bytes of data has its CRC.
    bool Intact(uint64_t at, uint64_t length) const {
        uint8_t buffer[65536];
        uLong crc = crc32(0, nullptr, 0);
        for (uint64_t from = at + 4, end = at + 8 + length; from < end;) {
            const auto n = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, end - from));
            if (!file_.ReadAt(from, buffer, n)) return false;
            crc = crc32(crc, buffer, static_cast<uInt>(n));
            from += n;
        }
        uint8_t stored[4];
        return file_.ReadAt(at + 8 + length, stored, sizeof stored) && Be32(stored) == crc;
    }

    const SourceFile& file_;
    uint64_t at_ = 4;  // the signature's first 4 bytes are checked before
    uint64_t nextHeader_ = 8;
};

// What libpng holds for the rows of a file this wide: its row and the one
// before it, at the widest pixel any transform makes.
std::optional<uint64_t> LibraryRowBytes(png_uint_32 width) { return CheckedSize(width, 8, 2, 256); }

// Reads the file's header and the chunks on both sides of its image data as
// the whole load reads them: all of them under the tiles' budget when
// `keep`, else without the chunks only tiles carry. They are kept in `file`
// for PNG tiles, not for `rasterRows`. `infoFailed`: the failure came before
// the image data. Returns nullptr on success, else the message.
const char* ReadChunks(const SourceFile& source, const ImageDataRun& run, bool keep,
                       bool rasterRows, PngSplitImage& file, bool& infoFailed) {
    const bool capture = !rasterRows;
    infoFailed = false;
    PngReadHandles handles;
    if (!CreatePngReader(handles, keep, kPngSideLimit)) return kPrepareReadFailed;
    ChunkPassInput input(source, run);
    PngChunkTrace trace;
    PngAncillaryBudget budget;
    PngReadStream stream;
    stream.read = &ChunkPassInput::Read;
    stream.size = input.Size();
    stream.context = &input;
    if (keep) {
        stream.trace = &trace;
        stream.budget = &budget;
    }
    if (!PngReadInfoGuarded(handles.png, handles.info, &stream)) {
        infoFailed = true;
        return budget.Exceeded() ? msg::kReadFailed : msg::kOpenFailed;
    }
    png_uint_32 width = 0, height = 0;
    png_get_IHDR(handles.png, handles.info, &width, &height, &file.bitDepth, &file.colorType,
                 &file.interlaceMethod, nullptr, nullptr);
    const int depth = file.bitDepth;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return kBadBitDepth;
    if (file.interlaceMethod != PNG_INTERLACE_NONE && file.interlaceMethod != PNG_INTERLACE_ADAM7)
        return kBadInterlace;
    const int channels = png_get_channels(handles.png, handles.info);
    file.width = static_cast<int>(width);
    file.height = static_cast<int>(height);
    file.bytesPerPixel = static_cast<size_t>(channels) * (depth == 16 ? 2 : 1);
    file.rowBytes = static_cast<size_t>(width) * file.bytesPerPixel;
    if (capture) {
        CapturePngChunks(handles.png, handles.info, trace, false, file.beforeImageData);
    } else {
        // Raster rows keep no chunks but the colour profile, which tiles of
        // other formats carry.
        png_charp name = nullptr;
        int compression = 0;
        png_bytep profile = nullptr;
        png_uint_32 length = 0;
        if (png_get_iCCP(handles.png, handles.info, &name, &compression, &profile, &length) != 0 &&
            profile)
            file.beforeImageData.iccProfile.emplace().profile.assign(profile, profile + length);
    }
    // Too wide for a raster: the same answer libpng gives for its own limits.
    if (rasterRows && !DibSizeAcceptable(width, 1, 8)) return msg::kOpenFailed;
    if (!run.endKnown) return nullptr;  // the rows fail before the end

    // libpng reads what follows the image data once it has started its rows.
    const std::optional<uint64_t> libraryRows = LibraryRowBytes(width);
    if (!libraryRows || !FitsSplitMemoryBudget(0, *libraryRows)) return kPrepareReadFailed;
    int passes = 1;
    size_t rowBytes = 0;
    if (!PngStartRowsGuarded(handles.png, handles.info, 0, false, &passes, &rowBytes) ||
        !PngReadEndGuarded(handles.png, keep ? handles.endInfo : nullptr))
        return budget.Exceeded() ? msg::kReadFailed : msg::kOpenFailed;
    if (capture) CapturePngChunks(handles.png, handles.endInfo, trace, true, file.afterImageData);
    return nullptr;
}

// What a band that only points into the picture the bands hold takes.
constexpr uint64_t kHeldBandBytes = 1;

class PngBand final : public RowBand {
  public:
    const TileSource* Tiles() const override { return tiles_.get(); }
    std::shared_ptr<const DibImage> Raster() const override { return raster_; }
    std::unique_ptr<uint8_t[]> samples_;      // PNG tiles
    std::shared_ptr<const uint8_t[]> held_;   // the bands' whole picture its tiles point into
    std::shared_ptr<const DibImage> raster_;  // raster rows
    std::unique_ptr<TileSource> tiles_;
};

class PngBands final : public RowBands {
  public:
    PngBands(SourceFilePtr source, std::shared_ptr<const PngSplitImage> file, bool rasterRows,
             const ReadWatch* watch)
        : source_(std::move(source)),
          input_(*source_),
          file_(std::move(file)),
          rasterRows_(rasterRows),
          interlaced_(file_->interlaceMethod == PNG_INTERLACE_ADAM7),
          watch_(watch),
          plan_(PlanPngRaster(file_->colorType, file_->bitDepth)) {}

    // Opens the file for its rows; the message of the whole load on failure.
    const char* Start() {
        if (!CreatePngReader(handles_, false, kPngSideLimit)) return kPrepareReadFailed;
        stream_.read = &CheckedInput::Read;
        stream_.size = source_->Size();
        stream_.context = &input_;
        if (!PngReadInfoGuarded(handles_.png, handles_.info, &stream_)) return msg::kOpenFailed;
        png_uint_32 width = 0, height = 0;
        int depth = 0, colorType = 0, interlace = 0;
        png_get_IHDR(handles_.png, handles_.info, &width, &height, &depth, &colorType, &interlace,
                     nullptr, nullptr);
        // The file changed since its chunks were read.
        if (static_cast<int>(width) != file_->width || static_cast<int>(height) != file_->height ||
            depth != file_->bitDepth || colorType != file_->colorType ||
            interlace != file_->interlaceMethod)
            return msg::kOpenFailed;
        const std::optional<uint64_t> libraryRows = LibraryRowBytes(width);
        if (!libraryRows || !FitsSplitMemoryBudget(0, *libraryRows)) return kPrepareReadFailed;
        if (rasterRows_) shape_ = ShapePngRaster(handles_.png, handles_.info, plan_, width);
        const unsigned transforms = rasterRows_ ? plan_.transforms : depth < 8 ? kPngPacking : 0u;
        size_t rowBytes = 0;
        if (!PngStartRowsGuarded(handles_.png, handles_.info, transforms, interlaced_, &passes_,
                                 &rowBytes))
            return msg::kOpenFailed;
        if (rasterRows_ ? rowBytes > DibStride(width, plan_.readDepth)
                        : rowBytes != file_->rowBytes)
            return msg::kOpenFailed;
        return nullptr;
    }

    uint64_t HeldBytes() const override {
        const uint64_t library =
            LibraryRowBytes(static_cast<png_uint_32>(file_->width)).value_or(0);
        // A picture that no raster could hold is refused before it is read.
        return interlaced_ ? library + PictureBytes(file_->height) : library;
    }
    uint64_t BandBytes(int rows) const override {
        if (interlaced_) {
            // Rows of samples point into the picture held; raster rows are
            // copied from it, unless the band has them all.
            if (!rasterRows_ || rows >= file_->height) return kHeldBandBytes;
            return CheckedSize(DibStride(file_->width, plan_.finalDepth),
                               static_cast<uint64_t>(rows))
                .value_or(0);
        }
        const uint64_t bytes = PictureBytes(rows);
        // A band of every row of a picture no raster holds is its whole load,
        // refused as libpng refuses a picture beyond its limits.
        if (bytes == 0 && rows >= file_->height) beyondRaster_ = true;
        return bytes;
    }
    std::unique_ptr<RowBand> NewBand(int rows) override {
        auto band = std::make_unique<PngBand>();
        if (!rasterRows_ && !interlaced_) {
            const uint64_t bytes = BandBytes(rows);
            if (bytes == 0) return nullptr;
            band->samples_.reset(new (std::nothrow) uint8_t[bytes]);
            if (!band->samples_) return nullptr;
        }
        return band;
    }
    const char* ReadRows(RowBand& band, int rows) override {
        auto& pngBand = static_cast<PngBand&>(band);
        pngBand.tiles_.reset();
        pngBand.raster_.reset();
        pngBand.held_.reset();
        if (failure_) return failure_;
        try {
            if (interlaced_ && top_ == 0) failure_ = ReadWhole();
            if (!failure_)
                failure_ = interlaced_   ? ServeHeld(pngBand, rows)
                           : rasterRows_ ? ReadRaster(pngBand, rows)
                                         : ReadSamples(pngBand, rows);
        } catch (...) {
            failure_ = kPrepareReadFailed;
        }
        if (!failure_) top_ += rows;
        // What follows the image data is checked as the whole load does.
        if (!failure_ && !interlaced_ && top_ == file_->height &&
            !PngReadEndGuarded(handles_.png, nullptr))
            failure_ = msg::kOpenFailed;
        if (failure_) pngBand.tiles_.reset();
        // The last rows are served: a raster held is the bands' no longer.
        if (failure_ || top_ >= file_->height) heldRaster_.reset();
        return failure_;
    }
    const char* MemoryMessage() const override {
        return beyondRaster_ ? msg::kOpenFailed : kPrepareReadFailed;
    }

  private:
    // The bytes `rows` rows take as the bands read them: samples, or the
    // raster rows as read and those of the 2-bit files' reduced raster. 0
    // when they cannot be had.
    uint64_t PictureBytes(int rows) const {
        if (!rasterRows_)
            return CheckedSize(file_->rowBytes, static_cast<uint64_t>(rows)).value_or(0);
        if (!DibSizeAcceptable(file_->width, rows, plan_.readDepth)) return 0;
        uint64_t bytes = DibStride(file_->width, plan_.readDepth);
        if (plan_.finalDepth != plan_.readDepth) bytes += DibStride(file_->width, plan_.finalDepth);
        return CheckedSize(bytes, static_cast<uint64_t>(rows)).value_or(0);
    }

    const char* ReadSamples(PngBand& band, int rows) {
        if (!PngReadSomeRowsGuarded(handles_.png, band.samples_.get(),
                                    static_cast<ptrdiff_t>(file_->rowBytes), rows, watch_))
            return msg::kOpenFailed;
        band.tiles_ = MakePngRowTiles(file_, band.samples_.get(), rows);
        return nullptr;
    }
    const char* ReadRaster(PngBand& band, int rows) {
        std::unique_ptr<DibImage> raster = CreatePngRaster(shape_, rows);
        if (!raster) return kPrepareReadFailed;
        // Bottom-up: picture row i + 1 lies one stride below row i.
        if (!PngReadSomeRowsGuarded(handles_.png, raster->Row(0),
                                    -static_cast<ptrdiff_t>(raster->Stride()), rows, watch_))
            return msg::kOpenFailed;
        if (plan_.finalDepth != plan_.readDepth) {
            raster = ReduceDibDepth(*raster, plan_.finalDepth);
            if (!raster) return kPrepareReadFailed;
        }
        band.raster_ = std::move(raster);
        return nullptr;
    }

    // Decodes every pass of an interlaced file into the picture the bands
    // hold, then what follows its image data.
    const char* ReadWhole() {
        const int height = file_->height;
        // Too large for a raster: the same answer libpng gives for its own
        // limits.
        const uint64_t bytes = PictureBytes(height);
        if (bytes == 0 || !CheckedSize(static_cast<uint64_t>(file_->width),
                                       static_cast<uint64_t>(height), 1, 0, kMaxRasterPixels))
            return msg::kOpenFailed;
        if (!FitsSplitMemoryBudget(0, HeldBytes())) return kPrepareReadFailed;
        if (!rasterRows_) {
            std::shared_ptr<uint8_t[]> samples(new (std::nothrow) uint8_t[bytes]);
            if (!samples) return kPrepareReadFailed;
            if (!PngReadRowsGuarded(handles_.png, nullptr, samples.get(),
                                    static_cast<ptrdiff_t>(file_->rowBytes), height, passes_,
                                    watch_))
                return msg::kOpenFailed;
            heldSamples_ = std::move(samples);
            return nullptr;
        }
        std::unique_ptr<DibImage> raster = CreatePngRaster(shape_, height);
        if (!raster) return kPrepareReadFailed;
        if (!PngReadRowsGuarded(handles_.png, nullptr, raster->Row(0),
                                -static_cast<ptrdiff_t>(raster->Stride()), height, passes_, watch_))
            return msg::kOpenFailed;
        if (plan_.finalDepth != plan_.readDepth) {
            raster = ReduceDibDepth(*raster, plan_.finalDepth);
            if (!raster) return kPrepareReadFailed;
        }
        heldRaster_ = std::move(raster);
        return nullptr;
    }
    // Rows from the picture held, from the next one down.
    const char* ServeHeld(PngBand& band, int rows) {
        if (!rasterRows_) {
            band.held_ = heldSamples_;
            band.tiles_ = MakePngRowTiles(
                file_, heldSamples_.get() + static_cast<size_t>(top_) * file_->rowBytes, rows);
            return nullptr;
        }
        if (!heldRaster_) return kPrepareReadFailed;
        if (top_ == 0 && rows == file_->height) {
            band.raster_ = heldRaster_;
            return nullptr;
        }
        BitmapInfoHeader header = heldRaster_->Header();
        header.biHeight = rows;
        std::unique_ptr<DibImage> copy = DibImage::Create(
            header, heldRaster_->Colors().data(), static_cast<int>(heldRaster_->Colors().size()));
        if (!copy) return kPrepareReadFailed;
        for (int i = 0; i < rows; ++i)
            std::memcpy(copy->Row(i), heldRaster_->Row(top_ + i), copy->Stride());
        band.raster_ = std::move(copy);
        return nullptr;
    }

    SourceFilePtr source_;
    CheckedInput input_;
    std::shared_ptr<const PngSplitImage> file_;
    bool rasterRows_;
    bool interlaced_;
    const ReadWatch* watch_;
    PngRasterPlan plan_;
    PngRasterShape shape_;
    PngReadHandles handles_;
    PngReadStream stream_;
    int passes_ = 1;
    std::shared_ptr<const DibImage> heldRaster_;    // interlaced files' raster rows
    std::shared_ptr<const uint8_t[]> heldSamples_;  // interlaced files' samples
    int top_ = 0;
    const char* failure_ = nullptr;
    mutable bool beyondRaster_ = false;
};

}  // namespace

const char* ReadPngChunks(const SourceFile& source, PngSplitImage& file) {
    try {
        ImageDataRun run;
        if (!FindImageData(source, run)) return msg::kOpenFailed;
        bool infoFailed = false;
        return ReadChunks(source, run, true, false, file, infoFailed);
    } catch (...) {
        return kPrepareReadFailed;
    }
}

}  // namespace tessarin::png

namespace tessarin {
namespace {

using namespace png;

bool Open(const SourceFilePtr& source, const TileSettings& settings, LoadedImage& out,
          std::unique_ptr<RowBands>& bands) {
    const bool rasterRows = settings.RasterTiles();
    const char* error = nullptr;
    if (!OpenPngFile(source.get(), error)) {
        out.error = error;
        return false;
    }
    ImageDataRun run;
    if (!FindImageData(*source, run)) {
        out.error = msg::kOpenFailed;  // as libpng says of a file without image data
        return false;
    }

    // The chunks, kept for PNG tiles. Raster rows need none, but the load
    // for them reads them all the same, and reads the file again without
    // them when they fail it before its image data or take more than their
    // budget.
    auto file = std::make_shared<PngSplitImage>();
    bool infoFailed = false;
    error = ReadChunks(*source, run, true, rasterRows, *file, infoFailed);
    if (error && rasterRows && (infoFailed || error == msg::kReadFailed))
        error = ReadChunks(*source, run, false, true, *file, infoFailed);
    if (error) {
        out.error = error;
        return false;
    }
    file->compression = settings.GetInt("PNG", "COMPRESSION", kDefaultPngCompression);

    auto opened = std::make_unique<PngBands>(source, file, rasterRows, settings.Watch());
    if (const char* failure = opened->Start()) {
        out.error = failure;
        return false;
    }
    out.width = file->width;
    out.height = file->height;
    // As the whole load of each kind says it: the file's bits per pixel, or
    // those of its samples as the tiles take them.
    const int channels = static_cast<int>(file->bytesPerPixel) / (file->bitDepth == 16 ? 2 : 1);
    out.displayDepth =
        rasterRows ? channels * file->bitDepth : static_cast<int>(file->bytesPerPixel * 8);
    out.colorKind = PngColorKind(file->colorType);
    out.interlaced = file->interlaceMethod == PNG_INTERLACE_ADAM7;
    out.alpha = (file->colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if (const auto& icc = file->beforeImageData.iccProfile; icc && !icc->profile.empty())
        out.iccProfile = std::make_shared<const IccProfile>(icc->profile);
    out.source = source;
    bands = std::move(opened);
    return true;
}

}  // namespace

bool OpenPngBands(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
                  std::unique_ptr<RowBands>& bands) {
    try {
        return Open(file, settings, out, bands);
    } catch (...) {
        bands.reset();
        SetFailureText(out.error, kPrepareReadFailed);
        return false;
    }
}

}  // namespace tessarin
