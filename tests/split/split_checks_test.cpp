// The questions before a split: one table of settings, the questions each
// one asks in order, the answers given and whether the split goes ahead.

#include "split/split_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

struct ScriptedAsker : SplitAsker {
    bool AskYesNo(const std::string& text) override {
        asked.push_back("?" + text);
        const bool yes = answers.empty() ? true : answers.front();
        if (!answers.empty()) answers.erase(answers.begin());
        return yes;
    }
    void Tell(const std::string& text) override { asked.push_back("!" + text); }
    std::vector<bool> answers;
    std::vector<std::string> asked;
};

const std::string kNothing =
    "!分割サイズ、オフセット、いずれの値も分割しない設定になっています。\n"
    "少なくとも１つは分割するよう設定して下さい。";
const std::string kDesktop =
    "?保存フォルダの指定が不正です。デスクトップに保存しますがいいですか？";
const std::string kOffX =
    "?JPEGファイルを無劣化で分割する場合、横のオフセットが「8の倍数」や「16の倍数」でないと"
    "正確なサイズに分割できない可能性が高いですがいいですか？";
const std::string kOffY =
    "?JPEGファイルを無劣化で分割する場合、縦のオフセットが「8の倍数」でないと"
    "正確なサイズに分割できない可能性が高いですがいいですか？";
const std::string kWidth =
    "?JPEGファイルを無劣化で分割する場合、分割サイズの横幅が「8の倍数」や「16の倍数」でないと"
    "正確なサイズに分割できない可能性が高いですがいいですか？";
const std::string kHeight =
    "?JPEGファイルを無劣化で分割する場合、分割サイズの高さが「8の倍数」でないと"
    "正確なサイズに分割できない可能性が高いですがいいですか？";

TEST(SplitChecks, QuestionsAnswersAndOutcomes) {
    testing::TempDir dir;
    const std::string existing = dir.Path().string();
    const std::string creatable = dir / "new/a/b";
    // A folder below a file cannot be made.
    testing::WriteBytes(dir / "file", {1});
    const std::string impossible = dir / "file/sub";

    enum Check { Ready, Jpeg };
    struct Case {
        const char* name;
        Check check;
        std::function<void(SplitSettings&)> set;
        std::vector<bool> answers;
        std::vector<std::string> asked;
        bool proceeds;
    };
    const auto px = [](double w, double h) {
        return [=](SplitSettings& s) {
            s.widthValue[0] = w;
            s.heightValue[0] = h;
        };
    };
    const std::vector<Case> cases = {
        {"all pixel zero", Ready, px(0, 0), {}, {kNothing}, false},
        {"counts of one",
         Ready,
         [](SplitSettings& s) {
             s.widthUnit = s.heightUnit = SizeUnit::Count;
             s.widthValue[2] = s.heightValue[2] = 1;
         },
         {},
         {kNothing},
         false},
        {"percent width zero",
         Ready,
         [](SplitSettings& s) {
             s.widthUnit = SizeUnit::Percent;
             s.widthValue[0] = 50;  // unused unit
         },
         {},
         {kNothing},
         false},
        {"pixel offset 10",
         Ready,
         [&](SplitSettings& s) {
             s.offsetXValue[0] = 10;
             s.savePath = existing;
         },
         {},
         {},
         true},
        {"percent offset of an unused unit",
         Ready,
         [](SplitSettings& s) { s.offsetYValue[1] = 10; },
         {},
         {kNothing},
         false},
        {"relative, folder missing",
         Ready,
         [&](SplitSettings& s) {
             px(64, 64)(s);
             s.relative = 1;
             s.savePath = impossible;
         },
         {},
         {},
         true},
        {"folder missing, made",
         Ready,
         [&](SplitSettings& s) {
             px(64, 64)(s);
             s.savePath = creatable;
             s.makeDir = 1;
         },
         {},
         {},
         true},
        {"folder cannot be made, desktop accepted",
         Ready,
         [&](SplitSettings& s) {
             px(64, 64)(s);
             s.savePath = impossible;
             s.makeDir = 1;
         },
         {true},
         {kDesktop},
         true},
        {"folder missing, desktop declined",
         Ready,
         [&](SplitSettings& s) {
             px(64, 64)(s);
             s.savePath = dir / "missing";
         },
         {false},
         {kDesktop},
         false},
        {"empty save path", Ready, px(64, 64), {true}, {kDesktop}, true},
        {"existing folder",
         Ready,
         [&](SplitSettings& s) {
             px(64, 64)(s);
             s.savePath = existing;
         },
         {},
         {},
         true},
        // Lossless JPEG: 16 across, 8 down, pixel values only, whole parts.
        {"exact cut asks nothing",
         Jpeg,
         [](SplitSettings& s) {
             s.formatOptions.Set("OPTION", "CORRECT_CUT", 1);
             s.widthValue[0] = 3;
         },
         {},
         {},
         true},
        {"all BMP asks nothing",
         Jpeg,
         [](SplitSettings& s) {
             s.formatOptions.Set("OPTION", "CORRECT_CUT", 0);
             s.allBmp = 1;
             s.offsetXValue[0] = 3;
         },
         {},
         {},
         true},
        {"offset 8 across is asked, 8 down is not",
         Jpeg,
         [](SplitSettings& s) {
             s.formatOptions.Set("OPTION", "CORRECT_CUT", 0);
             s.offsetXValue[0] = 8;
             s.offsetYValue[0] = 8;
             s.widthValue[0] = 32.9;
             s.heightValue[0] = 8.5;
         },
         {},
         {kOffX},
         true},
        {"all four off the grid, every Yes",
         Jpeg,
         [](SplitSettings& s) {
             s.formatOptions.Set("OPTION", "CORRECT_CUT", 0);
             s.offsetXValue[0] = 24;
             s.offsetYValue[0] = 4;
             s.widthValue[0] = 100;
             s.heightValue[0] = 30;
         },
         {true, true, true, true},
         {kOffX, kOffY, kWidth, kHeight},
         true},
        {"No stops at once",
         Jpeg,
         [](SplitSettings& s) {
             s.formatOptions.Set("OPTION", "CORRECT_CUT", 0);
             s.offsetYValue[0] = 4;
             s.widthValue[0] = 100;
         },
         {false},
         {kOffY},
         false},
        {"percent values are never asked",
         Jpeg,
         [](SplitSettings& s) {
             s.formatOptions.Set("OPTION", "CORRECT_CUT", 0);
             s.offsetXUnit = s.offsetYUnit = SizeUnit::Percent;
             s.widthUnit = s.heightUnit = SizeUnit::Percent;
             s.offsetXValue[1] = s.offsetYValue[1] = s.widthValue[1] = s.heightValue[1] = 33;
             s.offsetXValue[0] = 3;  // the unused pixel value
         },
         {},
         {},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SplitSettings settings;
        c.set(settings);
        ScriptedAsker asker;
        asker.answers = c.answers;
        const bool proceeds = c.check == Ready ? CheckSplitReady(settings, asker)
                                               : CheckJpegLosslessAlignment(settings, asker);
        EXPECT_EQ(proceeds, c.proceeds);
        EXPECT_EQ(asker.asked, c.asked);
    }
    EXPECT_TRUE(fs::is_directory(creatable));
}

}  // namespace
}  // namespace tessarin
