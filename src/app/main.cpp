// Process entry: settings first, then the command mode, which needs no
// display, then the window.

#include <csignal>
#include <string>
#include <vector>

#include "app/command_mode.h"
#include "settings/split_settings.h"
#include "ui/window_start.h"

int main(int argc, char** argv) {
    using namespace tessarin;
    // A reader that goes away (tessarin /cmd ... | head -1) must not end the
    // run: the console write fails, is ignored, and the files are still split.
    std::signal(SIGPIPE, SIG_IGN);

    SettingsPaths paths = ResolveSettingsPaths();
    SplitSettings settings;
    LoadSplitSettings(settings, paths);

    std::vector<std::string> args(argv + 1, argv + argc);
    if (RunCommandMode(args, settings, paths) == 1) return 0;
    return RunWindow(argc, argv, settings, paths);
}
