// Reading a JPEG file into a bottom-up raster, or its header alone; CMYK and
// YCCK files are turned into colour on the way.

#include "imaging/failure_text.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_lossless.h"
#include "imaging/jpeg/jpeg_raster_decode.h"
#include "imaging/messages.h"
#include "platform/file_io.h"

namespace tessarin {

namespace {

bool Fail(LoadedImage& out, const char* message) {
    out.raster.reset();
    out.source.reset();
    out.displayDepth = 0;
    out.colorKind = ColorKind::None;
    out.interlaced = false;
    out.blockWidth = out.blockHeight = 0;
    out.damage.clear();
    SetFailureText(out.error, message);
    return false;
}

bool Load(const SourceFilePtr& source, LoadedImage& out, bool headerOnly, const ReadWatch* watch) {
    Fail(out, "");
    jpeg::RasterDecode decode;
    const char* failure = decode.Open(source, headerOnly, watch);
    if (!failure && !headerOnly) failure = decode.Rows(decode.Codec().output_height);
    // A damaged file is shown as the library filled it in, but not cut.
    const bool damaged = decode.Damaged();
    if (!failure && !headerOnly) failure = decode.Finish();
    if (failure) return Fail(out, failure);
    if (damaged) SetFailureText(out.damage, jpeg::kImageDataFailed);
    const jpeg_decompress_struct& codec = decode.Codec();
    out.raster = decode.TakeRaster();
    out.width = static_cast<int>(codec.output_width);
    out.height = static_cast<int>(codec.output_height);
    // The depth the file stores, whatever the raster became.
    out.displayDepth = 8 * codec.output_components;
    out.colorKind = codec.output_components == 1 ? ColorKind::Grey : ColorKind::None;
    const jpeg::JpegCropGrid grid = jpeg::CropGridOf(codec);
    out.blockWidth = grid.width;
    out.blockHeight = grid.height;
    out.source = source;
    return true;
}

bool LoadGuarded(const SourceFilePtr& source, LoadedImage& out, bool headerOnly,
                 const ReadWatch* watch = nullptr) {
    try {
        return Load(source, out, headerOnly, watch);
    } catch (...) {
        return Fail(out, msg::kMemoryFailed);
    }
}

}  // namespace

bool LoadJpegFile(const SourceFilePtr& file, LoadedImage& out, const ReadWatch* watch) {
    return LoadGuarded(file, out, false, watch);
}

bool LoadJpegHeader(const SourceFilePtr& file, LoadedImage& out) {
    return LoadGuarded(file, out, true);
}

bool LoadJpegFile(const std::string& path, LoadedImage& out) {
    return LoadGuarded(SourceFile::Open(path), out, false);
}

bool LoadJpegHeader(const std::string& path, LoadedImage& out) {
    return LoadGuarded(SourceFile::Open(path), out, true);
}

}  // namespace tessarin
