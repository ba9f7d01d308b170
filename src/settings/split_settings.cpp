#include "settings/split_settings.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "platform/notifier.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace tessarin {

namespace {

constexpr std::string_view kFileSuffix = " Tessarin.ini";
constexpr int kSlotCount = 10;
constexpr std::size_t kSlotNameUnits = 255;
// The profile functions handed reals over in a buffer of this many characters.
constexpr std::size_t kRealTextLimit = 1023;

int SlotOrZero(int slot) { return (slot < 0 || slot >= kSlotCount) ? 0 : slot; }

int InRangeOrZero(int value, int max) { return (value < 0 || value > max) ? 0 : value; }

std::string RealText(const ProfileDocument& doc, const char* section, const std::string& key,
                     const char* def) {
    std::string text = doc.GetString(section, key, def);
    if (text.size() > kRealTextLimit) text.resize(kRealTextLimit);
    return text;
}

double ReadPercent(const ProfileDocument& doc, const std::string& key) {
    return ClampPercent(ParseCReal(RealText(doc, "CUT_SIZE", key, "0")));
}

double ReadPixels(const ProfileDocument& doc, const std::string& key) {
    return std::max(0, doc.GetInt("CUT_SIZE", key, 0));
}

// WIDTH / HEIGHT: pixels, percent, count.
void ReadSize(const ProfileDocument& doc, const std::string& key, double (&values)[3]) {
    values[UnitIndex(SizeUnit::Pixel)] = ReadPixels(doc, key);
    values[UnitIndex(SizeUnit::Percent)] = ReadPercent(doc, key + "_PER");
    values[UnitIndex(SizeUnit::Count)] = std::max(1, doc.GetInt("CUT_SIZE", key + "_NUM", 1));
}

// OFFSET_X / OFFSET_Y: pixels, percent.
void ReadOffset(const ProfileDocument& doc, const std::string& key, double (&values)[2]) {
    values[UnitIndex(SizeUnit::Pixel)] = ReadPixels(doc, key);
    values[UnitIndex(SizeUnit::Percent)] = ReadPercent(doc, key + "_PER");
}

SizeUnit ReadUnit(const ProfileDocument& doc, const char* key, int max) {
    return static_cast<SizeUnit>(InRangeOrZero(doc.GetInt("CUT_SIZE", key, 0), max));
}

void ReportWriteFailure(Notifier* owner, const std::string& path) {
    if (owner) owner->ShowError(SettingsWriteFailedText(path));
}

StoredFlag ReadFlag(const ProfileDocument& doc, const char* section, const char* key, int def) {
    return StoredFlag::FromNumber(doc.GetInt(section, key, def));
}

bool WriteSlotFlag(const SettingsPaths& paths, const char* section, const char* key, bool on,
                   Notifier* owner) {
    if (WriteProfileString(paths.slotSettingsPath, section, key, on ? "1" : "0")) return true;
    ReportWriteFailure(owner, paths.slotSettingsPath);
    return false;
}

// `on` is the field's new value.
bool WriteToggled(bool on, const SplitSettings& settings, const SettingsPaths& paths,
                  const char* section, const char* key, Notifier* owner) {
    if (settings.notOverwrite) return true;
    return WriteSlotFlag(paths, section, key, on, owner);
}

}  // namespace

std::ostream& operator<<(std::ostream& out, StoredFlag flag) { return out << flag.Number(); }

std::string SettingsWriteFailedText(const std::string& path) {
    return "設定ファイルの書き込みに失敗しました\n\n" + path;
}

std::string SlotSettingsPath(const SettingsPaths& paths, int slot) {
    std::string_view main = paths.mainSettingsPath;
    if (main.size() >= kFileSuffix.size() &&
        main.substr(main.size() - kFileSuffix.size()) == kFileSuffix)
        main.remove_suffix(kFileSuffix.size());
    return std::string(main) + " " + std::to_string(slot) + std::string(kFileSuffix);
}

SettingsPaths ResolveSettingsPathsIn(const std::string& folder, const std::string& userName) {
    SettingsPaths paths;
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    paths.mainSettingsPath = prefix + userName + std::string(kFileSuffix);
    paths.currentSlot = SlotOrZero(GetProfileInt(paths.mainSettingsPath, "INI", "NO", 0));
    paths.slotSettingsPath = SlotSettingsPath(paths, paths.currentSlot);
    return paths;
}

SettingsPaths ResolveSettingsPaths() {
    return ResolveSettingsPathsIn(SettingsFolder(), UserName());
}

void LoadSplitSettings(SplitSettings& s, const SettingsPaths& paths) {
    // A missing or unreadable file reads as one with every key missing.
    ProfileDocument slot;
    ProfileDocument main;
    ReadProfileFile(paths.slotSettingsPath, slot);
    ReadProfileFile(paths.mainSettingsPath, main);

    s.savePath = slot.GetString("SAVE_FOLDER", "PATH", "");
    // The root folder keeps its slash: without it the path would mean "none".
    if (s.savePath.size() > 1 && s.savePath.back() == '/') s.savePath.pop_back();
    s.relative = ReadFlag(slot, "SAVE_FOLDER", "RELATIVE", 0);
    s.dirLevel = std::max(0, slot.GetInt("SAVE_FOLDER", "DIR_LEVEL", 0));
    s.makeDir = ReadFlag(slot, "SAVE_FOLDER", "MAKE_DIR", 0);
    s.makeFolder = ReadFlag(slot, "SAVE_FOLDER", "MAKE_FOLDER", 0);
    s.uniqueFolder = ReadFlag(slot, "SAVE_FOLDER", "UNIQUE_FOLDER", 0);

    s.adjustAspect = ReadFlag(slot, "CUT_SIZE", "ADJUST_ASPECT", 0);
    // Stored inverted: 0 (and a missing key) means the width is the base.
    s.aspectBaseWidth = slot.GetInt("CUT_SIZE", "ASPECT_STANDARD", 0) == 0;
    s.widthUnit = ReadUnit(slot, "WIDTH_UNIT", 2);
    ReadSize(slot, "WIDTH", s.widthValue);
    s.heightUnit = ReadUnit(slot, "HEIGHT_UNIT", 2);
    ReadSize(slot, "HEIGHT", s.heightValue);
    s.offsetXUnit = ReadUnit(slot, "OFFSET_X_UNIT", 1);
    ReadOffset(slot, "OFFSET_X", s.offsetXValue);
    s.offsetYUnit = ReadUnit(slot, "OFFSET_Y_UNIT", 1);
    ReadOffset(slot, "OFFSET_Y", s.offsetYValue);

    s.nameFormat =
        static_cast<NameFormat>(InRangeOrZero(slot.GetInt("FNAME_RULE", "FORMAT", 0), 3));
    s.reverse = ReadFlag(slot, "FNAME_RULE", "REVERSE", 0);
    s.firstNumber = ParseDecimalInt(slot.GetString("FNAME_RULE", "FIRST_NO", "1"));
    s.digits = std::max(0, slot.GetInt("FNAME_RULE", "KETA", 0));

    s.allBmp = slot.GetInt("OPTION", "ALL_BMP", 0) != 0;
    s.tileFormat = AsciiLower(slot.GetString("OPTION", "FORMAT", "same"));
    if (s.allBmp || s.tileFormat == "same" || s.tileFormat == "bmp") s.tileFormat.clear();
    for (const FormatOption& option : DeclaredFormatOptions())
        s.formatOptions.Set(option.section, option.key,
                            slot.GetInt(option.section, option.key, option.fallback));
    s.notOverwrite = slot.GetInt("OPTION", "NOT_OVERWRITE", 0) != 0;

    s.negativeLine = ReadFlag(main, "VIEW", "NEGATIVE_LINE", 0);
    s.scaleChangeRate = ParseCReal(RealText(main, "OPTION", "SCALE_CHANGE_RATE", "1.1"));
    // An infinite or NaN zoom step is as unusable as one of 0 or below.
    if (!(s.scaleChangeRate > 0) || !std::isfinite(s.scaleChangeRate)) s.scaleChangeRate = 0.9;
    s.threadCount = main.GetInt("OPTION", "NUM_THREAD", 1);
    if (s.threadCount <= 0) s.threadCount = 1;
}

void LoadSplitSettingsFrom(SplitSettings& settings, const SettingsPaths& paths,
                           const std::string& path) {
    SettingsPaths named = paths;
    named.slotSettingsPath = path;
    LoadSplitSettings(settings, named);
}

bool SaveSplitSettings(const SplitSettings& s, const SettingsPaths& paths, Notifier* owner) {
    const std::vector<ProfileEntry> mainEntries = {
        {"VIEW", "NEGATIVE_LINE", std::to_string(s.negativeLine.Number())},
        {"OPTION", "SCALE_CHANGE_RATE", FormatFixed6(s.scaleChangeRate)},
        {"OPTION", "NUM_THREAD", std::to_string(s.threadCount)},
    };
    // The message names the slot file even here: to the user the slot file is
    // "the settings file".
    if (!WriteProfileStrings(paths.mainSettingsPath, mainEntries)) {
        ReportWriteFailure(owner, paths.slotSettingsPath);
        return false;
    }
    if (s.notOverwrite) return true;

    auto integer = [](int v) { return std::to_string(v); };
    auto flag = [](StoredFlag f) { return std::to_string(f.Number()); };
    auto unit = [](SizeUnit u) { return std::to_string(UnitIndex(u)); };
    const int px = UnitIndex(SizeUnit::Pixel);
    const int pc = UnitIndex(SizeUnit::Percent);
    const int nm = UnitIndex(SizeUnit::Count);
    std::vector<ProfileEntry> slotEntries = {
        {"SAVE_FOLDER", "PATH", s.savePath},
        {"SAVE_FOLDER", "RELATIVE", flag(s.relative)},
        {"SAVE_FOLDER", "DIR_LEVEL", integer(s.dirLevel)},
        {"SAVE_FOLDER", "MAKE_DIR", flag(s.makeDir)},
        {"SAVE_FOLDER", "MAKE_FOLDER", flag(s.makeFolder)},
        {"SAVE_FOLDER", "UNIQUE_FOLDER", flag(s.uniqueFolder)},
        {"CUT_SIZE", "ADJUST_ASPECT", flag(s.adjustAspect)},
        {"CUT_SIZE", "ASPECT_STANDARD", integer(s.aspectBaseWidth ? 0 : 1)},
        {"CUT_SIZE", "WIDTH", FormatTruncated(s.widthValue[px])},
        {"CUT_SIZE", "WIDTH_PER", FormatFixed6(s.widthValue[pc])},
        {"CUT_SIZE", "WIDTH_NUM", FormatTruncated(s.widthValue[nm])},
        {"CUT_SIZE", "WIDTH_UNIT", unit(s.widthUnit)},
        {"CUT_SIZE", "HEIGHT", FormatTruncated(s.heightValue[px])},
        {"CUT_SIZE", "HEIGHT_PER", FormatFixed6(s.heightValue[pc])},
        {"CUT_SIZE", "HEIGHT_NUM", FormatTruncated(s.heightValue[nm])},
        {"CUT_SIZE", "HEIGHT_UNIT", unit(s.heightUnit)},
        {"CUT_SIZE", "OFFSET_X", FormatTruncated(s.offsetXValue[px])},
        {"CUT_SIZE", "OFFSET_X_PER", FormatFixed6(s.offsetXValue[pc])},
        {"CUT_SIZE", "OFFSET_X_UNIT", unit(s.offsetXUnit)},
        {"CUT_SIZE", "OFFSET_Y", FormatTruncated(s.offsetYValue[px])},
        {"CUT_SIZE", "OFFSET_Y_PER", FormatFixed6(s.offsetYValue[pc])},
        {"CUT_SIZE", "OFFSET_Y_UNIT", unit(s.offsetYUnit)},
        {"FNAME_RULE", "FORMAT", integer(static_cast<int>(s.nameFormat))},
        {"FNAME_RULE", "REVERSE", flag(s.reverse)},
        {"FNAME_RULE", "FIRST_NO", integer(s.firstNumber)},
        {"FNAME_RULE", "KETA", integer(s.digits)},
    };
    for (const FormatOption& option : DeclaredFormatOptions())
        if (option.savedWithSettings)
            slotEntries.push_back({option.section, option.key,
                                   integer(s.formatOptions.Get(option.section, option.key))});
    if (!WriteProfileStrings(paths.slotSettingsPath, slotEntries)) {
        ReportWriteFailure(owner, paths.slotSettingsPath);
        return false;
    }
    return true;
}

bool SelectSlot(SettingsPaths& paths, int slot, Notifier* owner) {
    if (slot < 0 || slot >= kSlotCount) return false;
    paths.currentSlot = slot;
    paths.slotSettingsPath = SlotSettingsPath(paths, slot);
    if (WriteProfileString(paths.mainSettingsPath, "INI", "NO", std::to_string(slot))) return true;
    ReportWriteFailure(owner, paths.mainSettingsPath);
    return false;
}

std::string DefaultSlotName(int slot) {
    // U+FF10 + n: FULLWIDTH DIGIT n, EF BC 90+n in UTF-8.
    return std::string("設定") + "\xEF\xBC" + static_cast<char>(0x90 + SlotOrZero(slot));
}

std::string SlotName(const SettingsPaths& paths, int slot) {
    std::string name = LimitUtf16Units(
        GetProfileString(SlotSettingsPath(paths, slot), "INI", "NAME", ""), kSlotNameUnits);
    return name.empty() ? DefaultSlotName(slot) : name;
}

bool RenameSlot(const SettingsPaths& paths, const std::string& name, Notifier* owner) {
    std::string line = LimitUtf16Units(name.substr(0, name.find_first_of("\r\n")), kSlotNameUnits);
    if (WriteProfileString(paths.slotSettingsPath, "INI", "NAME", line)) return true;
    ReportWriteFailure(owner, paths.slotSettingsPath);
    return false;
}

bool ToggleAllBmp(SplitSettings& settings, const SettingsPaths& paths, Notifier* owner) {
    return SetTileFormat(settings, paths, settings.allBmp ? "same" : "bmp", owner);
}

std::string TileFormatName(const SplitSettings& settings) {
    if (settings.allBmp) return "bmp";
    return settings.tileFormat.empty() ? "same" : settings.tileFormat;
}

bool SetTileFormat(SplitSettings& settings, const SettingsPaths& paths, std::string_view name,
                   Notifier* owner) {
    const std::string word = AsciiLower(name);
    settings.allBmp = word == "bmp";
    settings.tileFormat = settings.allBmp || word == "same" ? std::string() : word;
    if (settings.notOverwrite) return true;
    if (WriteProfileStrings(paths.slotSettingsPath,
                            {{"OPTION", "ALL_BMP", settings.allBmp ? "1" : "0"},
                             {"OPTION", "FORMAT", TileFormatName(settings)}}))
        return true;
    ReportWriteFailure(owner, paths.slotSettingsPath);
    return false;
}

bool ToggleAdjustAspect(SplitSettings& settings, const SettingsPaths& paths, Notifier* owner) {
    settings.adjustAspect = !settings.adjustAspect;
    return WriteToggled(settings.adjustAspect, settings, paths, "CUT_SIZE", "ADJUST_ASPECT", owner);
}

bool ToggleNotOverwrite(SplitSettings& settings, const SettingsPaths& paths, Notifier* owner) {
    settings.notOverwrite = !settings.notOverwrite;
    return WriteSlotFlag(paths, "OPTION", "NOT_OVERWRITE", settings.notOverwrite, owner);
}

bool SetFormatOption(SplitSettings& settings, const SettingsPaths& paths,
                     const FormatOption& option, int value, Notifier* owner) {
    settings.formatOptions.Set(option.section, option.key, value);
    if (settings.notOverwrite) return true;
    if (WriteProfileString(paths.slotSettingsPath, option.section, option.key,
                           std::to_string(settings.formatOptions.Get(option.section, option.key))))
        return true;
    ReportWriteFailure(owner, paths.slotSettingsPath);
    return false;
}

std::string WithIniExtension(const std::string& name) {
    // A dot starts an extension only when no blank or separator follows it.
    bool hasExtension = false;
    for (char c : name) {
        if (c == '/' || c == ' ')
            hasExtension = false;
        else if (c == '.')
            hasExtension = true;
    }
    return hasExtension ? name : name + ".ini";
}

bool SaveSplitSettingsAs(const SplitSettings& settings, const SettingsPaths& paths,
                         const std::string& chosenName, Notifier* owner) {
    const std::string target = WithIniExtension(chosenName);
    // A failed save has been reported; the copy takes the slot file as it is.
    (void)SaveSplitSettings(settings, paths, owner);
    std::string bytes;
    if (ReadSmallFile(paths.slotSettingsPath, bytes) != FileReadStatus::Ok) return false;
    return WriteFileAtomically(target, bytes);
}

}  // namespace tessarin
