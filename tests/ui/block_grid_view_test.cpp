// The block grid of a JPEG on view cut losslessly: the panel line, the cut
// lines off the grid, the snap command and the copy choice.

#include <QAbstractSpinBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "dialog_test_support.h"
#include "imaging/jpeg/jpeg_format.h"
#include "ui/view/panel_text.h"
#include "ui/view/view_painter.h"
#include "ui/view/viewer_widget.h"
#include "ui/window/command_ids.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

class BlockGridView : public testing::WindowTest {
  protected:
    // A 320 x 240 grey JPEG (4:2:0: 16 x 16 blocks) on view, cut losslessly
    // in 40-pixel columns (off the grid at 40 and 120, on it at 80 and 160)
    // without rows.
    MainWindow& ShowJpeg() {
        settings_.formatOptions.Set("OPTION", "CORRECT_CUT", false);
        settings_.widthValue[0] = 40;
        MainWindow& w = OpenWindow();
        BitmapInfoHeader h;
        h.biWidth = 320;
        h.biHeight = 240;
        h.biBitCount = 24;
        auto raster = DibImage::Create(h);
        for (int y = 0; y < 240; ++y) std::fill_n(raster->Row(y), 3 * 320, uint8_t{0x80});
        EXPECT_TRUE(SaveJpegFile(dir_ / "grey.jpg", *raster, 90));
        EXPECT_TRUE(Load(dir_ / "grey.jpg"));
        return w;
    }

    // Down the vertical cut line at image column `x` (the window column
    // left of its position; the 2-pixel line covers both): how many pixels
    // show the picture's grey, how many the line, and in which colour.
    struct Column {
        int grey = 0;
        int line = 0;
        QColor lineColour;
    };
    Column CutAt(MainWindow& w, int x) {
        const QImage shot = w.View()->grab().toImage();
        const ViewModel& view = w.View()->Model();
        const QColor grey = shot.pixelColor(view.ImageToWindowX(x - 10), view.ImageToWindowY(200));
        Column c;
        for (int r = view.ImageToWindowY(120); r < view.ImageToWindowY(230); ++r) {
            const QColor pixel = shot.pixelColor(view.ImageToWindowX(x) - 1, r);
            pixel == grey ? ++c.grey : (++c.line, c.lineColour = pixel, 0);
        }
        return c;
    }

    // Whether the panel shows `text` as one of its lines: the line drawn
    // alone on its white box, found in the view's top-left corner.
    bool PanelShows(MainWindow& w, const std::string& text) {
        const QImage shot = w.View()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const PanelFont font = MakePanelFont(w.View()->logicalDpiY());
        const int width = QFontMetrics(font.font).horizontalAdvance(QString::fromStdString(text));
        QImage line(width, font.pixelSize, QImage::Format_RGB32);
        line.fill(Qt::black);
        QPainter painter(&line);
        PaintPanel(painter, {PanelLine{text}}, 0, 0, font);
        painter.end();
        for (int top = 0; top + font.pixelSize <= shot.height() / 2; ++top)
            if (shot.copy(0, top, width, font.pixelSize) == line) return true;
        return false;
    }
};

TEST_F(BlockGridView, PanelAndCutLinesShowTheGridInBothLineModes) {
    MainWindow& w = ShowJpeg();
    const std::string off = BlockGridLine({16, 16}, GridAlignment{true, true, false, true});
    const std::string on = BlockGridLine({16, 16}, GridAlignment{});
    EXPECT_NE(off.find("【ブロック】16x16"), std::string::npos);
    EXPECT_TRUE(PanelShows(w, off));
    EXPECT_FALSE(PanelShows(w, on));

    for (const bool negative : {false, true}) {
        SCOPED_TRACE(negative ? "negative" : "normal");
        if ((settings_.negativeLine != 0) != negative) Trigger(cmd::kNegativeLine);
        // Off the grid: dashed, magenta in normal mode; on it: a solid line.
        for (int x : {40, 120}) {
            const Column c = CutAt(w, x);
            EXPECT_GT(c.grey, 10) << x;
            EXPECT_GT(c.line, 10) << x;
            EXPECT_EQ(c.lineColour, negative ? QColor(0x7F, 0x7F, 0x7F) : QColor(255, 0, 255));
        }
        for (int x : {80, 160}) {
            const Column c = CutAt(w, x);
            EXPECT_EQ(c.grey, 0) << x;
            EXPECT_EQ(c.lineColour, negative ? QColor(0x7F, 0x7F, 0x7F) : QColor(Qt::black));
        }
    }

    // Exact cutting has no grid: no panel line, every cut solid.
    testing::Answering<QDialog>([](QDialog& d) { testing::PressOk(d); },
                                [this] { Trigger(cmd::kCorrectCut); });
    ASSERT_TRUE(settings_.formatOptions.Get("OPTION", "CORRECT_CUT"));
    EXPECT_FALSE(PanelShows(w, off));
    EXPECT_EQ(CutAt(w, 40).grey, 0);
}

// The menu's snap moves the columns onto the grid and saves them, after which
// the panel says so and a split asks nothing; the copy choice is saved too.
TEST_F(BlockGridView, SnapCommandAndCopyChoiceAreSaved) {
    MainWindow& w = ShowJpeg();
    Trigger(cmd::kSnapToGrid);
    EXPECT_EQ(settings_.widthValue[0], 48);
    EXPECT_EQ(SlotValue("CUT_SIZE", "WIDTH"), "48");
    EXPECT_TRUE(PanelShows(w, BlockGridLine({16, 16}, GridAlignment{})));
    EXPECT_EQ(CutAt(w, 48).grey, 0);

    EXPECT_TRUE(w.IsChecked(cmd::kCopyAll));
    Trigger(cmd::kCopyComments);
    EXPECT_EQ(settings_.formatOptions.Get("JPEG", "COPY"), 1);
    EXPECT_EQ(SlotValue("JPEG", "COPY"), "1");
    EXPECT_FALSE(w.IsChecked(cmd::kCopyAll));
}

// The dialog's button snaps the record live and shows it; Cancel takes it
// back, OK keeps and saves it.
TEST_F(BlockGridView, DialogSnapIsUndoneByCancelAndSavedByOk) {
    ShowJpeg();
    settings_.offsetXValue[0] = 5;
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        testing::Answering<QDialog>(
            [&](QDialog& d) {
                auto* grid = d.findChild<QLabel*>("grid");
                EXPECT_TRUE(grid->text().endsWith(QString::fromStdString(
                    BlockGridLine({16, 16}, GridAlignment{false, true, false, true}))));
                QTest::mouseClick(d.findChild<QPushButton*>("snap"), Qt::LeftButton);
                EXPECT_EQ(settings_.offsetXValue[0], 16);
                EXPECT_EQ(testing::ControlOf<QAbstractSpinBox>(d, 1038)->text(), "48");
                EXPECT_TRUE(grid->text().endsWith(
                    QString::fromStdString(BlockGridLine({16, 16}, GridAlignment{}))));
                QTest::keyClick(&d, ok ? Qt::Key_Return : Qt::Key_Escape);
            },
            [this] { Trigger(cmd::kSplitSize); });
        EXPECT_EQ(settings_.widthValue[0], ok ? 48 : 40);
        EXPECT_EQ(SlotValue("CUT_SIZE", "WIDTH"), ok ? "48" : "<none>");
    }
}

}  // namespace
}  // namespace tessarin
