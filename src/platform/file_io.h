#pragma once
// Plain POSIX file access with RAII: positioned reads for the readers, a
// buffered writer that reports every failure for the writers.

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();  // closes without reporting; call Close() to know
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates the file.
    bool Open(const std::string& path);
    bool Write(const void* data, size_t n);
    // Flushes and closes; false when any write or the close failed.
    bool Close();

  private:
    bool Flush();
    int fd_ = -1;
    bool failed_ = false;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
};

// Opens a regular file for reading, close-on-exec. Anything else (a FIFO, a
// device, a folder) is refused at once: the open never waits for a writer.
// Returns the descriptor, or -1.
int OpenRegularFile(const std::string& path);
// The same as a stdio stream for the C libraries; null when refused.
std::FILE* OpenRegularFileStream(const std::string& path);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes);

}  // namespace tessarin
