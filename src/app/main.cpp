// Process entry: settings first, then the command mode, which needs no
// display. The window is a program of its own (tessarin-window, beside this
// one in the build tree, in libexec/tessarin when installed), so a
// command-mode run never loads the window's libraries: they would add about
// 13 MiB to every split.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/about_text.h"
#include "app/command_mode.h"
#include "platform/console.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    using namespace tessarin;
    std::string information;
    if (argc > 1 && IsInformationRequest(argv[1], information)) {
        ConsoleWrite(information);
        return ConsoleOutputFailed() ? 1 : 0;
    }
    ProcessStart start = BeginProcess(argc, argv);
    const int status = RunCommandMode(start.args, start.settings, start.paths);
    if (status != kStartWindow) return status;

    // The same arguments go on to the window program, which replaces this one.
    std::fflush(stdout);
    const std::string window = WindowProgramPath();
    execv(window.c_str(), argv);
    std::fprintf(stderr, "tessarin: %s: %s\n", window.c_str(), std::strerror(errno));
    return 255;
}
