// LoadGifFile with one tile cut from its raster, and the split's own read of
// the same file with one tile written.
#include <fcntl.h>
#include <unistd.h>

#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_private.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarin;
    const std::string& path = fuzz::InputFile(data, size, ".gif");
    // As the command mode cuts it (band by band where it can), in the
    // format's own tiles or, for odd sizes, as BMP tiles.
    fuzz::SplitAsCommandMode(path, size % 2 == 1);
    fuzz::OpenReducedForView(path);
    LoadedImage image;
    if (LoadGifFile(path, image)) {
        CurrentImage current;
        SetCurrentImage(current, std::move(image), path);
        std::string error;
        if (auto source = MakeGifTileSource(current, error)) {
            const std::string& tile = fuzz::InputFile(nullptr, 0, ".raster.gif");
            const int fd = ::open(tile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (fd >= 0) {
                TileContext context;
                const int w = (current.width + 1) / 2, h = (current.height + 1) / 2;
                source->WriteTile(TileRect{0, 0, current.width - w, current.height - h, w, h},
                                  TileFile{fd, tile}, context);
                ::close(fd);
            }
        }
    }
    gif::GifSplitData split;
    if (gif::ReadGifForSplit(SourceFile::Open(path).get(), split) == nullptr) {
        const int w = (split.info.width + 1) / 2, h = (split.info.height + 1) / 2;
        const std::string& tile = fuzz::InputFile(nullptr, 0, ".tile.gif");
        const int fd = ::open(tile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd >= 0) {
            gif::WriteGifTile(split, nullptr, split.info.width - w, split.info.height - h, w, h,
                              fd);
            ::close(fd);
        }
    }
    return 0;
}
