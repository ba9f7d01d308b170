#pragma once
// The memory one split may take for the decoded image it cuts: the raster it
// holds plus what its tiles are cut from (a PNG file's own samples, a GIF's
// indices, a JPEG file's coefficients). A request over the budget fails with
// the format's memory message before anything is allocated, instead of
// driving the machine into swap or the out-of-memory killer.

#include <cstdint>

namespace tessarin {

// Half the machine's physical memory, at most 16 GiB (256 MiB when the
// amount cannot be read).
uint64_t DefaultSplitMemoryBudget();

// The budget in force: the default unless set.
uint64_t SplitMemoryBudget();
// 0 restores the default. For tests and for a caller that knows better.
void SetSplitMemoryBudget(uint64_t bytes);

// Whether `wanted` more bytes fit beside `held` bytes already taken.
bool FitsSplitMemoryBudget(uint64_t held, uint64_t wanted);

}  // namespace tessarin
