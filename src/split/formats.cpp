#include "split/formats.h"

#include "imaging/bmp/bmp_format.h"
#include "imaging/gif/gif_format.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/png/png_format.h"
#include "platform/text.h"
#include "split/naming.h"

namespace tessarin {

namespace {

template <std::unique_ptr<TileSource> (*Make)(const CurrentImage&, std::string&)>
std::unique_ptr<TileSource> WithoutOptions(const CurrentImage& image, const TileSettings&,
                                           std::string& error) {
    return Make(image, error);
}

std::unique_ptr<TileSource> MakeJpegTiles(const CurrentImage& image, const TileSettings& settings,
                                          std::string& error) {
    return MakeJpegTileSource(image, JpegTileOptions::From(settings), error);
}

// The split's settings by the names the settings file gives them.
class SplitTileSettings final : public TileSettings {
  public:
    explicit SplitTileSettings(const SplitSettings& settings) : settings_(settings) {}
    int GetInt(std::string_view section, std::string_view key, int fallback) const override {
        if (section == "JPEG" && key == "QUALITY") return settings_.jpegQuality;
        if (section == "OPTION" && key == "CORRECT_CUT") return settings_.correctCut;
        if (section == "OPTION" && key == "ALL_BMP") return settings_.allBmp;
        return fallback;
    }

  private:
    const SplitSettings& settings_;
};

constexpr const char* kBmpExtensions[] = {".bmp", ".dib", nullptr};
constexpr const char* kJpegExtensions[] = {".jpg", ".jpeg", ".jpe", ".jfif",
                                           ".jfi", ".jif",  nullptr};
constexpr const char* kPngExtensions[] = {".png", nullptr};
constexpr const char* kGifExtensions[] = {".gif", nullptr};

const ImageFormat kFormats[] = {
    {ImageFileKind::Png, kPngExtensions, &LoadPngFile, &LoadPngSamples,
     &WithoutOptions<&MakePngTileSource>},
    {ImageFileKind::Gif, kGifExtensions, &LoadGifFile, &LoadGifIndices,
     &WithoutOptions<&MakeGifTileSource>},
    {ImageFileKind::Bmp, kBmpExtensions, &LoadBmpFile, nullptr,
     &WithoutOptions<&MakeBmpTileSource>},
    {ImageFileKind::Jpeg, kJpegExtensions, &LoadJpegFile, &LoadJpegHeader, &MakeJpegTiles},
};

}  // namespace

ImageFileKind ClassifyImageFile(const std::string& path) {
    std::string base;
    std::string extension;
    if (!SplitFileName(path, base, extension))
        return path.empty() || path.back() == '/' ? ImageFileKind::Unsupported
                                                  : ImageFileKind::BadPath;
    if (extension.empty()) return ImageFileKind::Unsupported;
    for (const ImageFormat& format : kFormats)
        for (const char* const* e = format.extensions; *e; ++e)
            if (EqualsAsciiNoCase(extension, *e)) return format.kind;
    return ImageFileKind::Unsupported;
}

const ImageFormat* FindImageFormat(ImageFileKind kind) {
    for (const ImageFormat& format : kFormats)
        if (format.kind == kind) return &format;
    return nullptr;
}

std::string TileExtension(ImageFileKind kind, const std::string& sourceExtension,
                          const SplitSettings& settings) {
    if (kind != ImageFileKind::Bmp && settings.allBmp) return ".bmp";
    return sourceExtension;
}

std::unique_ptr<TileSource> MakeTileSource(const ImageFormat& format, const CurrentImage& image,
                                           const SplitSettings& settings, std::string& error) {
    return settings.allBmp ? MakeBmpTileSource(image, error)
                           : format.makeSource(image, SplitTileSettings(settings), error);
}

bool CutsLosslessly(ImageFileKind kind, const SplitSettings& settings) {
    return kind == ImageFileKind::Jpeg && settings.allBmp == 0 && settings.correctCut == 0;
}

}  // namespace tessarin
