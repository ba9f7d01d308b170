#include "imaging/png/png_split_read.h"

#include <new>

#include "imaging/checked_size.h"
#include "imaging/dib_image.h"
#include "imaging/memory_budget.h"
#include "imaging/messages.h"

namespace tessarin::png {

namespace {

const char* Read(const SourceFile* source, PngSplitImage& out, uint64_t heldBytes,
                 const char* libraryError) {
    const char* error = nullptr;
    FilePtr file = OpenPngFile(source, error);
    if (!file) return error;
    PngReadHandles handles;
    if (!CreatePngReader(handles, true)) return kPrepareReadFailed;
    PngChunkTrace trace;
    PngAncillaryBudget budget;
    PngReadStream stream;
    stream.file = file.get();
    stream.size = source->Size();
    stream.trace = &trace;
    stream.budget = &budget;
    // Metadata beyond the tiles' limits is the split's refusal, whoever reads.
    if (!PngReadInfoGuarded(handles.png, handles.info, &stream))
        return budget.Exceeded() ? msg::kReadFailed : libraryError;

    png_uint_32 width = 0, height = 0;
    png_get_IHDR(handles.png, handles.info, &width, &height, &out.bitDepth, &out.colorType,
                 &out.interlaceMethod, nullptr, nullptr);
    const int channels = png_get_channels(handles.png, handles.info);
    const int depth = out.bitDepth;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return kBadBitDepth;
    if (out.interlaceMethod != PNG_INTERLACE_NONE && out.interlaceMethod != PNG_INTERLACE_ADAM7)
        return kBadInterlace;
    // Nothing larger than a raster could hold is decoded (the file was shown
    // before it is split, so this only trips when it changed meanwhile).
    if (width == 0 || height == 0 || !CheckedSize(width, height, 1, 0, kMaxRasterPixels))
        return libraryError;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.bytesPerPixel = static_cast<size_t>(channels) * (depth == 16 ? 2 : 1);
    out.rowBytes = static_cast<size_t>(width) * out.bytesPerPixel;

    CapturePngChunks(handles.png, handles.info, trace, false, out.beforeImageData);

    int passes = 1;
    size_t libraryRowBytes = 0;
    if (!PngStartRowsGuarded(handles.png, handles.info, depth < 8 ? kPngPacking : 0u,
                             out.interlaceMethod == PNG_INTERLACE_ADAM7, &passes, &libraryRowBytes))
        return libraryError;
    if (libraryRowBytes != out.rowBytes) return libraryError;

    const std::optional<uint64_t> samples = CheckedSize(out.rowBytes, height);
    if (!samples || !FitsSplitMemoryBudget(heldBytes, *samples)) return kPrepareReadFailed;
    out.samples.reset(new (std::nothrow) uint8_t[*samples]);
    if (!out.samples) return kPrepareReadFailed;
    if (!PngReadRowsGuarded(handles.png, handles.endInfo, out.samples.get(),
                            static_cast<ptrdiff_t>(out.rowBytes), out.height, passes))
        return budget.Exceeded() ? msg::kReadFailed : libraryError;

    CapturePngChunks(handles.png, handles.endInfo, trace, true, out.afterImageData);
    return nullptr;
}

}  // namespace

const char* ReadPngForSplit(const SourceFile* file, PngSplitImage& out, uint64_t heldBytes,
                            const char* libraryError) {
    try {
        return Read(file, out, heldBytes, libraryError);
    } catch (...) {
        return kPrepareReadFailed;  // what every allocation failure of this read gives
    }
}

}  // namespace tessarin::png
