#pragma once
// The lists of files the window and the icon-drop start hand to a split or
// an open: folders stand for the files directly inside them, and next and
// previous file walk a folder in name order.

#include <string>
#include <string_view>
#include <vector>

namespace tessarin {

// Name order as file managers show it, the same in every locale: ASCII
// letters compared without case, runs of digits by their value ("img2"
// before "img10"), every other byte (UTF-8 included) by its value. Names
// that still tie are told apart by their leading zeros ("img2" before
// "img02") and at last by their raw bytes ("B" before "b"), so the order is
// total: only equal names are equivalent.
bool NameOrderLess(std::string_view a, std::string_view b);

// The files directly inside `folder` (sub-folders are skipped, not
// entered), in name order. Empty when the folder cannot be listed.
std::vector<std::string> ListFolderFiles(const std::string& folder);

// `paths` with every folder replaced by its files (ListFolderFiles), less the
// files that a manifest of a split in that folder lists as its tiles; other
// paths, existing or not, stay as given. An empty folder contributes nothing.
std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths);

// The files of the registered image formats inside `folder`, by name, less
// the tiles its manifests list (see ExpandFolders); with
// `recurse`, then those of each sub-folder in turn (links to folders are not
// entered, so no folder is listed twice by a loop).
std::vector<std::string> ListFolderImages(const std::string& folder, bool recurse);

enum class StepDirection { Next, Previous };

// The nearest file after (or before) `currentPath` in its folder's listing
// in name order that is of a registered image format. No wrap-around; the
// current file is found by its exact, case-sensitive name. Empty when the
// current file is not listed or no file qualifies.
std::string NeighbourImageFile(const std::string& currentPath, StepDirection direction);

}  // namespace tessarin
