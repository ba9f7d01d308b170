#include "platform/locale.h"

#include <cstdlib>

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
    return locale.empty() || locale == "C" || locale.rfind("C.", 0) == 0 || locale == "POSIX" ||
           locale.rfind("ja", 0) == 0;
}

const char* Localized(const char* japanese, const char* english) {
    return UsesJapaneseTexts() ? japanese : english;
}

}  // namespace tessarin
