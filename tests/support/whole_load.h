#pragma once
// The window's load of a file in a given format, as the registry makes it,
// for tests that read a file (a source, a tile written) back whole.

#include <string>

#include "imaging/format_registry.h"

namespace tessarin::testing {

inline bool LoadWhole(ImageFileKind kind, const std::string& path, LoadedImage& out) {
    return LoadWholeImage(*FindImageFormat(kind), SourceFile::Open(path), out, nullptr);
}

inline bool LoadBmp(const std::string& path, LoadedImage& out) {
    return LoadWhole(ImageFileKind::Bmp, path, out);
}

inline bool LoadGif(const std::string& path, LoadedImage& out) {
    return LoadWhole(ImageFileKind::Gif, path, out);
}

}  // namespace tessarin::testing
