#include "ui/view/panel_text.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "split/formats.h"
#include "ui/translation.h"
#include "ui/view/view_model.h"

namespace tessarin {

namespace {

// The continuation lines line up under the text after the 16-cell titles.
constexpr const char* kIndent16 = "　　　　　　　　";

std::string S(const QString& text) { return text.toStdString(); }

// A printf format from the translations, with its values.
template <typename... Values>
std::string Format(const std::string& format, Values... values) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format.c_str(), values...);
    return buffer;
}

std::string SizeText(const std::string& title, SizeUnit unit, const double (&value)[3]) {
    switch (unit) {
        case SizeUnit::Percent:
            return Format(S(Tessarin::tr("%s%6.2f ％")), title.c_str(),
                          value[UnitIndex(SizeUnit::Percent)]);
        case SizeUnit::Count:
            return Format(S(Tessarin::tr("%s%2d 個")), title.c_str(),
                          SaturateToInt(value[UnitIndex(SizeUnit::Count)]));
        default:
            return Format("%s%3d pixel", title.c_str(),
                          SaturateToInt(value[UnitIndex(SizeUnit::Pixel)]));
    }
}

std::string OffsetText(const std::string& title, SizeUnit unit, const double (&value)[2]) {
    if (unit == SizeUnit::Percent)
        return Format(S(Tessarin::tr("%s%6.2f ％")), title.c_str(),
                      value[UnitIndex(SizeUnit::Percent)]);
    return Format("%s%3d pixel", title.c_str(), SaturateToInt(value[UnitIndex(SizeUnit::Pixel)]));
}

std::string NameRuleText(NameFormat format, bool reverse) {
    switch (format) {
        case NameFormat::RowCol:
            return reverse ? S(Tessarin::tr("【 命 名 規 則 】 _行番_列番(右から)"))
                           : S(Tessarin::tr("【 命 名 規 則 】 _行番_列番"));
        case NameFormat::ColRow:
            return reverse ? S(Tessarin::tr("【 命 名 規 則 】 _列番_行番(右から)"))
                           : S(Tessarin::tr("【 命 名 規 則 】 _列番_行番"));
        case NameFormat::AcrossCount:
            return reverse ? S(Tessarin::tr("【 命 名 規 則 】 _右上から横に数えた番号"))
                           : S(Tessarin::tr("【 命 名 規 則 】 _左上から横に数えた番号"));
        case NameFormat::DownCount:
            return reverse ? S(Tessarin::tr("【 命 名 規 則 】 _右上から縦に数えた番号"))
                           : S(Tessarin::tr("【 命 名 規 則 】 _左上から縦に数えた番号"));
    }
    return {};  // an unknown rule keeps its line empty
}

}  // namespace

std::string BreakdownLine(const TileGrid& grid, Axis axis) {
    // The engine words the breakdown in Japanese: its title and marks are
    // put in the window's language here.
    std::string text = AxisBreakdownText(grid, axis);
    const std::pair<const char*, const char*> pieces[] = {
        {"【 分 割 内 訳 】 横：", QT_TRANSLATE_NOOP("Tessarin", "【 分 割 内 訳 】 横：")},
        {"　　　　　　　　　縦：", QT_TRANSLATE_NOOP("Tessarin", "　　　　　　　　　縦：")},
        {"(オ)", QT_TRANSLATE_NOOP("Tessarin", "(オ)")},
        {"(余)", QT_TRANSLATE_NOOP("Tessarin", "(余)")},
    };
    for (const auto& [japanese, source] : pieces) {
        const std::string translated = S(Tessarin::tr(source));
        for (size_t at = text.find(japanese); at != std::string::npos;
             at = text.find(japanese, at + translated.size())) {
            text.replace(at, std::strlen(japanese), translated);
        }
    }
    return text;
}

std::string BlockGridLine(BlockGrid block, const GridAlignment& alignment) {
    const QString text =
        alignment.All() ? Tessarin::tr("【ブロック】%1x%2（分割位置はすべてブロック境界上）")
                        : Tessarin::tr("【ブロック】%1x%2（ブロック境界からずれた分割位置あり）");
    return S(text.arg(block.width).arg(block.height));
}

std::vector<PanelLine> BuildPanelLines(const SplitSettings& settings, const PanelChoices& choices,
                                       const PanelFacts& facts) {
    std::vector<PanelLine> lines;
    auto add = [&lines](std::string text, PanelColor color = PanelColor::Black) {
        lines.push_back({std::move(text), color});
    };
    const std::string indent = kIndent16;

    if (choices.imageInfo && !facts.imageInfoLine.empty()) {
        add(facts.imageInfoLine);
        if (facts.colorKind == ColorKind::Indexed)
            add(indent + S(Tessarin::tr(" インデックスカラー")));
        if (facts.colorKind == ColorKind::Grey) add(indent + S(Tessarin::tr(" グレースケール")));
        if (facts.interlaced) add(indent + S(Tessarin::tr(" インターレース")));
    }
    // An image shown reduced says so whatever lines are chosen: its picture
    // is not the image's pixels.
    if (facts.imageLoaded && facts.viewReduction > 0)
        add(Format(S(Tessarin::tr("【 縮 小 表 示 】1/%d")), facts.viewReduction));
    const bool showScale = facts.scale > 0 && choices.scale;
    const std::string scaleLine =
        Format(S(Tessarin::tr("【 表 示 倍 率 】%6.2f ％")), facts.scale * 100);
    if (choices.viewerMode) {
        if (showScale) add(scaleLine);
        return lines;
    }
    if (choices.settingsFile) {
        if (choices.notOverwrite)
            add(S(Tessarin::tr("【設定ファイル】")) + facts.slotName +
                    S(Tessarin::tr("（上書き禁止）")),
                PanelColor::Green);
        else
            add(S(Tessarin::tr("【設定ファイル】")) + facts.slotName);
    }
    if (choices.saveFolder)
        add(S(Tessarin::tr("【保存フォルダ】")) + EngineText(facts.outputFolder).toStdString());
    if (choices.aspect) {
        if (settings.adjustAspect == 0)
            add(S(Tessarin::tr("【 縦横比合致 】無し")));
        else
            add(settings.aspectBaseWidth ? S(Tessarin::tr("【 縦横比合致 】基準：横幅"))
                                         : S(Tessarin::tr("【 縦横比合致 】基準：高さ")));
    }
    if (choices.cutSize) {
        add(SizeText(S(Tessarin::tr("【 分割サイズ 】 幅 ：")), settings.widthUnit,
                     settings.widthValue));
        add(SizeText(indent + S(Tessarin::tr("高さ：")), settings.heightUnit,
                     settings.heightValue));
    }
    if (choices.offset) {
        add(OffsetText(S(Tessarin::tr("【 オフセット 】 横 ：")), settings.offsetXUnit,
                       settings.offsetXValue),
            PanelColor::Red);
        add(OffsetText(indent + S(Tessarin::tr(" 縦 ：")), settings.offsetYUnit,
                       settings.offsetYValue),
            PanelColor::Red);
    }
    if (facts.imageLoaded && facts.block.Known()) add(BlockGridLine(facts.block, facts.alignment));
    if (facts.imageLoaded && choices.cutCount)
        add(Format(S(Tessarin::tr("【　分 割 数　】%d(横)x%d(縦)=%lld(総数)")), facts.grid.columns,
                   facts.grid.rows, static_cast<long long>(facts.grid.columns) * facts.grid.rows));
    if (facts.imageLoaded && facts.selectionMode && choices.selectedCount)
        add(Format(S(Tessarin::tr("【　選 択 数　】%d")), facts.selectedTiles));
    if (facts.imageLoaded && choices.breakdown) {
        add(BreakdownLine(facts.grid, Axis::Horizontal));
        add(BreakdownLine(facts.grid, Axis::Vertical));
    }
    if (choices.nameRule) {
        add(NameRuleText(settings.nameFormat, settings.reverse != 0));
        add(Format(S(Tessarin::tr("%s 振始番号：%d")), kIndent16, settings.firstNumber));
        add(Format(S(Tessarin::tr("%s　 最小桁：%d")), kIndent16, settings.digits));
    }
    // The quality counts where tiles are encoded with loss: exact JPEG tiles
    // of JPEG files, or every tile in a format chosen that does so.
    const ImageFormat* chosen = ChosenTileFormat(settings);
    if (choices.jpegQuality && (chosen ? chosen->can.lossyTiles
                                       : settings.formatOptions.Get("OPTION", "CORRECT_CUT") != 0))
        add(Format(S(Tessarin::tr("【 JPEG 品 質 】%d")),
                   settings.formatOptions.Get("JPEG", "QUALITY")));
    if (choices.threads) add(Format(S(Tessarin::tr("【 同時処理数 】%d")), settings.threadCount));
    if (showScale) add(scaleLine);
    return lines;
}

}  // namespace tessarin
