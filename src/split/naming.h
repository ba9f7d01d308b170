#pragma once
// Output folders and tile file names.

#include <string>

#include "settings/split_settings.h"

namespace tessarin {

// The source's parent folder, `levels` folders further up; empty when that
// goes past the root. A relative source is taken relative to the working
// folder. Levels below 0 count as 0.
std::string RelativeBaseFolder(const std::string& source, int levels);

// The folder for the tiles of `source`: savePath without its trailing "/"
// ("/" itself stays), or the desktop folder when savePath names no folder, or
// the folder `dirLevel` levels above the source; then the automatic
// sub-folder, which is created here (one level; a failure shows later when the
// tiles are written). The split job calls it once per file. Empty, with the
// message in `error` (when given), when there is no such folder: `dirLevel`
// goes past the root, or a symbolic link has the automatic sub-folder's name
// (it is never followed: in a shared folder anyone could plant one).
std::string ResolveOutputFolder(const std::string& source, const SplitSettings& settings,
                                const char** error = nullptr);

// The same folder for the information panel, creating nothing; "未定" when it
// depends on an image and none is loaded (source empty).
std::string DescribeOutputFolder(const std::string& source, const SplitSettings& settings);

// folder + "/" + base + numbers + extension (the extension with its dot). The
// numbers are zero padded to `digits` like printf's "%0*d" (a minus sign
// counts in the width). The result may be too long for the file system:
// check it with PathFitsFileSystem before writing.
std::string BuildTileFileName(const std::string& folder, const std::string& baseName,
                              const std::string& extension, int column, int row, int columns,
                              int rows, const SplitSettings& settings);

// Splits a path's file name into base name and extension (with its dot, case
// kept; empty when the name has no dot). False when the path has no file name
// or the extension is over 256 characters. ".png" gives base "" and extension
// ".png".
[[nodiscard]] bool SplitFileName(const std::string& path, std::string& baseName,
                                 std::string& extension);

// Whether the file system can hold this path: every name within NAME_MAX
// bytes and the whole path shorter than PATH_MAX (room for its terminator).
bool PathFitsFileSystem(const std::string& path);

}  // namespace tessarin
