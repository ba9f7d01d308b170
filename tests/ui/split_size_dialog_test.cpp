#include "ui/dialogs/split_size_dialog.h"

#include <QComboBox>
#include <QLabel>

#include "dialog_test_support.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

using testing::ControlOf;
using testing::Retype;

class SplitSizeDialogTest : public testing::WindowTest {
  protected:
    // The split size command, with `inside` run in the open dialog.
    void OnF4(const std::function<void(QDialog&)>& inside) {
        testing::Answering<QDialog>(inside, [this] { Trigger(4007); });
    }
    static void ChooseUnit(QDialog& dialog, int listId, int index) {
        auto* list = ControlOf<QComboBox>(dialog, listId);
        QTest::keyClick(list, Qt::Key_Home);
        for (int i = 0; i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
        ASSERT_EQ(list->currentIndex(), index);
    }
    static QString Text(QDialog& dialog, int editId) {
        return ControlOf<QAbstractSpinBox>(dialog, editId)->text();
    }
    // The image on view with aspect matching switched on.
    void ShowImageWithMatching(int width, int height) {
        ASSERT_TRUE(Load(WriteBmp(std::to_string(width) + "x" + std::to_string(height) + ".bmp",
                                  width, height)));
        if (!settings_.adjustAspect) Key(Qt::Key_F7);
        ASSERT_EQ(settings_.adjustAspect, 1);
    }
};

TEST_F(SplitSizeDialogTest, TypedTextIsReadInItsUnitAndSavedWithEnter) {
    struct Case {
        int unit;
        const char* typed;
        double value;
        const char* key;
        const char* saved;
    };
    const Case cases[] = {
        {1, "12.5", 12.5, "WIDTH_PER", "12.500000"},
        {0, "12.5", 12, "WIDTH", "12"},
        {2, "0", 1, "WIDTH_NUM", "1"},
        {0, "abc", 0, "WIDTH", "0"},
        {0, "-5", 0, "WIDTH", "0"},
        {1, "250", 100, "WIDTH_PER", "100.000000"},
        {1, "1e400", 100, "WIDTH_PER", "100.000000"},
        {0, "1e400", 2147483647, "WIDTH", "2147483647"},
        {2, "99999999999", 2147483647, "WIDTH_NUM", "2147483647"},
        {1, "12,5", 12, "WIDTH_PER", "12.000000"},
        {1, "nan", 0, "WIDTH_PER", "0.000000"},
        {1, "-inf", 0, "WIDTH_PER", "0.000000"},
    };
    OpenWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        OnF4([&](QDialog& d) {
            ChooseUnit(d, 1034, c.unit);
            Retype(ControlOf(d, 1038), QString::fromUtf8(c.typed));
            QTest::keyClick(ControlOf(d, 1038), Qt::Key_Return);
        });
        EXPECT_EQ(static_cast<int>(settings_.widthUnit), c.unit);
        EXPECT_EQ(settings_.widthValue[c.unit], c.value);
        EXPECT_EQ(SlotValue("CUT_SIZE", c.key), c.saved);
        EXPECT_EQ(SlotValue("CUT_SIZE", "WIDTH_UNIT"), std::to_string(c.unit));
    }
    const auto bytes = testing::ReadBytes(paths_.slotSettingsPath);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("inf"), std::string::npos);
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_TRUE(errors_->empty());
}

TEST_F(SplitSizeDialogTest, WindowPreviewsWhileTypingAndCancelPutsEverythingBack) {
    MainWindow& w = OpenWindow();
    ASSERT_TRUE(Load(WriteBmp("a.bmp", 400, 300)));
    Key(Qt::Key_F10);  // the selection map follows the grid on view
    ASSERT_EQ(w.Selection().Columns(), 1);
    const SplitSettings before = settings_;
    const auto shot = [&] { return w.centralWidget()->grab().toImage(); };
    const QImage shown = shot();
    OnF4([&](QDialog& d) {
        Retype(ControlOf(d, 1038), "100");
        EXPECT_EQ(settings_.widthValue[0], 100);
        EXPECT_EQ(w.Selection().Columns(), 4);
        EXPECT_NE(shot(), shown);  // the new cut lines
        ChooseUnit(d, 1037, 1);
        Retype(ControlOf(d, 1041), "10");
        EXPECT_EQ(w.Selection().Rows(), 2);
        const QString grid = d.findChild<QLabel*>("grid")->text();
        EXPECT_EQ(grid.toStdString(),
                  "【　分 割 数　】4(横)x2(縦)=8(総数)\n【 分 割 内 訳 】 横：100x4\n"
                  "　　　　　　　　　縦：30(オ), 300x0, 270(余)");
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    EXPECT_EQ(settings_.widthValue[0], before.widthValue[0]);
    EXPECT_EQ(settings_.offsetYUnit, before.offsetYUnit);
    EXPECT_EQ(settings_.offsetYValue[1], before.offsetYValue[1]);
    EXPECT_EQ(w.Selection().Columns(), 1);
    EXPECT_EQ(w.Selection().Rows(), 1);
    EXPECT_EQ(shot(), shown);
    EXPECT_FALSE(std::filesystem::exists(paths_.slotSettingsPath));
}

TEST_F(SplitSizeDialogTest, MatchingDerivesFromTheEditedSideEveryOpening) {
    struct Case {
        int width, height;
        int editId;  // the side typed in
        const char* typed;
        const char* derived;
    };
    const Case cases[] = {
        {400, 300, 1038, "100", "75"},   // shorter side rounded up
        {300, 400, 1038, "100", "133"},  // longer side truncated
        {300, 301, 1038, "100", "100"}, {301, 300, 1038, "100", "100"},
        {400, 300, 1039, "75", "100"},  {300, 400, 1039, "133", "100"},
        {500, 500, 1038, "77", "77"},
    };
    OpenWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        ShowImageWithMatching(c.width, c.height);
        const int other = c.editId == 1038 ? 1039 : 1038;
        // Twice: the guard is back in place after each derivation.
        for (int opening = 0; opening < 2; ++opening) {
            OnF4([&](QDialog& d) {
                ChooseUnit(d, c.editId == 1038 ? 1034 : 1035, 0);
                Retype(ControlOf(d, c.editId), "1");
                Retype(ControlOf(d, c.editId), c.typed);
                EXPECT_EQ(Text(d, other).toStdString(), c.derived);
                testing::PressOk(d);
            });
            EXPECT_EQ(SlotValue("CUT_SIZE", c.editId == 1038 ? "HEIGHT" : "WIDTH"), c.derived);
        }
    }
    // Percent and count: the other side takes the unit and shows exactly the same text.
    OnF4([&](QDialog& d) {
        ChooseUnit(d, 1034, 1);
        EXPECT_EQ(ControlOf<QComboBox>(d, 1035)->currentIndex(), 1);
        Retype(ControlOf(d, 1038), "33.3");
        EXPECT_EQ(Text(d, 1039), "33.3");
        testing::PressOk(d);
    });
    EXPECT_EQ(SlotValue("CUT_SIZE", "WIDTH_PER"), "33.300000");
    EXPECT_EQ(SlotValue("CUT_SIZE", "HEIGHT_PER"), "33.300000");
    OnF4([&](QDialog& d) {
        ChooseUnit(d, 1035, 2);
        EXPECT_EQ(ControlOf<QComboBox>(d, 1034)->currentIndex(), 2);
        Retype(ControlOf(d, 1039), "7");
        EXPECT_EQ(Text(d, 1038), "7");
        testing::PressOk(d);
    });
    EXPECT_EQ(SlotValue("CUT_SIZE", "WIDTH_NUM"), "7");
    EXPECT_EQ(SlotValue("CUT_SIZE", "WIDTH_UNIT"), "2");
    EXPECT_EQ(SlotValue("CUT_SIZE", "HEIGHT_UNIT"), "2");
}

TEST_F(SplitSizeDialogTest, CheckingMatchingDerivesFromTheBaseAndOkSetsTheMenu) {
    MainWindow& w = OpenWindow();
    ASSERT_TRUE(Load(WriteBmp("a.bmp", 400, 300)));
    settings_.widthValue[0] = 200;
    OnF4([&](QDialog& d) {
        QTest::mouseClick(ControlOf(d, 1004), Qt::LeftButton);  // height as base
        Retype(ControlOf(d, 1039), "30");
        QTest::mouseClick(ControlOf(d, 1033), Qt::LeftButton);
        EXPECT_EQ(Text(d, 1038), "40");
        testing::PressOk(d);
    });
    EXPECT_TRUE(w.IsChecked(4013));
    EXPECT_TRUE(w.IsChecked(4053));
    EXPECT_EQ(SlotValue("CUT_SIZE", "ADJUST_ASPECT"), "1");
    EXPECT_EQ(SlotValue("CUT_SIZE", "ASPECT_STANDARD"), "1");
    EXPECT_EQ(SlotValue("CUT_SIZE", "WIDTH"), "40");
}

TEST_F(SplitSizeDialogTest, ArrowsStepWithinTheUnitAndOkKeepsOnlyChosenUnits) {
    struct Case {
        int unit;
        const char* start;
        Qt::Key key;
        const char* stepped;
    };
    const Case cases[] = {
        {1, "99.5", Qt::Key_Up, "100.000000"}, {1, "-7", Qt::Key_Up, "0.000000"},
        {0, "0", Qt::Key_Down, "0"},           {0, "abc", Qt::Key_Up, "1"},
        {2, "1", Qt::Key_Down, "1"},           {2, "4.9", Qt::Key_Up, "5"},
    };
    for (const Case& c : cases) {
        SplitSizeDialog d(settings_, 0, 0, {}, nullptr);
        d.show();
        ChooseUnit(d, 1036, std::min(c.unit, 1));
        ChooseUnit(d, 1034, c.unit);
        for (int id : {1038, 1040}) {
            if (id == 1040 && c.unit == 2) continue;
            Retype(ControlOf(d, id), c.start);
            QTest::keyClick(ControlOf(d, id), c.key);
            EXPECT_EQ(Text(d, id).toStdString(), c.stepped) << c.start << " in " << id;
        }
        d.reject();
    }

    // A value typed under a unit that is then left is not kept.
    const double percent = settings_.widthValue[1] = 20;
    SplitSizeDialog d(settings_, 0, 0, {}, nullptr);
    d.show();
    ChooseUnit(d, 1034, 1);
    Retype(ControlOf(d, 1038), "50");
    EXPECT_EQ(settings_.widthValue[1], 50);
    ChooseUnit(d, 1034, 0);
    Retype(ControlOf(d, 1038), "64");
    d.accept();
    EXPECT_EQ(settings_.widthValue[1], percent);
    EXPECT_EQ(settings_.widthValue[0], 64);
    EXPECT_EQ(settings_.widthUnit, SizeUnit::Pixel);
}

}  // namespace
}  // namespace tessarin
