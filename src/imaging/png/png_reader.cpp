// The viewer's PNG reader: the file decoded straight into a raster, in
// blue-green-red order, 16-bit samples cut to 8, grey and palette files with
// their colour tables.

#include <algorithm>
#include <array>

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

// How a file of one colour type and bit depth becomes a raster.
struct RasterPlan {
    int readDepth = 0;   // depth of the raster the rows are read into
    int finalDepth = 0;  // after the 2-bit reduction
    unsigned transforms = kPngBgr;
    int greyLevels = 0;  // entries of the grey ramp, 0 for none
    bool palette = false;
    ColorKind colorKind = ColorKind::None;
};

RasterPlan PlanRaster(int colorType, int bitDepth) {
    RasterPlan plan;
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
            if (colorType == PNG_COLOR_TYPE_GRAY) {
                plan.greyLevels = 1 << depth8;
                plan.colorKind = ColorKind::Grey;
            } else {
                plan.palette = true;
                plan.colorKind = ColorKind::Indexed;
            }
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

bool Load(const SourceFilePtr& source, LoadedImage& out, bool keepChunks, bool* retry) {
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

    const RasterPlan plan = PlanRaster(colorType, bitDepth);
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

    std::array<RgbQuad, 256> table{};
    int entries = 0;
    if (plan.greyLevels > 0) {
        entries = plan.greyLevels;
        for (int i = 0; i < entries; ++i) {
            auto v = static_cast<uint8_t>(i * 255 / (entries - 1));
            table[static_cast<size_t>(i)] = RgbQuad{v, v, v, 0};
        }
    } else if (plan.palette) {
        png_colorp colors = nullptr;
        int count = 0;
        if (png_get_PLTE(handles.png, handles.info, &colors, &count) == 0) count = 0;
        entries = std::min(count, 256);
        for (int i = 0; i < entries; ++i) {
            table[static_cast<size_t>(i)] =
                RgbQuad{colors[i].blue, colors[i].green, colors[i].red, 0};
        }
    }

    BitmapInfoHeader header;
    header.biWidth = static_cast<int32_t>(width);
    header.biHeight = static_cast<int32_t>(height);
    header.biBitCount = static_cast<uint16_t>(plan.readDepth);
    header.biClrUsed = header.biClrImportant = static_cast<uint32_t>(entries);
    // Zeroed, so the padding at the end of each row is always the same.
    auto raster = DibImage::Create(header, table.data(), entries, true);
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
                            step, static_cast<int>(height), passes)) {
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
    out.colorKind = plan.colorKind;
    out.interlaced = interlace == PNG_INTERLACE_ADAM7;
    out.error.clear();
    out.source = source;
    return true;
}

bool LoadGuarded(const SourceFilePtr& source, LoadedImage& out, bool keepChunks, bool* retry) {
    try {
        return Load(source, out, keepChunks, retry);
    } catch (...) {
        *retry = keepChunks;
        return Fail(out, kPrepareReadFailed);  // as for a raster that cannot be had
    }
}

}  // namespace

bool LoadPngFile(const SourceFilePtr& file, LoadedImage& out) {
    bool retry = false;
    if (LoadGuarded(file, out, true, &retry)) return true;
    return retry && LoadGuarded(file, out, false, &retry);
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
        out.colorKind = samples->colorType == PNG_COLOR_TYPE_PALETTE ? ColorKind::Indexed
                        : samples->colorType == PNG_COLOR_TYPE_GRAY  ? ColorKind::Grey
                                                                     : ColorKind::None;
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
