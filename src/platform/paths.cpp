#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

// From the installed bindir to the folder of the installed window program.
#ifndef TESSARIN_WINDOW_FROM_BIN
#define TESSARIN_WINDOW_FROM_BIN "../libexec/tessarin"
#endif

namespace tessarin {

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// Expands "$HOME/x" and "${HOME}/x" as user-dirs.dirs writes them.
std::string ExpandHome(std::string value, const std::string& home) {
    for (const char* token : {"${HOME}", "$HOME"}) {
        std::string t(token);
        if (value.compare(0, t.size(), t) == 0) return home + value.substr(t.size());
    }
    return value;
}

}  // namespace

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string SettingsFolder() {
    std::string base = Env("XDG_CONFIG_HOME");
    if (base.empty() || base[0] != '/') base = HomeFolder() + "/.config";
    return base + "/tessarin";
}

std::string UserName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    std::string user = Env("USER");
    return user.empty() ? "user" : user;
}

std::string DesktopFolder() {
    const std::string home = HomeFolder();
    std::string desktop;
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') config = home + "/.config";
    std::ifstream dirs(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        const std::string key = "XDG_DESKTOP_DIR=";
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        desktop = ExpandHome(value, home);
    }
    if (desktop.empty()) desktop = home + "/Desktop";
    std::error_code ec;
    if (fs::is_directory(desktop, ec)) return desktop;
    return home;
}

std::string ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path().string();
}

std::string WindowProgramPath() {
    const fs::path folder = ProgramFolder();
    // Never a path relative to the current folder.
    if (folder.empty()) return {};
    const fs::path beside = folder / "tessarin-window";
    if (access(beside.c_str(), X_OK) == 0) return beside.string();
    return (folder / TESSARIN_WINDOW_FROM_BIN / "tessarin-window").lexically_normal().string();
}

}  // namespace tessarin
