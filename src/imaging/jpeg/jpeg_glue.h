#pragma once
// Private to the JPEG reader, writer and tile source: how fatal libjpeg errors
// come back to us, and the encoder that writes any rectangle of a raster.
//
// libjpeg reports a fatal error by calling error_exit, which must not return.
// Ours jumps back to the recovery point kept beside the error manager of each
// codec object, so every thread and every codec has its own. The functions
// that arm a recovery point (setjmp) hold only plain data: a jump skips
// destructors.

#include <csetjmp>
#include <memory>
#include <string>
#include <thread>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "imaging/dib_image.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin::jpeg_glue {

struct JpegErrorManager {
    jpeg_error_mgr pub;  // first member: libjpeg sees a jpeg_error_mgr*
    std::jmp_buf recovery;
};

// The standard error manager with error_exit jumping to manager.recovery and
// every warning and trace message dropped.
jpeg_error_mgr* InstallErrorManager(JpegErrorManager& manager);

// Every scan of a multi-scan file passes over the whole image, even an empty
// one: a small file of many scans would take minutes. Real progressive files
// have a dozen or so.
inline constexpr int kMaxScans = 500;

struct ScanLimit {
    jpeg_progress_mgr pub;  // first member: libjpeg sees a jpeg_progress_mgr*
    bool exceeded;
};

// Makes the decompressor fail (through error_exit) once the file has more
// than kMaxScans scans, with limit.exceeded set.
void InstallScanLimit(jpeg_decompress_struct* codec, ScanLimit& limit);

// What the library itself may take for whole-image buffers (a progressive or
// multi-scan file keeps every coefficient of the image until the last scan).
// Past this it fails cleanly instead of exhausting memory on a small file that
// claims a huge size.
inline constexpr uint64_t kLibraryMemoryLimit = kMaxRasterBytes;

inline uint64_t RoundUp(uint64_t value, uint64_t step) { return (value + step - 1) / step * step; }

// Bytes the library's whole-image coefficient arrays of `codec`'s frame take
// (each padded to whole MCUs).
uint64_t CoefficientBytes(const jpeg_decompress_struct& codec);

// A decompressor with the error manager and scan limit it reports through.
struct JpegDecoder {
    jpeg_decompress_struct codec;
    JpegErrorManager errors;
    ScanLimit scanLimit;
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

// Where decoded rows go: straight into the raster, or for four-component
// files through one row of samples converted to blue, green, red.
struct RowTarget {
    JSAMPROW* rows;     // rows[i] is where output row i (from the top) goes
    JSAMPROW cmykRow;   // null unless the file is CMYK or YCCK
    bool cmykInverted;  // Adobe files store 255 minus the ink
    JDIMENSION width;
};

// The colour space rows are decoded in, set after the header is read: the
// raster's blue, green, red for colour; CMYK for CMYK and YCCK files, which
// RowTarget turns into colour.
void ChooseOutputSpace(jpeg_decompress_struct* codec);

// The stages below arm the decoder's recovery point: false on a library error.
// Creates the decompressor with kLibraryMemoryLimit and the scan limit.
bool CreateStage(JpegDecoder* decoder);
// Reads the header from `file` and chooses the output space and size.
bool HeaderStage(JpegDecoder* decoder, std::FILE* file);
// Reads rows into `target` until `upTo` rows of the image are done.
bool ReadRowsStage(JpegDecoder* decoder, const RowTarget* target, JDIMENSION upTo);
// Ends the decompression once every row is read.
bool FinishStage(JpegDecoder* decoder);

// Whether a second reading of a file's header gives what the first gave in
// everything that sizes a buffer or shapes the rows: the frame (size,
// components and their sampling, precision, progressive mode) and, with
// `rows`, the colour spaces and output size too.
bool SameHeader(const jpeg_decompress_struct& first, const jpeg_decompress_struct& again,
                bool rows);

// For a progressive file of two or more components: its scans decoded on two
// threads, and a decoder whose rows are ready to be read exactly as the
// decoder that read `header` (from the same file) would make them. The
// decoder is null when the file is not one it splits (see
// jpeg_progressive.cpp) or anything fails: the caller then decodes the file as
// usual, which gives any failure its message. It is also null, with `changed`
// set, when the file's bytes no longer hold the header that was read (the
// file was rewritten in place): its rows would not fit what `header` sized,
// and the file fails with its read message.
struct ProgressiveStart {
    DecoderPointer decoder;
    bool changed = false;
    // Frees the second decoder's coefficients while the rows are read; joins
    // when destroyed.
    std::jthread release;
};
ProgressiveStart StartProgressiveOnTwoThreads(const SourceFile& file,
                                              const jpeg_decompress_struct& header);

// Encodes the width x height pixels at (x, y) of an 8-bit (grey) or 24-bit
// (blue-green-red) raster as a baseline JPEG at `quality` into the open file
// `fd` (which stays open), a few rows at a time from the raster (no copy of
// the rectangle). False for any other depth, a rectangle that is not inside
// the raster, or any library or write error.
bool EncodeJpegRegion(int fd, const DibImage& image, int x, int y, int width, int height,
                      int quality);

// A JPEG file decoded on a thread of its own into a raster, for exact tiles
// cut from the rows already decoded while the rest are still coming.
class JpegRowFeed {
  public:
    // Starts decoding `file`, which must still be width x height and, unless
    // `depth` is 0, of that depth (LoadedImage::displayDepth). Null, with
    // `error` set to the failure message, when the header cannot be read or
    // the raster not made.
    static std::unique_ptr<JpegRowFeed> Start(const SourceFilePtr& file, int width, int height,
                                              int depth, std::string& error);
    // Stops the decoding (after the batch in hand) and waits for the thread.
    ~JpegRowFeed();
    JpegRowFeed(const JpegRowFeed&) = delete;
    JpegRowFeed& operator=(const JpegRowFeed&) = delete;

    // Waits until the first `rows` rows of the raster are decoded. Null then,
    // or the failure message when the decoding failed first. Any thread.
    const char* WaitForRows(int rows) const;
    // Rows may be read once WaitForRows has returned null for them.
    const DibImage& Raster() const;

  private:
    JpegRowFeed();
    struct State;
    std::unique_ptr<State> state_;
};

inline constexpr const char* kLosslessFailed = "jpegtranを使った分割処理に失敗しました";

// The iMCU grid of a JPEG file: 8 x 8 pixels for one component, else 8 times
// the largest sampling factors. A lossless crop starts on it.
struct JpegCropGrid {
    int width = 8;
    int height = 8;
    // What jpegtran cuts for `rect`: the corner moved up and left onto the
    // grid, the size grown by as much (97x61+13+7 gives 110x68+0+0 on a
    // 16 x 16 grid).
    TileRect Cut(const TileRect& rect) const {
        TileRect cut = rect;
        cut.x = rect.x - rect.x % width;
        cut.y = rect.y - rect.y % height;
        cut.width = rect.width + rect.x % width;
        cut.height = rect.height + rect.y % height;
        return cut;
    }
};

// The bytes one jpegtran run over a file with `coefficientBytes` of
// coefficients takes: it holds them all, plus the crop's and its own buffers.
inline uint64_t JpegtranRunBytes(uint64_t coefficientBytes) {
    return coefficientBytes + coefficientBytes / 4 + (uint64_t{64} << 20);
}

// What the header of a file cut losslessly says about its cut.
struct LosslessFrame {
    JpegCropGrid grid;
    uint64_t coefficientBytes = 0;
};

enum class LosslessPrepare {
    kReady,       // `out` cuts the tiles in-process
    kRefused,     // the coefficients would take too much memory: leave the file to jpegtran
    kOverBudget,  // the coefficients beside `heldBytes` would exceed the split's memory budget
    kFailed,      // the file cannot be read, or no longer has the size it was loaded with
};

// Reads the DCT coefficients and the comment and application markers of
// `file` (expected to be width x height) for lossless tiles, which `out` then
// writes as jpegtran -copy all -crop would. `frame` is set when the header
// could be read (kReady and kRefused). `heldBytes` is what the split holds
// already (the raster, when the image is shown).
LosslessPrepare MakeInProcessLosslessSource(const SourceFile& file, int width, int height,
                                            uint64_t heldBytes, std::unique_ptr<TileSource>& out,
                                            LosslessFrame& frame);

}  // namespace tessarin::jpeg_glue
