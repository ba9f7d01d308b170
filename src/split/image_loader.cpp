#include "split/image_loader.h"

#include <iterator>

#include "split/formats.h"
#include "split/geometry.h"
#include "split/messages.h"

namespace tessarin {

const ImageFormat* FormatOfPath(const std::string& path, std::string& error) {
    const ImageFileKind kind = ClassifyImageFile(path);
    if (kind == ImageFileKind::BadPath) {
        error = msg::kBadPath;
        return nullptr;
    }
    const ImageFormat* format = FindImageFormat(kind);
    if (!format) error = msg::kUnsupported;
    return format;
}

namespace {

// `file` is `path` opened, or null to open it here.
bool Load(const std::string& path, SourceFilePtr file, const SplitSettings* forTiles,
          CurrentImage& out, std::string& error, std::vector<std::string>& notices,
          const ReadWatch* watch = nullptr) {
    const ImageFormat* format = FormatOfPath(path, error);
    if (!format) return false;
    // Opened once: the reader and every tile source made later read this
    // open file. When it cannot be opened, the reader gives its message.
    if (!file) file = SourceFile::Open(path);
    if (forTiles && format->openBands) {
        LoadedImage header;
        std::unique_ptr<RowBands> bands;
        const bool opened =
            format->openBands(file, TileSettingsFor(*format, *forTiles), header, bands);
        if (!opened || bands) {
            notices.insert(notices.end(), std::make_move_iterator(header.notices.begin()),
                           std::make_move_iterator(header.notices.end()));
            if (!opened) {
                error = header.error.empty() ? msg::kInvalidFile : header.error;
                return false;
            }
            SetCurrentImage(out, std::move(header), path);
            out.bands = std::move(bands);
            return true;
        }
        // Not cut by bands: loaded whole below.
    }
    LoadedImage loaded;
    const bool withoutRaster =
        forTiles && &TileFormatFor(*format, *forTiles) == format && format->loadForTiles;
    const bool loadedOk = withoutRaster
                              ? format->loadForTiles(file, loaded)
                              : LoadWholeImage(*format, file, loaded, watch) && loaded.raster;
    notices.insert(notices.end(), std::make_move_iterator(loaded.notices.begin()),
                   std::make_move_iterator(loaded.notices.end()));
    if (!loadedOk) {
        error = format->loadFailed     ? format->loadFailed
                : loaded.error.empty() ? msg::kInvalidFile
                                       : loaded.error;
        return false;
    }
    // A damaged file is shown as far as its data goes, but nothing is cut
    // from it.
    if (forTiles && !loaded.damage.empty()) {
        error = format->loadFailed ? format->loadFailed : loaded.damage;
        return false;
    }
    SetCurrentImage(out, std::move(loaded), path);
    return true;
}

}  // namespace

bool LoadImageFile(const std::string& path, CurrentImage& out, std::string& error,
                   std::vector<std::string>& notices) {
    return Load(path, nullptr, nullptr, out, error, notices);
}

bool LoadImageFrom(const SourceFilePtr& file, const std::string& path, CurrentImage& out,
                   std::string& error, std::vector<std::string>& notices, const ReadWatch* watch) {
    return Load(path, file, nullptr, out, error, notices, watch);
}

bool LoadImageForTiles(const std::string& path, const SplitSettings& settings, CurrentImage& out,
                       std::string& error, std::vector<std::string>& notices) {
    return Load(path, nullptr, &settings, out, error, notices);
}

bool ReopenForTiles(CurrentImage& image, const SplitSettings& settings, std::string& error) {
    if (image.raster || image.bands || image.viewReduction == 0) return true;
    CurrentImage reopened;
    std::vector<std::string> notices;  // told when the image was opened for viewing
    if (!Load(image.path, SourceFileOf(image), &settings, reopened, error, notices)) return false;
    image = std::move(reopened);
    return true;
}

void CommitImage(CurrentImage& current, CurrentImage&& loaded, SplitSettings& settings) {
    current = std::move(loaded);
    MatchAspect(current.width, current.height, settings);
}

bool LoadCurrentImage(const std::string& path, CurrentImage& image, SplitSettings& settings,
                      JobState& job) {
    CurrentImage loaded;
    std::string error;
    std::vector<std::string> notices;
    if (!LoadImageFile(path, loaded, error, notices)) {
        job.StoreError(error);
        return false;
    }
    CommitImage(image, std::move(loaded), settings);
    return true;
}

}  // namespace tessarin
