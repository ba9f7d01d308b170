#pragma once
// Cutting a file band by band (see imaging/row_bands.h): the grid's rows are
// grouped into bands, each band is decoded and its tiles cut, and while the
// workers cut one band the next is decoded into a second, when the memory
// budget holds two.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/row_bands.h"
#include "split/job_state.h"
#include "split/tile_worker.h"

namespace tessarin {

// A band of whole grid rows: [rowBegin, rowEnd), picture rows [top, top + rows).
struct BandRows {
    int rowBegin = 0;
    int rowEnd = 0;
    int top = 0;
    int rows = 0;
};

// The grid's rows grouped into bands: one grid row each, or several low ones
// together, so that a band has at least `minRows` picture rows where the
// rows allow.
std::vector<BandRows> GroupBands(const TileGrid& grid, int minRows);

// The least number of picture rows a band gets where the tile rows allow
// (64); 0 restores it. Tests set 1 to have each tile row a band of its own.
void SetMinBandRows(int rows);

// The tiles of a band of raster rows, in the format the split chose; null
// with the message in `error` when they cannot be prepared.
using RasterTileMaker =
    std::function<std::unique_ptr<TileSource>(std::shared_ptr<const DibImage>, std::string&)>;

// Cuts every band of the plan's grid from `bands` with the plan's workers:
// a band's own tiles, or those `rasterTiles` makes of its raster rows. A
// band that the memory budget cannot hold fails the job before anything is
// written; a band that fails to decode stops it after the tiles already cut.
void CutBandByBand(SplitPlan& plan, RowBands& bands, JobState& state,
                   const RasterTileMaker& rasterTiles);

}  // namespace tessarin
