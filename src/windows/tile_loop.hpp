// The tiles of a run shared among threads and processes. Each process runs
// `workers` threads that take tiles one at a time; rank 0 hands the tile
// numbers out in order, to its own threads directly and to the other
// processes as they ask for one (work-stealing: a process with slow tiles
// simply asks less often), and shows the progress: tiles finished, plus the
// share done of those its own threads are computing. A failure anywhere
// stops the handing out; the tiles under way finish, and the run fails.
// tile_protocol.hpp tells the messages between the processes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "compute/channel.hpp"
#include "windows/processes.hpp"
#include "files/progress_line.hpp"
#include "windows/windowed_run.hpp"

// Computes tile k, reporting its progress to `progress`, in the grids of the
// thread's `scratch`; TilesError on failure.
using TileWork = std::function<CoreTotals(int64_t k, ChannelProgress& progress, TileScratch& scratch)>;

struct LoopResult {
    CoreTotals totals;   // of this process's tiles
    bool ok = true;      // no tile of this process failed
    std::string error;   // the first failure's message
};

// Runs the `count` tiles; rank 0 draws the progress on `progress`, the share
// of tiles done mapped onto [from, to] of the line. Every process of the run
// calls it.
LoopResult share_tiles(Processes& processes, int64_t count, int32_t workers, const TileWork& work,
                       ProgressLine& progress, double from = 0.0, double to = 0.999);
