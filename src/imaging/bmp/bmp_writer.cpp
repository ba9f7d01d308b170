// BMP files as GDI writes a section: 14-byte file header, the 40-byte info
// header, the colour table and the rows bottom-up, each padded to 4 bytes.

#include <vector>

#include "imaging/bmp/bmp_format.h"
#include "imaging/bmp/bmp_private.h"
#include "platform/atomic_file.h"

namespace tessarin {

namespace {

using bmp::Put16;
using bmp::Put32;

bool WriteHeaders(OutputFile& file, const DibImage& image, int width, int height, size_t stride) {
    const BitmapInfoHeader& src = image.Header();
    const uint32_t n = static_cast<uint32_t>(image.ColorEntryCount());
    const uint64_t imageSize = uint64_t{stride} * static_cast<uint64_t>(height);
    if (imageSize + 4u * n + 54 > UINT32_MAX) return false;

    uint8_t h[54] = {};
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, static_cast<uint32_t>(imageSize + 4u * n + 54));
    Put32(h + 10, 4u * n + 54);
    uint8_t* info = h + 14;
    Put32(info, 40);
    Put32(info + 4, static_cast<uint32_t>(width));
    Put32(info + 8, static_cast<uint32_t>(height));
    Put16(info + 12, 1);
    Put16(info + 14, src.biBitCount);
    Put32(info + 16, 0);  // plain RGB, 16-bit included (always 5-5-5)
    Put32(info + 20, static_cast<uint32_t>(imageSize));
    Put32(info + 24, static_cast<uint32_t>(src.biXPelsPerMeter));
    Put32(info + 28, static_cast<uint32_t>(src.biYPelsPerMeter));
    Put32(info + 32, src.biClrUsed);
    Put32(info + 36, src.biClrImportant);
    if (!file.Write(h, sizeof h)) return false;

    uint8_t table[4 * 256];
    if (n > 256) return false;
    for (uint32_t i = 0; i < n; ++i) {
        RgbQuad c = image.ColorAt(static_cast<int>(i));
        table[4 * i] = c.blue;
        table[4 * i + 1] = c.green;
        table[4 * i + 2] = c.red;
        table[4 * i + 3] = 0;
    }
    return n == 0 || file.Write(table, 4u * n);
}

}  // namespace

bool WriteBmpRegion(int fd, const DibImage& image, int x, int y, int width, int height) {
    if (!RegionInside(x, y, width, height, image.Width(), image.AbsHeight())) return false;
    const size_t stride = static_cast<size_t>(DibStride(width, image.BitCount()));
    OutputFile file(fd);
    if (!WriteHeaders(file, image, width, height, stride)) return false;

    const int depth = image.BitCount();
    const size_t usedBytes = static_cast<size_t>((uint64_t(width) * uint64_t(depth) + 7) / 8);
    if (depth >= 8) {
        // Whole-byte pixels go straight from the raster; the row padding (at
        // most 3 bytes) comes from a zero block, so a tile of any width needs
        // no buffer of its own.
        static const uint8_t kPadding[4] = {};
        const size_t offset = static_cast<size_t>(x) * static_cast<size_t>(depth / 8);
        for (int r = height - 1; r >= 0; --r) {
            if (!file.Write(image.Row(y + r) + offset, usedBytes) ||
                !file.Write(kPadding, stride - usedBytes))
                return false;
        }
    } else {
        // 1- and 4-bit pixels are shifted into place row by row.
        std::vector<uint8_t> row(stride, 0);
        for (int r = height - 1; r >= 0; --r) {
            CopyRowSegment(image, x, y + r, width, row.data());
            if (!file.Write(row.data(), stride)) return false;
        }
    }
    return file.Finish();
}

bool SaveBmpRegion(const std::string& path, const DibImage& image, int x, int y, int width,
                   int height) {
    AtomicFile file;
    return file.CreateFor(path) && WriteBmpRegion(file.Descriptor(), image, x, y, width, height) &&
           file.Commit(path, false);
}

bool SaveBmpFile(const std::string& path, const DibImage& image) {
    return SaveBmpRegion(path, image, 0, 0, image.Width(), image.AbsHeight());
}

}  // namespace tessarin
