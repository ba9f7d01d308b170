#pragma once
// The lists of files the window and the icon-drop start hand to a split or
// an open: folders stand for the files directly inside them, and next and
// previous file walk a folder in the order the file system lists it.

#include <string>
#include <vector>

namespace tessarin {

// The files directly inside `folder` (sub-folders are skipped, not
// entered), in the order the file system lists them. Empty when the
// folder cannot be listed.
std::vector<std::string> ListFolderFiles(const std::string& folder);

// `paths` with every folder replaced by its files (ListFolderFiles); other
// paths, existing or not, stay as given. An empty folder contributes nothing.
std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths);

// The files of the four image kinds inside `folder`, by name; with
// `recurse`, then those of each sub-folder in turn (links to folders are not
// entered, so no folder is listed twice by a loop).
std::vector<std::string> ListFolderImages(const std::string& folder, bool recurse);

enum class StepDirection { Next, Previous };

// The nearest file after (or before) `currentPath` in its folder's listing
// that is one of the four image kinds. No sorting and no wrap-around; the
// current file is found by its exact, case-sensitive name. Empty when the
// current file is not listed or no file qualifies.
std::string NeighbourImageFile(const std::string& currentPath, StepDirection direction);

}  // namespace tessarin
