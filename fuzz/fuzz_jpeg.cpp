// LoadJpegFile, and an exact tile re-encoded from what it read.
#include "imaging/jpeg/jpeg_format.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarin;
    LoadedImage image;
    if (LoadJpegFile(fuzz::InputFile(data, size, ".jpg"), image) && image.raster) {
        const DibImage& r = *image.raster;
        auto tile = CropDibImage(r, r.Width() / 2, r.AbsHeight() / 2, (r.Width() + 1) / 2,
                                 (r.AbsHeight() + 1) / 2);
        if (tile) SaveJpegFile(fuzz::InputFile(nullptr, 0, ".tile.jpg"), *tile, 75);
    }
    return 0;
}
