#pragma once
// Output folders, tile file names and the file kind of a path.

#include <string>

#include "settings/split_settings.h"

namespace tessarin {

enum class ImageFileKind : int {
    Unsupported = 0,
    Bmp = 1,
    Jpeg = 2,
    Png = 3,
    Gif = 4,
    BadPath = 5
};

// The kind by the extension of the path's file name, in any ASCII case. No
// extension: Unsupported; an extension (with its dot) over 256 characters:
// BadPath. A name that starts with its only dot, such as ".png", is all
// extension, as on Windows: it classifies as Png.
ImageFileKind ClassifyImageFile(const std::string& path);

// The source's parent folder, `levels` folders further up; "/" past the root.
// A relative source is taken relative to the working folder. Levels below 0
// count as 0.
std::string RelativeBaseFolder(const std::string& source, int levels);

// The folder for the tiles of `source`. Removes trailing "/" from
// settings.savePath, falls back to the desktop folder, creates the automatic
// sub-folder (one level; a failure shows later when the tiles are written),
// and records the result as the last output folder. Safe to call from several
// workers at once as long as they share no settings record that another
// thread writes.
std::string ResolveOutputFolder(const std::string& source, SplitSettings& settings);

// Removes trailing "/" from settings.savePath ("/" itself stays). The job
// core calls this once before it starts the workers of a split, so that the
// workers' ResolveOutputFolder calls only read the record.
void NormalizeSavePath(SplitSettings& settings);

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
bool SplitFileName(const std::string& path, std::string& baseName, std::string& extension);

// Whether the file system can hold this path: every name within NAME_MAX
// bytes and the whole path shorter than PATH_MAX (room for its terminator).
bool PathFitsFileSystem(const std::string& path);

// The folder of the most recent ResolveOutputFolder call (empty before the
// first one).
std::string LastOutputFolder();

}  // namespace tessarin
