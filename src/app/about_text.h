#pragma once
// What "tessarin --help" and "tessarin --version" print: GNU conventions,
// answered before anything else, with no display and no window.

#include <string>

namespace tessarin {

// A short usage in the locale's language: the window use, "/cmd", where the
// full option list is, and the exit status.
std::string UsageText();

// The name, the version and the versions of the image libraries.
std::string VersionText();

// Whether the first argument asks for one of them ("--help" or "-h",
// "--version" or "-V"); `text` is then what to print. A file of that name is
// reached as "./--help".
bool IsInformationRequest(const std::string& firstArgument, std::string& text);

}  // namespace tessarin
