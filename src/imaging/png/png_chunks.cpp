#include "imaging/png/png_chunks.h"

#include <new>

namespace tessarin::png {
namespace {

std::string CopyText(png_const_charp text) { return text ? std::string(text) : std::string(); }

}  // namespace

void CapturePngChunks(png_structp png, png_infop info, const PngChunkTrace& trace,
                      bool afterImageData, PngChunkSet& out) {
    png_colorp palette = nullptr;
    int paletteCount = 0;
    if (png_get_PLTE(png, info, &palette, &paletteCount) != 0 && palette && paletteCount > 0)
        out.palette.assign(palette, palette + paletteCount);

    png_bytep alpha = nullptr;
    int transCount = 0;
    png_color_16p transColor = nullptr;
    if (png_get_tRNS(png, info, &alpha, &transCount, &transColor) != 0) {
        PngTransparency& t = out.transparency.emplace();
        t.count = transCount;
        if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE) {
            if (alpha && transCount > 0) t.alpha.assign(alpha, alpha + transCount);
        } else if (transColor) {
            t.color = *transColor;
        }
    }

    // libpng 1.6 derives gamma and chromaticities (and sRGB from a known
    // profile) from the colour-space chunks; only what the file has is kept.
    png_fixed_point gamma = 0;
    if (trace.Has("gAMA", afterImageData) && png_get_gAMA_fixed(png, info, &gamma) != 0)
        out.gamma = gamma;
    std::array<png_fixed_point, 8> c{};
    if (trace.Has("cHRM", afterImageData) &&
        png_get_cHRM_fixed(png, info, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]) != 0)
        out.chromaticities = c;
    int intent = 0;
    if (trace.Has("sRGB", afterImageData) && png_get_sRGB(png, info, &intent) != 0)
        out.srgbIntent = intent;
    png_charp iccName = nullptr;
    int iccCompression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    if (trace.Has("iCCP", afterImageData) &&
        png_get_iCCP(png, info, &iccName, &iccCompression, &profile, &profileLength) != 0) {
        PngIccProfile& icc = out.iccProfile.emplace();
        icc.name = CopyText(iccName);
        icc.compression = iccCompression;
        if (profile) icc.profile.assign(profile, profile + profileLength);
    }

    png_color_8p significant = nullptr;
    if (png_get_sBIT(png, info, &significant) != 0 && significant)
        out.significantBits = *significant;
    png_color_16p background = nullptr;
    if (png_get_bKGD(png, info, &background) != 0 && background) out.background = *background;
    png_uint_16p histogram = nullptr;
    if (png_get_hIST(png, info, &histogram) != 0 && histogram && paletteCount > 0)
        out.histogram.assign(histogram, histogram + paletteCount);

    PngPhysicalSize phys;
    if (png_get_pHYs(png, info, &phys.x, &phys.y, &phys.unit) != 0) out.physicalSize = phys;
    PngOffset offset;
    if (png_get_oFFs(png, info, &offset.x, &offset.y, &offset.unit) != 0) out.offset = offset;

    png_charp purpose = nullptr, units = nullptr;
    png_charpp params = nullptr;
    png_int_32 x0 = 0, x1 = 0;
    int calType = 0, paramCount = 0;
    if (png_get_pCAL(png, info, &purpose, &x0, &x1, &calType, &paramCount, &units, &params) != 0) {
        PngCalibration& cal = out.calibration.emplace();
        cal.purpose = CopyText(purpose);
        cal.x0 = x0;
        cal.x1 = x1;
        cal.type = calType;
        cal.units = CopyText(units);
        for (int i = 0; params && i < paramCount; ++i) cal.params.push_back(CopyText(params[i]));
    }

    int scaleUnit = 0;
    png_charp scaleWidth = nullptr, scaleHeight = nullptr;
    if (png_get_sCAL_s(png, info, &scaleUnit, &scaleWidth, &scaleHeight) != 0)
        out.physicalScale =
            PngPhysicalScale{scaleUnit, CopyText(scaleWidth), CopyText(scaleHeight)};

    png_sPLT_tp suggested = nullptr;
    int suggestedCount = png_get_sPLT(png, info, &suggested);
    for (int i = 0; suggested && i < suggestedCount; ++i) {
        PngSuggestedPalette& p = out.suggestedPalettes.emplace_back();
        p.name = CopyText(suggested[i].name);
        p.depth = suggested[i].depth;
        if (suggested[i].entries && suggested[i].nentries > 0)
            p.entries.assign(suggested[i].entries, suggested[i].entries + suggested[i].nentries);
    }

    png_timep time = nullptr;
    if (png_get_tIME(png, info, &time) != 0 && time) out.modificationTime = *time;

    png_textp texts = nullptr;
    int textCount = 0;
    png_get_text(png, info, &texts, &textCount);
    for (int i = 0; texts && i < textCount; ++i) {
        PngText& t = out.texts.emplace_back();
        t.compression = texts[i].compression;
        t.key = CopyText(texts[i].key);
        t.text = CopyText(texts[i].text);
        t.language = CopyText(texts[i].lang);
        t.translatedKey = CopyText(texts[i].lang_key);
    }
}

bool BuildPngChunkViews(const PngChunkSet& set, bool withText, PngChunkViews& views) {
    // libpng takes non-const pointers here but only copies from them.
    auto chars = [](const std::string& s) { return const_cast<png_charp>(s.c_str()); };
    try {
        if (withText) {
            views.texts.reserve(set.texts.size());
            for (const PngText& t : set.texts) {
                png_text v{};
                v.compression = t.compression;
                v.key = chars(t.key);
                v.text = chars(t.text);
                v.text_length = t.text.size();
                bool international = t.compression == PNG_ITXT_COMPRESSION_NONE ||
                                     t.compression == PNG_ITXT_COMPRESSION_zTXt;
                v.lang = international ? chars(t.language) : nullptr;
                v.lang_key = international ? chars(t.translatedKey) : nullptr;
                views.texts.push_back(v);
            }
        }
        views.suggestedPalettes.reserve(set.suggestedPalettes.size());
        for (const PngSuggestedPalette& p : set.suggestedPalettes) {
            png_sPLT_t v{};
            v.name = chars(p.name);
            v.depth = static_cast<png_byte>(p.depth);
            v.entries = const_cast<png_sPLT_entryp>(p.entries.data());
            v.nentries = static_cast<png_int_32>(p.entries.size());
            views.suggestedPalettes.push_back(v);
        }
        if (set.calibration) {
            for (const std::string& param : set.calibration->params)
                views.calibrationParams.push_back(chars(param));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void SetPngChunks(png_structp png, png_infop info, const PngChunkSet& set,
                  const PngChunkViews& views) {
    if (!set.palette.empty())
        png_set_PLTE(png, info, set.palette.data(), static_cast<int>(set.palette.size()));
    if (set.transparency) {
        const PngTransparency& t = *set.transparency;
        if (t.alpha.empty())
            png_set_tRNS(png, info, nullptr, t.count, &t.color);
        else
            png_set_tRNS(png, info, t.alpha.data(), static_cast<int>(t.alpha.size()), nullptr);
    }
    if (set.gamma) png_set_gAMA_fixed(png, info, *set.gamma);
    if (set.chromaticities) {
        const auto& c = *set.chromaticities;
        png_set_cHRM_fixed(png, info, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    }
    if (set.srgbIntent) png_set_sRGB(png, info, *set.srgbIntent);
    if (set.iccProfile) {
        const PngIccProfile& icc = *set.iccProfile;
        png_set_iCCP(png, info, icc.name.c_str(), icc.compression, icc.profile.data(),
                     static_cast<png_uint_32>(icc.profile.size()));
    }
    if (set.significantBits) png_set_sBIT(png, info, &*set.significantBits);
    if (set.background) png_set_bKGD(png, info, &*set.background);
    if (!set.histogram.empty() && set.histogram.size() == set.palette.size())
        png_set_hIST(png, info, set.histogram.data());
    if (set.physicalSize) {
        const PngPhysicalSize& p = *set.physicalSize;
        png_set_pHYs(png, info, p.x, p.y, p.unit);
    }
    if (set.offset) png_set_oFFs(png, info, set.offset->x, set.offset->y, set.offset->unit);
    if (set.calibration) {
        const PngCalibration& cal = *set.calibration;
        png_set_pCAL(png, info, cal.purpose.c_str(), cal.x0, cal.x1, cal.type,
                     static_cast<int>(views.calibrationParams.size()), cal.units.c_str(),
                     const_cast<png_charpp>(views.calibrationParams.data()));
    }
    if (set.physicalScale) {
        const PngPhysicalScale& s = *set.physicalScale;
        png_set_sCAL_s(png, info, s.unit, s.width.c_str(), s.height.c_str());
    }
    if (!views.suggestedPalettes.empty())
        png_set_sPLT(png, info, views.suggestedPalettes.data(),
                     static_cast<int>(views.suggestedPalettes.size()));
    if (set.modificationTime) png_set_tIME(png, info, &*set.modificationTime);
    if (!views.texts.empty())
        png_set_text(png, info, views.texts.data(), static_cast<int>(views.texts.size()));
}

}  // namespace tessarin::png
