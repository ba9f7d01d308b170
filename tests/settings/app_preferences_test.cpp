#include "settings/app_preferences.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/test_files.h"

namespace tessarin {
namespace {

std::string Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AppPreferences, WindowStateDefaultsAndNonPositiveSizes) {
    testing::TempDir dir;
    const std::string path = dir / "alice Tessarin.ini";
    WindowState none = ReadWindowState(path);
    EXPECT_FALSE(none.maximized);
    EXPECT_EQ(none.left, kUseDefault);
    EXPECT_EQ(none.top, kUseDefault);
    EXPECT_EQ(none.width, kUseDefault);
    EXPECT_EQ(none.height, kUseDefault);

    testing::WriteBytes(path, {});
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

TEST(AppPreferences, WritesLeaveTheRestOfTheFileAlone) {
    testing::TempDir dir;
    const std::string path = dir / "alice Tessarin.ini";
    std::ofstream(path) << "; mine\n[INI]\nNO=3\n[OPTION]\nNUM_THREAD=4\n";
    ASSERT_TRUE(WriteWindowPosOnBoot(path, 2));
    ASSERT_TRUE(WritePreferenceFlag(path, *FindPreferenceFlag(4014), true));
    ASSERT_TRUE(SaveWindowState(path, {true, -8, 16, 1024, 700}));
    EXPECT_EQ(Text(path),
              "; mine\n[INI]\nNO=3\n[OPTION]\nNUM_THREAD=4\nWINDOW_POS_ON_BOOT=2\n"
              "[VIEW]\nVIEWER_MODE=1\n"
              "[WINDOW_STATE]\nIS_ZOOMED=1\nLEFT=-8\nTOP=16\nWIDTH=1024\nHEIGHT=700\n");
    EXPECT_EQ(ReadWindowPosOnBoot(path), 2);
    const WindowState back = ReadWindowState(path);
    EXPECT_TRUE(back.maximized);
    EXPECT_EQ(back.width, 1024);
}

}  // namespace
}  // namespace tessarin
