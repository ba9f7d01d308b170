// The one reader of JPEG files: one decompressor reads the rows from top to
// bottom into each band in turn. Everything that shows or cuts a file's
// pixels reads them here: the whole load is one band of every row, whose
// raster becomes the image's; the window's reduced view reads bands the
// library decodes at 1/2 to 1/8 of the size; a split cuts its exact tiles,
// or tiles as BMP, band by band. A file of several scans (every progressive
// file) keeps the coefficients of the whole image: the library reads all its
// scans into them before the first row comes out, a progressive file's on two
// threads where it can be (jpeg_progressive.h), into the same one set, and
// offers the picture of its first scans on the way to a watch that wants it.
// The reader holds that set, and the bands. A damaged file fails at the band
// whose rows meet the damage, or, opened for a view, is read on as the
// library fills it in. Lossless tiles are cut from the file's coefficients,
// not from rows: they are not cut by bands.

#include <algorithm>
#include <thread>
#include <vector>

#include "imaging/checked_size.h"
#include "imaging/failure_text.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_lossless.h"
#include "imaging/jpeg/jpeg_messages.h"
#include "imaging/jpeg/jpeg_progressive.h"
#include "imaging/memory_budget.h"
#include "imaging/messages.h"

namespace tessarin {

namespace jpeg {

int RasterDepth(const jpeg_decompress_struct& codec) {
    const int depth = codec.out_color_space == JCS_CMYK ? 24 : 8 * codec.out_color_components;
    return depth == 8 || depth == 16 || depth == 24 || depth == 32 ? depth : 0;
}

std::unique_ptr<DibImage> NewRaster(const jpeg_decompress_struct& codec, int rows) {
    BitmapInfoHeader header;
    header.biWidth = static_cast<int>(codec.output_width);
    header.biHeight = rows;  // bottom-up
    header.biBitCount = static_cast<uint16_t>(RasterDepth(codec));
    RgbQuad grey[256];
    const bool isGrey = codec.output_components == 1;
    if (isGrey) {
        for (int i = 0; i < 256; ++i) {
            const auto level = static_cast<uint8_t>(i);
            grey[i] = RgbQuad{level, level, level, 0};
        }
    }
    return DibImage::Create(header, isGrey ? grey : nullptr, isGrey ? 256 : 0);
}

}  // namespace jpeg

namespace {

// What the library takes for its own row buffers and tables beside the
// coefficients.
constexpr uint64_t kLibraryWorkingBytes = uint64_t{64} << 20;

// Plain data only: it arms the decoder's recovery point.
bool MultipleScansStage(jpeg::JpegDecoder* decoder, bool* multiple) {
    if (setjmp(decoder->errors.recovery)) return false;
    *multiple = jpeg_has_multiple_scans(&decoder->codec) != FALSE;
    return true;
}

// Output at 1/`scale` of the size, by the library's scaled inverse DCT.
bool ScaleStage(jpeg::JpegDecoder* decoder, int scale) {
    if (setjmp(decoder->errors.recovery)) return false;
    decoder->codec.scale_num = 1;
    decoder->codec.scale_denom = static_cast<unsigned>(scale);
    jpeg_calc_output_dimensions(&decoder->codec);
    return true;
}

class JpegBand final : public RowBand {
  public:
    const TileSource* Tiles() const override { return tiles_.get(); }
    std::shared_ptr<const DibImage> Raster() const override { return raster_; }
    std::shared_ptr<DibImage> raster_;
    std::unique_ptr<TileSource> tiles_;
};

class JpegBands final : public RowBands {
  public:
    JpegBands(jpeg::DecoderPointer decoder, SourceFilePtr source, FilePtr file, uint64_t held,
              bool rasterRows, int quality, std::shared_ptr<const IccProfile> profile,
              const ReadWatch* watch, bool showDamage)
        : watch_(watch),
          source_(std::move(source)),
          file_(std::move(file)),
          decoder_(std::move(decoder)),
          held_(held),
          rasterRows_(rasterRows),
          showDamage_(showDamage),
          quality_(quality),
          profile_(std::move(profile)) {
        const jpeg_decompress_struct& codec = decoder_->codec;
        stride_ = DibStride(codec.output_width, jpeg::RasterDepth(codec));
        if (codec.out_color_space == JCS_CMYK) cmykRow_.resize(size_t{4} * codec.output_width);
    }

    uint64_t HeldBytes() const override { return held_; }
    uint64_t BandBytes(int rows) const override {
        if (rows <= 0) return 0;
        return CheckedSize(stride_, static_cast<uint64_t>(rows), 1, cmykRow_.size()).value_or(0);
    }
    std::unique_ptr<RowBand> NewBand(int) override { return std::make_unique<JpegBand>(); }

    const char* ReadRows(RowBand& band, int rows) override {
        try {
            return Read(static_cast<JpegBand&>(band), rows);
        } catch (...) {
            return msg::kMemoryFailed;
        }
    }
    const char* MemoryMessage() const override { return msg::kMemoryFailed; }
    const char* Damage() const override { return damage_; }
    void RunOn(TaskRunner* runner) override { runner_ = runner; }

  private:
    const char* Read(JpegBand& band, int rows) {
        jpeg_decompress_struct& codec = decoder_->codec;
        if (rows <= 0 || static_cast<JDIMENSION>(rows) > codec.output_height - top_)
            return jpeg::kImageDataFailed;
        band.tiles_.reset();
        // The last band's raster is reused when it is of the same height and
        // nothing else holds it.
        if (!band.raster_ || band.raster_->AbsHeight() != rows || band.raster_.use_count() != 1) {
            band.raster_.reset();
            band.raster_ = jpeg::NewRaster(codec, rows);
            if (!band.raster_) return jpeg::kRasterFailed;
        }
        if (!rowsFrom_) {
            if (const char* failure = Start()) return failure;
        }
        rowPointers_.resize(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i) rowPointers_[static_cast<size_t>(i)] = band.raster_->Row(i);
        const jpeg::RowTarget target{rowPointers_.data(),
                                     cmykRow_.empty() ? nullptr : cmykRow_.data(),
                                     codec.saw_Adobe_marker != 0, codec.output_width, top_};
        const JDIMENSION end = top_ + static_cast<JDIMENSION>(rows);
        // Damage fails the band where it shows: no tile is cut from rows the
        // decoder made up, and a file that claims far more rows than its data
        // holds stops there.
        if (!jpeg::ReadRowsStage(rowsFrom_, &target, end, !showDamage_))
            return rowsFrom_->scanLimit.exceeded ? jpeg::kExpandFailed : jpeg::kImageDataFailed;
        if (rowsFrom_->errors.damaged) damage_ = jpeg::kImageDataFailed;
        top_ = end;
        // The last rows count once the decompression has ended well: a file
        // with more after its picture (a second scan of a single-scan file)
        // fails here.
        if (top_ == codec.output_height && !jpeg::FinishStage(rowsFrom_))
            return jpeg::kImageDataFailed;
        if (!rasterRows_) band.tiles_ = jpeg::MakeExactJpegTiles(band.raster_, quality_, profile_);
        return nullptr;
    }

    // A progressive file's scans are decoded on two threads where they can
    // be; when that declines, the usual decode gives any failure its
    // message. It reads the file again: one rewritten in place since the
    // header was read fails here.
    const char* Start() {
        const jpeg_decompress_struct& codec = decoder_->codec;
        // The two-thread decode makes rows of the file's own size only.
        if (codec.progressive_mode && codec.scale_denom == 1 &&
            std::thread::hardware_concurrency() >= 2) {
            split_ = jpeg::StartProgressiveOnTwoThreads(*source_, codec, watch_, runner_);
            if (split_.changed) return msg::kReadFailed;
        }
        if (split_.decoder) {
            rowsFrom_ = split_.decoder.get();
        } else {
            if (!jpeg::StartStage(decoder_.get())) return jpeg::kExpandFailed;
            rowsFrom_ = decoder_.get();
        }
        return nullptr;
    }

    const ReadWatch* watch_;
    TaskRunner* runner_ = nullptr;  // runs the second decoder of a progressive file
    SourceFilePtr source_;
    FilePtr file_;                  // what the decoder reads; closed after it
    jpeg::DecoderPointer decoder_;  // reads the header, and the rows unless split_ does
    jpeg::ProgressiveStart split_;
    jpeg::JpegDecoder* rowsFrom_ = nullptr;  // set once decoding has started
    uint64_t held_;
    bool rasterRows_;
    bool showDamage_;
    const char* damage_ = nullptr;
    int quality_;
    std::shared_ptr<const IccProfile> profile_;
    uint64_t stride_ = 0;
    std::vector<JSAMPLE> cmykRow_;
    std::vector<JSAMPROW> rowPointers_;
    JDIMENSION top_ = 0;
};

bool Fail(LoadedImage& out, const char* message) {
    SetFailureText(out.error, message);
    return false;
}

// Reads the header of `source` into a new decoder (`file` is what it reads),
// refusing files whose rows no raster takes. Returns the failure message, or
// null.
const char* ReadHeader(const SourceFilePtr& source, const ReadWatch* watch,
                       jpeg::DecoderPointer& decoder, FilePtr& file) {
    decoder = jpeg::NewDecoder();
    if (!decoder || !jpeg::CreateStage(decoder.get())) return msg::kMemoryFailed;
    decoder->scanLimit.watch = watch;
    if (!source) return msg::kReadFailed;
    file.reset(source->OpenStream());
    if (!file) return msg::kReadFailed;
    if (!jpeg::HeaderStage(decoder.get(), file.get())) return jpeg::kHeaderFailed;
    if (jpeg::RasterDepth(decoder->codec) == 0) return jpeg::kRasterFailed;
    return nullptr;
}

// The picture's size, depth and grid as the header gives them.
void Describe(const jpeg_decompress_struct& codec, const SourceFilePtr& source, LoadedImage& out) {
    out.width = static_cast<int>(codec.image_width);
    out.height = static_cast<int>(codec.image_height);
    // The depth the file stores, whatever the raster becomes.
    out.displayDepth = 8 * codec.output_components;
    out.colorKind = codec.output_components == 1 ? ColorKind::Grey : ColorKind::None;
    out.interlaced = false;
    const jpeg::JpegCropGrid grid = jpeg::CropGridOf(codec);
    out.blockWidth = grid.width;
    out.blockHeight = grid.height;
    out.source = source;
}

bool Open(const SourceFilePtr& source, const TileSettings& settings, LoadedImage& out,
          std::unique_ptr<RowBands>& bands) {
    const JpegTileOptions options = JpegTileOptions::From(settings);
    const bool rasterRows = settings.RasterTiles();
    if (!options.exact && !rasterRows) return true;  // cut from the coefficients

    jpeg::DecoderPointer decoder;
    FilePtr file;
    if (const char* failure = ReadHeader(source, settings.Watch(), decoder, file))
        return Fail(out, failure);
    jpeg_decompress_struct& codec = decoder->codec;
    // Bands for a reduced view may come scaled down.
    const int scale = settings.GetInt("VIEW", "SCALE", 1);
    if ((scale == 2 || scale == 4 || scale == 8) && !ScaleStage(decoder.get(), scale))
        return Fail(out, jpeg::kHeaderFailed);
    // The rows must make a raster; its height is checked with the bands
    // asked for, a band's rows are all that is ever held.
    if (!DibSizeAcceptable(codec.output_width, 1, jpeg::RasterDepth(codec)))
        return Fail(out, jpeg::kRasterFailed);
    bool multipleScans = false;
    if (!MultipleScansStage(decoder.get(), &multipleScans)) return Fail(out, jpeg::kHeaderFailed);
    // The two-thread decode of a progressive file holds the same one set, the
    // first component's in one decoder's arrays and the others' in the
    // other's; the arrays neither touches take no memory.
    const uint64_t held = multipleScans ? jpeg::CoefficientBytes(codec) : 0;
    // Coefficients beyond the library's usual limit are allowed as far as the
    // split's budget holds them; the split checks them with its bands.
    if (held + kLibraryWorkingBytes > jpeg::kLibraryMemoryLimit && FitsSplitMemoryBudget(held, 0))
        codec.mem->max_memory_to_use = static_cast<long>(held + kLibraryWorkingBytes);

    Describe(codec, source, out);
    if (!jpeg::ProfileStage(decoder.get(), out.iccProfile)) return Fail(out, jpeg::kHeaderFailed);
    out.bandReduction = static_cast<int>(codec.scale_denom);
    bands = std::make_unique<JpegBands>(
        std::move(decoder), source, std::move(file), held, rasterRows, options.quality,
        out.iccProfile, settings.Watch(), settings.GetInt("VIEW", "SHOW_DAMAGE", 0) != 0);
    return true;
}

}  // namespace

bool OpenJpegBands(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
                   std::unique_ptr<RowBands>& bands) {
    try {
        return Open(file, settings, out, bands);
    } catch (...) {
        bands.reset();
        return Fail(out, msg::kMemoryFailed);
    }
}

bool LoadJpegHeader(const SourceFilePtr& file, LoadedImage& out) {
    try {
        jpeg::DecoderPointer decoder;
        FilePtr stream;
        if (const char* failure = ReadHeader(file, nullptr, decoder, stream))
            return Fail(out, failure);
        Describe(decoder->codec, file, out);
        return true;
    } catch (...) {
        return Fail(out, msg::kMemoryFailed);
    }
}

}  // namespace tessarin
