// The image on view: loading off the GUI thread, the title and information
// line, the mouse gestures.

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <filesystem>

#include "imaging/jpeg/jpeg_test_util.h"
#include "split/messages.h"
#include "ui/document/image_loading.h"
#include "ui/preferences_model.h"
#include "ui/view/image_pyramid.h"
#include "ui/view/view_zoom.h"
#include "ui/view/viewer_widget.h"
#include "ui/window/command_ids.h"
#include "ui/window/preference_commands.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

using testing::WindowTest;

void SendMouse(QWidget* view, QEvent::Type type, Qt::MouseButton button, QPoint pos, quint64 time) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(pos), QPointF(view->mapToGlobal(pos)), button, held,
                      Qt::NoModifier);
    event.setTimestamp(time);
    QApplication::sendEvent(view, &event);
}

TEST_F(WindowTest, LoadingShowsTheImageAndAFailedLoadKeepsIt) {
    settings_.adjustAspect = 1;
    settings_.widthValue[0] = 160;
    MainWindow& w = OpenWindow();
    const std::string path = WriteBmp("Photo.BMP", 640, 480);
    w.OpenForViewing(path);
    // The file is read on another thread; meanwhile the window is busy.
    EXPECT_TRUE(w.IsSplitRunning());
    EXPECT_FALSE(w.Action(cmd::kSplitSize)->isEnabled());
    QSignalSpy finished(&w, &MainWindow::loadFinished);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    EXPECT_FALSE(w.IsSplitRunning());

    EXPECT_EQ(w.windowTitle().toStdString(), "Tessarin - " + path);
    EXPECT_EQ(w.ImageInfoLine(), "【 画 像 情 報 】640x480(24bpp)");
    EXPECT_EQ(w.Image().width, 640);
    EXPECT_TRUE(w.Action(cmd::kSplit)->isEnabled());
    EXPECT_TRUE(w.Action(cmd::kSelectionMode)->isEnabled());
    // The split size follows the image's proportions, and is saved.
    EXPECT_EQ(settings_.heightValue[0], 120);
    EXPECT_EQ(SlotValue("CUT_SIZE", "HEIGHT"), "120");
    // Fitted to the view and drawn in the middle of it on black (away from
    // the cut lines through the middle).
    const QImage shown = w.View()->grab().toImage();
    const QRect image = w.View()->ImageRect();
    EXPECT_EQ(image.height(), w.View()->height());
    EXPECT_EQ(QColor(shown.pixel(shown.rect().center() + QPoint(10, 10))),
              QColor(0x80, 0x80, 0x80));
    // The information panel takes the top-left corner.
    EXPECT_EQ(QColor(shown.pixel(1, shown.height() - 2)), QColor(Qt::black));

    const std::string bad = dir_ / "bad.bmp";
    testing::WriteBytes(bad, {'B', 'M', 0, 1, 2});
    EXPECT_FALSE(Load(bad));
    EXPECT_FALSE(Load(dir_ / "photo.txt"));
    EXPECT_EQ(*errors_, (std::vector<std::string>{msg::kInvalidFile, msg::kUnsupported}));
    EXPECT_EQ(w.windowTitle().toStdString(), "Tessarin - " + path);
    EXPECT_EQ(w.ImageInfoLine(), "【 画 像 情 報 】640x480(24bpp)");
    EXPECT_EQ(w.Image().path, path);
    EXPECT_FALSE(w.IsSplitRunning());
}

// A large progressive JPEG shows the picture of its first scans while it is
// read whole. One that then fails (a broken table before its last scan)
// gives its message and puts the image before it back, title, panel and
// picture.
TEST_F(WindowTest, APictureShownBeforeAFailedLoadGoesAgain) {
    settings_.adjustAspect = 1;
    settings_.widthValue[0] = 160;
    settings_.heightValue[0] = 100;
    MainWindow& w = OpenWindow();
    const std::string good = dir_ / "good.jpg", bad = dir_ / "bad.jpg";
    jpeg_test::WriteSource(good, {.width = 2600, .height = 1560, .progressive = true});
    std::vector<uint8_t> bytes = testing::ReadBytes(good);
    const uint8_t sos[] = {0xFF, 0xDA};
    const auto last = std::find_end(bytes.begin(), bytes.end(), sos, sos + 2);
    ASSERT_NE(last, bytes.end());
    std::vector<uint8_t> bogus = {0xFF, 0xC4, 0x00, 0x13, 0x00};  // more codes than values
    bogus.insert(bogus.end(), 16, 0xFF);
    bytes.insert(last, bogus.begin(), bogus.end());
    testing::WriteBytes(bad, bytes);

    // With no image before it, the window is empty again, and the split
    // size its proportions gave goes back.
    QSignalSpy previews(&w.Loading(), &ImageLoading::previewed);
    EXPECT_FALSE(Load(bad));
    EXPECT_EQ(previews.count(), 1);
    EXPECT_FALSE(w.Image().Shown());
    EXPECT_EQ(w.windowTitle().toStdString(), "Tessarin");
    EXPECT_FALSE(w.Action(cmd::kSplit)->isEnabled());
    EXPECT_EQ(settings_.heightValue[0], 100);
    EXPECT_EQ(SlotValue("CUT_SIZE", "HEIGHT"), "100");

    const std::string before = WriteBmp("before.bmp", 64, 48);
    ASSERT_TRUE(Load(before));
    const auto picture = w.View()->Picture();
    EXPECT_FALSE(Load(bad));
    EXPECT_EQ(previews.count(), 2);
    ASSERT_EQ(errors_->size(), 2u);
    EXPECT_EQ(settings_.heightValue[0], 120);
    EXPECT_EQ(w.windowTitle().toStdString(), "Tessarin - " + before);
    EXPECT_EQ(w.ImageInfoLine(), "【 画 像 情 報 】64x48(24bpp)");
    EXPECT_EQ(w.Image().path, before);
    EXPECT_EQ(w.View()->Picture(), picture);

    ASSERT_TRUE(Load(good));
    EXPECT_EQ(previews.count(), 3);
    EXPECT_EQ(w.Image().viewReduction, 0);
    EXPECT_TRUE(w.Image().raster);
    EXPECT_TRUE(w.View()->Picture()->HasRaster());
}

// Counts the paints a widget gets.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(WindowTest, TheViewerAndTheCheckMarksFollowThePreferencesModel) {
    settings_.widthValue[0] = 100;
    settings_.heightValue[0] = 100;
    MainWindow& w = OpenWindow();
    ASSERT_TRUE(Load(WriteBmp("a.bmp", 300, 200)));
    ViewerWidget* v = w.View();
    PaintCounter counter;
    v->installEventFilter(&counter);
    PreferencesModel& model = w.Preferences();
    const QImage withPanel = v->grab().toImage();

    // A check mark set by hand draws nothing: the viewer reads the model.
    w.Action(cmd::kInfo)->setChecked(false);
    EXPECT_EQ(v->grab().toImage(), withPanel);
    w.Action(cmd::kInfo)->setChecked(true);

    // Every flag changed in the model alone: its check mark follows, a view
    // flag repaints the viewer, and nothing is written.
    for (const PreferenceCommand& entry : kPreferenceCommands) {
        SCOPED_TRACE(KeyOf(entry.preference).key);
        const bool on = !model.On(entry.preference);
        const int paints = counter.paints;
        model.Set(entry.preference, on);
        EXPECT_EQ(w.IsChecked(entry.command), on);
        if (PreferencesModel::IsViewPreference(entry.preference)) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > paints; }, 5000));
        }
        model.Set(entry.preference, !on);
        EXPECT_EQ(w.IsChecked(entry.command), !on);
    }
    EXPECT_FALSE(std::filesystem::exists(paths_.mainSettingsPath));

    // The panel goes with the model's flag, and the cut lines with theirs.
    model.Set(Preference::Info, false);
    const QImage bare = v->grab().toImage();
    EXPECT_NE(bare, withPanel);
    model.Set(Preference::CutLine, false);
    EXPECT_NE(v->grab().toImage(), bare);
    model.Set(Preference::CutLine, true);
    EXPECT_EQ(v->grab().toImage(), bare);
}

TEST_F(WindowTest, ColourReductionNoticeUnlessTheUserHidIt) {
    testing::BmpLayout layout;
    layout.width = 2;
    layout.height = 2;
    layout.bitCount = 16;
    layout.compression = 3;  // bit fields: 5-6-5, which the reader reduces to 5-5-5
    layout.pixels.assign(8, 0xFF);
    for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) testing::Le32(layout.extra, mask);
    const std::string path = dir_ / "565.bmp";
    testing::WriteBytes(path, testing::BuildBmp(layout));

    MainWindow& w = OpenWindow();
    ASSERT_TRUE(Load(path));
    QTest::qWait(0);  // the notice travels from the loading thread
    ASSERT_EQ(notices_->size(), 1u);
    EXPECT_EQ(notices_->front(), "緑の情報量を「6bit」から「5bit」に減らします\n\n" + path);

    Trigger(cmd::kNoBmp16Notice);
    ASSERT_TRUE(w.IsChecked(cmd::kNoBmp16Notice));
    ASSERT_TRUE(Load(path));
    QTest::qWait(0);
    EXPECT_EQ(notices_->size(), 1u);
}

struct RightCase {
    int dx;
    int dy;
    quint64 held;
    bool selectionMode;
    bool splitRunning;
    int command;  // 4003 or 4004 when a swipe opens a file, 0 when none does
    bool popup;
};

TEST_F(WindowTest, RightButtonSwipesAndThePopupMenu) {
    const RightCase cases[] = {
        {100, 0, 10, false, false, cmd::kNextFile, false},
        {99, 0, 10, false, false, 0, true},
        {-100, 30, 10, false, false, cmd::kPreviousFile, false},  // vertical moves do not count
        {-99, 0, 10, false, false, 0, true},
        {150, 0, 1500, false, false, cmd::kNextFile, false},
        {150, 0, 1600, false, false, 0, true},  // too slow for a swipe
        {0, 0, 10, false, false, 0, true},
        {100, 0, 10, false, true, 0, false},  // no file steps while a split runs
        {-100, 0, 10, false, true, 0, false},
        {20, 0, 10, false, true, 0, true},
        {2, 3, 500, true, false, 0, true},    // a click in selection mode
        {0, 0, 2100, true, false, 0, false},  // held too long: a rectangle selection
        {5, 0, 100, true, false, 0, false},   // moved: a rectangle selection
        {100, 0, 10, true, false, 0, false},
    };
    MainWindow& w = OpenWindow();
    ASSERT_TRUE(Load(WriteBmp("a.bmp", 64, 48)));
    QWidget* view = w.View();
    const QPoint start(300, 200);
    QSignalSpy accepted(&w, &MainWindow::commandAccepted);
    for (const RightCase& c : cases) {
        SCOPED_TRACE("dx " + std::to_string(c.dx) + " dy " + std::to_string(c.dy) + " held " +
                     std::to_string(c.held) + (c.selectionMode ? " selecting" : "") +
                     (c.splitRunning ? " splitting" : ""));
        if (c.selectionMode != w.InSelectionMode()) Trigger(cmd::kSelectionMode);
        ASSERT_EQ(w.InSelectionMode(), c.selectionMode);
        if (c.splitRunning) w.EnterSplitState();
        accepted.clear();
        SendMouse(view, QEvent::MouseButtonPress, Qt::RightButton, start, 1000);
        SendMouse(view, QEvent::MouseButtonRelease, Qt::RightButton, start + QPoint(c.dx, c.dy),
                  1000 + c.held);
        std::vector<int> ids;
        for (const auto& signal : accepted) ids.push_back(signal.at(0).toInt());
        EXPECT_EQ(ids, c.command ? std::vector<int>{c.command} : std::vector<int>{});
        EXPECT_EQ(w.PopupMenu()->isVisible(), c.popup);
        w.PopupMenu()->hide();
        if (c.splitRunning) w.RestoreIdleState();
    }
    // A release without a press of its own is a click.
    SendMouse(view, QEvent::MouseButtonRelease, Qt::RightButton, start, 5000);
    EXPECT_TRUE(w.PopupMenu()->isVisible());
    w.PopupMenu()->hide();
}

TEST_F(WindowTest, MiddleButtonFitsAndLeftDoubleClickShowsOneToOne) {
    MainWindow& w = OpenWindow();
    ASSERT_TRUE(Load(WriteBmp("a.bmp", 400, 300)));
    QWidget* view = w.View();
    const double fit = FitZoomSteps(view->width(), view->height(), 400, 300, 1.1);
    ASSERT_GT(fit, 0.5);  // the window is larger than the image
    EXPECT_DOUBLE_EQ(w.Zoom().steps, fit);

    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_EQ(w.Zoom().steps, 0);
    EXPECT_EQ(w.View()->ImageRect().size(), QSize(400, 300));
    QTest::mouseClick(view, Qt::MiddleButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_DOUBLE_EQ(w.Zoom().steps, fit);

    // "最初は等倍で表示" takes effect at once and for the next image.
    Trigger(cmd::kSameScale);
    EXPECT_EQ(w.Zoom().steps, 0);
    ASSERT_TRUE(Load(WriteBmp("b.bmp", 40, 30)));
    EXPECT_EQ(w.Zoom().steps, 0);
    QTest::mouseClick(view, Qt::MiddleButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_DOUBLE_EQ(w.Zoom().steps, FitZoomSteps(view->width(), view->height(), 40, 30, 1.1));
}

// The window manager may maximise the window only after the first image has
// been fitted: the fit follows the window's size until the user zooms.
TEST_F(WindowTest, FittedImagesFollowTheWindowSizeUntilTheUserZooms) {
    MainWindow& w = OpenWindow();
    ViewerWidget* view = w.View();
    const auto resizeTo = [&](int width, int height) {
        w.resize(width, height);
        return QTest::qWaitFor([&] { return w.size() == QSize(width, height); });
    };
    const auto fit = [&](int imageWidth, int imageHeight) {
        return FitZoomSteps(view->width(), view->height(), imageWidth, imageHeight,
                            view->Model().Rate());
    };
    ASSERT_TRUE(Load(WriteBmp("a.bmp", 640, 480)));
    for (const QSize size : {QSize(1280, 1000), QSize(500, 700), QSize(1000, 300)}) {
        ASSERT_TRUE(resizeTo(size.width(), size.height()));
        EXPECT_DOUBLE_EQ(w.Zoom().steps, fit(640, 480)) << size.width() << "x" << size.height();
    }

    QWheelEvent wheel(QPointF(20, 20), QPointF(view->mapToGlobal(QPoint(20, 20))), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    const double zoomed = fit(640, 480) + 1;
    EXPECT_DOUBLE_EQ(w.Zoom().steps, zoomed);
    ASSERT_TRUE(resizeTo(900, 800));
    EXPECT_DOUBLE_EQ(w.Zoom().steps, zoomed);

    // The next image is fitted, and follows again.
    ASSERT_TRUE(Load(WriteBmp("b.bmp", 300, 500)));
    ASSERT_TRUE(resizeTo(600, 400));
    EXPECT_DOUBLE_EQ(w.Zoom().steps, fit(300, 500));
}

}  // namespace
}  // namespace tessarin
