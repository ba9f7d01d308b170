// Start-up and shut-down: placement, the window state saved on close, bad
// settings files, the command mode without a display, and the real program
// under Xvfb.

#include "ui/window/window_start.h"

#include <sys/stat.h>

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <cstdio>
#include <filesystem>
#include <random>

#include "app/command_mode.h"
#include "imaging/format_registry.h"
#include "platform/paths.h"
#include "settings/app_preferences.h"
#include "ui/window/command_ids.h"
#include "ui/window/window_placement.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using testing::WindowTest;

TEST(WindowPlacement, SavedRectanglesDefaultsAndUnpluggedMonitors) {
    const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QRect available(0, 0, 1920, 1040);
    struct Case {
        WindowState state;
        bool hasPosition;
        QRect geometry;
    };
    const Case cases[] = {
        // Nothing saved: the window system places a window of three quarters.
        {{}, false, QRect(0, 0, 1440, 780)},
        {{false, 100, 50, 800, 600}, true, QRect(100, 50, 800, 600)},
        // A missing size falls back on its own; the position stays.
        {{false, 100, 50, kUseDefault, 500}, true, QRect(100, 50, 1440, 500)},
        // Partly off the left edge, or on the second monitor: as saved.
        {{false, -790, 10, 800, 600}, true, QRect(-790, 10, 800, 600)},
        {{false, 2000, 100, 800, 600}, true, QRect(2000, 100, 800, 600)},
        // On a monitor that is gone: centred on the primary screen.
        {{false, 5000, 100, 800, 600}, true, QRect(560, 220, 800, 600)},
        {{false, 100, -3000, 2500, 600}, true, QRect(0, 220, 1920, 600)},
        {{false, kUseDefault, 50, 800, 600}, false, QRect(0, 0, 800, 600)},
    };
    for (const Case& c : cases) {
        const Placement p = PlaceWindow(c.state, screens, available);
        EXPECT_EQ(p.hasPosition, c.hasPosition) << c.state.left << "," << c.state.top;
        EXPECT_EQ(p.geometry, c.geometry) << c.state.left << "," << c.state.top;
    }
}

// The window is Japanese, and so are the buttons and dialogs Qt makes for it.
TEST(WindowStart, QtsOwnTextsFollowTheWindowsLanguage) {
    const QString qm = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm";
    if (!QFileInfo::exists(qm))
        GTEST_SKIP() << qm.toStdString() << " is missing (package qt6-translations-l10n)";
    // A language without translations changes nothing.
    EXPECT_EQ(InstallQtTranslation(QStringLiteral("zz")), nullptr);
    const std::unique_ptr<QTranslator> texts = InstallQtTranslation(QStringLiteral("ja"));
    ASSERT_NE(texts, nullptr);
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QFileDialog save;
    save.setAcceptMode(QFileDialog::AcceptSave);
    auto* buttons = save.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    const std::pair<QAbstractButton*, const char*> shown[] = {
        {box.button(QMessageBox::Yes), "はい(&Y)"},
        {box.button(QMessageBox::No), "いいえ(&N)"},
        {box.button(QMessageBox::Cancel), "キャンセル"},
        {buttons->button(QDialogButtonBox::Save), "保存(&S)"},
    };
    for (const auto& [button, text] : shown) EXPECT_EQ(button->text().toStdString(), text);
}

TEST_F(WindowTest, StartupPlacementMaximisesOrRestoresTheSavedState) {
    struct Case {
        const char* onBoot;
        const char* zoomed;
        bool maximized;
    };
    const QRect saved(60, 70, 500, 400);
    for (const Case& c : {Case{"0", "1", false}, Case{"1", "0", true}, Case{"2", "1", true},
                          Case{"2", "0", false}, Case{"7", "1", false}}) {
        SCOPED_TRACE(std::string(c.onBoot) + " " + c.zoomed);
        ASSERT_TRUE(WriteProfileStrings(paths_.mainSettingsPath,
                                        {{"OPTION", "WINDOW_POS_ON_BOOT", c.onBoot},
                                         {"WINDOW_STATE", "IS_ZOOMED", c.zoomed},
                                         {"WINDOW_STATE", "LEFT", "60"},
                                         {"WINDOW_STATE", "TOP", "70"},
                                         {"WINDOW_STATE", "WIDTH", "500"},
                                         {"WINDOW_STATE", "HEIGHT", "400"}}));
        MainWindow window(settings_, paths_);
        PlaceAndShow(window, paths_.mainSettingsPath);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(window.isMaximized(), c.maximized);
        if (std::string(c.onBoot) == "2") {
            EXPECT_EQ(window.normalGeometry(), saved);
        }
    }
}

TEST_F(WindowTest, ClosingSavesTheRestoredRectangleOnlyWhenAskedTo) {
    MainWindow& w = OpenWindow();
    w.setGeometry(100, 120, 640, 480);
    ASSERT_TRUE(w.close());
    EXPECT_EQ(MainValue("WINDOW_STATE", "LEFT"), "<none>");  // placement 0 writes nothing

    Trigger(cmd::kPosRestore);
    struct Case {
        void (QWidget::*show)();
        const char* zoomed;
    };
    for (const Case& c : {Case{&QWidget::showNormal, "0"}, Case{&QWidget::showMaximized, "1"},
                          Case{&QWidget::showMinimized, "0"}}) {
        w.showNormal();
        w.setGeometry(100, 120, 640, 480);
        (w.*c.show)();
        QTest::qWait(10);
        ASSERT_TRUE(w.close());
        EXPECT_EQ(MainValue("WINDOW_STATE", "IS_ZOOMED"), c.zoomed);
        EXPECT_EQ(MainValue("WINDOW_STATE", "LEFT"), "100");
        EXPECT_EQ(MainValue("WINDOW_STATE", "TOP"), "120");
        EXPECT_EQ(MainValue("WINDOW_STATE", "WIDTH"), "640");
        EXPECT_EQ(MainValue("WINDOW_STATE", "HEIGHT"), "480");
    }
    // The next window opens where this one was closed.
    window_.reset();
    MainWindow next(settings_, paths_);
    PlaceAndShow(next, paths_.mainSettingsPath);
    EXPECT_EQ(next.geometry(), QRect(100, 120, 640, 480));
}

TEST_F(WindowTest, BadMainSettingsFilesNeverStopTheWindow) {
    std::vector<uint8_t> noise(4096);
    std::mt19937 random(7);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> utf16 = {0xFF, 0xFE};
    for (char c : std::string("[VIEW]\r\nVIEWER_MODE=1\r\n")) {
        utf16.push_back(static_cast<uint8_t>(c));
        utf16.push_back(0);
    }
    std::vector<uint8_t> huge(kMaxProfileBytes + 1, '\n');
    const std::string plain = "[VIEW]\nVIEWER_MODE=1\n";
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool readOnly;
        bool viewerMode;
    };
    const Case cases[] = {
        {"noise", noise, false, false},
        {"huge", huge, false, false},
        {"UTF-16", utf16, false, true},
        {"read-only", {plain.begin(), plain.end()}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(fs::path(paths_.mainSettingsPath).parent_path());
        fs::remove(paths_.mainSettingsPath);
        testing::WriteBytes(paths_.mainSettingsPath, c.bytes);
        if (c.readOnly) ::chmod(paths_.mainSettingsPath.c_str(), 0444);
        MainWindow& w = OpenWindow();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.IsChecked(cmd::kViewerMode), c.viewerMode);
        EXPECT_TRUE(w.IsChecked(cmd::kCutLine));
        window_.reset();
        ::chmod(paths_.mainSettingsPath.c_str(), 0644);
    }

    // A missing settings folder is made on the first write.
    paths_ = ResolveSettingsPathsIn(dir_ / "a/b/tessarin", "alice");
    OpenWindow();
    Trigger(cmd::kHalftone);
    EXPECT_EQ(MainValue("VIEW", "HALFTONE"), "1");
    EXPECT_TRUE(errors_->empty());
}

TEST_F(WindowTest, CommandModeRunsWithoutAnyDisplay) {
    // RunTessarin clears DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM.
    const std::string image = WriteBmp("a.bmp", 8, 8);
    fs::create_directory(dir_ / "out");
    const auto run = testing::RunTessarin({"/cmd", "/x", "4", "/outdir", dir_ / "out", image},
                                          dir_.Path().string());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("○：" + image), std::string::npos) << run.output;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "out"), fs::directory_iterator()), 2);

    // Without the command mode the window cannot open: a message, not a crash.
    const auto window = testing::RunTessarin({}, dir_.Path().string());
    EXPECT_EQ(window.exitCode, 255);
    EXPECT_EQ(window.output, CommandBanner());
}

// Starts the program with one argument and waits up to 30 s for its window.
constexpr const char* kStartAndWaitForTheWindow =
    "\"$0\" \"$1\" & pid=$!; i=0; "
    "while [ $i -lt 300 ]; do "
    "  if xwininfo -root -tree | grep -q \"Tessarin - \"; then break; fi; "
    "  sleep 0.1; i=$((i+1)); "
    "done; ";

// A slot whose tiles of `size` x `size` pixels go to `tiles`.
void WriteTileSlot(const SettingsPaths& files, const std::string& tiles, const char* size) {
    ASSERT_TRUE(WriteProfileStrings(files.slotSettingsPath, {{"SAVE_FOLDER", "PATH", tiles},
                                                             {"CUT_SIZE", "WIDTH_UNIT", "0"},
                                                             {"CUT_SIZE", "WIDTH", size},
                                                             {"CUT_SIZE", "HEIGHT_UNIT", "0"},
                                                             {"CUT_SIZE", "HEIGHT", size}}));
}

// Runs `script` in a shell under a new Xvfb display with the settings in
// `config`; the script gets the program as $0 and `args` as $1, $2, ...
// Returns what it printed (standard error too). Under LeakSanitizer the
// session bus library's buffer kept for the life of the process is no leak
// of ours.
std::string RunUnderXvfb(const std::string& config, const std::string& script,
                         const std::vector<std::string>& args) {
    std::string command = "env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" + config +
                          "' LSAN_OPTIONS=suppressions='" + TESSARIN_TEST_DATA +
                          "/../ui/lsan.supp' xvfb-run -a -s '-screen 0 1280x1024x24' sh -c '" +
                          script + "' '" + TESSARIN_EXE + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    return testing::CaptureCommand(command + " 2>&1");
}

TEST_F(WindowTest, RealProgramOpensItsWindowUnderXvfb) {
    const std::string image = WriteBmp("an image.bmp", 320, 200);
    const std::string config = dir_ / "xdg";
    ASSERT_TRUE(WriteProfileString(config + "/tessarin/" + UserName() + " Tessarin.ini", "OPTION",
                                   "WINDOW_POS_ON_BOOT", "1"));
    // Start the program, wait up to 30 s for its window, list the windows, stop it.
    const std::string script =
        std::string(kStartAndWaitForTheWindow) + "xwininfo -root -tree; kill $pid; wait $pid";
    const std::string out = RunUnderXvfb(config, script, {image});
    EXPECT_NE(out.find("\"Tessarin - " + image + "\": (\"tessarin\" \"tessarin\")"),
              std::string::npos)
        << out;
}

TEST_F(WindowTest, RealProgramSplitsFilesDroppedOnItsIconAndEndsOnEnter) {
    const std::string a = WriteBmp("a.bmp", 64, 32), b = WriteBmp("b.bmp", 64, 32);
    const std::string tiles = dir_ / "tiles";
    fs::create_directory(tiles);
    const std::string config = dir_ / "xdg";
    const SettingsPaths files = ResolveSettingsPathsIn(config + "/tessarin", UserName());
    ASSERT_TRUE(WriteProfileString(files.mainSettingsPath, "OPTION", "ICON_DAD", "1"));
    WriteTileSlot(files, tiles, "32");
    // Start the program, wait up to 30 s for the result list, press Enter in
    // it and wait up to 20 s for the program to end.
    const std::string script =
        "\"$0\" \"$1\" \"$2\" & pid=$!; i=0; "
        "while [ $i -lt 300 ]; do "
        "  if xwininfo -root -tree | grep -q \"分割処理終了！\"; then echo listed; break; fi; "
        "  sleep 0.1; i=$((i+1)); "
        "done; "
        "ls \"$3\"; "
        // Without a window manager the list may not take the focus at the
        // first try: press Enter in it once a second until the program ends.
        "i=0; while kill -0 $pid 2>/dev/null && [ $i -lt 200 ]; do "
        "  [ $((i % 10)) -eq 0 ] && xdotool search --onlyvisible --name \"分割処理終了\" "
        "    windowfocus --sync key Return >/dev/null 2>&1; "
        "  sleep 0.1; i=$((i+1)); "
        "done; "
        "if kill -0 $pid 2>/dev/null; then echo still-running; kill $pid; fi; "
        "wait $pid; echo \"exit=$?\"";
    const std::string out = RunUnderXvfb(config, script, {a, b, tiles});
    EXPECT_NE(out.find("listed"), std::string::npos) << out;
    for (const char* tile : {"a_1_1.bmp", "a_1_2.bmp", "b_1_1.bmp", "b_1_2.bmp"})
        EXPECT_NE(out.find(tile), std::string::npos) << tile << "\n" << out;
    EXPECT_EQ(out.find("still-running"), std::string::npos) << out;
    EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
}

// A split long enough to show its tiles in the title: once its result has
// been answered, the title names the image alone again.
TEST_F(WindowTest, RealProgramTitleDropsTheSplitProgressOnceAnswered) {
    const std::string image = WriteBmp("long split.bmp", 480, 480);
    const std::string tiles = dir_ / "tiles";
    fs::create_directory(tiles);
    const std::string config = dir_ / "xdg";
    const SettingsPaths files = ResolveSettingsPathsIn(config + "/tessarin", UserName());
    WriteTileSlot(files, tiles, "4");
    // Start the program, press F3 in its window, wait up to 120 s for the
    // result, keep it open a second, answer it and list the windows.
    const std::string script =
        std::string(kStartAndWaitForTheWindow) +
        "xdotool search --onlyvisible --name \"Tessarin - \" windowfocus --sync key F3; "
        "i=0; while [ $i -lt 1200 ]; do "
        "  if xdotool search --onlyvisible --name \"^確認$\" >/dev/null 2>&1; then "
        "    echo answered; break; fi; "
        "  sleep 0.1; i=$((i+1)); "
        "done; "
        "sleep 1; "
        "i=0; while xdotool search --onlyvisible --name \"^確認$\" >/dev/null 2>&1 "
        "  && [ $i -lt 20 ]; do "
        "  xdotool search --onlyvisible --name \"^確認$\" windowfocus --sync key Return "
        "    >/dev/null 2>&1; sleep 0.5; i=$((i+1)); "
        "done; "
        "sleep 0.5; xwininfo -root -tree | grep \"Tessarin\"; kill $pid; wait $pid";
    const std::string out = RunUnderXvfb(config, script, {image});
    EXPECT_NE(out.find("answered"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Tessarin - " + image + "\": (\"tessarin\""), std::string::npos) << out;
    EXPECT_EQ(out.find("タイル"), std::string::npos) << out;
    EXPECT_EQ(testing::FileNames(tiles).size(), 120u * 120u);
}

// The tile format chosen from the keyboard in the settings menu: the slot
// file keeps it, and F3 writes every tile in it.
TEST_F(WindowTest, RealProgramWritesTilesInTheFormatChosenInItsMenu) {
    const std::string image = WriteBmp("picture.bmp", 64, 32);
    const std::string tiles = dir_ / "tiles";
    fs::create_directory(tiles);
    const std::string config = dir_ / "xdg";
    const SettingsPaths files = ResolveSettingsPathsIn(config + "/tessarin", UserName());
    WriteTileSlot(files, tiles, "32");
    // 分割設定(&S) → タイルの形式(&T) → &PNG, then F3 and the answer.
    const std::string script =
        std::string(kStartAndWaitForTheWindow) +
        "w=$(xdotool search --onlyvisible --name \"Tessarin - \" | head -1); "
        "xdotool windowfocus --sync $w key alt+s; sleep 0.5; xdotool key t; sleep 0.5; "
        "xdotool key p; sleep 0.5; "
        "xdotool windowfocus --sync $w key F3; "
        "i=0; while [ $i -lt 300 ]; do "
        "  if xdotool search --onlyvisible --name \"^確認$\" >/dev/null 2>&1; then "
        "    echo answered; break; fi; "
        "  sleep 0.1; i=$((i+1)); "
        "done; "
        "xdotool search --onlyvisible --name \"^確認$\" windowfocus --sync key Return "
        "  >/dev/null 2>&1; sleep 0.5; kill $pid; wait $pid";
    const std::string out = RunUnderXvfb(config, script, {image});
    EXPECT_NE(out.find("answered"), std::string::npos) << out;
    EXPECT_EQ(GetProfileString(files.slotSettingsPath, "OPTION", "FORMAT", ""), "png") << out;
    EXPECT_EQ(testing::FileNames(tiles),
              (std::vector<std::string>{"picture_1_1.png", "picture_1_2.png"}))
        << out;
    const std::vector<uint8_t> bytes = testing::ReadBytes(tiles + "/picture_1_1.png");
    ASSERT_GE(bytes.size(), kSniffBytes);
    EXPECT_EQ(SniffImageFormat(bytes.data(), bytes.size()), FindImageFormatByName("PNG"));
}

// The end-to-end run of an image larger than a raster may be: the program
// opens the 33,000 x 33,000 JPEG reduced, and the middle tile, selected and
// split with F3, is the command mode's tile to the byte.
TEST_F(WindowTest, RealProgramOpensAnImageBeyondARasterAndSplitsASelectedTile) {
    const std::string image = dir_ / "huge.jpg";
    testing::WriteFlatJpeg(image, 33000, 33000);
    const std::string tiles = dir_ / "tiles", cmd = dir_ / "cmd";
    fs::create_directory(tiles);
    fs::create_directory(cmd);
    const std::string config = dir_ / "xdg";
    const SettingsPaths files = ResolveSettingsPathsIn(config + "/tessarin", UserName());
    ASSERT_TRUE(WriteProfileString(files.mainSettingsPath, "OPTION", "WINDOW_POS_ON_BOOT", "1"));
    WriteTileSlot(files, tiles, "11000");
    // Wait for the window, then for the load to end (the program idle for a
    // second); select the tile under the middle of the window, split it, and
    // wait up to 200 s for the result.
    const std::string script =
        std::string(kStartAndWaitForTheWindow) +
        "last=-1; i=0; while [ $i -lt 300 ]; do "
        "  now=$(cut -d \" \" -f 14,15 /proc/$pid/stat); "
        "  [ \"$now\" = \"$last\" ] && break; last=$now; sleep 1; i=$((i+1)); "
        "done; "
        "w=$(xdotool search --onlyvisible --name \"Tessarin - \" | head -1); "
        "eval $(xdotool getwindowgeometry --shell $w); "
        "xdotool windowfocus --sync $w key F10; sleep 0.5; "
        "xdotool mousemove --window $w $((WIDTH / 2)) $((HEIGHT / 2)) click 1; sleep 1.5; "
        "xdotool windowfocus --sync $w key F3; "
        "i=0; while [ $i -lt 2000 ]; do "
        "  if xdotool search --onlyvisible --name \"^確認$\" >/dev/null 2>&1; then "
        "    echo answered; break; fi; "
        "  sleep 0.1; i=$((i+1)); "
        "done; "
        "xwininfo -root -tree | grep \"Tessarin\"; kill $pid; wait $pid";
    const std::string out = RunUnderXvfb(config, script, {image});
    EXPECT_NE(out.find("answered"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Tessarin - " + image + "\": (\"tessarin\""), std::string::npos) << out;
    const std::vector<std::string> written = testing::FileNames(tiles);
    ASSERT_EQ(written, std::vector<std::string>{"huge_2_2.jpg"}) << out;

    const std::string command = "XDG_CONFIG_HOME='" + config + "' '" + TESSARIN_EXE +
                                "' /cmd /outdir '" + cmd + "' '" + image + "' 2>&1";
    const std::string printed = testing::CaptureCommand(command);
    ASSERT_EQ(testing::FileNames(cmd).size(), 9u) << printed;
    EXPECT_TRUE(testing::ReadBytes(tiles + "/" + written[0]) ==
                testing::ReadBytes(cmd + "/" + written[0]));
}

// Without a window manager: the window takes the keyboard focus when it
// opens and again when a dialog closes, so F-keys typed reach it; F3 stops
// the load of a huge image (the window then shows no image, as before it),
// and closing the window during a load ends the program at once.
TEST_F(WindowTest, RealProgramTakesTheFocusAndStopsAndEndsLoads) {
    // Tenths of a second the program has to end in after its window closes
    // (3 s), and to show a title asked for (10 s); six times as much for a
    // build whose every memory access is followed.
#ifdef __SANITIZE_THREAD__
    const std::string endTenths = "180", titleTenths = "600";
#else
    const std::string endTenths = "30", titleTenths = "100";
#endif
    const std::string image = dir_ / "huge.jpg";
    testing::WriteFlatJpeg(image, 60000, 60000);
    const std::string config = dir_ / "xdg";
    // Waits for the window title $1 (a grep pattern).
    const std::string waitTitle =
        "title() { i=0; while [ $i -lt " + titleTenths +
        " ]; do "
        "  xwininfo -root -tree | grep -q \"$1\" && return 0; sleep 0.1; i=$((i+1)); "
        "done; return 1; }; ";
    const std::string script =
        waitTitle + std::string(kStartAndWaitForTheWindow) +
        // The keys go to the focus, not to the window under the pointer.
        "xdotool mousemove 1279 1023; "
        "w=$(xdotool search --onlyvisible --name \"^Tessarin - \" | head -1); sleep 0.5; "
        "[ \"$(xdotool getwindowfocus)\" = \"$w\" ] && echo focused-at-start; "
        "xdotool key F3; title \"\\\"Tessarin\\\": (\" && echo stopped; "
        "kill -0 $pid && echo alive; "
        "xdotool key F5; "
        "title \"ファイル命名規則設定\" && "
        "xdotool search --onlyvisible --name \"ファイル命名規則設定\" windowfocus --sync key "
        "Escape; "
        "sleep 1; [ \"$(xdotool getwindowfocus)\" = \"$w\" ] && echo focused-after-dialog; "
        "kill $pid; wait $pid; "
        "\"$0\" \"$1\" & pid=$!; title \"Tessarin - \"; sleep 0.5; xdotool key alt+F4; "
        "i=0; while kill -0 $pid 2>/dev/null && [ $i -lt " +
        endTenths +
        " ]; do sleep 0.1; i=$((i+1)); done; "
        "if kill -0 $pid 2>/dev/null; then echo still-running; kill -9 $pid; else echo ended; fi";
    const std::string out = RunUnderXvfb(config, script, {image});
    for (const char* step :
         {"focused-at-start", "stopped", "alive", "focused-after-dialog", "ended"})
        EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out;
}

}  // namespace
}  // namespace tessarin
