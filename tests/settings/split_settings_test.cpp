#include "settings/split_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "platform/notifier.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

struct RecordingNotifier : Notifier {
    void ShowError(const std::string& text) override { errors.push_back(text); }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    std::vector<std::string> errors;
    std::vector<std::string> notices;
};

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every field, so that a mismatch shows which one differs.
std::string Describe(const SplitSettings& s) {
    std::ostringstream o;
    o.precision(17);
    o << "savePath=" << s.savePath << " relative=" << s.relative << " dirLevel=" << s.dirLevel
      << " makeDir=" << s.makeDir << " makeFolder=" << s.makeFolder
      << " uniqueFolder=" << s.uniqueFolder << "\nadjustAspect=" << s.adjustAspect
      << " aspectBaseWidth=" << s.aspectBaseWidth << " widthUnit=" << UnitIndex(s.widthUnit)
      << " width=" << s.widthValue[0] << "," << s.widthValue[1] << "," << s.widthValue[2]
      << " heightUnit=" << UnitIndex(s.heightUnit) << " height=" << s.heightValue[0] << ","
      << s.heightValue[1] << "," << s.heightValue[2] << "\noffsetXUnit=" << UnitIndex(s.offsetXUnit)
      << " offsetX=" << s.offsetXValue[0] << "," << s.offsetXValue[1]
      << " offsetYUnit=" << UnitIndex(s.offsetYUnit) << " offsetY=" << s.offsetYValue[0] << ","
      << s.offsetYValue[1] << "\nnameFormat=" << static_cast<int>(s.nameFormat)
      << " reverse=" << s.reverse << " firstNumber=" << s.firstNumber << " digits=" << s.digits
      << " jpegQuality=" << s.jpegQuality << " allBmp=" << s.allBmp
      << " correctCut=" << s.correctCut << " notOverwrite=" << s.notOverwrite
      << "\nnegativeLine=" << s.negativeLine << " scaleChangeRate=" << s.scaleChangeRate
      << " threadCount=" << s.threadCount;
    return o.str();
}

SplitSettings Garbage() {
    SplitSettings s;
    s.savePath = "junk";
    s.relative = s.dirLevel = s.makeDir = s.makeFolder = s.uniqueFolder = 7;
    s.adjustAspect = s.reverse = s.firstNumber = s.digits = s.jpegQuality = 7;
    s.allBmp = s.notOverwrite = s.negativeLine = s.threadCount = 7;
    s.aspectBaseWidth = s.correctCut = 0;
    s.widthUnit = s.heightUnit = s.offsetXUnit = s.offsetYUnit = SizeUnit::Percent;
    for (double* v : {s.widthValue, s.heightValue}) v[0] = v[1] = v[2] = 7;
    for (double* v : {s.offsetXValue, s.offsetYValue}) v[0] = v[1] = 7;
    s.nameFormat = NameFormat::DownCount;
    s.scaleChangeRate = 7;
    return s;
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
    s.jpegQuality = 90;
    s.negativeLine = 1;
    s.scaleChangeRate = 1.25;
    s.threadCount = 4;
    return s;
}

class SplitSettingsFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "tessarin-settings-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        paths_ = ResolveSettingsPathsIn(folder_, "alice");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    std::string At(const std::string& name) const { return folder_ + "/" + name; }
    SplitSettings Loaded() const {
        SplitSettings s = Garbage();
        LoadSplitSettings(s, paths_);
        return s;
    }

    std::string folder_;
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

TEST_F(SplitSettingsFiles, MissingFilesGiveDefaults) {
    EXPECT_EQ(Describe(Loaded()), Describe(SplitSettings{}));
    Put(paths_.slotSettingsPath, "");
    Put(paths_.mainSettingsPath, "[OPTION]\n");
    const SplitSettings s = Loaded();
    EXPECT_EQ(Describe(s), Describe(SplitSettings{}));
    EXPECT_EQ(s.correctCut, 1);
    EXPECT_EQ(s.jpegQuality, 75);
    EXPECT_EQ(s.widthValue[2], 1);
    EXPECT_EQ(s.scaleChangeRate, 1.1);
    EXPECT_EQ(s.aspectBaseWidth, 1);
}

TEST_F(SplitSettingsFiles, ValuesAreCorrectedOnReading) {
    struct Case {
        bool mainFile;
        const char* section;
        const char* key;
        const char* value;
        std::function<double(const SplitSettings&)> field;
        double expected;
    };
    auto width = [](int u) { return [u](const SplitSettings& s) { return s.widthValue[u]; }; };
    auto height = [](int u) { return [u](const SplitSettings& s) { return s.heightValue[u]; }; };
    auto offX = [](int u) { return [u](const SplitSettings& s) { return s.offsetXValue[u]; }; };
    auto offY = [](int u) { return [u](const SplitSettings& s) { return s.offsetYValue[u]; }; };
    auto unitW = [](const SplitSettings& s) { return double(UnitIndex(s.widthUnit)); };
    auto unitH = [](const SplitSettings& s) { return double(UnitIndex(s.heightUnit)); };
    auto unitX = [](const SplitSettings& s) { return double(UnitIndex(s.offsetXUnit)); };
    auto unitY = [](const SplitSettings& s) { return double(UnitIndex(s.offsetYUnit)); };
    auto format = [](const SplitSettings& s) { return double(static_cast<int>(s.nameFormat)); };
    auto first = [](const SplitSettings& s) { return double(s.firstNumber); };
    auto base = [](const SplitSettings& s) { return double(s.aspectBaseWidth); };
    auto rate = [](const SplitSettings& s) { return s.scaleChangeRate; };
    auto threads = [](const SplitSettings& s) { return double(s.threadCount); };
    const Case cases[] = {
        {false, "CUT_SIZE", "WIDTH_PER", "250", width(1), 100},
        {false, "CUT_SIZE", "WIDTH_PER", "-5", width(1), 0},
        {false, "CUT_SIZE", "WIDTH_PER", " 12.5abc", width(1), 12.5},
        {false, "CUT_SIZE", "WIDTH_PER", "1e1", width(1), 10},
        {false, "CUT_SIZE", "WIDTH_PER", "0x10", width(1), 16},
        {false, "CUT_SIZE", "HEIGHT_PER", "nan", height(1), 0},
        {false, "CUT_SIZE", "OFFSET_Y_PER", "1e999", offY(1), 100},
        {false, "CUT_SIZE", "OFFSET_X_PER", "abc", offX(1), 0},
        {false, "CUT_SIZE", "WIDTH_NUM", "0", width(2), 1},
        {false, "CUT_SIZE", "HEIGHT_NUM", "-4", height(2), 1},
        {false, "CUT_SIZE", "WIDTH", "-20", width(0), 0},
        {false, "CUT_SIZE", "HEIGHT", "480.9", height(0), 480},
        {false, "CUT_SIZE", "OFFSET_X", "-1", offX(0), 0},
        {false, "CUT_SIZE", "OFFSET_Y", "-1", offY(0), 0},
        {false, "CUT_SIZE", "WIDTH_UNIT", "3", unitW, 0},
        {false, "CUT_SIZE", "HEIGHT_UNIT", "-1", unitH, 0},
        {false, "CUT_SIZE", "HEIGHT_UNIT", "2", unitH, 2},
        {false, "CUT_SIZE", "OFFSET_X_UNIT", "2", unitX, 0},
        {false, "CUT_SIZE", "OFFSET_Y_UNIT", "1", unitY, 1},
        {false, "CUT_SIZE", "ASPECT_STANDARD", "0", base, 1},
        {false, "CUT_SIZE", "ASPECT_STANDARD", "1", base, 0},
        {false, "CUT_SIZE", "ASPECT_STANDARD", "5", base, 0},
        {false, "FNAME_RULE", "FORMAT", "4", format, 0},
        {false, "FNAME_RULE", "FORMAT", "3", format, 3},
        {false, "FNAME_RULE", "FIRST_NO", "-7", first, -7},
        {false, "FNAME_RULE", "FIRST_NO", "12abc", first, 12},
        {false, "FNAME_RULE", "FIRST_NO", "abc", first, 0},
        {false, "FNAME_RULE", "KETA", "-3", [](auto& s) { return double(s.digits); }, 0},
        {false, "JPEG", "QUALITY", "150", [](auto& s) { return double(s.jpegQuality); }, 100},
        {false, "JPEG", "QUALITY", "-5", [](auto& s) { return double(s.jpegQuality); }, 0},
        {false, "SAVE_FOLDER", "DIR_LEVEL", "-2", [](auto& s) { return double(s.dirLevel); }, 0},
        {true, "OPTION", "SCALE_CHANGE_RATE", "0", rate, 0.9},
        {true, "OPTION", "SCALE_CHANGE_RATE", "-2", rate, 0.9},
        {true, "OPTION", "SCALE_CHANGE_RATE", "nan", rate, 0.9},
        {true, "OPTION", "SCALE_CHANGE_RATE", "inf", rate, 0.9},
        {true, "OPTION", "SCALE_CHANGE_RATE", "1.25", rate, 1.25},
        {true, "OPTION", "NUM_THREAD", "0", threads, 1},
        {true, "OPTION", "NUM_THREAD", "-3", threads, 1},
        {true, "OPTION", "NUM_THREAD", "4", threads, 4},
    };
    for (const Case& c : cases) {
        const std::string text =
            std::string("[") + c.section + "]\n" + c.key + "=" + c.value + "\n";
        Put(c.mainFile ? paths_.mainSettingsPath : paths_.slotSettingsPath, text);
        Put(c.mainFile ? paths_.slotSettingsPath : paths_.mainSettingsPath, "");
        EXPECT_EQ(c.field(Loaded()), c.expected) << c.key << "=" << c.value;
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
    RecordingNotifier notifier;
    ASSERT_TRUE(SaveSplitSettings(NonDefault(), paths_, &notifier));
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
              "[FNAME_RULE]\nFORMAT=3\nREVERSE=1\nFIRST_NO=-5\nKETA=3\n[JPEG]\nQUALITY=90\n");
}

TEST_F(SplitSettingsFiles, SaveTruncatesWholeNumbersAndKeepsForeignLines) {
    Put(paths_.slotSettingsPath, "; mine\r\n[OPTION]\r\nALL_BMP=1\r\n[CUT_SIZE]\r\nWIDTH=1\r\n");
    SplitSettings s;
    s.widthValue[0] = 99.9;
    s.heightValue[2] = 2.7;
    ASSERT_TRUE(SaveSplitSettings(s, paths_, nullptr));
    const std::string text = Get(paths_.slotSettingsPath);
    EXPECT_EQ(text.rfind("; mine\n[OPTION]\nALL_BMP=1\n[CUT_SIZE]\nWIDTH=99\nADJUST_ASPECT=0\n", 0),
              0u)
        << text;
    EXPECT_NE(text.find("\nHEIGHT_NUM=2\n"), std::string::npos);
}

TEST_F(SplitSettingsFiles, SaveThenLoadKeepsEveryField) {
    SplitSettings saved = NonDefault();
    saved.notOverwrite = 0;
    ASSERT_TRUE(SaveSplitSettings(saved, paths_, nullptr));
    // The three option flags are written by their own commands, not by a save.
    ASSERT_TRUE(ToggleAllBmp(saved, paths_, nullptr));
    ASSERT_TRUE(ToggleCorrectCut(saved, paths_, nullptr));
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
        int SplitSettings::*field;
        const char* line;
        bool always;
    };
    const Toggle toggles[] = {
        {ToggleAllBmp, &SplitSettings::allBmp, "[OPTION]\nALL_BMP=", false},
        {ToggleCorrectCut, &SplitSettings::correctCut, "[OPTION]\nCORRECT_CUT=", false},
        {ToggleAdjustAspect, &SplitSettings::adjustAspect, "[CUT_SIZE]\nADJUST_ASPECT=", false},
        {ToggleNotOverwrite, &SplitSettings::notOverwrite, "[OPTION]\nNOT_OVERWRITE=", true},
    };
    for (const Toggle& t : toggles) {
        for (int notOverwrite : {0, 1}) {
            fs::remove(paths_.slotSettingsPath);
            SplitSettings s;
            s.notOverwrite = notOverwrite;
            const int before = s.*t.field;
            ASSERT_TRUE(t.fn(s, paths_, nullptr)) << t.line;
            EXPECT_EQ(s.*t.field, 1 - before) << t.line;
            const std::string expected =
                (t.always || !notOverwrite) ? t.line + std::to_string(1 - before) + "\n" : "";
            EXPECT_EQ(Get(paths_.slotSettingsPath), expected) << t.line << notOverwrite;
        }
        Put(At("plain"), "x");
        SettingsPaths unwritable = paths_;
        unwritable.slotSettingsPath = At("plain/slot.ini");
        RecordingNotifier notifier;
        SplitSettings s;
        const int before = s.*t.field;
        EXPECT_FALSE(t.fn(s, unwritable, &notifier));
        EXPECT_EQ(s.*t.field, 1 - before);
        EXPECT_EQ(notifier.errors,
                  std::vector<std::string>{SettingsWriteFailedText(unwritable.slotSettingsPath)});
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
    EXPECT_EQ(Loaded().jpegQuality, 33);
    EXPECT_EQ(ResolveSettingsPathsIn(folder_, "alice").currentSlot, 4);
    EXPECT_FALSE(SelectSlot(paths_, 10, nullptr));
    EXPECT_EQ(paths_.currentSlot, 4);
}

TEST_F(SplitSettingsFiles, LoadFromNamedFile) {
    Put(At("other.ini"), "[JPEG]\nQUALITY=12\n[OPTION]\nNOT_OVERWRITE=1\n");
    Put(paths_.mainSettingsPath, "[OPTION]\nNUM_THREAD=3\n");
    SplitSettings s;
    LoadSplitSettingsFrom(s, paths_, At("other.ini"));
    EXPECT_EQ(s.jpegQuality, 12);
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
    s.jpegQuality = 55;
    ASSERT_TRUE(SaveSplitSettingsAs(s, paths_, At("backup"), nullptr));
    EXPECT_EQ(Get(At("backup.ini")), Get(paths_.slotSettingsPath));
    EXPECT_NE(Get(At("backup.ini")).find("NAME=mine\n"), std::string::npos);
    EXPECT_NE(Get(At("backup.ini")).find("QUALITY=55\n"), std::string::npos);

    // With notOverwrite the file on disk is copied as it is.
    const std::string onDisk = Get(paths_.slotSettingsPath);
    s.jpegQuality = 10;
    s.notOverwrite = 1;
    ASSERT_TRUE(SaveSplitSettingsAs(s, paths_, At("backup.txt"), nullptr));
    EXPECT_EQ(Get(At("backup.txt")), onDisk);
    EXPECT_FALSE(fs::exists(At("backup.txt.ini")));

    fs::remove(paths_.slotSettingsPath);
    EXPECT_FALSE(SaveSplitSettingsAs(s, paths_, At("none"), nullptr));
    EXPECT_FALSE(fs::exists(At("none.ini")));
}

TEST_F(SplitSettingsFiles, NumbersIgnoreProcessLocale) {
    const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (!german) GTEST_SKIP() << "no locale with a decimal comma installed";
    Put(paths_.slotSettingsPath, "[CUT_SIZE]\nWIDTH_PER=12.5\n");
    const SplitSettings s = Loaded();
    SaveSplitSettings(s, paths_, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(s.widthValue[1], 12.5);
    EXPECT_NE(Get(paths_.slotSettingsPath).find("WIDTH_PER=12.500000\n"), std::string::npos);
}

}  // namespace
}  // namespace tessarin
