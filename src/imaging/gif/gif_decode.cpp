// The decoding step shared by the viewer's reader and the tile source: the
// first image of a file and the records before it, nothing after it, so an
// animation costs no more than its first frame.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "imaging/dib_image.h"
#include "imaging/gif/gif_private.h"
#include "imaging/messages.h"
#include "platform/file_io.h"

namespace tessarin::gif {
namespace {

// Image descriptor after its ',' (9 bytes), the largest local colour table
// (768 bytes) and the code size byte.
constexpr size_t kCaptureSize = 1024;

// What giflib reads from: an open file or a buffer. While `capturing` is set
// the bytes handed out are also kept, so the image descriptor can be read
// even when the library gives up on the data right after it.
struct GifInput {
    FILE* file = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    bool capturing = false;
    size_t captured = 0;
    uint8_t capture[kCaptureSize] = {};
};

int ReadInput(GifFileType* gif, GifByteType* buffer, int length) {
    auto* input = static_cast<GifInput*>(gif->UserData);
    if (length <= 0) return 0;
    size_t n = 0;
    if (input->file) {
        n = std::fread(buffer, 1, static_cast<size_t>(length), input->file);
    } else {
        n = std::min(static_cast<size_t>(length), input->size - input->position);
        if (n > 0) std::memcpy(buffer, input->data + input->position, n);
        input->position += n;
    }
    if (input->capturing && n > 0) {
        size_t keep = std::min(n, kCaptureSize - input->captured);
        std::memcpy(input->capture + input->captured, buffer, keep);
        input->captured += keep;
    }
    return static_cast<int>(n);
}

struct DecoderCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifDecoder = std::unique_ptr<GifFileType, DecoderCloser>;

// Reads one extension record, keeping the transparency block when this is it.
bool ReadExtension(GifFileType* gif, GifImageInfo& info) {
    int code = 0;
    GifByteType* block = nullptr;  // block[0] is the length, the data follows
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 1 && (block[1] & 0x01) &&
        info.transparency.empty())
        info.transparency.assign(block + 1, block + 1 + block[0]);
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// Size, interlacing and colour table from the captured image descriptor.
bool ParseImageDescriptor(const GifInput& input, const GifFileType& gif, GifImageInfo& info) {
    if (input.captured < 9) return false;
    const uint8_t* d = input.capture;
    info.width = d[4] | (d[5] << 8);
    info.height = d[6] | (d[7] << 8);
    const uint8_t flags = d[8];
    info.interlaced = (flags & 0x40) != 0;
    if (flags & 0x80) {
        info.colorBits = (flags & 0x07) + 1;
        const size_t count = size_t{1} << info.colorBits;
        if (input.captured < 9 + 3 * count) return false;
        info.colors.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* rgb = d + 9 + 3 * i;
            info.colors[i] = GifColorType{rgb[0], rgb[1], rgb[2]};
        }
        return true;
    }
    const ColorMapObject* global = gif.SColorMap;
    if (!global || global->BitsPerPixel < 1 || global->BitsPerPixel > 8 ||
        global->ColorCount != (1 << global->BitsPerPixel))
        return false;  // no colour table at all: nothing to show the indices with
    info.colorBits = global->BitsPerPixel;
    info.colors.assign(global->Colors, global->Colors + global->ColorCount);
    return true;
}

const char* DecodeFirstImage(GifInput& input, GifImageInfo& info, GifRowSink& sink) {
    int error = 0;
    GifDecoder gif(DGifOpen(&input, ReadInput, &error));
    if (!gif) return msg::kOpenFailed;
    info = GifImageInfo{};
    info.colorResolution = gif->SColorResolution;
    info.backgroundIndex = gif->SBackGroundColor;

    // Records up to the first image; the extensions met on the way belong to it.
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) return msg::kInvalidFile;
        if (type == IMAGE_DESC_RECORD_TYPE) break;
        if (type == TERMINATE_RECORD_TYPE) return msg::kInvalidFile;
        if (type == EXTENSION_RECORD_TYPE && !ReadExtension(gif.get(), info))
            return msg::kInvalidFile;
    }

    // The library also reads the code size that starts the pixel data here;
    // when that is missing or corrupt the image still exists, with no rows.
    input.capturing = true;
    bool decoding = DGifGetImageDesc(gif.get()) == GIF_OK;
    input.capturing = false;
    if (!ParseImageDescriptor(input, *gif, info)) return msg::kInvalidFile;
    if (info.width == 0 || info.height == 0) return msg::kInvalidFile;
    if (!DibSizeAcceptable(info.width, info.height, 8)) return msg::kReadFailed;
    if (!sink.Prepare(info)) return msg::kReadFailed;

    const size_t width = static_cast<size_t>(info.width);
    const auto background = static_cast<uint8_t>(info.backgroundIndex);
    ForEachGifRow(info.height, info.interlaced, [&](int y) {
        uint8_t* row = sink.Row(y);
        if (decoding && DGifGetLine(gif.get(), row, info.width) == GIF_ERROR) decoding = false;
        if (!decoding) std::memset(row, background, width);
    });
    return nullptr;
}

const char* Decode(GifInput& input, GifImageInfo& info, GifRowSink& sink) {
    try {
        return DecodeFirstImage(input, info, sink);
    } catch (...) {
        return msg::kReadFailed;  // as for a buffer that cannot be had
    }
}

}  // namespace

const char* DecodeGifFile(const SourceFile* source, GifImageInfo& info, GifRowSink& sink) {
    FilePtr file(source ? source->OpenStream() : nullptr);
    if (!file) return msg::kOpenFailed;
    GifInput input;
    input.file = file.get();
    return Decode(input, info, sink);
}

const char* DecodeGifMemory(const uint8_t* data, size_t size, GifImageInfo& info,
                            GifRowSink& sink) {
    GifInput input;
    input.data = data;
    input.size = data ? size : 0;
    return Decode(input, info, sink);
}

}  // namespace tessarin::gif
