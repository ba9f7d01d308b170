#pragma once
// The windowed program: from the application object to the end of its event
// loop. Called after the command-mode check, so the command mode never needs
// a display.

#include "settings/split_settings.h"

namespace tessarin {

// `argc` and `argv` as main() got them. Returns the process exit code: 0
// after the window has been closed, -1 when no window can be opened.
int RunWindow(int& argc, char** argv, SplitSettings& settings, SettingsPaths& paths);

}  // namespace tessarin
