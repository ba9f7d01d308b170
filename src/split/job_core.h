#pragma once
// The split job core: one file at a time, its tiles cut by threadCount
// workers at once.

#include <string>

#include "imaging/current_image.h"
#include "settings/split_settings.h"
#include "split/job_state.h"
#include "split/selection.h"

namespace tessarin {

class Notifier;

// Splits the image that is already current. Returns only after every started
// worker has finished; true when the job error text is empty.
bool SplitCurrentImage(CurrentImage& image, SplitSettings& settings, JobState& job,
                       const SelectionMap* selection);

// Empties the job error text, loads `path` as the current image and splits it.
bool SplitFile(const std::string& path, CurrentImage& image, SplitSettings& settings,
               JobState& job, Notifier* owner, const SelectionMap* selection);

// The command mode's run of one file: splits it without a window and returns
// its result text, "○：<path>" or "×：<path>【<message>】".
std::string CommandModeFileRun(const std::string& path, CurrentImage& image,
                               SplitSettings& settings, JobState& job);

}  // namespace tessarin
