#pragma once
// Reading back what a manifest written by a split says: which source its
// tiles were cut from and which files they are. A later split checks that it
// does not cut another source's tiles over them, and folder listings leave
// the tiles out of the sources.

#include <string>
#include <vector>

namespace tessarin {

struct ManifestSummary {
    std::string sourcePath;          // "source" "path", as the split was given it
    std::vector<std::string> files;  // every tile's "file", a name in its folder
};

// Reads the manifest at `path` (a regular file, not reached through a link
// at its own name). False when there is none, it cannot be read, or it is
// not a manifest. Names come back as the bytes they stand for (a lone
// surrogate \udcXX gives the byte XX).
[[nodiscard]] bool ReadManifest(const std::string& path, ManifestSummary& out);

// Whether `name` is a manifest's name ("<source file name>_tiles.json").
bool IsManifestName(const std::string& name);

}  // namespace tessarin
