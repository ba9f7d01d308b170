// The viewer as the user sees it, painted offscreen: the cut lines' pixels,
// the picture after scrolling, the overlay after clicks and the right-button
// rectangle, the panel's place, cut-line dragging and saving.

#include "ui/view/viewer_widget.h"

#include <QApplication>
#include <QList>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <set>

#include "ui/preferences_model.h"
#include "ui/view/image_pyramid.h"
#include "ui/window/command_ids.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

using Fill = std::function<QRgb(int x, int y)>;

std::shared_ptr<const DibImage> Raster(int width, int height, const Fill& fill) {
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = 24;
    std::shared_ptr<DibImage> r = DibImage::Create(h);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = r->Row(y) + 3 * x;
            const QRgb c = fill(x, y);
            p[0] = static_cast<uint8_t>(qBlue(c));
            p[1] = static_cast<uint8_t>(qGreen(c));
            p[2] = static_cast<uint8_t>(qRed(c));
        }
    return r;
}

void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint pos,
           Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Wheel(QWidget* w, int delta) {
    QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings_.scaleChangeRate = 1.3;
        preferences_.Set(Preference::CutLine, true);
        preferences_.Set(Preference::LineDrag, true);
    }

    ViewerWidget& Show(int width, int height, const Fill& fill, QSize client = {400, 300}) {
        image_.raster = Raster(width, height, fill);
        image_.width = width;
        image_.height = height;
        view_ = std::make_unique<ViewerWidget>();
        view_->Bind({&settings_, &paths_, &image_, &selection_, &info_, &preferences_,
                     [] { return false; }});
        view_->resize(client);
        view_->show();
        view_->SetImage(ImagePyramid::Build(image_.raster));
        view_->ShowOneToOne();
        return *view_;
    }
    QImage Shot() { return view_->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    SplitSettings settings_;
    SettingsPaths paths_;
    CurrentImage image_;
    SelectionMap selection_;
    std::string info_ = "【 画 像 情 報 】1x1(24bpp)";
    PreferencesModel preferences_;
    testing::TempDir dir_;
    std::unique_ptr<ViewerWidget> view_;
};

QRgb Invert(QRgb c) { return qRgb(255 - qRed(c), 255 - qGreen(c), 255 - qBlue(c)); }

TEST_F(ViewerTest, CutLinePixelsAcrossTheWholeWindow) {
    const QRgb colour = qRgb(200, 100, 50);
    settings_.widthValue[0] = 30;
    settings_.heightValue[0] = 40;
    settings_.offsetXValue[0] = 7;
    for (bool negative : {false, true}) {
        SCOPED_TRACE(negative ? "negative" : "black");
        settings_.negativeLine = negative ? 1 : 0;
        ViewerWidget& v = Show(200, 150, [&](int, int) { return colour; });
        Wheel(&v, 120);  // 1.3
        const QRect shown = v.ImageRect();
        ASSERT_EQ(shown, QRect(70, 52, 260, 195));
        // One row across the window, clear of the horizontal lines.
        const int y = 150;
        QList<QRgb> expected(400, qRgb(0, 0, 0));
        for (int x = 70; x < 330; ++x) expected[x] = colour;
        for (int n = 1;; ++n) {
            const int x = 70 + static_cast<int>(std::ceil((7 + 30 * n) * 1.3));
            if (x >= 400) break;
            for (int px : {x - 1, x})
                expected[px] = negative ? Invert(expected[px]) : qRgb(0, 0, 0);
        }
        expected[79] = expected[80] = qRgb(255, 0, 0);  // the x offset at 70 + ceil(7 * 1.3)
        const QImage shot = Shot();
        for (int x = 0; x < 400; ++x) ASSERT_EQ(shot.pixel(x, y), expected[x]) << "x " << x;
        // Horizontal lines at 52 + ceil(40 n * 1.3) through the window's width;
        // where two lines cross, the inverse of the inverse shows.
        for (int line : {104, 156, 208, 260}) {
            const QRgb under = line < 52 + 195 ? colour : qRgb(0, 0, 0);
            EXPECT_EQ(shot.pixel(150, line), negative ? Invert(under) : qRgb(0, 0, 0)) << line;
            EXPECT_EQ(shot.pixel(399, line), negative ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
        EXPECT_EQ(shot.pixel(70 + 49, 104), negative ? colour : qRgb(0, 0, 0));
        EXPECT_EQ(shot.pixel(80, 104), qRgb(255, 0, 0));
    }
}

TEST_F(ViewerTest, CachedPicturesEqualFreshPaintsAfterScrollingAndZooming) {
    auto pattern = [](int x, int y) { return qRgb(x * 7 + y, x ^ y, (x + 3 * y) / 2); };
    for (bool smooth : {false, true}) {
        if (smooth) preferences_.Set(Preference::Halftone, true);
        ViewerWidget& v = Show(733, 517, pattern);
        for (int notch : {120, 120, -120 * 5, 120}) {
            Wheel(&v, notch);
            Shot();
            // Drag the image around: tiles already rendered are reused.
            Mouse(&v, QEvent::MouseButtonPress, Qt::LeftButton, {200, 150}, Qt::LeftButton);
            for (QPoint to : {QPoint(170, 141), QPoint(90, 60), QPoint(123, 99)}) {
                Mouse(&v, QEvent::MouseMove, Qt::NoButton, to, Qt::LeftButton);
                Shot();
            }
            Mouse(&v, QEvent::MouseButtonRelease, Qt::LeftButton, {123, 99}, Qt::NoButton);
            const QImage cached = Shot();
            // A paint of part of the window changes nothing in it.
            const QRect part(37, 21, 101, 77);
            QImage partial = cached.copy();
            v.render(&partial, part.topLeft(), QRegion(part));
            EXPECT_EQ(partial, cached) << "steps " << v.Zoom().steps;
            v.Cache().SetSource(v.Cache().Source());
            EXPECT_EQ(Shot(), cached) << "steps " << v.Zoom().steps;
        }
    }
}

// The selection fill over a pixel: 0x808060FF at half strength.
QRgb Selected(QRgb under) {
    return qRgb((qRed(under) + 128) / 2, (qGreen(under) + 96) / 2, (qBlue(under) + 255) / 2);
}

// Whether the overlay shows cell (j, k) of a 4 x 3 grid of 50-pixel tiles
// drawn at 1:1 from (100, 75) over a black image, by the colour of its middle.
bool Shaded(const QImage& shot, int j, int k) {
    // Header cells are sampled beside their numbers.
    const QPoint at = j == 0 && k == 0 ? QPoint(1, 1)
                      : j == 0         ? QPoint(50 * k + 55, 1)
                      : k == 0         ? QPoint(3, 50 * j + 30)
                                       : QPoint(50 * k + 75, 50 * j + 50);
    const QRgb under = j == 0 || k == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    const QRgb c = shot.pixel(at);
    EXPECT_TRUE(c == under || std::abs(qRed(c) - qRed(Selected(under))) <= 1) << j << "," << k;
    return c != under;
}

std::string Shading(const QImage& shot) {
    std::string rows;
    for (int j = 0; j <= 3; ++j) {
        for (int k = 0; k <= 4; ++k) rows += Shaded(shot, j, k) ? '#' : '.';
        rows += '|';
    }
    return rows;
}

TEST_F(ViewerTest, ClicksShadeTilesRowsColumnsAndEverything) {
    settings_.widthValue[0] = 50;
    settings_.heightValue[0] = 50;
    ViewerWidget& v = Show(200, 150, [](int, int) { return qRgb(0, 0, 0); });
    selection_.Enter(4, 3);
    Shot();  // lays the overlay out as the user sees it
    const int interval = QApplication::doubleClickInterval();
    QApplication::setDoubleClickInterval(40);
    struct Click {
        QPoint at;
        const char* shading;  // corner and column headers first, then each row
    };
    const Click clicks[] = {
        {{175, 100}, ".....|..#..|.....|.....|"},  // a tile
        {{8, 200}, ".....|..#..|.....|#####|"},    // row 3 by its header
        {{275, 8}, "....#|..#.#|....#|#####|"},    // column 4 by its header
        {{5, 5}, "#####|#####|#####|#####|"},      // the corner: everything
        {{5, 5}, ".....|.....|.....|.....|"},      // and nothing again
        {{380, 280}, ".....|.....|.....|.....|"},  // outside every cell
    };
    for (const Click& c : clicks) {
        QTest::mouseClick(&v, Qt::LeftButton, Qt::NoModifier, c.at);
        QTest::qWait(100);
        EXPECT_EQ(Shading(Shot()), c.shading) << c.at.x() << "," << c.at.y();
    }
    // A double click shows 1:1 and toggles nothing.
    Wheel(&v, -120);
    QTest::mouseDClick(&v, Qt::LeftButton, Qt::NoModifier, {175, 100});
    QTest::qWait(100);
    EXPECT_EQ(v.Zoom().steps, 0);
    EXPECT_EQ(Shading(Shot()), ".....|.....|.....|.....|");
    EXPECT_EQ(selection_.CountSelectedTiles(), 0);
    QApplication::setDoubleClickInterval(interval);
}

// The share of white pixels in a rectangle of the picture.
double White(const QImage& shot, const QRect& r) {
    int white = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            white += shot.pixel(x, y) == qRgb(255, 255, 255);
    return double(white) / (r.width() * r.height());
}

TEST_F(ViewerTest, PanelHidesUnderThePointerAndMovesBesideTheHeaders) {
    preferences_.Set(Preference::Info, true);
    preferences_.Set(Preference::SettingsFileInfo, true);  // the settings-file line only
    paths_ = ResolveSettingsPathsIn(dir_ / "config", "bob");
    ViewerWidget& v = Show(20, 20, [](int, int) { return qRgb(0, 0, 0); });
    const QRect firstLine(0, 0, 60, 13);
    EXPECT_GT(White(Shot(), firstLine), 0.3);
    Mouse(&v, QEvent::MouseMove, Qt::NoButton, {99, 63}, Qt::NoButton);
    EXPECT_TRUE(v.PanelHidden());
    EXPECT_EQ(White(Shot(), firstLine), 0);
    Mouse(&v, QEvent::MouseMove, Qt::NoButton, {100, 10}, Qt::NoButton);
    EXPECT_FALSE(v.PanelHidden());
    // In selection mode the panel starts one pixel right of the 21-pixel
    // header column and just below the 16-pixel header row.
    selection_.Enter(1, 1);
    const QImage shot = Shot();
    EXPECT_GT(White(shot, firstLine.translated(22, 17)), 0.3);
    EXPECT_EQ(White(shot, QRect(24, 31, 60, 13)), 0);
}

TEST_F(ViewerTest, ExtremeZoomSizesAndDragsStayWhole) {
    settings_.widthValue[0] = 1;
    settings_.heightValue[0] = 1;
    preferences_.Set(Preference::Info, true);
    ViewerWidget& thin = Show(3, 70000, [](int x, int y) { return qRgb(x, y, 7); });
    selection_.Enter(3, 70000);
    for (int notch : {120, -120}) {
        for (int i = 0; i < 3000; ++i) Wheel(&thin, notch * 100);
        Shot();
        EXPECT_GE(thin.ImageRect().height(), 1);
    }
    thin.resize(1, 1);
    Shot();
    selection_.Leave();

    // A column boundary dragged far beyond the window either way.
    settings_.widthValue[0] = 100;
    ViewerWidget& v = Show(400, 300, [](int x, int y) { return qRgb(x, y, 7); });
    const QPoint line(v.Model().ImageToWindowX(100), 150);
    Mouse(&v, QEvent::MouseButtonPress, Qt::LeftButton, line, Qt::LeftButton);
    Mouse(&v, QEvent::MouseMove, Qt::NoButton, {1 << 29, 150}, Qt::LeftButton);
    EXPECT_EQ(settings_.widthValue[0], (1 << 29) - v.Model().OriginX());
    Mouse(&v, QEvent::MouseMove, Qt::NoButton, {-(1 << 29), 150}, Qt::LeftButton);
    Mouse(&v, QEvent::MouseButtonRelease, Qt::LeftButton, {0, 0}, Qt::NoButton);
    EXPECT_EQ(settings_.widthValue[0], 0);  // on the left edge: one column, the whole width
    Shot();
}

using testing::WindowTest;

TEST_F(WindowTest, CutLineDragsSaveOnceTheyEndAndRightDragsSelect) {
    settings_.widthValue[0] = 100;
    settings_.heightValue[0] = 100;
    ASSERT_TRUE(SaveSplitSettings(settings_, paths_, nullptr));
    MainWindow& w = OpenWindow();
    Trigger(cmd::kInfo);  // no panel over the picture
    ASSERT_TRUE(Load(WriteBmp("a.bmp", 400, 300)));
    ViewerWidget* v = w.View();
    v->ShowOneToOne();
    const ViewModel& m = v->Model();
    const int x = m.ImageToWindowX(200), y = m.OriginY() + 150;
    Mouse(v, QEvent::MouseMove, Qt::NoButton, {x + 2, y}, Qt::NoButton);
    EXPECT_EQ(v->cursor().shape(), Qt::SizeHorCursor);
    Mouse(v, QEvent::MouseButtonPress, Qt::LeftButton, {x + 2, y}, Qt::LeftButton);
    Mouse(v, QEvent::MouseMove, Qt::NoButton, {x + 60, y}, Qt::LeftButton);
    Mouse(v, QEvent::MouseMove, Qt::NoButton, {x + 90, y}, Qt::LeftButton);
    EXPECT_EQ(settings_.widthValue[0], 145);  // boundary 2 at image x 290
    EXPECT_EQ(SlotValue("CUT_SIZE", "WIDTH"), "100");
    Mouse(v, QEvent::MouseButtonRelease, Qt::LeftButton, {x + 90, y}, Qt::NoButton);
    EXPECT_EQ(SlotValue("CUT_SIZE", "WIDTH"), "145");

    // Selection mode: a right drag inverts the tiles it touches, a right
    // click shows the menu and leaves the selection as it was.
    Trigger(cmd::kSelectionMode);
    ASSERT_TRUE(w.InSelectionMode());
    v->grab();
    const QPoint a(m.ImageToWindowX(10), m.ImageToWindowY(10));
    const QPoint b(m.ImageToWindowX(150), m.ImageToWindowY(120));
    Mouse(v, QEvent::MouseButtonPress, Qt::RightButton, a, Qt::RightButton);
    Mouse(v, QEvent::MouseMove, Qt::NoButton, b, Qt::RightButton);
    const QImage during = v->grab().toImage();
    const QRgb yellowOverBlack = during.pixel((a + b) / 2);
    EXPECT_GT(qRed(yellowOverBlack), qBlue(yellowOverBlack) + 40);  // the yellow rectangle
    Mouse(v, QEvent::MouseButtonRelease, Qt::RightButton, b, Qt::NoButton);
    EXPECT_FALSE(w.PopupMenu()->isVisible());
    EXPECT_EQ(w.Selection().CountSelectedTiles(), 4);  // columns 1 and 2, rows 1 and 2
    EXPECT_TRUE(w.Selection().IsTileSelected(1, 1));
    EXPECT_FALSE(w.Selection().IsTileSelected(2, 0));
    Mouse(v, QEvent::MouseButtonPress, Qt::RightButton, a, Qt::RightButton);
    Mouse(v, QEvent::MouseMove, Qt::NoButton, a + QPoint(2, 2), Qt::RightButton);
    EXPECT_EQ(w.Selection().CountSelectedTiles(), 3);
    Mouse(v, QEvent::MouseButtonRelease, Qt::RightButton, a + QPoint(2, 2), Qt::NoButton);
    EXPECT_TRUE(w.PopupMenu()->isVisible());
    w.PopupMenu()->hide();
    EXPECT_EQ(w.Selection().CountSelectedTiles(), 4);
}

}  // namespace
}  // namespace tessarin
