#include "platform/text.h"

#include <locale.h>

#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>

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

}  // namespace tessarin
