// The GIF tile source: the file's first image is decoded once per file, and
// every worker writes its tiles from those indices.

#include <new>

#include "imaging/failure_text.h"
#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_pvt.h"
#include "imaging/messages.h"

namespace tessarin {
namespace gif {
namespace {

class PixelBufferSink final : public GifRowSink {
  public:
    explicit PixelBufferSink(std::vector<uint8_t>& pixels) : pixels_(pixels) {}
    bool Prepare(const GifImageInfo& info) override {
        width_ = static_cast<size_t>(info.width);
        try {
            pixels_.assign(width_ * static_cast<size_t>(info.height), 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    uint8_t* Row(int y) override { return pixels_.data() + static_cast<size_t>(y) * width_; }

  private:
    std::vector<uint8_t>& pixels_;
    size_t width_ = 0;
};

class GifTileSource final : public TileSource {
  public:
    const char* WriteTile(const TileRect& rect, const std::string& path,
                          TileContext&) const override {
        return WriteGifTile(data, rect.x, rect.y, rect.width, rect.height, path);
    }

    GifSplitData data;
};

}  // namespace

const char* ReadGifForSplit(const std::string& path, GifSplitData& out) {
    PixelBufferSink sink(out.pixels);
    return DecodeGifFile(path, out.info, sink);
}

}  // namespace gif

std::unique_ptr<TileSource> MakeGifTileSource(const CurrentImage& image, const TileOptions&,
                                              std::string& error) {
    try {
        auto source = std::make_unique<gif::GifTileSource>();
        if (const char* failure = gif::ReadGifForSplit(image.path, source->data)) {
            error = failure;
            return nullptr;
        }
        // The file changed since it was loaded: the grid no longer fits it.
        if (source->data.info.width != image.width || source->data.info.height != image.height) {
            error = msg::kInvalidFile;
            return nullptr;
        }
        return source;
    } catch (...) {
        SetFailureText(error, msg::kReadFailed);
        return nullptr;
    }
}

}  // namespace tessarin
