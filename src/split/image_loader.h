#pragma once
// Loading a file as the current image, without a window. The window's loader
// wraps this one and then updates the title, the panel, the zoom and the menu.

#include <string>

#include "imaging/current_image.h"
#include "settings/split_settings.h"
#include "split/job_state.h"

namespace tessarin {

class Notifier;

// Reads `path` with the reader of its kind and makes it `image`; then applies
// aspect matching to `settings`. On failure the message is in `job` and the
// previous image stays. `owner` receives the reader's notices (may be null).
bool LoadCurrentImage(const std::string& path, CurrentImage& image, SplitSettings& settings,
                      JobState& job, Notifier* owner);

}  // namespace tessarin
