// BMP files cut band by band. The rows of an uncompressed file are at fixed
// places, so a band is read by seeking, whatever the row order: the readers
// run over a window of the file that looks like a BMP file of the band's
// rows alone (the same headers with the band's height, then those rows'
// pixel data), so every band comes out exactly as those rows of the whole
// raster do. RLE files, and files whose pixel data overlaps their headers or
// colour table, are decoded whole into a raster the bands hold and serve
// their rows from; a band of every row takes that raster.

#include <algorithm>
#include <climits>
#include <cstring>

#include "imaging/bmp/bmp_format.h"
#include "imaging/bmp/bmp_private.h"
#include "imaging/checked_size.h"
#include "imaging/messages.h"

namespace tessarin {

namespace {

using bmp::I32;
using bmp::U16;
using bmp::U32;

// Where a file's rows are, as the general decoder finds them.
struct RowLayout {
    uint64_t dataOffset = 0;
    uint64_t stride = 0;    // bytes per file row
    int64_t height = 0;     // signed: negative means top-down
    uint64_t heightAt = 0;  // where the header stores the height
    bool coreHeader = false;
    int width = 0;
};

// Reads the headers; false when the rows are not at fixed places.
bool ReadRowLayout(const SourceFile& file, RowLayout& layout) {
    uint8_t b[14 + 40] = {};
    if (!file.ReadAt(0, b, 14 + 12)) return false;
    const uint32_t size = U32(b + 14);
    int64_t width = 0;
    int bitCount = 0;
    uint32_t compression = 0, clrUsed = 0;
    uint64_t masks = 0;
    if (size == 12) {
        width = U16(b + 18);
        layout.height = U16(b + 20);
        bitCount = U16(b + 24);
        layout.heightAt = 20;
        layout.coreHeader = true;
    } else if (size == 40 || size == 52 || size == 56 || size == 108 || size == 124) {
        if (!file.ReadAt(0, b, sizeof b)) return false;
        width = I32(b + 18);
        layout.height = I32(b + 22);
        bitCount = U16(b + 28);
        compression = U32(b + 30);
        clrUsed = U32(b + 46);
        layout.heightAt = 22;
        if (size == 40 && compression == 3) masks = 12;
        if (size == 40 && compression == 6) masks = 16;
    } else {
        return false;
    }
    if (compression != 0 && compression != 3 && compression != 6) return false;
    if (width <= 0 || width > INT_MAX || layout.height == 0 || layout.height == INT32_MIN ||
        (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
         bitCount != 32))
        return false;
    const uint64_t tableOffset = 14 + uint64_t{size} + masks;
    uint64_t tableEnd = tableOffset;
    if (bitCount <= 8) {
        const uint32_t most = 1u << bitCount;
        tableEnd += uint64_t{clrUsed ? std::min(clrUsed, most) : most} * (size == 12 ? 3 : 4);
    }
    layout.dataOffset = U32(b + 10) ? U32(b + 10) : tableEnd;
    layout.stride = DibStride(width, bitCount);
    layout.width = static_cast<int>(width);
    return layout.stride != 0 && layout.dataOffset >= tableEnd;
}

// The file as a BMP file of picture rows [top, top + rows) alone.
class BandWindow final : public bmp::ByteSource {
  public:
    BandWindow(const SourceFile& file, const RowLayout& layout, int64_t top, int64_t rows)
        : file_(file), layout_(layout), rows_(rows) {
        const int64_t height = layout.height < 0 ? -layout.height : layout.height;
        const int64_t firstFileRow = layout.height < 0 ? top : height - top - rows;
        shift_ = static_cast<uint64_t>(firstFileRow) * layout.stride;
    }
    uint64_t Size() const override {
        return layout_.dataOffset + static_cast<uint64_t>(rows_) * layout_.stride;
    }
    bool ReadAt(uint64_t offset, void* buffer, size_t n) const override {
        if (offset > Size() || n > Size() - offset) return false;
        if (offset >= layout_.dataOffset) return file_.ReadAt(offset + shift_, buffer, n);
        if (!file_.ReadAt(offset, buffer, n)) return false;
        // The header's height becomes the band's, with the same sign.
        uint8_t field[4];
        const int64_t rows = layout_.height < 0 ? -rows_ : rows_;
        bmp::Put32(field, static_cast<uint32_t>(rows));
        const uint64_t fieldSize = layout_.coreHeader ? 2 : 4;
        for (uint64_t i = 0; i < fieldSize; ++i) {
            const uint64_t at = layout_.heightAt + i;
            if (at >= offset && at - offset < n)
                static_cast<uint8_t*>(buffer)[at - offset] = field[i];
        }
        return true;
    }

  private:
    const SourceFile& file_;
    RowLayout layout_;
    int64_t rows_;
    uint64_t shift_ = 0;
};

class BmpBand final : public RowBand {
  public:
    std::shared_ptr<const DibImage> Raster() const override { return raster_; }
    std::shared_ptr<const DibImage> raster_;
};

class BmpBands final : public RowBands {
  public:
    BmpBands(SourceFilePtr file, const RowLayout& layout, size_t rasterStride)
        : file_(std::move(file)), layout_(layout), rasterStride_(rasterStride) {}

    uint64_t BandBytes(int rows) const override {
        // The band's raster, and a file row for the readers that convert rows.
        return CheckedSize(rasterStride_, static_cast<uint64_t>(rows), 1, layout_.stride)
            .value_or(0);
    }
    std::unique_ptr<RowBand> NewBand(int) override { return std::make_unique<BmpBand>(); }
    const char* ReadRows(RowBand& band, int rows) override {
        auto& bmpBand = static_cast<BmpBand&>(band);
        bmpBand.raster_.reset();
        LoadedImage rowsRead;
        if (!bmp::LoadBmpFrom(BandWindow(*file_, layout_, top_, rows), file_->Path(), rowsRead))
            return msg::kInvalidFile;
        top_ += rows;
        bmpBand.raster_ = std::move(rowsRead.raster);
        return nullptr;
    }
    const char* MemoryMessage() const override { return msg::kMemoryFailed; }

  private:
    SourceFilePtr file_;
    RowLayout layout_;
    size_t rasterStride_;
    int64_t top_ = 0;
};

// A file decoded whole, at the first band's read.
class HeldBands final : public RowBands {
  public:
    HeldBands(SourceFilePtr file, const BitmapInfoHeader& raster, uint64_t besides, bool showDamage)
        : file_(std::move(file)), header_(raster), showDamage_(showDamage) {
        height_ = header_.biHeight < 0 ? -int64_t{header_.biHeight} : header_.biHeight;
        stride_ = DibStride(header_.biWidth, header_.biBitCount);
        heldBytes_ = CheckedSize(stride_, static_cast<uint64_t>(height_), 1, besides).value_or(0);
    }

    uint64_t HeldBytes() const override { return heldBytes_; }
    uint64_t BandBytes(int rows) const override {
        if (heldBytes_ == 0 || rows <= 0) return 0;
        if (rows >= height_) return 1;  // the held raster itself
        return CheckedSize(stride_, static_cast<uint64_t>(rows)).value_or(0);
    }
    std::unique_ptr<RowBand> NewBand(int) override { return std::make_unique<BmpBand>(); }
    const char* ReadRows(RowBand& band, int rows) override {
        auto& bmpBand = static_cast<BmpBand&>(band);
        bmpBand.raster_.reset();
        if (top_ == 0 && !picture_ && !Decode()) return msg::kInvalidFile;
        if (damaged_ && !showDamage_) return msg::kInvalidFile;
        if (!picture_ || rows <= 0 || rows > height_ - top_) return msg::kInvalidFile;
        if (top_ == 0 && rows == height_) {
            bmpBand.raster_ = std::move(picture_);
            top_ = height_;
            return nullptr;
        }
        BitmapInfoHeader header = picture_->Header();
        header.biHeight = header.biHeight < 0 ? -rows : rows;
        const std::vector<RgbQuad>& colors = picture_->Colors();
        std::unique_ptr<DibImage> raster =
            DibImage::Create(header, colors.data(), static_cast<int>(colors.size()));
        if (!raster) return msg::kMemoryFailed;
        for (int y = 0; y < rows; ++y)
            std::memcpy(raster->Row(y), picture_->Row(static_cast<int>(top_) + y), stride_);
        top_ += rows;
        if (top_ == height_) picture_.reset();
        bmpBand.raster_ = std::move(raster);
        return nullptr;
    }
    const char* Damage() const override { return damaged_ ? msg::kInvalidFile : nullptr; }
    const char* MemoryMessage() const override { return msg::kMemoryFailed; }

  private:
    // The whole file, as the headers read at its opening promised it.
    bool Decode() {
        LoadedImage whole;
        try {
            if (!bmp::LoadBmpFrom(bmp::FileSource(*file_), file_->Path(), whole)) return false;
        } catch (...) {
            return false;
        }
        const BitmapInfoHeader& got = whole.raster->Header();
        if (got.biWidth != header_.biWidth || got.biHeight != header_.biHeight ||
            got.biBitCount != header_.biBitCount)
            return false;  // the file changed since it was opened
        damaged_ = !whole.damage.empty();
        picture_ = std::move(whole.raster);
        return true;
    }

    SourceFilePtr file_;
    BitmapInfoHeader header_;
    bool showDamage_;
    int64_t height_ = 0;
    uint64_t stride_ = 0;
    uint64_t heldBytes_ = 0;
    std::shared_ptr<const DibImage> picture_;  // until the bands have served every row
    bool damaged_ = false;
    int64_t top_ = 0;
};

// Opens a file whose rows are not at fixed places for bands of its raster
// decoded whole.
bool OpenHeld(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
              std::unique_ptr<RowBands>& bands) {
    LoadedImage planned;
    BitmapInfoHeader raster;
    uint64_t besides = 0;
    if (!bmp::PlanBmpLoad(bmp::FileSource(*file), file->Path(), planned, raster, besides)) {
        out.error = msg::kInvalidFile;
        return false;
    }
    out.width = raster.biWidth;
    out.height = raster.biHeight < 0 ? -raster.biHeight : raster.biHeight;
    out.displayDepth = planned.displayDepth;
    out.colorKind = planned.colorKind;
    out.notices = std::move(planned.notices);
    out.source = file;
    bands = std::make_unique<HeldBands>(file, raster, besides,
                                        settings.GetInt("VIEW", "SHOW_DAMAGE", 0) != 0);
    return true;
}

}  // namespace

bool OpenBmpBands(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
                  std::unique_ptr<RowBands>& bands) {
    try {
        RowLayout layout;
        if (!file) {
            out.error = msg::kInvalidFile;
            return false;
        }
        if (!ReadRowLayout(*file, layout)) return OpenHeld(file, settings, out, bands);
        // The readers refuse a file that does not hold all the rows it
        // promises, before anything is cut.
        const int64_t height = layout.height < 0 ? -layout.height : layout.height;
        if (layout.dataOffset >= file->Size() ||
            !CheckedSize(layout.stride, static_cast<uint64_t>(height), 1, 0,
                         file->Size() - layout.dataOffset)) {
            out.error = msg::kInvalidFile;
            return false;
        }
        // The top row, read as every band will be: it gives the depth, the
        // colours and the notices of the whole file.
        LoadedImage first;
        if (!bmp::LoadBmpFrom(BandWindow(*file, layout, 0, 1), file->Path(), first)) {
            out.error = msg::kInvalidFile;
            return false;
        }
        out.width = layout.width;
        out.height = static_cast<int>(height);
        out.displayDepth = first.displayDepth;
        out.colorKind = first.colorKind;
        out.notices = std::move(first.notices);
        out.source = file;
        bands = std::make_unique<BmpBands>(file, layout, first.raster->Stride());
        return true;
    } catch (...) {
        out.error = msg::kInvalidFile;
        return false;
    }
}

}  // namespace tessarin
