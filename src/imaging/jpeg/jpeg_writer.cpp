// Baseline JPEG encoding of a raster or of a rectangle of it.

#include "imaging/jpeg/jpeg_writer.h"

#include <cstring>
#include <memory>
#include <new>

#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_private.h"
#include "platform/atomic_file.h"
#include "platform/file_io.h"

namespace tessarin {

namespace jpeg {

namespace {

struct JpegEncoder {
    jpeg_compress_struct codec;
    JpegErrorManager errors;
};

// Rows handed to the library per call: one 4:2:0 row group of blocks.
constexpr JDIMENSION kRowBatch = 16;

// The stages below arm the recovery point and hold plain data only.
bool CreateStage(JpegEncoder* encoder) {
    if (setjmp(encoder->errors.recovery)) return false;
    jpeg_create_compress(&encoder->codec);
    return true;
}

// How the raster's rows are handed to the encoder.
struct JpegInput {
    int components = 0;
    J_COLOR_SPACE space = JCS_UNKNOWN;
    bool convert = false;  // rows turned into blue, green, red first (palettes, 16 bits)
};

// `batch` holds kRowBatch rows of width x components bytes.
bool EncodeStage(JpegEncoder* encoder, std::FILE* file, const DibImage* image, int x, int y,
                 int width, int height, JpegInput input, int quality, const IccProfile* profile,
                 uint8_t* batch) {
    const int components = input.components;
    if (setjmp(encoder->errors.recovery)) return false;
    jpeg_compress_struct* codec = &encoder->codec;
    codec->image_width = static_cast<JDIMENSION>(width);
    codec->image_height = static_cast<JDIMENSION>(height);
    codec->input_components = components;
    codec->in_color_space = input.space;
    jpeg_set_defaults(codec);
    jpeg_set_quality(codec, quality, TRUE);
    jpeg_stdio_dest(codec, file);
    jpeg_start_compress(codec, TRUE);
    // Split over as many APP2 markers as it needs.
    if (profile && !profile->empty())
        jpeg_write_icc_profile(codec, profile->data(), static_cast<unsigned int>(profile->size()));
    const size_t left = static_cast<size_t>(x) * static_cast<size_t>(components);
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(components);
    JSAMPROW rows[kRowBatch];
    for (JDIMENSION i = 0; i < kRowBatch; ++i) rows[i] = batch + i * rowBytes;
    while (codec->next_scanline < codec->image_height) {
        const JDIMENSION first = codec->next_scanline;
        JDIMENSION count = codec->image_height - first;
        if (count > kRowBatch) count = kRowBatch;
        // Copying a few rows out first is cheaper than letting the library
        // read them in place from the big raster (measured: about a third
        // less time per tile), and the buffer stays small whatever the tile.
        for (JDIMENSION i = 0; i < count; ++i) {
            const int row = y + static_cast<int>(first + i);
            if (input.convert)
                RowAsColours(*image, false, x, row, width, ColourOrder::kBgr, rows[i]);
            else
                std::memcpy(rows[i], image->Row(row) + left, rowBytes);
        }
        if (jpeg_write_scanlines(codec, rows, count) == 0) return false;
    }
    jpeg_finish_compress(codec);
    return true;
}

}  // namespace

bool EncodeJpegRegion(int fd, const DibImage& image, int x, int y, int width, int height,
                      int quality, const IccProfile* profile) {
    JpegInput input;
    if (image.BitCount() == 8 && HasGreyRamp(image)) {
        input.components = 1;
        input.space = JCS_GRAYSCALE;
    } else if (image.BitCount() == 24) {
        input.components = 3;
        input.space = JCS_EXT_BGR;  // the raster's byte order
    } else if (image.BitCount() == 32) {
        input.components = 4;
        input.space = JCS_EXT_BGRX;  // alpha, if any, is left out
    } else {
        input.components = 3;
        input.space = JCS_EXT_BGR;
        input.convert = true;
    }
    if (!RegionInside(x, y, width, height, image.Width(), image.AbsHeight())) return false;

    std::unique_ptr<uint8_t[]> batch(new (std::nothrow)
                                         uint8_t[kRowBatch * static_cast<size_t>(width) *
                                                 static_cast<size_t>(input.components)]);
    if (!batch) return false;

    JpegEncoder encoder;
    std::memset(&encoder, 0, sizeof encoder);
    encoder.codec.err = InstallErrorManager(encoder.errors);
    bool ok = CreateStage(&encoder);
    std::FILE* file = ok ? OpenWriteStream(fd) : nullptr;
    if (file) {
        ok = EncodeStage(&encoder, file, &image, x, y, width, height, input, quality, profile,
                         batch.get());
    } else {
        ok = false;
    }
    jpeg_destroy_compress(&encoder.codec);
    if (file) {
        if (std::ferror(file)) ok = false;
        if (std::fclose(file) != 0) ok = false;
    }
    return ok;
}

}  // namespace jpeg

bool SaveJpegFile(const std::string& path, const DibImage& image, int quality) {
    AtomicFile file;
    return file.CreateFor(path) &&
           jpeg::EncodeJpegRegion(file.Descriptor(), image, 0, 0, image.Width(), image.AbsHeight(),
                                  quality) &&
           file.Commit(path, false);
}

}  // namespace tessarin
