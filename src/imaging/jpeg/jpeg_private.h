#pragma once
// Private to the JPEG files of this folder: how fatal libjpeg errors come back
// to us, and the limits every decompressor works within.
//
// libjpeg reports a fatal error by calling error_exit, which must not return.
// Ours jumps back to the recovery point kept beside the error manager of each
// codec object, so every thread and every codec has its own. The functions
// that arm a recovery point (setjmp) hold only plain data: a jump skips
// destructors.

#include <csetjmp>
#include <cstdint>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "imaging/dib_image.h"
#include "imaging/read_watch.h"

namespace tessarin::jpeg {

struct JpegErrorManager {
    jpeg_error_mgr pub;  // first member: libjpeg sees a jpeg_error_mgr*
    std::jmp_buf recovery;
    // Set once the library has warned that the file's data ended or broke
    // before the picture did (it then fills in what is missing).
    bool damaged;
};

// The standard error manager with error_exit jumping to manager.recovery,
// damage recorded in manager.damaged and every message dropped.
jpeg_error_mgr* InstallErrorManager(JpegErrorManager& manager);

// Every scan of a multi-scan file passes over the whole image, even an empty
// one: a small file of many scans would take minutes. Real progressive files
// have a dozen or so.
inline constexpr int kMaxScans = 500;

// The library's progress monitor: it limits the scans, and lets the read's
// watch, when there is one, follow it and end it.
struct ScanLimit {
    jpeg_progress_mgr pub;  // first member: libjpeg sees a jpeg_progress_mgr*
    bool exceeded;
    bool stopped;                      // the watch asked the read to end
    const ReadWatch* watch = nullptr;  // may be null
};

// Makes the decompressor fail (through error_exit) once the file has more
// than kMaxScans scans, with limit.exceeded set, or once limit.watch asks
// for a stop, with limit.stopped set; tells the watch how far the read is.
void InstallScanLimit(jpeg_decompress_struct* codec, ScanLimit& limit);

// What the library itself may take for whole-image buffers (a progressive or
// multi-scan file keeps every coefficient of the image until the last scan).
// Past this it fails cleanly instead of exhausting memory on a small file that
// claims a huge size.
inline constexpr uint64_t kLibraryMemoryLimit = kMaxRasterBytes;

inline uint64_t RoundUp(uint64_t value, uint64_t step) { return (value + step - 1) / step * step; }
// A component's sampling factor (1 to 4 once the header is read) as the
// unsigned count the block arithmetic uses.
inline JDIMENSION Factor(int samplingFactor) { return static_cast<JDIMENSION>(samplingFactor); }

}  // namespace tessarin::jpeg
