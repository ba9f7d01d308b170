#include "split/formats.h"

#include "imaging/bmp/bmp_format.h"
#include "imaging/gif/gif_format.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/png/png_format.h"
#include "platform/text.h"
#include "split/naming.h"

namespace tessarin {

namespace {

template <bool (*Load)(const SourceFilePtr&, LoadedImage&)>
bool LoadWithoutOwner(const SourceFilePtr& file, Notifier*, LoadedImage& out) {
    return Load(file, out);
}

constexpr const char* kBmpExtensions[] = {".bmp", ".dib", nullptr};
constexpr const char* kJpegExtensions[] = {".jpg", ".jpeg", ".jpe", ".jfif",
                                           ".jfi", ".jif",  nullptr};
constexpr const char* kPngExtensions[] = {".png", nullptr};
constexpr const char* kGifExtensions[] = {".gif", nullptr};

const ImageFormat kFormats[] = {
    {ImageFileKind::Png, kPngExtensions, &LoadWithoutOwner<&LoadPngFile>, &LoadPngSamples,
     &MakePngTileSource},
    {ImageFileKind::Gif, kGifExtensions, &LoadWithoutOwner<&LoadGifFile>, &LoadGifIndices,
     &MakeGifTileSource},
    {ImageFileKind::Bmp, kBmpExtensions, &LoadBmpFile, nullptr, &MakeBmpTileSource},
    {ImageFileKind::Jpeg, kJpegExtensions, &LoadWithoutOwner<&LoadJpegFile>, &LoadJpegHeader,
     &MakeJpegTileSource},
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

TileOptions TileOptionsOf(const SplitSettings& settings) {
    TileOptions options;
    options.exactJpeg = settings.correctCut != 0;
    options.jpegQuality = settings.jpegQuality;
    return options;
}

std::unique_ptr<TileSource> MakeTileSource(const ImageFormat& format, const CurrentImage& image,
                                           const SplitSettings& settings, std::string& error) {
    const TileOptions options = TileOptionsOf(settings);
    return settings.allBmp ? MakeBmpTileSource(image, options, error)
                           : format.makeSource(image, options, error);
}

bool CutsLosslessly(ImageFileKind kind, const SplitSettings& settings) {
    return kind == ImageFileKind::Jpeg && settings.allBmp == 0 && settings.correctCut == 0;
}

}  // namespace tessarin
