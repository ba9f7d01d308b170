#pragma once
// Output folders, tile file names and the file kind of a path.

#include <string>

#include "settings/split_settings.h"

namespace tessarin {

enum class ImageFileKind : int { Unsupported = 0, Bmp = 1, Jpeg = 2, Png = 3, Gif = 4, BadPath = 5 };

ImageFileKind ClassifyImageFile(const std::string& path);

// The source's parent folder, `levels` folders further up; "/" past the root.
std::string RelativeBaseFolder(const std::string& source, int levels);

// The folder for the tiles of `source`. Removes a trailing "/" from
// settings.savePath, falls back to the desktop folder, creates the automatic
// sub-folder, and records the result as the last output folder.
std::string ResolveOutputFolder(const std::string& source, SplitSettings& settings);

// The same folder for the information panel, creating nothing; "未定" when it
// depends on an image and none is loaded (source empty).
std::string DescribeOutputFolder(const std::string& source, const SplitSettings& settings);

// folder + "/" + base + numbers + extension (the extension with its dot).
std::string BuildTileFileName(const std::string& folder, const std::string& baseName,
                              const std::string& extension, int column, int row, int columns,
                              int rows, const SplitSettings& settings);

// Splits a path's file name into base name and extension (with its dot, case
// kept). False when the path has no usable name.
bool SplitFileName(const std::string& path, std::string& baseName, std::string& extension);

// Whether the file system can hold this path (each name within NAME_MAX bytes,
// the whole within PATH_MAX).
bool PathFitsFileSystem(const std::string& path);

// The folder of the most recent ResolveOutputFolder call.
std::string LastOutputFolder();

}  // namespace tessarin
