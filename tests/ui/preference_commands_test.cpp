// The tie between menu commands and settings keys: each command keeps writing
// the key it always wrote, and the menu refresh keeps its order.

#include "ui/window/preference_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>
#include <string>

namespace tessarin {
namespace {

TEST(PreferenceCommands, EveryCommandKeepsItsKeyDefaultAndRefreshPlace) {
    struct Expected {
        int command;
        const char* section;
        const char* key;
        bool defaultOn;
    };
    // The menu refresh order, as the settings files have always been written.
    const Expected expected[] = {
        {4035, "OPTION", "ICON_DAD", false},    {4058, "OPTION", "ICON_DAD_MSG", false},
        {4034, "OPTION", "AUTO_CUT", false},    {4036, "OPTION", "NOT_SHOW_MSG", false},
        {4037, "OPTION", "LINE_DAD", true},     {4014, "VIEW", "VIEWER_MODE", false},
        {4015, "VIEW", "SAME_SCALE", false},    {4038, "VIEW", "HALFTONE", false},
        {4016, "VIEW", "CUT_LINE", true},       {4017, "VIEW", "INFO", true},
        {4018, "VIEW", "IMG_INFO", true},       {4019, "VIEW", "INI_INFO", true},
        {4020, "VIEW", "SAVE_DIR_INFO", true},  {4021, "VIEW", "ADJUST_ASP_INFO", true},
        {4022, "VIEW", "CUT_SIZE_INFO", true},  {4023, "VIEW", "CUT_OFF_INFO", true},
        {4028, "VIEW", "CUT_NUM_INFO", true},   {4029, "VIEW", "SELECT_NUM_INFO", true},
        {4030, "VIEW", "BREAKDOWN_INFO", true}, {4024, "VIEW", "FNAME_RULE_INFO", true},
        {4026, "VIEW", "JPEG_Q_INFO", true},    {4027, "VIEW", "THREAD_INFO", false},
        {4025, "VIEW", "SCALE_INFO", true},
    };
    ASSERT_EQ(std::size(kPreferenceCommands), std::size(expected));
    ASSERT_EQ(PreferenceKeys().size(), std::size(expected));
    std::set<Preference> seen;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.key);
        EXPECT_EQ(kPreferenceCommands[i].command, e.command);
        const std::optional<Preference> preference = PreferenceOfCommand(e.command);
        ASSERT_TRUE(preference.has_value());
        EXPECT_EQ(CommandOfPreference(*preference), e.command);
        EXPECT_TRUE(seen.insert(*preference).second);
        const PreferenceKey& key = KeyOf(*preference);
        EXPECT_EQ(key.preference, *preference);
        EXPECT_EQ(std::string(key.section), e.section);
        EXPECT_EQ(std::string(key.key), e.key);
        EXPECT_EQ(key.defaultOn, e.defaultOn);
    }
    // No other command toggles a preference.
    for (int command = cmd::kFirst - 1; command <= cmd::kLast + 1; ++command) {
        const bool listed = std::any_of(std::begin(expected), std::end(expected),
                                        [&](const Expected& e) { return e.command == command; });
        EXPECT_EQ(PreferenceOfCommand(command).has_value(), listed) << command;
    }
}

}  // namespace
}  // namespace tessarin
