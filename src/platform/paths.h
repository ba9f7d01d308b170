#pragma once
// Where this user's files live on a Linux desktop.

#include <string>

namespace tessarin {

// $XDG_CONFIG_HOME/tessarin, else ~/.config/tessarin (not created here).
std::string SettingsFolder();
// Login name of the effective user, else $USER, else "user".
std::string UserName();
// XDG_DESKTOP_DIR from user-dirs.dirs, else ~/Desktop; the home folder when
// that folder does not exist.
std::string DesktopFolder();
// $HOME, else the password entry's home, else "/".
std::string HomeFolder();
// The folder of the running program, without a trailing "/" (empty if unknown).
std::string ProgramFolder();
// The window program that tessarin hands a window run to: beside this
// program when it is there (the build tree), else where the installation
// puts it, a private folder that is not on PATH. Empty when this program's
// folder is unknown.
std::string WindowProgramPath();

}  // namespace tessarin
