#include "platform/text.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

// Terminal columns: wide characters take two, combining marks none, and a
// byte that is no UTF-8 one; a name is cut only between characters.
TEST(DisplayText, ColumnsAndMiddleShortening) {
    EXPECT_EQ(DisplayColumns("abc"), 3u);
    EXPECT_EQ(DisplayColumns("タイル"), 6u);
    EXPECT_EQ(DisplayColumns("e\xCC\x81"), 1u);         // e + U+0301
    EXPECT_EQ(DisplayColumns("\xFF\xE3\x82x"), 4u);     // stray bytes: one column each
    EXPECT_EQ(DisplayColumns("\xF0\x9F\x8C\x8B"), 2u);  // U+1F30B
    struct Case {
        const char* text;
        size_t columns;
        const char* expected;
    };
    for (const Case& c : {Case{"abcdefghij", 10, "abcdefghij"}, Case{"abcdefghij", 9, "abcd…ghij"},
                          Case{"abcdefghij", 2, "a…"}, Case{"abcdefghij", 1, "…"},
                          Case{"abcdefghij", 0, ""}, Case{"日本語の名前.png", 9, "日本….png"},
                          Case{"日本語", 4, "日…"}, Case{"a\xC3\xA9\xC3\xA9\xC3\xA9z", 4, "aé…z"},
                          Case{"\xFF\xFE\xFDxyz", 4, "\xFF\xFE…z"}}) {
        const std::string shortened = ShortenMiddle(c.text, c.columns);
        EXPECT_EQ(shortened, c.expected) << c.text << " in " << c.columns;
        EXPECT_LE(DisplayColumns(shortened), c.columns) << c.text;
    }
}

}  // namespace
}  // namespace tessarin
