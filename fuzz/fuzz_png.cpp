// LoadPngFile, then the split's own read of the same file and one PNG tile
// written from it (with the text chunks of a worker's first tile).
#include <fcntl.h>
#include <unistd.h>

#include "imaging/png/png_format.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarin;
    const std::string& path = fuzz::InputFile(data, size, ".png");
    // As the command mode cuts it (band by band where it can), in the
    // format's own tiles or, for odd sizes, as BMP tiles.
    fuzz::SplitAsCommandMode(path, size % 2 == 1);
    fuzz::OpenReducedForView(path);
    LoadedImage loaded;
    if (!LoadPngFile(path, loaded) || !loaded.raster) return 0;
    CurrentImage image;
    SetCurrentImage(image, std::move(loaded), path);
    std::string error;
    auto source = MakePngTileSource(image, error);
    if (!source) return 0;
    TileRect rect;
    rect.width = (image.width + 1) / 2;
    rect.height = (image.height + 1) / 2;
    rect.x = image.width - rect.width;
    rect.y = image.height - rect.height;
    TileContext context;
    const std::string& tile = fuzz::InputFile(nullptr, 0, ".tile.png");
    const int fd = ::open(tile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd >= 0) {
        source->WriteTile(rect, TileFile{fd, tile}, context);
        ::close(fd);
    }
    return 0;
}
