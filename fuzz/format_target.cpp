// The fuzz target of one registered format (TESSARIN_FUZZ_FORMAT names its
// folder; the build makes one target per format folder). Each input is
// written under the format's extension and read every way the program reads
// a file: the command mode's split (the format's own tiles, or BMP tiles for
// inputs of odd size; lossless where the format cuts so, for sizes of 4n +
// 2), the window's load with its reduced view for large pictures, and a
// whole load with one tile of the format's own written from it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/format_registry.h"
#include "platform/text.h"
#include "split/formats.h"
#include "split/image_loader.h"
#include "support.h"

namespace {

const tessarin::ImageFormat& Format() {
    static const tessarin::ImageFormat* format = [] {
        for (const tessarin::ImageFormat* f : tessarin::ImageFormats())
            if (tessarin::EqualsAsciiNoCase(f->name, TESSARIN_FUZZ_FORMAT)) return f;
        std::fprintf(stderr, "no format named %s in the registry\n", TESSARIN_FUZZ_FORMAT);
        std::abort();
    }();
    return *format;
}

}  // namespace

// With TESSARIN_FUZZ_SAMPLE_DIR set, the format's sample is put there first,
// to seed the corpus.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* dir = std::getenv("TESSARIN_FUZZ_SAMPLE_DIR"))
        if (FILE* f = std::fopen((std::string(dir) + "/sample").c_str(), "wb")) {
            std::fwrite(Format().sample.data(), 1, Format().sample.size(), f);
            std::fclose(f);
        }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarin;
    const ImageFormat& format = Format();
    const std::string& path = fuzz::InputFile(data, size, format.extensions[0]);
    fuzz::SplitAsCommandMode(path, size % 2 == 1, size % 4 != 2);
    fuzz::OpenReducedForView(path);

    CurrentImage image;
    std::string error;
    std::vector<std::string> notices;
    if (!LoadImageFile(path, image, error, notices) || !image.damage.empty()) return 0;
    SplitSettings settings;
    const std::unique_ptr<TileSource> source = MakeTileSource(format, image, settings, error);
    if (!source) return 0;
    const int w = (image.width + 1) / 2, h = (image.height + 1) / 2;
    const std::string& tile = fuzz::InputFile(nullptr, 0, ".tile");
    const int fd = ::open(tile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return 0;
    TileContext context;
    (void)source->WriteTile(TileRect{0, 0, image.width - w, image.height - h, w, h},
                            TileFile{fd, tile}, context);
    ::close(fd);
    return 0;
}
