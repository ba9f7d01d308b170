#pragma once
// The windowed program: from the application object to the end of its event
// loop. Called after the command-mode check, so the command mode never needs
// a display.

#include <QString>
#include <QTranslator>
#include <memory>

#include "settings/split_settings.h"

namespace tessarin {

// Installs Qt's own texts (the standard buttons of message boxes, the file
// dialogs and their overwrite question) in `language`, e.g. "ja", from Qt's
// translations (qtbase_<language>.qm). Null when they are not installed:
// the window works on with those texts in English. The texts stay while the
// result lives.
std::unique_ptr<QTranslator> InstallQtTranslation(const QString& language);

// `argc` and `argv` as main() got them. Returns the process exit code: 0
// after the window has been closed, -1 when no window can be opened.
int RunWindow(int& argc, char** argv, SplitSettings& settings, SettingsPaths& paths);

}  // namespace tessarin
