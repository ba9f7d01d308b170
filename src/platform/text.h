#pragma once
// Text helpers every layer shares: the integer and real grammars of settings
// files, options and dialogs, independent of the process locale (a window
// toolkit may switch LC_NUMERIC to one with a decimal comma), ASCII case
// folding, and counting and cutting UTF-8 text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessarin {

// Leading blanks, an optional sign, then decimal digits up to the first other
// character; no digits read as 0. Saturates at the int range.
int ParseDecimalInt(std::string_view text);

char AsciiLower(char c);
std::string AsciiLower(std::string_view text);
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);

// Characters of UTF-8 text: every byte that does not continue a sequence.
size_t Utf8CharCount(std::string_view text);
// Cuts UTF-8 text to at most `maxChars` characters without splitting one.
std::string TruncateUtf8(std::string_view text, size_t maxChars);
// The bytes of that cut.
size_t Utf8PrefixLength(std::string_view text, size_t maxChars);
// The prefix of UTF-8 text that fits in `maxUnits` UTF-16 units, never
// splitting a character; stray bytes count as one unit each.
std::string LimitUtf16Units(std::string_view text, size_t maxUnits);

// Columns the text takes on a terminal: 2 for an East Asian wide or
// full-width character, 0 for a combining mark, 1 for anything else (a byte
// that is not part of a valid UTF-8 sequence included).
size_t DisplayColumns(std::string_view text);
// The text itself when it fits in `columns`, else its start and its end
// around "…" in at most that many columns; characters are never split.
std::string ShortenMiddle(std::string_view text, size_t columns);

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

// Appends the UTF-8 encoding of the code point `cp`.
void AppendUtf8(std::string& out, std::uint32_t cp);

}  // namespace tessarin
