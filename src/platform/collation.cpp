#include "platform/collation.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

namespace tessarin {

namespace {

struct CollatorCloser {
    void operator()(UCollator* collator) const { ucol_close(collator); }
};

// Null when ICU has no collator at all (its data missing): names then compare
// by their bytes alone.
UCollator* OpenCollator() {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(CollationLocale().c_str(), &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    // Secondary strength: case is a tertiary difference and so ignored;
    // "é" and "e" still differ.
    ucol_setStrength(collator, UCOL_SECONDARY);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    return collator;
}

// Built once; ICU's const comparisons are safe to share between threads.
const UCollator* SharedCollator() {
    static const std::unique_ptr<UCollator, CollatorCloser> collator(OpenCollator());
    return collator.get();
}

}  // namespace

std::string CollationLocale() {
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            locale = value;
            break;
        }
    }
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale == "C" || locale == "POSIX") return {};
    return locale;
}

int CollateNames(std::string_view a, std::string_view b) {
    const UCollator* collator = SharedCollator();
    if (!collator) return 0;
    UErrorCode status = U_ZERO_ERROR;
    // (No name comes near ICU's 2 GiB length limit; the cap keeps the cast sound.)
    const auto length = [](std::string_view s) {
        return static_cast<int32_t>(std::min<size_t>(s.size(), INT32_MAX));
    };
    const UCollationResult result =
        ucol_strcollUTF8(collator, a.data(), length(a), b.data(), length(b), &status);
    if (U_FAILURE(status)) return 0;
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

}  // namespace tessarin
