#pragma once
// The lines of the information panel in the viewer's top-left corner, without
// any widget: which lines are shown, their texts and their colours.

#include <string>
#include <vector>

#include "imaging/loaded_image.h"
#include "settings/split_settings.h"
#include "split/block_grid.h"
#include "split/geometry.h"

namespace tessarin {

enum class PanelColor { Black, Red, Green };

struct PanelLine {
    std::string text;  // empty: the line keeps its place but shows nothing
    PanelColor color = PanelColor::Black;
    bool operator==(const PanelLine&) const = default;
};

// Which panel lines the user asked for (the "情報表示" submenu) and the view
// options that change the panel.
struct PanelChoices {
    bool imageInfo = false;      // 画像情報
    bool settingsFile = false;   // 設定ファイル
    bool saveFolder = false;     // 保存フォルダ
    bool aspect = false;         // 縦横比合致
    bool cutSize = false;        // 分割サイズ
    bool offset = false;         // オフセット
    bool nameRule = false;       // 命名規則
    bool scale = false;          // 表示倍率
    bool jpegQuality = false;    // JPEG品質
    bool threads = false;        // 分割同時処理数
    bool cutCount = false;       // 分割数
    bool selectedCount = false;  // 選択数
    bool breakdown = false;      // 分割内訳
    bool viewerMode = false;     // ビューアモード
    bool notOverwrite = false;   // 変更で上書きしない
};

struct PanelFacts {
    bool imageLoaded = false;
    std::string imageInfoLine;  // "【 画 像 情 報 】WxH(Nbpp)", empty without an image
    ColorKind colorKind = ColorKind::None;
    bool interlaced = false;
    int viewReduction = 0;  // the picture on view is reduced by this factor (0: it is not)
    double scale = -1;      // the display scale, -1 without an image
    bool selectionMode = false;
    int selectedTiles = 0;
    std::string slotName;
    std::string outputFolder;  // as DescribeOutputFolder gives it
    TileGrid grid;             // of the image on view
    // The block grid of a JPEG on view cut losslessly (else none), and
    // whether the settings put the cuts on it.
    BlockGrid block;
    GridAlignment alignment;
};

// "【ブロック】16x16" with whether the cuts are on that grid; the panel and the
// split size dialog show it for a JPEG cut losslessly.
std::string BlockGridLine(BlockGrid block, const GridAlignment& alignment);

// AxisBreakdownText in the window's language.
std::string BreakdownLine(const TileGrid& grid, Axis axis);

std::vector<PanelLine> BuildPanelLines(const SplitSettings& settings, const PanelChoices& choices,
                                       const PanelFacts& facts);

}  // namespace tessarin
