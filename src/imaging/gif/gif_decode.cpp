// The decoding step under every read of a GIF file: the first image of a
// file and the records before it, nothing after it, so an animation costs no
// more than its first frame.

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

// What giflib reads from: an open file. While `capturing` is set
// the bytes handed out are also kept, so the image descriptor can be read
// even when the library gives up on the data right after it.
struct GifInput {
    FILE* file = nullptr;
    uint64_t size = 0;  // of the file
    bool capturing = false;
    size_t captured = 0;
    uint8_t capture[kCaptureSize] = {};
};

int ReadInput(GifFileType* gif, GifByteType* buffer, int length) {
    auto* input = static_cast<GifInput*>(gif->UserData);
    if (length <= 0) return 0;
    const size_t n = std::fread(buffer, 1, static_cast<size_t>(length), input->file);
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

}  // namespace

// The reader's state; giflib keeps a pointer to `input`, so it never moves.
struct GifImageReader::State {
    FilePtr file;
    GifInput input;
    GifDecoder gif;
    GifImageInfo info;
    bool decoding = false;
    bool damaged = false;
};

GifImageReader::GifImageReader() : state_(std::make_unique<State>()) {}
GifImageReader::~GifImageReader() = default;

const GifImageInfo& GifImageReader::Info() const { return state_->info; }

const char* GifImageReader::Open(const SourceFile* source) {
    state_->file.reset(source ? source->OpenStream() : nullptr);
    if (!state_->file) return msg::kOpenFailed;
    state_->input.file = state_->file.get();
    state_->input.size = source->Size();
    GifInput& input = state_->input;
    GifImageInfo& info = state_->info;
    int error = 0;
    state_->gif.reset(DGifOpen(&input, ReadInput, &error));
    GifFileType* gif = state_->gif.get();
    if (!gif) return msg::kOpenFailed;
    info = GifImageInfo{};
    info.colorResolution = gif->SColorResolution;
    info.backgroundIndex = gif->SBackGroundColor;

    // Records up to the first image; the extensions met on the way belong to it.
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return msg::kInvalidFile;
        if (type == IMAGE_DESC_RECORD_TYPE) break;
        if (type == TERMINATE_RECORD_TYPE) return msg::kInvalidFile;
        if (type == EXTENSION_RECORD_TYPE && !ReadExtension(gif, info)) return msg::kInvalidFile;
    }

    // The library also reads the code size that starts the pixel data here;
    // when that is missing or corrupt the image still exists, with no rows.
    input.capturing = true;
    state_->decoding = DGifGetImageDesc(gif) == GIF_OK;
    input.capturing = false;
    if (!ParseImageDescriptor(input, *gif, info)) return msg::kInvalidFile;
    if (info.width == 0 || info.height == 0) return msg::kInvalidFile;
    return nullptr;
}

void GifImageReader::ReadRow(uint8_t* row) {
    const GifImageInfo& info = state_->info;
    if (state_->decoding && DGifGetLine(state_->gif.get(), row, info.width) == GIF_ERROR)
        state_->decoding = false;
    if (!state_->decoding) {
        state_->damaged = true;
        std::memset(row, static_cast<uint8_t>(info.backgroundIndex),
                    static_cast<size_t>(info.width));
    }
}

bool GifImageReader::Damaged() const { return state_->damaged; }

bool GifImageReader::TooShortForImage() const {
    const GifInput& input = state_->input;
    const long at = std::ftell(input.file);
    const uint64_t position = at < 0 ? 0 : static_cast<uint64_t>(at);
    const uint64_t left = input.size > position ? input.size - position : 0;
    constexpr uint64_t kMostPixelsPerByte = 8 / 2 * 4096;
    const uint64_t pixels =
        static_cast<uint64_t>(state_->info.width) * static_cast<uint64_t>(state_->info.height);
    return !state_->decoding || pixels / kMostPixelsPerByte > left;
}

}  // namespace tessarin::gif
