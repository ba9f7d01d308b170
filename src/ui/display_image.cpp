#include "ui/display_image.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "imaging/dib_image.h"

namespace tessarin {

namespace {

QRgb Rgb(uint8_t r, uint8_t g, uint8_t b) { return qRgb(r, g, b); }

uint8_t Expand5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

}  // namespace

DisplayImage MakeDisplayImage(const DibImage& raster) {
    DisplayImage out;
    const int width = raster.Width();
    const int height = raster.AbsHeight();
    if (width <= 0 || height <= 0) return out;
    int k = 1;
    while (qint64{(width + k - 1) / k} * ((height + k - 1) / k) > kMaxDisplayPixels) ++k;
    const int outWidth = (width + k - 1) / k;
    const int outHeight = (height + k - 1) / k;
    QImage image(outWidth, outHeight, QImage::Format_RGB32);
    if (image.isNull()) return out;

    const int depth = raster.BitCount();
    std::array<QRgb, 256> table{};
    if (depth == 1 || depth == 2 || depth == 4 || depth == 8)
        for (int i = 0; i < (1 << depth); ++i) {
            const RgbQuad c = raster.ColorAt(i);
            table[static_cast<size_t>(i)] = Rgb(c.red, c.green, c.blue);
        }

    const size_t step = static_cast<size_t>(k);
    for (int y = 0; y < outHeight; ++y) {
        const uint8_t* row = raster.Row(y * k);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (depth == 24 || depth == 32) {
            const size_t bytes = static_cast<size_t>(depth / 8) * step;
            for (int x = 0; x < outWidth; ++x, row += bytes) line[x] = Rgb(row[2], row[1], row[0]);
        } else if (depth == 16) {
            for (int x = 0; x < outWidth; ++x, row += 2 * step) {
                const unsigned v = row[0] | (row[1] << 8);
                line[x] = Rgb(Expand5((v >> 10) & 31), Expand5((v >> 5) & 31), Expand5(v & 31));
            }
        } else if (depth == 1 || depth == 2 || depth == 4 || depth == 8) {
            const unsigned mask = (1u << depth) - 1;
            for (int x = 0; x < outWidth; ++x) {
                const size_t bit = static_cast<size_t>(x) * step * static_cast<size_t>(depth);
                const unsigned shift = 8 - static_cast<unsigned>(depth) - bit % 8;
                line[x] = table[(row[bit / 8] >> shift) & mask];
            }
        } else {
            std::fill(line, line + outWidth, Rgb(0, 0, 0));
        }
    }
    out.pixels = std::move(image);
    out.reduction = k;
    return out;
}

}  // namespace tessarin
