// How soon the window shows an image it is asked to open: the real main
// window, offscreen, opens IMAGE as the open command does. Prints the time
// from the request to the first painted picture, to the painted picture the
// load ends with (the whole image, or the reduced picture of one too large
// to hold), the peak resident memory, and then the cost of a repaint and of
// a zoom step in and out on the loaded image (each a paint of the whole view).
//
//   tessarin_window_bench IMAGE [--view WxH] [--split DIR]
//
// --split also cuts the image with F3 into 1024 x 1024 exact JPEG tiles in DIR.

#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSignalSpy>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/heap.h"
#include "quiet_presenter.h"
#include "settings/split_settings.h"
#include "ui/view/image_pyramid.h"
#include "ui/view/viewer_widget.h"
#include "ui/window/command_ids.h"
#include "ui/window/main_window.h"

using namespace tessarin;

namespace {

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Notes the time of the first paint with a picture and of the first with
// the picture the load ends with.
class PaintWatch : public QObject {
  public:
    PaintWatch(ViewerWidget* view, const QElapsedTimer& clock) : view_(view), clock_(clock) {
        view->installEventFilter(this);
    }
    double firstMs = -1, wholeMs = -1;
    bool loaded = false;  // set when the load has ended: the next paint shows its picture

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object != view_ || event->type() != QEvent::Paint || !view_->Picture()) return false;
        object->event(event);  // paint now, so the time includes the paint
        const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
        if (firstMs < 0) firstMs = now;
        if (wholeMs < 0 && loaded) wholeMs = now;
        return true;
    }

  private:
    ViewerWidget* view_;
    const QElapsedTimer& clock_;
};

double TimedPaint(ViewerWidget* view) {
    QElapsedTimer t;
    t.start();
    view->repaint();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void Wheel(QWidget* view, int delta) {
    const QPointF at(view->width() / 2.0, view->height() / 2.0);
    QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s IMAGE [--view WxH] [--split DIR]\n", argv[0]);
        return 2;
    }
    const std::string image = std::filesystem::absolute(argv[1]).string();
    int viewW = 960, viewH = 768;
    std::string splitDir;
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--view") == 0) std::sscanf(argv[i + 1], "%dx%d", &viewW, &viewH);
        if (std::strcmp(argv[i], "--split") == 0) splitDir = argv[i + 1];
    }
    ReturnLargeBlocksToTheSystem();  // as the program does at start-up
    QApplication app(argc, argv);
    const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                       ("tessarin-window-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(work);
    SettingsPaths paths = ResolveSettingsPathsIn((work / "config").string(), "bench");
    SplitSettings settings;
    LoadSplitSettings(settings, paths);
    settings.widthValue[0] = settings.heightValue[0] = 1024;
    settings.threadCount = 2;
    settings.formatOptions.Set("OPTION", "CORRECT_CUT", 1);
    settings.allBmp = 0;
    if (!splitDir.empty()) settings.savePath = splitDir;
    MainWindow window(settings, paths);
    auto presenter = std::make_unique<QuietPresenter>();
    QuietPresenter* answers = presenter.get();
    window.SetMessagePresenter(std::move(presenter));
    window.resize(viewW, viewH);
    window.show();
    QApplication::processEvents();
    const double rssBefore = PeakRssMiB();

    QElapsedTimer clock;
    PaintWatch watch(window.View(), clock);
    QSignalSpy loaded(&window, &MainWindow::loadFinished);
    clock.start();
    window.OpenForViewing(image);
    if (!loaded.wait(1200000) || !loaded.at(0).at(0).toBool()) {
        std::fprintf(stderr, "cannot load %s\n", image.c_str());
        return 1;
    }
    const double loadMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    watch.loaded = true;
    window.View()->update();
    while (watch.wholeMs < 0) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double peak = PeakRssMiB();
    const CurrentImage& shown = window.Image();

    // Repaints of what is on view, then zoom steps in and back out.
    std::vector<double> repaint, zoom;
    for (int i = 0; i < 10; ++i) repaint.push_back(TimedPaint(window.View()));
    for (int delta : {120, 120, 120, 120, -120, -120, -120, -120}) {
        Wheel(window.View(), delta);
        zoom.push_back(TimedPaint(window.View()));
    }
    std::sort(repaint.begin(), repaint.end());
    std::sort(zoom.begin(), zoom.end());
    std::printf(
        "%-28s %6dx%-6d %s | first picture %7.0f ms, loaded %7.0f ms, picture of the load %7.0f "
        "ms | peak RSS %7.1f MiB, %7.1f MiB above the empty window | repaint median %5.1f ms, zoom "
        "step median %5.1f ms, slowest %5.1f ms\n",
        image.substr(image.find_last_of('/') + 1).c_str(), shown.width, shown.height,
        shown.viewReduction ? ("reduced 1/" + std::to_string(shown.viewReduction)).c_str()
                            : "whole     ",
        watch.firstMs, loadMs, watch.wholeMs, peak, peak - rssBefore, repaint[repaint.size() / 2],
        zoom[zoom.size() / 2], zoom.back());

    if (!splitDir.empty()) {
        QSignalSpy finished(&window, &MainWindow::splitFinished);
        QElapsedTimer split;
        split.start();
        window.Action(cmd::kSplit)->trigger();
        if (!finished.wait(3600000)) return 1;
        std::printf("F3 split: %.1f s, %s\n", static_cast<double>(split.nsecsElapsed()) / 1e9,
                    answers->result.c_str());
    }
    std::filesystem::remove_all(work);
    return 0;
}
