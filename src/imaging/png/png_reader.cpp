// The viewer's PNG reader: the file decoded straight into a raster, in
// blue-green-red order, 16-bit samples cut to 8, grey and palette files with
// their colour tables.

#include "imaging/failure_text.h"
#include "imaging/messages.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_private.h"
#include "imaging/png/png_split_read.h"

namespace tessarin {
namespace {

using namespace png;

bool Fail(LoadedImage& out, const char* message) {
    out.raster.reset();
    out.source.reset();
    SetFailureText(out.error, message);
    return false;
}

// How the raster of a file of this colour type and depth holds its samples,
// or kNone when it does not hold them unchanged (16-bit samples are cut).
PngRasterRows RasterRowsFor(int colorType, int bitDepth, int rasterDepth) {
    if (bitDepth == 16) return PngRasterRows::kNone;
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return rasterDepth == 8 ? PngRasterRows::kIndices : PngRasterRows::kPacked;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return PngRasterRows::kGreyAlpha;
        default:
            return PngRasterRows::kBgr;
    }
}

// Whether the tiles can be cut from a file's raster, so that the load keeps
// the chunks they carry beside it.
bool RasterServesTiles(int bitDepth) { return bitDepth != 16; }

bool Load(const SourceFilePtr& source, LoadedImage& out, bool keepChunks, bool* retry,
          const ReadWatch* watch) {
    *retry = false;
    const char* error = nullptr;
    FilePtr file = OpenPngFile(source.get(), error);
    if (!file) return Fail(out, error);
    PngReadHandles handles;
    if (!CreatePngReader(handles, keepChunks)) return Fail(out, kPrepareReadFailed);
    // Keeping the chunks reads them all, under the tiles' metadata budget; a
    // file that fails so is read again without them, as a plain picture.
    PngChunkTrace trace;
    PngAncillaryBudget budget;
    PngReadStream stream;
    stream.file = file.get();
    stream.size = source->Size();
    if (keepChunks) {
        stream.trace = &trace;
        stream.budget = &budget;
    }
    if (!PngReadInfoGuarded(handles.png, handles.info, &stream)) {
        *retry = keepChunks;
        return Fail(out, msg::kOpenFailed);
    }

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(handles.png, handles.info, &width, &height, &bitDepth, &colorType, &interlace,
                 nullptr, nullptr);
    const int channels = png_get_channels(handles.png, handles.info);
    if (bitDepth != 1 && bitDepth != 2 && bitDepth != 4 && bitDepth != 8 && bitDepth != 16)
        return Fail(out, kBadBitDepth);
    if (interlace != PNG_INTERLACE_NONE && interlace != PNG_INTERLACE_ADAM7)
        return Fail(out, kBadInterlace);

    const PngRasterPlan plan = PlanPngRaster(colorType, bitDepth);
    // Too large for a raster: the same answer libpng gives for its own limits.
    if (!DibSizeAcceptable(width, height, plan.readDepth)) return Fail(out, msg::kOpenFailed);

    std::shared_ptr<PngSplitImage> tiles;
    if (keepChunks && RasterServesTiles(bitDepth)) {
        tiles = std::make_shared<PngSplitImage>();
        tiles->width = static_cast<int>(width);
        tiles->height = static_cast<int>(height);
        tiles->bitDepth = bitDepth;
        tiles->colorType = colorType;
        tiles->interlaceMethod = interlace;
        tiles->bytesPerPixel = static_cast<size_t>(channels);
        tiles->rowBytes = static_cast<size_t>(width) * tiles->bytesPerPixel;
        tiles->rasterRows = RasterRowsFor(colorType, bitDepth, plan.finalDepth);
        CapturePngChunks(handles.png, handles.info, trace, false, tiles->beforeImageData);
    }

    auto raster = CreatePngRaster(ShapePngRaster(handles.png, handles.info, plan, width),
                                  static_cast<int>(height));
    if (!raster) return Fail(out, kPrepareReadFailed);

    int passes = 1;
    size_t rowBytes = 0;
    if (!PngStartRowsGuarded(handles.png, handles.info, plan.transforms,
                             interlace == PNG_INTERLACE_ADAM7, &passes, &rowBytes))
        return Fail(out, msg::kOpenFailed);
    if (rowBytes > raster->Stride()) return Fail(out, msg::kOpenFailed);
    // The raster is bottom-up: picture row i + 1 lies one stride below row i.
    const ptrdiff_t step = -static_cast<ptrdiff_t>(raster->Stride());
    if (!PngReadRowsGuarded(handles.png, keepChunks ? handles.endInfo : nullptr, raster->Row(0),
                            step, static_cast<int>(height), passes, watch)) {
        *retry = keepChunks && budget.Exceeded();
        return Fail(out, msg::kOpenFailed);
    }
    if (tiles) CapturePngChunks(handles.png, handles.endInfo, trace, true, tiles->afterImageData);

    if (plan.finalDepth != plan.readDepth) {
        std::unique_ptr<DibImage> reduced = ReduceDibDepth(*raster, plan.finalDepth);
        if (!reduced) return Fail(out, kPrepareReadFailed);
        // A palette with repeated colours shows some indices as others: the
        // tiles then keep the file's own from the 8-bit rows.
        if (tiles && !ReductionKeepsIndices(*raster, *reduced, 0x03)) {
            tiles->indices = std::move(raster);
            tiles->rasterRows = PngRasterRows::kIndices;
        }
        raster = std::move(reduced);
    }
    out.raster = std::move(raster);
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.tileData = std::move(tiles);
    out.displayDepth = channels * bitDepth;
    out.colorKind = PngColorKind(colorType);
    out.interlaced = interlace == PNG_INTERLACE_ADAM7;
    out.error.clear();
    out.source = source;
    return true;
}

bool LoadGuarded(const SourceFilePtr& source, LoadedImage& out, bool keepChunks, bool* retry,
                 const ReadWatch* watch) {
    try {
        return Load(source, out, keepChunks, retry, watch);
    } catch (...) {
        *retry = keepChunks;
        return Fail(out, kPrepareReadFailed);  // as for a raster that cannot be had
    }
}

}  // namespace

bool LoadPngFile(const SourceFilePtr& file, LoadedImage& out, const ReadWatch* watch) {
    bool retry = false;
    if (LoadGuarded(file, out, true, &retry, watch)) return true;
    return retry && LoadGuarded(file, out, false, &retry, watch);
}

bool LoadPngSamples(const SourceFilePtr& file, LoadedImage& out) {
    try {
        auto samples = std::make_shared<PngSplitImage>();
        // The loader's messages, as when the file is loaded for viewing.
        if (const char* failure = ReadPngForSplit(file.get(), *samples, 0, msg::kOpenFailed))
            return Fail(out, failure);
        out.raster.reset();
        out.width = samples->width;
        out.height = samples->height;
        out.displayDepth = static_cast<int>(samples->bytesPerPixel * 8);
        out.colorKind = PngColorKind(samples->colorType);
        out.interlaced = samples->interlaceMethod == PNG_INTERLACE_ADAM7;
        out.tileData = std::move(samples);
        out.error.clear();
        out.source = file;
        return true;
    } catch (...) {
        return Fail(out, kPrepareReadFailed);
    }
}

bool LoadPngFile(const std::string& path, LoadedImage& out) {
    return LoadPngFile(SourceFile::Open(path), out);
}

bool LoadPngSamples(const std::string& path, LoadedImage& out) {
    return LoadPngSamples(SourceFile::Open(path), out);
}

}  // namespace tessarin
