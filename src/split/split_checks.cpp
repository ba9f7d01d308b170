#include "split/split_checks.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "split/formats.h"

namespace tessarin {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNothingToSplit =
    "分割サイズ、オフセット、いずれの値も分割しない設定になっています。\n"
    "少なくとも１つは分割するよう設定して下さい。";
constexpr const char* kSaveToDesktop =
    "保存フォルダの指定が不正です。デスクトップに保存しますがいいですか？";
constexpr const char* kOffsetXOffGrid =
    "JPEGファイルを無劣化で分割する場合、横のオフセットが「8の倍数」や「16の倍数」でないと"
    "正確なサイズに分割できない可能性が高いですがいいですか？";
constexpr const char* kOffsetYOffGrid =
    "JPEGファイルを無劣化で分割する場合、縦のオフセットが「8の倍数」でないと"
    "正確なサイズに分割できない可能性が高いですがいいですか？";
constexpr const char* kWidthOffGrid =
    "JPEGファイルを無劣化で分割する場合、分割サイズの横幅が「8の倍数」や「16の倍数」でないと"
    "正確なサイズに分割できない可能性が高いですがいいですか？";
constexpr const char* kHeightOffGrid =
    "JPEGファイルを無劣化で分割する場合、分割サイズの高さが「8の倍数」でないと"
    "正確なサイズに分割できない可能性が高いですがいいですか？";

bool AxisSplitsNothing(SizeUnit unit, const double (&values)[3]) {
    const double value = values[UnitIndex(unit)];
    return unit == SizeUnit::Count ? value == 1 : value == 0;
}

// Offsets have a pixel and a percent value only.
double OffsetValue(SizeUnit unit, const double (&values)[2]) {
    return values[unit == SizeUnit::Percent ? 1 : 0];
}

bool IsDirectory(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_directory(path, error);
}

// Only pixel values are on the block grid or off it; their whole part counts.
bool OffGrid(SizeUnit unit, double value, int block) {
    if (unit != SizeUnit::Pixel) return false;
    return std::fmod(std::trunc(value), block) != 0;
}

}  // namespace

bool CheckSplitReady(const SplitSettings& s, SplitAsker& asker) {
    if (AxisSplitsNothing(s.widthUnit, s.widthValue) &&
        AxisSplitsNothing(s.heightUnit, s.heightValue) &&
        OffsetValue(s.offsetXUnit, s.offsetXValue) == 0 &&
        OffsetValue(s.offsetYUnit, s.offsetYValue) == 0) {
        asker.Tell(kNothingToSplit);
        return false;
    }
    if (s.relative) return true;
    if (IsDirectory(s.savePath)) return true;
    if (s.makeDir && !s.savePath.empty()) {
        std::error_code error;
        fs::create_directories(s.savePath, error);
        if (IsDirectory(s.savePath)) return true;
    }
    return asker.AskYesNo(kSaveToDesktop);
}

bool CheckJpegLosslessAlignment(const SplitSettings& s, SplitAsker& asker, BlockGrid block) {
    if (!CutsLosslesslyOnBlockGrid({}, s)) return true;
    struct Check {
        SizeUnit unit;
        double value;
        int block;
        int fileBlock;  // 0 when the file's grid is not known
        const char* question;
    };
    const Check checks[] = {
        {s.offsetXUnit, OffsetValue(s.offsetXUnit, s.offsetXValue), 16, block.width,
         kOffsetXOffGrid},
        {s.offsetYUnit, OffsetValue(s.offsetYUnit, s.offsetYValue), 8, block.height,
         kOffsetYOffGrid},
        {s.widthUnit, s.widthValue[UnitIndex(s.widthUnit)], 16, block.width, kWidthOffGrid},
        {s.heightUnit, s.heightValue[UnitIndex(s.heightUnit)], 8, block.height, kHeightOffGrid},
    };
    for (const Check& check : checks) {
        if (!OffGrid(check.unit, check.value, check.block)) continue;
        if (block.Known() && !OffGrid(check.unit, check.value, check.fileBlock)) continue;
        if (!asker.AskYesNo(check.question)) return false;
    }
    return true;
}

bool CheckJpegLosslessAlignmentOfList(const std::vector<std::string>& paths,
                                      const SplitSettings& settings, SplitAsker& asker) {
    for (const std::string& path : paths)
        if (CutsOnBlockGrid(path)) return CheckJpegLosslessAlignment(settings, asker);
    return true;
}

}  // namespace tessarin
