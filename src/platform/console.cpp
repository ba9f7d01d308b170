#include "platform/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/text.h"

namespace tessarin {

namespace {

// The first error of a write to standard output other than a closed pipe.
std::atomic<int> outputError{0};

// 0 when every byte was written, else the errno of the failure.
int WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return errno;
        if (put == 0) return EIO;
        done += static_cast<size_t>(put);
    }
    return 0;
}

}  // namespace

void ConsoleWrite(const std::string& text) {
    const int error = WriteAll(STDOUT_FILENO, text);
    // A reader that went away (| head -1) is no fault of the run; a full disk
    // or a device that refuses the lines is, and is said once.
    if (error == 0 || error == EPIPE) return;
    int none = 0;
    if (outputError.compare_exchange_strong(none, error))
        WriteAll(STDERR_FILENO,
                 std::string("tessarin: write error: ") + std::strerror(error) + "\n");
}

bool ConsoleOutputFailed() { return outputError.load() != 0; }

void ConsoleWriteError(const std::string& text) { WriteAll(STDERR_FILENO, text); }

size_t TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    const char* columns = std::getenv("COLUMNS");
    if (columns && ParseDecimalInt(columns) > 0)
        return static_cast<size_t>(ParseDecimalInt(columns));
    return 80;
}

void ConsoleWarn(const std::string& text) {
    ConsoleWriteError("tessarin: " + EscapeControlCharacters(text) + "\n");
}

std::string EscapeControlCharacters(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string ConsoleLine(const std::string& text) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "【%02d/%02d/%02d:%02d:%02d】", local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return stamp + EscapeControlCharacters(text) + "\n";
}

void ConsoleLog(const std::string& text) { ConsoleWrite(ConsoleLine(text)); }

}  // namespace tessarin
