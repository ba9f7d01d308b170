#pragma once
// Menu and accelerator commands. The numbers are the command ids every action
// carries as its data; tests name commands by them. No settings key depends
// on them: preferences are tied to their commands in preference_commands.h.

namespace tessarin::cmd {

inline constexpr int kReadme = 4000;
inline constexpr int kAbout = 4001;
inline constexpr int kOpenFile = 4002;
inline constexpr int kNextFile = 4003;
inline constexpr int kPreviousFile = 4004;
inline constexpr int kExit = 4005;
inline constexpr int kSplit = 4006;
inline constexpr int kSplitSize = 4007;
inline constexpr int kNegativeLine = 4008;
inline constexpr int kNamingRule = 4009;
inline constexpr int kSaveFolder = 4010;
inline constexpr int kCorrectCut = 4011;
inline constexpr int kAllBmp = 4012;
inline constexpr int kAdjustAspect = 4013;
inline constexpr int kViewerMode = 4014;
inline constexpr int kSameScale = 4015;
inline constexpr int kCutLine = 4016;
inline constexpr int kInfo = 4017;
// The panel lines of the "情報表示項目" submenu, in the order of PanelChoices.
inline constexpr int kImageInfo = 4018;
inline constexpr int kSettingsFileInfo = 4019;
inline constexpr int kSaveFolderInfo = 4020;
inline constexpr int kAspectInfo = 4021;
inline constexpr int kCutSizeInfo = 4022;
inline constexpr int kOffsetInfo = 4023;
inline constexpr int kNameRuleInfo = 4024;
inline constexpr int kScaleInfo = 4025;
inline constexpr int kJpegQualityInfo = 4026;
inline constexpr int kThreadInfo = 4027;
inline constexpr int kCutCountInfo = 4028;
inline constexpr int kSelectedCountInfo = 4029;
inline constexpr int kBreakdownInfo = 4030;
inline constexpr int kFirstPanelLine = kImageInfo;
inline constexpr int kLastPanelLine = kBreakdownInfo;
inline constexpr int kPosNormal = 4031;
inline constexpr int kPosMaximized = 4032;
inline constexpr int kPosRestore = 4033;
inline constexpr int kAutoCut = 4034;
inline constexpr int kIconDrop = 4035;
inline constexpr int kNoBmp16Notice = 4036;
inline constexpr int kLineDrag = 4037;
inline constexpr int kHalftone = 4038;
inline constexpr int kZoomRate = 4039;
inline constexpr int kThreadCount = 4040;
// Slot n is kFirstSlot + n.
inline constexpr int kFirstSlot = 4041;
inline constexpr int kLastSlot = 4050;
inline constexpr int kRenameSlot = 4051;
inline constexpr int kAspectWidth = 4052;
inline constexpr int kAspectHeight = 4053;
inline constexpr int kLoadSettings = 4054;
inline constexpr int kSaveSettingsAs = 4055;
inline constexpr int kSelectionMode = 4056;
inline constexpr int kNotOverwrite = 4057;
inline constexpr int kIconDropErrorsOnly = 4058;
// Lossless JPEG tiles: the sizes and offsets moved onto the block grid, and
// the source markers each tile keeps (a radio group in that order).
inline constexpr int kSnapToGrid = 4059;
inline constexpr int kCopyAll = 4060;
inline constexpr int kCopyComments = 4061;
inline constexpr int kCopyNone = 4062;
inline constexpr int kCopyIcc = 4063;

inline constexpr int kFirst = 4000;
inline constexpr int kLast = 4063;

// The menu items of the options the formats declare with a dialog of their
// own (FormatOptionDialog::menuText): this id plus the option's place among
// DeclaredFormatOptions().
inline constexpr int kFirstFormatOption = 4100;

// The tiles' format, a radio group: this id for each source's own format,
// plus a format's kind number (ImageFileKind) for that format.
inline constexpr int kFirstTileFormat = 4200;
inline constexpr int kLastTileFormat = 4299;

// Commands that would change the image or the split settings: greyed and
// ignored while a split (or an open request) runs.
constexpr bool IsGatedWhileSplitting(int id) {
    switch (id) {
        case kOpenFile:
        case kNextFile:
        case kPreviousFile:
        case kSplitSize:
        case kNamingRule:
        case kSaveFolder:
        case kCorrectCut:
        case kAllBmp:
        case kAdjustAspect:
        case kThreadCount:
        case kAspectWidth:
        case kAspectHeight:
        case kLoadSettings:
        case kSelectionMode:
        case kSnapToGrid:
        case kCopyAll:
        case kCopyComments:
        case kCopyNone:
        case kCopyIcc:
            return true;
        default:
            return (id >= kFirstSlot && id <= kLastSlot) || id >= kFirstFormatOption;
    }
}

}  // namespace tessarin::cmd
