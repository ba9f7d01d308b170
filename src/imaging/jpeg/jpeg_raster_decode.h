#pragma once
// One JPEG file decoded into a new bottom-up raster: the header and the raster
// first, then the rows, all at once or a batch at a time. The reader decodes
// a whole file with it; the row feed a batch at a time on a thread of its own.

#include <memory>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/jpeg/jpeg_decoder.h"
#include "imaging/jpeg/jpeg_messages.h"
#include "imaging/jpeg/jpeg_progressive.h"
#include "platform/file_io.h"

namespace tessarin::jpeg {

// The depth of the raster `codec`'s rows go into (CMYK and YCCK files become
// 24-bit colour); 0 when no raster takes them.
int RasterDepth(const jpeg_decompress_struct& codec);
// A bottom-up raster for `rows` of `codec`'s output rows, with the header and
// colour table of the whole-file read's raster; null when it cannot be made.
std::unique_ptr<DibImage> NewRaster(const jpeg_decompress_struct& codec, int rows);

class RasterDecode {
  public:
    // Reads the header and, unless `headerOnly`, makes the raster. Returns
    // the failure message, or null. The header alone is not held to the
    // raster's size limit: lossless tiles need no raster. `watch` (may be
    // null) follows the decode and may end it.
    const char* Open(const SourceFilePtr& source, bool headerOnly,
                     const ReadWatch* watch = nullptr);
    // Decodes rows until the first `upTo` are in the raster. Returns the
    // failure message, or null. A failure leaves the decompression
    // unfinished on purpose: finishing one whose rows were not all read is
    // itself a library error.
    const char* Rows(JDIMENSION upTo);
    const char* Finish();
    // Whether the rows decoded so far met the file's damage (see
    // JpegErrorManager::damaged): they are then partly the decoder's fill.
    bool Damaged() const { return rowsFrom_ && rowsFrom_->errors.damaged; }

    const jpeg_decompress_struct& Codec() const { return decoder_->codec; }
    DibImage& Raster() { return *raster_; }
    std::unique_ptr<DibImage> TakeRaster() { return std::move(raster_); }

  private:
    SourceFilePtr source_;
    const ReadWatch* watch_ = nullptr;
    DecoderPointer decoder_;  // reads the header, and the rows unless split_ does
    FilePtr file_;
    ProgressiveStart split_;
    JpegDecoder* rowsFrom_ = nullptr;  // set once decoding has started
    std::unique_ptr<DibImage> raster_;
    std::vector<JSAMPROW> rows_;
    std::vector<JSAMPLE> cmykRow_;
    RowTarget target_{};
};

}  // namespace tessarin::jpeg
