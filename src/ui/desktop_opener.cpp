#include "ui/desktop_opener.h"

#include <QDesktopServices>
#include <QStandardPaths>
#include <QUrl>
#include <cstdio>

namespace tessarin {

bool OpenOnDesktop(const std::string& path) {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) return true;
    const bool noOpener = QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
    std::fprintf(stderr, "tessarin: cannot open %s: %s\n", path.c_str(),
                 noOpener ? "no program to open it (xdg-open)" : "the desktop could not open it");
    return false;
}

}  // namespace tessarin
