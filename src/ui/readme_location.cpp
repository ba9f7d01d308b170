#include "ui/readme_location.h"

#include <filesystem>

#include "platform/paths.h"

// From the installed window program's folder (libexec/tessarin) to the doc folder.
#ifndef TESSARIN_DOC_FROM_WINDOW
#define TESSARIN_DOC_FROM_WINDOW "../../share/doc/tessarin"
#endif

namespace tessarin {

std::string ReadmePath() {
    namespace fs = std::filesystem;
    const fs::path program = ProgramFolder();
    const fs::path beside = program / "Readme.txt";
    const fs::path installed =
        (program / TESSARIN_DOC_FROM_WINDOW / "Readme.txt").lexically_normal();
    std::error_code ec;
    if (!fs::exists(beside, ec) && fs::exists(installed, ec)) return installed.string();
    return beside.string();
}

}  // namespace tessarin
