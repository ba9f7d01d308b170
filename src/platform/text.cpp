#include "platform/text.h"

#include <climits>
#include <cstdint>

namespace tessarin {

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int ParseDecimalInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsAsciiSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr int64_t kLimit = int64_t{INT_MAX} + 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) return static_cast<int>(-value);
    return static_cast<int>(value > INT_MAX ? INT_MAX : value);
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

size_t Utf8CharCount(std::string_view text) {
    size_t n = 0;
    for (char c : text) n += IsContinuation(c) ? 0 : 1;
    return n;
}

size_t Utf8PrefixLength(std::string_view text, size_t maxChars) {
    size_t chars = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (chars == maxChars) return i;
        ++i;
        while (i < text.size() && IsContinuation(text[i])) ++i;
        ++chars;
    }
    return text.size();
}

std::string TruncateUtf8(std::string_view text, size_t maxChars) {
    return std::string(text.substr(0, Utf8PrefixLength(text, maxChars)));
}

std::string LimitUtf16Units(std::string_view text, size_t maxUnits) {
    size_t units = 0;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const size_t width = lead >= 0xF0 ? 2 : 1;
        if (units + width > maxUnits) break;
        size_t next = i + 1;
        while (next < text.size() && next < i + length && IsContinuation(text[next])) ++next;
        units += width;
        i = next;
    }
    return std::string(text.substr(0, i));
}

}  // namespace tessarin
