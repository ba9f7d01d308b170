#pragma once
// The decompressor every JPEG read goes through: created with the library's
// memory limit and the scan limit, read in stages that each arm its recovery
// point, with rows going straight into a raster (CMYK and YCCK files through
// one row turned into colour).

#include <memory>

#include "imaging/dib_image.h"
#include "imaging/jpeg/jpeg_coefficient_release.h"
#include "imaging/jpeg/jpeg_private.h"
#include "imaging/loaded_image.h"

namespace tessarin::jpeg {

// A decompressor with the error manager and scan limit it reports through.
struct JpegDecoder {
    jpeg_decompress_struct codec;
    JpegErrorManager errors;
    ScanLimit scanLimit;
    CoefficientRelease release;   // gives back the coefficient rows the output has passed
    std::shared_ptr<void> input;  // what a source of ours reads from, kept while the decoder lives
};

struct DecoderDeleter {
    void operator()(JpegDecoder* decoder) const {
        jpeg_destroy_decompress(&decoder->codec);
        delete decoder;
    }
};
using DecoderPointer = std::unique_ptr<JpegDecoder, DecoderDeleter>;

// A zero-filled decoder (destroying it is safe however far creation got)
// with its error manager installed; null when out of memory.
DecoderPointer NewDecoder();

// Bytes the library's whole-image coefficient arrays of `codec`'s frame take
// (each padded to whole MCUs).
uint64_t CoefficientBytes(const jpeg_decompress_struct& codec);

// Where decoded rows go: straight into the raster, or for four-component
// files through one row of samples converted to blue, green, red.
struct RowTarget {
    JSAMPROW* rows;     // rows[i] is where output row firstRow + i (from the top) goes
    JSAMPROW cmykRow;   // null unless the file is CMYK or YCCK
    bool cmykInverted;  // Adobe files store 255 minus the ink
    JDIMENSION width;
    JDIMENSION firstRow = 0;
};

// The depth of the raster `codec`'s rows go into (CMYK and YCCK files become
// 24-bit colour); 0 when no raster takes them.
int RasterDepth(const jpeg_decompress_struct& codec);
// A bottom-up raster for `rows` of `codec`'s output rows (a grey file's with
// its table of greys); null when it cannot be made.
std::unique_ptr<DibImage> NewRaster(const jpeg_decompress_struct& codec, int rows);

// The colour space rows are decoded in, set after the header is read: the
// raster's blue, green, red for colour; CMYK for CMYK and YCCK files, which
// RowTarget turns into colour.
void ChooseOutputSpace(jpeg_decompress_struct* codec);

// The stages below arm the decoder's recovery point: false on a library error.
// Creates the decompressor with kLibraryMemoryLimit and the scan limit.
[[nodiscard]] bool CreateStage(JpegDecoder* decoder);
// Reads the header from `file` and chooses the output space and size.
[[nodiscard]] bool HeaderStage(JpegDecoder* decoder, std::FILE* file);
// The colour profile of a decoder whose header is read (its APP2 markers);
// null when it has none or it is broken.
[[nodiscard]] bool ProfileStage(JpegDecoder* decoder, std::shared_ptr<const IccProfile>& profile);
// Starts the decompression of a decoder whose header is read; a file of
// several scans gives back its coefficient rows as the output passes them.
[[nodiscard]] bool StartStage(JpegDecoder* decoder);
// Reads rows into `target` until `upTo` rows of the image are done; with
// `stopAtDamage`, false as soon as the file has shown damage (see
// JpegErrorManager::damaged), at the latest after the rows that met it.
[[nodiscard]] bool ReadRowsStage(JpegDecoder* decoder, const RowTarget* target, JDIMENSION upTo,
                                 bool stopAtDamage = false);
// Ends the decompression once every row is read.
[[nodiscard]] bool FinishStage(JpegDecoder* decoder);

}  // namespace tessarin::jpeg
