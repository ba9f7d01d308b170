#include "split/formats.h"

#include "imaging/messages.h"
#include "split/naming.h"

namespace tessarin {

int SplitTileSettings::GetInt(std::string_view section, std::string_view key, int fallback) const {
    return FindFormatOption(section, key) ? settings_.formatOptions.Get(section, key) : fallback;
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

bool CutsOnBlockGrid(const std::string& path) {
    const ImageFormat* format = FindImageFormat(ClassifyImageFile(path));
    return format && format->can.blockGrid;
}

bool CutsLosslesslyOnBlockGrid(const std::string& path, const SplitSettings& settings) {
    if (!path.empty()) {
        const ImageFormat* format = FindImageFormat(ClassifyImageFile(path));
        return format && format->can.blockGrid && CutsLosslessly(*format, settings);
    }
    for (const ImageFormat* format : ImageFormats())
        if (format->can.blockGrid && CutsLosslessly(*format, settings)) return true;
    return false;
}

const ImageFormat* ChosenTileFormat(const SplitSettings& settings) {
    if (settings.allBmp) return FindImageFormat(ImageFileKind::Bmp);
    if (settings.tileFormat.empty()) return nullptr;
    const ImageFormat* format = FindImageFormatByName(settings.tileFormat);
    return format && format->makeRasterSource ? format : nullptr;
}

const ImageFormat& TileFormatFor(const ImageFormat& source, const SplitSettings& settings) {
    if (const ImageFormat* chosen = ChosenTileFormat(settings)) return *chosen;
    if (source.can.writesTiles && source.makeSource) return source;
    return *FindImageFormat(ImageFileKind::Bmp);
}

SplitTileSettings TileSettingsFor(const ImageFormat& source, const SplitSettings& settings,
                                  const ReadWatch* watch) {
    return SplitTileSettings(settings, &TileFormatFor(source, settings) != &source, watch);
}

std::string TileExtension(const ImageFormat& source, const std::string& sourceExtension,
                          const SplitSettings& settings) {
    const ImageFormat& writer = TileFormatFor(source, settings);
    return &writer == &source ? sourceExtension : writer.extensions[0];
}

std::unique_ptr<TileSource> MakeTileSource(const ImageFormat& format, const CurrentImage& image,
                                           const SplitSettings& settings, std::string& error,
                                           const ReadWatch* watch) {
    const ImageFormat& writer = TileFormatFor(format, settings);
    const SplitTileSettings tileSettings = TileSettingsFor(format, settings, watch);
    if (&writer == &format) return writer.makeSource(image, tileSettings, error);
    if (!image.raster) {
        error = msg::kClipFailed;  // a file loaded without its raster is not cut by another
        return nullptr;
    }
    return writer.makeRasterSource(image, tileSettings, error);
}

bool CutsLosslessly(const ImageFormat& source, const SplitSettings& settings) {
    return source.cutsLosslessly && &TileFormatFor(source, settings) == &source &&
           source.cutsLosslessly(TileSettingsFor(source, settings));
}

}  // namespace tessarin
