#pragma once
// What "tessarin --help" and "tessarin --version" print: GNU conventions,
// answered before anything else, with no display and no window.

#include <string>
#include <string_view>

namespace tessarin {

// The names of the formats the program reads, in the registry's order,
// joined by `separator` and the last two by `lastSeparator`:
// FormatNames(", ", " and ") is "BMP, JPEG, PNG and GIF".
std::string FormatNames(std::string_view separator, std::string_view lastSeparator);

// Every file name extension those formats are known by, joined the same way.
std::string FormatExtensions(std::string_view separator, std::string_view lastSeparator);

// What "/format" takes: "same", then the name in lower case of every format
// that writes other files' tiles, joined by `separator`.
std::string TileFormatWords(std::string_view separator);

// A short usage in the locale's language: the window use, "/cmd", where the
// full option list is, and the exit status.
std::string UsageText();

// The name, the version, the versions of the image libraries and the formats
// with their extensions.
std::string VersionText();

// Whether the first argument asks for one of them ("--help" or "-h",
// "--version" or "-V"); `text` is then what to print. A file of that name is
// reached as "./--help".
bool IsInformationRequest(const std::string& firstArgument, std::string& text);

}  // namespace tessarin
