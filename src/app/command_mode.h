#pragma once
// The console command mode: "tessarin /cmd [options and files]".

#include <string>
#include <vector>

#include "settings/split_settings.h"

namespace tessarin {

// What both programs (tessarin and tessarin-window) begin with: SIGPIPE
// ignored, so a reader that goes away (tessarin /cmd ... | head -1) does not
// end the run; the settings loaded; the arguments after the program path.
struct ProcessStart {
    SettingsPaths paths;
    SplitSettings settings;
    std::vector<std::string> args;
};
ProcessStart BeginProcess(int argc, char** argv);

// Whether the arguments (after the program path) ask for the command mode.
bool IsCommandModeRequest(const std::vector<std::string>& args);

// What RunCommandMode returns when the arguments do not ask for the command
// mode: the window is to start, and the banner has been written.
inline constexpr int kStartWindow = -1;

// `args` are the arguments after the program path. Runs the command mode and
// returns its exit status: 0 when every file was split or skipped, 1 when a
// file failed or an argument named a path that does not exist. kStartWindow
// without "/cmd".
int RunCommandMode(const std::vector<std::string>& args, SplitSettings& settings,
                   const SettingsPaths& paths);

// The banner written when the command mode is not selected.
std::string CommandBanner();

// The value grammar of the options: integers as ParseDecimalInt reads them,
// reals as settings files read them (ParseCReal).
// "/x" and "/y": "N", "R%", or "N個" (also typed "Nn").
void ApplySizeOption(const std::string& value, SizeUnit& unit, double values[3]);
// "/xo" and "/yo": "N" or "R%".
void ApplyOffsetOption(const std::string& value, SizeUnit& unit, double values[2]);

}  // namespace tessarin
