#include "split/formats.h"

#include "split/naming.h"

namespace tessarin {

namespace {

const ImageFormat& BmpFormat() { return *FindImageFormat(ImageFileKind::Bmp); }

}  // namespace

int SplitTileSettings::GetInt(std::string_view section, std::string_view key, int fallback) const {
    if (section == "JPEG" && key == "QUALITY") return settings_.jpegQuality;
    if (section == "JPEG" && key == "COPY") return static_cast<int>(settings_.jpegCopy);
    if (section == "OPTION" && key == "CORRECT_CUT") return settings_.correctCut;
    if (section == "OPTION" && key == "ALL_BMP") return settings_.allBmp;
    return fallback;
}

ImageFileKind ClassifyImageFile(const std::string& path) {
    std::string base;
    std::string extension;
    if (!SplitFileName(path, base, extension))
        return path.empty() || path.back() == '/' ? ImageFileKind::Unsupported
                                                  : ImageFileKind::BadPath;
    if (extension.empty()) return ImageFileKind::Unsupported;
    const ImageFormat* format = FindImageFormatByExtension(extension);
    return format ? format->kind : ImageFileKind::Unsupported;
}

std::string TileExtension(ImageFileKind kind, const std::string& sourceExtension,
                          const SplitSettings& settings) {
    if (kind != ImageFileKind::Bmp && settings.allBmp) return BmpFormat().extensions[0];
    return sourceExtension;
}

std::unique_ptr<TileSource> MakeTileSource(const ImageFormat& format, const CurrentImage& image,
                                           const SplitSettings& settings, std::string& error,
                                           const ReadWatch* watch) {
    const SplitTileSettings tileSettings(settings, watch);
    return (settings.allBmp ? BmpFormat() : format).makeSource(image, tileSettings, error);
}

bool CutsLosslessly(ImageFileKind kind, const SplitSettings& settings) {
    const ImageFormat* format = FindImageFormat(kind);
    return format && format->cutsLosslessly && !settings.allBmp &&
           format->cutsLosslessly(SplitTileSettings(settings));
}

}  // namespace tessarin
