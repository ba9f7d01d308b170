#pragma once
// The split-settings record, its slot files and the three application-wide
// values kept beside it in the main settings file.

#include <iosfwd>
#include <string>

#include "platform/format_option.h"

namespace tessarin {

class Notifier;

// An on/off value of a settings file, used as a bool. Any non-zero number in
// the file means on; the number itself is kept, so a save writes back the
// file's own text for a flag nobody changed.
class StoredFlag {
  public:
    constexpr StoredFlag(bool on = false) : number_(on ? 1 : 0) {}
    static constexpr StoredFlag FromNumber(int number) {
        StoredFlag flag;
        flag.number_ = number;
        return flag;
    }
    constexpr operator bool() const { return number_ != 0; }
    constexpr int Number() const { return number_; }

  private:
    int number_;
};

// The number, as the file holds it.
std::ostream& operator<<(std::ostream& out, StoredFlag flag);

enum class SizeUnit : int { Pixel = 0, Percent = 1, Count = 2 };

enum class NameFormat : int { RowCol = 0, ColRow = 1, AcrossCount = 2, DownCount = 3 };

inline int UnitIndex(SizeUnit unit) { return static_cast<int>(unit); }

struct SplitSettings {
    // SAVE_FOLDER
    std::string savePath;
    StoredFlag relative;
    int dirLevel = 0;
    StoredFlag makeDir;
    StoredFlag makeFolder;
    StoredFlag uniqueFolder;
    // CUT_SIZE
    StoredFlag adjustAspect;
    bool aspectBaseWidth = true;  // stored inverted as ASPECT_STANDARD
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
    StoredFlag reverse;
    int firstNumber = 1;
    int digits = 0;
    // OPTION
    // Every tile as BMP (ALL_BMP); otherwise in `tileFormat` (FORMAT): a
    // format by its name in lower case ("png"), or empty for the source's
    // own. The slot file's FORMAT is "same" or a name; "bmp" there counts
    // only while ALL_BMP is set, so that a program that knows only ALL_BMP
    // can still turn BMP off.
    bool allBmp = false;
    std::string tileFormat;
    bool notOverwrite = false;
    // The options the formats declare for their tiles, by the section and
    // key each is kept under (a JPEG tile's quality is JPEG / QUALITY).
    FormatOptionValues formatOptions;
    // Application-wide values from the main settings file.
    StoredFlag negativeLine;
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
// Writes the three application-wide values into the main file, then, unless
// notOverwrite is set, the record's keys into the slot file (the option flags
// and the slot name are left to their own commands). Each file is rewritten in
// one piece, so a failure never leaves part of its keys written. A failed
// write is reported through `owner` (may be null) with slotSettingsPath and
// stops. Returns whether every write succeeded.
[[nodiscard]] bool SaveSplitSettings(const SplitSettings& settings, const SettingsPaths& paths,
                                     Notifier* owner);

// "設定ファイルの書き込みに失敗しました\n\n<path>".
std::string SettingsWriteFailedText(const std::string& path);

// Slot files live beside the main file: "<user> Tessarin.ini" gives
// "<user> <slot> Tessarin.ini".
std::string SlotSettingsPath(const SettingsPaths& paths, int slot);
// Makes `slot` (0..9) current: writes INI / NO into the main file and rebuilds
// slotSettingsPath. The record is neither saved nor reloaded here; the caller
// loads the new slot. A failed write is reported with the main file's path and
// the switch stands. A slot outside 0..9 changes nothing and returns false.
[[nodiscard]] bool SelectSlot(SettingsPaths& paths, int slot, Notifier* owner);

// "設定０" to "設定９": "設定" and the full-width digit of the slot.
std::string DefaultSlotName(int slot);
// INI / NAME of the slot's file cut to 255 characters (UTF-16 units, never
// inside a character); the default name when missing or empty.
std::string SlotName(const SettingsPaths& paths, int slot);
// Writes INI / NAME into the current slot file whatever notOverwrite says. The
// name ends at its first line break and is cut to 255 characters. An empty
// name reads back as the default. Failure reported through `owner` if given.
[[nodiscard]] bool RenameSlot(const SettingsPaths& paths, const std::string& name, Notifier* owner);

// Menu toggles: each flips its field and writes its key into the slot file,
// unless notOverwrite is set. A failed write is reported with the slot file's
// path; the field keeps its new value. Return false only for a failed write.
[[nodiscard]] bool ToggleAllBmp(SplitSettings& settings, const SettingsPaths& paths,
                                Notifier* owner);
// Sets the tiles' format from its name ("same", "bmp", "png", ...; any
// ASCII case) and writes ALL_BMP and FORMAT into the slot file, unless
// notOverwrite is set; a failed write is reported like a toggle's.
[[nodiscard]] bool SetTileFormat(SplitSettings& settings, const SettingsPaths& paths,
                                 std::string_view name, Notifier* owner);
// The tiles' format as the slot file's FORMAT and "/format" name it: "same",
// "bmp" or the format's name.
std::string TileFormatName(const SplitSettings& settings);
// Aspect matching is not applied here: the caller runs MatchAspect afterwards,
// which derives and saves when matching is on and an image is shown.
[[nodiscard]] bool ToggleAdjustAspect(SplitSettings& settings, const SettingsPaths& paths,
                                      Notifier* owner);
// OPTION / NOT_OVERWRITE is written always, also when it is switched on.
[[nodiscard]] bool ToggleNotOverwrite(SplitSettings& settings, const SettingsPaths& paths,
                                      Notifier* owner);

// Sets a declared format option (see FormatOption) and writes it into the
// slot file, unless notOverwrite is set; a failed write is reported like a
// toggle's. The window's menu commands for the options that are not saved
// with the settings (a check, a choice) set them this way.
[[nodiscard]] bool SetFormatOption(SplitSettings& settings, const SettingsPaths& paths,
                                   const FormatOption& option, int value, Notifier* owner);

// The name as the save-as command stores it: ".ini" appended when the file
// name has no extension (a dot followed by no blank in the last component).
std::string WithIniExtension(const std::string& name);
// Save-as: SaveSplitSettings, then the slot file as it is on disk is copied
// over WithIniExtension(chosenName). Returns whether the copy succeeded; a
// failed copy is not reported.
[[nodiscard]] bool SaveSplitSettingsAs(const SplitSettings& settings, const SettingsPaths& paths,
                                       const std::string& chosenName, Notifier* owner);

}  // namespace tessarin
