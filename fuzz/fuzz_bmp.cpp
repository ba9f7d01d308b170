// LoadBmpFile (our own reader, then the general decoder) and a tile of what it read.
#include <cstdio>

#include "imaging/bmp/bmp_format.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarin;
    LoadedImage image;
    if (LoadBmpFile(fuzz::InputFile(data, size, ".bmp"), image) && image.raster) {
        const DibImage& r = *image.raster;
        auto tile = CropDibImage(r, r.Width() / 3, r.AbsHeight() / 3, (r.Width() + 1) / 2,
                                 (r.AbsHeight() + 1) / 2);
        (void)tile;
    }
    const std::string& path = fuzz::InputFile(data, size, ".bmp");
    fuzz::SplitAsCommandMode(path, false);
    fuzz::OpenReducedForView(path);
    LoadedImage fromMemory;
    (void)DecodeBmp(data, size, fromMemory);  // a crash or a leak is what counts here
    return 0;
}
