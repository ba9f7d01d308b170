#pragma once
// Where the user's guide is: beside the program (the build folder, or a
// portable copy), else where the installation puts documentation.

#include <string>

namespace tessarin {

std::string ReadmePath();

}  // namespace tessarin
