#pragma once
// The program-wide choices kept in the main settings file beside the slot
// number: sections OPTION (start-up placement, icon-drop and opening
// behaviour, confirmations, cut-line dragging), VIEW (viewer and information
// panel) and WINDOW_STATE (the window as it was last closed).
//
// While the window exists the live value of every OPTION and VIEW flag is in
// its preferences model (ui/preferences_model.h), which the menu's check marks
// follow; this file only knows the flags by name, their keys, their defaults
// and how they are read and written. Readers that run without a window read
// the file directly.

#include <climits>
#include <span>
#include <string>

#include "platform/profile.h"

namespace tessarin {

// The OPTION and VIEW flags, in the order the menu refresh sets them: the
// OPTION flags, viewer mode, 1:1 start and smoothing, then cut lines, the
// panel and its lines in the order the panel draws them.
enum class Preference {
    IconDragAndDrop,
    IconDropErrorsOnly,
    AutoCut,
    NoBmp16Notice,
    LineDrag,
    ViewerMode,
    SameScale,
    Halftone,
    CutLine,
    Info,
    ImageInfo,
    SettingsFileInfo,
    SaveFolderInfo,
    AspectInfo,
    CutSizeInfo,
    OffsetInfo,
    CutCountInfo,
    SelectedCountInfo,
    BreakdownInfo,
    NameRuleInfo,
    JpegQualityInfo,
    ThreadInfo,
    ScaleInfo,
};
inline constexpr int kPreferenceCount = static_cast<int>(Preference::ScaleInfo) + 1;

struct PreferenceKey {
    Preference preference;
    const char* section;  // "OPTION" or "VIEW"
    const char* key;
    bool defaultOn;
};

// Every preference, in the order of the enum.
std::span<const PreferenceKey> PreferenceKeys();
const PreferenceKey& KeyOf(Preference preference);
// Any non-zero number counts as on; a missing key gives the default.
bool ReadPreference(const ProfileDocument& mainFile, Preference preference);
// Writes "1" or "0".
[[nodiscard]] bool WritePreference(const std::string& mainPath, Preference preference, bool on);

// OPTION / WINDOW_POS_ON_BOOT: 0 normal, 1 maximised, 2 restore the last
// window state. The value as stored (default 0), and as the menu shows it
// (anything outside 0 to 2 as 0).
enum WindowPosOnBoot : int { kWindowPosNormal = 0, kWindowPosMaximized = 1, kWindowPosRestore = 2 };
int ReadWindowPosOnBoot(const std::string& mainPath);
int WindowPosMenuValue(int stored);
[[nodiscard]] bool WriteWindowPosOnBoot(const std::string& mainPath, int value);

// "Let the window system choose" for any of the four numbers.
inline constexpr int kUseDefault = INT_MIN;

struct WindowState {
    bool maximized = false;
    int left = kUseDefault;
    int top = kUseDefault;
    int width = kUseDefault;   // a stored value of 0 or less reads as kUseDefault
    int height = kUseDefault;  // likewise
};

// WINDOW_STATE of the main file.
WindowState ReadWindowState(const std::string& mainPath);
// Writes IS_ZOOMED, LEFT, TOP, WIDTH and HEIGHT in one rewrite of the file.
[[nodiscard]] bool SaveWindowState(const std::string& mainPath, const WindowState& state);

}  // namespace tessarin
