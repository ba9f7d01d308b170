#pragma once
// The PNG source of a split: the whole image decoded once as the file's own
// samples, with the chunks its tiles carry over. Shared read-only by every
// worker of the file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/png/png_chunks.h"

namespace tessarin::png {

struct PngSplitImage {
    int width = 0;
    int height = 0;
    int bitDepth = 0;  // as in the file: 1, 2, 4, 8 or 16
    int colorType = 0;
    int interlaceMethod = PNG_INTERLACE_NONE;
    // Rows from the top, one after another: one byte per sample for depths up
    // to 8 (smaller samples unpacked), two big-endian bytes for 16. Samples in
    // file order (red, green, blue); palette files keep their indices.
    size_t bytesPerPixel = 0;
    size_t rowBytes = 0;
    std::unique_ptr<uint8_t[]> samples;
    PngChunkSet beforeImageData;
    PngChunkSet afterImageData;
};

// Decodes `path` into `out`. Returns nullptr on success, else the message.
const char* ReadPngForSplit(const std::string& path, PngSplitImage& out);

}  // namespace tessarin::png
