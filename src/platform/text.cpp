#include "platform/text.h"

#include <locale.h>

#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

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

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = AsciiLower(c);
    return lower;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

size_t Utf8CharCount(std::string_view text) {
    size_t n = 0;
    for (char c : text)
        if (!IsContinuation(c)) ++n;
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

namespace {

// The length of the UTF-8 character at text[i] and its code point; a byte
// that does not start a valid sequence is a character of its own, -1.
size_t DecodeUtf8(std::string_view text, size_t i, int32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[i]);
    codePoint = -1;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    const size_t length = lead >= 0xC2 && lead < 0xE0   ? 2
                          : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5 ? 4
                                                        : 0;
    if (length == 0 || i + length > text.size()) return 1;
    int32_t value = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if (!IsContinuation(text[i + k])) return 1;
        value = (value << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    static const int32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000))
        return 1;
    codePoint = value;
    return length;
}

int CharColumns(int32_t c) {
    struct Range {
        int32_t first, last;
    };
    static const Range kCombining[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD},
                                       {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0x3099, 0x309A},
                                       {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}};
    // East Asian Wide and Fullwidth blocks.
    static const Range kWide[] = {
        {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
        {0x2E80, 0x303E},   {0x3041, 0x3247},   {0x3250, 0x4DBF},   {0x4E00, 0xA4C6},
        {0xA960, 0xA97C},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
        {0xFE30, 0xFE6B},   {0xFF01, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x18CD5},
        {0x1B000, 0x1B2FB}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};
    for (const Range& r : kCombining)
        if (c >= r.first && c <= r.last) return 0;
    for (const Range& r : kWide)
        if (c >= r.first && c <= r.last) return 2;
    return 1;
}

}  // namespace

size_t DisplayColumns(std::string_view text) {
    size_t columns = 0;
    int32_t c = 0;
    for (size_t i = 0; i < text.size();) {
        i += DecodeUtf8(text, i, c);
        columns += static_cast<size_t>(CharColumns(c));
    }
    return columns;
}

std::string ShortenMiddle(std::string_view text, size_t columns) {
    if (DisplayColumns(text) <= columns) return std::string(text);
    if (columns == 0) return {};
    struct Char {
        size_t start, length, columns;
    };
    std::vector<Char> chars;
    int32_t c = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t length = DecodeUtf8(text, i, c);
        chars.push_back({i, length, static_cast<size_t>(CharColumns(c))});
        i += length;
    }
    const size_t room = columns - 1;  // "…" takes one
    size_t headRoom = room - room / 2, tailRoom = room / 2;
    size_t head = 0, tail = chars.size();
    while (head < chars.size() && chars[head].columns <= headRoom)
        headRoom -= chars[head++].columns;
    while (tail > head && chars[tail - 1].columns <= tailRoom) tailRoom -= chars[--tail].columns;
    const size_t headEnd = head == 0 ? 0 : chars[head - 1].start + chars[head - 1].length;
    const size_t tailStart = tail == chars.size() ? text.size() : chars[tail].start;
    return std::string(text.substr(0, headEnd)) + "…" + std::string(text.substr(tailStart));
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

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether `text` starts with `word`, in any ASCII case.
bool StartsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (AsciiLower(text[i]) != word[i]) return false;
    return true;
}

// Length of the decimal number at the start of `text` (no sign): digits with
// an optional point, an optional exponent, or "inf", "infinity", "nan",
// "nan(...)". 0 when there is none.
size_t DecimalNumberLength(std::string_view text) {
    if (StartsWithWord(text, "infinity")) return 8;
    if (StartsWithWord(text, "inf")) return 3;
    if (StartsWithWord(text, "nan")) {
        size_t i = 3;
        if (i < text.size() && text[i] == '(') {
            size_t j = i + 1;
            while (j < text.size() && (IsDigit(text[j]) || text[j] == '_' ||
                                       (AsciiLower(text[j]) >= 'a' && AsciiLower(text[j]) <= 'z')))
                ++j;
            if (j < text.size() && text[j] == ')') i = j + 1;
        }
        return i;
    }
    size_t i = 0;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    return i;
}

}  // namespace

double ParseCReal(std::string_view text) {
    size_t start = 0;
    while (start < text.size() &&
           (text[start] == ' ' || (text[start] >= '\t' && text[start] <= '\r')))
        ++start;
    bool negative = false;
    if (start < text.size() && (text[start] == '+' || text[start] == '-'))
        negative = text[start++] == '-';
    const std::string_view number = text.substr(start, DecimalNumberLength(text.substr(start)));
    if (number.empty()) return 0;
    // Only the number itself, which holds no hexadecimal and no locale's
    // decimal comma, reaches the conversion; the "C" locale object makes the
    // point the decimal separator whatever the process locale is.
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    double value = 0;
    if (cLocale) {
        const std::string copy(number);  // strtod needs the terminator
        value = ::strtod_l(copy.c_str(), nullptr, cLocale);
    } else if (std::from_chars(number.data(), number.data() + number.size(), value).ec ==
               std::errc::result_out_of_range) {
        value = 0;  // no locale object at all: out-of-range text reads as 0
    }
    return negative ? -value : value;
}

double ClampPercent(double value) {
    if (!(value >= 0)) return 0;  // negative or NaN
    return value > 100 ? 100 : value;
}

std::string FormatFixed6(double value) {
    char buffer[400];  // 309 integer digits of DBL_MAX, sign, point and six decimals
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

std::string FormatTruncated(double value) {
    if (std::isnan(value)) return "0";
    if (value >= static_cast<double>(INT_MAX)) return std::to_string(INT_MAX);
    if (value <= static_cast<double>(INT_MIN)) return std::to_string(INT_MIN);
    return std::to_string(static_cast<int>(value));
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace tessarin
