#pragma once
// The split-settings record, its slot files and the three application-wide
// values kept beside it in the main settings file.

#include <string>

namespace tessarin {

class Notifier;

enum class SizeUnit : int { Pixel = 0, Percent = 1, Count = 2 };

enum class NameFormat : int { RowCol = 0, ColRow = 1, AcrossCount = 2, DownCount = 3 };

inline int UnitIndex(SizeUnit unit) { return static_cast<int>(unit); }

struct SplitSettings {
    // SAVE_FOLDER
    std::string savePath;
    int relative = 0;
    int dirLevel = 0;
    int makeDir = 0;
    int makeFolder = 0;
    int uniqueFolder = 0;
    // CUT_SIZE
    int adjustAspect = 0;
    int aspectBaseWidth = 1;
    SizeUnit widthUnit = SizeUnit::Pixel;
    double widthValue[3] = {0, 0, 1};  // indexed by SizeUnit
    SizeUnit heightUnit = SizeUnit::Pixel;
    double heightValue[3] = {0, 0, 1};
    SizeUnit offsetXUnit = SizeUnit::Pixel;  // Pixel or Percent only
    double offsetXValue[2] = {0, 0};
    SizeUnit offsetYUnit = SizeUnit::Pixel;
    double offsetYValue[2] = {0, 0};
    // FNAME_RULE
    NameFormat nameFormat = NameFormat::RowCol;
    int reverse = 0;
    int firstNumber = 1;
    int digits = 0;
    // JPEG, OPTION
    int jpegQuality = 75;
    int allBmp = 0;
    int correctCut = 1;
    int notOverwrite = 0;
    // Application-wide values from the main settings file.
    int negativeLine = 0;
    double scaleChangeRate = 1.1;
    int threadCount = 1;
};

// Where the settings live: "<user> Tessarin.ini" and "<user> <n> Tessarin.ini"
// in the settings folder.
struct SettingsPaths {
    std::string mainSettingsPath;
    std::string slotSettingsPath;
    int currentSlot = 0;
};

// Settings folder and user name from the platform layer; reads INI / NO.
SettingsPaths ResolveSettingsPaths();
// The same for a given folder (with or without a trailing "/") and user name.
SettingsPaths ResolveSettingsPathsIn(const std::string& folder, const std::string& userName);

// Reads every field from paths.slotSettingsPath and the three application-wide
// values from paths.mainSettingsPath, with the defaults and corrections.
void LoadSplitSettings(SplitSettings& settings, const SettingsPaths& paths);
// LoadSplitSettings with `path` standing in for the slot file.
void LoadSplitSettingsFrom(SplitSettings& settings, const SettingsPaths& paths,
                           const std::string& path);
// Writes the record; a failed write is reported through `owner` (may be null)
// and stops. Returns whether the last write succeeded.
bool SaveSplitSettings(const SplitSettings& settings, const SettingsPaths& paths,
                       Notifier* owner);

}  // namespace tessarin
