#include "platform/format_option.h"

#include <algorithm>

#include "platform/text.h"

namespace tessarin {

int FormatOption::Corrected(int number) const {
    if (number >= minimum && number <= maximum) return number;
    return clamps ? std::clamp(number, minimum, maximum) : fallback;
}

int FormatOption::ValueOfWord(std::string_view word) const {
    if (!words) return -1;
    for (int i = 0; words[i]; ++i)
        if (EqualsAsciiNoCase(word, words[i])) return i;
    return -1;
}

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

// The option's place among the declared ones; kNone when none.
size_t IndexOf(std::string_view section, std::string_view key) {
    const std::span<const FormatOption> options = DeclaredFormatOptions();
    for (size_t i = 0; i < options.size(); ++i)
        if (section == options[i].section && key == options[i].key) return i;
    return kNone;
}

}  // namespace

const FormatOption* FindFormatOption(std::string_view section, std::string_view key) {
    const size_t index = IndexOf(section, key);
    return index == kNone ? nullptr : &DeclaredFormatOptions()[index];
}

int FormatOptionValues::Get(std::string_view section, std::string_view key) const {
    const size_t index = IndexOf(section, key);
    if (index == kNone) return 0;
    if (index < values_.size()) return values_[index];
    return DeclaredFormatOptions()[index].fallback;
}

void FormatOptionValues::Set(std::string_view section, std::string_view key, int value) {
    const size_t index = IndexOf(section, key);
    if (index == kNone) return;
    const std::span<const FormatOption> options = DeclaredFormatOptions();
    if (values_.empty())
        for (const FormatOption& option : options) values_.push_back(option.fallback);
    values_[index] = options[index].Corrected(value);
}

bool FormatOptionValues::operator==(const FormatOptionValues& other) const {
    for (const FormatOption& option : DeclaredFormatOptions())
        if (Get(option.section, option.key) != other.Get(option.section, option.key)) return false;
    return true;
}

}  // namespace tessarin
