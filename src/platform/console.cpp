#include "platform/console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace tessarin {

namespace {

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        done += static_cast<size_t>(put);
    }
}

}  // namespace

void ConsoleWrite(const std::string& text) { WriteAll(STDOUT_FILENO, text); }

void ConsoleWriteError(const std::string& text) { WriteAll(STDERR_FILENO, text); }

void ConsoleWarn(const std::string& text) {
    ConsoleWriteError("tessarin: " + EscapeControlCharacters(text) + "\n");
}

std::string EscapeControlCharacters(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
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
