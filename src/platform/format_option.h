#pragma once
// The options a format declares for its tiles (a JPEG tile's quality, a PNG
// tile's compression): where the slot file keeps each, how the command line
// spells it, what "/help" says of it and how the window sets it. The
// settings, the command mode, the help and the window loop over these
// declarations; none of them names a format's option.
//
// Declared by the formats themselves (imaging/format_registry.h); kept down
// here, beside the settings files they describe, so that the settings and
// the formats both read them without reaching into each other.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin {

// One way of giving an option on the command line, with its "/help" text:
// a switch ("/jc" sets 1, "/!jc" sets 0) or an option that takes a value
// ("/jq 90", "--quality=90").
struct FormatOptionSpelling {
    const char* name = nullptr;      // "/jq"
    const char* longName = nullptr;  // "quality", given as --quality
    bool takesValue = false;
    int value = 0;  // what a switch sets
    // The lines "/help" writes for it, in Japanese and in English, each
    // ending with a line break; the first line names the spelling.
    const char* help = nullptr;
    const char* helpEnglish = nullptr;
};

// How the window sets an option of whole numbers: a dialog with an edit and
// an up-down over the option's range, opened from its menu item.
struct OptionDialogTexts {
    const char* menuText = nullptr;   // null: opened by another command only
    const char* title = nullptr;      // "JPEG品質設定"
    const char* rangeText = nullptr;  // beside the edit: "（悪 0 ～ 100 良）"
    int editId = 0;                   // the edit's control id
};

struct FormatOption {
    // Where the slot file keeps it: [section] key=.
    const char* section = nullptr;
    const char* key = nullptr;
    int fallback = 0;  // when the file has no such key
    int minimum = 0;
    int maximum = 0;
    // A number outside the range (in a file or on the command line) is
    // clamped into it, or read as the fallback.
    bool clamps = true;
    // Written with every save of the split settings; otherwise only when
    // the window's own command changes it (a menu check or choice).
    bool savedWithSettings = true;
    // The words its values are given as, in order (value 0 first), ended by
    // a null: "/copy comments". Null: a decimal number.
    const char* const* words = nullptr;
    OptionDialogTexts dialog = {};  // title null: set by menu commands of its own
    std::span<const FormatOptionSpelling> spellings = {};

    // `number` as the option keeps it: in range.
    int Corrected(int number) const;
    // The value of `word` (any ASCII case) among `words`; -1 when none.
    int ValueOfWord(std::string_view word) const;
};

// Every format's options, in the registry's order. Defined by the format
// registry.
std::span<const FormatOption> DeclaredFormatOptions();

// The declared option kept under [section] key; null when none.
const FormatOption* FindFormatOption(std::string_view section, std::string_view key);

// The values of the declared options in one set of split settings; an
// option never set has its fallback.
class FormatOptionValues {
  public:
    int Get(std::string_view section, std::string_view key) const;
    // Corrected into the declared range; an undeclared key is not kept.
    void Set(std::string_view section, std::string_view key, int value);
    bool operator==(const FormatOptionValues& other) const;

  private:
    // By the option's place among the declared ones; empty until one is set.
    std::vector<int> values_;
};

}  // namespace tessarin
