// GIF tiles: one rectangle of the source's colour indices as a GIF file of its
// own, with the source's colour table, background, colour resolution,
// transparency and interlacing.

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/dib_image.h"
#include "imaging/gif/gif_private.h"
#include "imaging/messages.h"
#include "platform/file_io.h"

namespace tessarin::gif {
namespace {

struct TileOutput {
    FILE* file = nullptr;
    bool failed = false;
};

int WriteOutput(GifFileType* gif, const GifByteType* data, int length) {
    auto* output = static_cast<TileOutput*>(gif->UserData);
    if (length <= 0) return 0;
    size_t n = std::fwrite(data, 1, static_cast<size_t>(length), output->file);
    if (n != static_cast<size_t>(length)) output->failed = true;
    return static_cast<int>(n);
}

struct MapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

bool WriteGifStream(const GifSplitData& source, const DibImage* raster, int x, int y, int width,
                    int height, const ColorMapObject* map, GifPixelType* line, TileOutput& output) {
    const GifImageInfo& info = source.info;
    int error = 0;
    GifFileType* gif = EGifOpen(&output, WriteOutput, &error);
    if (!gif) return false;
    // Tiles always say "GIF87a", even when they carry a graphic control extension.
    EGifSetGifVersion(gif, false);
    bool ok = EGifPutScreenDesc(gif, width, height, info.colorResolution, info.backgroundIndex,
                                map) == GIF_OK;
    if (ok && !info.transparency.empty())
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE,
                              static_cast<int>(info.transparency.size()),
                              info.transparency.data()) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, info.interlaced, map) == GIF_OK;
    const size_t stride = static_cast<size_t>(info.width);
    ForEachGifRow(height, info.interlaced, [&](int r) {
        if (!ok) return;
        // A copy, because the library masks the indices of the line in place.
        if (raster) {
            const uint8_t* row = raster->Row(y + r);
            const int bits = raster->BitCount();
            if (bits == 8)
                std::memcpy(line, row + x, static_cast<size_t>(width));
            else
                for (int i = 0; i < width; ++i) line[i] = IndexAt(row, bits, x + i);
        } else {
            std::memcpy(
                line,
                source.pixels.data() + static_cast<size_t>(y + r) * stride + static_cast<size_t>(x),
                static_cast<size_t>(width));
        }
        ok = EGifPutLine(gif, line, width) == GIF_OK;
    });
    if (EGifCloseFile(gif, &error) == GIF_ERROR) ok = false;
    return ok;
}

}  // namespace

const char* WriteGifTile(const GifSplitData& source, const DibImage* raster, int x, int y,
                         int width, int height, int fd) {
    const GifImageInfo& info = source.info;
    if (!source.pixels.empty()) raster = nullptr;
    const bool rowsThere =
        raster ? raster->Width() == info.width && raster->AbsHeight() == info.height &&
                     (raster->BitCount() == 1 || raster->BitCount() == 4 || raster->BitCount() == 8)
               : source.pixels.size() ==
                     static_cast<size_t>(info.width) * static_cast<size_t>(info.height);
    if (!RegionInside(x, y, width, height, info.width, info.height) || !rowsThere)
        return msg::kClipFailed;

    std::unique_ptr<GifPixelType[]> line(new (std::nothrow)
                                             GifPixelType[static_cast<size_t>(width)]);
    std::unique_ptr<ColorMapObject, MapFreer> map(
        GifMakeMapObject(static_cast<int>(info.colors.size()), info.colors.data()));
    if (!line || !map) return msg::kSaveFailed;

    FILE* file = OpenWriteStream(fd);
    if (!file) return msg::kSaveFailed;
    TileOutput output;
    output.file = file;
    bool ok = WriteGifStream(source, raster, x, y, width, height, map.get(), line.get(), output);
    if (std::fclose(file) != 0) ok = false;
    return ok && !output.failed ? nullptr : msg::kSaveFailed;
}

}  // namespace tessarin::gif
