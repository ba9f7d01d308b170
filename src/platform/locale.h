#pragma once
// The language of the program's texts. Its texts are written in Japanese;
// English stands in for every other language until more translations exist.

#include <string>

namespace tessarin {

// The locale that decides the language of messages, as GNU programs find it:
// LC_ALL, then LC_MESSAGES, then LANG; the first one set and not empty.
std::string MessagesLocale();

// Whether the texts are shown as written (Japanese): for a "ja" locale, for
// "C" and "POSIX", and when no locale is set, so scripts that expect the
// Japanese texts keep working. As with gettext, LANGUAGE (a list such as
// "en_GB:ja") overrides a locale other than C and POSIX; its first entry
// decides.
bool UsesJapaneseTexts();

// `japanese` or `english`, by UsesJapaneseTexts.
const char* Localized(const char* japanese, const char* english);

}  // namespace tessarin
