#pragma once
// What the TIFF reader, its tiles and its entry share: libtiff handles over
// the program's own files, and the layout of a file's first image as its
// tiles repeat it.

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/loaded_image.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin::tiff {

inline constexpr const char* kUnsupportedLayout = "このTIFFファイルの形式には対応していません";

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// A libtiff handle reading an open source file through a position of its
// own: any number may read one file at once, each on its own thread. The
// library's errors and warnings are kept from the console.
class TiffReader {
  public:
    explicit TiffReader(SourceFilePtr file) : file_(std::move(file)) {}
    TiffReader(const TiffReader&) = delete;
    TiffReader& operator=(const TiffReader&) = delete;
    // False when the file does not open as a TIFF.
    bool Open();
    TIFF* Get() const { return tif_.get(); }

  private:
    static tmsize_t Read(thandle_t handle, void* buffer, tmsize_t size);
    static toff_t Seek(thandle_t handle, toff_t offset, int whence);
    static toff_t Size(thandle_t handle);

    SourceFilePtr file_;
    uint64_t at_ = 0;
    TiffPtr tif_;  // last: closed before the position it reads through
};

// A libtiff handle writing a new file into `fd` (which stays the caller's),
// BigTIFF when `big`. Failed() tells whether any write failed, a full disk
// included.
class TiffWriter {
  public:
    explicit TiffWriter(int fd) : fd_(fd) {}
    TiffWriter(const TiffWriter&) = delete;
    TiffWriter& operator=(const TiffWriter&) = delete;
    bool Open(bool big);
    TIFF* Get() const { return tif_.get(); }
    // Writes the directory and closes the file; false when anything failed.
    bool Finish();

  private:
    static tmsize_t Read(thandle_t handle, void* buffer, tmsize_t size);
    static tmsize_t Write(thandle_t handle, void* buffer, tmsize_t size);
    static toff_t Seek(thandle_t handle, toff_t offset, int whence);
    static toff_t Size(thandle_t handle);

    int fd_;
    uint64_t at_ = 0;
    uint64_t size_ = 0;
    bool failed_ = false;
    TiffPtr tif_;
};

// How a file's first image is laid out, read once at its opening and shared
// read-only by every tile written from it.
struct TiffLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t samplesPerPixel = 1;
    uint16_t bitsPerSample = 1;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;  // as decoded: YCbCr JPEG is RGB
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;  // as the file has it
    uint16_t predictor = PREDICTOR_NONE;
    uint16_t inkSet = 0;  // 0: none stated
    std::vector<uint16_t> extraSamples;
    std::vector<uint16_t> red, green, blue;  // the colour map of a palette image
    bool hasResolution = false;
    float xResolution = 0;
    float yResolution = 0;
    uint16_t resolutionUnit = RESUNIT_INCH;
    std::shared_ptr<const IccProfile> iccProfile;
    // How the file stores its rows: tiles of tileWidth x tileLength, or
    // strips of rowsPerStrip rows.
    bool tiled = false;
    uint32_t tileWidth = 0;
    uint32_t tileLength = 0;
    // What its tiles are written with: the file's compression and
    // predictor, or Deflate where those cannot be written again exactly.
    uint16_t tileCompression = COMPRESSION_NONE;
    uint16_t tilePredictor = PREDICTOR_NONE;
    // The decoded rows: `planes` of them (the samples per pixel for separate
    // planes, else 1), each rowBytes long with bitsPerPlanePixel a pixel.
    int planes = 1;
    uint32_t bitsPerPlanePixel = 1;
    uint64_t rowBytes = 0;
    // The file's alpha: its first extra sample, premultiplied or not.
    bool alpha = false;
    bool associatedAlpha = false;
};

// Reads the layout of the image `tif` is at, and sets the decoder up for
// it (YCbCr JPEG data decoded as RGB). Returns nullptr on success, else the
// message.
const char* ReadTiffLayout(TIFF* tif, TiffLayout& out);

// Sets the tags of a tile of width x height of `layout`'s image, with rows
// in strips of `rowsPerStrip`. False when the library refuses one.
bool SetTiffTileTags(TIFF* tif, const TiffLayout& layout, uint32_t width, uint32_t height,
                     uint32_t rowsPerStrip);

// The bits [from, from + bits) of `source` to the start of `out`, whose
// bits after them in the last byte are zero.
void CopyBits(const uint8_t* source, uint64_t from, uint64_t bits, uint8_t* out);

// How many rows of `rowBytes` make a tile's strip: about 256 KiB of them.
uint32_t StripRows(uint64_t rowBytes, uint32_t height);

// `size` bytes as TIFF LZW codes, into `out`. False when memory cannot be
// had.
bool EncodeLzw(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

// The horizontal predictor's differences, in place, of `count` rows of
// `rowBytes` with samples of `bits` (8 or 16), `step` samples a pixel.
void DifferenceRows(uint8_t* rows, uint32_t count, uint64_t rowBytes, int bits, int step);

// Tiles of `layout`'s image cut from `rows` rows of its decoded samples:
// plane after plane, each `rows` rows of layout.rowBytes. `samples` stays
// the caller's and must outlive the tile source.
std::unique_ptr<TileSource> MakeTiffSampleTiles(std::shared_ptr<const TiffLayout> layout,
                                                const uint8_t* samples, int rows);

}  // namespace tessarin::tiff
