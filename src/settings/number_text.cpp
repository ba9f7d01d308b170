#include "settings/number_text.h"

#include <locale.h>

#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace tessarin {

double ParseCReal(std::string_view text) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const std::string copy(text);  // strtod needs the terminator
    if (cLocale) return ::strtod_l(copy.c_str(), nullptr, cLocale);
    // Without a locale object: plain decimal text only.
    std::string_view rest = text;
    while (!rest.empty() && (rest.front() == ' ' || (rest.front() >= '\t' && rest.front() <= '\r')))
        rest.remove_prefix(1);
    if (!rest.empty() && rest.front() == '+') rest.remove_prefix(1);
    double value = 0;
    std::from_chars(rest.data(), rest.data() + rest.size(), value);
    return value;
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
