#include "split/formats.h"

#include "imaging/bmp/bmp_format.h"
#include "imaging/gif/gif_format.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/png/png_format.h"

namespace tessarin {

namespace {

template <bool (*Load)(const std::string&, LoadedImage&)>
bool LoadWithoutOwner(const std::string& path, Notifier*, LoadedImage& out) {
    return Load(path, out);
}

const ImageFormat kFormats[] = {
    {ImageFileKind::Bmp, &LoadBmpFile, &MakeBmpTileSource},
    {ImageFileKind::Jpeg, &LoadWithoutOwner<&LoadJpegFile>, &MakeJpegTileSource},
    {ImageFileKind::Png, &LoadWithoutOwner<&LoadPngFile>, &MakePngTileSource},
    {ImageFileKind::Gif, &LoadWithoutOwner<&LoadGifFile>, &MakeGifTileSource},
};

}  // namespace

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

}  // namespace tessarin
