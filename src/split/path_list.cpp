#include "split/path_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>

#include "platform/collation.h"
#include "platform/text.h"
#include "split/formats.h"
#include "split/manifest_reader.h"

namespace tessarin {
namespace {

std::string JoinPath(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + '/' + name;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Compares the digit runs starting at a[i] and b[j] by value and moves both
// indexes past them. `zeros` receives the comparison of their leading-zero
// counts (fewer first), for names that tie otherwise.
int CompareNumbers(std::string_view a, size_t& i, std::string_view b, size_t& j, int& zeros) {
    const size_t aStart = i, bStart = j;
    while (i < a.size() && a[i] == '0') ++i;
    while (j < b.size() && b[j] == '0') ++j;
    const size_t aZeros = i - aStart, bZeros = j - bStart;
    const size_t aDigits = i;
    const size_t bDigits = j;
    while (i < a.size() && IsDigit(a[i])) ++i;
    while (j < b.size() && IsDigit(b[j])) ++j;
    zeros = aZeros < bZeros ? -1 : aZeros > bZeros ? 1 : 0;
    // Without leading zeros the longer run is the larger number.
    if (i - aDigits != j - bDigits) return i - aDigits < j - bDigits ? -1 : 1;
    const int digits = a.substr(aDigits, i - aDigits).compare(b.substr(bDigits, j - bDigits));
    return digits < 0 ? -1 : digits > 0 ? 1 : 0;
}

void SortByName(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NameOrderLess(a, b); });
}

// Names of the folder's entries that are not folders, in name order.
std::vector<std::string> ListFileNames(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                            &::closedir);
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (entry->d_type == DT_DIR) continue;
        // Links and file systems without entry types need a look at the target.
        if ((entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) &&
            IsFolder(JoinPath(folder, name.c_str())))
            continue;
        names.push_back(name);
    }
    SortByName(names);
    return names;
}

bool IsImageKind(const std::string& path) {
    return FindImageFormat(ClassifyImageFile(path)) != nullptr;
}

// The folder's files less those that a manifest in it lists as tiles: a
// folder that holds its own tiles (cut with /relative 0 /notmake) gives its
// sources alone, not last run's tiles to cut again.
std::vector<std::string> ListSourceFiles(const std::string& folder) {
    std::vector<std::string> names = ListFileNames(folder);
    std::set<std::string> tiles;
    for (const std::string& name : names) {
        ManifestSummary manifest;
        if (IsManifestName(name) && ReadManifest(JoinPath(folder, name.c_str()), manifest))
            tiles.insert(manifest.files.begin(), manifest.files.end());
    }
    std::vector<std::string> files;
    for (const std::string& name : names)
        if (!tiles.contains(name)) files.push_back(JoinPath(folder, name.c_str()));
    return files;
}

// The order of names the collation finds equal: ASCII letters without case,
// digit runs by value, other bytes by value; then fewer leading zeros, then
// the raw bytes. A strict total order of its own.
bool TieBreakLess(std::string_view a, std::string_view b) {
    int zeros = 0;  // the first difference in leading zeros
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            int runZeros = 0;
            const int order = CompareNumbers(a, i, b, j, runZeros);
            if (order != 0) return order < 0;
            if (zeros == 0) zeros = runZeros;
            continue;
        }
        // A digit against anything else compares as the bytes do, which
        // places every number between the bytes below '0' and above '9'.
        const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto y = static_cast<unsigned char>(AsciiLower(b[j]));
        if (x != y) return x < y;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    if (zeros != 0) return zeros < 0;
    return a < b;
}

}  // namespace

bool NameOrderLess(std::string_view a, std::string_view b) {
    const int collated = CollateNames(a, b);
    if (collated != 0) return collated < 0;
    return TieBreakLess(a, b);
}

std::vector<std::string> ListFolderFiles(const std::string& folder) {
    std::vector<std::string> files;
    for (const std::string& name : ListFileNames(folder))
        files.push_back(JoinPath(folder, name.c_str()));
    return files;
}

std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const std::string& path : paths) {
        if (!IsFolder(path)) {
            out.push_back(path);
            continue;
        }
        for (std::string& file : ListSourceFiles(path)) out.push_back(std::move(file));
    }
    return out;
}

std::vector<std::string> ListFolderImages(const std::string& folder, bool recurse) {
    std::vector<std::string> files;
    for (std::string& file : ListSourceFiles(folder))
        if (IsImageKind(file)) files.push_back(std::move(file));
    if (!recurse) return files;
    std::vector<std::string> folders;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) return files;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        const std::string path = JoinPath(folder, name.c_str());
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) folders.push_back(name);
    }
    SortByName(folders);
    for (const std::string& name : folders)
        for (std::string& file : ListFolderImages(JoinPath(folder, name.c_str()), true))
            files.push_back(std::move(file));
    return files;
}

std::string NeighbourImageFile(const std::string& currentPath, StepDirection direction) {
    const size_t slash = currentPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : currentPath.substr(0, slash + 1);
    const std::string current =
        slash == std::string::npos ? currentPath : currentPath.substr(slash + 1);
    const std::vector<std::string> names = ListFileNames(folder);
    size_t at = 0;
    while (at < names.size() && names[at] != current) ++at;
    if (at == names.size()) return {};
    if (direction == StepDirection::Next) {
        for (size_t i = at + 1; i < names.size(); ++i)
            if (IsImageKind(names[i])) return folder + names[i];
    } else {
        for (size_t i = at; i-- > 0;)
            if (IsImageKind(names[i])) return folder + names[i];
    }
    return {};
}

}  // namespace tessarin
