#pragma once
// English for the engine's Japanese texts: the failure messages, the
// questions before a split and the command mode's own lines. The window
// translates the same texts through its Qt translation (context "Tessarin",
// translations/tessarin_en.ts); the console, which has no Qt, looks them up
// here.

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace tessarin {

struct CatalogueEntry {
    const char* japanese;
    const char* english;
};

std::span<const CatalogueEntry> EngineCatalogue();

// The English of a Japanese text in the catalogue, or null.
const char* EnglishFor(std::string_view japanese);

// The translation of a whole text, or empty when there is none: the
// catalogue for the console, the Qt translation for the window.
using TextLookup = std::function<std::string(std::string_view)>;

// `text` translated by `lookup`, or, when only its first line has a
// translation, that line translated and the rest kept ("message\n\npath"),
// or, for a one-line "message：detail", the message translated and the detail
// kept after ": "; empty when none has one.
std::string TranslateMessage(std::string_view text, const TextLookup& lookup);

// `line` with the reason in its last bracket pair translated as
// TranslateMessage does; a path may hold brackets of its own, so the reason is
// the bracketed tail that has a translation. Unchanged when none has.
std::string TranslateResultLine(const std::string& line, const TextLookup& lookup);

// `text` in the language of the messages (see UsesJapaneseTexts). A text
// whose first line is in the catalogue has that line translated and keeps
// the rest ("message\n\npath"); any other text stays as it is.
std::string LocalizedMessage(const std::string& text);

// A result line ("○：…", "×：…【reason】", "△：…【reason】") with its
// reason translated as LocalizedMessage does; the marks, the colon and the
// brackets stay, so scripts tell the outcomes apart in any language.
std::string LocalizedResultLine(const std::string& line);

}  // namespace tessarin
