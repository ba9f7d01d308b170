// The reader's decode: the header checked against what a raster can hold
// before the library allocates anything, then the rows, a progressive file's
// on two threads where it can be.

#include "imaging/jpeg/jpeg_raster_decode.h"

#include <thread>

#include "imaging/messages.h"

namespace tessarin::jpeg {

int RasterDepth(const jpeg_decompress_struct& codec) {
    const int depth = codec.out_color_space == JCS_CMYK ? 24 : 8 * codec.out_color_components;
    return depth == 8 || depth == 16 || depth == 24 || depth == 32 ? depth : 0;
}

std::unique_ptr<DibImage> NewRaster(const jpeg_decompress_struct& codec, int rows) {
    BitmapInfoHeader header;
    header.biWidth = static_cast<int>(codec.output_width);
    header.biHeight = rows;  // bottom-up
    header.biBitCount = static_cast<uint16_t>(RasterDepth(codec));
    RgbQuad grey[256];
    const bool isGrey = codec.output_components == 1;
    if (isGrey) {
        for (int i = 0; i < 256; ++i) {
            const auto level = static_cast<uint8_t>(i);
            grey[i] = RgbQuad{level, level, level, 0};
        }
    }
    return DibImage::Create(header, isGrey ? grey : nullptr, isGrey ? 256 : 0);
}

const char* RasterDecode::Open(const SourceFilePtr& source, bool headerOnly,
                               const ReadWatch* watch) {
    decoder_ = NewDecoder();
    if (!decoder_ || !CreateStage(decoder_.get())) return msg::kMemoryFailed;
    watch_ = watch;
    decoder_->scanLimit.watch = watch;
    if (!source) return msg::kReadFailed;
    file_.reset(source->OpenStream());
    if (!file_) return msg::kReadFailed;
    if (!HeaderStage(decoder_.get(), file_.get())) return kHeaderFailed;

    // Refuse what no raster can hold before the library allocates
    // anything for the whole image.
    const jpeg_decompress_struct& codec = decoder_->codec;
    const int depth = RasterDepth(codec);
    if (depth == 0) return kRasterFailed;
    if (headerOnly) return nullptr;
    if (!DibSizeAcceptable(codec.output_width, codec.output_height, depth)) return kRasterFailed;

    source_ = source;
    raster_ = NewRaster(codec, static_cast<int>(codec.output_height));
    if (!raster_) return kRasterFailed;
    const bool cmyk = codec.out_color_space == JCS_CMYK;
    rows_.resize(codec.output_height);
    if (cmyk) cmykRow_.resize(size_t{4} * codec.output_width);
    for (JDIMENSION i = 0; i < codec.output_height; ++i)
        rows_[i] = raster_->Row(static_cast<int>(i));
    target_ = RowTarget{rows_.data(), cmyk ? cmykRow_.data() : nullptr, codec.saw_Adobe_marker != 0,
                        codec.output_width};
    return nullptr;
}

const char* RasterDecode::Rows(JDIMENSION upTo) {
    if (!rowsFrom_) {
        // A progressive file is decoded on two threads where it can be;
        // when that declines, the usual decode gives any failure its
        // message. It reads the same open file again: one rewritten in
        // place since the header was read fails here.
        const jpeg_decompress_struct& codec = decoder_->codec;
        if (codec.progressive_mode && codec.num_components >= 2 &&
            std::thread::hardware_concurrency() >= 2) {
            split_ = StartProgressiveOnTwoThreads(*source_, codec, watch_);
            if (split_.changed) return msg::kReadFailed;
        }
        if (split_.decoder) {
            rowsFrom_ = split_.decoder.get();
        } else {
            if (!StartStage(decoder_.get())) return kExpandFailed;
            rowsFrom_ = decoder_.get();
        }
    }
    if (!ReadRowsStage(rowsFrom_, &target_, upTo))
        return rowsFrom_->scanLimit.exceeded ? kExpandFailed : kImageDataFailed;
    return nullptr;
}

const char* RasterDecode::Finish() { return FinishStage(rowsFrom_) ? nullptr : kImageDataFailed; }

}  // namespace tessarin::jpeg
