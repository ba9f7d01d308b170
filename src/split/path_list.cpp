#include "split/path_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "split/formats.h"

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

// Names of the folder's entries that are not folders, in listing order.
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
    return names;
}

bool IsImageKind(const std::string& path) {
    switch (ClassifyImageFile(path)) {
        case ImageFileKind::Bmp:
        case ImageFileKind::Jpeg:
        case ImageFileKind::Png:
        case ImageFileKind::Gif:
            return true;
        default:
            return false;
    }
}

}  // namespace

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
        for (std::string& file : ListFolderFiles(path)) out.push_back(std::move(file));
    }
    return out;
}

std::vector<std::string> ListFolderImages(const std::string& folder, bool recurse) {
    std::vector<std::string> files;
    for (std::string& file : ListFolderFiles(folder))
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
    std::sort(folders.begin(), folders.end());
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
