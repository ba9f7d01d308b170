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
#include <string>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "imaging/dib_image.h"

namespace tessarin::jpeg_glue {

struct JpegErrorManager {
    jpeg_error_mgr pub;  // first member: libjpeg sees a jpeg_error_mgr*
    std::jmp_buf recovery;
};

// The standard error manager with error_exit jumping to manager.recovery and
// every warning and trace message dropped.
jpeg_error_mgr* InstallErrorManager(JpegErrorManager& manager);

// Encodes the width x height pixels at (x, y) of an 8-bit (grey) or 24-bit
// (blue-green-red) raster as a baseline JPEG at `quality` into the open file
// `fd` (which stays open), a few rows at a time from the raster (no copy of
// the rectangle). False for any other depth, a rectangle that is not inside
// the raster, or any library or write error.
bool EncodeJpegRegion(int fd, const DibImage& image, int x, int y, int width, int height,
                      int quality);

}  // namespace tessarin::jpeg_glue
