#include "settings/app_preferences.h"

#include <array>
#include <vector>

namespace tessarin {

namespace {

constexpr const char* kOption = "OPTION";
constexpr const char* kView = "VIEW";
constexpr const char* kWindowState = "WINDOW_STATE";
constexpr const char* kWindowPosKey = "WINDOW_POS_ON_BOOT";

// Menu refresh order: the OPTION flags, viewer mode, 1:1 start and smoothing,
// then cut lines, the panel and its lines in the order the panel draws them.
constexpr std::array<PreferenceFlag, 23> kFlags = {{
    {4035, kOption, "ICON_DAD", 0},     {4058, kOption, "ICON_DAD_MSG", 0},
    {4034, kOption, "AUTO_CUT", 0},     {4036, kOption, "NOT_SHOW_MSG", 0},
    {4037, kOption, "LINE_DAD", 1},     {4014, kView, "VIEWER_MODE", 0},
    {4015, kView, "SAME_SCALE", 0},     {4038, kView, "HALFTONE", 0},
    {4016, kView, "CUT_LINE", 1},       {4017, kView, "INFO", 1},
    {4018, kView, "IMG_INFO", 1},       {4019, kView, "INI_INFO", 1},
    {4020, kView, "SAVE_DIR_INFO", 1},  {4021, kView, "ADJUST_ASP_INFO", 1},
    {4022, kView, "CUT_SIZE_INFO", 1},  {4023, kView, "CUT_OFF_INFO", 1},
    {4028, kView, "CUT_NUM_INFO", 1},   {4029, kView, "SELECT_NUM_INFO", 1},
    {4030, kView, "BREAKDOWN_INFO", 1}, {4024, kView, "FNAME_RULE_INFO", 1},
    {4026, kView, "JPEG_Q_INFO", 1},    {4027, kView, "THREAD_INFO", 0},
    {4025, kView, "SCALE_INFO", 1},
}};

int PositiveOrDefault(int value) { return value > 0 ? value : kUseDefault; }

}  // namespace

std::span<const PreferenceFlag> PreferenceFlags() { return kFlags; }

const PreferenceFlag* FindPreferenceFlag(int command) {
    for (const PreferenceFlag& flag : kFlags)
        if (flag.command == command) return &flag;
    return nullptr;
}

bool ReadPreferenceFlag(const ProfileDocument& mainFile, const PreferenceFlag& flag) {
    return mainFile.GetInt(flag.section, flag.key, flag.defaultValue) != 0;
}

bool WritePreferenceFlag(const std::string& mainPath, const PreferenceFlag& flag, bool on) {
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
