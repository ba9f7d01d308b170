#include "ui/view/view_painter.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <cmath>

#include "ui/fonts.h"
#include "ui/view/cut_lines.h"

namespace tessarin {

namespace {

bool HasNamedFamily() {
    static const bool has =
        QFontDatabase::families().contains(QString::fromUtf8(kViewerFontFamily));
    return has;
}

QString SansSerifJapaneseFamily() {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* name : {"Noto Sans CJK JP", "Noto Sans JP", "IPAexGothic", "IPAGothic",
                                 "VL Gothic", "TakaoGothic"})
            if (installed.contains(QString::fromUtf8(name))) return QString::fromUtf8(name);
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return family;
}

QColor PanelColorOf(PanelColor color) {
    switch (color) {
        case PanelColor::Red:
            return QColor(255, 0, 0);
        case PanelColor::Green:
            return QColor(0, 192, 0);
        default:
            return QColor(0, 0, 0);
    }
}

}  // namespace

PanelFont MakePanelFont(int dotsPerInchY) {
    PanelFont panel;
    panel.pixelSize = std::max(1, 10 * dotsPerInchY / 72);
    panel.lineHeight = static_cast<int>(panel.pixelSize * 1.25);
    panel.font =
        QFont(HasNamedFamily() ? QString::fromUtf8(kViewerFontFamily) : MonospaceJapaneseFamily());
    panel.font.setFixedPitch(true);
    panel.font.setStyleHint(QFont::Monospace);
    panel.font.setPixelSize(panel.pixelSize);
    return panel;
}

QFont MakeOverlayFont() {
    QFont font(HasNamedFamily() ? QString::fromUtf8(kViewerFontFamily) : SansSerifJapaneseFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(10);
    return font;
}

void PaintCutLines(QPainter& painter, const ViewModel& view, const TileGrid& grid, bool negative,
                   BlockGrid block) {
    const int w = view.ClientWidth();
    const int h = view.ClientHeight();
    const int x0 = view.OriginX();
    const int y0 = view.OriginY();
    const double s = view.Scale();
    // Dashes in units of the 2-pixel width: 4 pixels drawn, 4 left.
    auto pen = [](const QColor& color, bool onGrid) {
        QPen p(color, 2, Qt::SolidLine, Qt::FlatCap);
        if (!onGrid) p.setDashPattern({2, 2});
        return p;
    };
    const QColor offGridColor(255, 0, 255);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Inverting ignores the pen's colour: each pixel under the line turns
    // into its inverse, so the lines show on any picture.
    if (negative) painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    for (const BoundaryLine& line : BoundaryLines(x0, s, grid.offsetX, grid.tileWidth, w)) {
        const bool on =
            CutOnGrid(grid.offsetX + line.n * grid.tileWidth, grid.imageWidth, block.width);
        painter.setPen(pen(on ? QColor(Qt::black) : offGridColor, on));
        painter.drawLine(line.window, 0, line.window, h);
    }
    for (const BoundaryLine& line : BoundaryLines(y0, s, grid.offsetY, grid.tileHeight, h)) {
        const bool on =
            CutOnGrid(grid.offsetY + line.n * grid.tileHeight, grid.imageHeight, block.height);
        painter.setPen(pen(on ? QColor(Qt::black) : offGridColor, on));
        painter.drawLine(0, line.window, w, line.window);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QColor red(255, 0, 0);
    if (grid.offsetX != 0) {
        const int x = view.ImageToWindowX(grid.offsetX);
        painter.setPen(pen(red, CutOnGrid(grid.offsetX, grid.imageWidth, block.width)));
        painter.drawLine(x, 0, x, h);
    }
    if (grid.offsetY != 0) {
        const int y = view.ImageToWindowY(grid.offsetY);
        painter.setPen(pen(red, CutOnGrid(grid.offsetY, grid.imageHeight, block.height)));
        painter.drawLine(0, y, w, y);
    }
    painter.restore();
}

void PaintPanel(QPainter& painter, const std::vector<PanelLine>& lines, int x, int top,
                const PanelFont& font) {
    painter.save();
    painter.setFont(font.font);
    const QFontMetrics metrics(font.font);
    // Each line sits on white in a box one em high, as the text cells of a
    // Japanese bitmap font do; the ideographs fill the em box.
    const int baseline = static_cast<int>(std::lround(font.pixelSize * 0.88));
    for (size_t i = 0; i < lines.size(); ++i, top += font.lineHeight) {
        if (lines[i].text.empty()) continue;
        const QString text = QString::fromStdString(lines[i].text);
        painter.fillRect(QRect(x, top, metrics.horizontalAdvance(text), font.pixelSize), Qt::white);
        painter.setPen(PanelColorOf(lines[i].color));
        painter.drawText(x, top + baseline, text);
    }
    painter.restore();
}

}  // namespace tessarin
