#pragma once
// Numbers as settings files hold them, independent of the process locale (a
// window toolkit may switch LC_NUMERIC to one with a decimal comma).

#include <string>
#include <string_view>

namespace tessarin {

// The one reading of reals, for options and settings files alike: leading
// blanks, a sign, then a decimal number as the "C" locale writes it (digits
// with an optional point and exponent, or "inf", "infinity", "nan" in any
// case), up to the first character that does not continue it. Decimal only:
// "0x20" reads as 0. No number at the start reads as 0.
double ParseCReal(std::string_view text);
// A percent value in 0..100; NaN reads as 0.
double ClampPercent(double value);
// As printf "%f" in the "C" locale: six decimals, e.g. "12.500000".
std::string FormatFixed6(double value);
// The truncated value as a decimal integer, saturated to the int range; NaN is 0.
std::string FormatTruncated(double value);

}  // namespace tessarin
