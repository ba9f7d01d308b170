#include "imaging/png/png_private.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "imaging/dib_image.h"
#include "imaging/messages.h"
#include "platform/file_io.h"

namespace tessarin::png {
namespace {

bool IsName(const unsigned char* name, const char* expected) {
    return std::memcmp(name, expected, 4) == 0;
}

// libpng names the chunk a warning is about first. Of its warnings about the
// image data, all but those on data beyond the picture (which is complete)
// are zlib's on a broken stream.
bool IsImageDataDamage(const char* message) {
    return std::strncmp(message, "IDAT: ", 6) == 0 &&
           !std::strstr(message, "Extra compressed data") &&
           !std::strstr(message, "Too much image data");
}

bool Damaged(png_structp png) {
    const auto* damaged = static_cast<const bool*>(png_get_error_ptr(png));
    return damaged && *damaged;
}

// Follows the chunk structure of the bytes libpng consumes, which arrive in
// file order: a header of 8 bytes, then the data and the CRC.
void TraceBytes(PngReadStream& stream, const uint8_t* data, size_t length) {
    while (length > 0) {
        if (stream.chunkRemaining > 0) {
            uint64_t skip = std::min<uint64_t>(stream.chunkRemaining, length);
            const uint64_t chunkData = std::min(skip, stream.dataRemaining);
            if (stream.budget && chunkData > 0)
                stream.budget->Consume(data, static_cast<size_t>(chunkData));
            stream.dataRemaining -= chunkData;
            stream.chunkRemaining -= skip;
            stream.position += skip;
            data += skip;
            length -= static_cast<size_t>(skip);
            continue;
        }
        size_t take = std::min(static_cast<size_t>(8 - stream.headerFill), length);
        std::memcpy(stream.header + stream.headerFill, data, take);
        stream.headerFill += static_cast<int>(take);
        stream.position += take;
        data += take;
        length -= take;
        if (stream.headerFill < 8) continue;
        stream.headerFill = 0;
        const unsigned char* h = stream.header;
        uint64_t dataLength = (uint64_t{h[0]} << 24) | (uint64_t{h[1]} << 16) |
                              (uint64_t{h[2]} << 8) | uint64_t{h[3]};
        stream.chunkRemaining = dataLength + 4;
        stream.dataRemaining = dataLength;
        if (stream.size != 0 &&
            (stream.position > stream.size || dataLength + 4 > stream.size - stream.position))
            stream.overlong = true;
        if (stream.budget) stream.budget->BeginChunk(h + 4);
        if (IsName(h + 4, "IDAT")) {
            stream.seenImageData = true;
            continue;
        }
        if (!stream.trace) continue;
        char name[5] = {};
        std::memcpy(name, h + 4, 4);
        PngChunkTrace& trace = *stream.trace;
        if (!trace.Has(name, stream.seenImageData) && trace.count < PngChunkTrace::kMaxNames) {
            std::memcpy(trace.names[trace.count], name, 4);
            trace.names[trace.count][4] = '\0';
            trace.afterImage[trace.count] = stream.seenImageData;
            ++trace.count;
        }
    }
}

void ReadFromStream(png_structp png, png_bytep data, size_t length) {
    auto* stream = static_cast<PngReadStream*>(png_get_io_ptr(png));
    // A short read is a truncated file: fail now rather than let libpng parse
    // whatever the buffer held.
    const bool complete = stream->read ? stream->read(stream->context, data, length)
                                       : std::fread(data, 1, length, stream->file) == length;
    if (!complete) png_error(png, "file ends early");
    if (stream->trace || stream->budget || stream->size) TraceBytes(*stream, data, length);
    if (stream->overlong) png_error(png, "chunk longer than the file");
    if (stream->budget && stream->budget->Exceeded()) png_error(png, "too much metadata");
}

// The chunks that only tiles carry, as png_set_keep_unknown_chunks lists them.
constexpr png_byte kMetadataChunks[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0pCAL\0sCAL";
constexpr int kMetadataChunkCount = 7;

}  // namespace

PngAncillaryBudget::~PngAncillaryBudget() {
    if (zlibReady_) inflateEnd(&zlib_);
}

void PngAncillaryBudget::BeginChunk(const unsigned char* name) {
    inflating_ = false;
    prefix_ = "";
    rest_ = 0;
    if (IsName(name, "tEXt") || IsName(name, "sPLT")) {
        rest_ = 'R';
    } else if (IsName(name, "zTXt") || IsName(name, "iCCP")) {
        prefix_ = "NB";  // keyword or profile name, compression method
        rest_ = 'Z';
    } else if (IsName(name, "iTXt")) {
        prefix_ = "NFBNN";  // keyword, flag, method, language, translated keyword
        rest_ = 'R';
    } else if (IsName(name, "pCAL") || IsName(name, "sCAL")) {
        rest_ = 'R';
    }
    const bool cached = IsName(name, "tEXt") || IsName(name, "zTXt") || IsName(name, "iTXt") ||
                        IsName(name, "sPLT");
    if (cached && ++keptChunks_ > kMaxKeptChunks) exceeded_ = true;
}

void PngAncillaryBudget::Add(uint64_t bytes) {
    used_ += bytes;
    if (used_ > kAncillaryBudget) exceeded_ = true;
}

void PngAncillaryBudget::Consume(const uint8_t* data, size_t length) {
    while (length > 0 && *prefix_ && !exceeded_) {
        const uint8_t byte = *data++;
        --length;
        Add(1);
        if (*prefix_ == 'N' && byte != 0) continue;
        if (*prefix_ == 'F' && byte != 0) rest_ = 'Z';
        if (*++prefix_ == '\0' && rest_ == 'Z') StartInflate();
    }
    if (length == 0 || exceeded_) return;
    if (rest_ == 'R') Add(length);
    if (rest_ == 'Z') Inflate(data, length);
}

void PngAncillaryBudget::StartInflate() {
    if (!zlibReady_) {
        zlib_ = z_stream{};
        zlibReady_ = inflateInit(&zlib_) == Z_OK;
        inflating_ = zlibReady_;
    } else {
        inflating_ = inflateReset(&zlib_) == Z_OK;
    }
}

// Counts what the stream decompresses to, without keeping it. A damaged
// stream stops counting where it breaks, as libpng's own inflating would.
void PngAncillaryBudget::Inflate(const uint8_t* data, size_t length) {
    unsigned char scratch[16384];
    zlib_.next_in = const_cast<Bytef*>(data);
    zlib_.avail_in = 0;
    while (inflating_ && !exceeded_) {
        if (zlib_.avail_in == 0) {
            if (length == 0) return;
            const auto step = static_cast<uInt>(std::min<size_t>(length, 1u << 30));
            zlib_.avail_in = step;
            length -= step;
        }
        zlib_.next_out = scratch;
        zlib_.avail_out = sizeof scratch;
        const int result = inflate(&zlib_, Z_NO_FLUSH);
        Add(sizeof scratch - zlib_.avail_out);
        if (result != Z_OK) inflating_ = false;  // the end, or a damaged stream
    }
}

bool PngChunkTrace::Has(const char* name, bool afterImageData) const {
    for (int i = 0; i < count; ++i) {
        if (afterImage[i] == afterImageData && std::memcmp(names[i], name, 4) == 0) return true;
    }
    return false;
}

FilePtr OpenPngFile(const SourceFile* source, const char*& error) {
    FilePtr file(source ? source->OpenStream() : nullptr);
    if (!file) {
        error = msg::kReadFailed;
        return nullptr;
    }
    png_byte signature[4];
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature) {
        error = msg::kReadFailed;
        return nullptr;
    }
    if (png_sig_cmp(signature, 0, sizeof signature) != 0) {
        error = kNotPng;
        return nullptr;
    }
    return file;
}

bool CreatePngReader(PngReadHandles& handles, bool withEndInfo, png_uint_32 sideLimit) {
    handles.damaged = false;
    handles.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &handles.damaged, PngErrorSilently,
                                         PngWarningSilently);
    if (!handles.png) return false;
    handles.info = png_create_info_struct(handles.png);
    if (!handles.info) return false;
    if (withEndInfo) {
        handles.endInfo = png_create_info_struct(handles.png);
        if (!handles.endInfo) return false;
    }
    // libpng refuses larger headers itself, before anything is allocated for
    // the rows.
    png_set_user_limits(handles.png, sideLimit, sideLimit);
    return true;
}

bool PngReadInfoGuarded(png_structp png, png_infop info, PngReadStream* stream) {
    if (setjmp(png_jmpbuf(png))) return false;
    if (stream->budget) {
        // libpng's own limits stay above the budget, which is met first, so
        // that it never drops a chunk the budget allows.
        png_set_chunk_malloc_max(png, kAncillaryBudget + 65536);
        png_set_chunk_cache_max(png, 0);
    } else {
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kMetadataChunks,
                                    kMetadataChunkCount);
    }
    stream->chunkRemaining = 4;  // the rest of the signature
    stream->dataRemaining = 0;
    stream->position = 4;
    png_set_read_fn(png, stream, ReadFromStream);
    png_set_sig_bytes(png, 4);
    png_read_info(png, info);
    return true;
}

bool PngStartRowsGuarded(png_structp png, png_infop info, unsigned transforms, bool interlaced,
                         int* passes, size_t* rowBytes) {
    if (setjmp(png_jmpbuf(png))) return false;
    if (transforms & kPngBgr) png_set_bgr(png);
    if (transforms & kPngStrip16) png_set_strip_16(png);
    if (transforms & kPngPacking) png_set_packing(png);
    if (transforms & kPngGreyToRgb) png_set_gray_to_rgb(png);
    *passes = interlaced ? png_set_interlace_handling(png) : 1;
    png_read_update_info(png, info);
    *rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool PngReadSomeRowsGuarded(png_structp png, uint8_t* firstRow, ptrdiff_t rowStep, int rows,
                            const ReadWatch* watch) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (int i = 0; i < rows; ++i) {
        if (watch && watch->StopRequested()) return false;
        png_read_row(png, firstRow + i * rowStep, nullptr);
    }
    return !Damaged(png);
}

bool PngReadEndGuarded(png_structp png, png_infop endInfo) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_end(png, endInfo);
    return !Damaged(png);
}

bool PngReadRowsGuarded(png_structp png, png_infop endInfo, uint8_t* firstRow, ptrdiff_t rowStep,
                        int height, int passes, const ReadWatch* watch) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (int pass = 0; pass < passes; ++pass) {
        for (int i = 0; i < height; ++i) {
            if (watch && watch->StopRequested()) return false;
            png_read_row(png, firstRow + i * rowStep, nullptr);
        }
    }
    png_read_end(png, endInfo);
    return !Damaged(png);
}

PngRasterPlan PlanPngRaster(int colorType, int bitDepth) {
    PngRasterPlan plan;
    if (bitDepth == 16) plan.transforms |= kPngStrip16;
    const int depth8 = bitDepth == 16 ? 8 : bitDepth;
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            plan.readDepth = plan.finalDepth = depth8;
            if (bitDepth == 2) {
                // No 2-bit rasters: read one byte per pixel, reduce to 4 bits.
                plan.readDepth = 8;
                plan.finalDepth = 4;
                plan.transforms |= kPngPacking;
            }
            if (colorType == PNG_COLOR_TYPE_GRAY)
                plan.greyLevels = 1 << depth8;
            else
                plan.palette = true;
            break;
        case PNG_COLOR_TYPE_RGB:
            plan.readDepth = plan.finalDepth = 24;
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            // Shown as blue-green-red-alpha with the grey in all three colours,
            // so the viewer and BMP tiles see the right picture.
            plan.transforms |= kPngGreyToRgb;
            plan.readDepth = plan.finalDepth = 32;
            break;
        default:  // RGB with alpha
            plan.readDepth = plan.finalDepth = 32;
            break;
    }
    return plan;
}

PngRasterShape ShapePngRaster(png_structp png, png_infop info, const PngRasterPlan& plan,
                              png_uint_32 width) {
    PngRasterShape shape;
    if (plan.greyLevels > 0) {
        shape.entries = plan.greyLevels;
        for (int i = 0; i < shape.entries; ++i) {
            auto v = static_cast<uint8_t>(i * 255 / (shape.entries - 1));
            shape.table[i] = RgbQuad{v, v, v, 0};
        }
    } else if (plan.palette) {
        png_colorp colors = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &colors, &count) == 0) count = 0;
        shape.entries = std::min(count, 256);
        for (int i = 0; i < shape.entries; ++i)
            shape.table[i] = RgbQuad{colors[i].blue, colors[i].green, colors[i].red, 0};
    }
    shape.header.biWidth = static_cast<int32_t>(width);
    shape.header.biBitCount = static_cast<uint16_t>(plan.readDepth);
    shape.header.biClrUsed = shape.header.biClrImportant = static_cast<uint32_t>(shape.entries);
    return shape;
}

std::unique_ptr<DibImage> CreatePngRaster(const PngRasterShape& shape, int rows) {
    BitmapInfoHeader header = shape.header;
    header.biHeight = rows;
    // Zeroed, so the padding at the end of each row is always the same.
    return DibImage::Create(header, shape.table, shape.entries, true);
}

void PngErrorSilently(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void PngWarningSilently(png_structp png, png_const_charp message) {
    auto* damaged = static_cast<bool*>(png_get_error_ptr(png));
    if (damaged && message && IsImageDataDamage(message)) *damaged = true;
}

}  // namespace tessarin::png
