// Process entry: settings first, then the command mode, which needs no
// display, then the window.

#include <string>
#include <vector>

#include "app/command_mode.h"
#include "settings/split_settings.h"
#include "ui/window_start.h"

int main(int argc, char** argv) {
    using namespace tessarin;
    SettingsPaths paths = ResolveSettingsPaths();
    SplitSettings settings;
    LoadSplitSettings(settings, paths);

    std::vector<std::string> args(argv + 1, argv + argc);
    if (RunCommandMode(args, settings, paths) == 1) return 0;
    return RunWindow(argc, argv, settings, paths);
}
