#include "platform/locale.h"

#include <cstdlib>
#include <string_view>

namespace tessarin {

std::string MessagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

bool UsesJapaneseTexts() {
    const std::string locale = MessagesLocale();
    if (locale.empty() || locale == "C" || locale.rfind("C.", 0) == 0 || locale == "POSIX")
        return true;
    const char* languages = std::getenv("LANGUAGE");
    if (languages && *languages && *languages != ':')
        return std::string_view(languages).starts_with("ja");
    return locale.rfind("ja", 0) == 0;
}

const char* Localized(const char* japanese, const char* english) {
    return UsesJapaneseTexts() ? japanese : english;
}

}  // namespace tessarin
