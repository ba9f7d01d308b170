#include "settings/app_preferences.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_files.h"

namespace tessarin {
namespace {

TEST(AppPreferences, WindowStateDefaultsAndNonPositiveSizes) {
    testing::TempDir dir;
    const std::string path = dir / "alice Tessarin.ini";
    WindowState none = ReadWindowState(path);
    EXPECT_FALSE(none.maximized);
    EXPECT_EQ(none.left, kUseDefault);
    EXPECT_EQ(none.top, kUseDefault);
    EXPECT_EQ(none.width, kUseDefault);
    EXPECT_EQ(none.height, kUseDefault);

    std::ofstream(path) << "[WINDOW_STATE]\nIS_ZOOMED=5\nLEFT=-20\nTOP=30\nWIDTH=0\nHEIGHT=-4\n";
    WindowState odd = ReadWindowState(path);
    EXPECT_TRUE(odd.maximized);
    EXPECT_EQ(odd.left, -20);
    EXPECT_EQ(odd.top, 30);
    EXPECT_EQ(odd.width, kUseDefault);
    EXPECT_EQ(odd.height, kUseDefault);

    for (int stored : {-1, 0, 1, 2, 3, 7})
        EXPECT_EQ(WindowPosMenuValue(stored), stored >= 0 && stored <= 2 ? stored : 0) << stored;
}

TEST(AppPreferences, EachPreferenceReadsAndWritesOnlyItsOwnKey) {
    testing::TempDir dir;
    const std::string path = dir / "alice Tessarin.ini";
    for (const PreferenceKey& flag : PreferenceKeys()) {
        SCOPED_TRACE(flag.key);
        ProfileDocument before;
        ReadProfileFile(path, before);
        EXPECT_EQ(ReadPreference(before, flag.preference), flag.defaultOn);
        ASSERT_TRUE(WritePreference(path, flag.preference, !flag.defaultOn));
        EXPECT_EQ(GetProfileString(path, flag.section, flag.key, ""), flag.defaultOn ? "0" : "1");
        ProfileDocument after;
        ReadProfileFile(path, after);
        // The flags written earlier keep their values.
        for (const PreferenceKey& other : PreferenceKeys())
            EXPECT_EQ(ReadPreference(after, other.preference),
                      &other <= &flag ? !other.defaultOn : other.defaultOn)
                << other.key;
    }
    // Any non-zero number counts as on.
    ASSERT_TRUE(WriteProfileString(path, "VIEW", "THREAD_INFO", "-3"));
    ProfileDocument odd;
    ReadProfileFile(path, odd);
    EXPECT_TRUE(ReadPreference(odd, Preference::ThreadInfo));
}

}  // namespace
}  // namespace tessarin
