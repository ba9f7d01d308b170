#pragma once
// Drawing the viewer's layers over the image: the cut lines, the selection
// overlay and the information panel.

#include <QFont>
#include <QSize>
#include <vector>

#include "split/block_grid.h"
#include "split/geometry.h"
#include "split/selection.h"
#include "ui/view/overlay_layout.h"
#include "ui/view/panel_text.h"
#include "ui/view/selection_gestures.h"
#include "ui/view/view_model.h"

class QPainter;

namespace tessarin {

// The font family both the panel and the overlay ask for first.
inline constexpr const char* kViewerFontFamily = "ＭＳ ゴシック";

struct PanelFont {
    QFont font;
    int pixelSize = 13;   // 10 points at the screen's resolution
    int lineHeight = 16;  // 1.25 lines
};
// 10 points of the named fixed-pitch family, else a Japanese monospace one.
PanelFont MakePanelFont(int dotsPerInchY);
// 10 points of the named family, else a Japanese sans-serif one.
QFont MakeOverlayFont();

// Black 2-pixel boundary lines through the whole window (each pixel inverted
// instead in negative mode), then the offset lines in red. With a block grid
// known, the lines off it are dashed, 4 pixels drawn and 4 left, and the
// boundaries among them magenta instead of black (still inverted in negative
// mode; offset lines stay red).
void PaintCutLines(QPainter& painter, const ViewModel& view, const TileGrid& grid, bool negative,
                   BlockGrid block = {});

// Header row and column, numbers, selected cells and the right-button
// rectangle. Only the cells inside the window are drawn.
void PaintOverlay(QPainter& painter, const OverlayLayout& layout, const SelectionMap& map,
                  const SelectionRectF* dragRect, QSize client, const QFont& font);

// Black, red or green text on white, a line every lineHeight pixels from
// (x, top); an empty line keeps its place.
void PaintPanel(QPainter& painter, const std::vector<PanelLine>& lines, int x, int top,
                const PanelFont& font);

}  // namespace tessarin
