// Decoding a JPEG file straight into a bottom-up raster; CMYK and YCCK files
// are turned into colour on the way.

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/failure_text.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_glue.h"
#include "imaging/messages.h"
#include "platform/file_io.h"

namespace tessarin {

namespace {

using jpeg_glue::JpegErrorManager;

constexpr const char* kHeaderFailed = "ヘッダ情報の読み込みに失敗しました";
constexpr const char* kExpandFailed = "ファイルの展開に失敗しました";
constexpr const char* kRasterFailed = "BMPオブジェクトの作成に失敗しました";
constexpr const char* kImageDataFailed = "イメージデータの取得に失敗しました";

// What the library itself may take for whole-image buffers (a progressive or
// multi-scan file keeps every coefficient of the image until the last scan).
// Past this it fails cleanly instead of exhausting memory on a small file that
// claims a huge size.
constexpr long kLibraryMemoryLimit = static_cast<long>(kMaxRasterBytes);

struct JpegDecoder {
    jpeg_decompress_struct codec;
    JpegErrorManager errors;
    jpeg_glue::ScanLimit scanLimit;
};

// Where the decoded rows go: straight into the raster, or for four-component
// files through one row of samples converted to blue, green, red.
struct RowTarget {
    JSAMPROW* rows;     // rows[i] is where output row i (from the top) goes
    JSAMPROW cmykRow;   // null unless the file is CMYK or YCCK
    bool cmykInverted;  // Adobe files store 255 minus the ink
    JDIMENSION width;
};

// One row of four-component samples as the colour they print: each of cyan,
// magenta and yellow takes its share of the light that black lets through.
void CmykRowToBgr(const uint8_t* in, uint8_t* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        // Light left by each ink: 255 is no ink at all.
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = static_cast<uint8_t>((y * k + 127) / 255);
        out[1] = static_cast<uint8_t>((m * k + 127) / 255);
        out[2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
}

// The stages below arm the recovery point and hold plain data only.
bool CreateStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_create_decompress(&decoder->codec);
    decoder->codec.mem->max_memory_to_use = kLibraryMemoryLimit;
    jpeg_glue::InstallScanLimit(&decoder->codec, decoder->scanLimit);
    return true;
}

bool HeaderStage(JpegDecoder* decoder, std::FILE* file) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    jpeg_stdio_src(codec, file);
    jpeg_read_header(codec, TRUE);
    // Colour comes out in the raster's own byte order: blue, green, red.
    // CMYK and YCCK come out as CMYK, which the rows stage turns into colour.
    if (codec->out_color_space == JCS_RGB) codec->out_color_space = JCS_EXT_BGR;
    if (codec->jpeg_color_space == JCS_CMYK || codec->jpeg_color_space == JCS_YCCK)
        codec->out_color_space = JCS_CMYK;
    jpeg_calc_output_dimensions(codec);
    return true;
}

bool StartStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_start_decompress(&decoder->codec);
    return true;
}

bool ImageDataStage(JpegDecoder* decoder, const RowTarget* target) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    while (codec->output_scanline < codec->output_height) {
        const JDIMENSION done = codec->output_scanline;
        if (target->cmykRow) {
            JSAMPROW row = target->cmykRow;
            if (jpeg_read_scanlines(codec, &row, 1) == 0) return false;
            CmykRowToBgr(row, target->rows[done], target->width, target->cmykInverted);
        } else if (jpeg_read_scanlines(codec, target->rows + done, codec->output_height - done) ==
                   0) {
            return false;
        }
    }
    jpeg_finish_decompress(codec);
    return true;
}

struct DecoderDeleter {
    void operator()(JpegDecoder* decoder) const {
        jpeg_destroy_decompress(&decoder->codec);
        delete decoder;
    }
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool Fail(LoadedImage& out, const char* message) {
    out.raster.reset();
    out.displayDepth = 0;
    out.colorKind = kColorKindNone;
    out.interlaced = false;
    SetFailureText(out.error, message);
    return false;
}

bool Load(const std::string& path, LoadedImage& out, bool headerOnly) {
    Fail(out, "");
    // Zero-filled, so destroying it is safe however far creation got.
    std::unique_ptr<JpegDecoder, DecoderDeleter> decoder(new (std::nothrow) JpegDecoder());
    if (!decoder) return Fail(out, msg::kMemoryFailed);
    decoder->codec.err = jpeg_glue::InstallErrorManager(decoder->errors);
    if (!CreateStage(decoder.get())) return Fail(out, msg::kMemoryFailed);

    std::unique_ptr<std::FILE, FileCloser> file(OpenRegularFileStream(path));
    if (!file) return Fail(out, msg::kReadFailed);
    if (!HeaderStage(decoder.get(), file.get())) return Fail(out, kHeaderFailed);

    // Refuse what no raster can hold before the library allocates anything
    // for the whole image.
    const jpeg_decompress_struct& codec = decoder->codec;
    const bool cmyk = codec.out_color_space == JCS_CMYK;
    const int depth = cmyk ? 24 : 8 * codec.out_color_components;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return Fail(out, kRasterFailed);
    if (!DibSizeAcceptable(codec.output_width, codec.output_height, depth))
        return Fail(out, kRasterFailed);
    if (headerOnly) {
        out.width = static_cast<int>(codec.output_width);
        out.height = static_cast<int>(codec.output_height);
        out.displayDepth = 8 * codec.output_components;
        out.colorKind = codec.output_components == 1 ? kColorKindGrey : kColorKindNone;
        return true;
    }

    if (!StartStage(decoder.get())) return Fail(out, kExpandFailed);
    const int width = static_cast<int>(codec.output_width);
    const int height = static_cast<int>(codec.output_height);

    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;  // bottom-up
    header.biBitCount = static_cast<uint16_t>(depth);
    RgbQuad grey[256];
    const bool isGrey = codec.output_components == 1;
    if (isGrey) {
        for (int i = 0; i < 256; ++i) {
            const auto level = static_cast<uint8_t>(i);
            grey[i] = RgbQuad{level, level, level, 0};
        }
    }
    std::unique_ptr<DibImage> raster =
        DibImage::Create(header, isGrey ? grey : nullptr, isGrey ? 256 : 0);
    if (!raster) return Fail(out, kRasterFailed);

    std::vector<JSAMPROW> rows;
    std::vector<JSAMPLE> cmykRow;
    try {
        rows.resize(static_cast<size_t>(height));
        if (cmyk) cmykRow.resize(size_t{4} * static_cast<size_t>(width));
    } catch (const std::bad_alloc&) {
        return Fail(out, msg::kMemoryFailed);
    }
    for (int i = 0; i < height; ++i) rows[static_cast<size_t>(i)] = raster->Row(i);
    const RowTarget target{rows.data(), cmyk ? cmykRow.data() : nullptr,
                           codec.saw_Adobe_marker != 0, codec.output_width};
    // A failed stage leaves the decompression unfinished on purpose: finishing
    // one whose rows were not all read is itself a library error.
    if (!ImageDataStage(decoder.get(), &target))
        return Fail(out, decoder->scanLimit.exceeded ? kExpandFailed : kImageDataFailed);

    out.raster = std::move(raster);
    out.width = width;
    out.height = height;
    // The depth the file stores, whatever the raster became.
    out.displayDepth = 8 * codec.output_components;
    out.colorKind = isGrey ? kColorKindGrey : kColorKindNone;
    return true;
}

}  // namespace

bool LoadJpegFile(const std::string& path, LoadedImage& out) {
    try {
        return Load(path, out, false);
    } catch (...) {
        return Fail(out, msg::kMemoryFailed);
    }
}

bool LoadJpegHeader(const std::string& path, LoadedImage& out) {
    try {
        return Load(path, out, true);
    } catch (...) {
        return Fail(out, msg::kMemoryFailed);
    }
}

}  // namespace tessarin
