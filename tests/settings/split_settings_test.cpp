#include "settings/split_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/command_mode.h"
#include "platform/notifier.h"
#include "platform/profile.h"
#include "split/geometry.h"
#include "support/recording_notifier.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

using testing::RecordingNotifier;

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every field as "name=value ", so that a mismatch shows which one differs.
std::string Describe(const SplitSettings& s) {
    std::ostringstream o;
    o.precision(17);
    o << "savePath=" << s.savePath << " relative=" << s.relative << " dirLevel=" << s.dirLevel
      << " makeDir=" << s.makeDir << " makeFolder=" << s.makeFolder
      << " uniqueFolder=" << s.uniqueFolder << " adjustAspect=" << s.adjustAspect
      << " aspectBaseWidth=" << s.aspectBaseWidth << " widthUnit=" << UnitIndex(s.widthUnit)
      << " width=" << s.widthValue[0] << "," << s.widthValue[1] << "," << s.widthValue[2]
      << " heightUnit=" << UnitIndex(s.heightUnit) << " height=" << s.heightValue[0] << ","
      << s.heightValue[1] << "," << s.heightValue[2] << " offsetXUnit=" << UnitIndex(s.offsetXUnit)
      << " offsetX=" << s.offsetXValue[0] << "," << s.offsetXValue[1]
      << " offsetYUnit=" << UnitIndex(s.offsetYUnit) << " offsetY=" << s.offsetYValue[0] << ","
      << s.offsetYValue[1] << " nameFormat=" << static_cast<int>(s.nameFormat)
      << " reverse=" << s.reverse << " firstNumber=" << s.firstNumber << " digits=" << s.digits
      << " jpegQuality=" << s.formatOptions.Get("JPEG", "QUALITY") << " allBmp=" << s.allBmp
      << " correctCut=" << s.formatOptions.Get("OPTION", "CORRECT_CUT")
      << " notOverwrite=" << s.notOverwrite << " negativeLine=" << s.negativeLine
      << " scaleChangeRate=" << s.scaleChangeRate << " threadCount=" << s.threadCount << " ";
    return o.str();
}

SplitSettings NonDefault() {
    SplitSettings s;
    s.savePath = "/home/a/出力 dir ";
    s.relative = 1;
    s.dirLevel = 2;
    s.makeDir = s.makeFolder = s.uniqueFolder = 1;
    s.adjustAspect = 1;
    s.aspectBaseWidth = 0;
    s.widthUnit = SizeUnit::Percent;
    s.heightUnit = SizeUnit::Count;
    s.offsetXUnit = SizeUnit::Percent;
    s.offsetYUnit = SizeUnit::Percent;
    s.widthValue[0] = 640, s.widthValue[1] = 12.5, s.widthValue[2] = 4;
    s.heightValue[0] = 480, s.heightValue[1] = 33.333333, s.heightValue[2] = 3;
    s.offsetXValue[0] = 10, s.offsetXValue[1] = 2.25;
    s.offsetYValue[0] = 20, s.offsetYValue[1] = 100;
    s.nameFormat = NameFormat::DownCount;
    s.reverse = 1;
    s.firstNumber = -5;
    s.digits = 3;
    s.formatOptions.Set("JPEG", "QUALITY", 90);
    s.allBmp = 1;
    s.formatOptions.Set("OPTION", "CORRECT_CUT", 0);
    s.negativeLine = 1;
    s.scaleChangeRate = 1.25;
    s.threadCount = 4;
    return s;
}

class SplitSettingsFiles : public ::testing::Test {
  protected:
    void SetUp() override { paths_ = ResolveSettingsPathsIn(folder_, "alice"); }
    std::string At(const std::string& name) const { return folder_ + "/" + name; }
    // Loaded over a record that differs in every field, so nothing is left as it was.
    SplitSettings Loaded() const {
        SplitSettings s = NonDefault();
        s.notOverwrite = 1;
        LoadSplitSettings(s, paths_);
        return s;
    }

    testing::TempDir dir_;
    std::string folder_ = dir_.Path().string();
    SettingsPaths paths_;
};

TEST_F(SplitSettingsFiles, PathsAndCurrentSlot) {
    EXPECT_EQ(paths_.mainSettingsPath, At("alice Tessarin.ini"));
    EXPECT_EQ(paths_.slotSettingsPath, At("alice 0 Tessarin.ini"));
    for (auto [text, slot] : {std::pair{"3", 3}, {"9", 9}, {"12", 0}, {"-1", 0}, {"x", 0}}) {
        Put(At("alice Tessarin.ini"), std::string("[INI]\nNO=") + text + "\n");
        SettingsPaths p = ResolveSettingsPathsIn(folder_ + "/", "alice");
        EXPECT_EQ(p.currentSlot, slot) << text;
        EXPECT_EQ(p.slotSettingsPath, At("alice " + std::to_string(slot) + " Tessarin.ini"));
    }
}

TEST_F(SplitSettingsFiles, MissingOrEmptyFilesGiveDefaults) {
    const std::string defaults =
        "savePath= relative=0 dirLevel=0 makeDir=0 makeFolder=0 uniqueFolder=0 adjustAspect=0 "
        "aspectBaseWidth=1 widthUnit=0 width=0,0,1 heightUnit=0 height=0,0,1 offsetXUnit=0 "
        "offsetX=0,0 offsetYUnit=0 offsetY=0,0 nameFormat=0 reverse=0 firstNumber=1 digits=0 "
        "jpegQuality=75 allBmp=0 correctCut=1 notOverwrite=0 negativeLine=0 "
        "scaleChangeRate=1.1000000000000001 threadCount=1 ";
    EXPECT_EQ(Describe(Loaded()), defaults);
    Put(paths_.slotSettingsPath, "");
    Put(paths_.mainSettingsPath, "[OPTION]\n[CUT_SIZE]\n");
    EXPECT_EQ(Describe(Loaded()), defaults);
}

TEST_F(SplitSettingsFiles, ValuesAreCorrectedOnReading) {
    const struct {
        bool mainFile;
        const char* text;
        const char* expected;
    } cases[] = {
        {false, "[CUT_SIZE]\nWIDTH_PER=250", " width=0,100,1 "},
        {false, "[CUT_SIZE]\nWIDTH_PER=-5\nWIDTH_NUM=0", " width=0,0,1 "},
        {false, "[CUT_SIZE]\nWIDTH_PER= 12.5abc\nWIDTH=-20", " width=0,12.5,1 "},
        {false, "[CUT_SIZE]\nWIDTH_PER=0x10\nWIDTH_NUM=7", " width=0,0,7 "},  // decimal only
        {false, "[CUT_SIZE]\nHEIGHT_PER=nan\nHEIGHT_NUM=-4\nHEIGHT=480.9", " height=480,0,1 "},
        {false, "[CUT_SIZE]\nOFFSET_X=-1\nOFFSET_X_PER=abc", " offsetX=0,0 "},
        {false, "[CUT_SIZE]\nOFFSET_Y=3\nOFFSET_Y_PER=1e999", " offsetY=3,100 "},
        {false, "[CUT_SIZE]\nWIDTH_UNIT=3\nHEIGHT_UNIT=2",
         " widthUnit=0 width=0,0,1 heightUnit=2 "},
        {false, "[CUT_SIZE]\nHEIGHT_UNIT=-1", " heightUnit=0 "},
        {false, "[CUT_SIZE]\nOFFSET_X_UNIT=2\nOFFSET_Y_UNIT=1",
         " offsetXUnit=0 offsetX=0,0 offsetYUnit=1 "},
        {false, "[CUT_SIZE]\nASPECT_STANDARD=0", " aspectBaseWidth=1 "},
        {false, "[CUT_SIZE]\nASPECT_STANDARD=1", " aspectBaseWidth=0 "},
        {false, "[CUT_SIZE]\nASPECT_STANDARD=5", " aspectBaseWidth=0 "},
        {false, "[FNAME_RULE]\nFORMAT=4\nFIRST_NO=-7\nKETA=-3",
         " nameFormat=0 reverse=0 firstNumber=-7 digits=0 "},
        {false, "[FNAME_RULE]\nFORMAT=3\nREVERSE=2\nFIRST_NO=12abc",
         " nameFormat=3 reverse=2 firstNumber=12 "},
        {false, "[FNAME_RULE]\nFIRST_NO=abc", " firstNumber=0 "},
        {false, "[JPEG]\nQUALITY=150", " jpegQuality=100 "},
        {false, "[JPEG]\nQUALITY=-5", " jpegQuality=0 "},
        {false, "[SAVE_FOLDER]\nDIR_LEVEL=-2", " dirLevel=0 "},
        {true, "[OPTION]\nSCALE_CHANGE_RATE=0\nNUM_THREAD=0",
         " scaleChangeRate=0.90000000000000002 threadCount=1 "},
        {true, "[OPTION]\nSCALE_CHANGE_RATE=-2\nNUM_THREAD=-3",
         " scaleChangeRate=0.90000000000000002 threadCount=1 "},
        {true, "[OPTION]\nSCALE_CHANGE_RATE=nan", " scaleChangeRate=0.90000000000000002 "},
        {true, "[OPTION]\nSCALE_CHANGE_RATE=inf", " scaleChangeRate=0.90000000000000002 "},
        {true, "[OPTION]\nSCALE_CHANGE_RATE=1.25\nNUM_THREAD=4",
         " scaleChangeRate=1.25 threadCount=4 "},
    };
    for (const auto& c : cases) {
        Put(c.mainFile ? paths_.mainSettingsPath : paths_.slotSettingsPath, c.text);
        Put(c.mainFile ? paths_.slotSettingsPath : paths_.mainSettingsPath, "");
        const std::string loaded = Describe(Loaded());
        EXPECT_NE(loaded.find(c.expected), std::string::npos) << c.text << "\n" << loaded;
    }
}

TEST_F(SplitSettingsFiles, SavePathLosesOneTrailingSlash) {
    for (auto [stored, read] :
         {std::pair{"/data/out/", "/data/out"}, {"/data/out", "/data/out"}, {"/", "/"}, {"", ""}}) {
        Put(paths_.slotSettingsPath, std::string("[SAVE_FOLDER]\nPATH=") + stored + "\n");
        EXPECT_EQ(Loaded().savePath, read) << stored;
    }
}

TEST_F(SplitSettingsFiles, ReadsSlotFileWrittenOnWindows) {
    const std::u16string text = u"[cut_size]\r\n Width_Per = \"12.5\" \r\nwidth_unit=1\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    Put(paths_.slotSettingsPath, bytes);
    const SplitSettings s = Loaded();
    EXPECT_EQ(s.widthValue[1], 12.5);
    EXPECT_EQ(s.widthUnit, SizeUnit::Percent);
}

TEST_F(SplitSettingsFiles, SaveWritesExactText) {
    SplitSettings s = NonDefault();
    s.widthValue[0] = 640.9;  // whole numbers are written truncated
    s.heightValue[2] = 3.7;
    RecordingNotifier notifier;
    ASSERT_TRUE(SaveSplitSettings(s, paths_, &notifier));
    EXPECT_TRUE(notifier.errors.empty());
    EXPECT_EQ(Get(paths_.mainSettingsPath),
              "[VIEW]\nNEGATIVE_LINE=1\n[OPTION]\nSCALE_CHANGE_RATE=1.250000\nNUM_THREAD=4\n");
    EXPECT_EQ(Get(paths_.slotSettingsPath),
              "[SAVE_FOLDER]\nPATH=\"/home/a/出力 dir \"\nRELATIVE=1\nDIR_LEVEL=2\nMAKE_DIR=1\n"
              "MAKE_FOLDER=1\nUNIQUE_FOLDER=1\n"
              "[CUT_SIZE]\nADJUST_ASPECT=1\nASPECT_STANDARD=1\nWIDTH=640\nWIDTH_PER=12.500000\n"
              "WIDTH_NUM=4\nWIDTH_UNIT=1\nHEIGHT=480\nHEIGHT_PER=33.333333\nHEIGHT_NUM=3\n"
              "HEIGHT_UNIT=2\nOFFSET_X=10\nOFFSET_X_PER=2.250000\nOFFSET_X_UNIT=1\nOFFSET_Y=20\n"
              "OFFSET_Y_PER=100.000000\nOFFSET_Y_UNIT=1\n"
              "[FNAME_RULE]\nFORMAT=3\nREVERSE=1\nFIRST_NO=-5\nKETA=3\n[JPEG]\nQUALITY=90\n"
              "[PNG]\nCOMPRESSION=1\n");
}

TEST_F(SplitSettingsFiles, SaveThenLoadKeepsEveryField) {
    SplitSettings saved = NonDefault();
    ASSERT_TRUE(SaveSplitSettings(saved, paths_, nullptr));
    // The three option flags are written by their own commands, not by a save.
    ASSERT_TRUE(WriteProfileStrings(paths_.slotSettingsPath,
                                    {{"OPTION", "ALL_BMP", "1"}, {"OPTION", "CORRECT_CUT", "0"}}));
    EXPECT_EQ(Describe(Loaded()), Describe(saved));
}

TEST_F(SplitSettingsFiles, NotOverwriteWritesOnlyMainFileValues) {
    const std::string slotText = "[INI]\r\nNAME=mine\r\n[CUT_SIZE]\r\nWIDTH=1\r\n";
    Put(paths_.slotSettingsPath, slotText);
    Put(paths_.mainSettingsPath, "[OPTION]\nWINDOW_POS_ON_BOOT=2\n");
    SplitSettings s = NonDefault();
    s.notOverwrite = 1;
    ASSERT_TRUE(SaveSplitSettings(s, paths_, nullptr));
    EXPECT_EQ(Get(paths_.slotSettingsPath), slotText);
    EXPECT_EQ(Get(paths_.mainSettingsPath),
              "[OPTION]\nWINDOW_POS_ON_BOOT=2\nSCALE_CHANGE_RATE=1.250000\nNUM_THREAD=4\n"
              "[VIEW]\nNEGATIVE_LINE=1\n");
}

// A flag the file holds as some other non-zero number is on for every reader,
// aspect matching included, and a save writes the number back as it was.
TEST_F(SplitSettingsFiles, FlagsCountAnyNumberAsOnAndKeepIt) {
    Put(paths_.slotSettingsPath,
        "[SAVE_FOLDER]\nRELATIVE=5\n[CUT_SIZE]\nADJUST_ASPECT=2\nWIDTH=400\n"
        "[FNAME_RULE]\nREVERSE=-1\n");
    SplitSettings s = Loaded();
    EXPECT_TRUE(s.relative && s.adjustAspect && s.reverse);
    EXPECT_TRUE(MatchAspect(800, 600, s));
    EXPECT_EQ(s.heightValue[0], 300);
    ASSERT_TRUE(SaveSplitSettings(s, paths_, nullptr));
    const std::string saved = Get(paths_.slotSettingsPath);
    for (const char* line : {"\nRELATIVE=5\n", "\nADJUST_ASPECT=2\n", "\nREVERSE=-1\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << saved;
    ASSERT_TRUE(ToggleAdjustAspect(s, paths_, nullptr));
    EXPECT_FALSE(s.adjustAspect);
    EXPECT_NE(Get(paths_.slotSettingsPath).find("\nADJUST_ASPECT=0\n"), std::string::npos);
}

TEST_F(SplitSettingsFiles, FailedSaveIsReportedAndStops) {
    Put(At("plain"), "x");
    const std::string failed = "設定ファイルの書き込みに失敗しました\n\n";
    {  // The main file cannot be written: nothing at all is written.
        SettingsPaths p = paths_;
        p.mainSettingsPath = At("plain/alice Tessarin.ini");
        RecordingNotifier notifier;
        EXPECT_FALSE(SaveSplitSettings(NonDefault(), p, &notifier));
        EXPECT_EQ(notifier.errors, std::vector<std::string>{failed + p.slotSettingsPath});
        EXPECT_FALSE(fs::exists(p.slotSettingsPath));
        EXPECT_FALSE(SaveSplitSettings(NonDefault(), p, nullptr));
    }
    {  // Only the slot file cannot be written.
        SettingsPaths p = paths_;
        p.slotSettingsPath = At("plain/alice 0 Tessarin.ini");
        RecordingNotifier notifier;
        EXPECT_FALSE(SaveSplitSettings(NonDefault(), p, &notifier));
        EXPECT_EQ(notifier.errors, std::vector<std::string>{failed + p.slotSettingsPath});
        EXPECT_TRUE(fs::exists(p.mainSettingsPath));
    }
}

TEST_F(SplitSettingsFiles, MenuTogglesWriteTheirKey) {
    struct Toggle {
        bool (*fn)(SplitSettings&, const SettingsPaths&, Notifier*);
        int (*field)(const SplitSettings&);
        const char* line;
        bool always;
        const char* tail = "";  // what the toggle writes after its key, turned on
    };
    const Toggle toggles[] = {
        {ToggleAllBmp, [](const SplitSettings& s) -> int { return s.allBmp; },
         "[OPTION]\nALL_BMP=", false, "FORMAT=bmp\n"},
        {[](SplitSettings& s, const SettingsPaths& p, Notifier* owner) {
             return SetFormatOption(s, p, *FindFormatOption("OPTION", "CORRECT_CUT"),
                                    !s.formatOptions.Get("OPTION", "CORRECT_CUT"), owner);
         },
         [](const SplitSettings& s) { return s.formatOptions.Get("OPTION", "CORRECT_CUT"); },
         "[OPTION]\nCORRECT_CUT=", false},
        {ToggleAdjustAspect, [](const SplitSettings& s) -> int { return s.adjustAspect; },
         "[CUT_SIZE]\nADJUST_ASPECT=", false},
        {ToggleNotOverwrite, [](const SplitSettings& s) -> int { return s.notOverwrite; },
         "[OPTION]\nNOT_OVERWRITE=", true},
    };
    for (const Toggle& t : toggles) {
        for (int notOverwrite : {0, 1}) {
            fs::remove(paths_.slotSettingsPath);
            SplitSettings s;
            s.notOverwrite = notOverwrite;
            const int before = t.field(s);
            ASSERT_TRUE(t.fn(s, paths_, nullptr)) << t.line;
            EXPECT_EQ(t.field(s), 1 - before) << t.line;
            const std::string expected =
                (t.always || !notOverwrite)
                    ? t.line + std::to_string(1 - before) + "\n" + (before ? "" : t.tail)
                    : "";
            EXPECT_EQ(Get(paths_.slotSettingsPath), expected) << t.line << notOverwrite;
        }
        Put(At("plain"), "x");
        SettingsPaths unwritable = paths_;
        unwritable.slotSettingsPath = At("plain/slot.ini");
        RecordingNotifier notifier;
        SplitSettings s;
        const int before = t.field(s);
        EXPECT_FALSE(t.fn(s, unwritable, &notifier));
        EXPECT_EQ(t.field(s), 1 - before);
        EXPECT_EQ(notifier.errors,
                  std::vector<std::string>{SettingsWriteFailedText(unwritable.slotSettingsPath)});
    }
}

// FORMAT names the tiles' format; ALL_BMP, which older programs still turn
// on and off, decides BMP.
TEST_F(SplitSettingsFiles, TileFormatFollowsAllBmpThenFormat) {
    const struct {
        const char* slot;
        const char* format;
    } cases[] = {
        {"", "same"},
        {"[OPTION]\nALL_BMP=1\n", "bmp"},
        {"[OPTION]\nFORMAT=WebP\n", "webp"},
        {"[OPTION]\nALL_BMP=1\nFORMAT=png\n", "bmp"},
        {"[OPTION]\nALL_BMP=0\nFORMAT=bmp\n", "same"},
        {"[OPTION]\nFORMAT=same\n", "same"},
    };
    for (const auto& c : cases) {
        Put(paths_.slotSettingsPath, c.slot);
        EXPECT_EQ(TileFormatName(Loaded()), c.format) << c.slot;
    }
    for (const char* name : {"png", "bmp", "same", "tiff"}) {
        SplitSettings s;
        ASSERT_TRUE(SetTileFormat(s, paths_, name, nullptr));
        EXPECT_EQ(TileFormatName(s), name);
        EXPECT_EQ(TileFormatName(Loaded()), name);
    }
}

TEST_F(SplitSettingsFiles, SlotNamesAndSwitching) {
    EXPECT_EQ(SlotName(paths_, 0), "設定０");
    EXPECT_EQ(SlotName(paths_, 3), "設定３");
    EXPECT_EQ(SlotName(paths_, 9), "設定９");
    ASSERT_TRUE(RenameSlot(paths_, "写真用\nsecond line", nullptr));
    EXPECT_EQ(Get(paths_.slotSettingsPath), "[INI]\nNAME=写真用\n");
    EXPECT_EQ(SlotName(paths_, 0), "写真用");
    ASSERT_TRUE(RenameSlot(paths_, "", nullptr));
    EXPECT_EQ(SlotName(paths_, 0), "設定０");

    std::string longName;
    for (int i = 0; i < 300; ++i) longName += "あ";
    Put(At("alice 5 Tessarin.ini"), "[INI]\nNAME=" + longName + "\n");
    EXPECT_EQ(SlotName(paths_, 5), longName.substr(0, 255 * 3));
    // A character outside the BMP takes two of the 255 units and is not split.
    Put(At("alice 6 Tessarin.ini"), "[INI]\nNAME=" + std::string(254, 'a') + "😀\n");
    EXPECT_EQ(SlotName(paths_, 6), std::string(254, 'a'));

    Put(At("alice 4 Tessarin.ini"), "[JPEG]\nQUALITY=33\n");
    ASSERT_TRUE(SelectSlot(paths_, 4, nullptr));
    EXPECT_EQ(paths_.currentSlot, 4);
    EXPECT_EQ(paths_.slotSettingsPath, At("alice 4 Tessarin.ini"));
    EXPECT_EQ(Get(paths_.mainSettingsPath), "[INI]\nNO=4\n");
    EXPECT_EQ(Loaded().formatOptions.Get("JPEG", "QUALITY"), 33);
    EXPECT_EQ(ResolveSettingsPathsIn(folder_, "alice").currentSlot, 4);
    EXPECT_FALSE(SelectSlot(paths_, 10, nullptr));
    EXPECT_EQ(paths_.currentSlot, 4);
}

TEST_F(SplitSettingsFiles, LoadFromNamedFile) {
    Put(At("other.ini"), "[JPEG]\nQUALITY=12\n[OPTION]\nNOT_OVERWRITE=1\n");
    Put(paths_.mainSettingsPath, "[OPTION]\nNUM_THREAD=3\n");
    SplitSettings s;
    LoadSplitSettingsFrom(s, paths_, At("other.ini"));
    EXPECT_EQ(s.formatOptions.Get("JPEG", "QUALITY"), 12);
    EXPECT_EQ(s.notOverwrite, 1);
    EXPECT_EQ(s.threadCount, 3);
}

TEST_F(SplitSettingsFiles, SaveAsCopiesTheSlotFile) {
    EXPECT_EQ(WithIniExtension("/x/backup"), "/x/backup.ini");
    EXPECT_EQ(WithIniExtension("/x/backup.txt"), "/x/backup.txt");
    EXPECT_EQ(WithIniExtension("/x/v1.2 final"), "/x/v1.2 final.ini");
    EXPECT_EQ(WithIniExtension("/x.d/backup"), "/x.d/backup.ini");

    ASSERT_TRUE(RenameSlot(paths_, "mine", nullptr));
    SplitSettings s;
    s.formatOptions.Set("JPEG", "QUALITY", 55);
    ASSERT_TRUE(SaveSplitSettingsAs(s, paths_, At("backup"), nullptr));
    EXPECT_EQ(Get(At("backup.ini")), Get(paths_.slotSettingsPath));
    EXPECT_NE(Get(At("backup.ini")).find("NAME=mine\n"), std::string::npos);
    EXPECT_NE(Get(At("backup.ini")).find("QUALITY=55\n"), std::string::npos);

    // With notOverwrite the file on disk is copied as it is.
    const std::string onDisk = Get(paths_.slotSettingsPath);
    s.formatOptions.Set("JPEG", "QUALITY", 10);
    s.notOverwrite = 1;
    ASSERT_TRUE(SaveSplitSettingsAs(s, paths_, At("backup.txt"), nullptr));
    EXPECT_EQ(Get(At("backup.txt")), onDisk);
    EXPECT_FALSE(fs::exists(At("backup.txt.ini")));

    fs::remove(paths_.slotSettingsPath);
    EXPECT_FALSE(SaveSplitSettingsAs(s, paths_, At("none"), nullptr));
    EXPECT_FALSE(fs::exists(At("none.ini")));
}

// One reading of reals for options and settings files: decimal only, "inf"
// and "nan" as the "C" library spells them, the text after the number
// ignored; percentages then clamped to 0..100, NaN to 0.
TEST_F(SplitSettingsFiles, RealsReadAlikeInOptionsAndSettingsFiles) {
    struct Case {
        const char* text;
        double percent;
    };
    for (Case c : {Case{"12.5", 12.5}, Case{" +7", 7},        Case{".5", 0.5},    Case{"5.", 5},
                   Case{"1e1", 10},    Case{"1E-1", 0.1},     Case{"1e", 1},      Case{"2e+", 2},
                   Case{"3,5", 3},     Case{"150", 100},      Case{"1e999", 100}, Case{"inf", 100},
                   Case{"INF", 100},   Case{"Infinity", 100}, Case{"-inf", 0},    Case{"nan", 0},
                   Case{"nan(1)", 0},  Case{"0x20", 0},       Case{"0X1p4", 0},   Case{"0x", 0},
                   Case{"abc", 0},     Case{"", 0},           Case{"-", 0},       Case{"+-5", 0}}) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        SizeUnit unit = SizeUnit::Pixel;
        double size[3] = {};
        ApplySizeOption(c.text + std::string("%"), unit, size);
        EXPECT_EQ(size[1], c.percent) << "/x";
        double offset[2] = {};
        ApplyOffsetOption(c.text + std::string("%"), unit, offset);
        EXPECT_EQ(offset[1], c.percent) << "/xo";
        Put(paths_.slotSettingsPath,
            std::string("[CUT_SIZE]\nWIDTH_PER=") + c.text + "\nOFFSET_Y_PER=" + c.text + "\n");
        const SplitSettings loaded = Loaded();
        EXPECT_EQ(loaded.widthValue[1], c.percent) << "WIDTH_PER";
        EXPECT_EQ(loaded.offsetYValue[1], c.percent) << "OFFSET_Y_PER";
    }
}

// A window toolkit switches LC_NUMERIC to the user's locale, and a German
// one writes 12,5. Reals in options and settings files keep their point. The
// locale is built here, so that the test runs on any machine.
TEST_F(SplitSettingsFiles, NumbersIgnoreProcessLocale) {
    testing::TempDir locales;
    // localedef may exit non-zero over mere warnings; setlocale tells.
    const std::string build =
        "localedef -i de_DE -f UTF-8 '" + locales / "de_DE.UTF-8" + "' >/dev/null 2>&1";
    (void)std::system(build.c_str());
    ::setenv("LOCPATH", locales.Path().c_str(), 1);
    const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    ::unsetenv("LOCPATH");
    ASSERT_NE(german, nullptr) << "localedef (packages libc-bin and locales) built no locale";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    Put(paths_.slotSettingsPath, "[CUT_SIZE]\nWIDTH_PER=12.5\n");
    const SplitSettings s = Loaded();
    EXPECT_TRUE(SaveSplitSettings(s, paths_, nullptr));
    SizeUnit unit = SizeUnit::Pixel;
    double option[3] = {};
    ApplySizeOption("7.25%", unit, option);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(s.widthValue[1], 12.5);
    EXPECT_NE(Get(paths_.slotSettingsPath).find("WIDTH_PER=12.500000\n"), std::string::npos);
    EXPECT_EQ(option[1], 7.25);
}

// Every option a format declares: its fallback when missing, its range
// kept (clamped, or the fallback), its own command's write (unless the slot
// is write-protected), and a save that writes it only when it is saved with
// the settings. JPEG / COPY, for one, reads 3 and -1 as 0 (all markers).
TEST_F(SplitSettingsFiles, EveryDeclaredFormatOptionIsReadCorrectedAndWritten) {
    ASSERT_FALSE(DeclaredFormatOptions().empty());
    for (const FormatOption& o : DeclaredFormatOptions()) {
        SCOPED_TRACE(std::string(o.section) + "/" + o.key);
        const std::string line = "[" + std::string(o.section) + "]\n" + o.key + "=";
        fs::remove(paths_.slotSettingsPath);
        EXPECT_EQ(Loaded().formatOptions.Get(o.section, o.key), o.fallback);
        for (auto [stored, read] : {std::pair{o.maximum, o.maximum},
                                    {o.minimum, o.minimum},
                                    {o.maximum + 1, o.clamps ? o.maximum : o.fallback},
                                    {o.minimum - 1, o.clamps ? o.minimum : o.fallback}}) {
            Put(paths_.slotSettingsPath, line + std::to_string(stored) + "\n");
            EXPECT_EQ(Loaded().formatOptions.Get(o.section, o.key), read) << stored;
        }
        const int other = o.fallback == o.maximum ? o.minimum : o.maximum;
        for (bool notOverwrite : {false, true}) {
            fs::remove(paths_.slotSettingsPath);
            SplitSettings s;
            s.notOverwrite = notOverwrite;
            ASSERT_TRUE(SetFormatOption(s, paths_, o, other, nullptr));
            EXPECT_EQ(s.formatOptions.Get(o.section, o.key), other);
            EXPECT_EQ(Get(paths_.slotSettingsPath),
                      notOverwrite ? "" : line + std::to_string(other) + "\n");
        }
        fs::remove(paths_.slotSettingsPath);
        SplitSettings s;
        s.formatOptions.Set(o.section, o.key, other);
        ASSERT_TRUE(SaveSplitSettings(s, paths_, nullptr));
        EXPECT_EQ(Loaded().formatOptions.Get(o.section, o.key),
                  o.savedWithSettings ? other : o.fallback);
    }
}

}  // namespace
}  // namespace tessarin
