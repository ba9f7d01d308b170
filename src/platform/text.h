#pragma once
// Text helpers every layer shares: the integer grammar of settings files and
// options, ASCII case folding, and counting and cutting UTF-8 text.

#include <cstddef>
#include <string>
#include <string_view>

namespace tessarin {

// Leading blanks, an optional sign, then decimal digits up to the first other
// character; no digits read as 0. Saturates at the int range.
int ParseDecimalInt(std::string_view text);

char AsciiLower(char c);
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

}  // namespace tessarin
