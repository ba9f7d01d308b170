#pragma once
// Progressive files decoded on two threads (see jpeg_progressive.cpp).

#include <memory>

#include "imaging/jpeg/jpeg_decoder.h"
#include "imaging/task_runner.h"
#include "platform/file_io.h"

namespace tessarin::jpeg {

// Whether a second reading of a file's header gives what the first gave in
// everything that sizes a buffer or shapes the rows: the frame (size,
// components and their sampling, precision, progressive mode) and, with
// `rows`, the colour spaces and output size too.
bool SameHeader(const jpeg_decompress_struct& first, const jpeg_decompress_struct& again,
                bool rows);

// The whole-image coefficient arrays of a decompressor whose coefficient
// controller is made, one per component; null for a single-scan file, or when
// the program was not built against a checked libjpeg-turbo version (callers
// also check that the loaded library is that version: PrivateLayoutVerified).
jvirt_barray_ptr* CoefficientArrays(jpeg_decompress_struct* codec);

// For a progressive file of two or more components: its scans decoded on two
// threads into one set of coefficients, and a decoder whose rows are ready to
// be read exactly as the decoder that read `header` (from the same file) would
// make them. It holds what that decoder would hold for them, and may take as
// much memory as `header`'s limit allows. The decoder is null when the file is
// not one it splits (see jpeg_progressive.cpp), anything fails or the scans
// read so far show damage: the caller then decodes the file as usual, which
// gives any failure its message and finds the damage itself. It is
// also null, with `changed` set, when the file's bytes no longer hold the
// header that was read (the file was rewritten in place): its rows would not
// fit what `header` sized, and the file fails with its read message.
struct ProgressiveStart {
    std::shared_ptr<void> storage;  // what the decoder reads coefficients from
    DecoderPointer decoder;
    bool changed = false;
};
// `watch` (may be null) may end it: the decoder is then null. The second
// decompressor runs on a thread of `runner`, when it gives one (the run's
// pool), else on a thread of its own.
ProgressiveStart StartProgressiveOnTwoThreads(const SourceFile& file,
                                              const jpeg_decompress_struct& header,
                                              const ReadWatch* watch = nullptr,
                                              TaskRunner* runner = nullptr);

}  // namespace tessarin::jpeg
