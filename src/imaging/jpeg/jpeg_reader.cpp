// Decoding a JPEG file straight into a bottom-up raster; CMYK and YCCK files
// are turned into colour on the way.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "imaging/failure_text.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_glue.h"
#include "imaging/messages.h"
#include "platform/file_io.h"

namespace tessarin {

namespace {

using jpeg_glue::JpegErrorManager;

constexpr const char* kHeaderFailed = "ヘッダ情報の読み込みに失敗しました";
constexpr const char* kExpandFailed = "ファイルの展開に失敗しました";
constexpr const char* kRasterFailed = "BMPオブジェクトの作成に失敗しました";
constexpr const char* kImageDataFailed = "イメージデータの取得に失敗しました";

using jpeg_glue::JpegDecoder;
using jpeg_glue::RowTarget;

// The stage below arms the recovery point and holds plain data only.
bool StartStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_start_decompress(&decoder->codec);
    return true;
}

// One file decoded into a new bottom-up raster: the header and the raster
// first, then the rows, all at once or a batch at a time.
class RasterDecode {
  public:
    // Reads the header and, unless `headerOnly`, makes the raster. Returns
    // the failure message, or null.
    const char* Open(const SourceFilePtr& source, bool headerOnly) {
        decoder_ = jpeg_glue::NewDecoder();
        if (!decoder_ || !jpeg_glue::CreateStage(decoder_.get())) return msg::kMemoryFailed;
        if (!source) return msg::kReadFailed;
        file_.reset(source->OpenStream());
        if (!file_) return msg::kReadFailed;
        if (!jpeg_glue::HeaderStage(decoder_.get(), file_.get())) return kHeaderFailed;

        // Refuse what no raster can hold before the library allocates
        // anything for the whole image.
        const jpeg_decompress_struct& codec = decoder_->codec;
        const bool cmyk = codec.out_color_space == JCS_CMYK;
        const int depth = cmyk ? 24 : 8 * codec.out_color_components;
        if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return kRasterFailed;
        if (!DibSizeAcceptable(codec.output_width, codec.output_height, depth))
            return kRasterFailed;
        if (headerOnly) return nullptr;

        source_ = source;
        BitmapInfoHeader header;
        header.biWidth = static_cast<int>(codec.output_width);
        header.biHeight = static_cast<int>(codec.output_height);  // bottom-up
        header.biBitCount = static_cast<uint16_t>(depth);
        RgbQuad grey[256];
        const bool isGrey = codec.output_components == 1;
        if (isGrey) {
            for (int i = 0; i < 256; ++i) {
                const auto level = static_cast<uint8_t>(i);
                grey[i] = RgbQuad{level, level, level, 0};
            }
        }
        raster_ = DibImage::Create(header, isGrey ? grey : nullptr, isGrey ? 256 : 0);
        if (!raster_) return kRasterFailed;
        rows_.resize(codec.output_height);
        if (cmyk) cmykRow_.resize(size_t{4} * codec.output_width);
        for (JDIMENSION i = 0; i < codec.output_height; ++i)
            rows_[i] = raster_->Row(static_cast<int>(i));
        target_ = RowTarget{rows_.data(), cmyk ? cmykRow_.data() : nullptr,
                            codec.saw_Adobe_marker != 0, codec.output_width};
        return nullptr;
    }

    // Decodes rows until the first `upTo` are in the raster. Returns the
    // failure message, or null. A failure leaves the decompression
    // unfinished on purpose: finishing one whose rows were not all read is
    // itself a library error.
    const char* Rows(JDIMENSION upTo) {
        if (!rowsFrom_) {
            // A progressive file is decoded on two threads where it can be;
            // when that declines, the usual decode gives any failure its
            // message. It reads the same open file again: one rewritten in
            // place since the header was read fails here.
            const jpeg_decompress_struct& codec = decoder_->codec;
            if (codec.progressive_mode && codec.num_components >= 2 &&
                std::thread::hardware_concurrency() >= 2) {
                split_ = jpeg_glue::StartProgressiveOnTwoThreads(*source_, codec);
                if (split_.changed) return msg::kReadFailed;
            }
            if (split_.decoder) {
                rowsFrom_ = split_.decoder.get();
            } else {
                if (!StartStage(decoder_.get())) return kExpandFailed;
                rowsFrom_ = decoder_.get();
            }
        }
        if (!jpeg_glue::ReadRowsStage(rowsFrom_, &target_, upTo))
            return rowsFrom_->scanLimit.exceeded ? kExpandFailed : kImageDataFailed;
        return nullptr;
    }

    const char* Finish() { return jpeg_glue::FinishStage(rowsFrom_) ? nullptr : kImageDataFailed; }

    const jpeg_decompress_struct& Codec() const { return decoder_->codec; }
    DibImage& Raster() { return *raster_; }
    std::unique_ptr<DibImage> TakeRaster() { return std::move(raster_); }

  private:
    SourceFilePtr source_;
    jpeg_glue::DecoderPointer decoder_;  // reads the header, and the rows unless split_ does
    FilePtr file_;
    jpeg_glue::ProgressiveStart split_;
    JpegDecoder* rowsFrom_ = nullptr;  // set once decoding has started
    std::unique_ptr<DibImage> raster_;
    std::vector<JSAMPROW> rows_;
    std::vector<JSAMPLE> cmykRow_;
    RowTarget target_{};
};

bool Fail(LoadedImage& out, const char* message) {
    out.raster.reset();
    out.source.reset();
    out.displayDepth = 0;
    out.colorKind = kColorKindNone;
    out.interlaced = false;
    SetFailureText(out.error, message);
    return false;
}

bool Load(const SourceFilePtr& source, LoadedImage& out, bool headerOnly) {
    Fail(out, "");
    RasterDecode decode;
    const char* failure = decode.Open(source, headerOnly);
    if (!failure && !headerOnly) failure = decode.Rows(decode.Codec().output_height);
    if (!failure && !headerOnly) failure = decode.Finish();
    if (failure) return Fail(out, failure);
    const jpeg_decompress_struct& codec = decode.Codec();
    out.raster = decode.TakeRaster();
    out.width = static_cast<int>(codec.output_width);
    out.height = static_cast<int>(codec.output_height);
    // The depth the file stores, whatever the raster became.
    out.displayDepth = 8 * codec.output_components;
    out.colorKind = codec.output_components == 1 ? kColorKindGrey : kColorKindNone;
    out.source = source;
    return true;
}

bool LoadGuarded(const SourceFilePtr& source, LoadedImage& out, bool headerOnly) {
    try {
        return Load(source, out, headerOnly);
    } catch (...) {
        return Fail(out, msg::kMemoryFailed);
    }
}

}  // namespace

bool LoadJpegFile(const SourceFilePtr& file, LoadedImage& out) {
    return LoadGuarded(file, out, false);
}

bool LoadJpegHeader(const SourceFilePtr& file, LoadedImage& out) {
    return LoadGuarded(file, out, true);
}

bool LoadJpegFile(const std::string& path, LoadedImage& out) {
    return LoadGuarded(SourceFile::Open(path), out, false);
}

bool LoadJpegHeader(const std::string& path, LoadedImage& out) {
    return LoadGuarded(SourceFile::Open(path), out, true);
}

namespace jpeg_glue {

namespace {

// One row of four-component samples as the colour they print: each of cyan,
// magenta and yellow takes its share of the light that black lets through.
void CmykRowToBgr(const uint8_t* in, uint8_t* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        // Light left by each ink: 255 is no ink at all.
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = static_cast<uint8_t>((y * k + 127) / 255);
        out[1] = static_cast<uint8_t>((m * k + 127) / 255);
        out[2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
}

}  // namespace

bool HeaderStage(JpegDecoder* decoder, std::FILE* file) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    jpeg_stdio_src(codec, file);
    jpeg_read_header(codec, TRUE);
    ChooseOutputSpace(codec);
    jpeg_calc_output_dimensions(codec);
    return true;
}

bool CreateStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_create_decompress(&decoder->codec);
    decoder->codec.mem->max_memory_to_use = static_cast<long>(kLibraryMemoryLimit);
    InstallScanLimit(&decoder->codec, decoder->scanLimit);
    return true;
}

DecoderPointer NewDecoder() {
    DecoderPointer decoder(new (std::nothrow) JpegDecoder());
    if (decoder) decoder->codec.err = InstallErrorManager(decoder->errors);
    return decoder;
}

void ChooseOutputSpace(jpeg_decompress_struct* codec) {
    if (codec->out_color_space == JCS_RGB) codec->out_color_space = JCS_EXT_BGR;
    if (codec->jpeg_color_space == JCS_CMYK || codec->jpeg_color_space == JCS_YCCK)
        codec->out_color_space = JCS_CMYK;
}

bool ReadRowsStage(JpegDecoder* decoder, const RowTarget* target, JDIMENSION upTo) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    if (upTo > codec->output_height) upTo = codec->output_height;
    while (codec->output_scanline < upTo) {
        const JDIMENSION done = codec->output_scanline;
        if (target->cmykRow) {
            JSAMPROW row = target->cmykRow;
            if (jpeg_read_scanlines(codec, &row, 1) == 0) return false;
            CmykRowToBgr(row, target->rows[done], target->width, target->cmykInverted);
        } else if (jpeg_read_scanlines(codec, target->rows + done, upTo - done) == 0) {
            return false;
        }
    }
    return true;
}

bool FinishStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    if (decoder->codec.buffered_image) jpeg_finish_output(&decoder->codec);
    jpeg_finish_decompress(&decoder->codec);
    return true;
}

// The decoding thread's state lives in the feed; the thread publishes how
// many rows are done after each batch.
struct JpegRowFeed::State {
    RasterDecode decode;
    JDIMENSION height = 0;
    std::atomic<int> ready{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::condition_variable changed;
    const char* failure = nullptr;  // under lock
    bool ended = false;             // under lock
    std::thread thread;

    void Run() noexcept {
        const char* failed = nullptr;
        try {
            for (JDIMENSION done = 0; done < height && !failed;) {
                if (stop.load(std::memory_order_relaxed)) break;
                const JDIMENSION next = std::min(height, done + kBatchRows);
                failed = decode.Rows(next);
                // The last rows count once the decompression has ended well.
                if (!failed && next == height) failed = decode.Finish();
                if (!failed) Publish(static_cast<int>(next));
                done = next;
            }
        } catch (...) {
            failed = msg::kMemoryFailed;
        }
        std::lock_guard<std::mutex> guard(lock);
        failure = failed;
        ended = true;
        changed.notify_all();
    }

    void Publish(int rows) {
        {
            std::lock_guard<std::mutex> guard(lock);
            ready.store(rows, std::memory_order_release);
        }
        changed.notify_all();
    }

    // Rows per batch: one MCU row of a 4:2:0 file.
    static constexpr JDIMENSION kBatchRows = 16;
};

std::unique_ptr<JpegRowFeed> JpegRowFeed::Start(const SourceFilePtr& file, int width, int height,
                                                int depth, std::string& error) {
    try {
        std::unique_ptr<JpegRowFeed> feed(new JpegRowFeed());
        State& state = *feed->state_;
        if (const char* failure = state.decode.Open(file, false)) {
            SetFailureText(error, failure);
            return nullptr;
        }
        const jpeg_decompress_struct& codec = state.decode.Codec();
        if (static_cast<int>(codec.output_width) != width ||
            static_cast<int>(codec.output_height) != height ||
            (depth != 0 && 8 * codec.output_components != depth)) {
            SetFailureText(error, msg::kClipFailed);
            return nullptr;
        }
        state.height = codec.output_height;
        state.thread = std::thread(&State::Run, &state);
        return feed;
    } catch (...) {
        SetFailureText(error, msg::kMemoryFailed);
        return nullptr;
    }
}

JpegRowFeed::JpegRowFeed() : state_(std::make_unique<State>()) {}

JpegRowFeed::~JpegRowFeed() {
    state_->stop.store(true, std::memory_order_relaxed);
    if (state_->thread.joinable()) state_->thread.join();
}

const char* JpegRowFeed::WaitForRows(int rows) const {
    State& state = *state_;
    if (state.ready.load(std::memory_order_acquire) >= rows) return nullptr;
    std::unique_lock<std::mutex> guard(state.lock);
    state.changed.wait(
        guard, [&] { return state.ready.load(std::memory_order_relaxed) >= rows || state.ended; });
    if (state.ready.load(std::memory_order_relaxed) >= rows) return nullptr;
    return state.failure ? state.failure : kImageDataFailed;
}

const DibImage& JpegRowFeed::Raster() const { return state_->decode.Raster(); }

}  // namespace jpeg_glue

}  // namespace tessarin
