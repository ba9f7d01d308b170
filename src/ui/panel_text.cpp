#include "ui/panel_text.h"

#include <cstdarg>
#include <cstdio>

#include "ui/view_model.h"

namespace tessarin {

namespace {

// The continuation lines line up under the text after the 16-cell titles.
constexpr const char* kIndent16 = "　　　　　　　　";

std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string SizeText(const char* title, SizeUnit unit, const double (&value)[3]) {
    switch (unit) {
        case SizeUnit::Percent:
            return Format("%s%6.2f ％", title, value[UnitIndex(SizeUnit::Percent)]);
        case SizeUnit::Count:
            return Format("%s%2d 個", title, SaturateToInt(value[UnitIndex(SizeUnit::Count)]));
        default:
            return Format("%s%3d pixel", title, SaturateToInt(value[UnitIndex(SizeUnit::Pixel)]));
    }
}

std::string OffsetText(const char* title, SizeUnit unit, const double (&value)[2]) {
    if (unit == SizeUnit::Percent)
        return Format("%s%6.2f ％", title, value[UnitIndex(SizeUnit::Percent)]);
    return Format("%s%3d pixel", title, SaturateToInt(value[UnitIndex(SizeUnit::Pixel)]));
}

std::string NameRuleText(NameFormat format, bool reverse) {
    switch (format) {
        case NameFormat::RowCol:
            return reverse ? "【 命 名 規 則 】 _行番_列番(右から)"
                           : "【 命 名 規 則 】 _行番_列番";
        case NameFormat::ColRow:
            return reverse ? "【 命 名 規 則 】 _列番_行番(右から)"
                           : "【 命 名 規 則 】 _列番_行番";
        case NameFormat::AcrossCount:
            return reverse ? "【 命 名 規 則 】 _右上から横に数えた番号"
                           : "【 命 名 規 則 】 _左上から横に数えた番号";
        case NameFormat::DownCount:
            return reverse ? "【 命 名 規 則 】 _右上から縦に数えた番号"
                           : "【 命 名 規 則 】 _左上から縦に数えた番号";
    }
    return {};  // an unknown rule keeps its line empty
}

}  // namespace

std::vector<PanelLine> BuildPanelLines(const SplitSettings& settings, const PanelChoices& choices,
                                       const PanelFacts& facts) {
    std::vector<PanelLine> lines;
    auto add = [&lines](std::string text, PanelColor color = PanelColor::Black) {
        lines.push_back({std::move(text), color});
    };
    const std::string indent = kIndent16;

    if (choices.imageInfo && !facts.imageInfoLine.empty()) {
        add(facts.imageInfoLine);
        if (facts.colorKind == 1) add(indent + " インデックスカラー");
        if (facts.colorKind == 2) add(indent + " グレースケール");
        if (facts.interlaced) add(indent + " インターレース");
    }
    const bool showScale = facts.scale > 0 && choices.scale;
    const std::string scaleLine = Format("【 表 示 倍 率 】%6.2f ％", facts.scale * 100);
    if (choices.viewerMode) {
        if (showScale) add(scaleLine);
        return lines;
    }
    if (choices.settingsFile) {
        if (choices.notOverwrite)
            add("【設定ファイル】" + facts.slotName + "（上書き禁止）", PanelColor::Green);
        else
            add("【設定ファイル】" + facts.slotName);
    }
    if (choices.saveFolder) add("【保存フォルダ】" + facts.outputFolder);
    if (choices.aspect) {
        if (settings.adjustAspect == 0)
            add("【 縦横比合致 】無し");
        else
            add(settings.aspectBaseWidth ? "【 縦横比合致 】基準：横幅"
                                         : "【 縦横比合致 】基準：高さ");
    }
    if (choices.cutSize) {
        add(SizeText("【 分割サイズ 】 幅 ：", settings.widthUnit, settings.widthValue));
        add(SizeText((indent + "高さ：").c_str(), settings.heightUnit, settings.heightValue));
    }
    if (choices.offset) {
        add(OffsetText("【 オフセット 】 横 ：", settings.offsetXUnit, settings.offsetXValue),
            PanelColor::Red);
        add(OffsetText((indent + " 縦 ：").c_str(), settings.offsetYUnit, settings.offsetYValue),
            PanelColor::Red);
    }
    if (facts.imageLoaded && choices.cutCount)
        add(Format("【　分 割 数　】%d(横)x%d(縦)=%lld(総数)", facts.grid.columns, facts.grid.rows,
                   static_cast<long long>(facts.grid.columns) * facts.grid.rows));
    if (facts.imageLoaded && facts.selectionMode && choices.selectedCount)
        add(Format("【　選 択 数　】%d", facts.selectedTiles));
    if (facts.imageLoaded && choices.breakdown) {
        add(AxisBreakdownText(facts.grid, Axis::Horizontal));
        add(AxisBreakdownText(facts.grid, Axis::Vertical));
    }
    if (choices.nameRule) {
        add(NameRuleText(settings.nameFormat, settings.reverse != 0));
        add(Format("%s 振始番号：%d", kIndent16, settings.firstNumber));
        add(Format("%s　 最小桁：%d", kIndent16, settings.digits));
    }
    if (choices.jpegQuality && settings.correctCut != 0 && settings.allBmp == 0)
        add(Format("【 JPEG 品 質 】%d", settings.jpegQuality));
    if (choices.threads) add(Format("【 同時処理数 】%d", settings.threadCount));
    if (showScale) add(scaleLine);
    return lines;
}

}  // namespace tessarin
