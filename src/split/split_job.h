#pragma once
// A split job: one image cut into tiles by threadCount workers at once. The
// job holds everything its workers read: a copy of the settings, the image
// (whose raster it shares with the viewer, read-only) and the selection, so
// nothing the window changes meanwhile reaches a running split.

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>

#include "imaging/current_image.h"
#include "settings/split_settings.h"
#include "split/selection.h"

namespace tessarin {

class TileNameLedger;

// Hears of every finished tile. Called from the worker threads, once per
// tile, with the number of tiles finished so far in this job (each number
// once) and the number the job will write; it must be cheap and thread-safe.
class TileProgress {
  public:
    virtual ~TileProgress() = default;
    virtual void TileFinished(int64_t done, int64_t total) = 0;
    // Hears, on the job's thread, how far a read that comes before the first
    // tile is (a JPEG file's coefficients for lossless tiles): `done` of
    // `total` steps.
    virtual void ReadProgress(int64_t done, int64_t total) {
        (void)done;
        (void)total;
    }
};

class ThreadPool;

struct SplitJob {
    CurrentImage image;
    SplitSettings settings;
    // Null when the selection mode is off. The window hands the job a copy
    // taken at the start, so clicks during a split change nothing it writes.
    std::shared_ptr<const SelectionMap> selection;
    // Also write "<source file name>_tiles.json" listing every tile written.
    bool writeManifest = false;
    // A request here ends the job between tiles: each worker finishes the
    // tile in hand and writes no further one. It also ends the read that
    // comes before the first tile, and no tile is written.
    std::stop_token stop;
    // The file counts as rewritten when it differs at the end from how it
    // was when opened (a load and its split in one go), rather than from
    // how it was when the split started (a picture shown for a while first).
    bool sourceStampSinceOpen = false;
    // Tile names the run's earlier files wrote; a file whose tiles would
    // take one of them fails (see tile_name_ledger.h). May be null.
    TileNameLedger* ledger = nullptr;
    // The run's threads; null: the job starts a pool of its own.
    ThreadPool* pool = nullptr;
};

struct SplitResult {
    bool ok = false;
    std::string message;       // the failure message; empty on success
    std::string outputFolder;  // where the tiles went (empty when none was resolved)
    int64_t tilesWritten = 0;  // tiles given their names (0 unless the file succeeded)
    // A stop request ended the job before all its tiles were written; the
    // message is then kStopped (unless a tile failed first). Like a failed
    // file, a stopped one leaves no new tile.
    bool stopped = false;
};

// Runs the job to its end: returns only after every started worker has
// finished. Never throws.
SplitResult RunSplitJob(const SplitJob& job, TileProgress* progress = nullptr);

}  // namespace tessarin
