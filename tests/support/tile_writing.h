#pragma once
// Writing single tiles in tests, outside the worker loop.

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "split/tile_worker.h"

namespace tessarin::testing {

// As a worker writes it: through a temporary file in the folder of `path`.
inline const char* WriteTileAt(const TileSource& source, const TileRect& rect,
                               const std::string& path, TileContext& context) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    return WriteTileFile(source, rect, folder, path, context);
}

// Straight into `path`, opened as it is (a device such as /dev/full too); the
// file stays whatever the writer left.
inline const char* WriteTileInto(const TileSource& source, const TileRect& rect,
                                 const std::string& path, TileContext& context) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return source.SaveFailedMessage();
    const char* failure = source.WriteTile(rect, TileFile{fd, path}, context);
    ::close(fd);
    return failure;
}

}  // namespace tessarin::testing
