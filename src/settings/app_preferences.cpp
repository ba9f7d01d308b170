#include "settings/app_preferences.h"

#include <array>
#include <vector>

namespace tessarin {

namespace {

constexpr const char* kOption = "OPTION";
constexpr const char* kView = "VIEW";
constexpr const char* kWindowState = "WINDOW_STATE";
constexpr const char* kWindowPosKey = "WINDOW_POS_ON_BOOT";

using enum Preference;

constexpr std::array<PreferenceKey, kPreferenceCount> kKeys = {{
    {IconDragAndDrop, kOption, "ICON_DAD", false},
    {IconDropErrorsOnly, kOption, "ICON_DAD_MSG", false},
    {AutoCut, kOption, "AUTO_CUT", false},
    {NoBmp16Notice, kOption, "NOT_SHOW_MSG", false},
    {LineDrag, kOption, "LINE_DAD", true},
    {ViewerMode, kView, "VIEWER_MODE", false},
    {SameScale, kView, "SAME_SCALE", false},
    {Halftone, kView, "HALFTONE", false},
    {CutLine, kView, "CUT_LINE", true},
    {Info, kView, "INFO", true},
    {ImageInfo, kView, "IMG_INFO", true},
    {SettingsFileInfo, kView, "INI_INFO", true},
    {SaveFolderInfo, kView, "SAVE_DIR_INFO", true},
    {AspectInfo, kView, "ADJUST_ASP_INFO", true},
    {CutSizeInfo, kView, "CUT_SIZE_INFO", true},
    {OffsetInfo, kView, "CUT_OFF_INFO", true},
    {CutCountInfo, kView, "CUT_NUM_INFO", true},
    {SelectedCountInfo, kView, "SELECT_NUM_INFO", true},
    {BreakdownInfo, kView, "BREAKDOWN_INFO", true},
    {NameRuleInfo, kView, "FNAME_RULE_INFO", true},
    {JpegQualityInfo, kView, "JPEG_Q_INFO", true},
    {ThreadInfo, kView, "THREAD_INFO", false},
    {ScaleInfo, kView, "SCALE_INFO", true},
}};

// KeyOf indexes the table by the enum.
constexpr bool InEnumOrder() {
    for (size_t i = 0; i < kKeys.size(); ++i)
        if (static_cast<size_t>(kKeys[i].preference) != i) return false;
    return true;
}
static_assert(InEnumOrder());

int PositiveOrDefault(int value) { return value > 0 ? value : kUseDefault; }

}  // namespace

std::span<const PreferenceKey> PreferenceKeys() { return kKeys; }

const PreferenceKey& KeyOf(Preference preference) {
    return kKeys[static_cast<std::size_t>(preference)];
}

bool ReadPreference(const ProfileDocument& mainFile, Preference preference) {
    const PreferenceKey& flag = KeyOf(preference);
    return mainFile.GetInt(flag.section, flag.key, flag.defaultOn ? 1 : 0) != 0;
}

bool WritePreference(const std::string& mainPath, Preference preference, bool on) {
    const PreferenceKey& flag = KeyOf(preference);
    return WriteProfileString(mainPath, flag.section, flag.key, on ? "1" : "0");
}

int ReadWindowPosOnBoot(const std::string& mainPath) {
    return GetProfileInt(mainPath, kOption, kWindowPosKey, kWindowPosNormal);
}

int WindowPosMenuValue(int stored) {
    return stored >= kWindowPosNormal && stored <= kWindowPosRestore ? stored : kWindowPosNormal;
}

bool WriteWindowPosOnBoot(const std::string& mainPath, int value) {
    return WriteProfileString(mainPath, kOption, kWindowPosKey, std::to_string(value));
}

WindowState ReadWindowState(const std::string& mainPath) {
    ProfileDocument doc;
    ReadProfileFile(mainPath, doc);
    WindowState state;
    state.maximized = doc.GetInt(kWindowState, "IS_ZOOMED", 0) != 0;
    state.left = doc.GetInt(kWindowState, "LEFT", kUseDefault);
    state.top = doc.GetInt(kWindowState, "TOP", kUseDefault);
    state.width = PositiveOrDefault(doc.GetInt(kWindowState, "WIDTH", kUseDefault));
    state.height = PositiveOrDefault(doc.GetInt(kWindowState, "HEIGHT", kUseDefault));
    return state;
}

bool SaveWindowState(const std::string& mainPath, const WindowState& state) {
    const std::vector<ProfileEntry> entries = {
        {kWindowState, "IS_ZOOMED", state.maximized ? "1" : "0"},
        {kWindowState, "LEFT", std::to_string(state.left)},
        {kWindowState, "TOP", std::to_string(state.top)},
        {kWindowState, "WIDTH", std::to_string(state.width)},
        {kWindowState, "HEIGHT", std::to_string(state.height)},
    };
    return WriteProfileStrings(mainPath, entries);
}

}  // namespace tessarin
