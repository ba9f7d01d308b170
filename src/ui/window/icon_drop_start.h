#pragma once
// Files dropped on the program's icon arrive as its arguments. With
// OPTION / ICON_DAD set they are split at once, before any window exists,
// and the program ends; otherwise the window opens with the first of them.

#include <string>
#include <vector>

#include "settings/split_settings.h"

namespace tessarin {

class MessagePresenter;

// Splits `files` (folders stand for the files directly inside them) with
// `settings` when ICON_DAD is set and the checks pass, then reports with
// owner-less dialogs: the result list for several files, the result dialog
// for one, nothing at all when ICON_DAD_MSG is set and nothing failed.
// Returns true when it split (the program then ends), false when the window
// is to open.
bool RunIconDropStart(const std::vector<std::string>& files, SplitSettings& settings,
                      const SettingsPaths& paths, MessagePresenter& presenter);

}  // namespace tessarin
