#pragma once
// Plain POSIX file access with RAII: positioned reads for the readers, a
// buffered writer that reports every failure for the writers.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tessarin {

class InputFile {
  public:
    InputFile() = default;
    explicit InputFile(const std::string& path) { Open(path); }
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const std::string& path);  // regular files only
    bool IsOpen() const { return fd_ >= 0; }
    uint64_t Size() const { return size_; }
    // Reads exactly n bytes at offset; false on a short read or an error.
    bool ReadAt(uint64_t offset, void* buffer, size_t n) const;
    // Reads up to n bytes at offset; returns how many came back.
    size_t ReadSomeAt(uint64_t offset, void* buffer, size_t n) const;

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

// Buffered writes into a file the caller has opened and keeps owning.
class OutputFile {
  public:
    explicit OutputFile(int fd);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Write(const void* data, size_t n);
    // Writes what is buffered; false when any write failed.
    bool Finish();

  private:
    bool Flush();
    int fd_ = -1;
    bool failed_ = false;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
};

// A buffered stream over a duplicate of `fd` (close-on-exec), for libraries
// that write through stdio. Closing the stream leaves `fd` open. Null on
// failure.
std::FILE* OpenWriteStream(int fd);

// Opens a regular file for reading, close-on-exec. Anything else (a FIFO, a
// device, a folder) is refused at once: the open never waits for a writer.
// Returns the descriptor, or -1.
int OpenRegularFile(const std::string& path);
// The same as a stdio stream for the C libraries; null when refused.
std::FILE* OpenRegularFileStream(const std::string& path);

// Owns a stdio stream; closing it ignores the result (a writer that cares
// closes the stream itself and checks).
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes);

}  // namespace tessarin
