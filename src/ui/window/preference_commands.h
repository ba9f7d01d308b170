#pragma once
// Which menu command shows which preference. The settings layer names its
// flags; only this table ties them to command numbers, so renumbering a menu
// item never changes the key it writes.

#include <optional>

#include "settings/app_preferences.h"
#include "ui/window/command_ids.h"

namespace tessarin {

struct PreferenceCommand {
    int command;
    Preference preference;
};

// In the order the menu refresh sets the check marks.
inline constexpr PreferenceCommand kPreferenceCommands[] = {
    {cmd::kIconDrop, Preference::IconDragAndDrop},
    {cmd::kIconDropErrorsOnly, Preference::IconDropErrorsOnly},
    {cmd::kAutoCut, Preference::AutoCut},
    {cmd::kNoBmp16Notice, Preference::NoBmp16Notice},
    {cmd::kLineDrag, Preference::LineDrag},
    {cmd::kViewerMode, Preference::ViewerMode},
    {cmd::kSameScale, Preference::SameScale},
    {cmd::kHalftone, Preference::Halftone},
    {cmd::kCutLine, Preference::CutLine},
    {cmd::kInfo, Preference::Info},
    {cmd::kImageInfo, Preference::ImageInfo},
    {cmd::kSettingsFileInfo, Preference::SettingsFileInfo},
    {cmd::kSaveFolderInfo, Preference::SaveFolderInfo},
    {cmd::kAspectInfo, Preference::AspectInfo},
    {cmd::kCutSizeInfo, Preference::CutSizeInfo},
    {cmd::kOffsetInfo, Preference::OffsetInfo},
    {cmd::kCutCountInfo, Preference::CutCountInfo},
    {cmd::kSelectedCountInfo, Preference::SelectedCountInfo},
    {cmd::kBreakdownInfo, Preference::BreakdownInfo},
    {cmd::kNameRuleInfo, Preference::NameRuleInfo},
    {cmd::kJpegQualityInfo, Preference::JpegQualityInfo},
    {cmd::kThreadInfo, Preference::ThreadInfo},
    {cmd::kScaleInfo, Preference::ScaleInfo},
};

// The preference a command toggles, if it toggles one.
constexpr std::optional<Preference> PreferenceOfCommand(int command) {
    for (const PreferenceCommand& entry : kPreferenceCommands)
        if (entry.command == command) return entry.preference;
    return std::nullopt;
}

// The command that shows a preference.
constexpr int CommandOfPreference(Preference preference) {
    for (const PreferenceCommand& entry : kPreferenceCommands)
        if (entry.preference == preference) return entry.command;
    return 0;
}

}  // namespace tessarin
