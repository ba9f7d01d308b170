#pragma once
// The questions asked before a split from the window or from files dropped on
// the program's icon: settings that would cut nothing, a save folder that does
// not exist, and lossless JPEG cuts off the block grid. The command mode asks
// none of them.

#include <string>
#include <vector>

#include "settings/split_settings.h"
#include "split/block_grid.h"

namespace tessarin {

// Asks the user. Every box has the caption "確認". The window implements it
// with message boxes (owned by the window, or by nothing before it exists);
// tests answer.
class SplitAsker {
  public:
    virtual ~SplitAsker() = default;
    // Yes and No buttons, question icon; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // OK only, no icon; returns when the user has closed it.
    virtual void Tell(const std::string& text) = 0;
};

// Whether a split with `settings` may go ahead. Tells and stops when nothing
// would be cut; proceeds for a folder relative to each image or an existing
// save folder; creates a missing save folder with all its levels when makeDir
// is set; otherwise asks whether the tiles may go to the desktop.
[[nodiscard]] bool CheckSplitReady(const SplitSettings& settings, SplitAsker& asker);

// For JPEG sources: whether a lossless cut off the JPEG block grid may go
// ahead. Asks nothing when the tiles are decoded and encoded anew (BMP tiles, or
// exact JPEG cutting). Otherwise asks about each pixel offset and tile size that is
// off the grid (16 across, 8 down); No stops at once. With the file's own
// block grid known, a value on that grid is not asked about either, so
// settings snapped to it go ahead without a question.
[[nodiscard]] bool CheckJpegLosslessAlignment(const SplitSettings& settings, SplitAsker& asker,
                                              BlockGrid block = {});

// The block-grid questions for a list of files, asked once when the list
// holds a JPEG file. False when the user declined: the list's JPEG files are
// then skipped.
[[nodiscard]] bool CheckJpegLosslessAlignmentOfList(const std::vector<std::string>& paths,
                                                    const SplitSettings& settings,
                                                    SplitAsker& asker);

}  // namespace tessarin
