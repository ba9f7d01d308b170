// libtiff over the program's own files: a source file read through a
// position of each handle's own, a tile written into the descriptor the
// split made, the library kept from the console, and the layout of a file's
// first image as its tiles repeat it.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "imaging/checked_size.h"
#include "imaging/dib_image.h"
#include "imaging/tiff/tiff_private.h"

namespace tessarin::tiff {
namespace {

int Silently(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Options every handle opens with: no message reaches the console, and no
// single allocation the file asks for outgrows what a raster may take.
class OpenOptions {
  public:
    OpenOptions() : options_(TIFFOpenOptionsAlloc()) {
        // Messages raised before a handle has its own handlers.
        static std::once_flag quiet;
        std::call_once(quiet, [] {
            TIFFSetErrorHandler(nullptr);
            TIFFSetWarningHandler(nullptr);
        });
        if (!options_) return;
        TIFFOpenOptionsSetErrorHandlerExtR(options_, Silently, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options_, Silently, nullptr);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options_, static_cast<tmsize_t>(kMaxRasterBytes / 4));
    }
    ~OpenOptions() {
        if (options_) TIFFOpenOptionsFree(options_);
    }
    OpenOptions(const OpenOptions&) = delete;
    OpenOptions& operator=(const OpenOptions&) = delete;
    TIFFOpenOptions* Get() const { return options_; }

  private:
    TIFFOpenOptions* options_;
};

int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}
int CloseNothing(thandle_t) { return 0; }
tmsize_t WriteNothing(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekTo(uint64_t& at, uint64_t size, toff_t offset, int whence) {
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = at;
    if (whence == SEEK_END) base = size;
    at = base + offset;
    return at;
}

}  // namespace

bool TiffReader::Open() {
    OpenOptions options;
    if (!options.Get()) return false;
    tif_.reset(TIFFClientOpenExt(file_->Path().c_str(), "rm", this, Read, WriteNothing, Seek,
                                 CloseNothing, Size, NoMap, NoUnmap, options.Get()));
    return tif_ != nullptr;
}

tmsize_t TiffReader::Read(thandle_t handle, void* buffer, tmsize_t size) {
    auto* self = static_cast<TiffReader*>(handle);
    if (size <= 0) return 0;
    const size_t n = self->file_->ReadSomeAt(self->at_, buffer, static_cast<size_t>(size));
    self->at_ += n;
    return static_cast<tmsize_t>(n);
}

toff_t TiffReader::Seek(thandle_t handle, toff_t offset, int whence) {
    auto* self = static_cast<TiffReader*>(handle);
    return SeekTo(self->at_, self->file_->Size(), offset, whence);
}

toff_t TiffReader::Size(thandle_t handle) {
    return static_cast<TiffReader*>(handle)->file_->Size();
}

bool TiffWriter::Open(bool big) {
    OpenOptions options;
    if (!options.Get()) return false;
    tif_.reset(TIFFClientOpenExt("tile", big ? "w8" : "w", this, Read, Write, Seek, CloseNothing,
                                 Size, NoMap, NoUnmap, options.Get()));
    return tif_ != nullptr;
}

bool TiffWriter::Finish() {
    if (!tif_) return false;
    const bool written = TIFFWriteDirectory(tif_.get()) == 1;
    tif_.reset();
    return written && !failed_;
}

tmsize_t TiffWriter::Read(thandle_t handle, void* buffer, tmsize_t size) {
    auto* self = static_cast<TiffWriter*>(handle);
    const ssize_t n =
        pread(self->fd_, buffer, static_cast<size_t>(size), static_cast<off_t>(self->at_));
    if (n < 0) return -1;
    self->at_ += static_cast<uint64_t>(n);
    return n;
}

tmsize_t TiffWriter::Write(thandle_t handle, void* buffer, tmsize_t size) {
    auto* self = static_cast<TiffWriter*>(handle);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    for (tmsize_t left = size; left > 0;) {
        const ssize_t n =
            pwrite(self->fd_, bytes, static_cast<size_t>(left), static_cast<off_t>(self->at_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A full disk must not pass for a written tile.
            self->failed_ = true;
            return -1;
        }
        bytes += n;
        left -= n;
        self->at_ += static_cast<uint64_t>(n);
    }
    self->size_ = std::max(self->size_, self->at_);
    return size;
}

toff_t TiffWriter::Seek(thandle_t handle, toff_t offset, int whence) {
    auto* self = static_cast<TiffWriter*>(handle);
    return SeekTo(self->at_, self->size_, offset, whence);
}

toff_t TiffWriter::Size(thandle_t handle) { return static_cast<TiffWriter*>(handle)->size_; }

namespace {

// Whether libtiff writes `compression` again exactly as it read it.
bool WritesAgain(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE:
        case COMPRESSION_LZW:
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
        case COMPRESSION_PACKBITS:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
        case COMPRESSION_ZSTD:
        case COMPRESSION_LZMA:
            return TIFFIsCODECConfigured(compression) != 0;
        default:
            return false;
    }
}

bool TakesPredictor(uint16_t compression) {
    return compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
           compression == COMPRESSION_DEFLATE || compression == COMPRESSION_ZSTD ||
           compression == COMPRESSION_LZMA;
}

}  // namespace

const char* ReadTiffLayout(TIFF* tif, TiffLayout& out) {
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &out.width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &out.height) ||
        !TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &out.samplesPerPixel) ||
        !TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &out.bitsPerSample) ||
        !TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &out.planar) ||
        !TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &out.compression) ||
        !TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat) ||
        !TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &out.photometric))
        return kUnsupportedLayout;
    if (out.width == 0 || out.height == 0 || out.width > INT32_MAX || out.height > INT32_MAX)
        return kUnsupportedLayout;
    const int bits = out.bitsPerSample;
    if ((bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) ||
        (sampleFormat != SAMPLEFORMAT_UINT && sampleFormat != SAMPLEFORMAT_VOID) ||
        (out.planar != PLANARCONFIG_CONTIG && out.planar != PLANARCONFIG_SEPARATE) ||
        !TIFFIsCODECConfigured(out.compression) || out.compression == COMPRESSION_OJPEG)
        return kUnsupportedLayout;

    // YCbCr is only read from JPEG data, which the library turns into RGB.
    if (out.photometric == PHOTOMETRIC_YCBCR) {
        if (out.compression != COMPRESSION_JPEG ||
            !TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
            return kUnsupportedLayout;
        out.photometric = PHOTOMETRIC_RGB;
    }
    int colours = 0;
    switch (out.photometric) {
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE:
            colours = 1;
            break;
        case PHOTOMETRIC_PALETTE: {
            colours = 1;
            uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
            if (bits > 8 || out.samplesPerPixel != 1 ||
                !TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue))
                return kUnsupportedLayout;
            const size_t entries = size_t{1} << bits;
            out.red.assign(red, red + entries);
            out.green.assign(green, green + entries);
            out.blue.assign(blue, blue + entries);
            break;
        }
        case PHOTOMETRIC_RGB:
            colours = 3;
            break;
        case PHOTOMETRIC_SEPARATED:
            colours = 4;
            if (TIFFGetField(tif, TIFFTAG_INKSET, &out.inkSet) && out.inkSet != INKSET_CMYK)
                return kUnsupportedLayout;
            break;
        default:
            return kUnsupportedLayout;
    }
    if (colours > 1 && bits < 8) return kUnsupportedLayout;
    if (out.samplesPerPixel < colours) return kUnsupportedLayout;
    uint16_t extraCount = 0;
    uint16_t* extras = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extras) && extras)
        out.extraSamples.assign(extras, extras + extraCount);
    out.extraSamples.resize(static_cast<size_t>(out.samplesPerPixel - colours),
                            EXTRASAMPLE_UNSPECIFIED);
    if (!out.extraSamples.empty()) {
        out.associatedAlpha = out.extraSamples[0] == EXTRASAMPLE_ASSOCALPHA;
        out.alpha = out.associatedAlpha || out.extraSamples[0] == EXTRASAMPLE_UNASSALPHA;
    }

    if (TakesPredictor(out.compression))
        TIFFGetFieldDefaulted(tif, TIFFTAG_PREDICTOR, &out.predictor);
    if (out.predictor != PREDICTOR_NONE && out.predictor != PREDICTOR_HORIZONTAL)
        return kUnsupportedLayout;
    // JPEG data would be encoded anew, with loss: its tiles are written with
    // Deflate instead, as are those of a codec the library cannot write.
    if (WritesAgain(out.compression)) {
        out.tileCompression = out.compression;
        out.tilePredictor = out.predictor;
    } else {
        out.tileCompression = COMPRESSION_ADOBE_DEFLATE;
        out.tilePredictor = bits >= 8 ? PREDICTOR_HORIZONTAL : PREDICTOR_NONE;
    }

    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &out.xResolution) &&
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &out.yResolution)) {
        out.hasResolution = true;
        TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &out.resolutionUnit);
    }
    uint32_t iccSize = 0;
    void* icc = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccSize, &icc) && icc && iccSize > 0) {
        const auto* bytes = static_cast<const uint8_t*>(icc);
        out.iccProfile = std::make_shared<const IccProfile>(bytes, bytes + iccSize);
    }

    out.tiled = TIFFIsTiled(tif) != 0;
    if (out.tiled && (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &out.tileWidth) ||
                      !TIFFGetField(tif, TIFFTAG_TILELENGTH, &out.tileLength) ||
                      out.tileWidth == 0 || out.tileLength == 0 || out.tileWidth % 8 != 0))
        return kUnsupportedLayout;
    const bool separate = out.planar == PLANARCONFIG_SEPARATE && out.samplesPerPixel > 1;
    out.planes = separate ? out.samplesPerPixel : 1;
    out.bitsPerPlanePixel = static_cast<uint32_t>(bits * (separate ? 1 : out.samplesPerPixel));
    // Rows of the widest raster a pixel makes (32 bits) must be possible.
    const std::optional<uint64_t> rowBits = CheckedSize(out.width, out.bitsPerPlanePixel, 1, 7);
    if (!rowBits || !DibSizeAcceptable(out.width, 1, 32)) return kUnsupportedLayout;
    out.rowBytes = *rowBits / 8;
    if (!out.tiled && static_cast<uint64_t>(TIFFScanlineSize64(tif)) != out.rowBytes)
        return kUnsupportedLayout;
    if (out.tiled && static_cast<uint64_t>(TIFFTileRowSize64(tif)) !=
                         (uint64_t{out.tileWidth} * out.bitsPerPlanePixel + 7) / 8)
        return kUnsupportedLayout;
    return nullptr;
}

bool SetTiffTileTags(TIFF* tif, const TiffLayout& layout, uint32_t width, uint32_t height,
                     uint32_t rowsPerStrip) {
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, layout.planar) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.tileCompression) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    // Deflate at its fastest level, as PNG tiles are by default: on a large
    // photograph about a twelfth of the time of the default level, for tiles
    // about a seventh larger.
    if (ok && (layout.tileCompression == COMPRESSION_ADOBE_DEFLATE ||
               layout.tileCompression == COMPRESSION_DEFLATE))
        ok = TIFFSetField(tif, TIFFTAG_ZIPQUALITY, 1);
    if (ok && layout.tilePredictor != PREDICTOR_NONE)
        ok = TIFFSetField(tif, TIFFTAG_PREDICTOR, layout.tilePredictor);
    if (ok && !layout.extraSamples.empty())
        ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES,
                          static_cast<uint16_t>(layout.extraSamples.size()),
                          layout.extraSamples.data());
    if (ok && !layout.red.empty())
        ok = TIFFSetField(tif, TIFFTAG_COLORMAP, layout.red.data(), layout.green.data(),
                          layout.blue.data());
    if (ok && layout.inkSet != 0) ok = TIFFSetField(tif, TIFFTAG_INKSET, layout.inkSet);
    if (ok && layout.hasResolution)
        ok = TIFFSetField(tif, TIFFTAG_XRESOLUTION, layout.xResolution) &&
             TIFFSetField(tif, TIFFTAG_YRESOLUTION, layout.yResolution) &&
             TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, layout.resolutionUnit);
    if (ok && layout.iccProfile)
        ok = TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(layout.iccProfile->size()),
                          layout.iccProfile->data());
    return ok;
}

void CopyBits(const uint8_t* source, uint64_t from, uint64_t bits, uint8_t* out) {
    const uint64_t bytes = (bits + 7) / 8;
    const uint8_t* at = source + from / 8;
    const unsigned shift = from % 8;
    if (shift == 0) {
        std::memcpy(out, at, bytes);
    } else {
        const uint64_t end = from + bits;  // the bit after the last one copied
        for (uint64_t i = 0; i < bytes; ++i) {
            unsigned byte = static_cast<unsigned>(at[i]) << shift;
            if ((from / 8 + i + 1) * 8 < end)
                byte |= static_cast<unsigned>(at[i + 1]) >> (8 - shift);
            out[i] = static_cast<uint8_t>(byte);
        }
    }
    if (bits % 8 != 0) out[bytes - 1] &= static_cast<uint8_t>(0xFF << (8 - bits % 8));
}

uint32_t StripRows(uint64_t rowBytes, uint32_t height) {
    const uint64_t rows =
        std::max<uint64_t>(1, (uint64_t{256} << 10) / std::max<uint64_t>(1, rowBytes));
    return static_cast<uint32_t>(std::min<uint64_t>(rows, height));
}

}  // namespace tessarin::tiff
