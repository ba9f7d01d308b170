#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace tessarin {

namespace {
constexpr size_t kWriteBuffer = 256 * 1024;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

int OpenRegularFile(const std::string& path) {
    // Without O_NONBLOCK, opening a FIFO waits until someone opens it for writing.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::FILE* OpenRegularFileStream(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) ::close(fd);
    return file;
}

bool InputFile::Open(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    size_ = 0;
    fd_ = OpenRegularFile(path);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

size_t InputFile::ReadSomeAt(uint64_t offset, void* buffer, size_t n) const {
    if (fd_ < 0) return 0;
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < n) {
        ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t n) const {
    return ReadSomeAt(offset, buffer, n) == n;
}

OutputFile::OutputFile(int fd) : fd_(fd) {
    try {
        buffer_.resize(kWriteBuffer);
    } catch (const std::bad_alloc&) {
        failed_ = true;
    }
}

bool OutputFile::Flush() {
    size_t done = 0;
    while (done < used_) {
        ssize_t put = ::write(fd_, buffer_.data() + done, used_ - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            failed_ = true;
            break;
        }
        done += static_cast<size_t>(put);
    }
    used_ = 0;
    return !failed_;
}

bool OutputFile::Write(const void* data, size_t n) {
    if (fd_ < 0 || failed_) return false;
    const auto* in = static_cast<const uint8_t*>(data);
    while (n > 0) {
        if (used_ == buffer_.size() && !Flush()) return false;
        size_t take = std::min(n, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, in, take);
        used_ += take;
        in += take;
        n -= take;
    }
    return true;
}

bool OutputFile::Finish() {
    if (fd_ < 0) return false;
    if (!failed_) Flush();
    return !failed_;
}

std::FILE* OpenWriteStream(int fd) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return nullptr;
    std::FILE* stream = ::fdopen(copy, "wb");
    if (!stream) {
        ::close(copy);
        return nullptr;
    }
    // Most files written this way are tiles of a few tens of KiB: one write
    // each instead of one per 4 KiB.
    std::setvbuf(stream, nullptr, _IOFBF, 64 * 1024);
    return stream;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
    InputFile file;
    if (!file.Open(path) || file.Size() > maxBytes) return false;
    try {
        out.resize(static_cast<size_t>(file.Size()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return file.ReadAt(0, out.data(), out.size());
}

}  // namespace tessarin
