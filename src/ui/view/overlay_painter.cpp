// The selection overlay: translucent fills over the selected tiles, a white
// header row and column with the column and row numbers ("OF" in red for an
// offset strip), and the corner cell that selects everything.

#include <QPainter>
#include <climits>

#include "ui/view/view_painter.h"

namespace tessarin {

namespace {

const QColor kSelectionFill = QColor::fromRgba(0x808060FF);
const QColor kDragFill = QColor::fromRgba(0x60FFFF00);
const QColor kOffsetRed = QColor::fromRgba(0xFFFF0000);
constexpr int kH = OverlayLayout::kHeaderHeight;

// Cells narrower than a pixel (many tiles per window pixel) draw nothing.
bool Visible(const CellRect& c) { return c.right >= c.left && c.bottom >= c.top; }

QRect Area(const CellRect& c) {
    return QRect(c.left, c.top, c.right - c.left + 1, c.bottom - c.top + 1);
}
QRectF TextArea(const CellRect& c) {
    return QRectF(c.left, c.top, double(c.right) - c.left + 1, double(c.bottom) - c.top + 1);
}

bool Selected(const SelectionMap& map, int j, int k) {
    return j < map.RowCapacity() && k < map.Stride() &&
           map.Cell(j, k).flag.load(std::memory_order_relaxed) != 0;
}

// Labels of one axis: the separating lines and the numbers, "OF" for an
// offset strip. `vertical` lays them along the header column.
void PaintLabels(QPainter& painter, const OverlayLayout& layout, bool vertical, CellRange visible,
                 const QPen& black, const QPen& red) {
    const AxisCells& axis = vertical ? layout.Rows() : layout.Columns();
    const int across = vertical ? layout.HeaderWidth() : kH;
    auto line = [&](int at) {
        if (vertical)
            painter.drawLine(0, at, across, at);
        else
            painter.drawLine(at, 0, at, across);
    };
    auto cell = [&](int k) { return vertical ? layout.Cell(k, 0) : layout.Cell(0, k); };
    const bool offset = axis.HasOffset();
    if (visible.first == 1) {
        painter.setPen(offset ? red : black);
        line(axis.Low(1));
    }
    int last = INT_MIN;  // a black line drawn again on the same place changes nothing
    for (int k = visible.first; k <= visible.last; ++k) {
        const bool strip = offset && k == 1;
        const int at = axis.High(k) + 1;
        if (strip || at != last) {
            painter.setPen(strip ? red : black);
            line(at);
            last = strip ? INT_MIN : at;
        }
        const CellRect c = cell(k);
        if (!Visible(c)) continue;
        painter.setPen(strip ? kOffsetRed : QColor(Qt::black));
        const QString text = strip ? QStringLiteral("OF") : QString::number(offset ? k - 1 : k);
        painter.drawText(TextArea(c), Qt::AlignCenter | Qt::TextSingleLine, text);
    }
}

}  // namespace

void PaintOverlay(QPainter& painter, const OverlayLayout& layout, const SelectionMap& map,
                  const SelectionRectF* dragRect, QSize client, const QFont& font) {
    if (layout.Empty()) return;
    const int w = client.width();
    const int h = client.height();
    const int hw = layout.HeaderWidth();
    const CellRange columns = layout.Columns().Within(-2, w + 1);
    const CellRange rows = layout.Rows().Within(-2, h + 1);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);

    for (int k = columns.first; k <= columns.last; ++k)
        for (int j = rows.first; j <= rows.last; ++j)
            if (Selected(map, j, k) && Visible(layout.Cell(j, k)))
                painter.fillRect(Area(layout.Cell(j, k)), kSelectionFill);
    if (dragRect)
        painter.fillRect(QRectF(dragRect->left, dragRect->top, dragRect->width, dragRect->height),
                         kDragFill);

    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(font);
    const QPen black(Qt::black, 2.0, Qt::SolidLine, Qt::FlatCap);
    const QPen red(kOffsetRed, 2.0, Qt::SolidLine, Qt::FlatCap);
    painter.fillRect(QRect(0, 0, w, kH), Qt::white);
    painter.fillRect(QRect(0, kH, hw, h), Qt::white);
    PaintLabels(painter, layout, false, columns, black, red);
    PaintLabels(painter, layout, true, rows, black, red);

    for (int k = columns.first; k <= columns.last; ++k)
        if (Selected(map, 0, k) && Visible(layout.Cell(0, k)))
            painter.fillRect(Area(layout.Cell(0, k)), kSelectionFill);
    for (int j = rows.first; j <= rows.last; ++j)
        if (Selected(map, j, 0) && Visible(layout.Cell(j, 0)))
            painter.fillRect(Area(layout.Cell(j, 0)), kSelectionFill);

    painter.fillRect(QRect(0, 0, hw, kH), Qt::white);
    painter.setPen(black);
    painter.drawLine(hw, 0, hw, h);
    painter.drawLine(0, kH, w, kH);
    painter.setPen(Qt::black);
    painter.drawText(TextArea(layout.Cell(0, 0)), Qt::AlignCenter | Qt::TextSingleLine,
                     QStringLiteral("Ａ"));
    if (Selected(map, 0, 0)) painter.fillRect(Area(layout.Cell(0, 0)), kSelectionFill);
    painter.restore();
}

}  // namespace tessarin
