#pragma once
// Loading a file as an image, apart from making it current. A load produces
// a new image on whatever thread runs it; the owner of the current image
// commits it (on the GUI thread in the window) and applies aspect matching.

#include <string>
#include <vector>

#include "imaging/current_image.h"
#include "imaging/format_registry.h"
#include "settings/split_settings.h"
#include "split/job_state.h"

namespace tessarin {

// Reads `path` with the reader of its kind into `out`. On failure returns
// false with the message in `error`, and `out` is left as it was. What the
// reader has for the user is added to `notices` (in order, whatever the
// outcome); the caller shows it, on its own thread and terms.
[[nodiscard]] bool LoadImageFile(const std::string& path, CurrentImage& out, std::string& error,
                                 std::vector<std::string>& notices);

// For a split that nothing shows (the command mode): reads only what the
// tiles of `settings` are cut from. BMP sources, BMP tiles and exact JPEG
// tiles need the raster; PNG and GIF tiles need the file's own samples or
// indices, decoded once; lossless JPEG tiles need the header alone. A file
// that its format cuts band by band is opened at its top row (the image's
// bands) and decoded while it is cut. The image may then have no raster.
// Messages as LoadImageFile gives them.
[[nodiscard]] bool LoadImageForTiles(const std::string& path, const SplitSettings& settings,
                                     CurrentImage& out, std::string& error,
                                     std::vector<std::string>& notices);

// LoadImageFile for `path` already opened as `file` (null when it could not
// be). `watch` (may be null) follows the read and may end it.
[[nodiscard]] bool LoadImageFrom(const SourceFilePtr& file, const std::string& path,
                                 CurrentImage& out, std::string& error,
                                 std::vector<std::string>& notices,
                                 const ReadWatch* watch = nullptr);

// The format of `path` by its name; null with the message in `error` for a
// path that cannot be taken apart or a kind no format reads.
const ImageFormat* FormatOfPath(const std::string& path, std::string& error);

// An image the window shows only reduced (see CurrentImage::viewReduction) is
// read again from its open file for a split of `settings`, as the command
// mode reads it (band by band where its format can); any other image is
// left as it is. False with the loader's message when the file fails now.
[[nodiscard]] bool ReopenForTiles(CurrentImage& image, const SplitSettings& settings,
                                  std::string& error);

// Makes `loaded` the current image and matches the tile proportions of
// `settings` to it.
void CommitImage(CurrentImage& current, CurrentImage&& loaded, SplitSettings& settings);

// Both steps at once, for callers without a window or notices to show; on
// failure the message is stored in `job` and the previous image stays.
[[nodiscard]] bool LoadCurrentImage(const std::string& path, CurrentImage& image,
                                    SplitSettings& settings, JobState& job);

}  // namespace tessarin
