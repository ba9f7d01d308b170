// How quickly the window repaints while a split runs: the image is loaded
// into the real main window, F3 splits it with two workers, and every 20 ms
// the view is asked to repaint. Prints the worst and the median time from
// the request to the end of the paint, and the split's wall time.
//
//   tessarin_split_bench IMAGE [--threads N] [--repeat N] [--lossless]
//
// The tiles are exact JPEG tiles (decoded and encoded anew) unless
// --lossless asks for cuts from the compressed data.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSignalSpy>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "quiet_presenter.h"
#include "settings/split_settings.h"
#include "ui/view/viewer_widget.h"
#include "ui/window/command_ids.h"
#include "ui/window/main_window.h"

using namespace tessarin;

namespace {

// Times every paint of the view from the moment it was requested.
class PaintClock : public QObject {
  public:
    explicit PaintClock(QWidget* view) : view_(view) { view->installEventFilter(this); }
    void Request() {
        if (!pending_) {
            pending_ = true;
            requested_.start();
        }
        view_->update();
    }
    std::vector<double> latencies;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object != view_ || event->type() != QEvent::Paint || !pending_) return false;
        // Paint now, so the time includes the paint itself.
        object->event(event);
        latencies.push_back(static_cast<double>(requested_.nsecsElapsed()) / 1e6);
        pending_ = false;
        return true;
    }

  private:
    QWidget* view_;
    QElapsedTimer requested_;
    bool pending_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s IMAGE [--threads N]\n", argv[0]);
        return 2;
    }
    const std::string image = std::filesystem::absolute(argv[1]).string();
    int threads = 2;
    int repeat = 5;
    bool lossless = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lossless") == 0) lossless = true;
        if (i + 1 >= argc) continue;
        if (std::strcmp(argv[i], "--threads") == 0) threads = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[i + 1]));
    }
    QApplication app(argc, argv);

    const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                       ("tessarin-split-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(work / "out");
    SettingsPaths paths = ResolveSettingsPathsIn((work / "config").string(), "bench");
    SplitSettings settings;
    LoadSplitSettings(settings, paths);
    settings.savePath = (work / "out").string();
    settings.widthValue[0] = settings.heightValue[0] = 256;
    settings.threadCount = threads;
    settings.formatOptions.Set("OPTION", "CORRECT_CUT", lossless ? 0 : 1);
    settings.allBmp = 0;

    MainWindow window(settings, paths);
    auto presenter = std::make_unique<QuietPresenter>();
    QuietPresenter* shown = presenter.get();
    window.SetMessagePresenter(std::move(presenter));
    window.resize(1280, 800);
    window.show();
    {
        QSignalSpy loaded(&window, &MainWindow::loadFinished);
        window.OpenForViewing(image);
        if (!loaded.wait(60000) || !loaded.at(0).at(0).toBool()) {
            std::fprintf(stderr, "cannot load %s\n", image.c_str());
            return 1;
        }
    }
    PaintClock clock(window.View());
    QTimer ticker;
    ticker.setInterval(20);
    QObject::connect(&ticker, &QTimer::timeout, [&] { clock.Request(); });

    QSignalSpy finished(&window, &MainWindow::splitFinished);
    QElapsedTimer wall;
    wall.start();
    ticker.start();
    for (int run = 0; run < repeat; ++run) {
        window.Action(cmd::kSplit)->trigger();
        if (!finished.wait(600000)) break;
    }
    const double seconds = static_cast<double>(wall.elapsed()) / 1e3 / repeat;
    ticker.stop();

    std::vector<double> v = clock.latencies;
    std::sort(v.begin(), v.end());
    const double worst = v.empty() ? 0 : v.back();
    const double median = v.empty() ? 0 : v[v.size() / 2];
    const double p99 = v.empty() ? 0 : v[std::min(v.size() - 1, v.size() * 99 / 100)];
    std::printf("%s tiles of %s with %d workers: %.2f s per split (%d splits), %s\n",
                lossless ? "lossless" : "exact", image.c_str(), threads, seconds, repeat,
                shown->result.c_str());
    std::printf(
        "repaints during the split: %zu, request to painted: median %.1f ms, "
        "99th percentile %.1f ms, worst %.1f ms (goal: worst <= 50 ms)\n",
        v.size(), median, p99, worst);
    std::filesystem::remove_all(work);
    return 0;
}
