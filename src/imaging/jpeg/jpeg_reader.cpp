// Decoding a JPEG file straight into a bottom-up raster.

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_glue.h"
#include "imaging/messages.h"

namespace tessarin {

namespace {

using jpeg_glue::JpegErrorManager;

constexpr const char* kHeaderFailed = "ヘッダ情報の読み込みに失敗しました";
constexpr const char* kExpandFailed = "ファイルの展開に失敗しました";
constexpr const char* kMemoryFailed = "メモリ領域の確保に失敗しました";
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
};

// The stages below arm the recovery point and hold plain data only.
bool CreateStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_create_decompress(&decoder->codec);
    decoder->codec.mem->max_memory_to_use = kLibraryMemoryLimit;
    return true;
}

bool HeaderStage(JpegDecoder* decoder, std::FILE* file) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    jpeg_stdio_src(codec, file);
    jpeg_read_header(codec, TRUE);
    // Colour comes out in the raster's own byte order: blue, green, red.
    if (codec->out_color_space == JCS_RGB) codec->out_color_space = JCS_EXT_BGR;
    jpeg_calc_output_dimensions(codec);
    return true;
}

bool StartStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_start_decompress(&decoder->codec);
    return true;
}

// rows[i] is where output row i (from the top) goes.
bool ImageDataStage(JpegDecoder* decoder, JSAMPROW* rows) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    while (codec->output_scanline < codec->output_height) {
        const JDIMENSION done = codec->output_scanline;
        if (jpeg_read_scanlines(codec, rows + done, codec->output_height - done) == 0) return false;
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
    out = LoadedImage{};
    out.error = message;
    return false;
}

}  // namespace

bool LoadJpegFile(const std::string& path, LoadedImage& out) {
    out = LoadedImage{};
    // Zero-filled, so destroying it is safe however far creation got.
    std::unique_ptr<JpegDecoder, DecoderDeleter> decoder(new (std::nothrow) JpegDecoder());
    if (!decoder) return Fail(out, kMemoryFailed);
    decoder->codec.err = jpeg_glue::InstallErrorManager(decoder->errors);
    if (!CreateStage(decoder.get())) return Fail(out, kMemoryFailed);

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rbe"));
    if (!file) return Fail(out, msg::kReadFailed);
    if (!HeaderStage(decoder.get(), file.get())) return Fail(out, kHeaderFailed);

    // Refuse what no raster can hold before the library allocates anything
    // for the whole image.
    const jpeg_decompress_struct& codec = decoder->codec;
    const int components = codec.out_color_components;
    const int depth = 8 * components;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return Fail(out, kRasterFailed);
    if (!DibSizeAcceptable(codec.output_width, codec.output_height, depth))
        return Fail(out, kMemoryFailed);

    if (!StartStage(decoder.get())) return Fail(out, kExpandFailed);
    const int width = static_cast<int>(codec.output_width);
    const int height = static_cast<int>(codec.output_height);
    out.displayDepth = 8 * codec.output_components;

    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;  // bottom-up
    header.biBitCount = static_cast<uint16_t>(out.displayDepth);
    RgbQuad grey[256];
    const bool isGrey = codec.output_components == 1;
    if (isGrey) {
        for (int i = 0; i < 256; ++i) {
            const auto level = static_cast<uint8_t>(i);
            grey[i] = RgbQuad{level, level, level, 0};
        }
        out.colorKind = kColorKindGrey;
    }
    std::unique_ptr<DibImage> raster =
        DibImage::Create(header, isGrey ? grey : nullptr, isGrey ? 256 : 0);
    if (!raster) return Fail(out, kRasterFailed);

    std::vector<JSAMPROW> rows;
    try {
        rows.resize(static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        return Fail(out, kMemoryFailed);
    }
    for (int i = 0; i < height; ++i) rows[static_cast<size_t>(i)] = raster->Row(i);
    // A failed stage leaves the decompression unfinished on purpose: finishing
    // one whose rows were not all read is itself a library error.
    if (!ImageDataStage(decoder.get(), rows.data())) return Fail(out, kImageDataFailed);

    out.raster = std::move(raster);
    return true;
}

}  // namespace tessarin
