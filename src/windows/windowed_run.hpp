// One tile of a windowed run: its inputs read from a window source, its
// window computed, its core rounded and given to a window sink; and, when its
// window proves narrower than its searches reached, the same core computed
// again with a wider one. Why a core computed on its window is the whole
// raster's result, first with the full halo, then with a narrower one:
//
// A tile's core is a rectangle C of the raster. The tile reads the inputs on
// C grown by kChannelReach = 1506 pixels on every side (the input window I)
// and computes the elevations on C grown by kFillReach = 6 (the output window
// O), both clipped to the raster, and calls compute_channel on that window:
// the very function of the whole-raster run, with every position (the lattice
// of the passes, the border tests, the search centres and samples) in raster
// coordinates, so nothing depends on where the window starts (a sample whose
// position depends on its centre is formed from the raster centre, as in the
// whole run). Take a pixel p of C.
//
// - Its own elevation, if it gets one by distance, comes from two ring
//   searches from p. A sample of ring r is the truncation toward zero of a
//   position at most r <= 1500 lines and columns from p's corner point, so it
//   lies within 1500 lines and columns of p (a position between -1 and 0
//   lands on line or column 0), hence inside I, or outside the raster, where
//   it is never a hit in either run. So the literal walk from p meets the
//   same samples in the same order on the same pixels in both runs, and its
//   first hit, or its miss, is the same. The hit pixel lies in I, whose slope
//   model and railing give the same base elevation.
// - The fast search skips samples by the distance D to the nearest pixel of
//   the tone (ring_search.hpp); on the window D is measured over the tone
//   pixels of I only, which can only make D larger than the whole raster's.
//   It stays a true lower bound of the distance to every pixel the search can
//   hit, since every sample of p's rings is in I or out of the raster: the
//   argument at the top of ring_search.hpp holds word for word, and the fast
//   search finds the literal walk's first hit.
// - Passes 2 to 7 give a pixel the mean of its channel neighbours that
//   earlier passes computed, taken within 2, 2, 1 and 1 pixels in turn
//   (passes 2 or 3, 4, 5, then 6 or 7), and a pixel without one the value of
//   its own two searches. Following these dependencies back from p through
//   the passes never leads farther than 2 + 2 + 1 + 1 = kFillReach from p:
//   every pixel whose value p's depends on lies in O (so no neighbour that
//   the whole run takes is missing), and the samples of its searches lie
//   within 1500 + 6 = kChannelReach of C, inside I (or out of the raster),
//   so its searches are exact by the first two points. Whether a neighbour
//   is a channel pixel, and whether an earlier pass computed it, depends only on
//   the zone mask and on the lattice at raster positions, the same in both
//   runs. By induction over the passes p receives the same value in each. A
//   pixel of O outside C may not (some of its neighbours lie outside O), but
//   it is never written: it belongs to another tile's core.
// - A pixel without a computed neighbour is interpolated, in the whole run,
//   in its pass's order among the others; its value depends only on its own
//   searches, so the order does not change it.
//
// So the core's elevations are bit for bit those of the whole-raster run;
// rounded with the writer's rounding (rounding.hpp), each gives the same
// integer, and the minimum and maximum folded over the cores (each starting
// at 1000000 and 0, strict comparisons) are those the writer finds over the
// whole raster. A pixel of C is interpolated by distance in the tile exactly
// when it is in the whole run (whether it has a computed neighbour is decided
// within O, as above), with the same searches; compute_channel counts the
// misses of the pixels of C only (the window's `kept` rectangle), and the
// cores cover the raster once, so their sum is the whole run's count.
//
// Narrower halos. A tile may read C grown by h + kFillReach only (h below
// 1500: the reach its searches are expected to need, reach_map.hpp). Every
// sample of ring r of a search from p lies within r lines and columns of p,
// as above. Take a search from any pixel p of O (within kFillReach of C), and
// let r be the ring of its first hit in the tile, or 1500 when it finds none.
// - If every sample of rings up to r lies in I or out of the raster, the
//   walk in the tile and in the whole raster meet the same samples on the same
//   pixels up to ring r, so they have the same first hit (or both none, when
//   r = 1500 and all 1500 rings were inside); the fast search skips by D
//   measured over I, which for those rings is the argument above word for
//   word. This holds when C grown by r + kFillReach, clipped to the raster,
//   lies in I.
// - compute_channel reports the largest such r over every search the tile
//   made (ChannelReport::search_reach). When C grown by that reach plus
//   kFillReach, clipped, lies in I, every search the core's pixels depend on
//   is exact by the first point, and the induction above gives the core's
//   bytes. The tile is accepted only then; the reach map is never trusted.
// - Otherwise the tile's result is thrown away and its core computed again
//   (in parts, when the wider windows would not fit the memory) with the
//   halo R, the reported reach. That is enough: a hit in the tile is a pixel
//   of the tone in the whole raster too, met by the same sample, so the whole
//   run's first hit comes no later, at a ring <= R; a search without a hit
//   reported R = 1500, the full halo. Each part's searches are among the
//   first tile's (its O lies inside the first O), so every one of them now
//   reads all its rings up to its whole-run hit inside the wider window, and
//   the check passes again (it is made again all the same).
// - A tile whose output holds no channel pixel makes no search and reads its
//   output window only: its core's elevations are all 0.0 in both runs.
// So a wrong reach costs time, never bytes. Only the misses count the pixels
// of C (window.kept), as before.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "compute/channel.hpp"
#include "lib/grid.hpp"
#include "windows/reach_map.hpp"
#include "windows/tile_plan.hpp"
#include "windows/window_io.hpp"

// The input grids of a tile, kept from one tile to the next by
// the thread that computes them: the pages of a large window are then had
// from the system once, not once per tile. They grow to the largest window
// met.
class TileScratch {
public:
    template <typename T>
    static GridView<T> at_least(Grid<T>& grid, const RasterRect& size);
    // Gives every grid back (before and after the parts of a widened tile,
    // whose shapes differ from the plan's).
    void release() { slope = {}, railing = {}, zone = {}, contour = {}, perimeter = {}; }

    Grid<int32_t> slope;
    Grid<unsigned char> railing, zone, contour, perimeter;
};

// What every tile of a run shares.
struct WindowedJob {
    WindowSource& source;
    WindowSink& sink;
    ChannelParameters parameters;
    const TilePlan& plan;
    const ReachMap& reaches;
    // The bytes one tile may take (tile_bytes): a core computed again with a
    // wider halo is cut into parts that fit.
    uint64_t tile_budget = 0;
    // False only in the test that shows what an unchecked narrow window gives.
    bool check_reach = true;
};

// A failure of the engine itself (the memory of a window): its message, in
// the front ends' Spanish.
struct WindowError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Tile k of the job's plan: read, computed on `threads` threads (the events
// to `progress`), checked, and its core given to the sink. The source's and
// sink's failures pass through; WindowError when the memory fails.
CoreTotals run_window_tile(const WindowedJob& job, int64_t k, int32_t threads, ChannelProgress& progress,
                           TileScratch& scratch);
