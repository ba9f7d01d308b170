#pragma once
// Comparing names as the user's language sorts them (ICU collation), for
// listings in name order.

#include <string>
#include <string_view>

namespace tessarin {

// The locale names are collated for: LC_ALL, then LC_COLLATE, then LANG (the
// first set and not empty), without its codeset or modifier ("de_DE" for
// "de_DE.UTF-8@euro"); "" (ICU's root order) for C, POSIX and no locale.
std::string CollationLocale();

// -1, 0 or 1 as `a` sorts before, with or after `b` in that locale's order,
// letters compared without case (accents count), and runs of digits by their
// numeric value. Names are UTF-8; bytes that are not read as U+FFFD. Equal
// names may still differ in case, in leading zeros or in their bytes. The
// collator is made once per process; comparing is safe from any thread.
int CollateNames(std::string_view a, std::string_view b);

}  // namespace tessarin
