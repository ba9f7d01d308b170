#include "app/command_mode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <tuple>

#include "app/command_help.h"
#include "imaging/bmp/bmp_format.h"
#include "imaging/format_registry.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_test_util.h"
#include "platform/text.h"
#include "support/test_files.h"
#include "support/whole_load.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using testing::RunTessarin;
using testing::TempDir;

TEST(CommandModeGrammar, IntegersRealsAndUnits) {
    struct Case {
        const char* value;
        SizeUnit unit;
        int index;
        double expected;
    };
    for (Case c : {Case{"12.5", SizeUnit::Pixel, 0, 12}, Case{"12.5%", SizeUnit::Percent, 1, 12.5},
                   Case{"150%", SizeUnit::Percent, 1, 100}, Case{"-4%", SizeUnit::Percent, 1, 0},
                   Case{"0個", SizeUnit::Count, 2, 1}, Case{"6個", SizeUnit::Count, 2, 6},
                   Case{"6n", SizeUnit::Count, 2, 6}, Case{"3N", SizeUnit::Count, 2, 3},
                   Case{"n", SizeUnit::Count, 2, 1}, Case{"-20", SizeUnit::Pixel, 0, 0},
                   Case{"", SizeUnit::Pixel, 0, 0}}) {
        SizeUnit unit = SizeUnit::Percent;
        double values[3] = {-1, -1, -1};
        ApplySizeOption(c.value, unit, values);
        EXPECT_EQ(unit, c.unit) << c.value;
        EXPECT_DOUBLE_EQ(values[c.index], c.expected) << c.value;
        for (int i = 0; i < 3; ++i) {
            if (i != c.index) {
                EXPECT_EQ(values[i], -1) << "other units keep their values: " << c.value;
            }
        }
    }
    SizeUnit unit = SizeUnit::Percent;
    double offsets[2] = {0, 0};
    ApplyOffsetOption("3個", unit, offsets);  // no count unit for offsets
    EXPECT_EQ(unit, SizeUnit::Pixel);
    EXPECT_EQ(offsets[0], 3);
    ApplyOffsetOption("12.5%", unit, offsets);
    EXPECT_EQ(unit, SizeUnit::Percent);
    EXPECT_EQ(offsets[1], 12.5);
}

// Generated 24-bit sources and the program run on them.
class CommandModeRun : public ::testing::Test {
  protected:
    std::unique_ptr<DibImage> MakeSource(const std::string& name, int width, int height) {
        BitmapInfoHeader h;
        h.biWidth = width;
        h.biHeight = height;
        h.biBitCount = 24;
        auto raster = DibImage::Create(h);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = raster->Row(y) + 3 * x;
                p[0] = static_cast<uint8_t>(x);
                p[1] = static_cast<uint8_t>(y);
                p[2] = static_cast<uint8_t>(x ^ y);
            }
        EXPECT_TRUE(SaveBmpFile(dir_ / name, *raster));
        return raster;
    }
    std::vector<std::string> Lines(const std::string& output) {
        std::vector<std::string> lines;
        std::istringstream in(output);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // The text of a console line after its time stamp "【MM/DD/hh:mm:ss】".
    std::string Body(const std::string& line) {
        const std::string open = "【", close = "】";
        const std::string shape = "00/00/00:00:00";
        bool ok = line.compare(0, open.size(), open) == 0 &&
                  line.compare(open.size() + shape.size(), close.size(), close) == 0;
        for (size_t i = 0; ok && i < shape.size(); ++i) {
            char c = line[open.size() + i];
            ok = shape[i] == '0' ? (c >= '0' && c <= '9') : c == shape[i];
        }
        EXPECT_TRUE(ok) << line;
        return ok ? line.substr(open.size() + shape.size() + close.size()) : line;
    }
    size_t CountFiles(const std::string& folder) {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    TempDir dir_;
    TempDir home_;
};

TEST_F(CommandModeRun, SplitsBmpIntoExactTilesAndLogsOneLinePerFile) {
    auto source = MakeSource("picture.bmp", 600, 300);
    fs::create_directory(dir_ / "out");
    auto run = RunTessarin({"/cmd", "/outdir", dir_ / "out", "/x", "256", "/y", "256", "/t", "2",
                            dir_ / "picture.bmp", dir_ / "notes.txt"},
                           home_.Path().string());
    EXPECT_EQ(run.exitCode, 1);  // a path that does not exist makes the status 1
    auto lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 3u) << run.output;
    EXPECT_EQ(Body(lines[0]), "Tessarinの処理を開始します");
    EXPECT_EQ(Body(lines[1]), "○：" + dir_ / "picture.bmp");
    EXPECT_EQ(Body(lines[2]), "Tessarinの処理が終了しました");

    ASSERT_EQ(CountFiles(dir_ / "out"), 6u);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            std::string name =
                "picture_" + std::to_string(r + 1) + "_" + std::to_string(c + 1) + ".bmp";
            LoadedImage tile;
            ASSERT_TRUE(testing::LoadBmp(dir_ / ("out/" + name), tile)) << name;
            const int w = c < 2 ? 256 : 88, h = r < 1 ? 256 : 44;
            ASSERT_EQ(tile.raster->Width(), w);
            ASSERT_EQ(tile.raster->Height(), h);
            for (int y = 0; y < h; ++y)
                ASSERT_EQ(0,
                          std::memcmp(tile.raster->Row(y), source->Row(r * 256 + y) + 3 * c * 256,
                                      static_cast<size_t>(3 * w)))
                    << name << " row " << y;
        }
    }
}

TEST_F(CommandModeRun, OptionsApplyOnlyToFilesOnTheirRight) {
    MakeSource("a.bmp", 300, 100);
    MakeSource("b.dib", 300, 100);
    testing::WriteBytes(dir_ / "c.tga", {'x'});
    fs::create_directory(dir_ / "out");
    auto run = RunTessarin(
        {"/CMD", "/outdir", dir_ / "out", "a.bmp", "/x", "100", "b.dib", "c.tga", "/keta"},
        home_.Path().string(), dir_.Path().string());
    EXPECT_EQ(run.exitCode, 1);  // a file gave "×"
    auto lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 5u) << run.output;
    EXPECT_EQ(Body(lines[1]), "○：a.bmp");
    EXPECT_EQ(Body(lines[2]), "○：b.dib");
    EXPECT_EQ(Body(lines[3]), "×：c.tga【非対応のファイル形式です】");
    EXPECT_TRUE(fs::exists(dir_ / "out/a_1_1.bmp"));
    EXPECT_FALSE(fs::exists(dir_ / "out/a_1_2.bmp"));  // no width yet: one tile
    EXPECT_TRUE(fs::exists(dir_ / "out/b_1_3.dib"));   // a .dib source gives .dib tiles
}

TEST_F(CommandModeRun, IniReplacesEarlierOptions) {
    MakeSource("a.bmp", 40, 10);
    fs::create_directory(dir_ / "out");
    testing::WriteBytes(dir_ / "set.ini", {});
    {
        std::string text =
            "[CUT_SIZE]\r\nWIDTH=10\r\n[SAVE_FOLDER]\r\nPATH=" + dir_ / "out" + "\r\n";
        testing::WriteBytes(dir_ / "set.ini", std::vector<uint8_t>(text.begin(), text.end()));
    }
    auto run = RunTessarin({"/cmd", "/x", "20", "/ini", dir_ / "set.ini", "/rc", dir_ / "a.bmp"},
                           home_.Path().string());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(CountFiles(dir_ / "out"), 4u);  // the file's width of 10, not the 20 given before
    // Nothing was written to any settings file.
    EXPECT_FALSE(fs::exists(home_ / ".config/tessarin"));
}

TEST_F(CommandModeRun, BannerWithoutTheCommandModeAndTheHelpText) {
    // Without the command mode the window starts; with no display it cannot.
    auto banner = RunTessarin({}, home_.Path().string());
    EXPECT_EQ(banner.exitCode, 255);
    EXPECT_EQ(banner.output, CommandBanner());
    EXPECT_NE(
        banner.output.find(
            "\n\n  --==--==--==--==--==--==--==--==--==--==--==--==--==--==--==--==--==--==--\n"),
        std::string::npos);
    EXPECT_NE(banner.output.find("\n                            Tessarin Version 1.16\n"),
              std::string::npos);
    EXPECT_EQ(RunTessarin({"-cmd"}, home_.Path().string()).output, CommandBanner());

    auto help = RunTessarin({"/cmd", "/help"}, home_.Path().string());
    auto lines = Lines(help.output);
    ASSERT_GE(lines.size(), 4u);
    const std::string expected = lines[0] + "\n" + std::string(kCommandHelpHead);
    EXPECT_EQ(help.output.substr(0, expected.size()), expected);
    // The formats' options come between the program's own, each with its
    // lines and a blank line after them.
    EXPECT_NE(help.output.find("    画像形式を変えずに出力する指定\n\n  /format same | bmp | "),
              std::string::npos);
    EXPECT_NE(help.output.find("bmp は /bmp と同じ）\n\n  /jc\n    "
                               "JPEG画像を多少劣化してでも正確な位置で分割する指定\n  /!jc\n"),
              std::string::npos);
    EXPECT_NE(help.output.find(
                  "分割する指定\n\n  /jq 0以上、100以下の整数\n    JPEG品質（圧縮レベル）の指定\n\n"
                  "  /copy all | comments | none | icc\n"),
              std::string::npos);
    EXPECT_NE(help.output.find(std::string(DeclaredFormatOptions().back().spellings.back().help) +
                               "\n" + kCommandHelpTail),
              std::string::npos);
    EXPECT_NE(help.output.find("\n\n《オプション説明》\n\n  /help\n    ヘルプ表示\n"),
              std::string::npos);
    EXPECT_NE(
        help.output.find("  /t 1以上の整数\n    分割同時処理（スレッド）数の指定\n\n  /manifest\n"),
        std::string::npos);
}

// The exit status and the warnings on standard error, in English and in the
// source texts; standard output holds only the start, result and end lines.
TEST_F(CommandModeRun, ExitStatusAndWarnings) {
    MakeSource("a.bmp", 20, 10);
    testing::WriteBytes(dir_ / "bad.bmp", {'B', 'M'});
    const std::string out = dir_ / "out", nope = dir_ / "nope";
    fs::create_directory(out);
    struct Case {
        std::vector<std::string> args;  // after "/cmd /outdir <out>"
        int status;
        std::vector<std::string> results;
        std::string english, japanese;    // standard error
        std::string englishFailure = "";  // the English "×" line, where the results hold one
    };
    const Case cases[] = {
        {{"a.bmp"}, 0, {"○：a.bmp"}, "", ""},
        {{"a.bmp", "bad.bmp"},
         1,
         {"○：a.bmp", "×：bad.bmp【ファイルが不正です】"},
         "",
         "",
         "×：bad.bmp【The file is invalid】"},
        {{"gone.bmp", "a.bmp"},
         1,
         {"○：a.bmp"},
         "tessarin: gone.bmp: no such file or folder\n",
         "tessarin: gone.bmp：ファイルまたはフォルダがありません\n"},
        // Anything the run could not use makes the status 1, and the run goes on.
        {{"/bogus", "a.bmp", "/x"},
         1,
         {"○：a.bmp"},
         "tessarin: /bogus: unknown option or no such file or folder\ntessarin: /x: missing "
         "value\n",
         "tessarin: /bogus：不明なオプションか、存在しないパスです\ntessarin: "
         "/x：値が指定されていません\n"},
        {{"/nosuchfolder", "--bogus", "-z", "--bmp=1", "a.bmp"},
         1,
         {"○：a.bmp"},
         "tessarin: /nosuchfolder: unknown option or no such file or folder\n"
         "tessarin: --bogus: unknown option (ignored)\ntessarin: -z: unknown option (ignored)\n"
         "tessarin: --bmp=1: the option takes no value (ignored)\n",
         "tessarin: /nosuchfolder：不明なオプションか、存在しないパスです\n"
         "tessarin: --bogus：不明なオプションです（無視します）\n"
         "tessarin: -z：不明なオプションです（無視します）\n"
         "tessarin: --bmp=1：このオプションは値を取りません（無視します）\n"},
        {{"/ini", "none.ini", "a.bmp", "--", "/x"},
         1,
         {"○：a.bmp"},
         "tessarin: /ini none.ini: no such file\ntessarin: /x: no such file or folder\n",
         "tessarin: /ini none.ini：ファイルがありません\ntessarin: "
         "/x：ファイルまたはフォルダがありません\n"},
        {{"/outdir", nope, "a.bmp"},
         1,
         {"○：a.bmp"},
         "tessarin: /outdir " + nope + ": no such folder; the tiles went to " + out + "\n",
         "tessarin: /outdir " + nope + "：フォルダがありません。タイルの保存先：" + out + "\n"},
    };
    for (const Case& c : cases) {
        for (const char* locale : {"en_US.UTF-8", "C"}) {
            SCOPED_TRACE(c.args.front() + " " + locale);
            std::vector<std::string> args = {"/cmd", "/outdir", out};
            args.insert(args.end(), c.args.begin(), c.args.end());
            testing::RunOptions options;
            options.workDir = dir_.Path().string();
            options.environment = {{"LC_ALL", locale}};
            const auto run = RunTessarin(args, home_.Path().string(), options);
            EXPECT_EQ(run.exitCode, c.status);
            EXPECT_EQ(run.errors, locale[0] == 'C' ? c.japanese : c.english);
            std::vector<std::string> lines = Lines(run.output);
            ASSERT_EQ(lines.size(), c.results.size() + 2) << run.output;
            for (size_t i = 0; i < c.results.size(); ++i) {
                const bool english = locale[0] != 'C' && c.results[i].starts_with("×");
                EXPECT_EQ(Body(lines[i + 1]), english ? c.englishFailure : c.results[i]);
            }
        }
    }
}

// The language of the lines and of /help follows LC_ALL, LC_MESSAGES and LANG
// in that order, and LANGUAGE over them; Japanese, C and no locale keep the source texts. The
// marks, the colon and the brackets are the same in every language.
TEST_F(CommandModeRun, LanguageFollowsTheLocale) {
    MakeSource("a.bmp", 20, 10);
    testing::WriteBytes(dir_ / "bad.bmp", {'B', 'M'});
    fs::create_directory(dir_ / "out");
    const std::vector<std::string> japanese = {"Tessarinの処理を開始します", "○：a.bmp",
                                               "×：bad.bmp【ファイルが不正です】",
                                               "Tessarinの処理が終了しました"};
    const std::vector<std::string> english = {
        "Tessarin started", "○：a.bmp", "×：bad.bmp【The file is invalid】", "Tessarin finished"};
    using Environment = std::vector<std::pair<std::string, std::string>>;
    const std::pair<Environment, bool> cases[] = {
        {{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", ""}}, true},
        {{{"LC_ALL", "C"}, {"LANG", "en_US.UTF-8"}}, true},
        {{{"LC_ALL", "POSIX"}}, true},
        {{{"LC_ALL", "ja_JP.UTF-8"}}, true},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}, true},
        {{{"LC_ALL", "en_US.UTF-8"}}, false},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "de_DE.UTF-8"}}, false},
        {{{"LC_ALL", "en_GB.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, false},
        // LANGUAGE overrides any locale but C and POSIX, as with gettext.
        {{{"LANGUAGE", "ja:en"}, {"LC_ALL", "de_DE.UTF-8"}}, true},
        {{{"LANGUAGE", "en_US:ja"}, {"LC_ALL", "ja_JP.UTF-8"}}, false},
        {{{"LANGUAGE", "en"}, {"LC_ALL", "C"}}, true},
    };
    for (const auto& [environment, inJapanese] : cases) {
        SCOPED_TRACE(environment.front().first + "=" + environment.front().second);
        testing::RunOptions options;
        options.workDir = dir_.Path().string();
        options.environment = {{"LANGUAGE", ""}};
        options.environment.insert(options.environment.end(), environment.begin(),
                                   environment.end());
        const auto run = RunTessarin({"/cmd", "/outdir", "out", "a.bmp", "bad.bmp"},
                                     home_.Path().string(), options);
        EXPECT_EQ(run.exitCode, 1);
        std::vector<std::string> bodies;
        for (const std::string& line : Lines(run.output)) bodies.push_back(Body(line));
        EXPECT_EQ(bodies, inJapanese ? japanese : english);

        const auto help = RunTessarin({"/cmd", "/help"}, home_.Path().string(), options);
        EXPECT_NE(help.output.find(inJapanese ? kCommandHelpHead : kCommandHelpHeadEnglish),
                  std::string::npos);
        EXPECT_NE(help.output.find(inJapanese ? kCommandHelpTail : kCommandHelpTailEnglish),
                  std::string::npos);
    }
}

// GNU conventions come before anything else: no settings, no display, no window.
TEST_F(CommandModeRun, HelpAndVersionAndFolders) {
    for (const char* arg : {"--help", "-h", "--version", "-V"}) {
        const auto run = RunTessarin({arg, "/cmd"}, home_.Path().string());
        EXPECT_EQ(run.exitCode, 0) << arg;
        const bool help = arg[1] == 'h' || arg[2] == 'h';
        EXPECT_NE(run.output.find(help ? "tessarin /cmd /help" : "tessarin 1.16\nlibjpeg-turbo "),
                  std::string::npos)
            << run.output;
        EXPECT_FALSE(fs::exists(home_ / ".config/tessarin")) << arg;
        // The usage lists the GNU spellings and says where tiles go by default.
        for (const char* text : help ? std::vector<const char*>{"-o, --outdir DIR", "--threads",
                                                                "--lossless", "~/Desktop"}
                                     : std::vector<const char*>{"\nLicense: MIT\n", "WARRANTY"})
            EXPECT_NE(run.output.find(text), std::string::npos) << arg << " " << text;
    }
    // A file of that name is still a file: here, one the window would open.
    EXPECT_EQ(RunTessarin({"./--help"}, home_.Path().string()).exitCode, 255);

    // A folder stands for its images in name order; sub-folders with /recurse.
    fs::create_directories(dir_ / "in/sub");
    for (const char* name : {"in/img10.bmp", "in/img2.bmp", "in/sub/deep.bmp"})
        MakeSource(name, 8, 8);
    testing::WriteBytes(dir_ / "in/notes.txt", {'x'});
    fs::create_directory(dir_ / "out");
    for (bool recurse : {false, true}) {
        std::vector<std::string> args = {"/cmd", "/outdir", "out"};
        if (recurse) args.insert(args.end(), {"/recurse", "/progress"});
        args.push_back("in");
        const auto run = RunTessarin(args, home_.Path().string(), dir_.Path().string());
        EXPECT_EQ(run.exitCode, 0);
        std::vector<std::string> lines = Lines(run.output), bodies;
        for (size_t i = 1; i + 1 < lines.size(); ++i) bodies.push_back(Body(lines[i]));
        std::vector<std::string> expected = {"○：in/img2.bmp", "○：in/img10.bmp"};
        if (recurse) expected.push_back("○：in/sub/deep.bmp");
        EXPECT_EQ(bodies, expected) << run.output;
        // The progress line, forced where standard error is no terminal:
        // one line per file, ended once the file is done.
        if (recurse) {
            EXPECT_NE(run.errors.find("\r1 / 1 タイル 100% 0:0"), std::string::npos) << run.errors;
            EXPECT_TRUE(run.errors.ends_with(" in/sub/deep.bmp\n")) << run.errors;
        } else {
            EXPECT_EQ(run.errors, "");
        }
    }
}

// Several runs into one folder at once, as xargs -P or GNU parallel start
// them, two of them on the same image: every tile whole, no temporary file left.
TEST_F(CommandModeRun, RunsAtOnceIntoOneFolder) {
    std::string script;
    for (int run = 0; run < 4; ++run) {
        const std::string name = "own" + std::to_string(run) + ".bmp";
        MakeSource(name, 64, 64);
        script += "'" TESSARIN_EXE "' /cmd /outdir out /x 8 /y 8 /t 2 " + name +
                  (run < 2 ? " shared.bmp" : "") + " >/dev/null & p" + std::to_string(run) +
                  "=$!; ";
    }
    const auto shared = MakeSource("shared.bmp", 64, 64);
    fs::create_directory(dir_ / "out");
    script = "cd '" + dir_.Path().string() + "' || exit 1; export HOME='" + home_.Path().string() +
             "' XDG_CONFIG_HOME='" + home_.Path().string() + "/.config'; " + script +
             "s=0; for p in $p0 $p1 $p2 $p3; do wait $p || s=1; done; exit $s";
    ASSERT_EQ(std::system(script.c_str()), 0);
    const std::vector<std::string> names = testing::FileNames(dir_ / "out");
    EXPECT_EQ(names.size(), 5u * 64u);
    for (const std::string& name : names) {
        LoadedImage tile;
        ASSERT_TRUE(testing::LoadBmp(dir_ / ("out/" + name), tile)) << name;
        ASSERT_EQ(tile.raster->Width(), 8) << name;
        ASSERT_EQ(tile.raster->Height(), 8) << name;
    }
    // The shared image's tiles, written by two runs at once, are its pixels.
    LoadedImage last;
    ASSERT_TRUE(testing::LoadBmp(dir_ / "out/shared_8_8.bmp", last));
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(0, std::memcmp(last.raster->Row(y), shared->Row(56 + y) + 3 * 56, 3 * 8));
}

TEST_F(CommandModeRun, BadBmpFilesGiveTheirLineAndTheNextFileIsStillSplit) {
    auto good = MakeSource("good.bmp", 8, 8);
    auto bytes = testing::ReadBytes(dir_ / "good.bmp");
    testing::WriteBytes(dir_ / "empty.bmp", {});
    testing::WriteBytes(dir_ / "cut.bmp", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 80));
    testing::WriteBytes(dir_ / "noise.dib", std::vector<uint8_t>(300, 0x5A));
    testing::WriteBytes(dir_ / "png-inside.bmp", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    fs::create_directory(dir_ / "out");
    auto run = RunTessarin({"/cmd", "/outdir", dir_ / "out", "empty.bmp", "cut.bmp", "noise.dib",
                            "png-inside.bmp", "good.bmp"},
                           home_.Path().string(), dir_.Path().string());
    auto lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 7u) << run.output;
    EXPECT_EQ(Body(lines[1]), "×：empty.bmp【ファイルが不正です】");
    EXPECT_EQ(Body(lines[2]), "×：cut.bmp【ファイルが不正です】");
    EXPECT_EQ(Body(lines[3]), "×：noise.dib【ファイルが不正です】");
    EXPECT_EQ(Body(lines[4]), "×：png-inside.bmp【ファイルが不正です】");
    EXPECT_EQ(Body(lines[5]), "○：good.bmp");
    EXPECT_EQ(CountFiles(dir_ / "out"), 1u);
}

TEST_F(CommandModeRun, TileWritesThatFailPartWayLeaveNoFileBehind) {
    auto source = MakeSource("big.bmp", 400, 300);
    ASSERT_TRUE(SaveJpegFile(dir_ / "big.jpg", *source, 90));
    ASSERT_TRUE(SaveBmpFile(dir_ / "small.bmp", *CropDibImage(*source, 0, 0, 8, 8)));
    fs::create_directory(dir_ / "out");
    testing::WriteBytes(dir_ / "out/big_1_1.bmp", {'o', 'l', 'd'});
    // Files the program writes may hold 60000 bytes: the BMP tile (360 KB) and
    // the all-BMP tile of the JPEG fail part-way; the small BMP still fits.
    auto run = RunTessarin(
        {"/cmd", "/outdir", "out", "big.bmp", "big.jpg", "/bmp", "big.jpg", "small.bmp"},
        home_.Path().string(), dir_.Path().string(), 60000);
    auto lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 6u) << run.output;
    EXPECT_EQ(Body(lines[1]), "×：big.bmp【ファイルの保存に失敗しました】");
    EXPECT_EQ(Body(lines[2]), "○：big.jpg");  // the exact JPEG tile is small enough
    EXPECT_EQ(Body(lines[3]), "×：big.jpg【ファイルの保存に失敗しました】");
    EXPECT_EQ(Body(lines[4]), "○：small.bmp");
    // The older tile of the same name is untouched, and nothing half-written is left.
    EXPECT_EQ(testing::ReadBytes(dir_ / "out/big_1_1.bmp"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(testing::FileNames(dir_ / "out"),
              (std::vector<std::string>{"big_1_1.bmp", "big_1_1.jpg", "small_1_1.bmp"}));
}

TEST_F(CommandModeRun, ClosedOutputDoesNotEndTheRun) {
    MakeSource("a.bmp", 30, 10);
    MakeSource("b.bmp", 30, 10);
    fs::create_directory(dir_ / "out");
    testing::RunOptions options;
    options.workDir = dir_.Path().string();
    options.closeOutput = true;  // as "tessarin /cmd ... | head -0"
    auto run = RunTessarin({"/cmd", "/outdir", "out", "/x", "10", "a.bmp", "b.bmp"},
                           home_.Path().string(), options);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(CountFiles(dir_ / "out"), 6u);
}

// A file name can hold any byte but "/": each file still gives exactly one
// line, with its control characters shown escaped.
TEST_F(CommandModeRun, ControlCharactersInNamesAreShownEscaped) {
    // (A name has no "/": the planted stamp uses full-width slashes.)
    const std::string planted = "x\n【01／01／00:00:00】○：fake.bmp";
    const std::string mixed = std::string("a\tb\r\x01\x1B[2J\x7F") + ".bmp";
    // A backslash of the name itself is doubled: the two names stay apart.
    const std::string escapedLookalike = "a\\tb.bmp", tab = "a\tb.bmp";
    for (const std::string& name : {planted, mixed, escapedLookalike, tab}) MakeSource(name, 8, 8);
    fs::create_directory(dir_ / "out");
    auto run = RunTessarin({"/cmd", "/outdir", "out", planted, mixed, escapedLookalike, tab},
                           home_.Path().string(), dir_.Path().string());
    auto lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 6u) << run.output;
    EXPECT_EQ(Body(lines[1]), "○：x\\n【01／01／00:00:00】○：fake.bmp");
    EXPECT_EQ(Body(lines[2]), "○：a\\tb\\r\\x01\\x1B[2J\\x7F.bmp");
    EXPECT_EQ(Body(lines[3]), "○：a\\\\tb.bmp");
    EXPECT_EQ(Body(lines[4]), "○：a\\tb.bmp");
    EXPECT_EQ(CountFiles(dir_ / "out"), 4u);
}

// Every spelling of an option is the same option: the tiles land where the
// options say, and nothing reaches the home folder.
TEST_F(CommandModeRun, GnuSpellingsAreTheSameOptions) {
    MakeSource("a.bmp", 40, 10);
    const std::string out = dir_ / "out";
    struct Case {
        std::vector<std::string> args;  // after "/cmd", before "a.bmp"
        std::vector<std::string> tiles;
    };
    const Case cases[] = {
        {{"/outdir", out, "/x", "20"}, {"a_1_1.bmp", "a_1_2.bmp"}},
        {{"-o", out, "--width", "20"}, {"a_1_1.bmp", "a_1_2.bmp"}},
        {{"--outdir=" + out, "--width=50%", "-j2"}, {"a_1_1.bmp", "a_1_2.bmp"}},
        {{"-o" + out, "--width=2n", "--count-across", "--first-number", "0", "--digits=2",
          "--threads", "3"},
         {"a_00.bmp", "a_01.bmp"}},
        {{"--outdir", out, "--height=5", "--column-row", "--manifest", "--subfolder"},
         {"Tessarin_out/a.bmp_tiles.json", "Tessarin_out/a_1_1.bmp", "Tessarin_out/a_1_2.bmp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        fs::remove_all(out);
        fs::create_directory(out);
        std::vector<std::string> args = {"/cmd"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("a.bmp");
        const auto run = RunTessarin(args, home_.Path().string(), dir_.Path().string());
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.errors, "");
        std::vector<std::string> tiles;
        for (const auto& entry : fs::recursive_directory_iterator(out))
            if (entry.is_regular_file()) tiles.push_back(fs::relative(entry.path(), out).string());
        std::sort(tiles.begin(), tiles.end());
        EXPECT_EQ(tiles, c.tiles);
        EXPECT_EQ(testing::FileNames(home_.Path().string()), std::vector<std::string>{});
    }
}

// With no save folder anywhere, the tiles go to the desktop, else the home
// folder, and one line on standard error says so, in the messages' language.
TEST_F(CommandModeRun, DefaultOutputFolderIsSaidOnce) {
    MakeSource("a.bmp", 8, 8);
    MakeSource("b.bmp", 8, 8);
    const std::string home = home_.Path().string(), desktop = home_ / "Desktop";
    struct Case {
        std::vector<std::string> args;
        const char* locale;
        std::string errors;
        std::string folder;  // where a_1_1.bmp is
    };
    const Case cases[] = {
        {{"a.bmp", "b.bmp"},
         "en_US.UTF-8",
         "tessarin: no /outdir given; the tiles go to the default folder: " + home + "\n",
         home},
        {{"a.bmp", "b.bmp"},
         "C",
         "tessarin: /outdir の指定がないため、タイルは既定のフォルダに保存します：" + home + "\n",
         home},
        {{"/outdir", dir_.Path().string(), "/notmake", "a.bmp"},
         "en_US.UTF-8",
         "",
         dir_.Path().string()},
        {{"/relative", "0", "a.bmp"}, "en_US.UTF-8", "", dir_.Path().string()},
        {{"a.bmp"},
         "en_US.UTF-8",
         "tessarin: no /outdir given; the tiles go to the default folder: " + desktop + "\n",
         desktop},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.locale);
        if (c.folder == desktop) fs::create_directory(desktop);
        std::vector<std::string> args = {"/cmd", "/notmake"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        testing::RunOptions options;
        options.workDir = dir_.Path().string();
        options.environment = {{"LC_ALL", c.locale}};
        const auto run = RunTessarin(args, home, options);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.errors, c.errors);
        EXPECT_TRUE(fs::exists(c.folder + "/a_1_1.bmp"));
        fs::remove(c.folder + "/a_1_1.bmp");
        fs::remove(c.folder + "/b_1_1.bmp");
    }
}

// A write error on standard output other than a closed pipe is said once and
// gives the status 1, as with coreutils; the files are still split.
TEST_F(CommandModeRun, WriteErrorsOnStandardOutputFailTheRun) {
    MakeSource("a.bmp", 8, 8);
    MakeSource("b.bmp", 8, 8);
    fs::create_directory(dir_ / "out");
    testing::RunOptions options;
    options.workDir = dir_.Path().string();
    options.outputPath = "/dev/full";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/cmd", "/outdir", "out", "a.bmp", "b.bmp"},
          std::vector<std::string>{"--version"}, std::vector<std::string>{"--help"}}) {
        SCOPED_TRACE(args.front());
        const auto run = RunTessarin(args, home_.Path().string(), options);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.errors, "tessarin: write error: No space left on device\n");
    }
    EXPECT_EQ(CountFiles(dir_ / "out"), 2u);
}

// The progress line fits the terminal's width (COLUMNS where standard error
// is no terminal): a long name is shortened in its middle, never wrapped.
TEST_F(CommandModeRun, ProgressLineFitsTheWidth) {
    const std::string name = "長い名前のついた画像ファイル_" + std::string(60, 'x') + "_end.bmp";
    MakeSource(name, 8, 8);
    fs::create_directory(dir_ / "out");
    for (const char* columns : {"40", "200"}) {
        testing::RunOptions options;
        options.workDir = dir_.Path().string();
        options.environment = {{"COLUMNS", columns}};
        const auto run = RunTessarin({"/cmd", "/outdir", "out", "/progress", name},
                                     home_.Path().string(), options);
        EXPECT_EQ(run.exitCode, 0);
        std::istringstream in(run.errors);
        size_t drawn = 0;
        for (std::string part; std::getline(in, part, '\r');) {
            if (part.empty()) continue;
            ++drawn;
            if (part.back() == '\n') part.pop_back();
            const bool narrow = columns[0] == '4';
            EXPECT_LE(DisplayColumns(part), narrow ? 39u : 199u) << part;
            EXPECT_EQ(part.find("…") != std::string::npos, narrow) << part;
            // Both ends of the name stay readable.
            EXPECT_NE(part.find(narrow ? "長い名前" : name), std::string::npos) << part;
            EXPECT_TRUE(part.ends_with("end.bmp")) << part;
        }
        EXPECT_GE(drawn, 2u) << run.errors;
    }
}

// "." and ".." in a source path are not folder levels; the lines show the
// path as it was given.
TEST_F(CommandModeRun, DotSegmentsAreNotFolderLevels) {
    fs::create_directories(dir_ / "a/b");
    MakeSource("a/b/x.bmp", 8, 8);
    const std::string cwd = dir_ / "a/b";
    struct Case {
        std::vector<std::string> options;
        std::string source;
        std::string tile;
    };
    for (const Case& c : {Case{{"/relative", "1"}, "./x.bmp", "a/x_1_1.bmp"},
                          Case{{"/relative", "1"}, "../b/./x.bmp", "a/x_1_1.bmp"},
                          Case{{"/relative", "2"}, "./../b//x.bmp", "x_1_1.bmp"},
                          Case{{"/outdir", cwd, "/unique"}, "./x.bmp", "a/b/_x.bmp/x_1_1.bmp"},
                          Case{{"/outdir", ".", "/unique"}, "x.bmp", "a/b/_x.bmp/x_1_1.bmp"}}) {
        std::vector<std::string> args = {"/cmd"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.source);
        auto run = RunTessarin(args, home_.Path().string(), cwd);
        auto lines = Lines(run.output);
        ASSERT_EQ(lines.size(), 3u) << run.output;
        EXPECT_EQ(Body(lines[1]), "○：" + c.source);
        EXPECT_TRUE(fs::is_regular_file(dir_ / c.tile)) << c.source << " " << c.tile;
        fs::remove(dir_ / c.tile);
    }
}

// A BMP of one row, `width` pixels at `depth` bits, with zero pixels (a
// sparse file: nothing but the headers takes disk space).
void WriteWideBmp(const std::string& path, int64_t width, int depth) {
    const int colors = depth <= 8 ? 1 << depth : 0;
    const uint64_t stride =
        (static_cast<uint64_t>(width) * static_cast<uint64_t>(depth) + 31) / 32 * 4;
    const uint32_t offset = 54 + 4 * static_cast<uint32_t>(colors);
    std::vector<uint8_t> bytes = {'B', 'M'};
    testing::Le32(bytes, static_cast<uint32_t>(offset + stride));
    testing::Le32(bytes, 0);
    testing::Le32(bytes, offset);
    for (uint32_t v : {40u, static_cast<uint32_t>(width), 1u}) testing::Le32(bytes, v);
    testing::Le16(bytes, 1);
    testing::Le16(bytes, static_cast<uint32_t>(depth));
    for (uint32_t v : {0u, static_cast<uint32_t>(stride), 0u, 0u, 0u, 0u}) testing::Le32(bytes, v);
    for (int i = 0; i < colors; ++i) testing::Le32(bytes, static_cast<uint32_t>(i * 0x111111));
    testing::WriteBytes(path, bytes);
    fs::resize_file(path, offset + stride);
}

// Run out of memory in the middle of a split (the address space capped, as
// "ulimit -v" does): the file gets its line, its temporary tile goes, and
// the next file is split.
TEST_F(CommandModeRun, MemoryShortageFailsTheFileAndTheRunGoesOn) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory does not fit under an address-space limit";
#endif
    constexpr uint64_t kMiB = 1 << 20;
    constexpr uint64_t kRaster = 48 * kMiB;
    // A 4-bit tile needs a row buffer as large as the source row; a 24-bit
    // tile needs none. Both rasters take kRaster bytes.
    WriteWideBmp(dir_ / "wide4.bmp", 2 * kRaster, 4);
    WriteWideBmp(dir_ / "wide24.bmp", kRaster / 3, 24);
    MakeSource("small.bmp", 16, 4);
    fs::create_directory(dir_ / "out");
    testing::RunOptions options;
    options.workDir = dir_.Path().string();
    // One malloc arena: no per-thread reservations blur the measurement.
    options.environment = {{"MALLOC_ARENA_MAX", "1"}};
    auto run = [&](uint64_t limit, const std::vector<std::string>& files) {
        options.addressSpaceLimit = limit;
        std::vector<std::string> args = {"/cmd", "/outdir", "out", "/t", "1"};
        args.insert(args.end(), files.begin(), files.end());
        return RunTessarin(args, home_.Path().string(), options);
    };
    // What the program needs for a small file, found by halving.
    uint64_t low = 0, high = 1024 * kMiB;
    ASSERT_NE(run(high, {"small.bmp"}).output.find("○：small.bmp"), std::string::npos);
    while (high - low > 4 * kMiB) {
        const uint64_t middle = (low + high) / 2;
        if (run(middle, {"small.bmp"}).output.find("○：small.bmp") != std::string::npos)
            high = middle;
        else
            low = middle;
    }
    // Room for one raster and half another.
    auto result = run(high + kRaster + kRaster / 2, {"wide4.bmp", "wide24.bmp", "small.bmp"});
    EXPECT_EQ(result.exitCode, 1);  // a file gave "×"
    auto lines = Lines(result.output);
    ASSERT_EQ(lines.size(), 5u) << result.output;
    EXPECT_EQ(Body(lines[1]), "×：wide4.bmp【メモリ領域の確保に失敗しました】");
    EXPECT_EQ(Body(lines[2]), "○：wide24.bmp");
    EXPECT_EQ(Body(lines[3]), "○：small.bmp");
    EXPECT_EQ(testing::FileNames(dir_ / "out"),
              (std::vector<std::string>{"small_1_1.bmp", "wide24_1_1.bmp"}));
    EXPECT_EQ(fs::file_size(dir_ / "out/wide24_1_1.bmp"), 54 + kRaster);
}

// /copy chooses the source markers of the lossless tiles of the files to its
// right; the manifest records it with the block grid. A value it does not know
// is warned about and changes nothing.
TEST_F(CommandModeRun, CopyOptionChoosesTheMarkersOfLosslessTiles) {
    const std::string comment = "kept comment", app = "application marker";
    jpeg_test::WriteSource(dir_ / "a.jpg",
                           {.width = 40,
                            .height = 24,
                            .factors = {{2, 1}, {1, 1}, {1, 1}},
                            .markers = {{JPEG_APP0 + 9, app}, {JPEG_COM, comment}}});
    for (const char* name : {"b.jpg", "c.jpg", "d.jpg"}) fs::copy_file(dir_ / "a.jpg", dir_ / name);
    fs::create_directory(dir_ / "out");
    const auto run = RunTessarin(
        {"/cmd", "/outdir", dir_ / "out", "/!jc", "/manifest", "/x", "32", "a.jpg", "/copy",
         "COMMENTS", "b.jpg", "/copy", "none", "c.jpg", "/copy", "some", "d.jpg"},
        home_.Path().string(), dir_.Path().string());
    EXPECT_EQ(run.exitCode, 1) << run.output;  // the value it could not use
    EXPECT_EQ(run.errors, "tessarin: /copy some：不明なオプションです（無視します）\n");
    // name, whether its tile keeps the comment and the application marker, copy
    for (auto [name, keepsComment, keepsApp, copy] : {std::tuple{"a", true, true, "all"},
                                                      {"b", true, false, "comments"},
                                                      {"c", false, false, "none"},
                                                      {"d", false, false, "none"}}) {
        const std::string out = dir_ / "out/" + name;
        const std::string tile = jpeg_test::ReadBytes(out + "_1_1.jpg");
        EXPECT_EQ(tile.find(comment) != std::string::npos, keepsComment) << name;
        EXPECT_EQ(tile.find(app) != std::string::npos, keepsApp) << name;
        EXPECT_NE(jpeg_test::ReadBytes(out + ".jpg_tiles.json")
                      .find(std::string("\"lossless\": {\"blockWidth\": 16, \"blockHeight\": 8, "
                                        "\"copy\": \"") +
                            copy + "\"}"),
                  std::string::npos)
            << name;
    }
}

// Every option a format declares is an option of the command mode in each of
// its spellings, is explained by /help, and changes that format's tiles: its
// extremes give different files. Options given as words are left to their
// own tests (the sample has no markers to keep).
TEST_F(CommandModeRun, EveryDeclaredFormatOptionChangesItsFormatsTiles) {
    const std::string help = RunTessarin({"/cmd", "/help"}, home_.Path().string()).output;
    for (const ImageFormat* format : ImageFormats()) {
        for (const FormatOption& option : format->options) {
            SCOPED_TRACE(std::string(option.section) + "/" + option.key);
            std::vector<std::vector<std::string>> ways;
            for (const FormatOptionSpelling& spelling : option.spellings) {
                EXPECT_NE(help.find(spelling.help), std::string::npos) << spelling.name;
                if (!spelling.takesValue) {
                    ways.push_back({spelling.name});
                } else if (!option.words) {
                    ways.push_back({spelling.name, std::to_string(option.minimum)});
                    ways.push_back({"--" + std::string(spelling.longName) + "=" +
                                    std::to_string(option.maximum)});
                }
            }
            if (ways.size() < 2) continue;
            const std::string sample = dir_ / ("sample" + std::string(format->extensions[0]));
            testing::WriteBytes(sample,
                                std::vector<uint8_t>(format->sample.begin(), format->sample.end()));
            std::set<std::string> results;
            for (size_t i = 0; i < ways.size(); ++i) {
                const std::string out = dir_ / (std::string(option.key) + std::to_string(i));
                fs::create_directory(out);
                std::vector<std::string> args = {"/cmd", "/outdir", out, "/x", "16", "/y", "16"};
                args.insert(args.end(), ways[i].begin(), ways[i].end());
                args.push_back(sample);
                const auto run = RunTessarin(args, home_.Path().string());
                EXPECT_EQ(run.exitCode, 0) << ways[i][0] << run.output;
                EXPECT_EQ(run.errors, "") << ways[i][0];
                std::set<std::string> names;
                for (const auto& entry : fs::directory_iterator(out))
                    names.insert(entry.path().string());
                std::string tiles;
                for (const std::string& name : names) tiles += jpeg_test::ReadBytes(name);
                EXPECT_FALSE(names.empty()) << ways[i][0];
                results.insert(tiles);
            }
            EXPECT_EQ(results.size(), ways.size());
        }
    }
}

}  // namespace
}  // namespace tessarin
