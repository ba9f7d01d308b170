// The viewer's GIF reader: the first image as an indexed raster.

#include "imaging/failure_text.h"
#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_private.h"
#include "imaging/messages.h"

namespace tessarin {
namespace {

// Decodes straight into an 8-bit bottom-up raster with the image's colour table.
class RasterSink final : public gif::GifRowSink {
  public:
    bool Prepare(const gif::GifImageInfo& info) override {
        raster = gif::CreateGifRaster(info, info.height);
        return raster != nullptr;
    }
    uint8_t* Row(int y) override { return raster->Row(y); }

    std::unique_ptr<DibImage> raster;
};

bool Load(const SourceFilePtr& file, LoadedImage& out) {
    gif::GifImageInfo info;
    RasterSink sink;
    if (const char* failure = gif::DecodeGifFile(file.get(), info, sink)) {
        SetFailureText(out.error, failure);
        return false;
    }
    std::unique_ptr<DibImage> raster = std::move(sink.raster);
    auto tiles = std::make_shared<gif::GifSplitData>();
    // Small tables get the raster depth that holds them: 1 bit for 2 colours,
    // 4 bits for up to 16; every pixel keeps its colour.
    if (info.colorBits <= 4) {
        std::unique_ptr<DibImage> reduced = ReduceDibDepth(*raster, info.colorBits == 1 ? 1 : 4);
        if (!reduced) {
            SetFailureText(out.error, msg::kReadFailed);
            return false;
        }
        // Repeated colours, or indices beyond the table, show some pixels by
        // another index than the tiles must carry: those keep the 8-bit rows.
        if (!ReductionKeepsIndices(*raster, *reduced, gif::GifIndexMask(info.colorBits)))
            tiles->indices = std::move(raster);
        raster = std::move(reduced);
    }
    tiles->info = info;
    out.tileData = std::move(tiles);
    out.width = info.width;
    out.height = info.height;
    out.raster = std::move(raster);
    out.displayDepth = info.colorBits;
    out.colorKind = ColorKind::Indexed;
    out.interlaced = info.interlaced;
    out.error.clear();
    // Shown with the background where the data stops, but never cut.
    out.damage.clear();
    if (info.damaged) SetFailureText(out.damage, msg::kReadFailed);
    out.source = file;
    return true;
}

}  // namespace

namespace gif {

std::unique_ptr<DibImage> CreateGifRaster(const GifImageInfo& info, int rows) {
    BitmapInfoHeader header;
    header.biWidth = info.width;
    header.biHeight = rows;
    header.biBitCount = 8;
    header.biClrUsed = static_cast<uint32_t>(info.colors.size());
    header.biClrImportant = header.biClrUsed;
    RgbQuad table[256];
    for (size_t i = 0; i < info.colors.size(); ++i)
        table[i] = RgbQuad{info.colors[i].Blue, info.colors[i].Green, info.colors[i].Red, 0};
    // Zeroed so that the row padding of a BMP written from it is defined.
    return DibImage::Create(header, table, static_cast<int>(info.colors.size()), true);
}

}  // namespace gif

bool LoadGifFile(const SourceFilePtr& file, LoadedImage& out) {
    out.source.reset();
    try {
        return Load(file, out);
    } catch (...) {
        out.raster.reset();
        SetFailureText(out.error, msg::kReadFailed);  // as for a raster that cannot be had
        return false;
    }
}

bool LoadGifIndices(const SourceFilePtr& file, LoadedImage& out) {
    std::shared_ptr<gif::GifSplitData> tiles;
    const char* failure = msg::kReadFailed;
    out.source.reset();
    try {
        tiles = std::make_shared<gif::GifSplitData>();
        failure = gif::ReadGifForSplit(file.get(), *tiles);
    } catch (...) {
    }
    if (failure) {
        out.raster.reset();
        SetFailureText(out.error, failure);
        return false;
    }
    out.raster.reset();
    out.width = tiles->info.width;
    out.height = tiles->info.height;
    out.displayDepth = tiles->info.colorBits;
    out.colorKind = ColorKind::Indexed;
    out.interlaced = tiles->info.interlaced;
    out.damage.clear();
    out.tileData = std::move(tiles);
    out.error.clear();
    out.source = file;
    return true;
}

bool LoadGifFile(const std::string& path, LoadedImage& out) {
    return LoadGifFile(SourceFile::Open(path), out);
}

bool LoadGifIndices(const std::string& path, LoadedImage& out) {
    return LoadGifIndices(SourceFile::Open(path), out);
}

}  // namespace tessarin
