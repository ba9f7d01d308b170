#pragma once
// The readers open files by path: each fuzz input is written to one file per
// process, with the extension the reader expects.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessarin::fuzz {

// Writes the input to a per-process temporary file and returns its path.
const std::string& InputFile(const uint8_t* data, size_t size, const char* extension);

}  // namespace tessarin::fuzz
