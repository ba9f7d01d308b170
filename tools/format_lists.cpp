// Fills a documentation template with the formats of the registry, so the
// desktop entry, the AppStream data, the manual page and the read-me list
// what the program reads without being edited for a new format. The build
// runs it on resources/*.in.
//
//   tessarin_format_lists TEMPLATE OUTPUT
//
// In TEMPLATE:
//   @FORMAT_NAMES@          BMP, JPEG, PNG, GIF
//   @FORMAT_NAMES_AND@      BMP, JPEG, PNG and GIF
//   @FORMAT_NAMES_JA@       BMP、JPEG、PNG、GIF
//   @FORMAT_EXTENSIONS_OR@  .bmp, .dib, ... or .gif
//   @MIME_TYPES@            every media type, each followed by ";"
//   @TILE_FORMATS@          what /format takes: same|bmp|jpeg|...
//   @FORMAT_MIME_TYPE@      the line holding it is repeated for each format,
//                           with the format's first (canonical) media type;
//                           a format without one is left out
// Any other @NAME@ of capitals and underscores is an error: a misspelt
// placeholder fails the build instead of reaching users.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "app/about_text.h"
#include "imaging/format_registry.h"

namespace {

using tessarin::ImageFormat;
using tessarin::ImageFormats;

constexpr const char* kPerFormatMimeType = "@FORMAT_MIME_TYPE@";

std::map<std::string, std::string> Replacements() {
    std::string mimeTypes;
    for (const ImageFormat* format : ImageFormats())
        for (const char* const* type = format->mimeTypes; type && *type; ++type)
            mimeTypes.append(*type).append(";");
    return {
        {"@FORMAT_NAMES@", tessarin::FormatNames(", ", ", ")},
        {"@FORMAT_NAMES_AND@", tessarin::FormatNames(", ", " and ")},
        {"@FORMAT_NAMES_JA@", tessarin::FormatNames("、", "、")},
        {"@FORMAT_EXTENSIONS_OR@", tessarin::FormatExtensions(", ", " or ")},
        {"@MIME_TYPES@", mimeTypes},
        {"@TILE_FORMATS@", tessarin::TileFormatWords("|")},
    };
}

bool IsPlaceholderCharacter(char c) { return (c >= 'A' && c <= 'Z') || c == '_'; }

// Replaces the placeholders of one line; false (with the message) for an
// unknown one.
bool FillLine(std::string& line, const std::map<std::string, std::string>& replacements,
              std::string& error) {
    std::string out;
    size_t from = 0;
    while (true) {
        const size_t at = line.find('@', from);
        if (at == std::string::npos) break;
        size_t end = at + 1;
        while (end < line.size() && IsPlaceholderCharacter(line[end])) ++end;
        if (end == at + 1 || end >= line.size() || line[end] != '@') {
            out.append(line, from, end - from);
            from = end;
            continue;
        }
        const std::string name = line.substr(at, end + 1 - at);
        const auto found = replacements.find(name);
        if (found == replacements.end()) {
            error = "unknown placeholder " + name;
            return false;
        }
        out.append(line, from, at - from).append(found->second);
        from = end + 1;
    }
    out.append(line, from, std::string::npos);
    line = out;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: tessarin_format_lists TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    const auto replacements = Replacements();
    std::ostringstream text;
    std::string line, error;
    for (int number = 1; std::getline(in, line); ++number) {
        const bool last = in.eof();
        const size_t perFormat = line.find(kPerFormatMimeType);
        if (perFormat == std::string::npos) {
            if (!FillLine(line, replacements, error)) {
                std::cerr << argv[1] << ":" << number << ": " << error << "\n";
                return 1;
            }
            text << line << (last ? "" : "\n");
            continue;
        }
        for (const ImageFormat* format : ImageFormats()) {
            if (!format->mimeTypes || !format->mimeTypes[0]) continue;
            std::string copy = line;
            copy.replace(perFormat, std::string(kPerFormatMimeType).size(), format->mimeTypes[0]);
            if (!FillLine(copy, replacements, error)) {
                std::cerr << argv[1] << ":" << number << ": " << error << "\n";
                return 1;
            }
            text << copy << "\n";
        }
    }
    if (in.bad()) {
        std::cerr << argv[1] << ": read error\n";
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text.str();
    out.close();
    if (!out) {
        std::cerr << argv[2] << ": cannot be written\n";
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
