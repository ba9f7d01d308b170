#pragma once
// Showing a local file or folder with the desktop's own program (xdg-open
// or what the desktop puts in its place): the user's guide and the folder
// the tiles went to.

#include <string>

namespace tessarin {

// Hands `path` to the desktop. When that fails the window carries on as it
// is and one line on stderr says what could not be opened and why, e.g.
// "tessarin: cannot open /x/Readme.txt: no program to open it (xdg-open)".
// Returns whether the desktop took it.
bool OpenOnDesktop(const std::string& path);

}  // namespace tessarin
