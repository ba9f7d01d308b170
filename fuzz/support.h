#pragma once
// The readers open files by path: each fuzz input is written to one file per
// process, with the extension the reader expects.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessarin::fuzz {

// Writes the input to a per-process temporary file and returns its path.
const std::string& InputFile(const uint8_t* data, size_t size, const char* extension);

// Splits the file as the command mode does (band by band where the format
// cuts so), into 13 x 11 tiles from a 5,3 offset in the format's own tiles
// (cut at exact places, or losslessly where the format can, when not
// `exact`) or as BMP tiles, then removes the tiles. Pictures
// larger than the fuzz build's raster limit, or of more than 4,096 tiles, are
// not cut, so each input runs quickly.
void SplitAsCommandMode(const std::string& path, bool allBmp, bool exact = true);

// Opens the file as the window does, with a memory budget small enough that
// pictures of more than a few hundred pixels are read band by band into a
// reduced picture.
void OpenReducedForView(const std::string& path);

}  // namespace tessarin::fuzz
