#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <span>

#include "dialog_test_support.h"
#include "platform/format_option.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using testing::Answering;
using testing::ControlOf;
using testing::PressOk;
using testing::Retype;

class SettingDialogsTest : public testing::WindowTest {
  protected:
    void Run(int command, const std::function<void(QDialog&)>& inside) {
        Answering<QDialog>(inside, [&] { Trigger(command); });
    }
};

TEST_F(SettingDialogsTest, NumbersTypedAreCorrectedAndSavedOnOk) {
    struct Case {
        int command;
        int editId;
        const char* typed;
        bool mainFile;
        const char* section;
        const char* key;
        const char* saved;
    };
    const Case cases[] = {
        {4040, 1020, "0", true, "OPTION", "NUM_THREAD", "1"},
        {4040, 1020, "16", true, "OPTION", "NUM_THREAD", "16"},
        {4040, 1020, "99999", true, "OPTION", "NUM_THREAD", "32767"},
        {4040, 1020, "-3", true, "OPTION", "NUM_THREAD", "3"},  // digits only: "-" is not typed
        {4039, 1025, "abc", true, "OPTION", "SCALE_CHANGE_RATE", "0.900000"},
        {4039, 1025, "-2", true, "OPTION", "SCALE_CHANGE_RATE", "0.900000"},
        {4039, 1025, "1.25", true, "OPTION", "SCALE_CHANGE_RATE", "1.250000"},
        {4039, 1025, "1e400", true, "OPTION", "SCALE_CHANGE_RATE", "0.900000"},
        {4039, 1025, "nan", true, "OPTION", "SCALE_CHANGE_RATE", "0.900000"},
        {4039, 1025, "1,5", true, "OPTION", "SCALE_CHANGE_RATE", "1.000000"},
        {4011, 1018, "40", false, "JPEG", "QUALITY", "40"},
        {4011, 1018, "150", false, "JPEG", "QUALITY", "100"},
    };
    OpenWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        // Exact cutting starts on; the quality dialog comes when it is switched on again.
        if (c.command == 4011) Trigger(4011);
        Run(c.command, [&](QDialog& d) {
            Retype(ControlOf(d, c.editId), c.typed);
            QTest::keyClick(ControlOf(d, c.editId), Qt::Key_Enter);
        });
        EXPECT_EQ(c.mainFile ? MainValue(c.section, c.key) : SlotValue(c.section, c.key), c.saved);
    }
    // The formats' options with a menu item of their own (4100 and on, by
    // their place among the declared ones): a number past the range is kept
    // at its end.
    const std::span<const FormatOption> options = DeclaredFormatOptions();
    for (size_t i = 0; i < options.size(); ++i) {
        const FormatOption& o = options[i];
        if (!o.dialog.menuText) continue;
        SCOPED_TRACE(o.key);
        Run(4100 + static_cast<int>(i), [&](QDialog& d) {
            Retype(ControlOf(d, o.dialog.editId), QString::number(o.maximum + 3));
            QTest::keyClick(ControlOf(d, o.dialog.editId), Qt::Key_Enter);
        });
        EXPECT_EQ(SlotValue(o.section, o.key), std::to_string(o.maximum));
        EXPECT_EQ(settings_.formatOptions.Get(o.section, o.key), o.maximum);
    }
    EXPECT_EQ(settings_.threadCount, 3);
    EXPECT_EQ(settings_.scaleChangeRate, 1.0);
    EXPECT_EQ(settings_.formatOptions.Get("JPEG", "QUALITY"), 100);
    EXPECT_TRUE(errors_->empty());
}

TEST_F(SettingDialogsTest, CancelChangesNeitherRecordNorFiles) {
    OpenWindow();
    Trigger(4011);  // exact cutting off, written
    const auto slotBefore = testing::ReadBytes(paths_.slotSettingsPath);
    const std::pair<int, int> edits[] = {{4040, 1020}, {4039, 1025}, {4011, 1018},
                                         {4009, 1015}, {4010, 1001}, {4051, 1032}};
    for (auto [command, editId] : edits) {
        Run(command, [&](QDialog& d) {
            Retype(ControlOf(d, editId), "7");
            QTest::keyClick(&d, Qt::Key_Escape);
        });
    }
    EXPECT_EQ(settings_.formatOptions.Get("OPTION", "CORRECT_CUT"),
              1);  // switched on again, with the old quality
    EXPECT_EQ(settings_.formatOptions.Get("JPEG", "QUALITY"), 75);
    EXPECT_EQ(settings_.threadCount, 1);
    EXPECT_EQ(settings_.scaleChangeRate, 1.1);
    EXPECT_EQ(settings_.firstNumber, 1);
    EXPECT_EQ(settings_.savePath, "");
    EXPECT_FALSE(fs::exists(paths_.mainSettingsPath));
    auto slotAfter = testing::ReadBytes(paths_.slotSettingsPath);
    EXPECT_EQ(SlotValue("OPTION", "CORRECT_CUT"), "1");
    EXPECT_EQ(SlotValue("INI", "NAME"), "<none>");
    EXPECT_EQ(SlotValue("JPEG", "QUALITY"), "<none>");
    EXPECT_EQ(slotAfter.size(), slotBefore.size());
}

TEST_F(SettingDialogsTest, NamingRuleTakesRadioCheckAndArrowStepsIntoNegatives) {
    OpenWindow();
    Run(4009, [&](QDialog& d) {
        EXPECT_TRUE(ControlOf<QAbstractButton>(d, 1010)->isChecked());
        QTest::mouseClick(ControlOf(d, 1012), Qt::LeftButton);
        QTest::mouseClick(ControlOf(d, 1022), Qt::LeftButton);
        QWidget* first = ControlOf(d, 1015);
        for (int i = 0; i < 3; ++i) QTest::keyClick(first, Qt::Key_Down);
        EXPECT_EQ(ControlOf<QAbstractSpinBox>(d, 1015)->text(), "-2");
        QTest::keyClicks(first, "x");  // digits only
        EXPECT_EQ(ControlOf<QAbstractSpinBox>(d, 1015)->text(), "-2");
        Retype(ControlOf(d, 1007), "3");
        PressOk(d);
    });
    EXPECT_EQ(settings_.nameFormat, NameFormat::AcrossCount);
    EXPECT_EQ(SlotValue("FNAME_RULE", "FORMAT"), "2");
    EXPECT_EQ(SlotValue("FNAME_RULE", "REVERSE"), "1");
    EXPECT_EQ(SlotValue("FNAME_RULE", "FIRST_NO"), "-2");
    EXPECT_EQ(SlotValue("FNAME_RULE", "KETA"), "3");
}

TEST_F(SettingDialogsTest, SaveFolderGreysByModeAndSavesEveryControl) {
    OpenWindow();
    const std::string chosen = (dir_.Path() / "chosen").string();
    fs::create_directory(chosen);
    Run(4010, [&](QDialog& d) {
        auto* relative = ControlOf<QCheckBox>(d, 1027);
        auto* makeFolder = ControlOf<QCheckBox>(d, 1030);
        EXPECT_FALSE(ControlOf(d, 1028)->isEnabled());
        EXPECT_FALSE(ControlOf(d, 1031)->isEnabled());

        // The browser puts the chosen folder in; cancelling it keeps what was typed.
        const auto browse = [&] { QTest::mouseClick(ControlOf(d, 1002), Qt::LeftButton); };
        Answering<QFileDialog>(
            [&](QFileDialog& browser) {
                EXPECT_EQ(browser.windowTitle().toStdString(), "保存フォルダの選択");
                browser.setDirectory(QString::fromStdString(chosen));
                static_cast<QDialog&>(browser).accept();
            },
            browse);
        EXPECT_EQ(ControlOf<QLineEdit>(d, 1001)->text().toStdString(), chosen);
        Retype(ControlOf(d, 1001), "/tmp/out/");
        Answering<QFileDialog>([](QFileDialog& browser) { browser.reject(); }, browse);
        EXPECT_EQ(ControlOf<QLineEdit>(d, 1001)->text(), "/tmp/out/");

        QTest::mouseClick(ControlOf(d, 1005), Qt::LeftButton);
        QTest::mouseClick(makeFolder, Qt::LeftButton);
        QTest::mouseClick(ControlOf(d, 1031), Qt::LeftButton);
        QTest::mouseClick(makeFolder, Qt::LeftButton);  // greys 1031, keeps its check
        EXPECT_FALSE(ControlOf(d, 1031)->isEnabled());
        QTest::mouseClick(relative, Qt::LeftButton);
        for (int id : {1001, 1002, 1005}) EXPECT_FALSE(ControlOf(d, id)->isEnabled()) << id;
        EXPECT_TRUE(ControlOf(d, 1028)->isEnabled());
        Retype(ControlOf(d, 1028), "250");
        PressOk(d);
    });
    EXPECT_EQ(settings_.savePath, "/tmp/out");
    EXPECT_EQ(SlotValue("SAVE_FOLDER", "PATH"), "/tmp/out");
    EXPECT_EQ(SlotValue("SAVE_FOLDER", "RELATIVE"), "1");
    EXPECT_EQ(SlotValue("SAVE_FOLDER", "DIR_LEVEL"), "100");
    EXPECT_EQ(SlotValue("SAVE_FOLDER", "MAKE_DIR"), "1");
    EXPECT_EQ(SlotValue("SAVE_FOLDER", "MAKE_FOLDER"), "0");
    EXPECT_EQ(SlotValue("SAVE_FOLDER", "UNIQUE_FOLDER"), "1");

    // The root keeps its slash.
    Run(4010, [&](QDialog& d) {
        QTest::mouseClick(ControlOf(d, 1027), Qt::LeftButton);
        Retype(ControlOf(d, 1001), "/");
        PressOk(d);
    });
    EXPECT_EQ(SlotValue("SAVE_FOLDER", "PATH"), "/");
    EXPECT_EQ(SlotValue("SAVE_FOLDER", "RELATIVE"), "0");
}

TEST_F(SettingDialogsTest, SlotRenameShowsInTheMenuAndEmptyMeansTheDefault) {
    MainWindow& w = OpenWindow();
    Trigger(4057);  // the name is written whatever this option says
    Run(4051, [&](QDialog& d) {
        EXPECT_EQ(ControlOf<QLineEdit>(d, 1032)->text().toStdString(), "設定０");
        Retype(ControlOf(d, 1032), QStringLiteral("風景用"));
        PressOk(d);
    });
    EXPECT_EQ(w.Action(4041)->text().toStdString(), "風景用(&0)");
    EXPECT_EQ(SlotValue("INI", "NAME"), "風景用");
    Run(4051, [&](QDialog& d) {
        EXPECT_EQ(ControlOf<QLineEdit>(d, 1032)->text().toStdString(), "風景用");
        Retype(ControlOf(d, 1032), QString());
        PressOk(d);
    });
    EXPECT_EQ(w.Action(4041)->text().toStdString(), "設定０(&0)");
    EXPECT_EQ(SlotValue("INI", "NAME"), "");
}

}  // namespace
}  // namespace tessarin
