#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace tessarin {

namespace {
constexpr size_t kWriteBuffer = 256 * 1024;
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

namespace {

ssize_t ReadOnce(int fd, void* buffer, size_t n, uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return 0;
    while (true) {
        const ssize_t got = ::pread(fd, buffer, n, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) return got;
    }
}

// A stream of a source file: its own offset, read with positioned reads.
struct StreamCookie {
    std::shared_ptr<const SourceFile> file;
    int fd = -1;
    uint64_t offset = 0;
};

ssize_t StreamRead(void* cookie, char* buffer, size_t n) {
    auto* stream = static_cast<StreamCookie*>(cookie);
    const ssize_t got = ReadOnce(stream->fd, buffer, n, stream->offset);
    if (got > 0) stream->offset += static_cast<uint64_t>(got);
    return got;
}

int StreamSeek(void* cookie, off64_t* position, int whence) {
    auto* stream = static_cast<StreamCookie*>(cookie);
    int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = static_cast<int64_t>(stream->offset);
    } else if (whence == SEEK_END) {
        struct stat st {};
        if (::fstat(stream->fd, &st) != 0) return -1;
        base = st.st_size;
    } else if (whence != SEEK_SET) {
        errno = EINVAL;
        return -1;
    }
    if ((*position > 0 && base > INT64_MAX - *position) || base + *position < 0) {
        errno = EINVAL;
        return -1;
    }
    *position += base;
    stream->offset = static_cast<uint64_t>(*position);
    return 0;
}

int StreamClose(void* cookie) {
    delete static_cast<StreamCookie*>(cookie);
    return 0;
}

FileStamp StampOf(const struct stat& st) {
    const auto nanoseconds = [](const timespec& t) {
        return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
    };
    return {static_cast<uint64_t>(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

}  // namespace

std::shared_ptr<const SourceFile> SourceFile::Open(const std::string& path) noexcept {
    try {
        std::shared_ptr<SourceFile> file(new SourceFile());
        file->path_ = path;
        file->fd_ = OpenRegularFile(path);
        struct stat st {};
        if (file->fd_ < 0 || ::fstat(file->fd_, &st) != 0) return nullptr;
        file->size_ = static_cast<uint64_t>(st.st_size);
        file->opened_ = StampOf(st);
        return file;
    } catch (...) {
        return nullptr;
    }
}

bool SourceFile::StampNow(FileStamp& stamp) const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return false;
    stamp = StampOf(st);
    return true;
}

SourceFile::~SourceFile() {
    if (fd_ >= 0) ::close(fd_);
}

size_t SourceFile::ReadSomeAt(uint64_t offset, void* buffer, size_t n) const {
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < n) {
        const ssize_t got = ReadOnce(fd_, out + done, n - done, offset + done);
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

bool SourceFile::ReadAt(uint64_t offset, void* buffer, size_t n) const {
    return ReadSomeAt(offset, buffer, n) == n;
}

bool SourceFile::ReadAll(std::vector<uint8_t>& out, uint64_t maxBytes) const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || st.st_size < 0 || static_cast<uint64_t>(st.st_size) > maxBytes)
        return false;
    try {
        out.resize(static_cast<size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return ReadAt(0, out.data(), out.size());
}

std::FILE* SourceFile::OpenStream() const {
    auto* cookie = new (std::nothrow) StreamCookie();
    if (!cookie) return nullptr;
    try {
        cookie->file = shared_from_this();
    } catch (...) {
        delete cookie;
        return nullptr;
    }
    cookie->fd = fd_;
    const cookie_io_functions_t functions = {StreamRead, nullptr, StreamSeek, StreamClose};
    std::FILE* stream = ::fopencookie(cookie, "r", functions);
    if (!stream) delete cookie;
    return stream;
}

int SourceFile::OpenDescription() const {
    // Opening the descriptor's entry under /proc opens the file it refers to,
    // whatever its name is now, with an offset of its own (a duplicate would
    // share this one's).
    char name[48];
    std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd_);
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat mine {
    }, theirs{};
    if (::fstat(fd_, &mine) != 0 || ::fstat(fd, &theirs) != 0 || mine.st_dev != theirs.st_dev ||
        mine.st_ino != theirs.st_ino) {
        ::close(fd);
        return -1;
    }
    return fd;
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
    return !failed_ && Flush();
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

}  // namespace tessarin
