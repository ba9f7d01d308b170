// The viewer's PNG reader: the file decoded straight into a raster, in
// blue-green-red order, 16-bit samples cut to 8, grey and palette files with
// their colour tables.

#include <algorithm>
#include <array>

#include "imaging/failure_text.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_glue.h"
#include "imaging/messages.h"

namespace tessarin {
namespace {

using namespace png;

bool Fail(LoadedImage& out, const char* message) {
    out.raster.reset();
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
    int colorKind = kColorKindNone;
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
                plan.colorKind = kColorKindGrey;
            } else {
                plan.palette = true;
                plan.colorKind = kColorKindIndexed;
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

bool Load(const std::string& path, LoadedImage& out) {
    const char* error = nullptr;
    FilePtr file = OpenPngFile(path, error);
    if (!file) return Fail(out, error);
    PngReadHandles handles;
    if (!CreatePngReader(handles, false)) return Fail(out, kPrepareReadFailed);
    PngReadStream stream;
    stream.file = file.get();
    if (!PngReadInfoGuarded(handles.png, handles.info, &stream)) return Fail(out, msg::kOpenFailed);

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
    if (!PngReadRowsGuarded(handles.png, nullptr, raster->Row(0), step, static_cast<int>(height),
                            passes))
        return Fail(out, msg::kOpenFailed);

    if (plan.finalDepth != plan.readDepth) {
        raster = ReduceDibDepth(*raster, plan.finalDepth);
        if (!raster) return Fail(out, kPrepareReadFailed);
    }
    out.raster = std::move(raster);
    out.displayDepth = channels * bitDepth;
    out.colorKind = plan.colorKind;
    out.interlaced = interlace == PNG_INTERLACE_ADAM7;
    out.error.clear();
    return true;
}

}  // namespace

bool LoadPngFile(const std::string& path, LoadedImage& out) {
    try {
        return Load(path, out);
    } catch (...) {
        return Fail(out, kPrepareReadFailed);  // as for a raster that cannot be had
    }
}

}  // namespace tessarin
