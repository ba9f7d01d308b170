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

}  // namespace
}  // namespace tessarin
