#pragma once
// Numbers as settings files hold them, independent of the process locale (a
// window toolkit may switch LC_NUMERIC to one with a decimal comma).

#include <string>
#include <string_view>

namespace tessarin {

// As strtod in the "C" locale: leading blanks, sign, decimal or hexadecimal
// digits, exponent, "inf" and "nan"; no number at the start reads as 0.
double ParseCReal(std::string_view text);
// As printf "%f" in the "C" locale: six decimals, e.g. "12.500000".
std::string FormatFixed6(double value);
// The truncated value as a decimal integer, saturated to the int range; NaN is 0.
std::string FormatTruncated(double value);

}  // namespace tessarin
