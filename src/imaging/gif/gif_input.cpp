// The viewer's GIF reader: the first image as an indexed raster.

#include "imaging/failure_text.h"
#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_pvt.h"
#include "imaging/messages.h"

namespace tessarin {
namespace {

// Decodes straight into an 8-bit bottom-up raster with the image's colour table.
class RasterSink final : public gif::GifRowSink {
  public:
    bool Prepare(const gif::GifImageInfo& info) override {
        BitmapInfoHeader header;
        header.biWidth = info.width;
        header.biHeight = info.height;
        header.biBitCount = 8;
        header.biClrUsed = static_cast<uint32_t>(info.colors.size());
        header.biClrImportant = header.biClrUsed;
        RgbQuad table[256];
        for (size_t i = 0; i < info.colors.size(); ++i)
            table[i] = RgbQuad{info.colors[i].Blue, info.colors[i].Green, info.colors[i].Red, 0};
        // Zeroed so that the row padding of a BMP written from it is defined.
        raster = DibImage::Create(header, table, static_cast<int>(info.colors.size()), true);
        return raster != nullptr;
    }
    uint8_t* Row(int y) override { return raster->Row(y); }

    std::unique_ptr<DibImage> raster;
};

}  // namespace

bool LoadGifFile(const std::string& path, LoadedImage& out) {
    gif::GifImageInfo info;
    RasterSink sink;
    if (const char* failure = gif::DecodeGifFile(path, info, sink)) {
        SetFailureText(out.error, failure);
        return false;
    }
    std::unique_ptr<DibImage> raster = std::move(sink.raster);
    // Small tables get the raster depth that holds them: 1 bit for 2 colours,
    // 4 bits for up to 16; every pixel keeps its colour.
    if (info.colorBits <= 4) {
        raster = ReduceDibDepth(*raster, info.colorBits == 1 ? 1 : 4);
        if (!raster) {
            SetFailureText(out.error, msg::kReadFailed);
            return false;
        }
    }
    out.raster = std::move(raster);
    out.displayDepth = info.colorBits;
    out.colorKind = kColorKindIndexed;
    out.interlaced = info.interlaced;
    out.error.clear();
    return true;
}

}  // namespace tessarin
