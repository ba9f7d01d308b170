#include "ui/view/resample.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "ui/view/image_pyramid.h"

namespace tessarin {

namespace {

// Weights are fixed point with this sum, so that two passes of 8-bit
// channels stay inside 32 bits: 255 * 4096 * 4096 + 2^23 < 2^32.
constexpr int kWeightBits = 12;
constexpr uint32_t kOne = 1u << kWeightBits;
// A display pixel that covers more source pixels than this per axis (only
// when a pyramid level could not be had) averages this many samples of them.
constexpr int kMaxTaps = 16;

// Which source pixels, with which weights, make up each display pixel of
// one axis.
class Taps {
  public:
    Taps(int entries, int slots)
        : slots_(slots),
          count_(static_cast<size_t>(entries), 0),
          index_(static_cast<size_t>(entries) * static_cast<size_t>(slots), 0),
          weight_(static_cast<size_t>(entries) * static_cast<size_t>(slots), 0) {}

    int Count(int i) const { return count_[static_cast<size_t>(i)]; }
    const int* Index(int i) const { return index_.data() + First(i); }
    const uint32_t* Weight(int i) const { return weight_.data() + First(i); }
    int Slots() const { return slots_; }

    void SetOne(int i, int index) { Set(i, &index, nullptr, 1); }
    // raw: weights in any proportion, spread over kOne; null for equal ones.
    void Set(int i, const int* indices, const double* raw, int count) {
        count_[static_cast<size_t>(i)] = count;
        int* index = index_.data() + First(i);
        uint32_t* weight = weight_.data() + First(i);
        std::copy(indices, indices + count, index);
        double total = 0;
        for (int k = 0; k < count; ++k) total += raw ? raw[k] : 1;
        uint32_t sum = 0;
        int largest = 0;
        for (int k = 0; k < count; ++k) {
            const double r = raw ? raw[k] : 1;
            weight[k] = static_cast<uint32_t>(std::lround(r / total * kOne));
            sum += weight[k];
            if (raw && r > raw[largest]) largest = k;
        }
        weight[largest] += kOne - sum;  // the rounding error, in either direction
    }

    // The source span every entry lies in, and whether each entry is a
    // single source pixel.
    void Span(int& lo, int& hi, bool& single) const {
        lo = INT32_MAX;
        hi = 0;
        single = true;
        for (size_t i = 0; i < count_.size(); ++i) {
            const int* index = index_.data() + i * static_cast<size_t>(slots_);
            for (int k = 0; k < count_[i]; ++k) {
                lo = std::min(lo, index[k]);
                hi = std::max(hi, index[k]);
            }
            single = single && count_[i] == 1;
        }
    }

  private:
    // Where entry i's slots start.
    size_t First(int i) const { return static_cast<size_t>(i) * static_cast<size_t>(slots_); }

    int slots_;
    std::vector<int> count_;
    std::vector<int> index_;
    std::vector<uint32_t> weight_;
};

int ClampIndex(double v, int size) {
    if (!(v > 0)) return 0;
    if (v >= size - 1) return size - 1;
    return static_cast<int>(v);
}

// The largest u whose first display pixel, ceil(u * scale), is at or before x.
int NearestIndex(int x, double scale, int size) {
    int u = ClampIndex(std::floor(x / scale), size);
    while (u + 1 < size && std::ceil((u + 1.0) * scale) <= x) ++u;
    while (u > 0 && std::ceil(u * scale) > x) --u;
    return u;
}

// `scale` is display pixels per source pixel of the source in use.
Taps MakeTaps(ScaleFilter filter, double scale, int size, int from, int n) {
    const double span = 1 / scale;
    const int slots = filter == ScaleFilter::Area
                          ? static_cast<int>(std::min<double>(kMaxTaps, std::floor(span) + 2))
                      : filter == ScaleFilter::Bilinear ? 2
                                                        : 1;
    Taps taps(n, slots);
    int index[kMaxTaps];
    double raw[kMaxTaps];
    for (int i = 0; i < n; ++i) {
        const int x = from + i;
        if (filter == ScaleFilter::Nearest) {
            taps.SetOne(i, NearestIndex(x, scale, size));
        } else if (filter == ScaleFilter::Bilinear) {
            const double f = (x + 0.5) * span - 0.5;
            const int u = ClampIndex(std::floor(f), size);
            const double frac = u + 1 < size && f > u ? f - u : 0;
            index[0] = u;
            index[1] = u + 1;
            raw[0] = 1 - frac;
            raw[1] = frac;
            taps.Set(i, index, raw, frac > 0 ? 2 : 1);
        } else {
            const double a = std::clamp(x * span, 0.0, double(size));
            const double b = std::clamp((x + 1.0) * span, 0.0, double(size));
            const int i0 = ClampIndex(std::floor(a), size);
            const int i1 = b > a ? std::max(i0, std::min(size - 1, int(std::ceil(b)) - 1)) : i0;
            if (i1 - i0 + 1 <= slots) {
                const int count = i1 - i0 + 1;
                for (int k = 0; k < count; ++k) {
                    index[k] = i0 + k;
                    raw[k] = b > a ? std::min(b, i0 + k + 1.0) - std::max(a, double(i0 + k)) : 1;
                }
                taps.Set(i, index, raw, count);
            } else {
                for (int k = 0; k < slots; ++k)
                    index[k] = ClampIndex(a + (k + 0.5) * (b - a) / slots, size);
                taps.Set(i, index, nullptr, slots);
            }
        }
    }
    return taps;
}

// Horizontal pass of one source row: per display pixel three weighted sums
// (blue, green, red) of the row's pixels.
// Horizontal pass of one source row: per display pixel three weighted sums
// (blue, green, red). Source pixel i starts at pixels + (i - first) * step,
// blue first.
template <int kStep>
void FilterRow(const Taps& taps, const uint8_t* pixels, int first, int n, uint32_t* sums) {
    for (int i = 0; i < n; ++i, sums += 3) {
        const int* index = taps.Index(i);
        const uint32_t* weight = taps.Weight(i);
        uint32_t b = 0, g = 0, r = 0;
        for (int k = 0, count = taps.Count(i); k < count; ++k) {
            const uint8_t* p = pixels + static_cast<ptrdiff_t>(index[k] - first) * kStep;
            b += weight[k] * p[0];
            g += weight[k] * p[1];
            r += weight[k] * p[2];
        }
        sums[0] = b;
        sums[1] = g;
        sums[2] = r;
    }
}

void AddWeighted(uint32_t* __restrict acc, const uint32_t* __restrict sums, uint32_t weight,
                 size_t n) {
    for (size_t i = 0; i < n; ++i) acc[i] += weight * sums[i];
}

}  // namespace

ScaleFilter ChooseScaleFilter(double scale, bool smoothEnlargement) {
    if (scale <= 1) return ScaleFilter::Area;
    return smoothEnlargement ? ScaleFilter::Bilinear : ScaleFilter::Nearest;
}

void RenderScaled(const ImagePyramid& pyramid, double scale, ScaleFilter filter, int x, int y,
                  int width, int height, uint32_t* out, size_t stride) {
    if (width <= 0 || height <= 0) return;
    const ImagePyramid::Level* level = nullptr;
    double levelScale = scale;
    int sourceWidth = pyramid.Width();
    int sourceHeight = pyramid.Height();
    if (filter == ScaleFilter::Area) {
        // The smallest level still at least as large as the display.
        for (const auto& l : pyramid.Levels())
            if (scale * l->Factor() <= 1 + 1e-9) level = l.get();
    }
    // Without the raster, the finest level stands in for it, magnified
    // when the view is closer than its reduction.
    if (!level && !pyramid.HasRaster()) {
        if (pyramid.Levels().empty()) return;
        level = pyramid.Levels().front().get();
        if (filter == ScaleFilter::Area && scale * level->Factor() > 1 + 1e-9)
            filter = ScaleFilter::Nearest;
    }
    if (level) {
        levelScale = scale * level->Factor();
        sourceWidth = level->Width();
        sourceHeight = level->Height();
    }
    const Taps tx = MakeTaps(filter, levelScale, sourceWidth, x, width);
    const Taps ty = MakeTaps(filter, levelScale, sourceHeight, y, height);
    int lo = 0, hi = 0, rowLo = 0, rowHi = 0;
    bool singleX = true, singleY = true;
    tx.Span(lo, hi, singleX);
    ty.Span(rowLo, rowHi, singleY);
    const int span = hi - lo + 1;
    std::vector<uint32_t> row(static_cast<size_t>(span));

    if (singleX && singleY) {
        // 1:1 and plain enlargement: copies of source pixels.
        int fetched = -1;
        for (int oy = 0; oy < height; ++oy) {
            uint32_t* line = out + static_cast<size_t>(oy) * stride;
            const int v = ty.Index(oy)[0];
            if (oy > 0 && v == ty.Index(oy - 1)[0]) {
                std::memcpy(line, line - stride, sizeof(uint32_t) * static_cast<size_t>(width));
                continue;
            }
            if (v != fetched) pyramid.FetchRow(level, v, lo, span, row.data());
            fetched = v;
            for (int ox = 0; ox < width; ++ox)
                line[ox] = row[static_cast<size_t>(tx.Index(ox)[0] - lo)];
        }
        return;
    }

    const int depth = pyramid.HasRaster() ? pyramid.Raster().BitCount() : 0;
    // A level still being filled: its rows from here on are black.
    const int levelRows = level ? level->RowsDone() : 0;
    std::vector<uint8_t> blackRow(
        level && levelRows < sourceHeight ? size_t{3} * static_cast<size_t>(sourceWidth) : 0);
    // Horizontal sums of the source rows in use, kept in a ring: consecutive
    // display rows mostly share their source rows. Each row's sums are added
    // in as soon as they are had, so a slot reused within one display row
    // costs only a recomputation.
    const int ringSize = ty.Slots() + 1;
    const size_t sumsPerRow = size_t{3} * static_cast<size_t>(width);
    std::vector<uint32_t> ring(sumsPerRow * static_cast<size_t>(ringSize));
    std::vector<int> ringRow(static_cast<size_t>(ringSize), -1);
    std::vector<uint32_t> acc(sumsPerRow);
    for (int oy = 0; oy < height; ++oy) {
        std::fill(acc.begin(), acc.end(), 1u << 23);  // rounds the final shift
        const int* index = ty.Index(oy);
        const uint32_t* weight = ty.Weight(oy);
        for (int k = 0, count = ty.Count(oy); k < count; ++k) {
            const int v = index[k];
            const size_t slot = static_cast<size_t>(v % ringSize);
            uint32_t* sums = ring.data() + slot * sumsPerRow;
            if (ringRow[slot] != v) {
                // Levels and 24- and 32-bit rasters are read in place; other
                // depths go through their colours first.
                if (level && v < levelRows) {
                    FilterRow<3>(tx, level->Row(v), 0, width, sums);
                } else if (level) {
                    FilterRow<3>(tx, blackRow.data(), 0, width, sums);
                } else if (depth == 24) {
                    FilterRow<3>(tx, pyramid.Raster().Row(v), 0, width, sums);
                } else if (depth == 32) {
                    FilterRow<4>(tx, pyramid.Raster().Row(v), 0, width, sums);
                } else {
                    static_assert(std::endian::native == std::endian::little);
                    pyramid.FetchRow(nullptr, v, lo, span, row.data());
                    FilterRow<4>(tx, reinterpret_cast<const uint8_t*>(row.data()), lo, width, sums);
                }
                ringRow[slot] = v;
            }
            AddWeighted(acc.data(), sums, weight[k], sumsPerRow);
        }
        uint32_t* line = out + static_cast<size_t>(oy) * stride;
        for (int ox = 0; ox < width; ++ox) {
            const uint32_t* a = acc.data() + size_t{3} * static_cast<size_t>(ox);
            line[ox] = 0xFF000000u | ((a[2] >> 24) << 16) | ((a[1] >> 24) << 8) | (a[0] >> 24);
        }
    }
}

}  // namespace tessarin
