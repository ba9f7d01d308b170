#pragma once
// Plain POSIX file access with RAII: a source file opened once for the
// readers, a buffered writer that reports every failure for the writers.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tessarin {

// A source image opened once: the load and everything made from it later
// (a second decoder, the tile sources, an outside tool) read this open file,
// never the name again, so a file renamed or replaced in the meantime cannot
// change what is read. Read-only and shared between threads.
// What tells a file rewritten in place from the one that was read: its size
// and its modification and change times.
struct FileStamp {
    uint64_t size = 0;
    int64_t modified = 0;  // nanoseconds
    int64_t changed = 0;   // nanoseconds
    bool operator==(const FileStamp&) const = default;
};

class SourceFile : public std::enable_shared_from_this<SourceFile> {
  public:
    // Opens `path` as OpenRegularFile does. Null when refused or out of memory.
    [[nodiscard]] static std::shared_ptr<const SourceFile> Open(const std::string& path) noexcept;
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // The name it was opened by, for messages only.
    const std::string& Path() const { return path_; }
    // The size when it was opened.
    uint64_t Size() const { return size_; }
    // The file's stamp when it was opened, and now (false when it cannot be
    // read now).
    const FileStamp& OpenedStamp() const { return opened_; }
    [[nodiscard]] bool StampNow(FileStamp& stamp) const;
    // Reads exactly n bytes at offset; false on a short read or an error.
    [[nodiscard]] bool ReadAt(uint64_t offset, void* buffer, size_t n) const;
    // Reads up to n bytes at offset; returns how many came back.
    [[nodiscard]] size_t ReadSomeAt(uint64_t offset, void* buffer, size_t n) const;
    // The whole file as it is now; false when it is over maxBytes or a read
    // fails.
    [[nodiscard]] bool ReadAll(std::vector<uint8_t>& out, uint64_t maxBytes) const;
    // A read-only stdio stream from the start of the file, with an offset of
    // its own (any number may be open at once, on any threads), for the C
    // libraries. It keeps the file open until closed. Null on failure.
    [[nodiscard]] std::FILE* OpenStream() const;
    // A new descriptor (close-on-exec) of this same file, from its start, on
    // an open file description of its own: what an outside program reads
    // while others read the file too. -1 on failure.
    [[nodiscard]] int OpenDescription() const;

  private:
    SourceFile() = default;
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
    FileStamp opened_;
};
using SourceFilePtr = std::shared_ptr<const SourceFile>;

// Buffered writes into a file the caller has opened and keeps owning.
class OutputFile {
  public:
    explicit OutputFile(int fd);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    [[nodiscard]] bool Write(const void* data, size_t n);
    // Writes what is buffered; false when any write failed.
    [[nodiscard]] bool Finish();

  private:
    [[nodiscard]] bool Flush();
    int fd_ = -1;
    bool failed_ = false;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
};

// A buffered stream over a duplicate of `fd` (close-on-exec), for libraries
// that write through stdio. Closing the stream leaves `fd` open. Null on
// failure.
[[nodiscard]] std::FILE* OpenWriteStream(int fd);

// Opens a regular file for reading, close-on-exec. Anything else (a FIFO, a
// device, a folder) is refused at once: the open never waits for a writer.
// Returns the descriptor, or -1.
[[nodiscard]] int OpenRegularFile(const std::string& path);

// Owns a stdio stream; closing it ignores the result (a writer that cares
// closes the stream itself and checks).
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace tessarin
