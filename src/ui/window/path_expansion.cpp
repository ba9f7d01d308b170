#include "ui/window/path_expansion.h"

#include <memory>
#include <new>

#include "split/path_list.h"

namespace tessarin {

bool PathExpansion::Start(std::vector<std::string> paths, Done done) {
    auto files = std::make_shared<std::vector<std::string>>();
    return task_.Start(
        [paths = std::move(paths), files] {
            try {
                *files = ExpandFolders(paths);
            } catch (const std::bad_alloc&) {
                // A list that does not fit in memory opens nothing.
                files->clear();
            }
        },
        [files, done = std::move(done)] { done(std::move(*files)); });
}

}  // namespace tessarin
