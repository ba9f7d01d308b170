#include "split/naming.h"

#include <limits.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "platform/paths.h"
#include "platform/text.h"
#include "split/messages.h"

namespace tessarin {

namespace fs = std::filesystem;

namespace {

#ifdef NAME_MAX
constexpr size_t kNameMax = NAME_MAX;
#else
constexpr size_t kNameMax = 255;
#endif
#ifdef PATH_MAX
constexpr size_t kPathMax = PATH_MAX;
#else
constexpr size_t kPathMax = 4096;
#endif

// The longest extension (with its dot) a path may have, in characters.
constexpr size_t kMaxExtension = 256;
// Zero padding wider than this gives a name no file system accepts; capping it
// keeps an absurd digits value from building a huge string, and the capped
// name is still rejected by PathFitsFileSystem.
constexpr int kMaxPadding = static_cast<int>(kPathMax);

const char kAutoFolder[] = "Tessarin_out";

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Base and extension split at the last dot of the name; a name without a dot
// has no extension.
void SplitAtExtension(const std::string& name, std::string& base, std::string& extension) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        base = name;
        extension.clear();
    } else {
        base = name.substr(0, dot);
        extension = name.substr(dot);
    }
}

void StripTrailingSlashes(std::string& path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
}

// The path made absolute, with "." and ".." resolved and repeated "/" merged,
// by the text alone (links are not followed): "./x.bmp" and "a/../x.bmp" lie
// in the same folder as "x.bmp" and count their levels alike. A relative path
// names something under the working folder.
std::string AbsolutePath(const std::string& path) {
    std::string absolute = path;
    if (absolute.empty() || absolute.front() != '/') {
        std::error_code ec;
        fs::path cwd = fs::current_path(ec);
        if (!ec) absolute = cwd.string() + "/" + path;
    }
    absolute = fs::path(absolute).lexically_normal().string();
    StripTrailingSlashes(absolute);
    return absolute;
}

// The source's folder without a trailing "/"; empty for the root.
std::string FolderText(const std::string& source) {
    const std::string path = AbsolutePath(source);
    std::string folder = path.substr(0, path.rfind('/'));
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string SourceFolder(const std::string& source) {
    std::string folder = FolderText(source);
    return folder.empty() ? "/" : folder;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// Appends the automatic sub-folder when makeFolder is set. A folder named
// after the image gets a leading underscore in the image's own folder, where
// the image itself already has that name.
std::string WithSubFolder(const std::string& base, const std::string& source,
                          const SplitSettings& settings) {
    if (settings.makeFolder == 0) return base;
    if (settings.uniqueFolder == 0) return JoinPath(base, kAutoFolder);
    const bool ownFolder = (settings.relative != 0 && settings.dirLevel <= 0) ||
                           AbsolutePath(base) == SourceFolder(source);
    std::string folder = ownFolder ? "_" : "";
    folder += FileNamePart(source);
    return JoinPath(base, folder);
}

// printf's "%0*lld": zero padded to `width`, the minus sign counting in it.
std::string PaddedNumber(int64_t value, int width) {
    const bool negative = value < 0;
    // Tile numbers stay far from the int64 limits, so the negation is safe.
    std::string digits = std::to_string(negative ? -value : value);
    const size_t room = width > (negative ? 1 : 0) ? static_cast<size_t>(width - negative) : 0;
    if (digits.size() < room) digits.insert(0, room - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

}  // namespace

bool SplitFileName(const std::string& path, std::string& baseName, std::string& extension) {
    const std::string name = FileNamePart(path);
    if (name.empty()) return false;
    std::string base;
    std::string ext;
    SplitAtExtension(name, base, ext);
    if (Utf8CharCount(ext) > kMaxExtension) return false;
    baseName = std::move(base);
    extension = std::move(ext);
    return true;
}

std::string RelativeBaseFolder(const std::string& source, int levels) {
    std::string folder = FolderText(source);
    for (int i = 0; i < levels; ++i) {
        if (folder.empty()) return {};  // above the root
        const size_t slash = folder.rfind('/');
        folder.resize(slash == std::string::npos ? 0 : slash);
        while (!folder.empty() && folder.back() == '/') folder.pop_back();
    }
    return folder.empty() ? "/" : folder;
}

std::string ResolveOutputFolder(const std::string& source, const SplitSettings& settings,
                                const char** error) {
    const auto fail = [error](const char* message) {
        if (error) *error = message;
        return std::string();
    };
    std::string base;
    if (settings.relative != 0) {
        base = RelativeBaseFolder(source, settings.dirLevel);
        if (base.empty()) return fail(msg::kNoOutputFolder);
    } else {
        std::string savePath = settings.savePath;
        StripTrailingSlashes(savePath);
        base = IsDirectory(savePath) ? savePath : DesktopFolder();
    }
    const std::string folder = WithSubFolder(base, source, settings);
    if (settings.makeFolder != 0) {
        // A failure to create it shows when the tiles are written.
        struct stat st {};
        if (::lstat(folder.c_str(), &st) != 0) ::mkdir(folder.c_str(), 0777);
        if (::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return fail(msg::kOutputFolderIsLink);
    }
    return folder;
}

std::string DescribeOutputFolder(const std::string& source, const SplitSettings& settings) {
    const bool dependsOnImage =
        settings.relative != 0 || (settings.makeFolder != 0 && settings.uniqueFolder != 0);
    if (source.empty() && dependsOnImage) return "未定";
    std::string base;
    if (settings.relative != 0) {
        base = RelativeBaseFolder(source, settings.dirLevel);
        if (base.empty()) return "/..";
    } else {
        base = settings.savePath;
        StripTrailingSlashes(base);
        // With makeDir the folder is created before the split, so it is shown
        // as it will be; an empty setting still ends up on the desktop.
        const bool shownAsIs = settings.makeDir != 0 ? !base.empty() : IsDirectory(base);
        if (!shownAsIs) base = DesktopFolder();
    }
    return WithSubFolder(base, source, settings);
}

std::string BuildTileFileName(const std::string& folder, const std::string& baseName,
                              const std::string& extension, int column, int row, int columns,
                              int rows, const SplitSettings& settings) {
    const int64_t c = settings.reverse != 0 ? int64_t{columns} - 1 - column : int64_t{column};
    const int64_t r = row;
    const int64_t first = settings.firstNumber;
    const int width = settings.digits < 0 ? 0 : std::min(settings.digits, kMaxPadding);
    std::string numbers;
    const auto number = [&](int64_t value) {
        numbers += '_';
        numbers += PaddedNumber(value, width);
    };
    switch (settings.nameFormat) {
        case NameFormat::ColRow:
            number(c + first);
            number(r + first);
            break;
        case NameFormat::AcrossCount:
            number(r * columns + c + first);
            break;
        case NameFormat::DownCount:
            number(c * rows + r + first);
            break;
        default:
            number(r + first);
            number(c + first);
            break;
    }
    return JoinPath(folder, baseName + numbers + extension);
}

bool PathFitsFileSystem(const std::string& path) {
    if (path.empty() || path.size() >= kPathMax) return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end - start > kNameMax) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace tessarin
