// The window program, started by tessarin (which has written the banner)
// with the same arguments. Given "/cmd" it runs the command mode as tessarin
// does.

#include <csignal>
#include <string>
#include <vector>

#include "app/command_mode.h"
#include "settings/split_settings.h"
#include "ui/window_start.h"

int main(int argc, char** argv) {
    using namespace tessarin;
    std::signal(SIGPIPE, SIG_IGN);

    SettingsPaths paths = ResolveSettingsPaths();
    SplitSettings settings;
    LoadSplitSettings(settings, paths);

    std::vector<std::string> args(argv + 1, argv + argc);
    if (IsCommandModeRequest(args)) {
        RunCommandMode(args, settings, paths);
        return 0;
    }
    return RunWindow(argc, argv, settings, paths);
}
