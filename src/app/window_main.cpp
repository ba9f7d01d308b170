// The window program, started by tessarin (which has written the banner)
// with the same arguments. Given "/cmd" it runs the command mode as tessarin
// does.

#include "app/command_mode.h"
#include "ui/window/window_start.h"

int main(int argc, char** argv) {
    using namespace tessarin;
    ProcessStart start = BeginProcess(argc, argv);
    if (IsCommandModeRequest(start.args))
        return RunCommandMode(start.args, start.settings, start.paths);
    return RunWindow(argc, argv, start.settings, start.paths);
}
