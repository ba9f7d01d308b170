#pragma once
// Replacing the folders of a drop by their files without blocking the
// window: a folder of ten thousand files is listed on a thread of its own,
// and the list comes back to the GUI thread.

#include <functional>
#include <string>
#include <vector>

#include "ui/document/background_task.h"

namespace tessarin {

class PathExpansion {
  public:
    using Done = std::function<void(std::vector<std::string> paths)>;

    // Starts ExpandFolders on `paths`; `done` receives the result on the GUI
    // thread. False, with nothing started, while another expansion runs or
    // when no thread can be had. Destroying the expansion waits for a listing
    // in flight and drops its result.
    bool Start(std::vector<std::string> paths, Done done);

  private:
    BackgroundTask task_;
};

}  // namespace tessarin
