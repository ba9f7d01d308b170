#pragma once
// How the process's heap treats the large blocks a split allocates.

namespace tessarin {

// Blocks of 1 MiB and more (rasters, bands, row buffers) are mapped and
// unmapped each time instead of kept in the heap once freed. Otherwise the C
// library raises its threshold after the first large free, and the bands a
// split allocates and frees in turn, on several threads, pile up in the
// threads' heaps: a banded split then holds several times its bands. Called
// once at start-up.
void ReturnLargeBlocksToTheSystem();

}  // namespace tessarin
