// LoadJpegFile, and an exact tile re-encoded from what it read; then the same
// file loaded as the command mode loads it (header only), with a tile cut
// from rows decoded beside it.
#include <fcntl.h>
#include <unistd.h>

#include "imaging/current_image.h"
#include "imaging/jpeg/jpeg_format.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarin;
    const std::string& path = fuzz::InputFile(data, size, ".jpg");
    // As the command mode cuts it (band by band where it can), in the
    // format's own tiles or, for odd sizes, as BMP tiles.
    fuzz::SplitAsCommandMode(path, size % 2 == 1);
    fuzz::OpenReducedForView(path);
    LoadedImage image;
    if (LoadJpegFile(path, image) && image.raster) {
        const DibImage& r = *image.raster;
        auto tile = CropDibImage(r, r.Width() / 2, r.AbsHeight() / 2, (r.Width() + 1) / 2,
                                 (r.AbsHeight() + 1) / 2);
        if (tile) (void)SaveJpegFile(fuzz::InputFile(nullptr, 0, ".tile.jpg"), *tile, 75);
    }

    LoadedImage header;
    if (!LoadJpegHeader(path, header)) return 0;
    CurrentImage current;
    SetCurrentImage(current, std::move(header), path);
    JpegTileOptions options;
    std::string error;
    const std::unique_ptr<TileSource> source = MakeJpegTileSource(current, options, error);
    if (!source) return 0;
    const TileRect rect{0, 0, 0, current.height / 2, current.width, (current.height + 1) / 2};
    const std::string& out = fuzz::InputFile(nullptr, 0, ".fed.jpg");
    const int fd = ::open(out.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return 0;
    TileContext context;
    source->WriteTile(rect, TileFile{fd, out}, context);
    ::close(fd);
    return 0;
}
