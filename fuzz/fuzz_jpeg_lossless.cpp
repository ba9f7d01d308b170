// Lossless JPEG tiles cut in-process from whatever the whole load accepted: the
// coefficient read, the markers (Exif among them) and one tile off the block
// grid and one at the corner.
#include <fcntl.h>
#include <unistd.h>

#include "imaging/current_image.h"
#include "imaging/format_registry.h"
#include "imaging/jpeg/jpeg_format.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarin;
    const std::string path = fuzz::InputFile(data, size, ".jpg");
    LoadedImage loaded;
    if (!LoadWholeImage(*FindImageFormat(ImageFileKind::Jpeg), SourceFile::Open(path), loaded,
                        nullptr) ||
        !loaded.raster)
        return 0;
    CurrentImage image;
    SetCurrentImage(image, std::move(loaded), path);
    JpegTileOptions options;
    options.exact = false;
    std::string error;
    auto source = MakeJpegTileSource(image, options, error);
    if (!source) return 0;
    TileContext context;
    const std::string tile = fuzz::InputFile(nullptr, 0, ".tile.jpg");
    const int w = image.width, h = image.height;
    for (const TileRect& rect : {TileRect{0, 0, w / 3, h / 3, (w + 1) / 2, (h + 1) / 2},
                                 TileRect{0, 0, w - 1, h - 1, 1, 1}}) {
        const int fd = ::open(tile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) break;
        source->WriteTile(rect, TileFile{fd, tile}, context);
        ::close(fd);
    }
    return 0;
}
