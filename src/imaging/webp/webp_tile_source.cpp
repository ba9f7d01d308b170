// WebP tiles cut from a raster. libwebp encodes a whole picture at once, so
// each worker gathers its tile's pixels, encodes them in memory, adds the
// colour profile as a chunk of the container, and writes the file.

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <vector>

#include "imaging/checked_size.h"
#include "imaging/failure_text.h"
#include "imaging/messages.h"
#include "imaging/webp/webp_format.h"
#include "platform/file_io.h"

namespace tessarin {
namespace webp {
namespace {

// libwebp's lossless effort, 0 (fastest) to 9 (smallest): the second
// fastest compresses nearly as well as the default at a fraction of its time.
constexpr int kLosslessLevel = 1;

struct PictureHolder {
    WebPPicture picture;
    PictureHolder() { WebPPictureInit(&picture); }
    ~PictureHolder() { WebPPictureFree(&picture); }
    PictureHolder(const PictureHolder&) = delete;
    PictureHolder& operator=(const PictureHolder&) = delete;
};

struct MemoryWriterHolder {
    WebPMemoryWriter writer;
    MemoryWriterHolder() { WebPMemoryWriterInit(&writer); }
    ~MemoryWriterHolder() { WebPMemoryWriterClear(&writer); }
    MemoryWriterHolder(const MemoryWriterHolder&) = delete;
    MemoryWriterHolder& operator=(const MemoryWriterHolder&) = delete;
};

struct MuxHolder {
    WebPMux* mux = WebPMuxNew();
    WebPData assembled;
    MuxHolder() { WebPDataInit(&assembled); }
    ~MuxHolder() {
        WebPMuxDelete(mux);
        WebPDataClear(&assembled);
    }
    MuxHolder(const MuxHolder&) = delete;
    MuxHolder& operator=(const MuxHolder&) = delete;
};

class WebpTileSource final : public TileSource {
  public:
    WebpTileSource(std::shared_ptr<const DibImage> raster, WebpTileKind kind,
                   std::shared_ptr<const IccProfile> profile)
        : raster_(std::move(raster)), kind_(kind), profile_(std::move(profile)) {}

    const char* WriteTile(const TileRect& rect, const TileFile& file, TileContext&) const override {
        if (rect.width > WEBP_MAX_DIMENSION || rect.height > WEBP_MAX_DIMENSION)
            return kTileTooLarge;
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height, raster_->Width(),
                          raster_->AbsHeight()))
            return msg::kClipFailed;
        try {
            return Write(rect, file);
        } catch (...) {
            return msg::kMemoryFailed;
        }
    }
    const char* SaveFailedMessage() const override { return msg::kSaveFailed; }

  private:
    const char* Write(const TileRect& rect, const TileFile& file) const {
        PictureHolder holder;
        WebPPicture& picture = holder.picture;
        picture.width = rect.width;
        picture.height = rect.height;
        picture.use_argb = kind_.lossless ? 1 : 0;
        if (!Import(rect, picture)) return msg::kMemoryFailed;

        WebPConfig config;
        if (!WebPConfigInit(&config)) return msg::kSaveFailed;
        if (kind_.lossless) {
            if (!WebPConfigLosslessPreset(&config, kLosslessLevel)) return msg::kSaveFailed;
            // The colours of transparent pixels are pixels of the source too.
            config.exact = 1;
        } else {
            config.quality = static_cast<float>(std::clamp(kind_.quality, 0, 100));
        }
        MemoryWriterHolder output;
        picture.writer = WebPMemoryWrite;
        picture.custom_ptr = &output.writer;
        if (!WebPEncode(&config, &picture))
            return picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ? msg::kMemoryFailed
                                                                     : msg::kSaveFailed;
        WebPData bytes = {output.writer.mem, output.writer.size};
        MuxHolder mux;
        if (profile_ && !profile_->empty()) {
            const WebPData chunk = {profile_->data(), profile_->size()};
            if (!mux.mux || WebPMuxSetImage(mux.mux, &bytes, 0) != WEBP_MUX_OK ||
                WebPMuxSetChunk(mux.mux, "ICCP", &chunk, 0) != WEBP_MUX_OK ||
                WebPMuxAssemble(mux.mux, &mux.assembled) != WEBP_MUX_OK)
                return msg::kSaveFailed;
            bytes = mux.assembled;
        }
        OutputFile out(file.fd);
        return out.Write(bytes.bytes, bytes.size) && out.Finish() ? nullptr : msg::kSaveFailed;
    }

    // The rectangle's pixels into `picture`, with alpha when the tiles carry it.
    bool Import(const TileRect& rect, WebPPicture& picture) const {
        const int channels = kind_.alpha ? 4 : 3;
        const auto rowBytes = static_cast<size_t>(rect.width) * static_cast<size_t>(channels);
        if (!CheckedSize(rowBytes, static_cast<uint64_t>(rect.height))) return false;
        std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(rect.height));
        for (int y = 0; y < rect.height; ++y)
            RowAsColours(*raster_, kind_.alpha, rect.x, rect.y + y, rect.width,
                         kind_.alpha ? ColourOrder::kRgba : ColourOrder::kRgb,
                         pixels.data() + rowBytes * static_cast<size_t>(y));
        const int stride = static_cast<int>(rowBytes);
        return kind_.alpha ? WebPPictureImportRGBA(&picture, pixels.data(), stride)
                           : WebPPictureImportRGB(&picture, pixels.data(), stride);
    }

    std::shared_ptr<const DibImage> raster_;
    WebpTileKind kind_;
    std::shared_ptr<const IccProfile> profile_;
};

}  // namespace

std::unique_ptr<TileSource> MakeWebpRasterTiles(std::shared_ptr<const DibImage> raster,
                                                WebpTileKind kind,
                                                std::shared_ptr<const IccProfile> profile) {
    return std::make_unique<WebpTileSource>(std::move(raster), kind, std::move(profile));
}

}  // namespace webp

namespace {

// The tiles of `image`'s raster, which must be the picture's whole size.
std::unique_ptr<TileSource> MakeTiles(const CurrentImage& image, webp::WebpTileKind kind,
                                      std::string& error) {
    try {
        if (!image.raster || image.raster->Width() != image.width ||
            image.raster->AbsHeight() != image.height) {
            error = msg::kClipFailed;
            return nullptr;
        }
        kind.alpha = image.alpha && image.raster->BitCount() == 32;
        return webp::MakeWebpRasterTiles(image.raster, kind, image.iccProfile);
    } catch (...) {
        SetFailureText(error, msg::kMemoryFailed);
        return nullptr;
    }
}

}  // namespace

std::unique_ptr<TileSource> MakeWebpTileSource(const CurrentImage& image,
                                               const TileSettings& settings, std::string& error) {
    webp::WebpTileKind kind;
    // A lossy file's tiles are lossy too: a lossless copy of its decoded
    // pixels would only be larger.
    kind.lossless = !image.source || !webp::WebpFileIsLossy(*image.source);
    kind.quality = settings.GetInt("JPEG", "QUALITY", 75);
    return MakeTiles(image, kind, error);
}

std::unique_ptr<TileSource> MakeWebpRasterSource(const CurrentImage& rows, const TileSettings&,
                                                 std::string& error) {
    return MakeTiles(rows, webp::WebpTileKind{}, error);
}

}  // namespace tessarin
