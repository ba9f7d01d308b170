// Paint times of the viewer, painting into an image offscreen: a repaint
// after the first, a scroll step at 1:1 and a zoom step, for the viewer and
// for stretching the whole image at every paint. Prints one table row per
// method and the peak resident memory of the process.
//
//   tessarin_viewer_bench IMAGE|--synthetic WxH [--naive|--nocache] [--view WxH]
//
// --naive stretches the whole image with QPainter's smooth transform at every
// paint; --nocache is the viewer's own picture rendered afresh at every paint.

#include <sys/resource.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "settings/app_preferences.h"
#include "split/image_loader.h"
#include "split/selection.h"
#include "ui/preferences_model.h"
#include "ui/view/cut_lines.h"
#include "ui/view/image_pyramid.h"
#include "ui/view/viewer_widget.h"

using namespace tessarin;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Processor time of the whole process (all threads), in milliseconds: on a
// busy machine the wall times wait for the processor, this does not.
double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A 24-bit raster with a pattern that does not compress to nothing.
std::shared_ptr<const DibImage> Synthetic(int width, int height) {
    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = 24;
    std::shared_ptr<DibImage> raster = DibImage::Create(header);
    if (!raster) return nullptr;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = raster->Row(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint8_t>(x ^ y);
            row[3 * x + 1] = static_cast<uint8_t>((x * 7) >> 4);
            row[3 * x + 2] = static_cast<uint8_t>((y * 5) >> 3);
        }
    }
    return raster;
}

// The whole image as one RGB32 picture, as a viewer without a cache keeps it
// (24- and 32-bit rasters).
QImage WholeImage(const DibImage& raster) {
    QImage image(raster.Width(), raster.AbsHeight(), QImage::Format_RGB32);
    if (image.isNull()) return image;
    const int step = raster.BitCount() / 8;
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* p = raster.Row(y);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x, p += step) line[x] = qRgb(p[2], p[1], p[0]);
    }
    return image;
}

void Send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(pos), QPointF(pos), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Wheel(QWidget* w, int delta) {
    QWheelEvent e(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string path;
    int synthW = 0, synthH = 0, viewW = 1280, viewH = 800;
    bool naive = false;
    bool noCache = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--naive"))
            naive = true;
        else if (!std::strcmp(argv[i], "--nocache"))
            noCache = true;
        else if (!std::strcmp(argv[i], "--synthetic") && i + 1 < argc)
            std::sscanf(argv[++i], "%dx%d", &synthW, &synthH);
        else if (!std::strcmp(argv[i], "--view") && i + 1 < argc)
            std::sscanf(argv[++i], "%dx%d", &viewW, &viewH);
        else
            path = argv[i];
    }

    CurrentImage image;
    auto start = Clock::now();
    if (synthW > 0) {
        image.raster = Synthetic(synthW, synthH);
        if (!image.raster) return 1;
        image.width = synthW;
        image.height = synthH;
        image.displayDepth = 24;
        path = std::to_string(synthW) + "x" + std::to_string(synthH) + " synthetic";
    } else {
        std::string error;
        std::vector<std::string> notices;
        if (!LoadImageFile(path, image, error, notices)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    const double loadMs = Ms(start);
    const double rasterMiB = static_cast<double>(image.raster->ImageSize()) / 1048576.0;

    // The viewer's pyramid, or for the naive paint the whole image converted
    // once (and a pyramid without levels, which the widget needs to paint).
    start = Clock::now();
    std::shared_ptr<const ImagePyramid> pyramid;
    QImage whole;
    if (naive) {
        whole = WholeImage(*image.raster);
        BitmapInfoHeader dot;
        dot.biWidth = dot.biHeight = 1;
        dot.biBitCount = 24;
        pyramid = ImagePyramid::Build(DibImage::Create(dot, nullptr, 0, true));
    } else {
        pyramid = ImagePyramid::Build(image.raster);
    }
    const double prepareMs = Ms(start);

    SplitSettings settings;
    settings.widthValue[0] = 256;
    settings.heightValue[0] = 256;
    SettingsPaths paths;
    SelectionMap selection;
    const std::string info = "【 画 像 情 報 】" + std::to_string(image.width) + "x" +
                             std::to_string(image.height) + "(24bpp)";
    // Everything drawn but the viewer mode, the first zoom at 1:1 and the
    // settings file's panel line.
    PreferencesModel preferences;
    for (const PreferenceKey& key : PreferenceKeys())
        preferences.Set(key.preference, key.preference != Preference::ViewerMode &&
                                            key.preference != Preference::SameScale &&
                                            key.preference != Preference::SettingsFileInfo);
    ViewerWidget view;
    view.Bind({&settings, &paths, &image, &selection, &info, &preferences, [] { return false; }});
    view.resize(viewW, viewH);
    view.SetImage(pyramid);
    view.ApplyInitialZoom();
    QImage target(viewW, viewH, QImage::Format_RGB32);

    // Naive: the whole image stretched into place at every paint, then the
    // same lines and panel.
    std::function<void()> paint = [&] {
        if (noCache) view.Cache().SetSource(pyramid);
        view.render(&target);
    };
    if (naive)
        paint = [&] {
            const ViewModel& m = view.Model();
            QPainter p(&target);
            p.fillRect(target.rect(), Qt::black);
            p.setRenderHint(QPainter::SmoothPixmapTransform, m.Scale() <= 1);
            p.drawImage(QRect(m.OriginX(), m.OriginY(), m.DisplayedWidth(), m.DisplayedHeight()),
                        whole);
            const TileGrid grid = ComputeGridCounts(image.width, image.height, settings);
            PaintCutLines(p, m, grid, false);
        };

    struct Times {
        std::vector<double> wall, cpu;
        void Add(const Times& o) {
            wall.insert(wall.end(), o.wall.begin(), o.wall.end());
            cpu.insert(cpu.end(), o.cpu.begin(), o.cpu.end());
        }
    };
    auto timed = [&](const std::function<void()>& step, int runs) {
        Times t;
        for (int i = 0; i < runs; ++i) {
            step();
            const auto s = Clock::now();
            const double c = CpuMs();
            paint();
            t.wall.push_back(Ms(s));
            t.cpu.push_back(CpuMs() - c);
        }
        return t;
    };

    start = Clock::now();
    paint();
    const double firstMs = Ms(start);
    const Times repaint = timed([] {}, 20);

    // Zoom steps in from the fit and back out: each step is a new scale.
    Times zoom = timed([&] { Wheel(&view, 120); }, 6);
    zoom.Add(timed([&] { Wheel(&view, -120); }, 6));

    // Scroll at 1:1: drag by 16 pixels per step.
    view.ShowOneToOne();
    paint();
    const QPoint press(viewW / 2, viewH / 2);
    Send(&view, QEvent::MouseButtonPress, press, Qt::LeftButton);
    int dx = 0;
    const Times scroll = timed(
        [&] {
            dx -= 16;
            Send(&view, QEvent::MouseMove, press + QPoint(dx, dx / 2), Qt::LeftButton);
        },
        30);
    Send(&view, QEvent::MouseButtonRelease, press + QPoint(dx, dx / 2), Qt::NoButton);

    std::printf(
        "%-24s %-6s load %5.0f ms, prepare %4.0f ms | first paint %5.1f ms | wall (cpu) medians: "
        "repaint %4.1f (%4.1f) ms, scroll step at 1:1 %4.1f (%4.1f) ms, zoom step %5.1f (%5.1f) "
        "ms, slowest zoom step %5.1f ms | raster %5.1f MiB, levels %5.1f MiB, tiles %4.1f MiB, "
        "peak RSS %6.1f MiB = %.2f x raster\n",
        path.substr(path.find_last_of('/') + 1).c_str(),
        naive     ? "naive"
        : noCache ? "nocache"
                  : "viewer",
        loadMs, prepareMs, firstMs, Median(repaint.wall), Median(repaint.cpu), Median(scroll.wall),
        Median(scroll.cpu), Median(zoom.wall), Median(zoom.cpu),
        *std::max_element(zoom.wall.begin(), zoom.wall.end()), rasterMiB,
        static_cast<double>(pyramid->LevelBytes()) / 1048576.0,
        static_cast<double>(view.Cache().Bytes()) / 1048576.0, PeakRssMiB(),
        PeakRssMiB() / rasterMiB);
    return 0;
}
