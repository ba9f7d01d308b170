// WebP files read band by band through libwebp's incremental decoder: the
// file is read in chunks, through the file opened for the load, and each
// band waits only for the rows it needs (a lossy picture's rows come out as
// its macroblocks are decoded; a lossless one's as its pixels are). The
// decoder writes into one picture the bands hold and copy their rows from,
// so what a file costs is that picture plus the decoder's own state, told
// before anything is allocated.

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/checked_size.h"
#include "imaging/failure_text.h"
#include "imaging/memory_budget.h"
#include "imaging/messages.h"
#include "imaging/read_watch.h"
#include "imaging/webp/webp_format.h"

namespace tessarin {
namespace webp {
namespace {

// The bytes read for the decoder at a time.
constexpr size_t kReadChunk = size_t{256} << 10;
// The chunks a file may have before its picture: more is not a picture
// anybody wrote, and each costs a read.
constexpr int kMaxChunksBeforeImage = 1024;
// The largest colour profile kept; a larger one is not a profile.
constexpr uint64_t kMaxProfileBytes = uint64_t{64} << 20;
// The extended header's flags.
constexpr uint8_t kAnimationFlag = 0x02;

uint32_t Le32(const uint8_t* b) {
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

bool Tag(const uint8_t* header, const char* tag) { return std::memcmp(header, tag, 4) == 0; }

// Where a file's parts are, found by walking its chunk headers up to its
// picture.
struct WebpLayout {
    uint64_t riffEnd = 0;
    bool extended = false;
    bool alphaChunk = false;
    bool hasProfile = false;
    uint64_t profileAt = 0;  // the profile chunk's payload
    uint64_t profileSize = 0;
    uint64_t imageAt = 0;  // the picture's chunk header ("VP8 " or "VP8L")
    uint64_t imageSize = 0;
    bool lossless = false;
};

// Returns nullptr or the message.
const char* ReadLayout(const SourceFile& file, WebpLayout& layout) {
    uint8_t riff[12];
    if (!file.ReadAt(0, riff, sizeof riff) || !Tag(riff, "RIFF") || !Tag(riff + 8, "WEBP"))
        return msg::kInvalidFile;
    layout.riffEnd = std::min<uint64_t>(8 + uint64_t{Le32(riff + 4)}, file.Size());
    uint64_t at = 12;
    for (int n = 0; n < kMaxChunksBeforeImage && at + 8 <= layout.riffEnd; ++n) {
        uint8_t header[8];
        if (!file.ReadAt(at, header, sizeof header)) return msg::kInvalidFile;
        const uint64_t size = Le32(header + 4);
        if (Tag(header, "VP8 ") || Tag(header, "VP8L")) {
            layout.imageAt = at;
            layout.imageSize = size;
            layout.lossless = Tag(header, "VP8L");
            return nullptr;
        }
        if (Tag(header, "VP8X")) {
            uint8_t flags = 0;
            if (at != 12 || size < 10 || !file.ReadAt(at + 8, &flags, 1)) return msg::kInvalidFile;
            if (flags & kAnimationFlag) return kAnimated;
            layout.extended = true;
        } else if (Tag(header, "ANIM") || Tag(header, "ANMF")) {
            return kAnimated;
        } else if (Tag(header, "ALPH")) {
            layout.alphaChunk = true;
        } else if (Tag(header, "ICCP") && !layout.hasProfile) {
            layout.hasProfile = true;
            layout.profileAt = at + 8;
            layout.profileSize = size;
        }
        at += 8 + size + (size & 1);
    }
    return msg::kInvalidFile;
}

// The file's colour profile, read as libwebp's demuxer finds it in the
// file's start (the profile comes before the picture). Returns nullptr or
// the message.
const char* ReadProfile(const SourceFile& file, const WebpLayout& layout,
                        std::shared_ptr<const IccProfile>& profile) {
    if (!layout.hasProfile) return nullptr;
    const uint64_t end = layout.profileAt + layout.profileSize;
    if (layout.profileSize > kMaxProfileBytes || end > file.Size()) return msg::kInvalidFile;
    if (!FitsSplitMemoryBudget(0, 2 * end)) return msg::kMemoryFailed;
    std::vector<uint8_t> start(static_cast<size_t>(end));
    if (!file.ReadAt(0, start.data(), start.size())) return msg::kReadFailed;
    const WebPData data = {start.data(), start.size()};
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    WebPDemuxer* demux = WebPDemuxPartial(&data, &state);
    if (!demux) return msg::kInvalidFile;
    WebPChunkIterator chunk;
    const bool found = WebPDemuxGetChunk(demux, "ICCP", 1, &chunk) != 0;
    if (found && chunk.chunk.size > 0)
        profile = std::make_shared<const IccProfile>(chunk.chunk.bytes,
                                                     chunk.chunk.bytes + chunk.chunk.size);
    if (found) WebPDemuxReleaseChunkIterator(&chunk);
    WebPDemuxDelete(demux);
    return found ? nullptr : msg::kInvalidFile;
}

// What the file holds, as the bands read it.
struct WebpPicture {
    int width = 0;
    int height = 0;
    bool alpha = false;
    bool lossless = false;
    // Where the file's picture ends; a file that ends before is damaged.
    uint64_t imageEnd = 0;
    std::shared_ptr<const IccProfile> profile;
    int Depth() const { return alpha ? 32 : 24; }
};

const char* ReadPicture(const SourceFile& file, WebpPicture& picture) {
    WebpLayout layout;
    if (const char* failure = ReadLayout(file, layout)) return failure;
    // The picture's own header, as libwebp reads it from the chunk on.
    uint8_t head[64];
    const auto n =
        static_cast<size_t>(std::min<uint64_t>(sizeof head, file.Size() - layout.imageAt));
    WebPBitstreamFeatures features;
    if (!file.ReadAt(layout.imageAt, head, n) ||
        WebPGetFeatures(head, n, &features) != VP8_STATUS_OK || features.has_animation)
        return msg::kInvalidFile;
    picture.width = features.width;
    picture.height = features.height;
    picture.alpha = features.has_alpha || layout.alphaChunk;
    picture.lossless = layout.lossless;
    picture.imageEnd = layout.imageAt + 8 + layout.imageSize;
    if (!DibSizeAcceptable(picture.width, picture.height, picture.Depth()))
        return msg::kMemoryFailed;
    return ReadProfile(file, layout, picture.profile);
}

class WebpBand final : public RowBand {
  public:
    const TileSource* Tiles() const override { return tiles_.get(); }
    std::shared_ptr<const DibImage> Raster() const override { return raster_; }
    std::shared_ptr<const DibImage> raster_;
    std::unique_ptr<TileSource> tiles_;  // WebP tiles of the raster
};

class WebpBands final : public RowBands {
  public:
    WebpBands(SourceFilePtr file, WebpPicture picture, bool rasterRows, bool showDamage,
              int quality, const ReadWatch* watch)
        : file_(std::move(file)),
          picture_(std::move(picture)),
          rasterRows_(rasterRows),
          showDamage_(showDamage),
          quality_(quality),
          watch_(watch),
          stride_(DibStride(picture_.width, picture_.Depth())) {
        WebPInitDecBuffer(&output_);
    }
    ~WebpBands() override {
        if (decoder_) WebPIDelete(decoder_);
    }
    WebpBands(const WebpBands&) = delete;
    WebpBands& operator=(const WebpBands&) = delete;

    // The picture the decoder writes, what the decoder keeps of the file's
    // data, and its own: a lossless decoder holds the whole picture as
    // 32-bit pixels, a lossy one the alpha plane of a picture that has one
    // (and a few macroblock rows).
    uint64_t HeldBytes() const override {
        const auto pixels =
            static_cast<uint64_t>(picture_.width) * static_cast<uint64_t>(picture_.height);
        const uint64_t decoder = picture_.lossless ? 4 * pixels : picture_.alpha ? pixels : 0;
        return stride_ * static_cast<uint64_t>(picture_.height) + decoder + DataEnd();
    }
    uint64_t BandBytes(int rows) const override {
        if (rows <= 0) return 0;
        if (rows >= picture_.height) return 1;  // a band of every row takes the picture
        return stride_ * static_cast<uint64_t>(rows);
    }
    std::unique_ptr<RowBand> NewBand(int) override {
        return std::unique_ptr<RowBand>(new (std::nothrow) WebpBand);
    }
    const char* ReadRows(RowBand& band, int rows) override {
        auto& webpBand = static_cast<WebpBand&>(band);
        webpBand.raster_.reset();
        webpBand.tiles_.reset();
        if (failure_) return failure_;
        try {
            failure_ = Read(webpBand, rows);
        } catch (...) {
            failure_ = msg::kMemoryFailed;
        }
        if (failure_) {
            webpBand.raster_.reset();
            webpBand.tiles_.reset();
            Finish();
        }
        return failure_;
    }
    const char* Damage() const override { return damaged_ ? msg::kReadFailed : nullptr; }
    const char* MemoryMessage() const override { return msg::kMemoryFailed; }

  private:
    const char* Read(WebpBand& band, int rows) {
        if (rows <= 0 || top_ + rows > picture_.height) return msg::kReadFailed;
        if (!held_ && !ended_)
            if (const char* failure = Start()) return failure;
        if (!held_) return msg::kReadFailed;
        if (const char* failure = DecodeTo(top_ + rows)) return failure;
        if (top_ == 0 && rows == picture_.height) {
            band.raster_ = held_;
        } else {
            BitmapInfoHeader header = held_->Header();
            header.biHeight = -rows;
            std::unique_ptr<DibImage> copy = DibImage::Create(header);
            if (!copy) return msg::kMemoryFailed;
            for (int y = 0; y < rows; ++y) std::memcpy(copy->Row(y), held_->Row(top_ + y), stride_);
            band.raster_ = std::move(copy);
        }
        top_ += rows;
        if (!rasterRows_) {
            const WebpTileKind kind = {picture_.lossless, quality_, picture_.alpha};
            band.tiles_ = MakeWebpRasterTiles(band.raster_, kind, picture_.profile);
        }
        // Every row is served: the bands hold the picture no longer.
        if (top_ >= picture_.height) {
            Finish();
            held_.reset();
        }
        return nullptr;
    }

    // Makes the picture and the decoder that writes into it.
    const char* Start() {
        // Data that ends before the picture's fails a split before its
        // picture is allocated; a view shows what there is.
        if (picture_.imageEnd > file_->Size() && !showDamage_) {
            ended_ = damaged_ = true;
            return msg::kReadFailed;
        }
        if (!FitsSplitMemoryBudget(0, HeldBytes())) return MemoryMessage();
        BitmapInfoHeader header;
        header.biWidth = picture_.width;
        header.biHeight = -picture_.height;  // top-down: the decoder's row order
        header.biBitCount = static_cast<uint16_t>(picture_.Depth());
        std::shared_ptr<DibImage> held = DibImage::Create(header);
        data_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(DataEnd())]);
        if (!held || !data_) return MemoryMessage();
        output_.colorspace = picture_.alpha ? MODE_BGRA : MODE_BGR;
        output_.is_external_memory = 1;
        output_.u.RGBA.rgba = held->Bits();
        output_.u.RGBA.stride = static_cast<int>(stride_);
        output_.u.RGBA.size = held->ImageSize();
        decoder_ = WebPINewDecoder(&output_);
        if (!decoder_) return MemoryMessage();
        held_ = std::move(held);
        return nullptr;
    }

    // Decodes until the picture's first `rows` rows are there, or the data
    // ends or breaks: that fails the band, unless the bands are for a view,
    // which gets the rows the data lacks black.
    const char* DecodeTo(int rows) {
        while (decoded_ < rows && !ended_) {
            if (watch_ && watch_->StopRequested()) return msg::kReadFailed;
            const uint64_t end = DataEnd();
            const auto want = static_cast<size_t>(std::min<uint64_t>(kReadChunk, end - offset_));
            const size_t got =
                want > 0 ? file_->ReadSomeAt(offset_, data_.get() + offset_, want) : 0;
            if (got == 0) {
                ended_ = damaged_ = true;
                break;
            }
            offset_ += got;
            const VP8StatusCode status =
                WebPIUpdate(decoder_, data_.get(), static_cast<size_t>(offset_));
            if (watch_)
                watch_->ReadProgress(static_cast<int64_t>(offset_), static_cast<int64_t>(end));
            int lastY = 0;
            if (WebPIDecGetRGB(decoder_, &lastY, nullptr, nullptr, nullptr))
                decoded_ = std::max(decoded_, lastY);
            if (status == VP8_STATUS_OK) {
                decoded_ = picture_.height;
                Finish();
            } else if (status != VP8_STATUS_SUSPENDED) {
                ended_ = damaged_ = true;
            }
        }
        if (decoded_ >= rows) return nullptr;
        if (!showDamage_) return msg::kReadFailed;
        Finish();
        for (int y = std::max(decoded_, blackFrom_); y < rows; ++y)
            std::memset(held_->Row(y), 0, stride_);
        blackFrom_ = std::max(blackFrom_, rows);
        return nullptr;
    }

    // The decoder is done with: its memory goes.
    void Finish() {
        ended_ = true;
        if (decoder_) WebPIDelete(decoder_);
        decoder_ = nullptr;
        data_.reset();
    }

    // The file's bytes up to the end of its picture, or of the file when
    // that comes first.
    uint64_t DataEnd() const { return std::min(picture_.imageEnd, file_->Size()); }

    SourceFilePtr file_;
    WebpPicture picture_;
    bool rasterRows_;
    bool showDamage_;
    int quality_;
    const ReadWatch* watch_;
    uint64_t stride_;
    WebPDecBuffer output_;
    WebPIDecoder* decoder_ = nullptr;
    // The file's data as far as it is read: the decoder reads it in place,
    // so that no append copies what came before.
    std::unique_ptr<uint8_t[]> data_;
    std::shared_ptr<DibImage> held_;
    uint64_t offset_ = 0;  // the next byte the decoder is given
    int decoded_ = 0;      // the rows the decoder has written
    int blackFrom_ = 0;    // the rows past the damage blackened so far end here
    int top_ = 0;          // the picture row the next band starts at
    bool ended_ = false;
    bool damaged_ = false;
    const char* failure_ = nullptr;
};

}  // namespace

bool WebpFileIsLossy(const SourceFile& file) {
    try {
        WebpLayout layout;
        return ReadLayout(file, layout) == nullptr && !layout.lossless;
    } catch (...) {
        return false;
    }
}

}  // namespace webp

bool OpenWebpBands(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
                   std::unique_ptr<RowBands>& bands) {
    try {
        if (!file) {
            out.error = msg::kOpenFailed;
            return false;
        }
        webp::WebpPicture picture;
        if (const char* failure = webp::ReadPicture(*file, picture)) {
            out.error = failure;
            return false;
        }
        out.width = picture.width;
        out.height = picture.height;
        out.displayDepth = picture.Depth();
        out.alpha = picture.alpha;
        out.iccProfile = picture.profile;
        out.source = file;
        bands = std::make_unique<webp::WebpBands>(file, std::move(picture), settings.RasterTiles(),
                                                  settings.GetInt("VIEW", "SHOW_DAMAGE", 0) != 0,
                                                  settings.GetInt("JPEG", "QUALITY", 75),
                                                  settings.Watch());
        return true;
    } catch (...) {
        bands.reset();
        SetFailureText(out.error, msg::kMemoryFailed);
        return false;
    }
}

}  // namespace tessarin
