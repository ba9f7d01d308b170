#include <QActionGroup>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>
#include <map>
#include <set>
#include <span>

#include "imaging/format_registry.h"
#include "platform/format_option.h"
#include "settings/app_preferences.h"
#include "ui/window/command_actions.h"
#include "ui/window/command_ids.h"
#include "ui/window/preference_commands.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using testing::WindowTest;

// Every action of the menu bar with its id, the submenus included.
void CollectMenuActions(const QList<QAction*>& actions, std::multimap<int, QAction*>& out) {
    for (QAction* action : actions) {
        if (action->menu())
            CollectMenuActions(action->menu()->actions(), out);
        else if (!action->isSeparator())
            out.emplace(action->data().toInt(), action);
    }
}

std::string Text(const QAction* action) { return action->text().toStdString(); }

TEST_F(WindowTest, MenuBarHoldsEveryCommandOnceWithItsAcceleratorAndGroup) {
    MainWindow& w = OpenWindow();
    std::multimap<int, QAction*> found;
    CollectMenuActions(w.menuBar()->actions(), found);
    for (int id = cmd::kFirst; id <= cmd::kLast; ++id) {
        ASSERT_EQ(found.count(id), 1u) << id;
        EXPECT_EQ(found.find(id)->second, w.Action(id)) << id;
    }
    // And one item for each format option with a dialog of its own.
    size_t optionItems = 0;
    const std::span<const FormatOption> options = DeclaredFormatOptions();
    for (size_t i = 0; i < options.size(); ++i) {
        if (!options[i].dialog.menuText) continue;
        const int id = cmd::kFirstFormatOption + static_cast<int>(i);
        ASSERT_EQ(found.count(id), 1u) << options[i].key;
        EXPECT_EQ(Text(found.find(id)->second), options[i].dialog.menuText);  // Japanese here
        ++optionItems;
    }
    // And a radio item for each format that writes other files' tiles, in a
    // group with the source's own format.
    int tileFormats = 1;
    ASSERT_EQ(found.count(cmd::kFirstTileFormat), 1u);
    for (const ImageFormat* format : ImageFormats()) {
        if (!format->makeRasterSource) continue;
        const int id = cmd::kFirstTileFormat + static_cast<int>(format->kind);
        ASSERT_EQ(found.count(id), 1u) << format->name;
        EXPECT_EQ(Text(found.find(id)->second).erase(0, 1), format->name);  // "&PNG"
        EXPECT_EQ(found.find(id)->second->actionGroup(),
                  w.Action(cmd::kFirstTileFormat)->actionGroup());
        ++tileFormats;
    }
    EXPECT_EQ(w.Action(cmd::kFirstTileFormat)->actionGroup()->actions().size(), tileFormats);
    EXPECT_EQ(found.size(), static_cast<size_t>(cmd::kLast - cmd::kFirst + 1) + optionItems +
                                static_cast<size_t>(tileFormats));

    // The accelerators; a menu text names its accelerator after a tab.
    // clang-format off
    const std::map<int, int> accelerators = {
        {4000, Qt::Key_F1}, {4002, Qt::Key_F2},  {4006, Qt::Key_F3},  {4007, Qt::Key_F4},
        {4009, Qt::Key_F5}, {4010, Qt::Key_F6},  {4013, Qt::Key_F7},  {4012, Qt::Key_F8},
        {4011, Qt::Key_F9}, {4056, Qt::Key_F10}, {4014, Qt::Key_F11}, {4017, Qt::Key_F12},
        {4005, static_cast<int>(Qt::ALT) | Qt::Key_F4}};
    // clang-format on
    for (int id = cmd::kFirst; id <= cmd::kLast; ++id) {
        const QString text = w.Action(id)->text();
        const QString named = text.contains('\t') ? text.section('\t', 1) : QString();
        auto it = accelerators.find(id);
        EXPECT_EQ(w.Action(id)->shortcut(),
                  it == accelerators.end() ? QKeySequence() : QKeySequence(it->second))
            << id;
        EXPECT_EQ(named, w.Action(id)->shortcut().toString()) << id;
    }
    EXPECT_EQ(Text(w.Action(4007)), "分割サイズ＆オフセット設定(&B)...\tF4");
    EXPECT_EQ(Text(w.Action(4033)), "前回終了時のサイズと位置を復元(&Z)");

    // Radio groups switch within themselves only; check items stand alone.
    const std::set<int> checks = {4008, 4011, 4012, 4013, 4014, 4015, 4016, 4017, 4018, 4019,
                                  4020, 4021, 4022, 4023, 4024, 4025, 4026, 4027, 4028, 4029,
                                  4030, 4034, 4035, 4036, 4037, 4038, 4056, 4057, 4058};
    const auto groupOf = [&](int id) { return w.Action(id)->actionGroup(); };
    for (int id = cmd::kFirst; id <= cmd::kLast; ++id) {
        const bool radio = (id >= 4031 && id <= 4033) || (id >= 4041 && id <= 4050) || id == 4052 ||
                           id == 4053 || (id >= 4060 && id <= 4063);
        EXPECT_EQ(w.Action(id)->isCheckable(), radio || checks.count(id) == 1) << id;
        EXPECT_EQ(groupOf(id) != nullptr, radio) << id;
    }
    EXPECT_TRUE(groupOf(4031)->isExclusive());
    EXPECT_EQ(groupOf(4031)->actions().size(), 3);
    EXPECT_EQ(groupOf(4052)->actions().size(), 2);
    EXPECT_EQ(groupOf(4041)->actions().size(), 10);
    EXPECT_EQ(groupOf(4060)->actions().size(), 4);

    // The popup menu is the second menu of the bar, "分割(&B)".
    ASSERT_GE(w.menuBar()->actions().size(), 2);
    EXPECT_EQ(w.menuBar()->actions()[1]->menu(), w.PopupMenu());
    EXPECT_EQ(w.PopupMenu()->title().toStdString(), "分割(&B)");
    std::multimap<int, QAction*> popup;
    CollectMenuActions(w.PopupMenu()->actions(), popup);
    std::set<int> popupIds;
    for (const auto& [id, action] : popup) popupIds.insert(id);
    EXPECT_EQ(popupIds,
              (std::set<int>{4006, 4007, 4009, 4010, 4011, 4012, 4013, 4052, 4053, 4056}));
}

TEST_F(WindowTest, EveryPreferenceToggleWritesItsKeyAtOnceAndBack) {
    MainWindow& w = OpenWindow();
    EXPECT_EQ(w.windowTitle().toStdString(), "Tessarin");
    EXPECT_FALSE(fs::exists(paths_.mainSettingsPath));  // nothing is written at start-up
    ASSERT_TRUE(WriteProfileString(paths_.mainSettingsPath, "OPTION", "WINDOW_POS_ON_BOOT", "7"));
    w.RefreshMenu();
    for (const PreferenceCommand& entry : kPreferenceCommands) {
        const PreferenceKey& flag = KeyOf(entry.preference);
        const int command = entry.command;
        const bool initially = flag.defaultOn;
        Trigger(command);
        EXPECT_EQ(w.IsChecked(command), !initially) << flag.key;
        EXPECT_EQ(MainValue(flag.section, flag.key), initially ? "0" : "1") << flag.key;
        Trigger(command);
        EXPECT_EQ(w.IsChecked(command), initially) << flag.key;
        EXPECT_EQ(MainValue(flag.section, flag.key), initially ? "1" : "0") << flag.key;
    }
    // The accelerators go through the same commands.
    Key(Qt::Key_F11);
    EXPECT_EQ(MainValue("VIEW", "VIEWER_MODE"), "1");
    EXPECT_TRUE(w.IsChecked(4014));
    Key(Qt::Key_F12);
    EXPECT_EQ(MainValue("VIEW", "INFO"), "0");
    EXPECT_FALSE(w.IsChecked(4017));

    // A stray placement shows as normal; the radio items write their number.
    EXPECT_TRUE(w.IsChecked(4031));
    Trigger(4033);
    EXPECT_EQ(MainValue("OPTION", "WINDOW_POS_ON_BOOT"), "2");
    Trigger(4032);
    EXPECT_EQ(MainValue("OPTION", "WINDOW_POS_ON_BOOT"), "1");
    EXPECT_TRUE(errors_->empty());

    // A new window reads the file back into its check marks.
    window_.reset();
    OpenWindow();
    EXPECT_TRUE(window_->IsChecked(4014));
    EXPECT_FALSE(window_->IsChecked(4017));
    EXPECT_TRUE(window_->IsChecked(4032));
}

TEST_F(WindowTest, FailedWritesShowTheMessageAndKeepTheNewCheckMark) {
    // The settings folder cannot be made: a file stands in its place.
    testing::WriteBytes(dir_ / "config", {'x'});
    ResolvePaths();
    MainWindow& w = OpenWindow();
    const std::string mainFailed =
        "設定ファイルの書き込みに失敗しました\n\n" + paths_.mainSettingsPath;
    const std::string slotFailed =
        "設定ファイルの書き込みに失敗しました\n\n" + paths_.slotSettingsPath;

    Key(Qt::Key_F11);
    EXPECT_TRUE(w.IsChecked(4014));
    EXPECT_EQ(*errors_, std::vector<std::string>{mainFailed});

    errors_->clear();
    Trigger(4033);  // the placement radio stays where it was
    EXPECT_TRUE(w.IsChecked(4031));
    EXPECT_FALSE(w.IsChecked(4033));
    EXPECT_EQ(*errors_, std::vector<std::string>{mainFailed});

    errors_->clear();
    Key(Qt::Key_F8);  // a split-settings toggle names the slot file
    EXPECT_TRUE(w.IsChecked(4012));
    EXPECT_EQ(settings_.allBmp, 1);
    EXPECT_EQ(*errors_, std::vector<std::string>{slotFailed});
}

TEST_F(WindowTest, SlotItemsShowTheSlotNamesAndSwitchTheSettings) {
    const std::string slot3 = SlotSettingsPath(paths_, 3);
    ASSERT_TRUE(WriteProfileStrings(slot3, {{"INI", "NAME", "風景用"}, {"JPEG", "QUALITY", "33"}}));
    MainWindow& w = OpenWindow();
    EXPECT_EQ(Text(w.Action(4044)), "風景用(&3)");
    EXPECT_EQ(Text(w.Action(4046)), "設定５(&5)");

    Trigger(4044);
    EXPECT_TRUE(w.IsChecked(4044));
    EXPECT_FALSE(w.IsChecked(4041));
    EXPECT_EQ(MainValue("INI", "NO"), "3");
    EXPECT_EQ(paths_.slotSettingsPath, slot3);
    EXPECT_EQ(settings_.formatOptions.Get("JPEG", "QUALITY"), 33);
}

TEST_F(WindowTest, SplitSettingToggleWritesTheSlotFileUnlessNotToOverwrite) {
    MainWindow& w = OpenWindow();
    Key(Qt::Key_F8);
    EXPECT_EQ(settings_.allBmp, 1);
    EXPECT_EQ(SlotValue("OPTION", "ALL_BMP"), "1");
    Trigger(4008);
    EXPECT_EQ(settings_.negativeLine, 1);
    EXPECT_TRUE(w.IsChecked(4008));
    EXPECT_EQ(MainValue("VIEW", "NEGATIVE_LINE"), "1");
    Trigger(4053);
    EXPECT_EQ(settings_.aspectBaseWidth, 0);
    EXPECT_EQ(SlotValue("CUT_SIZE", "ASPECT_STANDARD"), "1");

    Trigger(4057);
    EXPECT_TRUE(w.IsChecked(4057));
    EXPECT_EQ(SlotValue("OPTION", "NOT_OVERWRITE"), "1");
    const auto before = testing::ReadBytes(paths_.slotSettingsPath);
    Key(Qt::Key_F8);
    Key(Qt::Key_F9);
    Key(Qt::Key_F7);
    EXPECT_EQ(settings_.allBmp, 0);
    EXPECT_EQ(settings_.formatOptions.Get("OPTION", "CORRECT_CUT"), 0);
    EXPECT_EQ(settings_.adjustAspect, 1);
    EXPECT_FALSE(w.IsChecked(4012));
    EXPECT_FALSE(w.IsChecked(4011));
    EXPECT_TRUE(w.IsChecked(4013));
    EXPECT_EQ(testing::ReadBytes(paths_.slotSettingsPath), before);
    EXPECT_TRUE(errors_->empty());
}

TEST_F(WindowTest, CommandsThatChangeTheImageOrSettingsWaitWhileASplitRuns) {
    MainWindow& w = OpenWindow();
    Key(Qt::Key_F3);
    Key(Qt::Key_F10);  // neither splitting nor selecting without an image
    EXPECT_FALSE(w.IsSplitRunning());
    EXPECT_FALSE(w.InSelectionMode());
    ASSERT_TRUE(Load(WriteBmp("a.bmp", 40, 30)));
    Key(Qt::Key_F10);
    EXPECT_TRUE(w.InSelectionMode());
    Key(Qt::Key_F10);
    EXPECT_FALSE(w.InSelectionMode());
    int starts = 0;
    w.SetSplitStarter([&] { return ++starts == 1; });

    Key(Qt::Key_F3);
    ASSERT_EQ(starts, 1);
    ASSERT_TRUE(w.IsSplitRunning());
    EXPECT_EQ(Text(w.Action(4006)), "分割中止(&E)\tF3");
    for (int id = cmd::kFirst; id <= cmd::kLast; ++id)
        EXPECT_EQ(w.Action(id)->isEnabled(), !cmd::IsGatedWhileSplitting(id)) << id;

    QSignalSpy accepted(&w, &MainWindow::commandAccepted);
    const bool allBmp = w.IsChecked(4012);
    for (Qt::Key key : {Qt::Key_F2, Qt::Key_F4, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8,
                        Qt::Key_F9, Qt::Key_F10})
        Key(key);
    Trigger(4045);
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_EQ(w.IsChecked(4012), allBmp);
    EXPECT_TRUE(w.IsChecked(4041));
    EXPECT_FALSE(w.InSelectionMode());
    EXPECT_FALSE(fs::exists(paths_.slotSettingsPath));

    // The view keeps working, and F3 asks the split to stop.
    Key(Qt::Key_F11);
    Key(Qt::Key_F12);
    EXPECT_EQ(MainValue("VIEW", "VIEWER_MODE"), "1");
    EXPECT_EQ(MainValue("VIEW", "INFO"), "0");
    EXPECT_FALSE(w.IsStopRequested());
    Key(Qt::Key_F3);
    EXPECT_TRUE(w.IsStopRequested());
    EXPECT_EQ(starts, 1);

    w.RestoreIdleState();
    EXPECT_EQ(Text(w.Action(4006)), "分割実行(&E)\tF3");
    for (int id = cmd::kFirst; id <= cmd::kLast; ++id) EXPECT_TRUE(w.Action(id)->isEnabled()) << id;

    // A split that cannot start puts the menu back and says so.
    Key(Qt::Key_F3);
    EXPECT_EQ(starts, 2);
    EXPECT_FALSE(w.IsSplitRunning());
    EXPECT_EQ(*errors_, std::vector<std::string>{"スレッドの作成に失敗"});
    EXPECT_TRUE(w.Action(4007)->isEnabled());
}

TEST_F(WindowTest, F1OpensTheReadmeWithTheDesktop) {
    testing::UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    OpenWindow();
    Key(Qt::Key_F1);
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(recorder.urls.size(), 1u);
    EXPECT_TRUE(recorder.urls[0].isLocalFile());
    EXPECT_EQ(recorder.urls[0].fileName().toStdString(), "Readme.txt");
}

}  // namespace
}  // namespace tessarin
